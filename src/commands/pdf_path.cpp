#include "commands/pdf_path.h"

#include <string.h>

namespace {

// Where the file name starts: after the last folder separator of either kind.
const char* FileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return name;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool DefaultPdfPath(const char* markdownPath, char* out, size_t outSize) {
  if (outSize > 0) out[0] = '\0';
  const char* name = FileName(markdownPath);
  const char* dot = strrchr(name, '.');
  size_t keep = dot != nullptr ? static_cast<size_t>(dot - markdownPath) : strlen(markdownPath);
  if (markdownPath[0] == '\0' || keep + sizeof ".pdf" > outSize) return false;
  memcpy(out, markdownPath, keep);
  memcpy(out + keep, ".pdf", sizeof ".pdf");
  return true;
}

bool HasPdfExtension(const char* path) {
  const char* name = FileName(path);
  size_t length = strlen(name);
  if (length < 4) return false;
  const char* end = name + length - 4;
  return end[0] == '.' && Lower(end[1]) == 'p' && Lower(end[2]) == 'd' && Lower(end[3]) == 'f';
}
