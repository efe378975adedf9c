// The three jobs: add page numbers, take them out again, and restore the
// Markdown file from its backup; and the command-line tool's other ways of
// running the first two. Each runs start to end on the calling thread and
// hands its outcome to a JobEnding instead of writing ResultText itself, so
// the caller decides on which thread the result reaches the form.
#pragma once

#include <stddef.h>
#include <stdint.h>

// What a job reads, taken once when it starts. The texts are UTF-8 and
// point at storage that must stay unchanged while the job runs (the window
// keeps the edit controls disabled meanwhile).
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
  // Set by the tool's --no-backup: Execute and Delete still replace the
  // document safely, but make no .bak beside it (for files kept under
  // version control); a document with several hard links, which is
  // rewritten in place, is refused then. Undo ignores it.
  int32_t noBackup;
};

// The paths the jobs take are at most this many bytes (with the NUL).
constexpr size_t kJobPathSize = 1004;

enum class BackupName { Made, NoMdFile, TooLong };

// The backup beside a document: the path cut at the last '.' of the file's
// own name (never of a folder), then ".bak". The rewriting jobs need "md"
// right after that '.'; Undo takes any path, and a name without '.' gets
// ".bak" appended in the same folder.
BackupName MakeBackupPath(const char* path, bool anyExtension, char* out, size_t outSize);

// How a job ended. Refused: it stopped before it changed the document.
// Failed: it began to write the new text and could not finish; the
// document holds its old text (one with several hard links, rewritten in
// place, was restored from its backup, or the backup holds the original).
enum class JobOutcome { Done, Refused, Failed };

// What a job hands to its caller as it ends. The text is what the form
// shows ("Total 3 pages.", "Done undo.", or an error text); it stays valid
// until the next job starts. The page figures are those of a rewriting job
// that got as far as counting (0 otherwise): the total the number lines
// show and the number of the last page the writing pass reached; utf8
// tells whether the counting pass took the document for UTF-8 (so the
// number line's texts went in as UTF-8). differs is set by a check when
// Execute would change the document.
struct JobReport {
  JobOutcome outcome;
  const char* text;
  int32_t pageTotal;
  int32_t lastPage;
  bool utf8;
  bool differs;
};

// Called once as a job ends, whatever its outcome.
using JobEnding = void (*)(void* context, const JobReport& report);

void InsertPageNumbers(const JobInput& input, JobEnding ending, void* context);
void RemovePageNumbers(const JobInput& input, JobEnding ending, void* context);
void UndoFromBackup(const JobInput& input, JobEnding ending, void* context);

enum class RewriteKind { Insert, Remove };

// The new text of input.markdownPath ("-": standard input) goes to
// outputPath ("-": standard output) instead of over the document, which is
// left as it is; no backup is made. outputPath is replaced as every job
// replaces a file (a device or a pipe is written straight through), so a
// failure leaves no half-written file.
void RewriteToOutput(RewriteKind kind, const JobInput& input, const char* outputPath,
                     JobEnding ending, void* context);

// Whether InsertPageNumbers would change the document; writes nothing.
void CheckPageNumbers(const JobInput& input, JobEnding ending, void* context);

// Numbers several documents as one book: as if they were one document with
// a page break between each and the next, so every number line shows the
// book's total, and each document after the first begins with a number
// line. Every document is read and counted before any is written; when one
// cannot be, none is changed. With checkOnly, compares instead of writing.
// ending is called once for each document, in order.
void NumberBook(const JobInput& input, const char* const* paths, int count, bool checkOnly,
                JobEnding ending, void* context);
