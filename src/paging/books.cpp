// Several documents numbered as one book. The first pass makes every check
// the writing pass would make, for each document, so that when one cannot
// be numbered none is changed.
#include "paging/job_parts.h"
#include "paging/result_texts.h"

namespace {

const char kBookRefused[] =
    "Error: Not numbered, because another file of the book was refused.\r\n";
const char kBookStopped[] =
    "Error: Not numbered, because an earlier file of the book failed.\r\n";

// Checks one document as its rewrite will, and counts its pages from
// `start`; the page it ends on is then in job.countedEnd. The head is
// chosen by the document's own encoding, as its writing pass chooses it.
bool CheckBookDocument(const JobInput& input, bool checkOnly, int32_t start) {
  NumberingFrame frame = {start, false, 0};
  StartJob(input, true, frame);
  const char* path = input.markdownPath;
  if (!DeriveBackupPath(path)) return false;
  if (!checkOnly && input.noBackup == 0 && input.keepExistingBackup != 0 &&
      FileOpensForReading(job.backupPath)) {
    SetResult(kBakExists);
    return false;
  }
  HeldFile held;
  FileProblem problem = OpenHeldFile(path, !checkOnly, &held);
  if (problem != FileProblem::None) {
    RefuseFor(problem, path);
    return false;
  }
  if (!checkOnly && RewriteWasStopped(path)) {
    LetGo(&held);
    SetResult(kStoppedRewrite, path);
    return false;
  }
  if (!checkOnly && input.noBackup != 0 && held.links > 1) {
    LetGo(&held);
    SetResult(kLinkedNeedsBackup, path);
    return false;
  }
  job.source = held.stream;
  bool counted = Count();
  job.source = nullptr;  // the held file's stream, closed with its hold
  CloseSource();
  LetGo(&held);
  if (!counted) {
    SetResult(kReadFailed, path);
    return false;
  }
  return SelectHead();
}

// The book's first pass: every document checked and counted, and the page
// each one starts on; the boundary between two documents steps the count
// as a page break does. With ending given, reports each document's refusal
// (or that another one was refused). Answers whether all are ready, and
// the book's last page in *total.
bool CheckBook(const JobInput& input, const char* const* paths, int count, bool checkOnly,
               JobEnding ending, void* context, int32_t* total) {
  bool ready = true;
  int32_t page = 1;
  for (int i = 0; i < count; ++i) {
    if (i > 0) page = PageAfterBreak(job, page);
    JobInput document = input;
    document.markdownPath = paths[i];
    bool checked = CheckBookDocument(document, checkOnly, page);
    if (checked) page = job.countedEnd;
    ready = ready && checked;
    if (ending == nullptr) continue;
    if (checked) SetResult(kBookRefused);
    ending(context, Report(JobOutcome::Refused));
  }
  *total = page;
  return ready;
}

}  // namespace

void NumberBook(const JobInput& input, const char* const* paths, int count, bool checkOnly,
                JobEnding ending, void* context) {
  StartJob(input, true, SingleDocument(input));
  if (!PrepareTexts()) {
    for (int i = 0; i < count; ++i) ending(context, Report(JobOutcome::Refused));
    return;
  }
  int32_t total = 0;
  if (!CheckBook(input, paths, count, checkOnly, nullptr, nullptr, &total)) {
    // Once more to tell each document what became of it; only now, so that
    // the reports come in order.
    CheckBook(input, paths, count, checkOnly, ending, context, &total);
    return;
  }
  // Each document starts where the one before it ended, as counted.
  bool stopped = false;
  int32_t start = 1;
  for (int i = 0; i < count; ++i) {
    if (i > 0) start = PageAfterBreak(job, start);
    if (stopped) {
      SetResult(kBookStopped);
      ending(context, Report(JobOutcome::Refused));
      continue;
    }
    JobInput document = input;
    document.markdownPath = paths[i];
    NumberingFrame frame = {start, i > 0 || input.numberFirstPage != 0, total};
    JobReport report =
        checkOnly ? CheckDocument(document, frame) : RewriteInPlace(document, true, frame);
    start = report.lastPage;
    stopped = !checkOnly && report.outcome != JobOutcome::Done;
    ending(context, report);
  }
}
