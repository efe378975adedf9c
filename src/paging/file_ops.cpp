// The part of the file layer that is the same on every platform.
#include "paging/file_ops.h"

#include "common/file_open.h"

bool FileOpensForReading(const char* path) {
  FILE* file = OpenFileUtf8(path, "rb");
  if (file == nullptr) return false;
  fclose(file);
  return true;
}
