#include <stdio.h>
#include <windows.h>

#include "cli/verify_scratch.h"
#include "common/wide_text_win.h"

FILE* CreateScratchFile(char* path, size_t pathSize) {
  wchar_t folder[kWidePathSize];
  wchar_t name[kWidePathSize];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return nullptr;
  // Creates the file, so that its name is ours.
  if (GetTempFileNameW(folder, L"fst", 0, name) == 0) return nullptr;
  FILE* file = nullptr;
  if (!WideToUtf8(name, path, pathSize) || (file = _wfopen(name, L"wb")) == nullptr) {
    DeleteFileW(name);
    return nullptr;
  }
  return file;
}

void RemoveScratchFile(const char* path) {
  wchar_t name[kWidePathSize];
  if (Utf8ToWide(path, name, kWidePathSize)) DeleteFileW(name);
}
