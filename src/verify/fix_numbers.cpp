#include "verify/fix_numbers.h"

#include <stdio.h>
#include <string.h>

#include "common/store.h"
#include "paging/in_place.h"
#include "paging/line_reader.h"
#include "paging/line_writer.h"
#include "verify/markdown_lines.h"

namespace {

char resultText[1024 + 2 * 1004];

const char kChanged[] =
    "Error: The file changed while it was being fixed; it was left as it was.\r\n%s\r\n";

struct FixJob {
  const DocumentScan* scan;
  const Placement* placement;
  LineWriter* writer;
  int32_t numberLine;
  int32_t heading;
  bool mismatch;  // the file holds other lines than were scanned
};
FixJob job;

void WriteNumberLine(const LinePiece& line, const NumberLineParts& parts) {
  if (job.numberLine >= job.scan->numberLineCount) {
    job.mismatch = true;
    WriteBytes(job.writer, line.data, line.length);
    return;
  }
  char numbers[64];
  FormatNumbers(job.placement->numberSheets[job.numberLine], job.placement->sheetCount,
                parts.paren, numbers, sizeof numbers);
  job.numberLine += 1;
  WriteBytes(job.writer, line.data, parts.numbersStart);
  WriteText(job.writer, numbers);
  WriteBytes(job.writer, line.data + parts.numbersEnd, line.length - parts.numbersEnd);
}

void WriteHeading(const LinePiece& line, const HeadingParts& parts) {
  if (job.heading >= job.scan->headingCount) {
    job.mismatch = true;
    WriteBytes(job.writer, line.data, line.length);
    return;
  }
  char page[16];
  int length = snprintf(page, sizeof page, "%d", job.placement->headingSheets[job.heading]);
  job.heading += 1;
  WriteBytes(job.writer, line.data, parts.pageStart);
  WriteBytes(job.writer, page, static_cast<size_t>(length));
  WriteBytes(job.writer, line.data + parts.pageEnd, line.length - parts.pageEnd);
}

// One line of the document, recognised exactly as the scan recognised it,
// so the n-th number line here is the scan's n-th.
void RewriteLine(MarkdownWalk* walk, const LinePiece& piece) {
  if (!piece.startsLine) {
    WriteBytes(job.writer, piece.data, piece.length);
    return;
  }
  WriteBytes(job.writer, piece.data, ByteOrderMarkLength(piece));
  LinePiece line = AfterByteOrderMark(piece);
  NumberLineParts number;
  HeadingParts heading;
  LineKind kind = WalkLine(walk, line);
  if (kind == LineKind::Text && ParseNumberLine(line, &number)) {
    WriteNumberLine(line, number);
  } else if (kind == LineKind::Heading && ParseAnnotatedHeading(line, &heading)) {
    WriteHeading(line, heading);
  } else {
    WriteBytes(job.writer, line.data, line.length);
  }
}

// The pass the job steps run over the document.
bool RewriteNumbersPass(void*, LineReader* reader, LineWriter* writer) {
  job.writer = writer;
  MarkdownWalk walk;
  StartWalk(&walk, job.scan->walk.frontMatter);
  LinePiece piece;
  ReadStatus status;
  while ((status = ReadPiece(reader, &piece)) == ReadStatus::Piece) RewriteLine(&walk, piece);
  if (job.numberLine != job.scan->numberLineCount || job.heading != job.scan->headingCount) {
    job.mismatch = true;
  }
  return status == ReadStatus::End && !writer->failed && !job.mismatch;
}

FixOutcome OutcomeOf(JobOutcome outcome) {
  switch (outcome) {
    case JobOutcome::Done: return FixOutcome::Written;
    case JobOutcome::Refused: return FixOutcome::Refused;
    case JobOutcome::Failed: break;
  }
  return FixOutcome::Failed;
}

}  // namespace

FixReport FixNumbers(const char* markdownPath, const DocumentScan& scan,
                     const Placement& placement) {
  job.scan = &scan;
  job.placement = &placement;
  job.writer = nullptr;
  job.numberLine = 0;
  job.heading = 0;
  job.mismatch = false;
  // Only the backup settings play a part: the numbers come from the PDF.
  JobInput input = {};
  input.markdownPath = markdownPath;
  input.tocPageCount = "";
  input.skipPages = "";
  input.headerText = "";
  input.customColor = "";
  input.fontSizePercent = "";
  input.keepExistingBackup = Settings[kKeepExistingBackup];
  InPlacePass pass = {RewriteNumbersPass, nullptr, placement.sheetCount};
  JobReport report = RewriteInPlaceWith(input, pass);
  if (report.outcome == JobOutcome::Failed && job.mismatch) {
    snprintf(resultText, sizeof resultText, kChanged, markdownPath);
  } else {
    snprintf(resultText, sizeof resultText, "%s", report.text);
  }
  return FixReport{OutcomeOf(report.outcome), resultText};
}
