#include "paging/job_steps.h"

#include <string.h>

#include "common/numbers.h"
#include "common/store.h"
#include "paging/file_ops.h"

const char kPageBreakMarker[] = "<div style=\"page-break-after:always";
const char kTocMarker[] = "[TOC]";
const char kNumberDivHead[] = "<div style=\"text-align:";
const char kNumberDivTail[] = "</span></div>";
const char kHeadingAnnotation[] = " <span style=\"color: transparent;\">";

namespace {

constexpr size_t kReadBufferSize = 1 << 20;   // more than a piece, so one always fits
constexpr size_t kWriteBufferSize = 1 << 20;

// Fixed storage for the one job that runs at a time.
JobState job;
char readBuffer[kReadBufferSize];
char writeBuffer[kWriteBufferSize];
char resultText[kResultSize];

const char kTooLong[] = "Error: The path is too long.\r\n";
const char kNoMdFile[] = "Error: No .md file.\r\n";
const char kBakExists[] = "There is .bak file.";
const char kBusyCopy[] = "Error: These file are busy now.\r\n%s\r\n%s\r\n";
const char kBusyOpen[] = "Busy:%s\r\n";
const char kRestored[] =
    "Error: Writing failed; the file was restored from its backup.\r\n%s\r\n%s\r\n";
const char kKeptInBackup[] =
    "Error: Writing failed; the original is kept in its backup.\r\n%s\r\n%s\r\n";

void SetResult(const char* format, const char* first = nullptr, const char* second = nullptr) {
  snprintf(resultText, sizeof resultText, format, first, second);
}

// The backup's name beside the Markdown file, or a refusal.
bool DeriveBackupPath(const char* markdownPath) {
  size_t length = strlen(markdownPath);
  const char* dot = strrchr(markdownPath, '.');
  if (length > kPathBufferSize - 1 ||
      (dot != nullptr && static_cast<size_t>(dot - markdownPath) + 4 > kPathBufferSize - 1)) {
    SetResult(kTooLong);
    return false;
  }
  if (dot == nullptr || dot[1] != 'm' || dot[2] != 'd') {
    SetResult(kNoMdFile);
    return false;
  }
  size_t stem = static_cast<size_t>(dot - markdownPath);
  memcpy(job.backupPath, markdownPath, stem);
  memcpy(job.backupPath + stem, ".bak", 5);
  return true;
}

// The backup made and both files open, or a refusal.
bool MakeBackupAndOpen() {
  const char* markdownPath = job.input.markdownPath;
  if (job.input.keepExistingBackup != 0 && FileOpensForReading(job.backupPath, "rb")) {
    SetResult(kBakExists);
    return false;
  }
  if (!CopyFileReplacing(markdownPath, job.backupPath)) {
    SetResult(kBusyCopy, markdownPath, job.backupPath);
    return false;
  }
  job.backup = OpenSharedForReading(job.backupPath);
  if (job.backup == nullptr) {
    SetResult(kBusyOpen, job.backupPath);
    return false;
  }
  FILE* markdown = OpenExclusiveForWriting(markdownPath);
  if (markdown == nullptr) {
    fclose(job.backup);
    job.backup = nullptr;
    SetResult(kBusyOpen, markdownPath);
    return false;
  }
  StartWriting(&job.writer, markdown, writeBuffer, kWriteBufferSize);
  return true;
}

// The counting pass: pages, and the line ending the job adds, taken from
// the end of the first physical line.
bool CountPages() {
  job.pageTotal = 1;
  job.eolStyle = EolStyle::Undetermined;
  StartReading(&job.reader, job.backup, readBuffer, kReadBufferSize, kPieceLimit);
  size_t firstLineLength = 0;
  char beforeLast = 0;
  char last = 0;
  LinePiece piece;
  ReadStatus status;
  while ((status = ReadPiece(&job.reader, &piece)) == ReadStatus::Piece) {
    if (job.eolStyle == EolStyle::Undetermined) {
      firstLineLength += piece.length;
      beforeLast = piece.length >= 2 ? piece.data[piece.length - 2] : last;
      last = piece.data[piece.length - 1];
      if (piece.endsLine) {
        job.eolStyle = firstLineLength >= 2 && beforeLast == '\r' ? EolStyle::CrLf : EolStyle::Lf;
      }
    }
    if (!piece.startsLine) continue;
    if (IsPageBreak(piece)) {
      job.pageTotal = SaturatingAdd(job.pageTotal, 1);
      if (job.pageTotal < kSkipTableSize) {
        job.pageTotal = SaturatingAdd(job.pageTotal, job.skipTable[job.pageTotal]);
      }
    } else if (IsTocLine(piece)) {
      job.pageTotal = SaturatingAdd(job.pageTotal, int64_t{job.tocPages} - 1);
    }
  }
  return status == ReadStatus::End;
}

// The rewriting pass reads the backup again from its first byte.
bool ReopenBackup() {
  fclose(job.backup);
  job.backup = OpenSharedForReading(job.backupPath);
  if (job.backup == nullptr) return false;
  StartReading(&job.reader, job.backup, readBuffer, kReadBufferSize, kPieceLimit);
  return true;
}

// Once the Markdown file is being rewritten, any failure puts the backup
// back in its place; a job never leaves a half-written document behind.
void RestoreFromBackup() {
  AbandonWriting(&job.writer);
  if (job.backup != nullptr) fclose(job.backup);
  job.backup = nullptr;
  const char* format =
      CopyFileReplacing(job.backupPath, job.input.markdownPath) ? kRestored : kKeptInBackup;
  SetResult(format, job.input.markdownPath, job.backupPath);
}

// The Markdown file first, then the backup. False when the rewrite did not
// reach the file whole.
bool CloseFiles() {
  bool written = FinishWriting(&job.writer);
  fclose(job.backup);
  job.backup = nullptr;
  return written;
}

}  // namespace

const char* LineEnding(const JobState& state) {
  return state.eolStyle == EolStyle::CrLf ? "\r\n" : "\n";
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

size_t LengthWithoutEnd(const LinePiece& line) {
  size_t length = line.length;
  while (length > 0 && (line.data[length - 1] == '\r' || line.data[length - 1] == '\n')) --length;
  return length;
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

bool CopyLine(JobState& state, const LinePiece& first) {
  WriteBytes(&state.writer, first.data, first.length);
  bool ends = first.endsLine;
  while (!ends) {
    LinePiece piece;
    ReadStatus status = ReadPiece(&state.reader, &piece);
    if (status == ReadStatus::Error) return false;
    if (status == ReadStatus::End) break;
    WriteBytes(&state.writer, piece.data, piece.length);
    ends = piece.endsLine;
  }
  return true;
}

ReadStatus CopyPageBreak(JobState& state, const LinePiece& pageBreak, NumberLineWriter writeNumber,
                         int32_t page) {
  if (!CopyLine(state, pageBreak)) return ReadStatus::Error;
  LinePiece following;
  ReadStatus status = ReadPiece(&state.reader, &following);
  if (status != ReadStatus::Piece) return status;
  if (IsBlankLine(following)) {
    if (!CopyLine(state, following)) return ReadStatus::Error;
    status = ReadPiece(&state.reader, &following);
    if (status == ReadStatus::End && writeNumber != nullptr) {
      // An empty line may end the file without LF ("\r"); the number line
      // must still stand on a line of its own.
      if (state.writer.lastByte != '\n') WriteText(&state.writer, LineEnding(state));
      writeNumber(state, page);
    }
    if (status != ReadStatus::Piece) return status;
  } else {
    WriteText(&state.writer, LineEnding(state));
  }
  if (writeNumber != nullptr) writeNumber(state, page);
  if (!IsOldNumberLine(following) && !CopyLine(state, following)) return ReadStatus::Error;
  return ReadStatus::Piece;
}

PassOutcome PassEnd(const JobState& state, ReadStatus status) {
  return status == ReadStatus::End && !state.writer.failed ? PassOutcome::Done
                                                           : PassOutcome::Failed;
}

JobInput TakeJobInput() {
  JobInput input;
  input.markdownPath = TextSlots[kMarkdownPath];
  input.tocPageCount = TextSlots[kTocPageCount];
  input.skipPages = TextSlots[kSkipPages];
  input.headerText = TextSlots[kHeaderText];
  input.customColor = TextSlots[kCustomColor];
  input.fontSizePercent = TextSlots[kFontSizePercent];
  input.colorChoice = Settings[kColorChoice];
  input.positionChoice = Settings[kPositionChoice];
  input.formatChoice = Settings[kFormatChoice];
  input.keepExistingBackup = Settings[kKeepExistingBackup];
  input.numberFirstPage = Settings[kNumberFirstPage];
  input.annotateHeadings = Settings[kAnnotateHeadings];
  return input;
}

void RunRewritingJob(const JobInput& input, RewriteCheck check, RewritePass pass,
                     JobEnding ending, void* context) {
  job.input = input;
  job.backup = nullptr;
  job.writer.file = nullptr;
  resultText[0] = '\0';
  job.tocPages = ReadTocPages(input.tocPageCount);
  FillSkipTable(input.skipPages, job.skipTable);
  JobReport report = {JobOutcome::Refused, resultText, 0, 0};
  if ((check == nullptr || check(job, resultText, sizeof resultText)) &&
      DeriveBackupPath(input.markdownPath) && MakeBackupAndOpen()) {
    if (CountPages() && ReopenBackup() && pass(job) == PassOutcome::Done && CloseFiles()) {
      snprintf(resultText, sizeof resultText, "Total %d pages.", job.pageTotal);
      report.outcome = JobOutcome::Done;
    } else {
      RestoreFromBackup();
      report.outcome = JobOutcome::Failed;
    }
    report.pageTotal = job.pageTotal;
  }
  ending(context, report);
}
