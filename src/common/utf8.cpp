#include "common/utf8.h"

#include <string.h>

namespace {

// Many bytes at a time while they are all ASCII: most documents are
// mostly ASCII, and this is the only per-byte work of the counting pass.
bool AsciiWord(const unsigned char* p) {
  uint64_t word;
  memcpy(&word, p, 8);
  return (word & 0x8080808080808080ull) == 0;
}

size_t SkipAscii(const unsigned char* p, size_t length) {
  size_t i = 0;
  for (; i + 32 <= length; i += 32) {
    uint64_t words[4];
    memcpy(words, p + i, 32);
    if (((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ull) != 0) break;
  }
  for (; i + 8 <= length; i += 8) {
    if (!AsciiWord(p + i)) break;
  }
  // The last bytes of a piece: one overlapping word instead of a loop.
  if (i < length && length >= 8 && i + 8 > length && AsciiWord(p + length - 8)) return length;
  while (i < length && p[i] < 0x80) ++i;
  return i;
}

// Starts a character at lead byte b; false when b cannot start one.
bool Lead(Utf8Scan* s, unsigned char b) {
  s->low = 0x80;
  s->high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    s->need = 1;
  } else if (b >= 0xE0 && b <= 0xEF) {
    s->need = 2;
    if (b == 0xE0) s->low = 0xA0;   // no overlong three-byte forms
    if (b == 0xED) s->high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    s->need = 3;
    if (b == 0xF0) s->low = 0x90;   // no overlong four-byte forms
    if (b == 0xF4) s->high = 0x8F;  // nothing above U+10FFFF
  } else {
    return false;
  }
  return true;
}

}  // namespace

void StartUtf8Scan(Utf8Scan* scan) {
  scan->need = 0;
  scan->low = 0x80;
  scan->high = 0xBF;
  scan->valid = true;
}

void ScanUtf8(Utf8Scan* s, const char* data, size_t length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  size_t i = 0;
  while (s->valid && i < length) {
    if (s->need == 0) {
      i += SkipAscii(p + i, length - i);
      if (i == length) break;
      if (!Lead(s, p[i++])) s->valid = false;
      continue;
    }
    unsigned char b = p[i++];
    if (b < s->low || b > s->high) {
      s->valid = false;
      break;
    }
    --s->need;
    s->low = 0x80;
    s->high = 0xBF;
  }
}

bool Utf8ScanValid(const Utf8Scan& scan) { return scan.valid && scan.need == 0; }

bool IsUtf8(const char* data, size_t length) {
  Utf8Scan scan;
  StartUtf8Scan(&scan);
  ScanUtf8(&scan, data, length);
  return Utf8ScanValid(scan);
}

bool StartsWithUtf8Bom(const char* data, size_t length) {
  return length >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0;
}
