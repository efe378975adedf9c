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

// Appends text to out at *length.
void Append(char* out, size_t* length, const char* text, size_t textLength) {
  memcpy(out + *length, text, textLength);
  *length += textLength;
}

// " %d / %d" or " ( %d / %d )", then the tail and the line end.
void WriteNumberLine(JobState& job, int32_t page) {
  bool slash = job.input.formatChoice == 0;
  int32_t total = TotalForNumberLine(job);
  char numbers[80];
  size_t length = 0;
  Append(numbers, &length, slash ? " " : " ( ", slash ? 1 : 3);
  length += FormatDecimal(page, numbers + length);
  Append(numbers, &length, " / ", 3);
  length += FormatDecimal(total, numbers + length);
  if (!slash) Append(numbers, &length, " )", 2);
  Append(numbers, &length, kNumberDivTail, sizeof kNumberDivTail - 1);
  const char* ending = LineEnding(job);
  Append(numbers, &length, ending, strlen(ending));
  WriteBytes(&job.writer, job.head->text, job.head->length);
  WriteBytes(&job.writer, numbers, length);
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

// Writes a heading whose first piece is not the whole line, with its first
// annotation cut out wherever it stands. Answers whether the line is to be
// rebuilt (its own ending was held back) and, in *kept, the bytes written.
// False in *read when a read fails.
bool CutLongHeading(JobState& job, const LinePiece& line, size_t space, uint64_t* kept, bool* read) {
  WriteBytes(&job.writer, line.data, space);
  HeadingCut cut;
  StartHeadingCut(&cut);
  FeedHeadingCut(&cut, &job.writer, line.data + space, line.length - space);
  bool ends = false;
  *read = true;
  while (!ends) {
    LinePiece piece;
    ReadStatus status = ReadPiece(&job.reader, &piece);
    if (status == ReadStatus::Error) *read = false;
    if (status != ReadStatus::Piece) break;
    FeedHeadingCut(&cut, &job.writer, piece.data, piece.length);
    ends = piece.endsLine;
  }
  // A long heading without annotation keeps its own ending; it could not
  // take a new annotation anyway.
  FinishHeadingCut(&cut, &job.writer, !cut.cut);
  *kept = space + cut.kept;
  return cut.cut;
}

// A heading loses its old annotation, wherever on the line it stands, and
// the line then ends with the job's line ending. When adding, a heading
// gets a new annotation if the line still fits in one piece with it, and
// one of one piece without annotation has its own ending replaced as well.
// False when a read fails.
bool RewriteHeading(JobState& job, const LinePiece& line, size_t space, int32_t page) {
  uint64_t kept = 0;
  if (line.endsLine) {
    ptrdiff_t annotation = FindAnnotation(line, space);
    if (annotation < 0 && !job.inserting) {
      WritePiece(&job.writer, line);
      return true;
    }
    kept = annotation >= 0 ? static_cast<size_t>(annotation) : LengthWithoutEnd(line);
    WriteBytes(&job.writer, line.data, static_cast<size_t>(kept));
  } else {
    bool read = true;
    bool rebuild = CutLongHeading(job, line, space, &kept, &read);
    if (!rebuild || !read) return read;
  }
  const char* ending = LineEnding(job);
  if (job.inserting && job.input.annotateHeadings != 0) {
    // " <span style=\"color: transparent;\"> ...%d</span>"
    char annotation[80];
    size_t length = 0;
    Append(annotation, &length, kHeadingAnnotation, sizeof kHeadingAnnotation - 1);
    Append(annotation, &length, " ...", 4);
    length += FormatDecimal(page, annotation + length);
    Append(annotation, &length, "</span>", 7);
    if (kept + length + strlen(ending) <= kPieceLimit) WriteBytes(&job.writer, annotation, length);
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

ptrdiff_t FindAnnotation(const LinePiece& line, size_t from) {
  const size_t length = sizeof kHeadingAnnotation - 1;
  for (size_t i = from; i + length <= line.length; ++i) {
    const void* hit = memchr(line.data + i, kHeadingAnnotation[0], line.length - length + 1 - i);
    if (hit == nullptr) return -1;
    i = static_cast<size_t>(static_cast<const char*>(hit) - line.data);
    if (memcmp(line.data + i, kHeadingAnnotation, length) == 0) return static_cast<ptrdiff_t>(i);
  }
  return -1;
}

size_t LengthWithoutEnd(const LinePiece& line) {
  size_t length = line.length;
  while (length > 0 && (line.data[length - 1] == '\r' || line.data[length - 1] == '\n')) --length;
  return length;
}

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
  size_t length = LengthWithoutEnd(line);
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
  // Whether the document is UTF-8 is seen in the blocks the reader reads.
  Utf8Scan scan;
  StartUtf8Scan(&scan);
  job.reader.scan = &scan;
  bool bom = false;
  FirstLineEnd firstLine;
  LinePiece piece;
  ReadStatus status;
  while ((status = ReadPiece(&job.reader, &piece)) == ReadStatus::Piece) {
    if (!CopyToSpool(job, piece)) return false;
    if (job.eolStyle == EolStyle::Undetermined) {
      if (piece.offset == 0) bom = StartsWithUtf8Bom(piece.data, piece.length);
      TakeFirstLine(job, firstLine, piece);
    }
    if (!piece.startsLine) continue;
    if (IsPageBreak(piece)) {
      page = PageAfterBreak(job, page);
    } else if (IsTocLine(piece)) {
      page = SaturatingAdd(page, int64_t{job.tocPages} - 1);
    }
  }
  job.reader.scan = nullptr;
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
