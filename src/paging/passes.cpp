// The two passes over a document: counting its pages, and writing its new
// text with page-number lines and heading annotations added or taken out.
// Both count pages by the same rule, line by line, so the last number
// written is the total shown.
#include <string.h>

#include "common/numbers.h"
#include "common/utf8.h"
#include "paging/heading_cut.h"
#include "paging/job_steps.h"

namespace {

bool CopyToSpool(JobState& job, const LinePiece& piece) {
  return job.spool == nullptr || fwrite(piece.data, 1, piece.length, job.spool) == piece.length;
}

// The line ending comes from the end of the first physical line.
struct FirstLineEnd {
  size_t length = 0;
  char beforeLast = 0;
  char last = 0;
};

void TakeFirstLine(JobState& job, FirstLineEnd& end, const LinePiece& piece) {
  end.length += piece.length;
  end.beforeLast = piece.length >= 2 ? piece.data[piece.length - 2] : end.last;
  end.last = piece.data[piece.length - 1];
  if (piece.endsLine) {
    job.eolStyle = end.length >= 2 && end.beforeLast == '\r' ? EolStyle::CrLf : EolStyle::Lf;
  }
}

void WriteNumberLine(JobState& job, int32_t page) {
  char numbers[80];
  const char* format = job.input.formatChoice == 0 ? " %d / %d%s" : " ( %d / %d )%s";
  int length = snprintf(numbers, sizeof numbers, format, page, job.pageTotal, kNumberDivTail);
  WriteBytes(&job.writer, job.head->text, job.head->length);
  WriteBytes(&job.writer, numbers, static_cast<size_t>(length));
  WriteText(&job.writer, LineEnding(job));
}

// Writes a line that starts with `first`, and every later piece of it,
// unchanged. False when a read fails.
bool CopyLine(JobState& job, const LinePiece& first) {
  WritePiece(&job.writer, first);
  bool ends = first.endsLine;
  while (!ends) {
    LinePiece piece;
    ReadStatus status = ReadPiece(&job.reader, &piece);
    if (status == ReadStatus::Error) return false;
    if (status == ReadStatus::End) break;
    WritePiece(&job.writer, piece);
    ends = piece.endsLine;
  }
  return true;
}

// A heading loses its old annotation, wherever on the line it stands, and
// the line then ends with the job's line ending. When adding, a heading
// gets a new annotation if the line still fits in one piece with it, and a
// heading without annotation has its own ending replaced as well, unless
// it is longer than a piece and stays as it is. False when a read fails.
bool RewriteHeading(JobState& job, const LinePiece& line, size_t space, int32_t page) {
  WriteBytes(&job.writer, line.data, space);
  HeadingCut cut;
  StartHeadingCut(&cut);
  FeedHeadingCut(&cut, &job.writer, line.data + space, line.length - space);
  bool ends = line.endsLine;
  while (!ends) {
    LinePiece piece;
    ReadStatus status = ReadPiece(&job.reader, &piece);
    if (status == ReadStatus::Error) return false;
    if (status == ReadStatus::End) break;
    FeedHeadingCut(&cut, &job.writer, piece.data, piece.length);
    ends = piece.endsLine;
  }
  bool rebuild = cut.cut || (job.inserting && line.endsLine);
  FinishHeadingCut(&cut, &job.writer, !rebuild);
  if (!rebuild) return true;
  const char* ending = LineEnding(job);
  if (job.inserting && job.input.annotateHeadings != 0) {
    char number[40];
    int length = snprintf(number, sizeof number, " ...%d</span>", page);
    uint64_t whole = space + cut.kept + (sizeof kHeadingAnnotation - 1) +
                     static_cast<uint64_t>(length) + strlen(ending);
    if (whole <= kPieceLimit) {
      WriteText(&job.writer, kHeadingAnnotation);
      WriteBytes(&job.writer, number, static_cast<size_t>(length));
    }
  }
  WriteText(&job.writer, ending);
  return true;
}

// A page break and what follows it: the break copied; the empty line after
// it copied, or one added when the next line is not empty; the page-number
// line when adding; then the next line is dropped when it is an old
// page-number line. Answers the status of its last read; with Piece, `next`
// is the line to examine next.
ReadStatus FollowPageBreak(JobState& job, const LinePiece& pageBreak, int32_t page,
                           LinePiece* next) {
  if (!CopyLine(job, pageBreak)) return ReadStatus::Error;
  ReadStatus status = ReadPiece(&job.reader, next);
  if (status != ReadStatus::Piece) return status;
  if (IsBlankLine(*next)) {
    if (!CopyLine(job, *next)) return ReadStatus::Error;
    status = ReadPiece(&job.reader, next);
    if (status == ReadStatus::End && job.inserting) {
      // An empty line may end the file without LF ("\r"); the number line
      // must still stand on a line of its own.
      if (job.writer.lastByte != '\n') WriteText(&job.writer, LineEnding(job));
      WriteNumberLine(job, page);
    }
    if (status != ReadStatus::Piece) return status;
  } else {
    WriteText(&job.writer, LineEnding(job));
  }
  if (job.inserting) WriteNumberLine(job, page);
  if (IsOldNumberLine(*next)) return ReadPiece(&job.reader, next);
  return ReadStatus::Piece;
}

PassOutcome PassEnd(const JobState& job, ReadStatus status) {
  return status == ReadStatus::End && !job.writer.failed ? PassOutcome::Done : PassOutcome::Failed;
}

}  // namespace

const char* LineEnding(const JobState& job) {
  return job.eolStyle == EolStyle::CrLf ? "\r\n" : "\n";
}

bool StartsWith(const LinePiece& line, const char* marker, size_t markerLength) {
  return line.length >= markerLength && memcmp(line.data, marker, markerLength) == 0;
}

bool IsPageBreak(const LinePiece& line) {
  return StartsWith(line, kPageBreakMarker, sizeof kPageBreakMarker - 1);
}

bool IsTocLine(const LinePiece& line) {
  return StartsWith(line, kTocMarker, sizeof kTocMarker - 1);
}

bool IsBlankLine(const LinePiece& line) {
  return line.length > 0 && (line.data[0] == '\r' || line.data[0] == '\n');
}

bool IsOldNumberLine(const LinePiece& line) {
  const size_t tailLength = sizeof kNumberDivTail - 1;
  if (!line.endsLine || !StartsWith(line, kNumberDivHead, sizeof kNumberDivHead - 1)) return false;
  size_t length = line.length;
  while (length > 0 && (line.data[length - 1] == '\r' || line.data[length - 1] == '\n')) --length;
  return length >= tailLength &&
         memcmp(line.data + length - tailLength, kNumberDivTail, tailLength) == 0;
}

ptrdiff_t HeadingSpace(const LinePiece& line) {
  size_t i = 0;
  while (i < line.length && line.data[i] == ' ') ++i;
  size_t hashes = i;
  while (i < line.length && line.data[i] == '#') ++i;
  if (i == hashes || i >= line.length || line.data[i] != ' ') return -1;
  return static_cast<ptrdiff_t>(i);
}

int32_t PageAfterBreak(const JobState& job, int32_t page) {
  if (page >= 0 && page < kSkipTableSize) page = SaturatingAdd(page, job.skipTable[page]);
  return SaturatingAdd(page, 1);
}

bool CountPages(JobState& job) {
  int32_t page = job.frame.firstPage;
  job.eolStyle = EolStyle::Undetermined;
  Utf8Scan scan;
  StartUtf8Scan(&scan);
  bool bom = false;
  bool first = true;
  FirstLineEnd firstLine;
  LinePiece piece;
  ReadStatus status;
  while ((status = ReadPiece(&job.reader, &piece)) == ReadStatus::Piece) {
    if (!CopyToSpool(job, piece)) return false;
    if (first) bom = StartsWithUtf8Bom(piece.data, piece.length);
    first = false;
    if (!bom && scan.valid) ScanUtf8(&scan, piece.data, piece.length);
    if (job.eolStyle == EolStyle::Undetermined) TakeFirstLine(job, firstLine, piece);
    if (!piece.startsLine) continue;
    if (IsPageBreak(piece)) {
      page = PageAfterBreak(job, page);
    } else if (IsTocLine(piece)) {
      page = SaturatingAdd(page, int64_t{job.tocPages} - 1);
    }
  }
  job.countedEnd = page;
  job.utf8 = bom || Utf8ScanValid(scan);
  return status == ReadStatus::End && (job.spool == nullptr || fflush(job.spool) == 0);
}

PassOutcome RewritePass(JobState& job) {
  int32_t page = job.frame.firstPage;
  job.lastPage = page;
  LinePiece line;
  ReadStatus status = ReadPiece(&job.reader, &line);
  if (status != ReadStatus::Piece) return PassEnd(job, status);

  // A number line at the top when asked; an old one there always goes.
  if (job.inserting && job.frame.numberTop) WriteNumberLine(job, page);
  if (IsOldNumberLine(line)) status = ReadPiece(&job.reader, &line);

  while (status == ReadStatus::Piece && !job.writer.failed) {
    bool read = true;
    ptrdiff_t space = -1;
    if (IsPageBreak(line)) {
      page = PageAfterBreak(job, page);
      status = FollowPageBreak(job, line, page, &line);
      continue;  // what follows the break is examined like any other line
    }
    if (IsTocLine(line)) {
      read = CopyLine(job, line);
      page = SaturatingAdd(page, int64_t{job.tocPages} - 1);
    } else if ((space = HeadingSpace(line)) >= 0) {
      read = RewriteHeading(job, line, static_cast<size_t>(space), page);
    } else {
      read = CopyLine(job, line);
    }
    if (!read) return PassOutcome::Failed;
    status = ReadPiece(&job.reader, &line);
  }
  job.lastPage = page;
  return PassEnd(job, status);
}
