// foliostamp-cli as a script runs it: real files, its output and exit code.
#include <stdlib.h>
#include <sys/wait.h>

#include <string>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  // Runs the tool in the temp folder with a shell-quoted argument string.
  Outcome Run(const std::string& arguments) {
    const char* tool = getenv("FOLIOSTAMP_CLI");
    EXPECT_NE(tool, nullptr) << "FOLIOSTAMP_CLI names the tool";
    std::string command = "cd '" + folder.root() + "' && '" + (tool ? tool : "false") + "' " +
                          arguments + " >out.txt 2>err.txt";
    int status = system(command.c_str());
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadFileBytes(folder.Path("out.txt"));
    outcome.err = ReadFileBytes(folder.Path("err.txt"));
    return outcome;
  }
  TempFolder folder;
};

TEST_F(CliTest, ExitCodesAndOutput) {
  WriteFileBytes(folder.Path("a.md"), "x\n" + kBreak + "\ny\n");
  WriteFileBytes(folder.Path("b.txt"), "x\n");
  WriteFileBytes(folder.Path("c.bak"), "restored");
  struct Case {
    const char* arguments;
    int exitCode;
    const char* out;  // null: not checked
    bool errorLine;   // exactly one line on standard error
  };
  const Case cases[] = {
      {"execute a.md", 0, "Total 2 pages.\n", false},
      {"--no-settings delete a.md", 0, "Total 2 pages.\n", false},
      {"a.md execute", 2, "", true},
      {"execute b.txt", 1, "Error: No .md file.\n", false},
      {"execute a.md b.txt", 1, "a.md:\nTotal 2 pages.\nb.txt:\nError: No .md file.\n", false},
      {"undo c.md", 0, "Done undo.\n", false},
      {"undo missing.md", 1, "There is no .bak file.\n", false},
      {"execute --keep-backup a.md", 1, "There is .bak file.\n", false},
      {"--help", 0, nullptr, false},
      {"--version", 0, nullptr, false},
      {"", 2, "", true},
      {"execute", 2, "", true},
      {"print a.md", 2, "", true},
      {"execute --frobnicate a.md", 2, "", true},
      {"execute --position left a.md", 2, "", true},
      {"execute --format dots a.md", 2, "", true},
      {"execute a.md --toc-pages", 2, "", true},
      {"execute --first-page=1 a.md", 2, "", true},
      {"execute --settings missing.ini a.md", 2, "", true},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    if (c.out != nullptr) EXPECT_EQ(outcome.out, c.out) << c.arguments;
    if (c.errorLine) {
      EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << c.arguments << ": " << outcome.err;
    } else {
      EXPECT_EQ(outcome.err, "") << c.arguments;
    }
  }
  EXPECT_FALSE(FileExists(folder.Path("Foliostamp.ini"))) << "the tool never writes settings";
}

TEST_F(CliTest, OptionsOverrideTheSettingsFile) {
  const std::string input = "# T\n" + kBreak + "\ny\n";
  // FormatChoice 1 and AnnotateHeadings 1 in the current directory's file.
  std::string ini = "20\r\n";
  for (int i = 0; i < 20; ++i) ini += (i == 15 || i == 18) ? "1\r\n" : "0\r\n";
  ini += "21\r\n\r\n\r\n\r\nblue\r\nHead\r\n\r\n1\r\n80\r\n";
  WriteFileBytes(folder.Path("Foliostamp.ini"), ini);
  WriteFileBytes(folder.Path("other.ini"), "0\r\n8\r\n\r\n\r\n\r\n\r\nOther\r\n\r\n\r\n90\r\n");
  const std::string plainHead = "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\">";
  struct Case {
    const char* arguments;
    std::string output;
  };
  const Case cases[] = {
      {"execute a.md",
       "# T <span style=\"color: transparent;\"> ...1</span>\n" + kBreak + "\n\n" + plainHead +
           "Head&nbsp;&nbsp;&nbsp; ( 2 / 2 )</span></div>\ny\n"},
      {"execute --no-settings a.md", "# T\n" + kBreak + "\n\n" + plainHead + " 2 / 2</span></div>\ny\n"},
      {"execute --settings other.ini a.md",
       "# T\n" + kBreak + "\n\n" +
           "<div style=\"text-align: right\"><span style=\"font-size: 90%; color:black\">Other&nbsp;&nbsp;&nbsp; 2 / 2</span></div>\ny\n"},
      {"execute a.md --no-annotate-headings --format slash --header '' --color 'rgb(1, 2, 3)' "
       "--position center --font-size=70 --first-page",
       "<div style=\"text-align: center\"><span style=\"font-size: 70%; color:rgb(1, 2, 3)\"> 1 / 2</span></div>\n"
       "# T\n" + kBreak + "\n\n"
       "<div style=\"text-align: center\"><span style=\"font-size: 70%; color:rgb(1, 2, 3)\"> 2 / 2</span></div>\ny\n"},
      {"execute --no-settings --color gray --toc-pages 3 --skip 1 a.md",
       "# T\n" + kBreak + "\n\n" +
           "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:gray\"> 3 / 3</span></div>\ny\n"},
  };
  for (const Case& c : cases) {
    WriteFileBytes(folder.Path("a.md"), input);
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, 0) << c.arguments << outcome.err;
    EXPECT_EQ(ReadFileBytes(folder.Path("a.md")), c.output) << c.arguments;
  }
  EXPECT_EQ(ReadFileBytes(folder.Path("Foliostamp.ini")), ini);
}

TEST_F(CliTest, FilesThatLookLikeOptionsAfterDoubleDash) {
  WriteFileBytes(folder.Path("-x.md"), "x\n");
  Outcome outcome = Run("execute --no-settings -- -x.md");
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "Total 1 pages.\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("-x.bak")), "x\n");
}

}  // namespace
