// The job's start and result, and what its passes read: the document, or
// standard input kept in a scratch file for the second pass.
#include <string.h>

#include "common/numbers.h"
#include "paging/job_parts.h"
#include "paging/result_texts.h"

JobState job;
char readBuffer[kReadBufferSize];
char writeBuffer[kWriteBufferSize];
char resultText[kResultSize];

namespace {

// Standard input goes to its scratch file in blocks of this buffer, not a
// write for each line.
char spoolBuffer[1 << 20];

// The new text of a replaced file is asked every few MiB to go on to the
// disk, so the flush at the end is short.
constexpr size_t kWriteBackStep = 16u << 20;
size_t sinceWriteBack;

bool WriteToReplacement(void* context, const char* data, size_t length) {
  Replacement* r = static_cast<Replacement*>(context);
  if (fwrite(data, 1, length, r->stream) != length) return false;
  sinceWriteBack += length;
  if (sinceWriteBack >= kWriteBackStep) {
    StartWriteBack(r);
    sinceWriteBack = 0;
  }
  return true;
}

}  // namespace

void SetResult(const char* format, const char* first, const char* second) {
  snprintf(resultText, sizeof resultText, format, first, second);
}

JobReport Report(JobOutcome outcome) {
  JobReport report = {outcome, resultText, job.pageTotal, job.lastPage, job.utf8, false};
  return report;
}

JobReport Refuse(const char* format, const char* first, const char* second) {
  SetResult(format, first, second);
  return Report(JobOutcome::Refused);
}

JobReport Done() {
  snprintf(resultText, sizeof resultText, kTotal, job.pageTotal);
  return Report(JobOutcome::Done);
}

JobReport RefuseFor(FileProblem problem, const char* path) {
  switch (problem) {
    case FileProblem::Missing: return Refuse(kMissing, path);
    case FileProblem::Busy: return Refuse(kBusyOpen, path);
    case FileProblem::Denied: return Refuse(kDenied, path);
    case FileProblem::NotAFile: return Refuse(kNotAFile, path);
    case FileProblem::None:
    case FileProblem::Failed: break;
  }
  return Refuse(kReadFailed, path);
}

void StartJob(const JobInput& input, bool inserting, NumberingFrame frame) {
  job.input = input;
  job.inserting = inserting;
  job.frame = frame;
  job.tocPages = ReadTocPages(input.tocPageCount);
  FillSkipTable(input.skipPages, job.skipTable);
  job.backupPath[0] = '\0';
  job.head = Utf8Head();
  job.pageTotal = 0;
  job.countedEnd = 0;
  job.lastPage = 0;
  job.utf8 = false;
  job.frontMatter = FrontMatterSpan{0, 0};
  job.totalFromDocument = false;
  job.totalTaken = false;
  job.source = nullptr;
  job.spool = nullptr;
  resultText[0] = '\0';
}

NumberingFrame SingleDocument(const JobInput& input) {
  NumberingFrame frame = {1, input.numberFirstPage != 0, 0};
  return frame;
}

bool DeriveBackupPath(const char* markdownPath) {
  switch (MakeBackupPath(markdownPath, false, job.backupPath, sizeof job.backupPath)) {
    case BackupName::Made: return true;
    case BackupName::NoMdFile: SetResult(kNoMdFile); return false;
    case BackupName::TooLong: break;
  }
  SetResult(kTooLong);
  return false;
}

bool OpenSource(const char* path) {
  HeldFile file;
  FileProblem problem = OpenHeldFile(path, false, &file);
  if (problem != FileProblem::None) {
    RefuseFor(problem, path);
    return false;
  }
  job.source = file.stream;
  return true;
}

bool OpenPlainSource(const char* path) {
  if (strcmp(path, "-") != 0) return OpenSource(path);
  job.source = stdin;
  job.spool = OpenScratchFile(spoolBuffer, sizeof spoolBuffer);
  if (job.spool != nullptr) return true;
  SetResult(kReadFailed, "standard input");
  return false;
}

void CloseSource() {
  if (job.source != nullptr && job.source != stdin) fclose(job.source);
  if (job.spool != nullptr) fclose(job.spool);
  job.source = nullptr;
  job.spool = nullptr;
}

bool Count() {
  StartReading(&job.reader, job.source, readBuffer, kReadBufferSize, kPieceLimit);
  if (!CountPages(job)) return false;
  job.pageTotal = job.frame.bookTotal != 0 ? job.frame.bookTotal : job.countedEnd;
  return true;
}

bool RestartSource() {
  FILE* from = job.spool != nullptr ? job.spool : job.source;
  if (!Rewind(from)) return false;
  StartReading(&job.reader, from, readBuffer, kReadBufferSize, kPieceLimit);
  return true;
}

ByteSink ReplacementSink(Replacement* r) {
  sinceWriteBack = 0;
  ByteSink sink = {WriteToReplacement, nullptr, r};
  return sink;
}

const char* InputName(const char* path) {
  return strcmp(path, "-") == 0 ? "standard input" : path;
}

const char* OutputName(const char* path) {
  return strcmp(path, "-") == 0 ? "standard output" : path;
}
