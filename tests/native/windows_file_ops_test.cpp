// The Windows file layer: what other programs may do with the two files
// while a job has them open, and a job meeting a file someone else holds.
#include <share.h>
#include <stdio.h>

#include <string>
#include <thread>

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

// A program that opens the document or its backup for a moment, sharing
// everything (a scanner, an indexer, another job comparing paths), makes
// Windows refuse the rename that puts the new text in place: the job waits
// for it. One that keeps the document open gets the true cause, and the
// document stays as it was.
TEST(WindowsFileOpsTest, AFileOpenedByOthersForAMomentIsStillReplaced) {
  struct Case {
    const char* held;
    int milliseconds;  // how long it is held once the job starts; -1: throughout
    const char* result;
  };
  const Case cases[] = {
      {"doc.md", 300, "Total 2 pages."},
      {"doc.bak", 300, "Total 2 pages."},
      {"doc.md", -1, "Error: Writing failed; the file was left as it was.\r\n"},
  };
  const std::string text = "one\n<div style=\"page-break-after:always\"></div>\ntwo\n";
  for (const Case& c : cases) {
    TempFolder folder;
    JobSettings settings;
    settings.markdownPath = folder.Path("doc.md");
    WriteFileBytes(settings.markdownPath, text);
    WriteFileBytes(folder.Path("doc.bak"), "old backup\n");
    wchar_t wide[kWidePathSize];
    ASSERT_TRUE(Utf8ToWide(folder.Path(c.held).c_str(), wide, kWidePathSize));
    HANDLE other = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    std::thread closer;
    if (c.milliseconds >= 0) {
      closer = std::thread([&] {
        Sleep(static_cast<DWORD>(c.milliseconds));
        CloseHandle(other);
      });
    }
    std::string expected = c.result;
    if (c.milliseconds < 0) expected += settings.markdownPath + "\r\n";
    EXPECT_EQ(RunJob(Job::Insert, settings), expected) << c.held;
    if (closer.joinable()) {
      closer.join();
    } else {
      CloseHandle(other);
    }
    const std::string after = ReadFileBytes(settings.markdownPath);
    EXPECT_EQ(after != text, c.milliseconds >= 0) << c.held;
    EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), text) << c.held;
  }
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
