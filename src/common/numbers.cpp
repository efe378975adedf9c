#include "common/numbers.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t ParseLeadingInt32(const char* text, const char** end) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (*p < '0' || *p > '9') {
    if (end != nullptr) *end = text;
    return 0;
  }
  // Past this bound the value is clamped anyway; stop growing it.
  const int64_t kBound = int64_t{INT32_MAX} + 1;
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value < kBound) value = value * 10 + (*p - '0');
  }
  if (end != nullptr) *end = p;
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t SaturatingAdd(int32_t a, int64_t b) {
  int64_t sum = int64_t{a} + b;
  if (sum > INT32_MAX) return INT32_MAX;
  if (sum < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(sum);
}

size_t FormatDecimal(int32_t value, char* out) {
  char digits[10];
  size_t count = 0;
  // Through 64 bits, so the lowest value has a positive counterpart.
  int64_t rest = value < 0 ? -int64_t{value} : int64_t{value};
  do {
    digits[count++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = digits[--count];
  return length;
}
