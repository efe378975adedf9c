// What the command-line tool needs from the system it runs on.
#pragma once

#include <stddef.h>
#include <stdio.h>

// The arguments as UTF-8. On Windows they come from the wide command line,
// so any file name works whatever the code page; elsewhere they are the
// bytes the shell passed. Returns the new argv (argc updated), or null when
// there is no memory for them.
char** Utf8Arguments(int* argc, char** argv);

// Windows leaves wildcards to the program: there, each file argument with
// '*' or '?' in its last name becomes the files it matches, sorted, or
// stays as it is when it matches none. Elsewhere the shell has expanded
// them and files comes back as it is. Null when memory runs out.
const char** ExpandFileArguments(const char** files, int* count);

// Standard input and output carry documents byte for byte.
void UseBinaryStandardStreams();

// Prints UTF-8 text whose lines end in "\n", with the platform's line
// ends. In a Windows console it goes through the wide console function so
// that it reads right; redirected, it stays UTF-8 (no byte order mark).
void PrintUtf8(FILE* stream, const char* text);

// Copies standard input into a new scratch file whose name ends in ".md",
// for the jobs that read a document by its path, and puts its path in
// path. False when standard input cannot be read or the file written (no
// file is left then). The caller removes the file.
bool SpoolStandardInput(char* path, size_t size);

// True where the settings file's unmarked texts are taken as the bytes they
// are, so that their encoding is unknown unless they are UTF-8 (everywhere
// but Windows, which reads them in its code page).
bool SettingsTextsAreUnconverted();
