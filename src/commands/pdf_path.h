// The PDF a document is checked against when none has been chosen.
#pragma once

#include <stddef.h>

// The PDF beside a document: everything from the last '.' of its file name
// replaced by ".pdf" (doc.md -> doc.pdf, my.notes.md -> my.notes.pdf), or
// ".pdf" appended to a name without '.'. A '.' in a folder name does not
// count. False, with out empty, for an empty path or one that does not fit.
bool DefaultPdfPath(const char* markdownPath, char* out, size_t outSize);

// Whether a path names a PDF: its file name ends in ".pdf", in any case.
bool HasPdfExtension(const char* path);
