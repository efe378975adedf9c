// Texts inside the program are UTF-8: the stores, the job inputs, paths and
// result texts. These functions convert at the program's edges. On Windows
// "the system code page" is the ANSI code page; on other systems texts are
// bytes as the user gave them, and the conversions copy them unchanged.
#pragma once

#include <stddef.h>

// Converts a NUL-terminated text in the system code page to UTF-8 in out
// (outSize bytes with the NUL). False, with out empty, when it does not fit.
bool SystemCodePageToUtf8(const char* text, char* out, size_t outSize);

// Converts a NUL-terminated UTF-8 text to the system code page in out; a
// character the code page lacks becomes '?'. *exact (when given) tells
// whether the text comes back unchanged from the code page. False, with out
// empty, when it does not fit.
bool Utf8ToSystemCodePage(const char* text, char* out, size_t outSize, bool* exact);

// True when the system code page is itself UTF-8 (always, outside Windows).
bool SystemCodePageIsUtf8();
