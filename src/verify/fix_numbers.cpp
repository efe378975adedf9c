#include "verify/fix_numbers.h"

#include <stdio.h>
#include <string.h>

#include "paging/file_ops.h"
#include "paging/job_steps.h"
#include "paging/line_reader.h"
#include "paging/line_writer.h"
#include "paging/result_texts.h"
#include "verify/markdown_lines.h"

namespace {

constexpr size_t kBufferSize = 1 << 20;

char readBuffer[kBufferSize];
char writeBuffer[kBufferSize];
char backupPath[kPathBufferSize];
char resultText[kResultSize];

const char kChanged[] =
    "Error: The file changed while it was being fixed; it was restored from its backup.\r\n"
    "%s\r\n%s\r\n";

struct FixJob {
  const DocumentScan* scan;
  const Placement* placement;
  FILE* backup;
  FILE* markdown;
  LineReader reader;
  LineWriter writer;
  int32_t numberLine;
  int32_t heading;
  bool mismatch;  // the file holds other lines than were scanned
};
FixJob job;

FixReport Report(FixOutcome outcome, const char* format, const char* first = nullptr,
                 const char* second = nullptr) {
  snprintf(resultText, sizeof resultText, format, first, second);
  return FixReport{outcome, resultText};
}

// The backup's name beside the Markdown file, by the rule of the jobs.
const char* DeriveBackupPath(const char* markdownPath) {
  switch (MakeBackupPath(markdownPath, false, backupPath, sizeof backupPath)) {
    case BackupName::Made: return nullptr;
    case BackupName::NoMdFile: return kNoMdFile;
    case BackupName::TooLong: break;
  }
  return kTooLong;
}

void WriteNumberLine(const LinePiece& line, const NumberLineParts& parts) {
  if (job.numberLine >= job.scan->numberLineCount) {
    job.mismatch = true;
    WriteBytes(&job.writer, line.data, line.length);
    return;
  }
  char numbers[64];
  FormatNumbers(job.placement->numberSheets[job.numberLine], job.placement->sheetCount,
                parts.paren, numbers, sizeof numbers);
  job.numberLine += 1;
  WriteBytes(&job.writer, line.data, parts.numbersStart);
  WriteText(&job.writer, numbers);
  WriteBytes(&job.writer, line.data + parts.numbersEnd, line.length - parts.numbersEnd);
}

void WriteHeading(const LinePiece& line, const HeadingParts& parts) {
  if (job.heading >= job.scan->headingCount) {
    job.mismatch = true;
    WriteBytes(&job.writer, line.data, line.length);
    return;
  }
  char page[16];
  int length = snprintf(page, sizeof page, "%d", job.placement->headingSheets[job.heading]);
  job.heading += 1;
  WriteBytes(&job.writer, line.data, parts.pageStart);
  WriteBytes(&job.writer, page, static_cast<size_t>(length));
  WriteBytes(&job.writer, line.data + parts.pageEnd, line.length - parts.pageEnd);
}

// Writes one piece, with new numbers when it is a line the scan took:
// recognised exactly as the scan did, so the n-th number line here is the
// scan's n-th.
void RewriteNumbersPiece(MarkdownWalk* walk, const LinePiece& piece) {
  if (!piece.startsLine) {
    WriteBytes(&job.writer, piece.data, piece.length);
    return;
  }
  WriteBytes(&job.writer, piece.data, ByteOrderMarkLength(piece));
  LinePiece line = AfterByteOrderMark(piece);
  NumberLineParts number;
  HeadingParts heading;
  LineKind kind = WalkLine(walk, line);
  if (kind == LineKind::Text && ParseNumberLine(line, &number)) {
    WriteNumberLine(line, number);
  } else if (kind == LineKind::Heading && ParseAnnotatedHeading(line, &heading)) {
    WriteHeading(line, heading);
  } else {
    WriteBytes(&job.writer, line.data, line.length);
  }
}

// Reads the backup and writes the Markdown file.
bool RewriteNumbersPass() {
  MarkdownWalk walk;
  StartWalk(&walk, job.scan->walk.frontMatterEnd);
  LinePiece piece;
  ReadStatus status;
  while ((status = ReadPiece(&job.reader, &piece)) == ReadStatus::Piece) {
    RewriteNumbersPiece(&walk, piece);
  }
  if (job.numberLine != job.scan->numberLineCount || job.heading != job.scan->headingCount) {
    job.mismatch = true;
  }
  return status == ReadStatus::End && !job.writer.failed && !job.mismatch;
}

FixReport Restore(const char* markdownPath) {
  if (job.markdown != nullptr) fclose(job.markdown);
  job.markdown = nullptr;
  if (job.backup != nullptr) fclose(job.backup);
  job.backup = nullptr;
  bool restored = CopyFileReplacing(backupPath, markdownPath) == CopyOutcome::Copied;
  const char* format = !restored ? kKeptInBackup : job.mismatch ? kChanged : kRestored;
  return Report(FixOutcome::Failed, format, markdownPath, backupPath);
}

}  // namespace

FixReport FixNumbers(const char* markdownPath, const DocumentScan& scan,
                     const Placement& placement) {
  const char* refusal = DeriveBackupPath(markdownPath);
  if (refusal != nullptr) return Report(FixOutcome::Refused, refusal);
  CopyOutcome copy = CopyFileReplacing(markdownPath, backupPath);
  if (copy == CopyOutcome::SourceMissing) return Report(FixOutcome::Refused, kMissing, markdownPath);
  if (copy != CopyOutcome::Copied) return Report(FixOutcome::Refused, kBusyCopy, markdownPath, backupPath);
  job.scan = &scan;
  job.placement = &placement;
  job.numberLine = 0;
  job.heading = 0;
  job.mismatch = false;
  job.backup = OpenSharedForReading(backupPath);
  if (job.backup == nullptr) return Report(FixOutcome::Refused, kBusyOpen, backupPath);
  job.markdown = OpenExclusiveForWriting(markdownPath);
  if (job.markdown == nullptr) {
    fclose(job.backup);
    job.backup = nullptr;
    return Report(FixOutcome::Refused, kBusyOpen, markdownPath);
  }
  StartReading(&job.reader, job.backup, readBuffer, sizeof readBuffer, kPieceLimit);
  StartWriting(&job.writer, FileSink(job.markdown), writeBuffer, sizeof writeBuffer);
  if (!RewriteNumbersPass() || !FlushWriting(&job.writer)) return Restore(markdownPath);
  bool closed = CloseWrittenFile(job.markdown);
  job.markdown = nullptr;
  if (!closed) return Restore(markdownPath);
  fclose(job.backup);
  job.backup = nullptr;
  snprintf(resultText, sizeof resultText, kTotal, placement.sheetCount);
  return FixReport{FixOutcome::Written, resultText};
}
