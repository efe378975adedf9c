// Whether bytes are UTF-8, decided while they stream past in pieces of any
// size: well-formed sequences only (no overlong forms, no surrogates,
// nothing above U+10FFFF), as RFC 3629 has it.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct Utf8Scan {
  uint8_t need;   // continuation bytes the current character still needs
  uint8_t low;    // the range the next continuation byte must fall in
  uint8_t high;
  bool valid;     // nothing wrong seen so far
};

void StartUtf8Scan(Utf8Scan* scan);
void ScanUtf8(Utf8Scan* scan, const char* data, size_t length);
// True when everything scanned is UTF-8 and no character was left unfinished.
bool Utf8ScanValid(const Utf8Scan& scan);

// The whole text at once.
bool IsUtf8(const char* data, size_t length);

// True when data starts with the UTF-8 byte order mark.
bool StartsWithUtf8Bom(const char* data, size_t length);
