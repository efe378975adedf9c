// Restoring the Markdown file from its backup. Unlike the rewriting jobs it
// accepts any extension and looks into neither file.
#include <stdio.h>
#include <string.h>

#include "paging/file_ops.h"
#include "paging/job_steps.h"

namespace {

char backupPath[kPathBufferSize];
char resultText[kResultSize];

}  // namespace

void UndoFromBackup(const JobInput& input, JobEnding ending, void* context) {
  const char* markdownPath = input.markdownPath;
  JobReport report = {JobOutcome::Refused, resultText, 0, 0, false, false};
  if (MakeBackupPath(markdownPath, true, backupPath, sizeof backupPath) != BackupName::Made) {
    snprintf(resultText, sizeof resultText, "Error: The path is too long.\r\n");
  } else if (!FileOpensForReading(backupPath)) {
    snprintf(resultText, sizeof resultText, "There is no .bak file.\n");
  } else if (CopyFileReplacing(backupPath, markdownPath) != CopyOutcome::Copied) {
    snprintf(resultText, sizeof resultText, "Error: These file are busy now.\r\n%s\r\n%s\r\n",
             markdownPath, backupPath);
  } else {
    snprintf(resultText, sizeof resultText, "Done undo.");
    report.outcome = JobOutcome::Done;
  }
  ending(context, report);
}
