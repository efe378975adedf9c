// What every job checks and prepares before it rewrites anything, and what
// Undo does.
#include <string.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

TEST(BackupNameTest, RewritingJobsNeedAnMdExtension) {
  struct Case {
    const char* file;
    const char* backup;  // null: refused as no .md file
  };
  const Case cases[] = {
      {"guide.md", "guide.bak"},       {"notes.mdown", "notes.bak"}, {"a.b.md", "a.b.bak"},
      {"old.md/readme", nullptr},      {"old.md/a.md", "old.md/a.bak"}, {"notes.MD", nullptr},
      {"notes.m", nullptr},            {"notes.md.txt", nullptr},       {"notes", nullptr},
  };
  for (Job job : {Job::Insert, Job::Remove}) {
    for (const Case& c : cases) {
      TempFolder folder;
      std::filesystem::create_directory(folder.Path("old.md"));
      const std::string path = folder.Path(c.file);
      WriteFileBytes(path, "text\n");
      JobSettings settings;
      settings.markdownPath = path;
      std::string result = RunJob(job, settings);
      if (c.backup == nullptr) {
        EXPECT_EQ(result, "Error: No .md file.\r\n") << c.file;
        EXPECT_EQ(ReadFileBytes(path), "text\n");
        // Never a backup named from a folder, outside the file's own.
        EXPECT_FALSE(FileExists(folder.Path("old.bak"))) << c.file;
      } else {
        EXPECT_EQ(result, "Total 1 pages.") << c.file;
        EXPECT_EQ(ReadFileBytes(folder.Path(c.backup)), "text\n") << c.file;
      }
    }
  }
  JobSettings empty;
  EXPECT_EQ(RunJob(Job::Insert, empty), "Error: No .md file.\r\n");
}

TEST(BackupNameTest, UndoTakesAnyExtension) {
  struct Case {
    const char* file;
    const char* backup;
  };
  const Case cases[] = {
      {"notes.md", "notes.bak"}, {"notes.txt", "notes.bak"}, {"my.docs/notes", "my.docs/notes.bak"},
      {"a.b.md", "a.b.bak"},     {"notes.", "notes.bak"},    {"notes", "notes.bak"},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    std::filesystem::create_directory(folder.Path("my.docs"));
    WriteFileBytes(folder.Path(c.backup), "from the backup\n");
    JobSettings settings;
    settings.markdownPath = folder.Path(c.file);
    // Twice: the backup stays, so the second restores the same contents.
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(RunJob(Job::Undo, settings), "Done undo.") << c.file;
      EXPECT_EQ(ReadFileBytes(settings.markdownPath), "from the backup\n") << c.file;
      WriteFileBytes(settings.markdownPath, "changed");
    }
    EXPECT_EQ(ReadFileBytes(folder.Path(c.backup)), "from the backup\n");
  }
}

TEST(UndoTest, MissingBackupLeavesTheFileAlone) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  WriteFileBytes(settings.markdownPath, "mine");
  EXPECT_EQ(RunJob(Job::Undo, settings), "There is no .bak file.\n");
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), "mine");

  // No file chosen: the backup would be ".bak" in the current directory.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.root());
  JobSettings none;
  EXPECT_EQ(RunJob(Job::Undo, none), "There is no .bak file.\n");
  WriteFileBytes(".bak", "b");
  EXPECT_EQ(RunJob(Job::Undo, none), "Error: Writing failed.\r\n\r\n");
  std::filesystem::current_path(previous);
}

TEST(UndoTest, AfterExecuteAndAfterDelete) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  const std::string plain = "a\n" + kBreak + "\nb\n";
  WriteFileBytes(settings.markdownPath, plain);
  ASSERT_EQ(RunJob(Job::Insert, settings), "Total 2 pages.");
  const std::string numbered = ReadFileBytes(settings.markdownPath);
  EXPECT_EQ(RunJob(Job::Undo, settings), "Done undo.");
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), plain);

  ASSERT_EQ(RunJob(Job::Insert, settings), "Total 2 pages.");
  ASSERT_EQ(RunJob(Job::Remove, settings), "Total 2 pages.");
  EXPECT_EQ(RunJob(Job::Undo, settings), "Done undo.");
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), numbered);
}

TEST(KeepBackupTest, ExistingBackupStopsTheJob) {
  for (Job job : {Job::Insert, Job::Remove}) {
    TempFolder folder;
    JobSettings settings;
    settings.markdownPath = folder.Path("doc.md");
    settings.keepExistingBackup = -3;
    WriteFileBytes(settings.markdownPath, "x\n");
    EXPECT_EQ(RunJob(job, settings), "Total 1 pages.");
    EXPECT_EQ(RunJob(job, settings), "There is .bak file.");
    EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), "x\n");

    // Without the setting, the second job backs up the first one's output.
    settings.keepExistingBackup = 0;
    settings.numberFirstPage = 1;
    WriteFileBytes(settings.markdownPath, "second\n");
    EXPECT_EQ(RunJob(job, settings), "Total 1 pages.");
    EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), "second\n");
  }
}

TEST(FailureTest, CopyFailuresTouchNothing) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("gone.md");
  // A missing document is reported as missing, not as busy, and must not
  // cost the backup that is still there.
  const std::string missing = "Error: The file does not exist.\r\n" + settings.markdownPath + "\r\n";
  WriteFileBytes(folder.Path("gone.bak"), "older backup");
  EXPECT_EQ(RunJob(Job::Insert, settings), missing);
  EXPECT_EQ(RunJob(Job::Remove, settings), missing);
  EXPECT_EQ(ReadFileBytes(folder.Path("gone.bak")), "older backup");
  // In a folder that does not exist either.
  settings.markdownPath = folder.Path("no-folder/doc.md");
  EXPECT_EQ(RunJob(Job::Insert, settings),
            "Error: The file does not exist.\r\n" + settings.markdownPath + "\r\n");

  // A folder is no document.
  std::filesystem::create_directory(folder.Path("dir.md"));
  settings.markdownPath = folder.Path("dir.md");
  for (Job job : {Job::Insert, Job::Remove, Job::Undo}) {
    WriteFileBytes(folder.Path("dir.bak"), "backup");
    EXPECT_EQ(RunJob(job, settings), "Error: Not a file.\r\n" + settings.markdownPath + "\r\n");
    EXPECT_EQ(ReadFileBytes(folder.Path("dir.bak")), "backup");
  }
}

TEST(FailureTest, PathsThatDoNotFitAreRefused) {
  const std::string tooLong = "Error: The path is too long.\r\n";
  struct Case {
    std::string path;
    const char* insert;
    const char* undo;
  };
  const std::string dir = "/nonexistent-folder/";
  const Case cases[] = {
      {dir + std::string(1004 - dir.size() - 3, 'a') + ".md", tooLong.c_str(), tooLong.c_str()},
      // 1003 bytes fit, but the backup name would take 1004.
      {dir + std::string(1003 - dir.size() - 3, 'a') + ".md", tooLong.c_str(), tooLong.c_str()},
      {dir + std::string(1003 - dir.size() - 4, 'a') + ".md",
       "Error: The file does not exist.\r\n", "There is no .bak file.\n"},
      {dir + std::string(1001 - dir.size(), 'a'), "Error: No .md file.\r\n", tooLong.c_str()},
      {dir + std::string(1003 - dir.size(), 'a'), "Error: No .md file.\r\n", tooLong.c_str()},
  };
  for (const Case& c : cases) {
    JobSettings settings;
    settings.markdownPath = c.path;
    EXPECT_EQ(RunJob(Job::Insert, settings).substr(0, strlen(c.insert)), c.insert) << c.path.size();
    EXPECT_EQ(RunJob(Job::Remove, settings).substr(0, strlen(c.insert)), c.insert) << c.path.size();
    EXPECT_EQ(RunJob(Job::Undo, settings), c.undo) << c.path.size();
  }
}

}  // namespace
