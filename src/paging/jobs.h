// The three jobs: add page numbers, take them out again, and restore the
// Markdown file from its backup. Each runs start to end on the calling
// thread, touches only the two files, and hands its result text to a
// JobEnding instead of writing ResultText itself, so the caller decides on
// which thread the result reaches the form.
#pragma once

#include <stdint.h>

// What a job reads, taken once when it starts. The texts point at storage
// that must stay unchanged while the job runs (the window keeps the edit
// controls disabled meanwhile).
struct JobInput {
  const char* markdownPath;
  const char* tocPageCount;
  const char* skipPages;
  const char* headerText;
  const char* customColor;
  const char* fontSizePercent;
  int32_t colorChoice;
  int32_t positionChoice;
  int32_t formatChoice;
  int32_t keepExistingBackup;
  int32_t numberFirstPage;
  int32_t annotateHeadings;
};

// The job's inputs as Settings and TextSlots hold them now.
JobInput TakeJobInput();

// How a job ended. Refused: it stopped before it changed the document.
// Failed: it began to rewrite the document and could not finish; the
// document was restored from its backup, or the backup holds the original.
enum class JobOutcome { Done, Refused, Failed };

// What a job hands to its caller as it ends. The text is what the form
// shows ("Total 3 pages.", "Done undo.", or an error text); it stays valid
// until the next job starts. The page figures are those of a rewriting job
// that got as far as counting (0 otherwise): the total the counting pass
// found and the number of the last page the writing pass reached.
struct JobReport {
  JobOutcome outcome;
  const char* text;
  int32_t pageTotal;
  int32_t lastPage;
};

// Called once as a job ends, whatever its outcome.
using JobEnding = void (*)(void* context, const JobReport& report);

void InsertPageNumbers(const JobInput& input, JobEnding ending, void* context);
void RemovePageNumbers(const JobInput& input, JobEnding ending, void* context);
void UndoFromBackup(const JobInput& input, JobEnding ending, void* context);
