// A named scratch file for `verify -`: the Markdown read from standard
// input is kept there, since verify reads its document by path.
#pragma once

#include <stddef.h>
#include <stdio.h>

// Creates a new empty file in the system's folder for temporary files, open
// for writing ("wb"), and its UTF-8 path in path. Null when none can be made.
FILE* CreateScratchFile(char* path, size_t pathSize);

// Removes the file made by CreateScratchFile.
void RemoveScratchFile(const char* path);
