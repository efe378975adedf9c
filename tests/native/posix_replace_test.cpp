// What a replaced file keeps on POSIX: its permission bits, a symbolic
// link that leads to it, its hard links, and the kind of an output that is
// no regular file; and the cause told when the user may not touch it.
#include <fcntl.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/sysmacros.h>
#endif
#include <unistd.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "paging/file_ops.h"
#include "settings/settings_codec.h"
#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";
const std::string kPlain = "# One\n" + kBreak + "\n# Two\n";

struct stat StatOf(const std::string& path) {
  struct stat info = {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info;
}

void KeepReport(void* context, const JobReport& report) {
  *static_cast<std::string*>(context) = report.text;
}

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

TEST(PosixReplaceTest, PermissionBitsStay) {
  for (mode_t mode : {0600, 0640, 0604}) {
    for (Job job : {Job::Insert, Job::Remove, Job::Undo}) {
      TempFolder folder;
      JobSettings settings;
      settings.markdownPath = folder.Path("doc.md");
      WriteFileBytes(settings.markdownPath, kPlain);
      WriteFileBytes(folder.Path("doc.bak"), kPlain);
      ASSERT_EQ(chmod(settings.markdownPath.c_str(), mode), 0);
      JobResult result = RunJobFull(job, settings);
      EXPECT_EQ(result.outcome, JobOutcome::Done) << result.text;
      EXPECT_EQ(StatOf(settings.markdownPath).st_mode & 07777, mode);
    }
    // An output that exists keeps its bits too.
    TempFolder folder;
    const std::string input = folder.Path("doc.md");
    const std::string output = folder.Path("out.md");
    WriteFileBytes(input, kPlain);
    WriteFileBytes(output, "old");
    ASSERT_EQ(chmod(output.c_str(), mode), 0);
    std::string text;
    RewriteToOutput(RewriteKind::Insert, PlainInput(input), output.c_str(), KeepReport, &text);
    EXPECT_EQ(text, "Total 2 pages.");
    EXPECT_EQ(StatOf(output).st_mode & 07777, mode);
  }
}

TEST(PosixReplaceTest, ALinkStaysALinkAndItsTargetIsReplaced) {
  TempFolder folder;
  ASSERT_EQ(mkdir(folder.Path("real").c_str(), 0755), 0);
  const std::string target = folder.Path("real/doc.md");
  WriteFileBytes(target, kPlain);
  ASSERT_EQ(symlink("real/doc.md", folder.Path("doc.md").c_str()), 0);
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  ASSERT_EQ(RunJob(Job::Insert, settings), "Total 2 pages.");
  EXPECT_TRUE(S_ISLNK(StatOf(settings.markdownPath).st_mode));
  EXPECT_NE(ReadFileBytes(target).find(" 2 / 2<"), std::string::npos);
  // The backup is named from the name the job was given.
  EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), kPlain);

  // An output reached through a link.
  ASSERT_EQ(symlink("real/out.md", folder.Path("out.md").c_str()), 0);
  std::string text;
  const std::string output = folder.Path("out.md");
  RewriteToOutput(RewriteKind::Remove, PlainInput(target), output.c_str(), KeepReport, &text);
  EXPECT_EQ(text, "Total 2 pages.");
  EXPECT_TRUE(S_ISLNK(StatOf(output).st_mode));
  EXPECT_EQ(ReadFileBytes(folder.Path("real/out.md")).find("2 / 2"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(folder.Path("real/out.md")).substr(0, 6), "# One\n");
}

TEST(PosixReplaceTest, AHardLinkedDocumentKeepsItsLinks) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  WriteFileBytes(settings.markdownPath, kPlain);
  ASSERT_EQ(link(settings.markdownPath.c_str(), folder.Path("other-name.md").c_str()), 0);
  const ino_t inode = StatOf(settings.markdownPath).st_ino;
  for (Job job : {Job::Insert, Job::Remove, Job::Undo}) {
    JobResult result = RunJobFull(job, settings);
    EXPECT_EQ(result.outcome, JobOutcome::Done) << result.text;
    EXPECT_EQ(StatOf(settings.markdownPath).st_ino, inode);
    EXPECT_EQ(StatOf(settings.markdownPath).st_nlink, 2u);
    EXPECT_EQ(ReadFileBytes(folder.Path("other-name.md")), ReadFileBytes(settings.markdownPath));
  }
  // Written in place, it needs its backup.
  settings.noBackup = 1;
  const std::string before = ReadFileBytes(settings.markdownPath);
  EXPECT_EQ(RunJob(Job::Insert, settings),
            "Error: The file has more than one link, so it is rewritten in place, which needs a "
            "backup.\r\n" + settings.markdownPath + "\r\n");
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), before);
}

// A pipe (or a device) given as the output is written to, not replaced.
TEST(PosixReplaceTest, AnOutputThatIsNoRegularFileIsWrittenThrough) {
  TempFolder folder;
  const std::string input = folder.Path("doc.md");
  const std::string fifo = folder.Path("pipe");
  WriteFileBytes(input, kPlain);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFileBytes(fifo); });
  std::string text;
  RewriteToOutput(RewriteKind::Remove, PlainInput(input), fifo.c_str(), KeepReport, &text);
  reader.join();
  EXPECT_EQ(text, "Total 2 pages.");
  EXPECT_EQ(received.substr(0, 6), "# One\n");
  EXPECT_EQ(received.substr(received.size() - 6), "# Two\n");
  EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));

  // A device: one like /dev/null, made in the test's own folder (as root).
  if (geteuid() == 0) {
    const std::string device = folder.Path("null");
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    RewriteToOutput(RewriteKind::Insert, PlainInput(input), device.c_str(), KeepReport, &text);
    EXPECT_EQ(text, "Total 2 pages.");
    EXPECT_TRUE(S_ISCHR(StatOf(device).st_mode));
  }

  // As the document, it is no file to number.
  JobSettings settings;
  settings.markdownPath = folder.Path("pipe.md");
  ASSERT_EQ(mkfifo(settings.markdownPath.c_str(), 0600), 0);
  EXPECT_EQ(RunJob(Job::Insert, settings), "Error: Not a file.\r\n" + settings.markdownPath + "\r\n");
}

// Also for root, whom the system lets write any file: a document without
// write permission is one its user made read-only.
TEST(PosixReplaceTest, PermissionProblemsAreToldAsSuch) {
  TempFolder folder;
  JobSettings settings;
  settings.markdownPath = folder.Path("doc.md");
  const std::string denied = "Error: Access is denied.\r\n" + settings.markdownPath + "\r\n";
  WriteFileBytes(settings.markdownPath, kPlain);
  for (mode_t mode : {0000, 0444}) {
    ASSERT_EQ(chmod(settings.markdownPath.c_str(), mode), 0);
    for (Job job : {Job::Insert, Job::Remove, Job::Undo}) {
      EXPECT_EQ(RunJob(job, settings), denied) << mode;
    }
  }
  ASSERT_EQ(chmod(settings.markdownPath.c_str(), 0644), 0);
  EXPECT_EQ(ReadFileBytes(settings.markdownPath), kPlain);
  EXPECT_FALSE(FileExists(folder.Path("doc.bak")));
}

// Our names beside a file start with its own name, so for a name near the
// system's limit of 255 bytes they are shortened (by a whole character, with
// a hash of the whole name, so two long names never share them).
TEST(PosixReplaceTest, NamesNearTheLimitAreNumberedAndTheirScratchFilesCleared) {
  const std::string ascii(240, 'a');
  std::string japanese;
  for (int i = 0; i < 80; ++i) japanese += "\xe6\x96\x87";  // 240 bytes
  for (const std::string& stem : {ascii, japanese, ascii + "b"}) {
    TempFolder folder;
    JobSettings settings;
    settings.markdownPath = folder.Path(stem + ".md");
    WriteFileBytes(settings.markdownPath, kPlain);
    // Left by a crash on this document, and by one on a sibling whose name
    // differs only at its end.
    char left[8192];
    ASSERT_TRUE(FormScratchPath(settings.markdownPath.c_str(), 0x1234abcd, left, sizeof left));
    char sibling[8192];
    ASSERT_TRUE(FormScratchPath(folder.Path(stem + "x.md").c_str(), 0x1234abcd, sibling, sizeof sibling));
    ASSERT_STRNE(left, sibling);
    WriteFileBytes(left, "torn");
    WriteFileBytes(sibling, "another job's");
    for (Job job : {Job::Insert, Job::Remove, Job::Undo}) {
      JobResult result = RunJobFull(job, settings);
      EXPECT_EQ(result.outcome, JobOutcome::Done) << stem.size() << ": " << result.text;
    }
    EXPECT_FALSE(FileExists(left)) << stem.size();
    EXPECT_EQ(ReadFileBytes(sibling), "another job's") << stem.size();
    // A hard-linked one gets its rewrite mark beside it, and clears it.
    ASSERT_EQ(link(settings.markdownPath.c_str(), folder.Path("l.md").c_str()), 0);
    EXPECT_EQ(RunJob(Job::Insert, settings), "Total 2 pages.") << stem.size();
    EXPECT_FALSE(RewriteWasStopped(settings.markdownPath.c_str()));
  }
}

TEST(PosixReplaceTest, TheSettingsFileKeepsItsBitsAndItsLink) {
  TempFolder folder;
  const std::string real = folder.Path("real.ini");
  WriteFileBytes(real, "old");
  ASSERT_EQ(chmod(real.c_str(), 0600), 0);
  ASSERT_EQ(symlink("real.ini", folder.Path("Foliostamp.ini").c_str()), 0);
  ASSERT_TRUE(WriteSettingsFile(folder.Path("Foliostamp.ini").c_str()));
  EXPECT_TRUE(S_ISLNK(StatOf(folder.Path("Foliostamp.ini")).st_mode));
  EXPECT_EQ(StatOf(real).st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFileBytes(real).substr(0, 4), "20\r\n") << "not the settings";
}

}  // namespace
