// The part of the file layer that is the same on every platform.
#include "paging/file_ops.h"

#include <stdio.h>
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

namespace {

// Where a path's own name starts.
size_t NameStart(const char* path) {
  const char* slash = strrchr(path, '/');
#if defined(_WIN32)
  const char* backslash = strrchr(path, '\\');
  if (backslash != nullptr && (slash == nullptr || backslash > slash)) slash = backslash;
#endif
  return slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
}

// What our names beside a file start with after their ".": the file's own
// name, or, when the name is so long that ours would pass the systems'
// limit of 255 bytes (or UTF-16 units), its first bytes up to a whole
// character and a hash of the whole name, so two long names never share it.
constexpr size_t kLongestStem = 255 - 1 - (sizeof kScratchMark - 1) - kScratchDigits - (sizeof kScratchEnd - 1);
constexpr size_t kStemSize = kLongestStem + 1;

void FormStem(const char* name, char* stem) {
  size_t length = strlen(name);
  if (length <= kLongestStem) {
    memcpy(stem, name, length + 1);
    return;
  }
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(name[i])) * 16777619u;
  size_t kept = kLongestStem - 9;
  while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  snprintf(stem, kStemSize, "%.*s~%08x", static_cast<int>(kept), name, static_cast<unsigned>(hash));
}

}  // namespace

// "." name ".foliostamp-" eight hex digits ".tmp": hidden on POSIX, and
// never a name a job is given (no ".md" at its end, no ".bak").
bool IsScratchNameFor(const char* name, const char* original) {
  char stem[kStemSize];
  FormStem(original, stem);
  size_t length = strlen(stem);
  size_t mark = sizeof kScratchMark - 1;
  if (name[0] != '.' || strncmp(name + 1, stem, length) != 0) return false;
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
  size_t folder = NameStart(target);
  char stem[kStemSize];
  FormStem(target + folder, stem);
  int written = snprintf(out, outSize, "%.*s.%s%s%08x%s", static_cast<int>(folder), target, stem,
                         kScratchMark, static_cast<unsigned>(serial), kScratchEnd);
  return written > 0 && static_cast<size_t>(written) < outSize;
}

// "." name ".foliostamp-rewriting": no scratch name, so a job clearing
// scratch files leaves it.
bool FormRewriteMarkPath(const char* target, char* out, size_t outSize) {
  size_t folder = NameStart(target);
  char stem[kStemSize];
  FormStem(target + folder, stem);
  int written = snprintf(out, outSize, "%.*s.%s%srewriting", static_cast<int>(folder), target, stem, kScratchMark);
  return written > 0 && static_cast<size_t>(written) < outSize;
}
