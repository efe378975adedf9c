#include "common/text_encoding.h"

#include <string.h>

namespace {

bool CopyText(const char* text, char* out, size_t outSize) {
  size_t length = strlen(text);
  if (length >= outSize) {
    if (outSize > 0) out[0] = '\0';
    return false;
  }
  memcpy(out, text, length + 1);
  return true;
}

}  // namespace

bool SystemCodePageToUtf8(const char* text, char* out, size_t outSize) {
  return CopyText(text, out, outSize);
}

bool Utf8ToSystemCodePage(const char* text, char* out, size_t outSize, bool* exact) {
  if (exact != nullptr) *exact = true;
  return CopyText(text, out, outSize);
}

bool SystemCodePageIsUtf8() { return true; }
