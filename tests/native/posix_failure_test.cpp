// Failures that only a POSIX system lets a test cause for real: a file size
// limit stands in for a full disk, a link makes the backup the document, and
// a stream opened for writing fails to read.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "paging/line_reader.h"
#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

// Runs a job with writes limited to `limit` bytes per file, the way a full
// disk stops them.
std::string RunWithFileSizeLimit(Job job, const JobSettings& settings, rlim_t limit) {
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit limited = saved;
  limited.rlim_cur = limit;
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limited);
  std::string result = RunJob(job, settings);
  setrlimit(RLIMIT_FSIZE, &saved);
  return result;
}

TEST(FailureTest, FailedRewriteIsRestoredFromTheBackup) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "line " + std::to_string(i) + "\n" + kBreak + "\n";
  WriteFileBytes(settings.markdownPath, input);
  // The backup fits; the numbered document does not.
  std::string result = RunWithFileSizeLimit(Job::Insert, settings, input.size() + 1000);
  EXPECT_EQ(result, "Error: Writing failed; the file was restored from its backup.\r\n" +
                        settings.markdownPath + "\r\n" + folder.Path("doc.bak") + "\r\n");
  EXPECT_TRUE(ReadFileBytes(settings.markdownPath) == input);
  EXPECT_TRUE(ReadFileBytes(folder.Path("doc.bak")) == input);
}

TEST(FailureTest, BackupThatFailsPartWayIsRemoved) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  const std::string input(100000, 'x');
  WriteFileBytes(settings.markdownPath, input);
  WriteFileBytes(folder.Path("doc.bak"), "stale");
  EXPECT_EQ(RunWithFileSizeLimit(Job::Insert, settings, 50000),
            "Error: These file are busy now.\r\n" + settings.markdownPath + "\r\n" +
                folder.Path("doc.bak") + "\r\n");
  EXPECT_FALSE(FileExists(folder.Path("doc.bak")));
  EXPECT_TRUE(ReadFileBytes(settings.markdownPath) == input);
  // So Undo cannot take a fragment for the original.
  EXPECT_EQ(RunJob(Job::Undo, settings), "There is no .bak file.\n");
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
