// Decimal numbers in user texts, read the way strtol reads them but always
// within 32 bits, whatever the width of long on the platform.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Skips leading white space, takes one optional '+' or '-' and the decimal
// digits after it. Without digits the result is 0 and *end (when given) is
// text itself, as with strtol. A value beyond 32 bits gives the nearest limit.
int32_t ParseLeadingInt32(const char* text, const char** end);

// a + b, held at the 32-bit limits instead of overflowing.
int32_t SaturatingAdd(int32_t a, int64_t b);

// Writes value in decimal as "%d" does, without a NUL; returns the number
// of bytes (at most 11). printf is far slower, and the jobs format a
// number for every page and every heading.
size_t FormatDecimal(int32_t value, char* out);
