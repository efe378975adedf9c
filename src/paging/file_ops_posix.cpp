#include "paging/file_ops.h"

#include <errno.h>
#include <fcntl.h>
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
// Answers false with *fallBack set when the file systems do not support it.
bool CopyInKernel(int in, int out, off_t* copied, bool* fallBack) {
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
    *copied += done;
  }
}
#endif

bool CopyContents(int in, int out, off_t* copied) {
  *copied = 0;
#if defined(__linux__)
  bool fallBack = false;
  if (CopyInKernel(in, out, copied, &fallBack)) return true;
  if (!fallBack) return false;
#endif
  return CopyByBlocks(in, out, copied);
}

FILE* Unbuffered(FILE* file) {
  if (file != nullptr) setvbuf(file, nullptr, _IONBF, 0);
  return file;
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
  // A target that is the source itself (a link) must not be written at all.
  struct stat target;
  if (fstat(out, &target) != 0 ||
      (target.st_dev == info.st_dev && target.st_ino == info.st_ino)) {
    close(out);
    close(in);
    return false;
  }
  // Written over and then cut to length, for the same reason as above.
  off_t copied = 0;
  bool ok = CopyContents(in, out, &copied) && ftruncate(out, copied) == 0;
  if (close(out) != 0) ok = false;
  close(in);
  if (!ok) unlink(to);
  return ok;
}
