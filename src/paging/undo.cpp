// Restoring the Markdown file from its backup. Unlike the rewriting jobs it
// accepts any extension and looks into neither file. The document is held
// against other jobs and replaced as every job replaces a file.
#include <stdio.h>
#include <string.h>

#include "paging/file_ops.h"
#include "paging/job_steps.h"
#include "paging/result_texts.h"

namespace {

char backupPath[kPathBufferSize];
char resultText[kResultSize];
HeldFile document;
HeldFile backup;
Replacement replacement;

// The document may be missing (Undo brings it back); any other problem
// with it refuses.
FileProblem HoldDocument(const char* path) {
  FileProblem problem = OpenHeldFile(path, true, &document);
  return problem == FileProblem::Missing && FileIsMissing(path) ? FileProblem::None : problem;
}

const char* RefusalFor(FileProblem problem) {
  switch (problem) {
    case FileProblem::Busy: return kBusyOpen;
    case FileProblem::Denied: return kDenied;
    case FileProblem::NotAFile: return kNotAFile;
    default: return kReadFailed;
  }
}

// The backup's bytes in the document's place; false with the text set.
bool Restore(const char* markdownPath) {
  FileProblem problem = OpenHeldFile(backupPath, false, &backup);
  if (problem == FileProblem::Missing) {
    snprintf(resultText, sizeof resultText, kNoBakFile);
    return false;
  }
  if (problem != FileProblem::None) {
    snprintf(resultText, sizeof resultText, RefusalFor(problem), backupPath);
    return false;
  }
  if (document.links > 1) EndHoldBeforeReplacing(&document);
  problem = BeginReplacement(markdownPath, ReplaceWay::InPlaceWhenLinked, &replacement);
  if (problem != FileProblem::None) {
    snprintf(resultText, sizeof resultText, RefusalFor(problem), markdownPath);
    if (problem == FileProblem::Failed) snprintf(resultText, sizeof resultText, kWriteFailed, markdownPath);
    LetGo(&backup);
    return false;
  }
  int64_t copied = 0;
  bool ok = CopyIntoReplacement(backup.stream, &replacement, &copied) && copied == backup.size;
  LetGo(&backup);
  EndHoldBeforeReplacing(&document);
  if (!ok) AbandonReplacement(&replacement);
  if (!ok || !FinishReplacement(&replacement)) {
    snprintf(resultText, sizeof resultText, kWriteFailed, markdownPath);
    return false;
  }
  return true;
}

}  // namespace

void UndoFromBackup(const JobInput& input, JobEnding ending, void* context) {
  const char* markdownPath = input.markdownPath;
  JobReport report = {JobOutcome::Refused, resultText, 0, 0, false, false};
  FileProblem problem = FileProblem::None;
  if (MakeBackupPath(markdownPath, true, backupPath, sizeof backupPath) != BackupName::Made) {
    snprintf(resultText, sizeof resultText, kTooLong);
  } else if ((problem = HoldDocument(markdownPath)) != FileProblem::None) {
    snprintf(resultText, sizeof resultText, RefusalFor(problem), markdownPath);
  } else {
    RemoveLeftScratchFiles(markdownPath);
    if (Restore(markdownPath)) {
      ClearRewriteMark(markdownPath);  // whole again, whatever stopped before
      snprintf(resultText, sizeof resultText, kDoneUndo);
      report.outcome = JobOutcome::Done;
    }
  }
  LetGo(&document);
  ending(context, report);
}
