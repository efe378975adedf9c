// foliostamp-cli as a script runs it: real files, its output and exit code.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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
      {"execute missing.md", 1, "Error: The file does not exist.\nmissing.md\n", false},
      {"execute --header \"$(printf 'X\\nY')\" a.md", 1,
       "Error: Header, colour or font size text has a line break.\n", false},
      {"execute -o x.md a.md b.txt", 2, "", true},
      {"undo -o x.md a.md", 2, "", true},
      {"check -o x.md a.md", 2, "", true},
      {"delete --continue a.md", 2, "", true},
      {"execute --continue -o x.md a.md", 2, "", true},
      {"execute -", 2, "", true},
      {"execute --continue=1 a.md", 2, "", true},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    if (c.out != nullptr) {
      EXPECT_EQ(outcome.out, c.out) << c.arguments;
    }
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
      {"execute -o copy.md missing.md", 1, "Error: The file does not exist.\nmissing.md\n", "", nullptr},
      {"execute -o no-folder/copy.md a.md", 1, "Error: Writing failed.\nno-folder/copy.md\n", "", nullptr},
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
  EXPECT_EQ(ReadFileBytes(folder.Path("out.txt")), "Error: Writing failed.\ncopy.md\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("copy.md")), "older copy");
  EXPECT_FALSE(FileExists(folder.Path("copy.md.foliostamp-new")));
  EXPECT_TRUE(ReadFileBytes(folder.Path("a.md")) == big);
}

TEST_F(CliTest, CheckSaysWhichFilesAreOutOfDate) {
  WriteFileBytes(folder.Path("current.md"), kNumbered);
  WriteFileBytes(folder.Path("stale.md"), "x\n" + kBreak + "\ny\n");
  WriteFileBytes(folder.Path("plain.md"), "no breaks\n");
  struct Case {
    const char* arguments;
    int exitCode;
    const char* out;
  };
  const Case cases[] = {
      {"check current.md", 0, ""},
      {"check current.md plain.md", 0, ""},
      {"check stale.md", 1, "stale.md: page numbers are out of date (Total 2 pages.)\n"},
      {"check --header Guide current.md", 1, "current.md: page numbers are out of date (Total 2 pages.)\n"},
      {"check --first-page plain.md", 1, "plain.md: page numbers are out of date (Total 1 pages.)\n"},
      {"check missing.md", 1, "missing.md: Error: The file does not exist.\n"},
      {"check notes.txt", 1, "notes.txt: Error: No .md file.\n"},
      {"check current.md stale.md missing.md plain.md", 1,
       "stale.md: page numbers are out of date (Total 2 pages.)\nmissing.md: Error: The file does not exist.\n"},
      {"check", 2, ""},
  };
  for (const Case& c : cases) {
    Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments;
    EXPECT_EQ(outcome.out, c.out) << c.arguments;
  }
  // check writes nothing, not even a backup.
  EXPECT_EQ(ReadFileBytes(folder.Path("stale.md")), "x\n" + kBreak + "\ny\n");
  EXPECT_FALSE(FileExists(folder.Path("stale.bak")));
  EXPECT_FALSE(FileExists(folder.Path("current.bak")));
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
  EXPECT_EQ(outcome.out,
            "ch1.md:\nError: Not numbered, because another file of the book was refused.\n"
            "ch2.md:\nError: The file does not exist.\nch2.md\n"
            "ch3.md:\nError: Not numbered, because another file of the book was refused.\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("ch1.md")), "# One\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("ch3.md")), "# Three\n");
  EXPECT_FALSE(FileExists(folder.Path("ch1.bak")));
}

// Writing the second of three chapters fails: it is restored from its
// backup, the first stays numbered, the third is not touched.
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
  EXPECT_EQ(ReadFileBytes(folder.Path("out.txt")),
            "ch1.md:\nTotal 3004 pages.\nch2.md:\n"
            "Error: Writing failed; the file was restored from its backup.\nch2.md\nch2.bak\n"
            "ch3.md:\nError: Not numbered, because an earlier file of the book failed.\n");
  EXPECT_EQ(ReadFileBytes(folder.Path("ch1.md")), "# One\n" + kBreak + "\n\n" + Line(2, 3004, "\n") + "\nx\n");
  EXPECT_TRUE(ReadFileBytes(folder.Path("ch2.md")) == second);
  EXPECT_EQ(ReadFileBytes(folder.Path("ch3.md")), "# Three\n");
}

}  // namespace
