#include "paging/file_ops.h"

#include <fcntl.h>
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

// The full form of a path for the wide functions; empty when it cannot be
// made.
struct FullPath {
  explicit FullPath(const char* path) {
    WidePath wide(path);
    DWORD length = GetFullPathNameW(wide.text, kWidePathSize, text, nullptr);
    if (length == 0 || length >= kWidePathSize) text[0] = L'\0';
  }
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

FILE* OpenScratchFile(char* buffer, size_t bufferSize) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"fst", 0, name) == 0) {
    return nullptr;
  }
  // "D": removed when closed, also when the program ends without closing it.
  FILE* file = _wfsopen(name, L"w+bD", _SH_DENYRW);
  if (file == nullptr) {
    DeleteFileW(name);
    return nullptr;
  }
  setvbuf(file, buffer, _IOFBF, bufferSize);
  return file;
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

bool StandardOutputIs(const char* path) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == INVALID_HANDLE_VALUE || output == nullptr || GetFileType(output) != FILE_TYPE_DISK) return false;
  WidePath wide(path);
  BY_HANDLE_FILE_INFORMATION one;
  BY_HANDLE_FILE_INFORMATION two;
  return GetFileInformationByHandle(output, &one) && IdentityOf(wide.text, &two) &&
         one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
         one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

bool TargetKey(const char* path, char* key, size_t size) {
  WidePath wide(path);
  BY_HANDLE_FILE_INFORMATION info;
  if (IdentityOf(wide.text, &info)) {
    int length = snprintf(key, size, "i%08lx:%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                          static_cast<unsigned long>(info.nFileIndexHigh),
                          static_cast<unsigned long>(info.nFileIndexLow));
    return length > 0 && static_cast<size_t>(length) < size;
  }
  static wchar_t full[kWidePathSize];
  DWORD length = GetFullPathNameW(wide.text, kWidePathSize, full, nullptr);
  if (length == 0 || length >= kWidePathSize || size < 2) return false;
  // Windows names are the same whatever their case.
  CharUpperBuffW(full, length);
  key[0] = 'n';
  return WideToUtf8(full, key + 1, size - 1);
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

bool RemoveFile(const char* path) {
  WidePath wide(path);
  return DeleteFileW(wide.text) != 0;
}

bool ReadAt(FILE* file, uint64_t offset, char* buffer, size_t length) {
  if (_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) != 0) return false;
  return fread(buffer, 1, length, file) == length;
}

bool Rewind(FILE* file) { return _fseeki64(file, 0, SEEK_SET) == 0; }

// ---------------------------------------------------------------------------
// Safe replacement.

namespace {

FileProblem ProblemOf(DWORD error) {
  if (MissingError(error)) return FileProblem::Missing;
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return FileProblem::Denied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return FileProblem::Busy;
    case ERROR_DIRECTORY: return FileProblem::NotAFile;
    default: return FileProblem::Failed;
  }
}

FILE* StreamOf(HANDLE handle, int flags, const char* mode) {
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, mode);
  if (file == nullptr) _close(fd);
  return Unbuffered(file);
}

HANDLE HandleOf(FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

// The file a path names once links are followed, as UTF-8: the path itself
// when it is no link or names nothing yet.
bool FollowLinks(const char* path, char* out, size_t outSize) {
  WidePath wide(path);
  DWORD attributes = GetFileAttributesW(wide.text);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    if (strlen(path) >= outSize) return false;
    strcpy(out, path);
    return true;
  }
  HANDLE file = CreateFileW(wide.text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  wchar_t final[kWidePathSize];
  DWORD length = GetFinalPathNameByHandleW(file, final, kWidePathSize, FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (length == 0 || length >= kWidePathSize) return false;
  return WideToUtf8(final, out, outSize);
}

uint32_t NextSerial() {
  static uint32_t counter = 0;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  counter += 1;
  return static_cast<uint32_t>(now.QuadPart) ^ (GetCurrentProcessId() << 12) ^
         (counter * 2654435761u);
}

// A lock among our own jobs, process-wide in the user's session, named
// after the document's full path in upper case (Windows names ignore case).
// A kernel mutex: the system lets it go when a killed job's process ends.
FileProblem TakeJobLock(const wchar_t* path, void** lock) {
  wchar_t full[kWidePathSize];
  DWORD length = GetFullPathNameW(path, kWidePathSize, full, nullptr);
  if (length == 0 || length >= kWidePathSize) return FileProblem::Failed;
  CharUpperBuffW(full, length);
  uint64_t hash = 14695981039346656037ull;
  for (DWORD i = 0; i < length; ++i) {
    hash = (hash ^ static_cast<uint16_t>(full[i])) * 1099511628211ull;
  }
  wchar_t name[64];
  _snwprintf(name, 64, L"Local\\Foliostamp-job-%016llx", static_cast<unsigned long long>(hash));
  name[63] = L'\0';
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return FileProblem::Failed;
  DWORD waited = WaitForSingleObject(mutex, 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return FileProblem::Busy;
  }
  *lock = mutex;
  return FileProblem::None;
}

// Windows refuses to rename over a file that anyone has open, even for a
// moment: a virus scanner, an indexer, an editor watching the file, another
// job comparing paths. Such a refusal is tried again for about three seconds
// before it counts; a read-only target is refused at once.
bool MoveIntoPlace(const wchar_t* scratch, const wchar_t* target) {
  DWORD pause = 10;
  for (DWORD waited = 0;; waited += pause, pause = pause < 200 ? pause * 2 : 200) {
    if (MoveFileExW(scratch, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD error = GetLastError();
    bool passing = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                   (error == ERROR_ACCESS_DENIED && (GetFileAttributesW(target) & FILE_ATTRIBUTE_READONLY) == 0);
    if (!passing || waited >= 3000) return false;
    Sleep(pause);
  }
}

// Ctrl+C and Ctrl+Break in a console wait while a file is rewritten in
// place; a job in the window has no console and needs nothing.
BOOL WINAPI SwallowInterruption(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

// The mark made and on the disk before the rewrite.
bool MarkRewrite(const char* target) {
  char mark[kLongestTarget];
  if (!FormRewriteMarkPath(target, mark, sizeof mark)) return false;
  WidePath wide(mark);
  HANDLE file = CreateFileW(wide.text, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = FlushFileBuffers(file) != 0;
  CloseHandle(file);
  return ok;
}

void DropJobLock(void** lock) {
  if (*lock == nullptr) return;
  ReleaseMutex(static_cast<HANDLE>(*lock));
  CloseHandle(static_cast<HANDLE>(*lock));
  *lock = nullptr;
}

}  // namespace

// Reading and writing are asked for, and only reading and deleting shared:
// a second job, or a program writing the file, cannot open it meanwhile.
FileProblem OpenHeldFile(const char* path, bool hold, HeldFile* held) {
  held->stream = nullptr;
  held->size = 0;
  held->links = 1;
  held->jobLock = nullptr;
  WidePath wide(path);
  DWORD attributes = GetFileAttributesW(wide.text);
  if (attributes == INVALID_FILE_ATTRIBUTES) return ProblemOf(GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileProblem::NotAFile;
  // A file the user made read-only is not replaced behind its back.
  if (hold && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return FileProblem::Denied;
  if (hold) {
    FileProblem locked = TakeJobLock(wide.text, &held->jobLock);
    if (locked != FileProblem::None) return locked;
  }
  DWORD access = hold ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  DWORD share = hold ? FILE_SHARE_READ | FILE_SHARE_DELETE : FILE_SHARE_READ;
  HANDLE file = CreateFileW(wide.text, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    DropJobLock(&held->jobLock);
    return ProblemOf(error);
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) {
    CloseHandle(file);
    DropJobLock(&held->jobLock);
    return FileProblem::NotAFile;
  }
  held->stream = StreamOf(file, _O_RDONLY | _O_BINARY, "rb");
  if (held->stream == nullptr) {
    DropJobLock(&held->jobLock);
    return FileProblem::Failed;
  }
  held->size = (int64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  held->links = static_cast<int32_t>(info.nNumberOfLinks);
  return FileProblem::None;
}

void LetGo(HeldFile* held) {
  if (held->stream != nullptr) fclose(held->stream);
  held->stream = nullptr;
  DropJobLock(&held->jobLock);
}

void EndHoldBeforeReplacing(HeldFile* held) {
  if (held->stream != nullptr) fclose(held->stream);
  held->stream = nullptr;
}

FileProblem BeginReplacement(const char* path, ReplaceWay way, Replacement* r) {
  r->stream = nullptr;
  r->inPlace = false;
  r->marked = false;
  r->scratch[0] = '\0';
  if (!FollowLinks(path, r->target, sizeof r->target)) return FileProblem::Failed;
  WidePath target(r->target);
  DWORD attributes = GetFileAttributesW(target.text);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FileProblem::NotAFile;
  }
  // Devices (NUL, CON, a pipe) have no attributes to read but open.
  bool throughOrInPlace = false;
  bool disk = false;
  HANDLE probe = CreateFileW(target.text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info = {};
    disk = GetFileType(probe) == FILE_TYPE_DISK;
    if (disk) GetFileInformationByHandle(probe, &info);
    CloseHandle(probe);
    if (!disk && way != ReplaceWay::ThroughOtherKinds) return FileProblem::NotAFile;
    throughOrInPlace = !disk || (way == ReplaceWay::InPlaceWhenLinked && info.nNumberOfLinks > 1);
  } else if (!MissingError(GetLastError())) {
    return ProblemOf(GetLastError());
  }
  if (throughOrInPlace) {
    HANDLE file = CreateFileW(target.text, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ProblemOf(GetLastError());
    if (disk) {
      SetConsoleCtrlHandler(SwallowInterruption, TRUE);
      if (!MarkRewrite(r->target)) {
        SetConsoleCtrlHandler(SwallowInterruption, FALSE);
        CloseHandle(file);
        return FileProblem::Failed;
      }
      r->marked = true;
    }
    r->stream = StreamOf(file, _O_WRONLY | _O_BINARY, "wb");
    r->inPlace = true;
    if (r->stream != nullptr) return FileProblem::None;
    AbandonReplacement(r);
    return FileProblem::Failed;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!FormScratchPath(r->target, NextSerial(), r->scratch, sizeof r->scratch)) return FileProblem::Failed;
    WidePath scratch(r->scratch);
    HANDLE file = CreateFileW(scratch.text, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    if (file == INVALID_HANDLE_VALUE) {
      r->scratch[0] = '\0';
      return ProblemOf(GetLastError());
    }
    r->stream = StreamOf(file, _O_WRONLY | _O_BINARY, "wb");
    if (r->stream != nullptr) return FileProblem::None;
    DeleteFileW(scratch.text);
    return FileProblem::Failed;
  }
  return FileProblem::Failed;
}

bool FinishReplacement(Replacement* r) {
  if (r->stream == nullptr) return false;
  HANDLE handle = HandleOf(r->stream);
  bool disk = GetFileType(handle) == FILE_TYPE_DISK;
  bool ok = fflush(r->stream) == 0;
  if (disk && r->inPlace && !SetEndOfFile(handle)) ok = false;
  if (disk && !FlushFileBuffers(handle)) ok = false;
  if (fclose(r->stream) != 0) ok = false;
  r->stream = nullptr;
  if (r->marked) {
    if (ok) ClearRewriteMark(r->target);
    r->marked = false;
    SetConsoleCtrlHandler(SwallowInterruption, FALSE);
  }
  if (r->inPlace) return ok;
  // Full paths with backslashes, which every wide function takes.
  FullPath scratch(r->scratch);
  FullPath target(r->target);
  if (ok) {
    // One rename puts the new text in place. ReplaceFileW would keep more
    // (security, streams), but it renames in steps, and a crash between
    // them leaves no file under the document's name (as Wine shows). The
    // scratch file takes the target's attributes first.
    DWORD attributes = GetFileAttributesW(target.text);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      SetFileAttributesW(scratch.text, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    ok = MoveIntoPlace(scratch.text, target.text);
  }
  if (!ok) DeleteFileW(scratch.text);
  r->scratch[0] = '\0';
  return ok;
}

void StartWriteBack(Replacement*) {}

void AbandonReplacement(Replacement* r) {
  bool written = true;
  if (r->stream != nullptr) {
    written = _ftelli64(r->stream) != 0;
    fclose(r->stream);
  }
  r->stream = nullptr;
  if (r->marked) {
    if (!written) ClearRewriteMark(r->target);
    r->marked = false;
    SetConsoleCtrlHandler(SwallowInterruption, FALSE);
  }
  if (!r->inPlace && r->scratch[0] != '\0') {
    WidePath scratch(r->scratch);
    DeleteFileW(scratch.text);
  }
  r->scratch[0] = '\0';
}

bool CopyIntoReplacement(FILE* from, Replacement* r, int64_t* copied) {
  static char block[1 << 20];
  *copied = 0;
  for (;;) {
    size_t got = fread(block, 1, sizeof block, from);
    if (got > 0 && fwrite(block, 1, got, r->stream) != got) break;
    *copied += static_cast<int64_t>(got);
    if (got < sizeof block) {
      bool ok = !ferror(from);
      return Rewind(from) && ok;
    }
  }
  Rewind(from);
  return false;
}

void RemoveLeftScratchFiles(const char* path) {
  char target[kLongestTarget];
  if (!FollowLinks(path, target, sizeof target)) return;
  const char* cut = strrchr(target, '\\');
  const char* slash = strrchr(target, '/');
  if (slash != nullptr && (cut == nullptr || slash > cut)) cut = slash;
  const char* name = cut != nullptr ? cut + 1 : target;
  char pattern[kLongestTarget];
  int written = snprintf(pattern, sizeof pattern, "%.*s.*", static_cast<int>(name - target), target);
  if (written <= 0 || static_cast<size_t>(written) >= sizeof pattern) return;
  WidePath widePattern(pattern);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(widePattern.text, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    char foundName[MAX_PATH * 3];
    if (!WideToUtf8(found.cFileName, foundName, sizeof foundName) || !IsScratchNameFor(foundName, name)) continue;
    char left[kLongestTarget];
    written = snprintf(left, sizeof left, "%.*s%s", static_cast<int>(name - target), target, foundName);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof left) continue;
    WidePath wideLeft(left);
    DeleteFileW(wideLeft.text);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

bool RewriteWasStopped(const char* path) {
  char target[kLongestTarget];
  char mark[kLongestTarget];
  if (!FollowLinks(path, target, sizeof target) || !FormRewriteMarkPath(target, mark, sizeof mark)) {
    return false;
  }
  WidePath wide(mark);
  return GetFileAttributesW(wide.text) != INVALID_FILE_ATTRIBUTES;
}

void ClearRewriteMark(const char* path) {
  char target[kLongestTarget];
  char mark[kLongestTarget];
  if (!FollowLinks(path, target, sizeof target) || !FormRewriteMarkPath(target, mark, sizeof mark)) return;
  WidePath wide(mark);
  DeleteFileW(wide.text);
}
