// The part of the file layer that is the same on every platform.
#include "paging/file_ops.h"

bool FileOpensForReading(const char* path, const char* mode) {
  FILE* file = fopen(path, mode);
  if (file == nullptr) return false;
  fclose(file);
  return true;
}
