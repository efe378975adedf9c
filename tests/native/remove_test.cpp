// Taking page numbers out again, against real files.
#include <string>

#include <gtest/gtest.h>

#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";
const std::string kAnnotation = " <span style=\"color: transparent;\">";

std::string NumberLine(int page, int total, const std::string& eol) {
  return "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\"> " +
         std::to_string(page) + " / " + std::to_string(total) + "</span></div>" + eol;
}

class RemoveTest : public ::testing::Test {
 protected:
  std::string Run(const std::string& input, JobSettings settings = {}) {
    settings.markdownPath = md;
    WriteFileBytes(md, input);
    std::string result = RunJob(Job::Remove, settings);
    EXPECT_EQ(ReadFileBytes(folder.Path("doc.bak")), input) << "backup";
    return result;
  }
  std::string Output() const { return ReadFileBytes(md); }

  TempFolder folder;
  std::string md = folder.Path("doc.md");
};

TEST_F(RemoveTest, FirstWorkedExampleUndoesTheInsertion) {
  const std::string numbered =
      "# Title" + kAnnotation + " ...1</span>\r\n[TOC]\r\n" + kBreak + "\r\n\r\n" +
      NumberLine(2, 3, "\r\n") + "# Chapter 1\r\nText.\r\n## Section 1.1" + kAnnotation +
      " ...2</span>\r\n" + kBreak + "\r\n\r\n" + NumberLine(3, 3, "\r\n") + "## Section 1.2\r\n";
  ASSERT_EQ(numbered.size(), 444u);
  EXPECT_EQ(Run(numbered), "Total 3 pages.");
  const std::string expected = "# Title\r\n[TOC]\r\n" + kBreak + "\r\n\r\n# Chapter 1\r\nText.\r\n## Section 1.1\r\n" +
                               kBreak + "\r\n\r\n## Section 1.2\r\n";
  EXPECT_EQ(expected.size(), 162u);
  EXPECT_EQ(Output(), expected);
}

TEST_F(RemoveTest, SecondWorkedExampleLineByLine) {
  const std::string input =
      NumberLine(1, 3, "\r\n") + "# Intro" + kAnnotation + " ...1</span>\r\nText.\r\n" + kBreak +
      "\r\n\r\n" + NumberLine(2, 3, "\r\n") + "## Part A" + kAnnotation + " ...2</span>\r\n[TOC]\r\n" +
      kBreak + "\r\n" + NumberLine(3, 3, "\r\n") + "  ### Note" + kAnnotation + " ...3</span>\r\n#tag" +
      kAnnotation + "x</span>\r\n" + NumberLine(9, 9, "\r\n");
  EXPECT_EQ(Run(input), "Total 3 pages.");
  EXPECT_EQ(Output(), "# Intro\r\nText.\r\n" + kBreak + "\r\n\r\n## Part A\r\n[TOC]\r\n" + kBreak +
                          "\r\n\r\n  ### Note\r\n#tag" + kAnnotation + "x</span>\r\n" +
                          NumberLine(9, 9, "\r\n"));
}

TEST_F(RemoveTest, EdgeCases) {
  const std::string old = NumberLine(5, 5, "\n");
  const std::string annotated = "# H" + kAnnotation + " ...2</span>\n";
  struct Case {
    const char* name;
    std::string input;
    std::string output;
    int total;
  };
  const Case cases[] = {
      {"empty file", "", "", 1},
      {"plain file gets a blank line after each break", "a\n" + kBreak + "\nb\n" + kBreak + "\n\nc\n",
       "a\n" + kBreak + "\n\nb\n" + kBreak + "\n\nc\n", 3},
      {"two old first lines: only the first goes", old + old + "x\n", old + "x\n", 1},
      {"break, blank, old", kBreak + "\n\n" + old + "x\n", kBreak + "\n\nx\n", 2},
      {"break, old", kBreak + "\n" + old, kBreak + "\n\n", 2},
      {"break, two blanks, old: all stay", kBreak + "\n\n\n" + old, kBreak + "\n\n\n" + old, 2},
      {"break on the last line", "x\n" + kBreak, "x\n" + kBreak, 2},
      {"break, blank line that ends the file", kBreak + "\n\n", kBreak + "\n\n", 2},
      {"annotated heading right after a break loses it", kBreak + "\n" + annotated,
       kBreak + "\n\n# H\n", 2},
      {"annotated heading after a break and its blank line loses it", kBreak + "\n\n" + old + annotated,
       kBreak + "\n\n# H\n", 2},
      {"two breaks then text: each gets its blank line", kBreak + "\n" + kBreak + "\ntext\n",
       kBreak + "\n\n" + kBreak + "\n\ntext\n", 3},
      {"number lines after two breaks in a row both go",
       kBreak + "\n\n" + old + kBreak + "\n\n" + old + "x\n", kBreak + "\n\n" + kBreak + "\n\nx\n", 3},
      {"old line elsewhere stays", "a\n" + old, "a\n" + old, 1},
      {"old line with a trailing space is no old line", old.substr(0, old.size() - 1) + " \nx\n",
       old.substr(0, old.size() - 1) + " \nx\n", 1},
      {"heading forms", "  ## A" + kAnnotation + "1</span>\n\t# B" + kAnnotation + "\n# C  \n",
       "  ## A\n\t# B" + kAnnotation + "\n# C  \n", 1},
      {"cut before the first of two annotations", "# A" + kAnnotation + "x" + kAnnotation + "\n", "# A\n", 1},
      {"annotated heading on the last line gets a line end", "a\n# Z" + kAnnotation + "9</span>",
       "a\n# Z\n", 1},
      {"cut headings take the first line's end (CR LF)", "a\r\n# A" + kAnnotation + "\n# B\n",
       "a\r\n# A\r\n# B\n", 1},
      {"cut headings take the first line's end (LF)", "a\n# A" + kAnnotation + "\r\n", "a\n# A\n", 1},
      {"toc counts but is copied", "[TOC]\n", "[TOC]\n", 3},
  };
  for (const Case& c : cases) {
    JobSettings settings;
    settings.tocPageCount = "3";
    EXPECT_EQ(Run(c.input, settings), "Total " + std::to_string(c.total) + " pages.") << c.name;
    EXPECT_EQ(Output(), c.output) << c.name;
  }
}

TEST_F(RemoveTest, LongLinesAreOneLineEach) {
  const std::string longText(250000, 'w');
  const std::string longHeading = "# " + longText + kAnnotation + "1</span>\n";
  const std::string longOld = "<div style=\"text-align:" + longText + "</span></div>\n";
  const std::string plainLongHeading = "# " + longText + "\r\n";
  EXPECT_EQ(Run(longOld + longHeading + kBreak + longText + "\n" + longOld + plainLongHeading),
            "Total 2 pages.");
  // An annotation comes off a heading of any length; a long heading
  // without one keeps its own line end.
  EXPECT_TRUE(Output() == longOld + "# " + longText + "\n" + kBreak + longText + "\n\n" + longOld +
                              plainLongHeading);
}

}  // namespace
