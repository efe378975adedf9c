#include "paging/file_ops.h"

#include <share.h>
#include <windows.h>

namespace {

FILE* Unbuffered(FILE* file) {
  if (file != nullptr) setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

// The target's last write time, or false when it does not exist.
bool LastWriteTime(const char* path, FILETIME* time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  *time = data.ftLastWriteTime;
  return true;
}

}  // namespace

FILE* OpenSharedForReading(const char* path) {
  return Unbuffered(_fsopen(path, "rb", _SH_DENYWR));
}

FILE* OpenExclusiveForWriting(const char* path) {
  return Unbuffered(_fsopen(path, "wb", _SH_DENYRW));
}

bool CloseWrittenFile(FILE* file) {
  return fclose(file) == 0;
}

bool CopyFileReplacing(const char* from, const char* to) {
  FILETIME before = {};
  bool existed = LastWriteTime(to, &before);
  if (CopyFileA(from, to, FALSE)) return true;
  // CopyFileA may give up after it has begun to write the target (a full
  // disk). A target that is new or was written to is then a fragment.
  FILETIME after = {};
  if (LastWriteTime(to, &after) &&
      (!existed || CompareFileTime(&before, &after) != 0)) {
    DeleteFileA(to);
  }
  return false;
}
