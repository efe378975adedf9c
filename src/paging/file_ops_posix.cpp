#include "paging/file_ops.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One block for the plain read/write copy; the jobs run one at a time.
char copyBlock[1 << 20];

bool WriteAll(int fd, const char* data, size_t length, off_t* copied) {
  while (length > 0) {
    ssize_t done = write(fd, data, length);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    length -= static_cast<size_t>(done);
    *copied += done;
  }
  return true;
}

bool CopyByBlocks(int in, int out, off_t* copied) {
  for (;;) {
    ssize_t got = read(in, copyBlock, sizeof copyBlock);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, copyBlock, static_cast<size_t>(got), copied)) return false;
  }
}

#if defined(__linux__)
// Lets the kernel copy without passing the bytes through this process.
// Some file systems answer "nothing copied" at once, or stop early, for a
// file that is not empty, so its word is never taken for the whole file.
bool CopyInKernel(int in, int out, off_t size, off_t* copied) {
  for (;;) {
    ssize_t done = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return done == 0 && *copied >= size;
    *copied += done;
  }
}
#endif

// Copies everything; *copied is the number of bytes now in `out`.
bool CopyContents(int in, int out, off_t size, off_t* copied) {
  *copied = 0;
#if defined(__linux__)
  if (CopyInKernel(in, out, size, copied)) return true;
  // Start again from the first byte with plain reads and writes.
  *copied = 0;
  if (lseek(in, 0, SEEK_SET) != 0 || lseek(out, 0, SEEK_SET) != 0) return false;
#else
  (void)size;
#endif
  return CopyByBlocks(in, out, copied);
}

FILE* Unbuffered(FILE* file) {
  if (file != nullptr) setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

bool StatPath(const char* path, struct stat* info) { return stat(path, info) == 0; }

// The folder part of a path and its last name, for paths that need not
// exist: the folder resolved, the name as given.
bool ResolvedName(const char* path, char* out, size_t outSize) {
  const char* slash = strrchr(path, '/');
  char folder[PATH_MAX];
  const char* name = path;
  if (slash == nullptr) {
    folder[0] = '.';
    folder[1] = '\0';
  } else {
    size_t length = static_cast<size_t>(slash - path);
    if (length == 0) length = 1;  // the root
    if (length >= sizeof folder) return false;
    memcpy(folder, path, length);
    folder[length] = '\0';
    name = slash + 1;
  }
  char resolved[PATH_MAX];
  if (realpath(folder, resolved) == nullptr) return false;
  int written = snprintf(out, outSize, "%s/%s", resolved, name);
  return written > 0 && static_cast<size_t>(written) < outSize;
}

}  // namespace

FILE* OpenSharedForReading(const char* path) {
  return Unbuffered(fopen(path, "rb"));
}

// The file is not emptied when opened but cut to what was written when it is
// closed: emptying first would make some file systems throw away the cached
// pages and then force the new ones to disk at close, which costs more than
// the whole rewrite. What the file ends up holding is the same.
FILE* OpenExclusiveForWriting(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT, 0666);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return Unbuffered(file);
}

bool CloseWrittenFile(FILE* file) {
  bool ok = fflush(file) == 0;
  off_t end = ftello(file);
  if (end < 0 || ftruncate(fileno(file), end) != 0) ok = false;
  if (fclose(file) != 0) ok = false;
  return ok;
}

FILE* OpenScratchFile() { return Unbuffered(tmpfile()); }

bool FileIsMissing(const char* path) {
  struct stat info;
  return !StatPath(path, &info) && (errno == ENOENT || errno == ENOTDIR);
}

int64_t OpenFileSize(FILE* file) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return info.st_size;
}

int64_t PathFileSize(const char* path) {
  struct stat info;
  if (!StatPath(path, &info) || !S_ISREG(info.st_mode)) return -1;
  return info.st_size;
}

bool SameExistingFile(const char* a, const char* b) {
  struct stat first;
  struct stat second;
  return StatPath(a, &first) && StatPath(b, &second) && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool SameTarget(const char* a, const char* b) {
  if (SameExistingFile(a, b)) return true;
  char first[PATH_MAX + 256];
  char second[PATH_MAX + 256];
  return ResolvedName(a, first, sizeof first) && ResolvedName(b, second, sizeof second) &&
         strcmp(first, second) == 0;
}

CopyOutcome CopyFileReplacing(const char* from, const char* to) {
  int in = open(from, O_RDONLY);
  if (in < 0) return errno == ENOENT || errno == ENOTDIR ? CopyOutcome::SourceMissing : CopyOutcome::Failed;
  struct stat info;
  if (fstat(in, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(in);
    return CopyOutcome::Failed;
  }
  int out = open(to, O_WRONLY | O_CREAT, info.st_mode & 0777);
  if (out < 0) {
    close(in);
    return CopyOutcome::Failed;
  }
  // A target that is the source itself (a link) must not be written at all.
  struct stat target;
  if (fstat(out, &target) != 0 ||
      (target.st_dev == info.st_dev && target.st_ino == info.st_ino)) {
    close(out);
    close(in);
    return CopyOutcome::Failed;
  }
  // Written over and then cut to length, for the same reason as above.
  off_t copied = 0;
  bool ok = CopyContents(in, out, info.st_size, &copied) && copied >= info.st_size &&
            ftruncate(out, copied) == 0;
  if (close(out) != 0) ok = false;
  close(in);
  if (!ok) unlink(to);
  return ok ? CopyOutcome::Copied : CopyOutcome::Failed;
}

bool MoveFileReplacing(const char* from, const char* to) { return rename(from, to) == 0; }

bool RemoveFile(const char* path) { return unlink(path) == 0; }

bool ReadAt(FILE* file, uint64_t offset, char* buffer, size_t length) {
  int fd = fileno(file);
  while (length > 0) {
    ssize_t got = pread(fd, buffer, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buffer += got;
    length -= static_cast<size_t>(got);
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

bool Rewind(FILE* file) { return fseeko(file, 0, SEEK_SET) == 0; }
