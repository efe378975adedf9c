#include "verify/markdown_lines.h"

#include <string.h>


size_t HeadingDisplayText(const char* text, size_t length, char* out, size_t outSize) {
  // A closing sequence: spaces, '#' marks, spaces at the end.
  size_t end = length;
  while (end > 0 && text[end - 1] == ' ') --end;
  size_t hashes = end;
  while (hashes > 0 && text[hashes - 1] == '#') --hashes;
  if (hashes < end && (hashes == 0 || text[hashes - 1] == ' ')) end = hashes;
  while (end > 0 && text[end - 1] == ' ') --end;

  size_t n = 0;
  size_t i = 0;
  while (i < end && n < outSize) {
    char c = text[i];
    if (c == '\\' && i + 1 < end) {
      out[n++] = text[i + 1];
      i += 2;
      continue;
    }
    bool image = c == '!' && i + 1 < end && text[i + 1] == '[';
    if (c == '[' || image) {
      size_t open = image ? i + 1 : i;
      const char* close = static_cast<const char*>(memchr(text + open, ']', end - open));
      size_t after = close != nullptr ? static_cast<size_t>(close - text) + 1 : end;
      const char* paren = after < end && text[after] == '(' ?
          static_cast<const char*>(memchr(text + after, ')', end - after)) : nullptr;
      if (paren != nullptr) {
        size_t inner = after - 1 - (open + 1);
        if (!image) {
          if (inner > outSize - n) inner = outSize - n;
          memcpy(out + n, text + open + 1, inner);
          n += inner;
        }
        i = static_cast<size_t>(paren - text) + 1;
        continue;
      }
    }
    out[n++] = c;
    ++i;
  }
  return n;
}
