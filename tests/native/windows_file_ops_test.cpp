// The Windows file layer: what other programs may do with the two files
// while a job has them open, and a job meeting a file someone else holds.
#include <share.h>
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "common/wide_text_win.h"
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

  // A document a job holds: others may read it, not write it, and a second
  // job cannot hold it.
  HeldFile held;
  ASSERT_EQ(OpenHeldFile(path.c_str(), true, &held), FileProblem::None);
  EXPECT_TRUE(OpensWith(path, "rb"));
  EXPECT_FALSE(OpensWith(path, "r+b"));
  HeldFile second;
  EXPECT_EQ(OpenHeldFile(path.c_str(), true, &second), FileProblem::Busy);
  LetGo(&held);
}

TEST(WindowsFileOpsTest, FilesHeldByOthersStopTheJobUnchanged) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  const std::string backup = folder.Path("doc.bak");
  WriteFileBytes(settings.markdownPath, "text\n");
  // Held with no sharing at all, or held for reading with writing denied.
  for (const char* mode : {"r+b", "rb"}) {
    FILE* locked = _fsopen(settings.markdownPath.c_str(), mode, mode[1] == '+' ? _SH_DENYRW : _SH_DENYWR);
    ASSERT_NE(locked, nullptr);
    EXPECT_EQ(RunJob(Job::Insert, settings), "Busy:" + settings.markdownPath + "\r\n") << mode;
    fclose(locked);
    EXPECT_EQ(ReadFileBytes(settings.markdownPath), "text\n");
    EXPECT_FALSE(FileExists(backup));
  }
}

// ReplaceFileW keeps what the user set on the document; a read-only one is
// not replaced, and the cause is told.
TEST(WindowsFileOpsTest, AttributesStayAndReadOnlyIsRefused) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  WriteFileBytes(settings.markdownPath, "text\n");
  wchar_t wide[kWidePathSize];
  ASSERT_TRUE(Utf8ToWide(settings.markdownPath.c_str(), wide, kWidePathSize));
  ASSERT_TRUE(SetFileAttributesW(wide, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(RunJob(Job::Insert, settings), "Total 1 pages.");
  EXPECT_NE(GetFileAttributesW(wide) & FILE_ATTRIBUTE_HIDDEN, 0u);

  ASSERT_TRUE(SetFileAttributesW(wide, FILE_ATTRIBUTE_READONLY));
  const std::string before = ReadFileBytes(settings.markdownPath);
  EXPECT_EQ(RunJob(Job::Remove, settings),
            "Error: Access is denied.\r\n" + settings.markdownPath + "\r\n");
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), before);
  SetFileAttributesW(wide, FILE_ATTRIBUTE_NORMAL);
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
