// The part of the file layer that is the same on every platform.
#include "paging/file_ops.h"

#include <string.h>

#include "common/file_open.h"

namespace {

const char kScratchMark[] = ".foliostamp-";
const char kScratchEnd[] = ".tmp";
constexpr size_t kScratchDigits = 8;

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

bool SameTarget(const char* a, const char* b) {
  static char first[8192];
  static char second[8192];
  return TargetKey(a, first, sizeof first) && TargetKey(b, second, sizeof second) &&
         strcmp(first, second) == 0;
}

bool FileOpensForReading(const char* path) {
  FILE* file = OpenFileUtf8(path, "rb");
  if (file == nullptr) return false;
  fclose(file);
  return true;
}

// "." name ".foliostamp-" eight hex digits ".tmp": hidden on POSIX, and
// never a name a job is given (no ".md" at its end, no ".bak").
bool IsScratchNameFor(const char* name, const char* original) {
  size_t length = strlen(original);
  size_t mark = sizeof kScratchMark - 1;
  if (name[0] != '.' || strncmp(name + 1, original, length) != 0) return false;
  const char* p = name + 1 + length;
  if (strncmp(p, kScratchMark, mark) != 0) return false;
  p += mark;
  for (size_t i = 0; i < kScratchDigits; ++i) {
    if (!IsHexDigit(p[i])) return false;
  }
  return strcmp(p + kScratchDigits, kScratchEnd) == 0;
}

// The scratch name for target with the given serial; false when too long.
bool FormScratchPath(const char* target, uint32_t serial, char* out, size_t outSize) {
  const char* slash = strrchr(target, '/');
#if defined(_WIN32)
  const char* backslash = strrchr(target, '\\');
  if (backslash != nullptr && (slash == nullptr || backslash > slash)) slash = backslash;
#endif
  size_t folder = slash != nullptr ? static_cast<size_t>(slash - target) + 1 : 0;
  int written = snprintf(out, outSize, "%.*s.%s%s%08x%s", static_cast<int>(folder), target,
                         target + folder, kScratchMark, static_cast<unsigned>(serial), kScratchEnd);
  return written > 0 && static_cast<size_t>(written) < outSize;
}
