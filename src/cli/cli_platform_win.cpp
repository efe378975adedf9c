#include "cli/cli_platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

#include "common/wide_text_win.h"

namespace {

constexpr size_t kChunk = 4096;
wchar_t wideChunk[kChunk + 1];
char lineChunk[kChunk * 2];

// Writes bytes as they are, or in a console as UTF-16.
void WriteOut(FILE* stream, const char* data, size_t length) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    fwrite(data, 1, length, stream);
    return;
  }
  fflush(stream);
  int units = MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(length), wideChunk, kChunk);
  DWORD written = 0;
  if (units > 0) WriteConsoleW(handle, wideChunk, static_cast<DWORD>(units), &written, nullptr);
}

// A wide text as UTF-8 in storage of its own, or null.
char* NewUtf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return nullptr;
  char* copy = static_cast<char*>(malloc(static_cast<size_t>(size)));
  if (copy != nullptr && WideCharToMultiByte(CP_UTF8, 0, text, -1, copy, size, nullptr, nullptr) <= 0) {
    free(copy);
    return nullptr;
  }
  return copy;
}

// A list of texts that grows as needed; the arguments of one run.
struct TextList {
  const char** items;
  int count;
  int capacity;
};

bool Append(TextList* list, const char* text) {
  if (list->count + 1 >= list->capacity) {
    int capacity = list->capacity < 64 ? 64 : list->capacity * 2;
    void* grown = realloc(list->items, static_cast<size_t>(capacity) * sizeof(char*));
    if (grown == nullptr) return false;
    list->items = static_cast<const char**>(grown);
    list->capacity = capacity;
  }
  list->items[list->count++] = text;
  list->items[list->count] = nullptr;
  return true;
}

// Where the last name of a path starts: after its last '\', '/' or drive's ':'.
size_t LastNameStart(const char* path) {
  size_t start = 0;
  for (size_t i = 0; path[i] != '\0'; ++i) {
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':') start = i + 1;
  }
  return start;
}

bool HasWildcard(const char* path) {
  const char* name = path + LastNameStart(path);
  return strchr(name, '*') != nullptr || strchr(name, '?') != nullptr;
}

// The pattern against a long name, whatever the case. FindFirstFileW also
// matches the short 8.3 names ("*.md" finds "a.mdown" as "A~1.MD"), which
// this drops.
bool Matches(const wchar_t* pattern, const wchar_t* name) {
  const wchar_t* star = nullptr;
  const wchar_t* resume = nullptr;
  while (*name != L'\0') {
    if (*pattern == L'*') {
      star = ++pattern;
      resume = name;
    } else if (*pattern == L'?' || towupper(*pattern) == towupper(*name)) {
      ++pattern;
      ++name;
    } else if (star != nullptr) {
      pattern = star;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == L'*') ++pattern;
  return *pattern == L'\0';
}

int CompareNames(const void* a, const void* b) {
  const wchar_t* first = *static_cast<const wchar_t* const*>(a);
  const wchar_t* second = *static_cast<const wchar_t* const*>(b);
  int order = CompareStringOrdinal(first, -1, second, -1, TRUE);
  return order == CSTR_LESS_THAN ? -1 : order == CSTR_GREATER_THAN ? 1 : 0;
}

// Appends the files (not folders) the pattern matches, sorted, each with
// the pattern's folder as the user wrote it. False when it matches none.
bool AppendMatches(TextList* list, const char* pattern, bool* noMemory) {
  static wchar_t widePattern[kWidePathSize];
  if (!Utf8ToWide(pattern, widePattern, kWidePathSize)) return false;
  const wchar_t* wideName = widePattern;
  for (const wchar_t* p = widePattern; *p != L'\0'; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == L':') wideName = p + 1;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(widePattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return false;
  wchar_t** names = nullptr;
  int count = 0;
  int capacity = 0;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !Matches(wideName, found.cFileName)) continue;
    if (count == capacity) {
      capacity = capacity < 16 ? 16 : capacity * 2;
      void* grown = realloc(names, static_cast<size_t>(capacity) * sizeof(wchar_t*));
      if (grown == nullptr) break;
      names = static_cast<wchar_t**>(grown);
    }
    names[count] = _wcsdup(found.cFileName);
    if (names[count] == nullptr) break;
    ++count;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  qsort(names, static_cast<size_t>(count), sizeof(wchar_t*), CompareNames);
  size_t folderLength = LastNameStart(pattern);
  for (int i = 0; i < count && !*noMemory; ++i) {
    char* name = NewUtf8(names[i]);
    size_t nameLength = name != nullptr ? strlen(name) : 0;
    char* path = name != nullptr ? static_cast<char*>(malloc(folderLength + nameLength + 1)) : nullptr;
    if (path == nullptr) {
      *noMemory = true;
    } else {
      memcpy(path, pattern, folderLength);
      memcpy(path + folderLength, name, nameLength + 1);
      *noMemory = !Append(list, path);
    }
    free(name);
  }
  for (int i = 0; i < count; ++i) free(names[i]);
  free(names);
  return count > 0;
}

}  // namespace

char** Utf8Arguments(int* argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return argv;
  TextList list = {nullptr, 0, 0};
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    char* argument = NewUtf8(wide[i]);
    ok = argument != nullptr && Append(&list, argument);
  }
  LocalFree(wide);
  if (!ok) return nullptr;
  *argc = list.count;
  return const_cast<char**>(list.items);
}

const char** ExpandFileArguments(const char** files, int* count) {
  bool any = false;
  for (int i = 0; i < *count; ++i) any = any || HasWildcard(files[i]);
  if (!any) return files;
  TextList list = {nullptr, 0, 0};
  bool noMemory = false;
  for (int i = 0; i < *count && !noMemory; ++i) {
    if (HasWildcard(files[i]) && AppendMatches(&list, files[i], &noMemory)) continue;
    noMemory = noMemory || !Append(&list, files[i]);
  }
  if (noMemory) return nullptr;
  *count = list.count;
  return list.items;
}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

// The streams are binary, so "\n" becomes "\r\n" here. Chunks end only
// after a complete UTF-8 character, so none is split in a console.
void PrintUtf8(FILE* stream, const char* text) {
  size_t used = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    bool lead = (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
    if (lead && used + 8 > kChunk) {
      WriteOut(stream, lineChunk, used);
      used = 0;
    }
    if (*p == '\n') lineChunk[used++] = '\r';
    lineChunk[used++] = *p;
  }
  WriteOut(stream, lineChunk, used);
}

bool SpoolStandardInput(char* path, size_t size) {
  static wchar_t folder[MAX_PATH + 1];
  static wchar_t widePath[kWidePathSize];
  static char block[64 * 1024];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return false;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 1000 && file == INVALID_HANDLE_VALUE; ++attempt) {
    _snwprintf(widePath, kWidePathSize, L"%lsfoliostamp-stdin-%lu-%u.md", folder, GetCurrentProcessId(), attempt);
    widePath[kWidePathSize - 1] = L'\0';
    file = CreateFileW(widePath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (;;) {
    size_t got = fread(block, 1, sizeof block, stdin);
    DWORD written = 0;
    if (got > 0 && (!WriteFile(file, block, static_cast<DWORD>(got), &written, nullptr) || written != got)) {
      ok = false;
    }
    if (!ok || got < sizeof block) break;
  }
  ok = ok && !ferror(stdin);
  if (!CloseHandle(file)) ok = false;
  ok = ok && WideToUtf8(widePath, path, size);
  if (!ok) DeleteFileW(widePath);
  return ok;
}

bool SettingsTextsAreUnconverted() { return false; }
