// Restoring the Markdown file from its backup. Unlike the rewriting jobs it
// accepts any extension and looks into neither file.
#include <stdio.h>
#include <string.h>

#include "paging/file_ops.h"
#include "paging/job_steps.h"
#include "paging/result_texts.h"

namespace {

char backupPath[kPathBufferSize];
char resultText[kResultSize];

}  // namespace

void UndoFromBackup(const JobInput& input, JobEnding ending, void* context) {
  const char* markdownPath = input.markdownPath;
  JobReport report = {JobOutcome::Refused, resultText, 0, 0, false, false};
  if (MakeBackupPath(markdownPath, true, backupPath, sizeof backupPath) != BackupName::Made) {
    snprintf(resultText, sizeof resultText, kTooLong);
  } else if (!FileOpensForReading(backupPath)) {
    snprintf(resultText, sizeof resultText, kNoBakFile);
  } else if (CopyFileReplacing(backupPath, markdownPath) != CopyOutcome::Copied) {
    snprintf(resultText, sizeof resultText, kBusyCopy,
             markdownPath, backupPath);
  } else {
    snprintf(resultText, sizeof resultText, kDoneUndo);
    report.outcome = JobOutcome::Done;
  }
  ending(context, report);
}
