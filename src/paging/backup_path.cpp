#include <string.h>

#include "paging/jobs.h"

namespace {

// Where the file's own name starts: after the last folder separator.
const char* OwnName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
#if defined(_WIN32)
    if (*p == '\\' || *p == ':') name = p + 1;
#endif
    if (*p == '/') name = p + 1;
  }
  return name;
}

}  // namespace

BackupName MakeBackupPath(const char* path, bool anyExtension, char* out, size_t outSize) {
  size_t length = strlen(path);
  const char* dot = strrchr(OwnName(path), '.');
  size_t stem = dot != nullptr ? static_cast<size_t>(dot - path) : length;
  // Lengths are checked before anything is copied, so a path cut short
  // never passes for another file's name.
  if (length >= outSize) return BackupName::TooLong;
  if (dot == nullptr && !anyExtension) return BackupName::NoMdFile;
  if (stem + 5 > outSize) return BackupName::TooLong;
  if (!anyExtension && (dot[1] != 'm' || dot[2] != 'd')) return BackupName::NoMdFile;
  memcpy(out, path, stem);
  memcpy(out + stem, ".bak", 5);
  return BackupName::Made;
}
