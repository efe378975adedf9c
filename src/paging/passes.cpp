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

// The page a walk through the document has reached.
struct PageCount {
  int32_t page;
  MarkdownWalk walk;
};

void CountLine(const JobState& job, PageCount* count, const LinePiece& line) {
  switch (WalkLine(&count->walk, line)) {
    case LineKind::PageBreak: count->page = PageAfterBreak(job, count->page); break;
    case LineKind::Toc: count->page = SaturatingAdd(count->page, int64_t{job.tocPages} - 1); break;
    default: break;
  }
}

// The head, " %d / %d" or " ( %d / %d )", the tail and the line end.
void WriteNumberLine(JobState& job, int32_t page) {
  char numbers[96];
  size_t length = FormatNumbers(page, TotalForNumberLine(job), job.input.formatChoice != 0, numbers,
                                sizeof numbers);
  memcpy(numbers + length, kNumberDivTail, sizeof kNumberDivTail - 1);
  length += sizeof kNumberDivTail - 1;
  WriteBytes(&job.writer, job.head->text, job.head->length);
  WriteBytes(&job.writer, numbers, length);
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

// Writes a heading whose first piece is not the whole line into `writer`,
// with its first annotation cut out wherever it stands. Answers whether the
// line is to be rebuilt (its own ending was held back). False in *read when
// a read fails.
bool CutLongHeading(JobState& job, LineWriter* writer, const LinePiece& line, size_t space, bool* read) {
  WriteBytes(writer, line.data, space);
  HeadingCut cut;
  StartHeadingCut(&cut);
  FeedHeadingCut(&cut, writer, line.data + space, line.length - space);
  bool ends = false;
  *read = true;
  while (!ends) {
    LinePiece piece;
    ReadStatus status = ReadPiece(&job.reader, &piece);
    if (status == ReadStatus::Error) *read = false;
    if (status != ReadStatus::Piece) break;
    FeedHeadingCut(&cut, writer, piece.data, piece.length);
    ends = piece.endsLine;
  }
  // A long heading without annotation keeps its own ending; it could not
  // take a new annotation anyway.
  FinishHeadingCut(&cut, writer, !cut.cut);
  return cut.cut;
}

// A heading whose annotation was taken out, with the tail that followed the
// annotation joined back.
char joinedHeading[kPieceLimit];

// Holds what a long heading keeps while it fits a piece, so that a new
// annotation can take its place in it; once it does not fit, everything
// goes on to the job's writer.
struct HeadingHold {
  size_t length;
  bool spilled;
  LineWriter* spill;
};

bool HoldHeadingBytes(void* context, const char* data, size_t length) {
  HeadingHold& hold = *static_cast<HeadingHold*>(context);
  if (!hold.spilled && length <= sizeof joinedHeading - hold.length) {
    memcpy(joinedHeading + hold.length, data, length);
    hold.length += length;
    return true;
  }
  if (!hold.spilled) WriteBytes(hold.spill, joinedHeading, hold.length);
  hold.spilled = true;
  WriteBytes(hold.spill, data, length);
  return !hold.spill->failed;
}

// Cuts the first annotation, and all after it, out of a heading whose first
// piece is not the whole line. True when what it keeps fits a piece: it is
// then in joinedHeading[0, *length), to be rebuilt with the job's line
// ending. Otherwise the line is written and the answer is false, with
// *read false when a read failed.
bool TakeLongHeading(JobState& job, const LinePiece& line, size_t space, size_t* length, bool* read) {
  HeadingHold hold = {0, false, &job.writer};
  LineWriter held;
  StartWriting(&held, ByteSink{HoldHeadingBytes, nullptr, &hold}, nullptr, 0);
  *read = true;
  bool rebuild = CutLongHeading(job, &held, line, space, read);
  if (held.failed) job.writer.failed = true;
  if (rebuild && *read && !hold.spilled) {
    *length = hold.length;
    return true;
  }
  if (!hold.spilled) WriteBytes(&job.writer, joinedHeading, hold.length);
  // Too long for an annotation: it only gets the job's line ending.
  if (rebuild && *read) WriteText(&job.writer, LineEnding(job));
  return false;
}

// A heading loses its old annotation and, unless it is the heading's tail
// (closing marks, an attribute block), what follows it on the line; the
// line then ends with the job's line ending. When adding, a heading gets a
// new annotation before its tail if the line still fits in one piece with
// it, and one of one piece without annotation has its own ending replaced
// as well. False when a read fails.
bool RewriteHeading(JobState& job, const LinePiece& line, size_t space, int32_t page,
                    bool inserting) {
  const char* text = joinedHeading;
  size_t textLength = 0;
  if (!line.endsLine) {
    bool read = true;
    if (!TakeLongHeading(job, line, space, &textLength, &read)) return read;
  } else {
    ptrdiff_t found = FindAnnotation(line, space);
    if (found < 0 && !inserting) {
      WritePiece(&job.writer, line);
      return true;
    }
    const size_t length = LengthWithoutEnd(line);
    text = line.data;
    textLength = length;
    if (found >= 0) {
      size_t at = static_cast<size_t>(found);
      size_t end = AnnotationEnd(line.data, length, at);
      textLength = at;
      if (end != 0 && IsHeadingTail(line.data + end, length - end)) {
        memcpy(joinedHeading, line.data, at);
        memcpy(joinedHeading + at, line.data + end, length - end);
        text = joinedHeading;
        textLength = at + (length - end);
      }
    }
  }
  const char* ending = LineEnding(job);
  char annotation[64];
  size_t annotationLength = 0;
  if (inserting && job.input.annotateHeadings != 0) annotationLength = FormatAnnotation(page, annotation);
  if (textLength + annotationLength + strlen(ending) > kPieceLimit) annotationLength = 0;
  size_t place = annotationLength > 0 ? AnnotationPlace(text, textLength, space) : textLength;
  WriteBytes(&job.writer, text, place);
  WriteBytes(&job.writer, annotation, annotationLength);
  WriteBytes(&job.writer, text + place, textLength - place);
  WriteText(&job.writer, ending);
  return true;
}

// Where a number line stands: at the top, or after a page break and its
// blank line. When writing, the new number line goes there on a line of
// its own (lineOpen: the line before it still needs its end). An old number
// line there goes, and so does the blank line right after it. A blank line
// follows the new number line whenever anything follows: renderers end the
// number line's HTML block only at a blank line, and would otherwise take
// the page's first line, its heading most often, for more HTML. Answers the
// status of the last read; with Piece, `next` is the line to examine next.
ReadStatus NumberLinePlace(JobState& job, int32_t page, bool write, bool lineOpen, LinePiece* next,
                           ReadStatus status) {
  if (status == ReadStatus::Error) return status;
  if (write) {
    if (lineOpen) WriteText(&job.writer, LineEnding(job));
    WriteNumberLine(job, page);
  }
  if (status == ReadStatus::Piece && IsOldNumberLine(*next)) {
    status = ReadPiece(&job.reader, next);
    if (status == ReadStatus::Piece && IsEmptyLine(*next)) status = ReadPiece(&job.reader, next);
  }
  if (write && status == ReadStatus::Piece) WriteText(&job.writer, LineEnding(job));
  return status;
}

// A page break and what follows it: the break copied; the empty line after
// it copied, or one added when the next line is not empty; then the number
// line's place.
ReadStatus FollowPageBreak(JobState& job, const LinePiece& pageBreak, int32_t page,
                           LinePiece* next) {
  if (!CopyLine(job, pageBreak)) return ReadStatus::Error;
  ReadStatus status = ReadPiece(&job.reader, next);
  if (status != ReadStatus::Piece) return status;
  if (IsBlankLine(*next)) {
    if (!CopyLine(job, *next)) return ReadStatus::Error;
    status = ReadPiece(&job.reader, next);
  } else {
    WriteText(&job.writer, LineEnding(job));
  }
  // An empty line may end the file without LF ("\r").
  return NumberLinePlace(job, page, job.inserting, job.writer.lastByte != '\n', next, status);
}

PassOutcome PassEnd(const JobState& job, ReadStatus status) {
  return status == ReadStatus::End && !job.writer.failed ? PassOutcome::Done : PassOutcome::Failed;
}

}  // namespace

const char* LineEnding(const JobState& job) { return LineEndingText(job.eolStyle); }

int32_t PageAfterBreak(const JobState& job, int32_t page) {
  if (page >= 0 && page < kSkipTableSize) page = SaturatingAdd(page, job.skipTable[page]);
  return SaturatingAdd(page, 1);
}

bool CountPages(JobState& job) {
  job.eolStyle = EolStyle::Undetermined;
  job.frontMatter = FrontMatterSpan{0, 0};
  // Whether the document is UTF-8 is seen in the blocks the reader reads.
  Utf8Scan scan;
  StartUtf8Scan(&scan);
  job.reader.scan = &scan;
  bool bom = false;
  FirstLineEnd firstLine;
  StartFirstLineEnd(&firstLine);
  FrontMatterScan frontMatter;
  StartFrontMatter(&frontMatter);
  PageCount count = {job.frame.firstPage, {}};
  StartWalk(&count.walk, FrontMatterSpan{0, 0});
  // While front matter is open, its lines are also counted as if there were
  // none: front matter that is never closed is none.
  PageCount asText = count;
  LinePiece piece;
  ReadStatus status;
  while ((status = ReadPiece(&job.reader, &piece)) == ReadStatus::Piece) {
    if (!CopyToSpool(job, piece)) return false;
    if (job.eolStyle == EolStyle::Undetermined) {
      if (piece.offset == 0) bom = StartsWithUtf8Bom(piece.data, piece.length);
      TakeFirstLineBytes(&firstLine, piece.data, piece.length);
      if (piece.endsLine) job.eolStyle = EolStyleOf(firstLine);
    }
    if (!piece.startsLine) continue;
    LinePiece line = AfterByteOrderMark(piece);
    using State = FrontMatterScan::State;
    if (frontMatter.state == State::Start || frontMatter.state == State::Open) {
      FeedFrontMatter(&frontMatter, line);
      if (frontMatter.state == State::Open) CountLine(job, &asText, line);
      if (frontMatter.state != State::None) continue;
    }
    CountLine(job, &count, line);
  }
  job.reader.scan = nullptr;
  if (frontMatter.state == FrontMatterScan::State::Open) count = asText;
  if (frontMatter.state == FrontMatterScan::State::Closed) job.frontMatter = frontMatter.span;
  job.countedEnd = count.page;
  job.utf8 = bom || Utf8ScanValid(scan);
  return status == ReadStatus::End && (job.spool == nullptr || fflush(job.spool) == 0);
}

PassOutcome RewritePass(JobState& job) {
  int32_t page = job.frame.firstPage;
  job.lastPage = page;
  LinePiece line;
  ReadStatus status = ReadPiece(&job.reader, &line);
  if (status != ReadStatus::Piece) return PassEnd(job, status);

  // A byte order mark stays the first bytes; the first line is the rest.
  size_t mark = ByteOrderMarkLength(line);
  if (mark > 0) {
    WriteBytes(&job.writer, line.data, mark);
    line = AfterByteOrderMark(line);
    if (line.length == 0) status = ReadPiece(&job.reader, &line);
    if (status != ReadStatus::Piece) return PassEnd(job, status);  // nothing but the mark
  }
  // Front matter is copied as it is; the top is right after it, so an old
  // number line above it goes, with its empty line.
  const FrontMatterSpan& frontMatter = job.frontMatter;
  while (status == ReadStatus::Piece && line.offset < frontMatter.start) {
    status = ReadPiece(&job.reader, &line);
  }
  while (status == ReadStatus::Piece && line.offset < frontMatter.end) {
    if (!CopyLine(job, line)) return PassOutcome::Failed;
    status = ReadPiece(&job.reader, &line);
  }
  bool lineOpen = frontMatter.end > 0 && job.writer.lastByte != '\n';
  status = NumberLinePlace(job, page, job.inserting && job.frame.numberTop, lineOpen, &line, status);

  MarkdownWalk walk;
  StartWalk(&walk, frontMatter);
  while (status == ReadStatus::Piece && !job.writer.failed) {
    bool read = true;
    switch (WalkLine(&walk, line)) {
      case LineKind::PageBreak:
        page = PageAfterBreak(job, page);
        status = FollowPageBreak(job, line, page, &line);
        continue;  // what follows the break is examined like any other line
      case LineKind::Toc:
        read = CopyLine(job, line);
        page = SaturatingAdd(page, int64_t{job.tocPages} - 1);
        break;
      case LineKind::Heading:
        read = RewriteHeading(job, line, static_cast<size_t>(HeadingSpace(line)), page, job.inserting);
        break;
      case LineKind::Code: {
        // Code gets nothing, but loses an annotation earlier builds gave it.
        ptrdiff_t space = HeadingSpace(line);
        read = space >= 0 ? RewriteHeading(job, line, static_cast<size_t>(space), page, false)
                          : CopyLine(job, line);
        break;
      }
      case LineKind::Text:
      case LineKind::FrontMatter: read = CopyLine(job, line); break;
    }
    if (!read) return PassOutcome::Failed;
    status = ReadPiece(&job.reader, &line);
  }
  job.lastPage = page;
  return PassEnd(job, status);
}
