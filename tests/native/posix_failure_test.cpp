// Failures that only a POSIX system lets a test cause for real: a file size
// limit stands in for a full disk, a link makes the backup the document, a
// stream opened for writing fails to read, and the kernel's file copy is
// made to answer as some file systems do.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "paging/line_reader.h"
#include "test_files.h"

#if defined(__linux__)
namespace {

// How copy_file_range answers while a test runs.
enum class KernelCopy { Real, NothingCopied, StopsHalfWay, DocumentGrows };
KernelCopy kernelCopy = KernelCopy::Real;
int kernelCopyCalls = 0;
std::string growingDocument;

}  // namespace

// Takes the place of the C library's copy_file_range in this test program.
extern "C" ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t length,
                                   unsigned int flags) {
  using Real = ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned int);
  static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "copy_file_range"));
  switch (kernelCopy) {
    case KernelCopy::NothingCopied:
      return 0;
    case KernelCopy::StopsHalfWay: {
      if (kernelCopyCalls++ > 0) return 0;
      struct stat info;
      fstat(in, &info);
      return real(in, inOffset, out, outOffset, static_cast<size_t>(info.st_size / 2), flags);
    }
    case KernelCopy::DocumentGrows: {
      ssize_t done = real(in, inOffset, out, outOffset, length, flags);
      // Once the copy has reached the end, the document grows.
      if (done == 0 && kernelCopyCalls++ == 0) {
        FILE* file = fopen(growingDocument.c_str(), "ab");
        fputs("written by someone else meanwhile\n", file);
        fclose(file);
      }
      return done;
    }
    case KernelCopy::Real:
      break;
  }
  return real(in, inOffset, out, outOffset, length, flags);
}
#endif

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

// Runs a job with writes limited to `limit` bytes per file, the way a full
// disk stops them.
JobResult RunWithFileSizeLimit(Job job, const JobSettings& settings, rlim_t limit) {
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit limited = saved;
  limited.rlim_cur = limit;
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limited);
  JobResult result = RunJobFull(job, settings);
  setrlimit(RLIMIT_FSIZE, &saved);
  return result;
}

TEST(FailureTest, FailedRewriteLeavesTheDocumentAsItWas) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "line " + std::to_string(i) + "\n" + kBreak + "\n";
  WriteFileBytes(settings.markdownPath, input);
  // The backup fits; the numbered document does not.
  JobResult result = RunWithFileSizeLimit(Job::Insert, settings, input.size() + 1000);
  EXPECT_EQ(result.outcome, JobOutcome::Failed);
  EXPECT_EQ(result.text, "Error: Writing failed; the file was left as it was.\r\n" +
                             settings.markdownPath + "\r\n");
  EXPECT_TRUE(ReadFileBytes(settings.markdownPath) == input);
  EXPECT_TRUE(ReadFileBytes(folder.Path("doc.bak")) == input);
}

// A backup that cannot be written whole (a full disk) leaves the older
// backup as it was and no scratch file: never a short backup.
TEST(FailureTest, BackupThatFailsPartWayLeavesTheOlderOne) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  const std::string input(100000, 'x');
  WriteFileBytes(settings.markdownPath, input);
  WriteFileBytes(folder.Path("doc.bak"), "older");
  EXPECT_EQ(RunWithFileSizeLimit(Job::Insert, settings, 50000).text,
            "Error: Writing failed.\r\n" + folder.Path("doc.bak") + "\r\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), "older");
  EXPECT_TRUE(ReadFileBytes(settings.markdownPath) == input);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.root()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST(FailureTest, BackupLinkedToTheDocumentIsNotEmptied) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  WriteFileBytes(settings.markdownPath, "precious\n");
  ASSERT_EQ(symlink(settings.markdownPath.c_str(), folder.Path("doc.bak").c_str()), 0);
  EXPECT_NE(RunJob(Job::Insert, settings).find("busy now"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), "precious\n");
}

#if defined(__linux__)
// Some file systems report nothing copied, or stop early, for a file that
// is not empty; the copy then goes on by plain reads and writes.
TEST(FailureTest, KernelCopyThatFallsShortIsNotTrusted) {
  const std::string input = "a\n" + kBreak + "\nb\n" + std::string(300000, 'z') + "\n";
  TempFolder plain;
  JobSettings plainSettings;
  plainSettings.markdownPath = plain.Path("doc.md");
  WriteFileBytes(plainSettings.markdownPath, input);
  ASSERT_EQ(RunJob(Job::Insert, plainSettings), "Total 2 pages.");
  for (KernelCopy mode : {KernelCopy::NothingCopied, KernelCopy::StopsHalfWay}) {
    TempFolder folder;
    JobSettings settings;
    settings.markdownPath = folder.Path("doc.md");
    WriteFileBytes(settings.markdownPath, input);
    kernelCopy = mode;
    kernelCopyCalls = 0;
    JobResult result = RunJobFull(Job::Insert, settings);
    kernelCopy = KernelCopy::Real;
    EXPECT_EQ(result.text, "Total 2 pages.");
    EXPECT_TRUE(ReadFileBytes(folder.Path("doc.bak")) == input);
    EXPECT_TRUE(ReadFileBytes(settings.markdownPath) == ReadFileBytes(plainSettings.markdownPath));
  }
}

// A document that changes while its backup is made leaves a backup that is
// not the document: the job stops before it rewrites anything.
TEST(FailureTest, BackupOfAnotherSizeStopsTheJob) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  WriteFileBytes(settings.markdownPath, "a\n" + kBreak + "\nb\n");
  growingDocument = settings.markdownPath;
  kernelCopy = KernelCopy::DocumentGrows;
  kernelCopyCalls = 0;
  JobResult result = RunJobFull(Job::Insert, settings);
  kernelCopy = KernelCopy::Real;
  EXPECT_EQ(result.outcome, JobOutcome::Refused);
  EXPECT_EQ(result.text, "Error: These file are busy now.\r\n" + settings.markdownPath + "\r\n" +
                             folder.Path("doc.bak") + "\r\n");
  EXPECT_EQ(ReadFileBytes(settings.markdownPath),
            "a\n" + kBreak + "\nb\nwritten by someone else meanwhile\n");
}
#endif

// Reading a stream opened only for writing fails at once.
TEST(LineReaderTest, ReadErrorIsNotTheEnd) {
  TempFolder folder;
  FILE* file = fopen(folder.Path("out").c_str(), "wb");  // reading it fails
  char buffer[8];
  LineReader reader;
  StartReading(&reader, file, buffer, sizeof buffer, 4);
  LinePiece piece;
  EXPECT_EQ(ReadPiece(&reader, &piece), ReadStatus::Error);
  EXPECT_EQ(ReadPiece(&reader, &piece), ReadStatus::Error);
  fclose(file);
}

}  // namespace
