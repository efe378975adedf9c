// How every job replaces a file, on each platform's file layer: a job never
// meets another job's document, leaves no scratch file, clears those a
// crash left, never writes over an input, and makes no backup when asked.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "paging/file_ops.h"
#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";
const std::string kPlain = "# One\n" + kBreak + "\n# Two\n";

std::vector<std::string> Names(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.root())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void KeepReport(void* context, const JobReport& report) {
  *static_cast<std::string*>(context) = report.text;
}

// The window's first-start choices for the document at path.
JobInput PlainInput(const std::string& path) {
  JobInput job = {};
  job.markdownPath = path.c_str();
  job.tocPageCount = "1";
  job.skipPages = "";
  job.headerText = "";
  job.customColor = "blue";
  job.fontSizePercent = "80";
  return job;
}

TEST(SafeReplaceTest, ADocumentAnotherJobHoldsIsRefusedAtOnceAndUnchanged) {
  for (Job job : {Job::Insert, Job::Remove, Job::Undo}) {
    TempFolder folder;
    JobSettings settings;
    settings.markdownPath = folder.Path("doc.md");
    WriteFileBytes(settings.markdownPath, kPlain);
    WriteFileBytes(folder.Path("doc.bak"), "older");
    HeldFile held;
    ASSERT_EQ(OpenHeldFile(settings.markdownPath.c_str(), true, &held), FileProblem::None);
    EXPECT_EQ(RunJob(job, settings), "Busy:" + settings.markdownPath + "\r\n");
    LetGo(&held);
    EXPECT_EQ(ReadFileBytes(settings.markdownPath), kPlain);
    EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), "older");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"doc.bak", "doc.md"}));
  }
}

TEST(SafeReplaceTest, EveryJobLeavesOnlyTheDocumentAndItsBackup) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  WriteFileBytes(settings.markdownPath, kPlain);
  for (Job job : {Job::Insert, Job::Remove, Job::Undo, Job::Check}) {
    JobResult result = RunJobFull(job, settings);
    EXPECT_EQ(result.outcome, JobOutcome::Done) << result.text;
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"doc.bak", "doc.md"}));
  }
}

TEST(SafeReplaceTest, ScratchFilesACrashLeftAreRemovedByTheNextJob) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  WriteFileBytes(settings.markdownPath, kPlain);
  // Ours for the document and its backup; the rest only look alike.
  const char* left[] = {".doc.md.foliostamp-0123abcd.tmp", ".doc.bak.foliostamp-ffffffff.tmp"};
  const char* kept[] = {".other.md.foliostamp-0123abcd.tmp", ".doc.md.foliostamp-0123.tmp",
                        "doc.md.foliostamp-0123abcd.tmp", ".doc.md.foliostamp-0123abcd.tmp.txt"};
  for (const char* name : left) WriteFileBytes(folder.Path(name), "torn");
  for (const char* name : kept) WriteFileBytes(folder.Path(name), "the user's");
  ASSERT_EQ(RunJob(Job::Insert, settings), "Total 2 pages.");
  for (const char* name : left) EXPECT_FALSE(FileExists(folder.Path(name))) << name;
  for (const char* name : kept) EXPECT_EQ(ReadFileBytes(folder.Path(name)), "the user's") << name;
}

// A rewrite in place that was stopped part-way leaves its mark: the
// document may be torn and its backup is its only whole copy, so Execute,
// Delete and a book refuse it, changing nothing, until Undo puts the backup
// back; then the mark is gone and the jobs run again.
TEST(SafeReplaceTest, AStoppedRewriteInPlaceIsRefusedUntilUndone) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  const std::string mark = folder.Path(".doc.md.foliostamp-rewriting");
  const std::string refused = "Error: A job was stopped while it rewrote this file in place, so it may be "
                              "torn; Undo puts back its text from the backup.\r\n" +
                              settings.markdownPath + "\r\n";
  WriteFileBytes(settings.markdownPath, "# One\n" + kBreak + "\n# Tw");
  WriteFileBytes(folder.Path("doc.bak"), kPlain);
  WriteFileBytes(mark, "");
  EXPECT_TRUE(RewriteWasStopped(settings.markdownPath.c_str()));
  for (Job job : {Job::Insert, Job::Remove}) EXPECT_EQ(RunJob(job, settings), refused);
  JobInput input = PlainInput(settings.markdownPath);
  std::string text;
  const char* paths[] = {settings.markdownPath.c_str()};
  NumberBook(input, paths, 1, false, KeepReport, &text);
  EXPECT_EQ(text, refused);
  EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), kPlain);
  EXPECT_EQ(RunJob(Job::Undo, settings), "Done undo.");
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), kPlain);
  EXPECT_FALSE(FileExists(mark));
  EXPECT_EQ(RunJob(Job::Insert, settings), "Total 2 pages.");
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"doc.bak", "doc.md"}));
}

TEST(SafeReplaceTest, ScratchNamesAreOurPatternOnly) {
  struct Case {
    const char* name;
    bool ours;
  };
  const Case cases[] = {
      {".doc.md.foliostamp-0123abcd.tmp", true},  {".doc.md.foliostamp-0123ABCD.tmp", false},
      {".doc.md.foliostamp-0123abc.tmp", false},  {".doc.md.foliostamp-0123abcde.tmp", false},
      {"doc.md.foliostamp-0123abcd.tmp", false},  {".doc.mdx.foliostamp-0123abcd.tmp", false},
      {".doc.md.foliostamp-0123abcd.tm", false},  {".doc.md.foliostamp-0123abcd", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsScratchNameFor(c.name, "doc.md"), c.ours) << c.name;
}

// The output name with the suffix that earlier builds wrote beside it, or
// any other existing name, is never taken for the new text's scratch file.
TEST(SafeReplaceTest, AnInputNamedLikeAScratchFileIsNeverWrittenOver) {
  TempFolder folder;
  const std::string input = folder.Path("doc.foliostamp-new");
  WriteFileBytes(input, kPlain);
  JobSettings settings;
  settings.markdownPath = input;
  JobInput job = PlainInput(input);
  std::string text;
  const std::string output = folder.Path("doc");
  RewriteToOutput(RewriteKind::Insert, job, output.c_str(), KeepReport, &text);
  EXPECT_EQ(text, "Total 2 pages.");
  EXPECT_EQ(ReadFileBytes(input), kPlain);
  EXPECT_NE(ReadFileBytes(output).find(" 2 / 2<"), std::string::npos);
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"doc", "doc.foliostamp-new"}));
}

TEST(SafeReplaceTest, NoBackupWritesNoBakFile) {
  for (Job job : {Job::Insert, Job::Remove}) {
    TempFolder folder;
    JobSettings settings;
    settings.markdownPath = folder.Path("doc.md");
    settings.noBackup = 1;
    WriteFileBytes(settings.markdownPath, kPlain);
    EXPECT_EQ(RunJob(job, settings), "Total 2 pages.");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"doc.md"}));
    // The same text as with a backup.
    TempFolder other;
    JobSettings backedUp = settings;
    backedUp.markdownPath = other.Path("doc.md");
    backedUp.noBackup = 0;
    WriteFileBytes(backedUp.markdownPath, kPlain);
    ASSERT_EQ(RunJob(job, backedUp), "Total 2 pages.");
    EXPECT_EQ(ReadFileBytes(settings.markdownPath), ReadFileBytes(backedUp.markdownPath));
  }
}

TEST(SafeReplaceTest, FoldersAndMissingFilesAreNamedAsSuch) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path("out"));
  WriteFileBytes(folder.Path("doc.md"), kPlain);
  const std::string input = folder.Path("doc.md");
  JobInput job = PlainInput(input);
  std::string text;
  const std::string output = folder.Path("out");
  RewriteToOutput(RewriteKind::Insert, job, output.c_str(), KeepReport, &text);
  EXPECT_EQ(text, "Error: Not a file.\r\n" + output + "\r\n");
  const std::string nowhere = folder.Path("no/such.md");
  RewriteToOutput(RewriteKind::Insert, job, nowhere.c_str(), KeepReport, &text);
  EXPECT_EQ(text, "Error: Writing failed.\r\n" + nowhere + "\r\n");
  job.markdownPath = output.c_str();
  RewriteToOutput(RewriteKind::Insert, job, input.c_str(), KeepReport, &text);
  EXPECT_EQ(text, "Error: Not a file.\r\n" + output + "\r\n");
  EXPECT_EQ(ReadFileBytes(input), kPlain);
}

}  // namespace
