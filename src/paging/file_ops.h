// The few file operations the jobs need, one implementation per platform.
// Paths are UTF-8 on every platform.
#pragma once

#include <stdint.h>
#include <stdio.h>

// Opens for binary reading; other programs may read the file meanwhile but
// not write it. The stream is unbuffered: the jobs buffer themselves.
FILE* OpenSharedForReading(const char* path);

// A file for reading and writing that nobody else sees and that is gone
// once closed, buffered through buffer (the caller's, bufferSize bytes);
// null when none can be made.
FILE* OpenScratchFile(char* buffer, size_t bufferSize);

// True when path opens for reading as a file.
bool FileOpensForReading(const char* path);

// True when nothing exists at path (as opposed to something that cannot
// be opened).
bool FileIsMissing(const char* path);

// The size of an open file, or -1 when it cannot be told.
int64_t OpenFileSize(FILE* file);

// The size of the file at path, or -1 when it cannot be told.
int64_t PathFileSize(const char* path);

// True when both paths name one existing file, also through links or
// another spelling of the path.
bool SameExistingFile(const char* a, const char* b);

// True when standard output writes to the existing file at path (a shell's
// "> file" or ">> file").
bool StandardOutputIs(const char* path);

// A text that is the same for two paths exactly when they would name the
// same file, whether or not it exists yet: the file's identity when it
// exists, else its folder resolved and its name (on Windows whatever the
// case). False when it cannot be told.
bool TargetKey(const char* path, char* key, size_t size);

// True when both paths would name the same file: their TargetKeys agree.
bool SameTarget(const char* a, const char* b);

enum class CopyOutcome { Copied, SourceMissing, Failed };

// Copies from over to (replacing it) byte for byte, as CopyFileA does, and
// only calls it copied when `to` holds as many bytes as `from` had. A copy
// that fails after `to` was opened for writing removes what it left there,
// so no truncated file can later pass for a whole one.
CopyOutcome CopyFileReplacing(const char* from, const char* to);

// Removes a file; false when it cannot.
bool RemoveFile(const char* path);

// Reads exactly length bytes at offset of an open file; false when fewer
// are there or the read fails.
bool ReadAt(FILE* file, uint64_t offset, char* buffer, size_t length);

// Moves an open file back to its first byte.
bool Rewind(FILE* file);

// ---------------------------------------------------------------------------
// Safe replacement: every file a job writes is replaced through these, so a
// crash, a power cut or a failure leaves its old text or its new one.

// Why a file could not be used, so that a refusal names the real cause.
enum class FileProblem { None, Missing, Busy, Denied, NotAFile, Failed };

// A document opened for a job. With a hold, no other job can hold it until
// it is let go: an advisory lock on POSIX, share modes on Windows.
struct HeldFile {
  FILE* stream;   // open for reading at its first byte; null when none
  int64_t size;
  int32_t links;  // the file's hard links
  void* jobLock;  // where the platform needs one: the hold among our own jobs
                  // that outlasts the file's own (see EndHoldBeforeReplacing)
};

// Opens a regular file for reading, with a hold when asked. A file another
// job holds is Busy at once; nothing waits.
FileProblem OpenHeldFile(const char* path, bool hold, HeldFile* held);

// Closes the file and lets the hold go.
void LetGo(HeldFile* held);

// Windows cannot put a new file in the place of one that is open without
// sharing its writing; there the file's hold ends here, just before the
// document is replaced, and other programs may open it again. Another job
// of ours still finds the document busy until LetGo: a lock named after
// the document's full path is held from OpenHeldFile to LetGo. Elsewhere
// the file's own hold lasts until LetGo.
void EndHoldBeforeReplacing(HeldFile* held);

enum class ReplaceWay {
  Rename,            // always a new file put in place; other kinds refused
  InPlaceWhenLinked, // a file with several hard links is rewritten in place
  ThroughOtherKinds, // a device or a pipe is written straight through
};

constexpr size_t kLongestTarget = 4200;

// A file being replaced. The new text goes to stream; the target keeps its
// links, permission bits, owner (where allowed) and attributes.
struct Replacement {
  char target[kLongestTarget];   // the path, symbolic links followed
  char scratch[kLongestTarget];  // where the new text is written
  FILE* stream;                  // unbuffered; null when not begun
  bool inPlace;                  // written straight into the target
  bool marked;                   // a rewrite mark stands for it (see below)
};

// Starts a replacement of path: symbolic links are followed, so a link
// stays a link and its target is replaced; a folder is NotAFile. Unless it
// is written in place, the new text goes to a scratch file beside the target
// with a name of our own pattern, made new (never an existing file).
// A regular file written in place gets a rewrite mark first (see
// RewriteWasStopped), and the interruptions a user can send (Ctrl+C, a
// terminal's hang-up, a polite kill) wait until the replacement ends.
FileProblem BeginReplacement(const char* path, ReplaceWay way, Replacement* r);

// Flushes the new text to the disk and puts it in the target's place in one
// step (with the folder flushed too). False on any failure; the scratch file
// is gone either way, and the target holds its old text unless the
// replacement was in place.
bool FinishReplacement(Replacement* r);

// Asks the system to start putting what the replacement holds so far on
// the disk, so that the flush at the end has less left to wait for. Does
// nothing where the system has no such request.
void StartWriteBack(Replacement* r);

// Gives up: the scratch file is removed and the target left alone. A target
// written in place keeps its rewrite mark if anything was written to it.
void AbandonReplacement(Replacement* r);

// A rewrite in place cannot be made in one step: stopped part-way by a
// crash or a power cut, it leaves the document torn, its text whole only in
// the backup. A mark beside the document (".NAME.foliostamp-rewriting")
// says so, from before the rewrite starts until the document is whole on
// the disk again, so that no later job takes the torn text for the
// document and backs it up over its only whole copy.

// True when a mark says that a rewrite of path in place was stopped.
bool RewriteWasStopped(const char* path);

// Removes the mark: the document is whole again (put back from its backup).
void ClearRewriteMark(const char* path);

// Copies the rest of from (from its current offset) into the replacement;
// *copied is the number of bytes written. from is left at its first byte.
bool CopyIntoReplacement(FILE* from, Replacement* r, int64_t* copied);

// Removes scratch files of our own pattern that a job stopped by a crash
// left beside path (links followed). Only a job holding path calls it.
void RemoveLeftScratchFiles(const char* path);

// True when name (a file's own name) is one of our scratch names for the
// file named original.
bool IsScratchNameFor(const char* name, const char* original);

// The scratch path beside target for a serial, and the rewrite mark's path;
// false when too long. For the platform files.
bool FormScratchPath(const char* target, uint32_t serial, char* out, size_t outSize);
bool FormRewriteMarkPath(const char* target, char* out, size_t outSize);
