// What the command-line tool needs from the system it runs on.
#pragma once

#include <stddef.h>
#include <stdio.h>

// The arguments as UTF-8. On Windows they come from the wide command line,
// so any file name works whatever the code page; elsewhere they are the
// bytes the shell passed. Returns the new argv (argc updated).
char** Utf8Arguments(int* argc, char** argv);

// Standard input and output carry documents byte for byte.
void UseBinaryStandardStreams();

// Prints UTF-8 text whose lines end in "\n", with the platform's line
// ends. In a Windows console it goes through the wide console function so
// that it reads right; redirected, it stays UTF-8 (no byte order mark).
void PrintUtf8(FILE* stream, const char* text);
