// UTF-8 and the UTF-16 of the Windows wide functions. Windows only.
#pragma once

#include <stddef.h>
#include <windows.h>

// The longest path the program passes to the file functions, in UTF-16
// units with the NUL; longer paths are refused before they get here.
constexpr size_t kWidePathSize = 2048;

// Converts NUL-terminated UTF-8 to UTF-16 in out (outCount units with the
// NUL). False, with out empty, when it does not fit or is not UTF-8.
bool Utf8ToWide(const char* text, wchar_t* out, size_t outCount);

// Converts NUL-terminated UTF-16 to UTF-8 in out (outSize bytes with the
// NUL). False, with out empty, when it does not fit.
bool WideToUtf8(const wchar_t* text, char* out, size_t outSize);

// Converts NUL-terminated text in the given code page to UTF-16.
bool CodePageToWide(unsigned codePage, const char* text, wchar_t* out, size_t outCount);
