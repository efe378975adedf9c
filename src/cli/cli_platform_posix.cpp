#include "cli/cli_platform.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

char spoolBlock[64 * 1024];

bool WriteAll(int file, const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = write(file, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

char** Utf8Arguments(int*, char** argv) { return argv; }

void UseBinaryStandardStreams() {}

void PrintUtf8(FILE* stream, const char* text) { fputs(text, stream); }

bool SpoolStandardInput(char* path, size_t size) {
  const char* folder = getenv("TMPDIR");
  if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
  int length = snprintf(path, size, "%s/foliostamp-stdin-XXXXXX.md", folder);
  if (length <= 0 || static_cast<size_t>(length) >= size) return false;
  int file = mkstemps(path, 3);
  if (file < 0) return false;
  bool ok = true;
  for (;;) {
    size_t got = fread(spoolBlock, 1, sizeof spoolBlock, stdin);
    if (got > 0 && !WriteAll(file, spoolBlock, got)) ok = false;
    if (!ok || got < sizeof spoolBlock) break;
  }
  ok = ok && !ferror(stdin);
  if (close(file) != 0) ok = false;
  if (!ok) unlink(path);
  return ok;
}

bool SettingsTextsAreUnconverted() { return true; }

const char** ExpandFileArguments(const char** files, int*) { return files; }
