// The Windows file layer: what other programs may do with the two files
// while a job has them open, and a job meeting a file someone else holds.
#include <share.h>
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "paging/file_ops.h"
#include "test_files.h"

namespace {

bool OpensWith(const std::string& path, const char* mode) {
  FILE* file = _fsopen(path.c_str(), mode, _SH_DENYNO);
  if (file == nullptr) return false;
  fclose(file);
  return true;
}

TEST(WindowsFileOpsTest, SharingWhileAJobHasTheFilesOpen) {
  TempFolder folder;
  const std::string path = folder.Path("doc.md");
  WriteFileBytes(path, "text\n");

  FILE* reading = OpenSharedForReading(path.c_str());
  ASSERT_NE(reading, nullptr);
  EXPECT_TRUE(OpensWith(path, "rb"));
  EXPECT_FALSE(OpensWith(path, "r+b"));
  fclose(reading);

  FILE* writing = OpenExclusiveForWriting(path.c_str());
  ASSERT_NE(writing, nullptr);
  EXPECT_FALSE(OpensWith(path, "rb"));
  fclose(writing);
}

TEST(WindowsFileOpsTest, FilesHeldByOthersStopTheJobUnchanged) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  const std::string backup = folder.Path("doc.bak");
  WriteFileBytes(settings.markdownPath, "text\n");

  // Held with no sharing at all: not even the backup copy can read it.
  FILE* locked = _fsopen(settings.markdownPath.c_str(), "r+b", _SH_DENYRW);
  ASSERT_NE(locked, nullptr);
  EXPECT_EQ(RunJob(Job::Insert, settings),
            "Error: These file are busy now.\r\n" + settings.markdownPath + "\r\n" + backup + "\r\n");
  fclose(locked);
  EXPECT_FALSE(FileExists(backup));

  // Held for reading: the backup is made, but the rewrite cannot begin.
  FILE* held = _fsopen(settings.markdownPath.c_str(), "rb", _SH_DENYWR);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(RunJob(Job::Insert, settings), "Busy:" + settings.markdownPath + "\r\n");
  fclose(held);
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), "text\n");
  EXPECT_EQ(ReadFileBytes(backup), "text\n");
}

TEST(WindowsFileOpsTest, CopyReplacesAndKeepsAnUntouchedTarget) {
  TempFolder folder;
  const std::string from = folder.Path("a.md");
  const std::string to = folder.Path("a.bak");
  WriteFileBytes(from, "new");
  WriteFileBytes(to, "old");
  EXPECT_EQ(CopyFileReplacing(from.c_str(), to.c_str()), CopyOutcome::Copied);
  EXPECT_EQ(ReadFileBytes(to), "new");
  // A missing source fails before the target is touched.
  EXPECT_EQ(CopyFileReplacing(folder.Path("missing.md").c_str(), to.c_str()),
            CopyOutcome::SourceMissing);
  EXPECT_EQ(ReadFileBytes(to), "new");
  // A locked target is left as it was, whatever its write time.
  FILE* held = _fsopen(to.c_str(), "rb", _SH_DENYWR);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(CopyFileReplacing(from.c_str(), to.c_str()), CopyOutcome::Failed);
  fclose(held);
  EXPECT_EQ(ReadFileBytes(to), "new");
}

}  // namespace
