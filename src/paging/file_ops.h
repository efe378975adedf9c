// The few file operations the jobs need, one implementation per platform.
// Paths are UTF-8 on every platform.
#pragma once

#include <stdint.h>
#include <stdio.h>

// Opens for binary reading; other programs may read the file meanwhile but
// not write it. The stream is unbuffered: the jobs buffer themselves.
FILE* OpenSharedForReading(const char* path);

// Opens for binary writing, creating the file, with no sharing. Unbuffered,
// so that closing it after a failure writes nothing more. Once closed with
// CloseWrittenFile, the file holds exactly what was written.
FILE* OpenExclusiveForWriting(const char* path);

// Closes a file opened by OpenExclusiveForWriting. False when that fails.
bool CloseWrittenFile(FILE* file);

// A file for reading and writing that nobody else sees and that is gone
// once closed; null when none can be made.
FILE* OpenScratchFile();

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

// True when both paths would name the same file, whether or not it exists
// yet: the same existing file, or the same name in the same folder.
bool SameTarget(const char* a, const char* b);

enum class CopyOutcome { Copied, SourceMissing, Failed };

// Copies from over to (replacing it) byte for byte, as CopyFileA does, and
// only calls it copied when `to` holds as many bytes as `from` had. A copy
// that fails after `to` was opened for writing removes what it left there,
// so no truncated file can later pass for a whole one.
CopyOutcome CopyFileReplacing(const char* from, const char* to);

// Puts the file `from` in the place of `to`, replacing it in one step.
bool MoveFileReplacing(const char* from, const char* to);

// Removes a file; false when it cannot.
bool RemoveFile(const char* path);

// Reads exactly length bytes at offset of an open file; false when fewer
// are there or the read fails.
bool ReadAt(FILE* file, uint64_t offset, char* buffer, size_t length);

// Moves an open file back to its first byte.
bool Rewind(FILE* file);
