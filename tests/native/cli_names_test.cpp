// Any file name and any document encoding, through the real tool: natively,
// and in the Windows build under Wine on each code page the tests run on.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

#include "test_files.h"
#include "tool_runner.h"

namespace {

void MakeFolder(const std::string& path) {
#ifdef _WIN32
  _mkdir(path.c_str());
#else
  mkdir(path.c_str(), 0700);
#endif
}

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

std::string NumberLine(const std::string& header) {
  return "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\">" + header +
         (header.empty() ? "" : "&nbsp;&nbsp;&nbsp;") + " 2 / 2</span></div>\n";
}

class ToolTextTest : public ::testing::Test {
 protected:
  ToolOutcome Run(const std::vector<std::string>& arguments) {
    const char* tool = getenv("FOLIOSTAMP_CLI");
    EXPECT_NE(tool, nullptr) << "FOLIOSTAMP_CLI names the tool";
    return RunTool(tool != nullptr ? tool : "", folder.root(), arguments);
  }
  TempFolder folder;
};

TEST_F(ToolTextTest, AnyFileNameIsNumberedTakenBackAndRestored) {
  const char* names[] = {
      "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4.md",                          // Korean
      "\xf0\x9f\x98\x80 smile.md",                                        // an emoji
      "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe6\x96\x87.md",  // Japanese
      "\xc3\x9cn\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9.md",                     // accented letters
  };
  const std::string original = "# T\n" + kBreak + "\n\nx\n";
  const std::string numbered = "# T\n" + kBreak + "\n\n" + NumberLine("") + "\nx\n";
  for (const char* name : names) {
    const std::string path = folder.Path(name);
    const std::string stem = std::string(name).substr(0, std::string(name).size() - 3);
    WriteFileBytes(path, original);
    ToolOutcome outcome = Run({"execute", "--no-settings", name});
    EXPECT_EQ(outcome.exitCode, 0) << name << outcome.out << outcome.err;
    EXPECT_EQ(outcome.out, "Total 2 pages.\n") << name;
    EXPECT_EQ(ReadFileBytes(path), numbered) << name;
    EXPECT_EQ(ReadFileBytes(folder.Path(stem + ".bak")), original) << name;

    EXPECT_EQ(Run({"delete", "--no-settings", name}).exitCode, 0) << name;
    EXPECT_EQ(ReadFileBytes(path), original) << name;
    EXPECT_EQ(Run({"undo", name}).out, "Done undo.\n") << name;
    EXPECT_EQ(ReadFileBytes(path), numbered) << name;
  }
  // Several at once: each result under its file's name, in UTF-8.
  ToolOutcome outcome = Run({"check", "--no-settings", "--header", "H", names[0], names[2]});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, std::string(names[0]) + ": page numbers are out of date (Total 2 pages.)\n" + names[2] +
                             ": page numbers are out of date (Total 2 pages.)\n");
  // A name that does not exist is reported as missing, not as busy.
  outcome = Run({"execute", "\xed\x95\x9c.md"});
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "Error: The file does not exist.\n\xed\x95\x9c.md\n");
}

// The header goes into a UTF-8 document as UTF-8 and into any other in the
// system code page, where a character it lacks becomes '?'.
TEST_F(ToolTextTest, HeaderFollowsTheDocument) {
  const std::string header = "\xe7\xac\xac\xe4\xb8\x80\xe7\xab\xa0 \xc3\x9c";  // "第一章 Ü"
  std::string inCodePage = header;                                            // bytes as given
  if (SystemCodePage() == 932) inCodePage = "\x91\xe6\x88\xea\x8f\xcd ?";
  if (SystemCodePage() == 1252) inCodePage = "??? \xdc";
  if (SystemCodePage() != 0 && SystemCodePage() != 932 && SystemCodePage() != 1252) {
    GTEST_SKIP() << "no expectation for code page " << SystemCodePage();
  }
  struct Case {
    const char* name;
    std::string text;  // the document's first line
    std::string written;
  };
  const Case cases[] = {
      {"UTF-8 document", "# \xe6\x97\xa5\xe6\x9c\xac\n", header},
      {"ASCII document", "# Plain\n", header},
      {"UTF-8 with a byte order mark, invalid after it", "\xef\xbb\xbf# \x93\xfa\x96\x7b\n", header},
      {"document in the system code page", "# \x93\xfa\x96\x7b\n", inCodePage},
  };
  for (const Case& c : cases) {
    WriteFileBytes(folder.Path("doc.md"), c.text + kBreak + "\n\nx\n");
    ToolOutcome outcome = Run({"execute", "--no-settings", "--header", header, "doc.md"});
    EXPECT_EQ(outcome.exitCode, 0) << c.name << outcome.err;
    EXPECT_EQ(ReadFileBytes(folder.Path("doc.md")), c.text + kBreak + "\n\n" + NumberLine(c.written) + "\nx\n")
        << c.name;
  }
}

// Windows shells pass "*.md" as it is, so foliostamp-cli.exe expands file
// arguments itself; elsewhere the shell has, and the tool takes names
// literally. Option values are never expanded.
TEST_F(ToolTextTest, WildcardsInFileArguments) {
#ifdef _WIN32
  const bool expands = true;
#else
  const bool expands = false;
#endif
  const std::string stale = "# T\n" + kBreak + "\n\nx\n";
  MakeFolder(folder.Path("sub"));
  for (const char* name : {"b.md", "a.md", "c.mdx", "e.txt", "sub/d.md", "\xe6\x97\xa5.md"}) {
    WriteFileBytes(folder.Path(name), stale);
  }
  auto Stale = [](const std::string& name) { return name + ": page numbers are out of date (Total 2 pages.)\n"; };
  auto Missing = [](const std::string& name) { return name + ": Error: The file does not exist.\n"; };
  const std::string all = Stale("a.md") + Stale("b.md") + Stale("\xe6\x97\xa5.md");
  struct Case {
    std::vector<std::string> arguments;
    std::string out;  // where the tool expands
    std::string err;
    std::string literalErr;  // where it does not (nothing on standard output then)
  };
  const Case cases[] = {
      {{"*.md"}, all, "", Missing("*.md")},
      {{"?.md"}, all, "", Missing("?.md")},
      {{"sub/*.md", "c.md?"}, Stale("sub/d.md") + Stale("c.mdx"), "", Missing("sub/*.md") + Missing("c.md?")},
      {{"*.mdz", "a.md"}, Stale("a.md"), Missing("*.mdz"), Missing("*.mdz")},
      {{"--header", "*", "a.md"}, Stale("a.md"), "", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"check", "--no-settings", "--header", "H"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    ToolOutcome outcome = Run(arguments);
    EXPECT_EQ(outcome.exitCode, 1) << c.arguments[0];
    bool literalOut = !expands && c.literalErr == c.err;
    EXPECT_EQ(outcome.out, expands || literalOut ? c.out : "") << c.arguments[0];
    EXPECT_EQ(outcome.err, expands ? c.err : c.literalErr) << c.arguments[0];
  }
  // A book in the order the names sort, and -o refuses a pattern of several files.
  ToolOutcome book = Run({"execute", "--no-settings", "--continue", "?.md"});
  if (expands) {
    EXPECT_EQ(book.exitCode, 0) << book.err;
    EXPECT_EQ(book.out, "a.md:\nTotal 6 pages.\nb.md:\nTotal 6 pages.\n\xe6\x97\xa5.md:\nTotal 6 pages.\n");
    EXPECT_EQ(Run({"execute", "-o", "out.md", "*.md"}).exitCode, 2);
  } else {
    EXPECT_EQ(book.exitCode, 1);
  }
}

// Inputs that would overwrite each other's original, found by each
// platform's idea of one file: on Windows a name in another case is the
// same file.
TEST_F(ToolTextTest, InputsThatAreOneFileOrShareABackup) {
#ifdef _WIN32
  const bool caseBlind = true;
#else
  const bool caseBlind = false;
#endif
  const std::string text = "x\n" + kBreak + "\ny\n";
  for (const char* name : {"doc.md", "doc.mdx", "\xe6\x97\xa5.md"}) WriteFileBytes(folder.Path(name), text);
  struct Case {
    std::vector<std::string> files;
    const char* named;  // in the refusal; null: not refused
  };
  const Case cases[] = {
      {{"doc.md", "doc.mdx"}, "'doc.md' and 'doc.mdx' would share the backup 'doc.bak'"},
      {{"\xe6\x97\xa5.md", "./\xe6\x97\xa5.md"}, "are the same file"},
      {{"doc.md", "DOC.md"}, caseBlind ? "'doc.md' and 'DOC.md' are the same file" : nullptr},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"execute", "--no-settings"};
    arguments.insert(arguments.end(), c.files.begin(), c.files.end());
    ToolOutcome outcome = Run(arguments);
    if (c.named == nullptr) {
      EXPECT_EQ(outcome.exitCode, 1) << c.files[1] << outcome.err;  // DOC.md does not exist here
      continue;
    }
    EXPECT_EQ(outcome.exitCode, 2) << c.files[1];
    EXPECT_NE(outcome.err.find(c.named), std::string::npos) << c.files[1] << ": " << outcome.err;
    EXPECT_FALSE(FileExists(folder.Path("doc.bak"))) << c.files[1];
  }
}

}  // namespace
