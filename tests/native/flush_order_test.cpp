// The order in which a job makes its writes last, read from a trace of its
// system calls (Linux, with strace): the backup's scratch file flushed,
// renamed to the backup and its folder flushed, all before the document's
// scratch file, itself flushed first, takes the document's place; and the
// document itself never opened for writing. Standard input goes to its
// scratch file in blocks.
#include <stdlib.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

std::string Tool() {
  const char* tool = getenv("FOLIOSTAMP_CLI");
  return tool != nullptr ? tool : "";
}

class FlushOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Tool().empty()) GTEST_SKIP() << "FOLIOSTAMP_CLI is not set";
    if (system("command -v strace >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "strace is not installed (scripts/install-deps.sh installs it)";
    }
  }

  // The job's system calls, one a line, without the process id.
  std::vector<std::string> Trace(const std::string& arguments, const std::string& input = "") {
    std::string command = "cd '" + folder.root() + "' && strace -f -qq -o trace.txt " +
                          "-e trace=openat,open,write,fsync,fdatasync,rename,renameat,renameat2 '" +
                          Tool() + "' " + arguments + (input.empty() ? "" : " <" + input) +
                          " >out.txt 2>err.txt";
    EXPECT_EQ(system(command.c_str()), 0) << ReadFileBytes(folder.Path("out.txt"));
    std::vector<std::string> calls;
    std::istringstream lines(ReadFileBytes(folder.Path("trace.txt")));
    for (std::string line; std::getline(lines, line);) {
      size_t space = line.find(' ');
      calls.push_back(space == std::string::npos ? line : line.substr(space + 1));
      while (!calls.back().empty() && calls.back()[0] == ' ') calls.back().erase(0, 1);
    }
    return calls;
  }

  TempFolder folder;
};

// The index of the first call at or after `from` that matches, or -1.
int Find(const std::vector<std::string>& calls, const std::string& pattern, int from = 0) {
  std::regex match(pattern);
  for (int i = from < 0 ? 0 : from; i < static_cast<int>(calls.size()); ++i) {
    if (std::regex_search(calls[i], match)) return i;
  }
  return -1;
}

// The file descriptor an open call returned.
std::string FdOf(const std::string& call) {
  size_t equals = call.rfind("= ");
  return equals == std::string::npos ? "?" : call.substr(equals + 2, call.find(' ', equals + 2) - equals - 2);
}

// Checks that the scratch file of `name` is flushed, then renamed to name,
// then its folder flushed; returns the index of the rename.
int ExpectFlushedAndRenamed(const std::vector<std::string>& calls, const std::string& name) {
  int open = Find(calls, "^openat?\\(.*\"\\." + name + "\\.foliostamp-[0-9a-f]{8}\\.tmp\", .*O_EXCL");
  EXPECT_GE(open, 0) << "no scratch file made for " << name;
  if (open < 0) return -1;
  std::string fd = FdOf(calls[open]);
  int flush = Find(calls, "^f(data)?sync\\(" + fd + "\\)", open);
  int rename = Find(calls, "^rename(at2?)?\\(.*\\." + name + "\\.foliostamp-.*\"" + name + "\"", open);
  EXPECT_GE(flush, 0) << name << "'s scratch file never flushed";
  EXPECT_GT(rename, flush) << name << "'s scratch file renamed before it was flushed";
  int folder = Find(calls, "^openat?\\(.*O_DIRECTORY", rename);
  EXPECT_GT(folder, rename) << "the folder is not flushed after " << name << " is renamed";
  if (folder > 0) EXPECT_GT(Find(calls, "^fsync\\(" + FdOf(calls[folder]) + "\\)", folder), folder);
  return rename;
}

TEST_F(FlushOrderTest, TheBackupLastsBeforeTheDocumentChanges) {
  for (const char* job : {"execute", "delete"}) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "## Part " + std::to_string(i) + "\n" + kBreak + "\n";
    WriteFileBytes(folder.Path("doc.md"), text);
    std::vector<std::string> calls = Trace(std::string(job) + " --no-settings doc.md");
    int backup = ExpectFlushedAndRenamed(calls, "doc.bak");
    int document = ExpectFlushedAndRenamed(calls, "doc.md");
    EXPECT_GT(document, backup) << job << ": the document changed before its backup was in place";
    EXPECT_EQ(Find(calls, "^openat?\\(.*\"doc\\.md\", .*O_(WRONLY|RDWR)"), -1)
        << job << " opened the document for writing";
  }
}

TEST_F(FlushOrderTest, UndoReplacesTheDocumentTheSameWay) {
  WriteFileBytes(folder.Path("doc.md"), "now\n");
  WriteFileBytes(folder.Path("doc.bak"), "before\n");
  ExpectFlushedAndRenamed(Trace("undo --no-settings doc.md"), "doc.md");
  EXPECT_EQ(ReadFileBytes(folder.Path("doc.md")), "before\n");
}

// Earlier builds made one write for each line of standard input.
TEST_F(FlushOrderTest, StandardInputIsSpooledInBlocks) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  WriteFileBytes(folder.Path("in.md"), text);
  std::vector<std::string> calls = Trace("execute --no-settings -o out.md -", "in.md");
  int writes = 0;
  for (const std::string& call : calls) writes += call.rfind("write(", 0) == 0 ? 1 : 0;
  EXPECT_LT(writes, 20) << "writes for 20000 lines of standard input";
  EXPECT_EQ(ReadFileBytes(folder.Path("out.md")), text);
}

}  // namespace
