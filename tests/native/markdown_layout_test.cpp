// How the numbered document reads to a Markdown renderer: the blank line
// after a number line, fenced code, a byte order mark, front matter, and a
// heading's closing marks and attribute block. Each case runs Execute, a
// second Execute (which must change nothing), Delete on Execute's output
// (which must give what Delete gives on the original) and check.
#include <string>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";
const std::string kBom = "\xEF\xBB\xBF";

std::string Line(int page, int total, const std::string& eol = "\n") {
  return "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\"> " +
         std::to_string(page) + " / " + std::to_string(total) + "</span></div>" + eol;
}

std::string Note(int page) {
  return " <span style=\"color: transparent;\"> ..." + std::to_string(page) + "</span>";
}

class LayoutTest : public ::testing::Test {
 protected:
  JobResult Execute(const std::string& input, JobSettings settings, Job job = Job::Insert) {
    settings.markdownPath = md;
    WriteFileBytes(md, input);
    return RunJobFull(job, settings);
  }
  std::string Output() const { return ReadFileBytes(md); }

  TempFolder folder;
  std::string md = folder.Path("doc.md");
};

struct Case {
  const char* name;
  std::string input;
  std::string output;
  int total;
  int firstPage;
  const char* tocPages;
};

// A writer's own line that looks like a number line but for its numbers.
const std::string kOwnLine =
    "<div style=\"text-align: center\"><span style=\"font-size: 150%\">Book One</span></div>";

TEST_F(LayoutTest, WhatExecuteWrites) {
  const std::string old = Line(7, 9);
  const std::string fence = "```sh\n# Set the colors." + Note(3) + "\n" + kBreak + "\n[TOC]\n```\n";
  const std::string fenceClean = "```sh\n# Set the colors.\n" + kBreak + "\n[TOC]\n```\n";
  const Case cases[] = {
      // The line after a number line is Markdown again only after a blank line.
      {"heading after a break", "# A\n" + kBreak + "\n## B\n",
       "# A" + Note(1) + "\n" + kBreak + "\n\n" + Line(2, 2) + "\n## B" + Note(2) + "\n", 2, 0, "1"},
      {"nothing follows: no blank line", kBreak + "\n\n", kBreak + "\n\n" + Line(2, 2), 2, 0, "1"},
      {"first page", "# A\n", Line(1, 1) + "\n# A" + Note(1) + "\n", 1, 1, "1"},
      {"first page, old line and its blank dropped", old + "\n# A\n", Line(1, 1) + "\n# A" + Note(1) + "\n",
       1, 1, "1"},
      {"old line and its blank dropped after a break", kBreak + "\n\n" + old + "\n\nx\n",
       kBreak + "\n\n" + Line(2, 2) + "\n\nx\n", 2, 0, "1"},
      {"a line of spaces after an old line stays", kBreak + "\n\n" + old + "  \nx\n",
       kBreak + "\n\n" + Line(2, 2) + "\n  \nx\n", 2, 0, "1"},
      {"a writer's own line after a break stays", kBreak + "\n\n" + kOwnLine + "\n\nx\n",
       kBreak + "\n\n" + Line(2, 2) + "\n" + kOwnLine + "\n\nx\n", 2, 0, "1"},
      {"a writer's own first line stays, first page on", kOwnLine + "\n\n# A\n",
       Line(1, 1) + "\n" + kOwnLine + "\n\n# A" + Note(1) + "\n", 1, 1, "1"},
      {"CR LF document", "a\r\n" + kBreak + "\r\nb\r\n",
       "a\r\n" + kBreak + "\r\n\r\n" + Line(2, 2, "\r\n") + "\r\nb\r\n", 2, 0, "1"},
      // Fenced code counts for nothing and gets nothing; an old annotation goes.
      {"fenced code", "x\n" + fence + kBreak + "\ny\n",
       "x\n" + fenceClean + kBreak + "\n\n" + Line(2, 2) + "\ny\n", 2, 0, "3"},
      {"tildes, longer closing fence, indented", "  ~~~~\n# a\n~~~\n ~~~~~ \t\n# b\n",
       "  ~~~~\n# a\n~~~\n ~~~~~ \t\n# b" + Note(1) + "\n", 1, 0, "1"},
      {"backticks in the info string open no fence", "``` a`b\n# h\n",
       "``` a`b\n# h" + Note(1) + "\n", 1, 0, "1"},
      {"four spaces open no fence", "    ```\n# h\n", "    ```\n# h" + Note(1) + "\n", 1, 0, "1"},
      {"a closing fence needs as many marks", "````\n```\n# h\n", "````\n```\n# h\n", 1, 0, "1"},
      {"unclosed fence runs to the end", "```\n" + kBreak + "\n# h\n", "```\n" + kBreak + "\n# h\n", 1, 0, "1"},
      {"fence right after a break", kBreak + "\n```\n" + kBreak + "\n```\n",
       kBreak + "\n\n" + Line(2, 2) + "\n```\n" + kBreak + "\n```\n", 2, 0, "1"},
      // A fence may open on a list item's marker line; it closes inside the
      // item, or ends at the first line indented less than the item's text.
      {"fence on a list item's line", "- ```sh\n  make\n  ```\n\n" + kBreak + "\n\n# Two\n",
       "- ```sh\n  make\n  ```\n\n" + kBreak + "\n\n" + Line(2, 2) + "\n# Two" + Note(2) + "\n", 2, 0, "1"},
      {"nested and ordered markers", "- 1. ```\n     # x\n     ```\n# H\n",
       "- 1. ```\n     # x\n     ```\n# H" + Note(1) + "\n", 1, 0, "1"},
      {"a closing fence up to three spaces past the item's text",
       "   + ```\n     # x\n        ```\n# H\n", "   + ```\n     # x\n        ```\n# H" + Note(1) + "\n",
       1, 0, "1"},
      {"four spaces past it close nothing", "- ```\n      ```\n  # x\n  ```\n# H\n",
       "- ```\n      ```\n  # x\n  ```\n# H" + Note(1) + "\n", 1, 0, "1"},
      {"a line left of the item's text ends it and is read", "- ```\n  # x\n# H\n",
       "- ```\n  # x\n# H" + Note(1) + "\n", 1, 0, "1"},
      {"and may open a fence of its own", "- ```\n  x\n```\n# H\n```\n", "- ```\n  x\n```\n# H\n```\n", 1,
       0, "1"},
      {"a page break left of it counts", "- ```\n  x\n" + kBreak + "\n# H\n",
       "- ```\n  x\n" + kBreak + "\n\n" + Line(2, 2) + "\n# H" + Note(2) + "\n", 2, 0, "1"},
      {"blank lines and a tab's columns stay in it", "- ```\n  a\n\n\t# b\n  ```\n# H\n",
       "- ```\n  a\n\n\t# b\n  ```\n# H" + Note(1) + "\n", 1, 0, "1"},
      {"other markers, tildes", "* ~~~\n  # y\n  ~~~\n10) ```\n    # z\n    ```\n# H\n",
       "* ~~~\n  # y\n  ~~~\n10) ```\n    # z\n    ```\n# H" + Note(1) + "\n", 1, 0, "1"},
      {"five spaces after a marker open no fence", "-     ```\n# H\n", "-     ```\n# H" + Note(1) + "\n", 1, 0,
       "1"},
      {"ten digits make no marker", "1234567890. ```\n# H\n", "1234567890. ```\n# H" + Note(1) + "\n", 1, 0,
       "1"},
      {"backticks in the info string after a marker", "- ``` a`b\n# H\n", "- ``` a`b\n# H" + Note(1) + "\n",
       1, 0, "1"},
      // A byte order mark stays first; the first line is read after it.
      {"mark, toc on the first line", kBom + "[TOC]\n" + kBreak + "\nx\n",
       kBom + "[TOC]\n" + kBreak + "\n\n" + Line(4, 4) + "\nx\n", 4, 0, "3"},
      {"mark, heading on the first line", kBom + "# T\n", kBom + "# T" + Note(1) + "\n", 1, 0, "1"},
      {"mark, first page", kBom + "# T\n", kBom + Line(1, 1) + "\n# T" + Note(1) + "\n", 1, 1, "1"},
      {"mark, old first line dropped", kBom + old + "\n# T\n", kBom + "# T" + Note(1) + "\n", 1, 0, "1"},
      {"mark, fence on the first line", kBom + "```\n# T\n```\n", kBom + "```\n# T\n```\n", 1, 0, "1"},
      {"mark alone", kBom, kBom, 1, 1, "1"},
      // Front matter is the document's metadata: copied, counted for nothing.
      {"front matter, first page", "---\ntitle: A\n# no heading" + Note(5) + "\n" + kBreak + "\n...\n# A\n",
       "---\ntitle: A\n# no heading" + Note(5) + "\n" + kBreak + "\n...\n" + Line(1, 1) + "\n# A" + Note(1) + "\n",
       1, 1, "1"},
      {"the first closing line ends it", "---\na\n---\n---\n# A\n",
       "---\na\n---\n" + Line(1, 1) + "\n---\n# A" + Note(1) + "\n", 1, 1, "1"},
      {"old number line after front matter dropped", "---\na\n---\n" + old + "\n# A\n",
       "---\na\n---\n# A" + Note(1) + "\n", 1, 0, "1"},
      {"closing line without line end", "---\na\n---", "---\na\n---\n" + Line(1, 1), 1, 1, "1"},
      {"unclosed: no front matter", "---\n" + kBreak + "\n# A\n",
       Line(1, 2) + "\n---\n" + kBreak + "\n\n" + Line(2, 2) + "\n# A" + Note(2) + "\n", 2, 1, "1"},
      {"only at the top", "x\n---\na\n---\n", "x\n---\na\n---\n", 1, 0, "1"},
      {"old first-page line above front matter goes", Line(1, 2) + "\n---\n# draft: true\n---\n# G\n",
       "---\n# draft: true\n---\n# G" + Note(1) + "\n", 1, 0, "1"},
      {"old first-page line above front matter moves below it", Line(1, 2) + "\n---\n```\n---\n# G\n",
       "---\n```\n---\n" + Line(1, 1) + "\n# G" + Note(1) + "\n", 1, 1, "1"},
      {"front matter after a mark", kBom + "---\na\n---\nx\n", kBom + "---\na\n---\n" + Line(1, 1) + "\nx\n",
       1, 1, "1"},
      {"not exactly ---", "--- \na\n---\nx\n", Line(1, 1) + "\n--- \na\n---\nx\n", 1, 1, "1"},
      // The annotation goes before what renderers read at a heading's end.
      {"attribute block", "## Basics {#basics}\n", "## Basics" + Note(1) + " {#basics}\n", 1, 0, "1"},
      {"closing marks", "# Title #\n", "# Title" + Note(1) + " #\n", 1, 0, "1"},
      {"both", "## A ## {#a}\n", "## A" + Note(1) + " ## {#a}\n", 1, 0, "1"},
      {"only the last space moves", "## A   ##  {.x}  \n", "## A  " + Note(1) + " ##  {.x}  \n", 1, 0, "1"},
      {"tabs do not count", "# A\t#\n# B\t{#b}\n", "# A\t#" + Note(1) + "\n# B\t{#b}" + Note(1) + "\n", 1, 0, "1"},
      {"braces inside are no block", "# A {a{b}\n# C#\n", "# A {a{b}" + Note(1) + "\n# C#" + Note(1) + "\n",
       1, 0, "1"},
      {"heading of closing marks only", "# #\n", "#" + Note(1) + " #\n", 1, 0, "1"},
      {"what holds an annotation is no tail",
       "# A" + Note(1) + " { <span style=\"color: transparent;\">}\n", "# A" + Note(1) + "\n", 1, 0, "1"},
      {"a long heading's kept text takes the annotation before its marks",
       "# A ##" + Note(9) + std::string(300000, 'z') + "\n", "# A" + Note(1) + " ##\n", 1, 0, "1"},
      {"annotation written by earlier builds moves", "## Basics {#basics}" + Note(4) + "\n",
       "## Basics" + Note(1) + " {#basics}\n", 1, 0, "1"},
  };
  for (const Case& c : cases) {
    JobSettings settings;
    settings.annotateHeadings = 1;
    settings.numberFirstPage = c.firstPage;
    settings.tocPageCount = c.tocPages;
    JobResult first = Execute(c.input, settings);
    EXPECT_EQ(first.text, "Total " + std::to_string(c.total) + " pages.") << c.name;
    EXPECT_EQ(first.lastPage, first.pageTotal) << c.name;
    EXPECT_EQ(Output(), c.output) << c.name;
    settings.markdownPath = md;
    EXPECT_FALSE(RunJobFull(Job::Check, settings).differs) << c.name;
    Execute(c.output, settings);
    EXPECT_EQ(Output(), c.output) << c.name << ": a second Execute changed it";

    Execute(c.input, settings, Job::Remove);
    const std::string removedOriginal = Output();
    Execute(c.output, settings, Job::Remove);
    EXPECT_EQ(Output(), removedOriginal + (c.name == std::string("closing line without line end") ? "\n" : ""))
        << c.name << ": Delete after Execute";
  }
}

// Delete takes out what Execute wrote, the blank line after a number line
// included, and keeps a heading's tail.
TEST_F(LayoutTest, WhatDeleteLeaves) {
  const Case cases[] = {
      {"number lines and their blank lines", Line(1, 2) + "\n# A\n" + kBreak + "\n\n" + Line(2, 2) + "\nx\n",
       "# A\n" + kBreak + "\n\nx\n", 2, 0, "1"},
      {"an old line without a blank after it", kBreak + "\n\n" + Line(2, 2) + "x\n", kBreak + "\n\nx\n", 2, 0,
       "1"},
      {"a writer's own lines stay", kOwnLine + "\n\nx\n" + kBreak + "\n\n" + kOwnLine + "\n\ny\n",
       kOwnLine + "\n\nx\n" + kBreak + "\n\n" + kOwnLine + "\n\ny\n", 2, 0, "1"},
      {"only one blank line goes", kBreak + "\n\n" + Line(2, 2) + "\n\nx\n", kBreak + "\n\n\nx\n", 2, 0, "1"},
      {"tails stay", "## A" + Note(1) + " ## {#a}\n# B" + Note(1) + " trailing\n", "## A ## {#a}\n# B\n", 1, 0,
       "1"},
      {"annotations in code go, nothing else there", "```\n# x" + Note(1) + "\n" + Line(1, 1) + "```\n",
       "```\n# x\n" + Line(1, 1) + "```\n", 1, 0, "1"},
      {"front matter stays as it is", "---\n# x" + Note(1) + "\n---\n" + Line(1, 1) + "\n# A" + Note(1) + "\n",
       "---\n# x" + Note(1) + "\n---\n# A\n", 1, 0, "1"},
  };
  for (const Case& c : cases) {
    JobResult result = Execute(c.input, JobSettings{}, Job::Remove);
    EXPECT_EQ(result.text, "Total " + std::to_string(c.total) + " pages.") << c.name;
    EXPECT_EQ(Output(), c.output) << c.name;
  }
}

}  // namespace
