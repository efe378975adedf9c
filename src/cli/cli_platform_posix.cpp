#include "cli/cli_platform.h"

char** Utf8Arguments(int*, char** argv) { return argv; }

void UseBinaryStandardStreams() {}

void PrintUtf8(FILE* stream, const char* text) { fputs(text, stream); }
