// foliostamp-cli as a script runs it: real files, its output and exit code.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

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
    std::string command = "cd '" + folder.root() + "' && TMPDIR='" + folder.root() + "' '" +
                          (tool ? tool : "false") + "' " + arguments + " >out.txt 2>err.txt";
    int status = system(command.c_str());
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadFileBytes(folder.Path("out.txt"));
    outcome.err = ReadFileBytes(folder.Path("err.txt"));
    return outcome;
  }
  TempFolder folder;
};

// Results on standard output; refusals, failures and usage errors on
// standard error, where a pipeline or `2>/dev/null` expects them.
TEST_F(CliTest, ExitCodesAndStreams) {
  WriteFileBytes(folder.Path("a.md"), "x\n" + kBreak + "\ny\n");
  WriteFileBytes(folder.Path("b.txt"), "x\n");
  WriteFileBytes(folder.Path("c.bak"), "restored");
  const char* usage = nullptr;  // exactly one line on standard error
  struct Case {
    const char* arguments;
    int exitCode;
    const char* out;
    const char* err;  // usage: one line
  };
  const Case cases[] = {
      {"execute a.md", 0, "Total 2 pages.\n", ""},
      {"--no-settings delete a.md", 0, "Total 2 pages.\n", ""},
      {"a.md execute", 2, "", usage},
      {"execute b.txt", 1, "", "Error: No .md file.\n"},
      {"execute a.md b.txt", 1, "a.md:\nTotal 2 pages.\n", "b.txt:\nError: No .md file.\n"},
      {"undo c.md", 0, "Done undo.\n", ""},
      {"undo missing.md", 1, "", "There is no .bak file.\n"},
      {"execute --keep-backup a.md", 1, "", "There is .bak file.\n"},
      {"", 2, "", usage},
      {"execute", 2, "", usage},
      {"print a.md", 2, "", usage},
      {"execute --frobnicate a.md", 2, "", usage},
      {"execute -x a.md", 2, "", usage},
      {"execute --position left a.md", 2, "", usage},
      {"execute --format dots a.md", 2, "", usage},
      {"execute a.md --toc-pages", 2, "", usage},
      {"execute --first-page=1 a.md", 2, "", usage},
      {"execute --settings missing.ini a.md", 2, "", usage},
      {"execute --settings . a.md", 2, "", usage},
      {"execute missing.md", 1, "", "Error: The file does not exist.\nmissing.md\n"},
      {"execute --header \"$(printf 'X\\nY')\" a.md", 1, "",
       "Error: Header, colour or font size text has a line break.\n"},
      {"execute -o x.md a.md b.txt", 2, "", usage},
      {"undo -o x.md a.md", 2, "", usage},
      {"check -o x.md a.md", 2, "", usage},
      {"delete --continue a.md", 2, "", usage},
      {"execute --continue -o x.md a.md", 2, "", usage},
      {"execute -", 2, "", usage},
      {"delete - a.md", 2, "", usage},
      {"check - -", 2, "", usage},
      {"undo -", 2, "", usage},
      {"execute --continue=1 a.md", 2, "", usage},
      {"undo --no-backup c.md", 2, "", usage},
      {"check --no-backup a.md", 2, "", usage},
      {"execute --no-backup=1 a.md", 2, "", usage},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.out, c.out) << c.arguments;
    if (c.err == usage) {
      EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << c.arguments << ": " << outcome.err;
      EXPECT_EQ(outcome.err.rfind("foliostamp-cli: ", 0), 0u) << c.arguments << ": " << outcome.err;
    } else {
      EXPECT_EQ(outcome.err, c.err) << c.arguments;
    }
  }
  EXPECT_FALSE(FileExists(folder.Path("Foliostamp.ini"))) << "the tool never writes settings";
}

// Help for the tool and for each command, and the project's version.
TEST_F(CliTest, HelpAndVersion) {
  struct Case {
    const char* arguments;
    const char* opening;  // how standard output begins
  };
  const Case cases[] = {
      {"--help", "Usage: foliostamp-cli execute|delete|undo|check"},
      {"-h", "Usage: foliostamp-cli execute|delete|undo|check"},
      {"execute --help", "Usage: foliostamp-cli execute [options] FILE..."},
      {"execute a.md -h", "Usage: foliostamp-cli execute [options] FILE..."},
      {"delete --help", "Usage: foliostamp-cli delete [options] FILE..."},
      {"undo -h", "Usage: foliostamp-cli undo FILE..."},
      {"check --help", "Usage: foliostamp-cli check [options] FILE..."},
      {"verify --help", "Usage: foliostamp-cli verify"},
      {"--version", "foliostamp-cli " FOLIOSTAMP_VERSION "\n"},
      {"-V", "foliostamp-cli " FOLIOSTAMP_VERSION "\n"},
      {"check -V", "foliostamp-cli " FOLIOSTAMP_VERSION "\n"},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, 0) << c.arguments;
    EXPECT_EQ(outcome.out.rfind(c.opening, 0), 0u) << c.arguments << ": " << outcome.out;
    EXPECT_EQ(outcome.err, "") << c.arguments;
  }
  // The general help names every flag the parser takes.
  const std::string help = Run("--help").out;
  for (const char* flag : {"--settings", "--no-settings", "--toc-pages", "--header", "--skip", "--font-size",
                           "--color", "--position", "--format", "--keep-backup", "--first-page",
                           "--annotate-headings", "--no-backup", "--output", "--continue", "--version"}) {
    EXPECT_NE(help.find(flag), std::string::npos) << flag;
  }
}

// A value the tool cannot take is a usage error naming the flag and what
// it takes; nothing is touched.
TEST_F(CliTest, BadValuesAreRefused) {
  const std::string source = "[TOC]\n" + kBreak + "\ny\n";
  struct Case {
    const char* value;  // after the flag, shell-quoted
    bool taken;
  };
  struct Flag {
    const char* name;
    const char* wanted;  // in the error line
    std::vector<Case> cases;
  };
  const Flag flags[] = {
      {"--toc-pages", "a whole number from 0",
       {{"0", true}, {"3", true}, {"2147483647", true}, {"abc", false}, {"2x", false}, {"' 2'", false},
        {"-1", false}, {"+2", false}, {"''", false}, {"1.5", false}, {"99999999999999999999", false}}},
      {"--skip", "page numbers from 1 to 9999 separated by commas or spaces",
       {{"3", true}, {"'3, 7'", true}, {"'3 7'", true}, {"3,7,7", true}, {"''", true}, {"9999", true},
        {"3-5", false}, {"1-", false}, {"a,b", false}, {"0", false}, {"10000", false}, {"'3;7'", false},
        {"-2", false}, {"99999999999999999999", false}}},
      {"--font-size", "a positive number",
       {{"80", true}, {"72.5", true}, {"0.5", true}, {"abc", false}, {"80%", false}, {"0", false},
        {"0.0", false}, {"''", false}, {"-5", false}, {"5.", false}, {".5", false}, {"1e2", false},
        {"inf", false}, {"' 80'", false}}},
  };
  for (const Flag& flag : flags) {
    for (const Case& c : flag.cases) {
      WriteFileBytes(folder.Path("a.md"), source);
      remove(folder.Path("a.bak").c_str());
      const std::string arguments = std::string("execute --no-settings ") + flag.name + " " + c.value + " a.md";
      Outcome outcome = Run(arguments);
      if (c.taken) {
        EXPECT_EQ(outcome.exitCode, 0) << arguments << ": " << outcome.err;
        EXPECT_EQ(outcome.err, "") << arguments;
        continue;
      }
      EXPECT_EQ(outcome.exitCode, 2) << arguments;
      EXPECT_EQ(outcome.out, "") << arguments;
      EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << arguments << ": " << outcome.err;
      EXPECT_NE(outcome.err.find(std::string(flag.name) + " takes " + flag.wanted), std::string::npos)
          << arguments << ": " << outcome.err;
      EXPECT_EQ(ReadFileBytes(folder.Path("a.md")), source) << arguments;
      EXPECT_FALSE(FileExists(folder.Path("a.bak"))) << arguments;
    }
  }
  // What the accepted values do: the font size as given, the [TOC] count,
  // a skip list with a space.
  struct Effect {
    const char* arguments;
    const char* found;
  };
  const Effect effects[] = {
      {"--font-size 72.5", "font-size: 72.5%;"},
      {"--toc-pages 0", " 2 / 2<"},
      {"--toc-pages 3", " 4 / 4<"},
      {"--skip '1 1'", " 4 / 4<"},
      {"--skip '1, 1'", " 4 / 4<"},
  };
  for (const Effect& e : effects) {
    WriteFileBytes(folder.Path("a.md"), source);
    Outcome outcome = Run(std::string("execute --no-settings -o - ") + e.arguments + " a.md");
    EXPECT_NE(outcome.out.find(e.found), std::string::npos) << e.arguments << ": " << outcome.out;
  }
  // A value is shown on one line whatever bytes it holds.
  Outcome outcome = Run("execute --toc-pages \"$(printf 'a\\nb')\" a.md");
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
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
           "Head&nbsp;&nbsp;&nbsp; ( 2 / 2 )</span></div>\n\ny\n"},
      {"execute --no-settings a.md", "# T\n" + kBreak + "\n\n" + plainHead + " 2 / 2</span></div>\n\ny\n"},
      {"execute --settings other.ini a.md",
       "# T\n" + kBreak + "\n\n" +
           "<div style=\"text-align: right\"><span style=\"font-size: 90%; color:black\">Other&nbsp;&nbsp;&nbsp; 2 / 2</span></div>\n\ny\n"},
      {"execute a.md --no-annotate-headings --format slash --header '' --color 'rgb(1, 2, 3)' "
       "--position center --font-size=70 --first-page",
       "<div style=\"text-align: center\"><span style=\"font-size: 70%; color:rgb(1, 2, 3)\"> 1 / 2</span></div>\n\n"
       "# T\n" + kBreak + "\n\n"
       "<div style=\"text-align: center\"><span style=\"font-size: 70%; color:rgb(1, 2, 3)\"> 2 / 2</span></div>\n\ny\n"},
      {"execute --no-settings --color gray --toc-pages 3 --skip 1 a.md",
       "# T\n" + kBreak + "\n\n" +
           "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:gray\"> 3 / 3</span></div>\n\ny\n"},
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

// Inputs that would overwrite each other's original are refused before
// anything is touched.
TEST_F(CliTest, InputsSharingABackupAreRefused) {
  const std::string text = "x\n" + kBreak + "\ny\n";
  for (const char* name : {"doc.md", "doc.mdx", "doc.txt", "other.md"}) WriteFileBytes(folder.Path(name), text);
  ASSERT_EQ(symlink(folder.Path("other.md").c_str(), folder.Path("link.md").c_str()), 0);
  struct Case {
    const char* arguments;
    const char* named;  // what the line on standard error names
  };
  const Case cases[] = {
      {"execute doc.md doc.mdx", "'doc.md' and 'doc.mdx' would share the backup 'doc.bak'"},
      {"delete doc.mdx other.md doc.md", "'doc.mdx' and 'doc.md' would share"},
      {"execute doc.md ./doc.md", "'doc.md' and './doc.md' are the same file"},
      {"execute other.md link.md", "'other.md' and 'link.md' are the same file"},
      {"undo doc.md doc.txt", "'doc.md' and 'doc.txt' would share"},
  };
  for (const Case& c : cases) {
    const char* arguments = c.arguments;
    Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.exitCode, 2) << arguments;
    EXPECT_EQ(outcome.out, "") << arguments;
    EXPECT_NE(outcome.err.find(c.named), std::string::npos) << arguments << ": " << outcome.err;
    EXPECT_FALSE(FileExists(folder.Path("doc.bak"))) << arguments;
    EXPECT_FALSE(FileExists(folder.Path("other.bak"))) << arguments;
  }
  EXPECT_EQ(ReadFileBytes(folder.Path("doc.md")), text);
  EXPECT_EQ(Run("execute doc.md other.md").exitCode, 0);
  // Without backups, only the same file twice collides.
  Outcome noBackup = Run("execute --no-backup doc.md doc.mdx");
  EXPECT_EQ(noBackup.exitCode, 0) << noBackup.err;
  EXPECT_EQ(noBackup.out, "doc.md:\nTotal 2 pages.\ndoc.mdx:\nTotal 2 pages.\n");
  EXPECT_NE(Run("execute --no-backup doc.md ./doc.md").err.find("are the same file"), std::string::npos);
}

const std::string kNumbered = "x\n" + kBreak + "\n\n" +
                              "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\"> 2 / 2</span></div>\n\n"
                              "y\n";

// A copy instead of a rewrite: the source stays, no backup is made.
TEST_F(CliTest, OutputToAFileOrStandardOutput) {
  const std::string source = "x\n" + kBreak + "\ny\n";
  struct Case {
    const char* arguments;
    int exitCode;
    const char* out;        // standard output, null: the numbered text
    const char* err;
    const char* written;    // the file -o named, null: none
  };
  const Case cases[] = {
      {"execute -o copy.md a.md", 0, "Total 2 pages.\n", "", "copy.md"},
      {"execute --output=copy.md a.md", 0, "Total 2 pages.\n", "", "copy.md"},
      {"execute -o - a.md", 0, nullptr, "Total 2 pages.\n", nullptr},
      {"execute -o - - < a.md", 0, nullptr, "Total 2 pages.\n", nullptr},
      {"execute -o copy.md missing.md", 1, "", "Error: The file does not exist.\nmissing.md\n", nullptr},
      {"execute -o no-folder/copy.md a.md", 1, "", "Error: Writing failed.\nno-folder/copy.md\n", nullptr},
      {"execute -o - missing.md", 1, "", "Error: The file does not exist.\nmissing.md\n", nullptr},
      {"execute -o a.md a.md", 2, "", nullptr, nullptr},
      {"execute -o ./a.md a.md", 2, "", nullptr, nullptr},
      {"execute -o link.md a.md", 2, "", nullptr, nullptr},
  };
  ASSERT_EQ(symlink(folder.Path("a.md").c_str(), folder.Path("link.md").c_str()), 0);
  for (const Case& c : cases) {
    WriteFileBytes(folder.Path("a.md"), source);
    remove(folder.Path("copy.md").c_str());
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments << outcome.err;
    EXPECT_EQ(outcome.out, c.out != nullptr ? c.out : kNumbered) << c.arguments;
    if (c.err != nullptr) {
      EXPECT_EQ(outcome.err, c.err) << c.arguments;
    } else {
      EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << c.arguments;
    }
    if (c.written != nullptr) {
      EXPECT_EQ(ReadFileBytes(folder.Path(c.written)), kNumbered) << c.arguments;
    }
    EXPECT_EQ(ReadFileBytes(folder.Path("a.md")), source) << c.arguments;
    EXPECT_FALSE(FileExists(folder.Path("a.bak"))) << c.arguments;
    EXPECT_FALSE(FileExists(folder.Path("copy.md.foliostamp-new"))) << c.arguments;
  }
  // delete takes out what execute put in, into a copy as well.
  WriteFileBytes(folder.Path("a.md"), kNumbered);
  Outcome removed = Run("delete -o - a.md");
  EXPECT_EQ(removed.out, "x\n" + kBreak + "\n\ny\n");
  EXPECT_EQ(removed.err, "Total 2 pages.\n");
}

// Standard output that a shell sends into the input (">> a.md") would be
// read while it grows, for ever: refused. Output that cannot be written is
// no success, though the job's own file is done.
TEST_F(CliTest, StandardOutputIntoTheInputOrNowhere) {
  const std::string source = "x\n" + kBreak + "\ny\n";
  const char* tool = getenv("FOLIOSTAMP_CLI");
  auto Shell = [&](const std::string& line) {
    std::string command = "cd '" + folder.root() + "' && '" + (tool ? tool : "false") + "' " + line;
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  for (const char* job : {"execute", "delete"}) {
    WriteFileBytes(folder.Path("a.md"), source);
    EXPECT_EQ(Shell(std::string(job) + " --no-settings -o - a.md >>a.md 2>err.txt"), 2) << job;
    EXPECT_EQ(ReadFileBytes(folder.Path("a.md")), source) << job;
    EXPECT_NE(ReadFileBytes(folder.Path("err.txt")).find("is the input file itself"), std::string::npos);
  }
  if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  struct Case {
    const char* arguments;
    bool numbers;  // the document is numbered all the same
  };
  const Case cases[] = {{"--help", false}, {"-V", false}, {"execute --no-settings a.md", true}};
  for (const Case& c : cases) {
    WriteFileBytes(folder.Path("a.md"), source);
    EXPECT_EQ(Shell(std::string(c.arguments) + " >/dev/full 2>err.txt"), 1) << c.arguments;
    EXPECT_EQ(ReadFileBytes(folder.Path("err.txt")), "foliostamp-cli: cannot write to standard output\n")
        << c.arguments;
    EXPECT_EQ(ReadFileBytes(folder.Path("a.md")) != source, c.numbers) << c.arguments;
  }
}

// A full disk while the copy is written leaves no half-written file.
TEST_F(CliTest, FailedOutputLeavesNothingBehind) {
  std::string big;
  for (int i = 0; i < 3000; ++i) big += "line\n" + kBreak + "\n";
  WriteFileBytes(folder.Path("a.md"), big);
  WriteFileBytes(folder.Path("copy.md"), "older copy");
  const std::string limit = std::to_string(big.size() + 1000);
  const char* tool = getenv("FOLIOSTAMP_CLI");
  std::string command = "cd '" + folder.root() + "' && (trap '' XFSZ; exec prlimit --fsize=" + limit + " '" +
                        (tool ? tool : "false") + "' execute -o copy.md a.md) >out.txt 2>err.txt";
  int status = system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(ReadFileBytes(folder.Path("out.txt")), "");
  EXPECT_EQ(ReadFileBytes(folder.Path("err.txt")), "Error: Writing failed.\ncopy.md\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("copy.md")), "older copy");
  EXPECT_FALSE(FileExists(folder.Path("copy.md.foliostamp-new")));
  EXPECT_TRUE(ReadFileBytes(folder.Path("a.md")) == big);
}

TEST_F(CliTest, CheckSaysWhichFilesAreOutOfDate) {
  const std::string stale = "x\n" + kBreak + "\ny\n";
  WriteFileBytes(folder.Path("current.md"), kNumbered);
  WriteFileBytes(folder.Path("stale.md"), stale);
  WriteFileBytes(folder.Path("plain.md"), "no breaks\n");
  WriteFileBytes(folder.Path("empty"), "");
  struct Case {
    const char* arguments;
    int exitCode;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {"check current.md", 0, "", ""},
      {"check current.md plain.md", 0, "", ""},
      {"check stale.md", 1, "stale.md: page numbers are out of date (Total 2 pages.)\n", ""},
      {"check --header Guide current.md", 1, "current.md: page numbers are out of date (Total 2 pages.)\n", ""},
      {"check --first-page plain.md", 1, "plain.md: page numbers are out of date (Total 1 pages.)\n", ""},
      {"check missing.md", 1, "", "missing.md: Error: The file does not exist.\n"},
      {"check notes.txt", 1, "", "notes.txt: Error: No .md file.\n"},
      {"check current.md stale.md missing.md plain.md", 1,
       "stale.md: page numbers are out of date (Total 2 pages.)\n", "missing.md: Error: The file does not exist.\n"},
      // Standard input, named so in what is printed.
      {"check - < current.md", 0, "", ""},
      {"check - < stale.md", 1, "standard input: page numbers are out of date (Total 2 pages.)\n", ""},
      {"check - < empty", 0, "", ""},
      {"check --first-page - < plain.md", 1, "standard input: page numbers are out of date (Total 1 pages.)\n", ""},
      {"check current.md - stale.md < stale.md", 1,
       "standard input: page numbers are out of date (Total 2 pages.)\n"
       "stale.md: page numbers are out of date (Total 2 pages.)\n", ""},
      {"check --continue current.md - < stale.md", 1,
       "current.md: page numbers are out of date (Total 4 pages.)\n"
       "standard input: page numbers are out of date (Total 4 pages.)\n", ""},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.out, c.out) << c.arguments;
    EXPECT_EQ(outcome.err, c.err) << c.arguments;
  }
  // A document bigger than any block, from a pipe that cannot be read twice.
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\n" + kBreak + "\n";
  WriteFileBytes(folder.Path("big.md"), big);
  const char* tool = getenv("FOLIOSTAMP_CLI");
  std::string command = "cd '" + folder.root() + "' && cat big.md | TMPDIR='" + folder.root() + "' '" +
                        (tool ? tool : "false") + "' check - >out.txt 2>err.txt";
  int status = system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(ReadFileBytes(folder.Path("out.txt")),
            "standard input: page numbers are out of date (Total 20001 pages.)\n");
  // check writes nothing, not even a backup, and leaves no scratch copy.
  EXPECT_EQ(ReadFileBytes(folder.Path("stale.md")), stale);
  EXPECT_FALSE(FileExists(folder.Path("stale.bak")));
  EXPECT_FALSE(FileExists(folder.Path("current.bak")));
  EXPECT_EQ(system(("ls '" + folder.root() + "' | grep -q foliostamp-stdin").c_str()) == 0, false)
      << "a scratch copy of standard input was left";
}

std::string Line(int page, int total, const std::string& eol) {
  return "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\"> " +
         std::to_string(page) + " / " + std::to_string(total) + "</span></div>" + eol;
}

// Chapters in files, numbered as one book.
TEST_F(CliTest, BooksInSeveralFiles) {
  struct Case {
    const char* name;
    const char* options;
    std::string inputs[3];
    std::string outputs[3];
  };
  const std::string b = kBreak;
  const Case cases[] = {
      {"three chapters", "",
       {"# One\n" + b + "\nx\n", "# Two\n", "# Three\n" + b + "\ny\n"},
       {"# One\n" + b + "\n\n" + Line(2, 5, "\n") + "\nx\n", Line(3, 5, "\n") + "\n# Two\n",
        Line(4, 5, "\n") + "\n# Three\n" + b + "\n\n" + Line(5, 5, "\n") + "\ny\n"}},
      {"a skipped page at a boundary", "--skip 2",
       {"# One\n" + b + "\nx\n", "# Two\n", "# Three\n"},
       {"# One\n" + b + "\n\n" + Line(2, 5, "\n") + "\nx\n", Line(4, 5, "\n") + "\n# Two\n",
        Line(5, 5, "\n") + "\n# Three\n"}},
      {"old numbers in every file", "",
       {Line(1, 9, "\n") + "# One\n" + b + "\n\n" + Line(2, 9, "\n") + "x\n", Line(7, 9, "\n") + "# Two\n",
        Line(8, 9, "\n") + "# Three\n"},
       {"# One\n" + b + "\n\n" + Line(2, 4, "\n") + "\nx\n", Line(3, 4, "\n") + "\n# Two\n",
        Line(4, 4, "\n") + "\n# Three\n"}},
      {"CR LF and LF files keep their endings", "--first-page",
       {"# One\r\n", "# Two\n" + b + "\nz\n", "# Three\r\n"},
       {Line(1, 4, "\r\n") + "\r\n# One\r\n", Line(2, 4, "\n") + "\n# Two\n" + b + "\n\n" + Line(3, 4, "\n") + "\nz\n",
        Line(4, 4, "\r\n") + "\r\n# Three\r\n"}},
      {"an empty file stays empty and counts", "",
       {"# One\n", "", "# Three\n"}, {"# One\n", "", Line(3, 3, "\n") + "\n# Three\n"}},
  };
  for (const Case& c : cases) {
    const char* names[3] = {"ch1.md", "ch2.md", "ch3.md"};
    for (int i = 0; i < 3; ++i) {
      WriteFileBytes(folder.Path(names[i]), c.inputs[i]);
      remove(folder.Path(std::string(names[i]).substr(0, 3) + ".bak").c_str());
    }
    std::string arguments = std::string("execute --no-settings --continue ") + c.options + " ch1.md ch2.md ch3.md";
    Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.exitCode, 0) << c.name << outcome.err;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(ReadFileBytes(folder.Path(names[i])), c.outputs[i]) << c.name << ", " << names[i];
      EXPECT_EQ(ReadFileBytes(folder.Path(std::string(names[i]).substr(0, 3) + ".bak")), c.inputs[i]) << c.name;
    }
    Outcome check = Run(std::string("check --no-settings --continue ") + c.options + " ch1.md ch2.md ch3.md");
    EXPECT_EQ(check.exitCode, 0) << c.name << ": " << check.out;
    // Delete needs no --continue and leaves no number line.
    EXPECT_EQ(Run("delete --no-settings ch1.md ch2.md ch3.md").exitCode, 0) << c.name;
    for (const char* name : names) {
      EXPECT_EQ(ReadFileBytes(folder.Path(name)).find("text-align"), std::string::npos) << c.name << ", " << name;
    }
  }
}

TEST_F(CliTest, BookWithAFileThatCannotBeReadIsLeftAlone) {
  WriteFileBytes(folder.Path("ch1.md"), "# One\n");
  WriteFileBytes(folder.Path("ch3.md"), "# Three\n");
  Outcome outcome = Run("execute --continue ch1.md ch2.md ch3.md");
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "ch1.md:\nError: Not numbered, because another file of the book was refused.\n"
            "ch2.md:\nError: The file does not exist.\nch2.md\n"
            "ch3.md:\nError: Not numbered, because another file of the book was refused.\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("ch1.md")), "# One\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("ch3.md")), "# Three\n");
  EXPECT_FALSE(FileExists(folder.Path("ch1.bak")));
}

// Writing the second of three chapters fails: it is left as it was, the
// first stays numbered, the third is not touched.
TEST_F(CliTest, BookWithAFailureInTheSecondFile) {
  std::string second;
  for (int i = 0; i < 3000; ++i) second += "line\n" + kBreak + "\n";
  const std::string first = "# One\n" + kBreak + "\nx\n";
  WriteFileBytes(folder.Path("ch1.md"), first);
  WriteFileBytes(folder.Path("ch2.md"), second);
  WriteFileBytes(folder.Path("ch3.md"), "# Three\n");
  const char* tool = getenv("FOLIOSTAMP_CLI");
  std::string command = "cd '" + folder.root() + "' && (trap '' XFSZ; exec prlimit --fsize=" +
                        std::to_string(second.size() + 1000) + " '" + (tool ? tool : "false") +
                        "' execute --no-settings --continue ch1.md ch2.md ch3.md) >out.txt 2>err.txt";
  int status = system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(ReadFileBytes(folder.Path("out.txt")), "ch1.md:\nTotal 3004 pages.\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("err.txt")),
            "ch2.md:\nError: Writing failed; the file was left as it was.\nch2.md\n"
            "ch3.md:\nError: Not numbered, because an earlier file of the book failed.\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("ch1.md")), "# One\n" + kBreak + "\n\n" + Line(2, 3004, "\n") + "\nx\n");
  EXPECT_TRUE(ReadFileBytes(folder.Path("ch2.md")) == second);
  EXPECT_EQ(ReadFileBytes(folder.Path("ch3.md")), "# Three\n");
}

// A docs tree of any size: no limit on the number of files, and the check
// for inputs that collide still finds a pair among thousands.
TEST_F(CliTest, ThousandsOfFiles) {
  const int count = 5000;
  std::string names;
  for (int i = 0; i < count; ++i) {
    const std::string name = "d" + std::to_string(i) + ".md";
    WriteFileBytes(folder.Path(name), "x\n" + kBreak + "\ny\n");
    names += " " + name;
  }
  Outcome check = Run("check --no-settings" + names);
  EXPECT_EQ(check.exitCode, 1) << check.err;
  EXPECT_EQ(check.err, "");
  EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), count);
  const std::string last = "d4999.md: page numbers are out of date (Total 2 pages.)\n";
  EXPECT_EQ(check.out.substr(check.out.size() - std::min(check.out.size(), last.size())), last);

  WriteFileBytes(folder.Path("d4999.mdx"), "x\n");
  Outcome collide = Run("execute --no-settings" + names + " d4999.mdx ./d17.md");
  EXPECT_EQ(collide.exitCode, 2);
  EXPECT_NE(collide.err.find("'d17.md' and './d17.md' are the same file"), std::string::npos) << collide.err;
  collide = Run("execute --no-settings" + names + " d4999.mdx");
  EXPECT_NE(collide.err.find("'d4999.md' and 'd4999.mdx' would share the backup 'd4999.bak'"), std::string::npos)
      << collide.err;
  EXPECT_FALSE(FileExists(folder.Path("d0.bak")));

  Outcome execute = Run("execute --no-settings" + names);
  EXPECT_EQ(execute.exitCode, 0) << execute.err.substr(0, 200);
  EXPECT_EQ(ReadFileBytes(folder.Path("d4999.md")), kNumbered);
  EXPECT_EQ(Run("check --no-settings" + names).exitCode, 0);
  EXPECT_EQ(Run("undo" + names).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(folder.Path("d0.md")), "x\n" + kBreak + "\ny\n");
}

// A settings file written by the window on Windows keeps a text its code
// page holds in that code page, unmarked: here its encoding cannot be told,
// so a text that is not UTF-8 is refused rather than written.
TEST_F(CliTest, SettingsTextsOfUnknownEncoding) {
  const std::string source = "# T\n" + kBreak + "\ny\n";
  // Settings[kColorChoice] (index 12) set to 2, the custom colour, where asked.
  auto Ini = [](const std::string& color, const std::string& header, const std::string& size, bool custom) {
    std::string ini = "20\r\n";
    for (int i = 0; i < 20; ++i) ini += (i == 12 && custom) ? "2\r\n" : "0\r\n";
    return ini + "8\r\n\r\n\r\n\r\n" + color + "\r\n" + header + "\r\n\r\n1\r\n" + size + "\r\n";
  };
  const std::string shiftJis = "\x91\xe6\x88\xea\x8f\xcd";            // 第一章 in Shift_JIS
  const std::string utf8 = "\xe7\xac\xac\xe4\xb8\x80\xe7\xab\xa0";     // 第一章 in UTF-8
  const std::string mark = "\xef\xbb\xbf";
  struct Case {
    const char* name;
    std::string ini;
    const char* arguments;
    int exitCode;
    const char* named;  // in the error line; null: none
  };
  const Case cases[] = {
      {"code-page header", Ini("blue", shiftJis, "80", false), "execute a.md", 2, "the header in 'Foliostamp.ini'"},
      {"code-page header, check", Ini("blue", shiftJis, "80", false), "check a.md", 2, "give --header"},
      {"code-page colour in use", Ini(shiftJis, "", "80", true), "execute a.md", 2, "the colour"},
      {"code-page font size", Ini("blue", "", "8\x82\x4f", false), "execute a.md", 2, "the font size"},
      {"marked but not UTF-8", Ini("blue", mark + shiftJis, "80", false), "execute a.md", 2, "the header"},
      {"named settings file", Ini("blue", shiftJis, "80", false), "execute --settings other.ini a.md", 2,
       "the header in 'other.ini'"},
      {"replaced by the flag", Ini("blue", shiftJis, "80", false), "execute --header H a.md", 0, nullptr},
      {"not read", Ini("blue", shiftJis, "80", false), "execute --no-settings a.md", 0, nullptr},
      {"colour not in use", Ini(shiftJis, "", "80", false), "execute a.md", 0, nullptr},
      {"delete writes no header", Ini("blue", shiftJis, "80", false), "delete a.md", 0, nullptr},
      {"UTF-8 after the mark", Ini("blue", mark + utf8, "80", false), "execute a.md", 0, nullptr},
      {"UTF-8 unmarked", Ini("blue", utf8, "80", false), "execute a.md", 0, nullptr},
  };
  for (const Case& c : cases) {
    WriteFileBytes(folder.Path("a.md"), source);
    remove(folder.Path("a.bak").c_str());
    WriteFileBytes(folder.Path("Foliostamp.ini"), c.ini);
    WriteFileBytes(folder.Path("other.ini"), c.ini);
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.name << ": " << outcome.err;
    if (c.named == nullptr) {
      EXPECT_EQ(outcome.err, "") << c.name;
      EXPECT_EQ(ReadFileBytes(folder.Path("a.md")).find(shiftJis), std::string::npos) << c.name;
      continue;
    }
    EXPECT_NE(outcome.err.find(c.named), std::string::npos) << c.name << ": " << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << c.name;
    EXPECT_EQ(ReadFileBytes(folder.Path("a.md")), source) << c.name;
  }
  WriteFileBytes(folder.Path("a.md"), source);
  WriteFileBytes(folder.Path("Foliostamp.ini"), Ini("blue", mark + utf8, "80", false));
  EXPECT_EQ(Run("execute a.md").exitCode, 0);
  EXPECT_NE(ReadFileBytes(folder.Path("a.md")).find(utf8 + "&nbsp;"), std::string::npos);
}

}  // namespace
