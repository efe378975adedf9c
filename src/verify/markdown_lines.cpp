#include "verify/markdown_lines.h"

#include <stdio.h>
#include <string.h>

#include "paging/job_steps.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the decimal number that ends at *end, moving *end to its first
// character. False when there is none or it does not fit 32 bits.
bool ReadNumberBackward(const char* text, size_t floor, size_t* end, int32_t* value) {
  size_t p = *end;
  while (p > floor && IsDigit(text[p - 1]) && *end - p < 10) --p;
  if (p == *end || (p > floor && IsDigit(text[p - 1]))) return false;
  int64_t number = 0;
  for (size_t i = p; i < *end; ++i) number = number * 10 + (text[i] - '0');
  if (p > floor && text[p - 1] == '-') {
    --p;
    number = -number;
  }
  if (number > INT32_MAX || number < INT32_MIN) return false;
  *value = static_cast<int32_t>(number);
  *end = p;
  return true;
}

bool EndsWithAt(const char* text, size_t floor, size_t end, const char* tail) {
  size_t n = strlen(tail);
  return end >= floor + n && memcmp(text + end - n, tail, n) == 0;
}

}  // namespace

bool ParseNumberLine(const LinePiece& line, NumberLineParts* parts) {
  if (!line.startsLine || !IsOldNumberLine(line)) return false;
  const char* text = line.data;
  const size_t floor = strlen(kNumberDivHead);
  size_t end = LengthWithoutEnd(line) - (strlen(kNumberDivTail));
  size_t p = end;
  parts->paren = EndsWithAt(text, floor, p, " )");
  if (parts->paren) p -= 2;
  if (!ReadNumberBackward(text, floor, &p, &parts->total) || !EndsWithAt(text, floor, p, " / ")) {
    return false;
  }
  p -= 3;
  if (!ReadNumberBackward(text, floor, &p, &parts->reads)) return false;
  const char* lead = parts->paren ? " ( " : " ";
  if (!EndsWithAt(text, floor, p, lead)) return false;
  parts->numbersStart = p - strlen(lead);
  parts->numbersEnd = end;
  return true;
}

void FormatNumbers(int32_t reads, int32_t total, bool paren, char* out, size_t outSize) {
  snprintf(out, outSize, paren ? " ( %d / %d )" : " %d / %d", static_cast<int>(reads),
           static_cast<int>(total));
}

bool ParseAnnotatedHeading(const LinePiece& line, HeadingParts* parts) {
  if (!line.startsLine || !line.endsLine) return false;
  ptrdiff_t space = HeadingSpace(line);
  if (space < 0) return false;
  ptrdiff_t annotation = FindAnnotation(line, static_cast<size_t>(space));
  if (annotation < 0) return false;
  const char* text = line.data;
  size_t length = LengthWithoutEnd(line);
  size_t p = static_cast<size_t>(annotation) + strlen(kHeadingAnnotation);
  const char kDots[] = " ...";
  const char kClose[] = "</span>";
  if (length - p < sizeof kDots - 1 || memcmp(text + p, kDots, sizeof kDots - 1) != 0) return false;
  p += sizeof kDots - 1;
  size_t close = p;
  while (close < length && (IsDigit(text[close]) || (close == p && text[close] == '-'))) ++close;
  if (length - close < sizeof kClose - 1 || memcmp(text + close, kClose, sizeof kClose - 1) != 0) {
    return false;
  }
  size_t end = close;
  if (!ReadNumberBackward(text, p, &end, &parts->page) || end != p) return false;
  parts->textStart = static_cast<size_t>(space) + 1;
  parts->textEnd = static_cast<size_t>(annotation);
  parts->pageStart = p;
  parts->pageEnd = close;
  return true;
}

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
