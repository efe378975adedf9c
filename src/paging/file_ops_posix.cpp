#include "paging/file_ops.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One block for the plain read/write copy; the jobs run one at a time.
char copyBlock[1 << 20];

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    ssize_t done = write(fd, data, length);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    length -= static_cast<size_t>(done);
  }
  return true;
}

bool CopyByBlocks(int in, int out) {
  for (;;) {
    ssize_t got = read(in, copyBlock, sizeof copyBlock);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, copyBlock, static_cast<size_t>(got))) return false;
  }
}

#if defined(__linux__)
// Lets the kernel copy without passing the bytes through this process.
// Answers false with *fallBack set when the file systems do not support it.
bool CopyInKernel(int in, int out, bool* fallBack) {
  *fallBack = false;
  bool first = true;
  for (;;) {
    ssize_t done = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (done == 0) return true;
    if (done < 0) {
      if (errno == EINTR) continue;
      if (first && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                    errno == EOPNOTSUPP || errno == EBADF)) {
        *fallBack = true;
      }
      return false;
    }
    first = false;
  }
}
#endif

bool CopyContents(int in, int out) {
#if defined(__linux__)
  bool fallBack = false;
  if (CopyInKernel(in, out, &fallBack)) return true;
  if (!fallBack) return false;
#endif
  return CopyByBlocks(in, out);
}

FILE* Unbuffered(FILE* file) {
  if (file != nullptr) setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

}  // namespace

FILE* OpenSharedForReading(const char* path) {
  return Unbuffered(fopen(path, "rb"));
}

FILE* OpenExclusiveForWriting(const char* path) {
  return Unbuffered(fopen(path, "wb"));
}

bool FileOpensForReading(const char* path, const char* mode) {
  FILE* file = fopen(path, mode);
  if (file == nullptr) return false;
  fclose(file);
  return true;
}

bool CopyFileReplacing(const char* from, const char* to) {
  int in = open(from, O_RDONLY);
  if (in < 0) return false;
  struct stat info;
  if (fstat(in, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(in);
    return false;
  }
  int out = open(to, O_WRONLY | O_CREAT, info.st_mode & 0777);
  if (out < 0) {
    close(in);
    return false;
  }
  // A target that is the source itself (a link) must not be emptied.
  struct stat target;
  if (fstat(out, &target) != 0 ||
      (target.st_dev == info.st_dev && target.st_ino == info.st_ino) ||
      ftruncate(out, 0) != 0) {
    close(out);
    close(in);
    return false;
  }
  bool ok = CopyContents(in, out);
  if (close(out) != 0) ok = false;
  close(in);
  if (!ok) unlink(to);
  return ok;
}
