// fopen for a UTF-8 path, on every platform (on Windows through the wide
// function, so any name Windows allows can be opened).
#pragma once

#include <stdio.h>

FILE* OpenFileUtf8(const char* path, const char* mode);
