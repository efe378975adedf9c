#include <stdlib.h>
#include <stdio.h>
#include <unistd.h>

#include "cli/verify_scratch.h"

FILE* CreateScratchFile(char* path, size_t pathSize) {
  const char* folder = getenv("TMPDIR");
  if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
  int length = snprintf(path, pathSize, "%s/foliostamp-stdin-XXXXXX", folder);
  if (length < 0 || static_cast<size_t>(length) >= pathSize) return nullptr;
  int descriptor = mkstemp(path);  // mode 0600: the text is the user's own
  if (descriptor < 0) return nullptr;
  FILE* file = fdopen(descriptor, "wb");
  if (file == nullptr) {
    close(descriptor);
    unlink(path);
  }
  return file;
}

void RemoveScratchFile(const char* path) { unlink(path); }
