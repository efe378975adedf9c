#include "verify/match_text.h"

#include <string.h>

namespace {

enum class CharClass { Keep, Space, Break, Drop, Replace };

struct Replacement {
  uint32_t codePoint;
  const char* text;
};

// clang-format off
const Replacement kReplacements[] = {
  {0xFB00, "ff"}, {0xFB01, "fi"}, {0xFB02, "fl"}, {0xFB03, "ffi"}, {0xFB04, "ffl"},
  {0xFB05, "st"}, {0xFB06, "st"},
  {0x2026, "..."},
  {0x2018, "'"}, {0x2019, "'"}, {0x201A, "'"}, {0x2032, "'"},
  {0x201C, "\""}, {0x201D, "\""}, {0x201E, "\""}, {0x2033, "\""},
  // What smart punctuation makes of "--" and "---".
  {0x2013, "--"}, {0x2014, "---"},
};
// clang-format on

const char* ReplacementFor(uint32_t codePoint) {
  for (const Replacement& r : kReplacements) {
    if (r.codePoint == codePoint) return r.text;
  }
  return nullptr;
}

CharClass Classify(uint32_t c) {
  if (c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0x85 || c == 0x2028 ||
      c == 0x2029) {
    return CharClass::Break;
  }
  if (c == ' ' || c == '\t' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
      c == 0x202F || c == 0x205F || c == 0x3000) {
    return CharClass::Space;
  }
  // Emphasis marks, and characters that take no room.
  if (c == '*' || c == '_' || c == '`' || c == '~' || c == 0 || c == 0x200B || c == 0xFEFF) {
    return CharClass::Drop;
  }
  if (ReplacementFor(c) != nullptr) return CharClass::Replace;
  return CharClass::Keep;
}

// Length of the UTF-8 sequence at text (1 for a stray byte) and its code
// point (the byte itself for a stray byte, which is then kept as it is).
size_t DecodeUtf8(const unsigned char* text, size_t length, uint32_t* codePoint) {
  unsigned char b = text[0];
  size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || n > length) {
    *codePoint = 0xFFFFFFFF;
    return 1;
  }
  uint32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t i = 1; i < n; ++i) {
    if ((text[i] & 0xC0) != 0x80) {
      *codePoint = 0xFFFFFFFF;
      return 1;
    }
    c = (c << 6) | (text[i] & 0x3F);
  }
  *codePoint = c;
  return n;
}

size_t EncodeUtf8(uint32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

void Append(TextStore* store, const char* bytes, size_t length) {
  if (length > store->capacity - store->length) {
    store->overflow = true;
    return;
  }
  memcpy(store->data + store->length, bytes, length);
  store->length += length;
}

struct NamedReference {
  const char* name;
  uint32_t codePoint;
};

const NamedReference kNamedReferences[] = {
    {"nbsp", 0xA0}, {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''},
};

// Decodes a character reference at text ("&...;"). Answers its length, or
// 0 when it is none, leaving the '&' to be shown as it is.
size_t DecodeReference(const char* text, size_t length, uint32_t* codePoint) {
  const char* semicolon = static_cast<const char*>(memchr(text, ';', length < 12 ? length : 12));
  if (semicolon == nullptr) return 0;
  size_t n = static_cast<size_t>(semicolon - text) + 1;
  if (n > 3 && text[1] == '#') {
    bool hex = text[2] == 'x' || text[2] == 'X';
    uint32_t value = 0;
    for (size_t i = hex ? 3 : 2; i + 1 < n; ++i) {
      char c = text[i];
      int digit = c >= '0' && c <= '9' ? c - '0'
                  : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                : -1;
      if (digit < 0 || value > 0x10FFFF) return 0;
      value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    }
    if (value == 0 || value > 0x10FFFF) return 0;
    *codePoint = value;
    return n;
  }
  for (const NamedReference& r : kNamedReferences) {
    size_t nameLength = strlen(r.name);
    if (n == nameLength + 2 && memcmp(text + 1, r.name, nameLength) == 0) {
      *codePoint = r.codePoint;
      return n;
    }
  }
  return 0;
}

bool IsTagStart(const char* text, size_t length) {
  if (length < 2 || text[0] != '<') return false;
  char c = text[1];
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsGap(char c) { return c == ' ' || c == '\n'; }

char Last(const TextStore* store) { return store->data[store->length - 1]; }

// A white-space run is one ' ', a run holding a line break one '\n' with
// keepBreaks; none at `begin` (where the text being formed starts), none
// after a '\n' and none before one.
void AppendGap(TextStore* store, bool lineBreak, size_t begin) {
  if (store->length == begin) return;
  if (lineBreak) {
    if (Last(store) == ' ') store->length -= 1;
    if (store->length > begin && Last(store) != '\n') Append(store, "\n", 1);
  } else if (!IsGap(Last(store))) {
    Append(store, " ", 1);
  }
}

void AppendForm(TextStore* store, const char* text, size_t length, bool keepBreaks, size_t begin) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length) {
    uint32_t c;
    size_t n = DecodeUtf8(bytes + i, length - i, &c);
    switch (Classify(c)) {
      case CharClass::Keep: Append(store, text + i, n); break;
      case CharClass::Break: AppendGap(store, keepBreaks, begin); break;
      case CharClass::Space: AppendGap(store, false, begin); break;
      case CharClass::Replace: {
        const char* replacement = ReplacementFor(c);
        Append(store, replacement, strlen(replacement));
        break;
      }
      case CharClass::Drop: break;
    }
    i += n;
  }
}

void TrimGap(TextStore* store, size_t begin) {
  while (store->length > begin && IsGap(Last(store))) store->length -= 1;
}

// The match compares key[k..] with text[p..], white space aside; `exact`
// stays true while the gaps fall in the same places.
struct Walk {
  size_t p;
  size_t k;
  bool exact;
};

void WalkKey(const char* text, size_t textEnd, const char* key, size_t keyLength, Walk* w) {
  while (w->k < keyLength && w->p < textEnd) {
    bool textGap = IsGap(text[w->p]);
    bool keyGap = key[w->k] == ' ';
    if (textGap && keyGap) {
      ++w->p;
      ++w->k;
    } else if (textGap) {
      ++w->p;
      w->exact = false;
    } else if (keyGap) {
      ++w->k;
      w->exact = false;
    } else if (text[w->p] == key[w->k]) {
      ++w->p;
      ++w->k;
    } else {
      return;
    }
  }
  while (w->k < keyLength && key[w->k] == ' ') {
    ++w->k;
    w->exact = false;
  }
}

}  // namespace

void StartTextStore(TextStore* store, char* buffer, size_t capacity) {
  store->data = buffer;
  store->capacity = capacity;
  store->length = 0;
  store->overflow = false;
}

void AppendMatchForm(TextStore* store, const char* text, size_t length, bool keepBreaks) {
  AppendForm(store, text, length, keepBreaks, store->length);
}

void AppendVisibleMatchForm(TextStore* store, const char* html, size_t length) {
  const size_t begin = store->length;
  size_t runStart = 0;
  size_t i = 0;
  while (i < length) {
    size_t skip = 0;
    uint32_t codePoint = 0;
    if (IsTagStart(html + i, length - i)) {
      const char* close = static_cast<const char*>(memchr(html + i, '>', length - i));
      skip = close != nullptr ? static_cast<size_t>(close - (html + i)) + 1 : length - i;
    } else if (html[i] == '&') {
      skip = DecodeReference(html + i, length - i, &codePoint);
    }
    if (skip == 0) {
      ++i;
      continue;
    }
    AppendForm(store, html + runStart, i - runStart, false, begin);
    if (codePoint != 0) {
      char encoded[4];
      AppendForm(store, encoded, EncodeUtf8(codePoint, encoded), false, begin);
    }
    i += skip;
    runStart = i;
  }
  AppendForm(store, html + runStart, length - runStart, false, begin);
  TrimGap(store, begin);
}

void AppendSheetForm(TextStore* store, const char* text, size_t length) {
  const size_t begin = store->length;
  AppendForm(store, text, length, true, begin);
  TrimGap(store, begin);
}

bool FindKey(const char* text, size_t sheetBegin, size_t from, size_t textEnd, const char* key,
             size_t keyLength, KeyEnd keyEnd, KeyMatch* match) {
  while (keyLength > 0 && key[0] == ' ') {
    ++key;
    --keyLength;
  }
  if (keyLength == 0) return false;
  bool digitStart = IsDigit(key[0]);
  bool digitEnd = IsDigit(key[keyLength - 1]);
  size_t i = from;
  while (i < textEnd) {
    const void* hit = memchr(text + i, key[0], textEnd - i);
    if (hit == nullptr) return false;
    i = static_cast<size_t>(static_cast<const char*>(hit) - text);
    Walk w = {i, 0, true};
    WalkKey(text, textEnd, key, keyLength, &w);
    size_t p = w.p;
    bool whole = w.k == keyLength;
    if (whole && digitStart) {
      size_t before = i;
      while (before > sheetBegin && text[before - 1] == ' ') --before;
      if (before > sheetBegin && IsDigit(text[before - 1])) whole = false;
    }
    if (whole && keyEnd == KeyEnd::Number && digitEnd) {
      size_t q = p;
      while (q < textEnd && text[q] == ' ') ++q;
      if (q < textEnd && IsDigit(text[q])) whole = false;
    }
    if (whole && keyEnd == KeyEnd::Annotation) {
      size_t q = p;
      while (q < textEnd && IsGap(text[q])) ++q;
      whole = q < textEnd && (IsDigit(text[q]) || text[q] == '-');
    }
    if (whole) {
      match->start = i;
      match->end = p;
      return true;
    }
    ++i;
  }
  return false;
}

bool MatchLineAt(const char* text, size_t start, size_t textEnd, const char* key, size_t keyLength,
                 LineMatch* match) {
  Walk w = {start, 0, true};
  WalkKey(text, textEnd, key, keyLength, &w);
  if (w.k != keyLength || (w.p != textEnd && text[w.p] != '\n')) return false;
  match->start = start;
  match->end = w.p;
  match->exact = w.exact;
  return true;
}

uint64_t GaplessHash(const char* text, size_t length) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (size_t i = 0; i < length; ++i) {
    if (IsGap(text[i])) continue;
    hash = (hash ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
  }
  return hash;
}

bool FindLine(const char* text, size_t sheetBegin, size_t from, size_t textEnd, const char* key,
              size_t keyLength, LineMatch* match) {
  if (keyLength == 0) return false;
  size_t i = from;
  while (i < textEnd) {
    // Only where a line starts.
    if (i > sheetBegin && text[i - 1] != '\n') {
      const void* next = memchr(text + i, '\n', textEnd - i);
      if (next == nullptr) return false;
      i = static_cast<size_t>(static_cast<const char*>(next) - text) + 1;
      continue;
    }
    if (MatchLineAt(text, i, textEnd, key, keyLength, match)) return true;
    ++i;
  }
  return false;
}
