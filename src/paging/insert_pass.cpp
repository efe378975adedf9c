// Adding page numbers: a page-number line after every page break (and, when
// asked, before the first line), and page annotations on heading lines.
#include <string.h>

#include "common/numbers.h"
#include "paging/job_steps.h"

namespace {

constexpr size_t kHeadSize = 1004;  // 1003 bytes of head and the NUL

// The part of a page-number line before the numbers; the same for every
// page of one job, since the job's settings are taken once.
char numberLineHead[kHeadSize];
size_t numberLineHeadLength;

const char* ColorText(const JobInput& input) {
  if (input.colorChoice == 0) return "black";
  if (input.colorChoice == 1) return "gray";
  return input.customColor;
}

bool ComposeHead(JobState& job, char* result, size_t resultSize) {
  const JobInput& in = job.input;
  int length = snprintf(numberLineHead, sizeof numberLineHead,
                        "%s%s\"><span style=\"font-size: %s%%; color:%s\">%s%s", kNumberDivHead,
                        in.positionChoice == 0 ? " right" : " center", in.fontSizePercent,
                        ColorText(in), in.headerText, in.headerText[0] != '\0' ? "&nbsp;&nbsp;&nbsp;" : "");
  if (length < 0 || static_cast<size_t>(length) >= sizeof numberLineHead) {
    snprintf(result, resultSize, "Error: Header, colour or font size text is too long.\r\n");
    return false;
  }
  numberLineHeadLength = static_cast<size_t>(length);
  return true;
}

void WriteNumberLine(JobState& job, int32_t pageCounter) {
  char numbers[80];
  const char* format = job.input.formatChoice == 0 ? " %d / %d%s" : " ( %d / %d )%s";
  int length = snprintf(numbers, sizeof numbers, format, pageCounter, job.pageTotal, kNumberDivTail);
  WriteBytes(&job.writer, numberLineHead, numberLineHeadLength);
  WriteBytes(&job.writer, numbers, static_cast<size_t>(length));
  WriteText(&job.writer, LineEnding(job));
}

// A heading loses its old annotation and line ending and, when asked, gets
// one with its page; a heading longer than one piece is left as it is.
bool WriteHeading(JobState& job, const LinePiece& line, size_t space, int32_t pageCounter) {
  if (!line.endsLine) return CopyLine(job, line);
  ptrdiff_t annotation = FindAnnotation(line, space);
  size_t keep = annotation >= 0 ? static_cast<size_t>(annotation) : LengthWithoutEnd(line);
  WriteBytes(&job.writer, line.data, keep);
  if (job.input.annotateHeadings != 0) {
    char page[40];
    int length = snprintf(page, sizeof page, " ...%d</span>", pageCounter);
    WriteText(&job.writer, kHeadingAnnotation);
    WriteBytes(&job.writer, page, static_cast<size_t>(length));
  }
  WriteText(&job.writer, LineEnding(job));
  return true;
}

int32_t CountPageBreak(const JobState& job, int32_t pageCounter) {
  if (pageCounter < kSkipTableSize) {
    pageCounter = SaturatingAdd(pageCounter, job.skipTable[pageCounter]);
  }
  return SaturatingAdd(pageCounter, 1);
}

PassOutcome InsertPass(JobState& job) {
  int32_t pageCounter = 1;
  LinePiece line;
  ReadStatus status = ReadPiece(&job.reader, &line);
  if (status != ReadStatus::Piece) return PassEnd(job, status);

  // The first line: a page-number line for page 1 when asked, and an old
  // page-number line there is always replaced.
  bool examine = true;
  if (job.input.numberFirstPage != 0) {
    WriteNumberLine(job, pageCounter);
    if (!IsOldNumberLine(line) && !CopyLine(job, line)) return PassOutcome::Failed;
    examine = false;
  } else if (IsOldNumberLine(line)) {
    examine = false;
  }
  if (!examine) status = ReadPiece(&job.reader, &line);

  while (status == ReadStatus::Piece && !job.writer.failed) {
    ptrdiff_t space = -1;
    bool copied = true;
    if (IsPageBreak(line)) {
      pageCounter = CountPageBreak(job, pageCounter);
      status = CopyPageBreak(job, line, WriteNumberLine, pageCounter);
      if (status != ReadStatus::Piece) break;
    } else if (IsTocLine(line)) {
      copied = CopyLine(job, line);
      pageCounter = SaturatingAdd(pageCounter, int64_t{job.tocPages} - 1);
    } else if ((space = HeadingSpace(line)) >= 0) {
      copied = WriteHeading(job, line, static_cast<size_t>(space), pageCounter);
    } else {
      copied = CopyLine(job, line);
    }
    if (!copied) return PassOutcome::Failed;
    status = ReadPiece(&job.reader, &line);
  }
  return PassEnd(job, status);
}

}  // namespace

void InsertPageNumbers(const JobInput& input, JobEnding ending, void* context) {
  RunRewritingJob(input, ComposeHead, InsertPass, ending, context);
}
