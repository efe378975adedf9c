// Small facts about UTF-8 texts, for cutting them to a buffer's size
// without leaving half a character behind.
#pragma once

#include <stddef.h>

// The UTF-8 mark that may open a text line of the settings file.
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr size_t kUtf8MarkLength = 3;

inline bool IsUtf8ContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

// How many of the first `length` bytes of text to keep so that at most
// `limit` bytes remain and the cut falls before a character's first byte,
// never inside its sequence.
inline size_t Utf8PrefixLength(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t cut = limit;
  // A character is at most four bytes: look back no further than three.
  for (size_t back = 0; back < 3 && cut > 0 && IsUtf8ContinuationByte(text[cut]); ++back) --cut;
  return cut;
}

inline bool IsAsciiText(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if ((static_cast<unsigned char>(*p) & 0x80u) != 0) return false;
  }
  return true;
}
