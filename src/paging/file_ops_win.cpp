#include "paging/file_ops.h"

#include <io.h>
#include <share.h>
#include <string.h>

#include "common/wide_text_win.h"

namespace {

FILE* Unbuffered(FILE* file) {
  if (file != nullptr) setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

// A path for the wide functions; empty (and so never found) when the text
// is not UTF-8 or too long.
struct WidePath {
  explicit WidePath(const char* path) { Utf8ToWide(path, text, kWidePathSize); }
  wchar_t text[kWidePathSize];
};

// The size of the file at path, or -1 when it does not exist or is a folder.
int64_t SizeOf(const wchar_t* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return -1;
  }
  return (int64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

bool IdentityOf(const wchar_t* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(file, info) != 0;
  CloseHandle(file);
  return ok;
}

bool MissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

}  // namespace

FILE* OpenSharedForReading(const char* path) {
  WidePath wide(path);
  return Unbuffered(_wfsopen(wide.text, L"rb", _SH_DENYWR));
}

FILE* OpenExclusiveForWriting(const char* path) {
  WidePath wide(path);
  return Unbuffered(_wfsopen(wide.text, L"wb", _SH_DENYRW));
}

bool CloseWrittenFile(FILE* file) {
  return fclose(file) == 0;
}

FILE* OpenScratchFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"fst", 0, name) == 0) {
    return nullptr;
  }
  // "D": removed when closed, also when the program ends without closing it.
  FILE* file = _wfsopen(name, L"w+bD", _SH_DENYRW);
  if (file == nullptr) DeleteFileW(name);
  return Unbuffered(file);
}

bool FileIsMissing(const char* path) {
  WidePath wide(path);
  if (GetFileAttributesW(wide.text) != INVALID_FILE_ATTRIBUTES) return false;
  return MissingError(GetLastError());
}

int64_t OpenFileSize(FILE* file) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  LARGE_INTEGER size;
  if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &size)) return -1;
  return size.QuadPart;
}

int64_t PathFileSize(const char* path) {
  WidePath wide(path);
  return SizeOf(wide.text);
}

bool SameExistingFile(const char* a, const char* b) {
  WidePath first(a);
  WidePath second(b);
  BY_HANDLE_FILE_INFORMATION one;
  BY_HANDLE_FILE_INFORMATION two;
  return IdentityOf(first.text, &one) && IdentityOf(second.text, &two) &&
         one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
         one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

bool SameTarget(const char* a, const char* b) {
  if (SameExistingFile(a, b)) return true;
  WidePath first(a);
  WidePath second(b);
  wchar_t fullFirst[kWidePathSize];
  wchar_t fullSecond[kWidePathSize];
  DWORD one = GetFullPathNameW(first.text, kWidePathSize, fullFirst, nullptr);
  DWORD two = GetFullPathNameW(second.text, kWidePathSize, fullSecond, nullptr);
  if (one == 0 || two == 0 || one >= kWidePathSize || two >= kWidePathSize) return false;
  // Windows names are the same whatever their case.
  return CompareStringOrdinal(fullFirst, -1, fullSecond, -1, TRUE) == CSTR_EQUAL;
}

// Judged by whether the copy call succeeded and by sizes, never by write
// times (FAT keeps those in 2-second steps).
CopyOutcome CopyFileReplacing(const char* from, const char* to) {
  WidePath source(from);
  WidePath target(to);
  int64_t size = SizeOf(source.text);
  if (size < 0) {
    DWORD attributes = GetFileAttributesW(source.text);
    return attributes == INVALID_FILE_ATTRIBUTES && MissingError(GetLastError())
               ? CopyOutcome::SourceMissing
               : CopyOutcome::Failed;
  }
  int64_t before = SizeOf(target.text);
  if (CopyFileW(source.text, target.text, FALSE)) {
    if (SizeOf(target.text) == size) return CopyOutcome::Copied;
    DeleteFileW(target.text);
    return CopyOutcome::Failed;
  }
  // A copy may give up after it has begun to write the target (a full
  // disk). A target that is new, or whose size changed, is then a fragment.
  int64_t after = SizeOf(target.text);
  if (after >= 0 && (before < 0 || after != before)) DeleteFileW(target.text);
  return CopyOutcome::Failed;
}

bool MoveFileReplacing(const char* from, const char* to) {
  WidePath source(from);
  WidePath target(to);
  return MoveFileExW(source.text, target.text, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveFile(const char* path) {
  WidePath wide(path);
  return DeleteFileW(wide.text) != 0;
}

bool ReadAt(FILE* file, uint64_t offset, char* buffer, size_t length) {
  if (_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
  return fread(buffer, 1, length, file) == length;
}

bool Rewind(FILE* file) { return _fseeki64(file, 0, SEEK_SET) == 0; }
