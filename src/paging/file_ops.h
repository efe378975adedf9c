// The few file operations the jobs need, one implementation per platform.
#pragma once

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

// True when path opens for reading with the given fopen mode.
bool FileOpensForReading(const char* path, const char* mode);

// Copies from over to (replacing it) byte for byte, as CopyFileA does.
// A copy that fails after `to` was opened for writing removes what it left
// there, so no truncated file can later pass for a whole one.
bool CopyFileReplacing(const char* from, const char* to);
