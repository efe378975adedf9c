#include "paging/file_ops.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
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

FILE* OpenScratchFile(char* buffer, size_t bufferSize) {
  FILE* file = tmpfile();
  if (file != nullptr) setvbuf(file, buffer, _IOFBF, bufferSize);
  return file;
}

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

bool StandardOutputIs(const char* path) {
  struct stat output;
  struct stat file;
  return fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode) && StatPath(path, &file) &&
         output.st_dev == file.st_dev && output.st_ino == file.st_ino;
}

bool TargetKey(const char* path, char* key, size_t size) {
  struct stat info;
  if (StatPath(path, &info)) {
    int length = snprintf(key, size, "i%llu:%llu", static_cast<unsigned long long>(info.st_dev),
                          static_cast<unsigned long long>(info.st_ino));
    return length > 0 && static_cast<size_t>(length) < size;
  }
  if (size < 2) return false;
  key[0] = 'n';
  return ResolvedName(path, key + 1, size - 1);
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
  // Written over and then cut to length, not emptied first: emptying makes
  // some file systems throw the cached pages away and force the new ones
  // to disk at close, which costs more than the whole copy.
  off_t copied = 0;
  bool ok = CopyContents(in, out, info.st_size, &copied) && copied >= info.st_size &&
            ftruncate(out, copied) == 0;
  if (close(out) != 0) ok = false;
  close(in);
  if (!ok) unlink(to);
  return ok ? CopyOutcome::Copied : CopyOutcome::Failed;
}

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

// ---------------------------------------------------------------------------
// Safe replacement.

namespace {

FileProblem ProblemOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG: return FileProblem::Missing;
    case EACCES:
    case EPERM:
    case EROFS: return FileProblem::Denied;
    case EISDIR: return FileProblem::NotAFile;
    case EWOULDBLOCK: return FileProblem::Busy;
    default: return FileProblem::Failed;
  }
}

// Flushes the folder that holds path, so that a rename in it lasts.
bool FlushFolderOf(const char* path) {
  const char* slash = strrchr(path, '/');
  char folder[kLongestTarget];
  if (slash == nullptr) {
    strcpy(folder, ".");
  } else {
    size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    memcpy(folder, path, length);
    folder[length] = '\0';
  }
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems cannot flush a folder; the rename is all they offer.
  bool ok = fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
  close(fd);
  return ok;
}

// The file a path names once symbolic links are followed: the path itself
// when it is no link. A link to a file that does not exist yet leads to
// where that file will be made.
bool FollowLinks(const char* path, char* out, size_t outSize) {
  char current[kLongestTarget];
  if (strlen(path) >= sizeof current) return false;
  strcpy(current, path);
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info;
    if (lstat(current, &info) != 0 || !S_ISLNK(info.st_mode)) {
      if (strlen(current) >= outSize) return false;
      strcpy(out, current);
      return true;
    }
    char resolved[PATH_MAX];
    if (realpath(current, resolved) != nullptr) {
      if (strlen(resolved) >= outSize) return false;
      strcpy(out, resolved);
      return true;
    }
    char link[PATH_MAX];
    ssize_t length = readlink(current, link, sizeof link - 1);
    if (length <= 0) return false;
    link[length] = '\0';
    const char* slash = strrchr(current, '/');
    size_t folder = link[0] == '/' || slash == nullptr ? 0 : static_cast<size_t>(slash - current) + 1;
    if (folder + static_cast<size_t>(length) >= sizeof current) return false;
    memmove(current + folder, link, static_cast<size_t>(length) + 1);
  }
  return false;
}

uint32_t NextSerial() {
  static uint32_t counter = 0;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  counter += 1;
  return static_cast<uint32_t>(now.tv_nsec) ^ (static_cast<uint32_t>(getpid()) << 12) ^
         (counter * 2654435761u);
}

// Gives the scratch file what the user set on the file it replaces.
void TakeOverSettings(int fd, const struct stat& target) {
  mode_t mode = target.st_mode & 07777;
  if (fchown(fd, target.st_uid, target.st_gid) != 0) mode &= 0777;  // no set-id bits for another owner
  fchmod(fd, mode);
}

FILE* WritingStream(int fd) {
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return Unbuffered(file);
}

// The signals a user sends to stop a program politely wait while a file is
// rewritten in place; they take effect once it is whole again.
sigset_t heldOff;
sigset_t before;

void HoldOffInterruptions() {
  sigemptyset(&heldOff);
  sigaddset(&heldOff, SIGINT);
  sigaddset(&heldOff, SIGTERM);
  sigaddset(&heldOff, SIGHUP);
  sigaddset(&heldOff, SIGQUIT);
  sigprocmask(SIG_BLOCK, &heldOff, &before);
}

void AllowInterruptions() { sigprocmask(SIG_SETMASK, &before, nullptr); }

// The mark made and on the disk, with its folder, before the rewrite.
bool MarkRewrite(const char* target) {
  char mark[kLongestTarget];
  if (!FormRewriteMarkPath(target, mark, sizeof mark)) return false;
  int fd = open(mark, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  return ok && FlushFolderOf(mark);
}

}  // namespace

FileProblem OpenHeldFile(const char* path, bool hold, HeldFile* held) {
  held->stream = nullptr;
  held->jobLock = nullptr;
  held->size = 0;
  held->links = 1;
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ProblemOf(errno);
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return FileProblem::NotAFile;
  }
  // A file the user made read-only is not replaced behind its back.
  // Root may write any file; one without any write permission is still one
  // its user made read-only.
  if (hold && ((info.st_mode & 0222) == 0 || access(path, W_OK) != 0)) {
    close(fd);
    return FileProblem::Denied;
  }
  if (hold && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    close(fd);
    return FileProblem::Busy;
  }
  // A job that finished meanwhile may have put a new file in this place:
  // then the one held is no longer the document.
  struct stat now;
  if (hold && (stat(path, &now) != 0 || now.st_ino != info.st_ino || now.st_dev != info.st_dev)) {
    close(fd);
    return FileProblem::Busy;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  held->stream = fdopen(fd, "rb");
  if (held->stream == nullptr) {
    close(fd);
    return FileProblem::Failed;
  }
  setvbuf(held->stream, nullptr, _IONBF, 0);
  held->size = info.st_size;
  held->links = static_cast<int32_t>(info.st_nlink);
  return FileProblem::None;
}

void LetGo(HeldFile* held) {
  if (held->stream != nullptr) fclose(held->stream);
  held->stream = nullptr;
}

void EndHoldBeforeReplacing(HeldFile*) {}

FileProblem BeginReplacement(const char* path, ReplaceWay way, Replacement* r) {
  r->stream = nullptr;
  r->inPlace = false;
  r->marked = false;
  r->scratch[0] = '\0';
  if (!FollowLinks(path, r->target, sizeof r->target)) return FileProblem::Failed;
  struct stat info;
  bool exists = stat(r->target, &info) == 0;
  if (!exists && errno != ENOENT) return ProblemOf(errno);
  if (exists && S_ISDIR(info.st_mode)) return FileProblem::NotAFile;
  bool regular = !exists || S_ISREG(info.st_mode);
  if (!regular && way != ReplaceWay::ThroughOtherKinds) return FileProblem::NotAFile;
  if (!regular || (exists && way == ReplaceWay::InPlaceWhenLinked && info.st_nlink > 1)) {
    // Not emptied when opened (see CopyFileReplacing): cut to length when
    // finished.
    int fd = open(r->target, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return ProblemOf(errno);
    if (regular) {
      HoldOffInterruptions();
      if (!MarkRewrite(r->target)) {
        AllowInterruptions();
        close(fd);
        return FileProblem::Failed;
      }
      r->marked = true;
    }
    r->stream = WritingStream(fd);
    r->inPlace = true;
    if (r->stream != nullptr) return FileProblem::None;
    AbandonReplacement(r);
    return FileProblem::Failed;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!FormScratchPath(r->target, NextSerial(), r->scratch, sizeof r->scratch)) {
      return FileProblem::Failed;
    }
    int fd = open(r->scratch, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      r->scratch[0] = '\0';
      // The target exists or may be made: a scratch name it cannot have is
      // no missing file.
      return errno == ENAMETOOLONG ? FileProblem::Failed : ProblemOf(errno);
    }
    if (exists) TakeOverSettings(fd, info);
    r->stream = WritingStream(fd);
    if (r->stream != nullptr) return FileProblem::None;
    unlink(r->scratch);
    return FileProblem::Failed;
  }
  return FileProblem::Failed;
}

bool FinishReplacement(Replacement* r) {
  if (r->stream == nullptr) return false;
  int fd = fileno(r->stream);
  struct stat info;
  bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  bool ok = fflush(r->stream) == 0;
  if (regular) {
    off_t end = ftello(r->stream);
    if (r->inPlace && (end < 0 || ftruncate(fd, end) != 0)) ok = false;
    if (fsync(fd) != 0) ok = false;
  }
  if (fclose(r->stream) != 0) ok = false;
  r->stream = nullptr;
  if (r->marked) {
    if (ok) ClearRewriteMark(r->target);
    r->marked = false;
    AllowInterruptions();
  }
  if (r->inPlace) return ok;
  if (ok && rename(r->scratch, r->target) == 0) {
    r->scratch[0] = '\0';
    return FlushFolderOf(r->target);
  }
  unlink(r->scratch);
  r->scratch[0] = '\0';
  return false;
}

void StartWriteBack(Replacement* r) {
#if defined(__linux__)
  if (r->stream != nullptr) sync_file_range(fileno(r->stream), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)r;
#endif
}

void AbandonReplacement(Replacement* r) {
  bool written = true;
  if (r->stream != nullptr) {
    written = ftello(r->stream) != 0;
    fclose(r->stream);
  }
  r->stream = nullptr;
  if (r->marked) {
    if (!written) ClearRewriteMark(r->target);
    r->marked = false;
    AllowInterruptions();
  }
  if (!r->inPlace && r->scratch[0] != '\0') unlink(r->scratch);
  r->scratch[0] = '\0';
}

bool RewriteWasStopped(const char* path) {
  char target[kLongestTarget];
  char mark[kLongestTarget];
  if (!FollowLinks(path, target, sizeof target) || !FormRewriteMarkPath(target, mark, sizeof mark)) {
    return false;
  }
  return access(mark, F_OK) == 0;
}

void ClearRewriteMark(const char* path) {
  char target[kLongestTarget];
  char mark[kLongestTarget];
  if (!FollowLinks(path, target, sizeof target) || !FormRewriteMarkPath(target, mark, sizeof mark)) return;
  if (unlink(mark) == 0) FlushFolderOf(mark);
}

bool CopyIntoReplacement(FILE* from, Replacement* r, int64_t* copied) {
  int in = fileno(from);
  struct stat info;
  off_t done = 0;
  bool ok = fstat(in, &info) == 0 && CopyContents(in, fileno(r->stream), info.st_size, &done);
  *copied = done;
  if (lseek(in, 0, SEEK_SET) != 0) ok = false;
  return ok;
}

void RemoveLeftScratchFiles(const char* path) {
  char target[kLongestTarget];
  if (!FollowLinks(path, target, sizeof target)) return;
  const char* slash = strrchr(target, '/');
  const char* name = slash != nullptr ? slash + 1 : target;
  char folder[kLongestTarget];
  size_t length = slash == nullptr ? 0 : slash == target ? 1 : static_cast<size_t>(slash - target);
  if (length == 0) {
    strcpy(folder, ".");
  } else {
    memcpy(folder, target, length);
    folder[length] = '\0';
  }
  DIR* dir = opendir(folder);
  if (dir == nullptr) return;
  while (struct dirent* entry = readdir(dir)) {
    if (!IsScratchNameFor(entry->d_name, name)) continue;
    char left[kLongestTarget];
    int written = snprintf(left, sizeof left, "%s/%s", folder, entry->d_name);
    if (written > 0 && static_cast<size_t>(written) < sizeof left) unlink(left);
  }
  closedir(dir);
}
