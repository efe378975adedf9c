#include "common/file_open.h"

#include "common/wide_text_win.h"

FILE* OpenFileUtf8(const char* path, const char* mode) {
  wchar_t widePath[kWidePathSize];
  wchar_t wideMode[16];
  if (!Utf8ToWide(path, widePath, kWidePathSize) || !Utf8ToWide(mode, wideMode, 16)) return nullptr;
  return _wfopen(widePath, wideMode);
}
