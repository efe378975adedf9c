// Adding page numbers, against real files.
#include <string>

#include <gtest/gtest.h>

#include "paging/file_ops.h"
#include "paging/line_rules.h"
#include "test_files.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

std::string NumberLine(int page, int total, const std::string& eol = "\n") {
  return "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\"> " +
         std::to_string(page) + " / " + std::to_string(total) + "</span></div>" + eol;
}

// A number line with the blank line that follows it when more text does.
std::string Page(int page, int total, const std::string& eol = "\n") {
  return NumberLine(page, total, eol) + eol;
}

std::string Annotation(int page) {
  return " <span style=\"color: transparent;\"> ..." + std::to_string(page) + "</span>";
}

class InsertTest : public ::testing::Test {
 protected:
  // Writes input as the document, runs the job and checks the backup.
  std::string Run(const std::string& input, JobSettings settings = {}) {
    settings.markdownPath = md;
    WriteFileBytes(md, input);
    std::string result = RunJob(Job::Insert, settings);
    if (result.rfind("Total ", 0) == 0) {
      EXPECT_EQ(ReadFileBytes(bak), input) << "backup";
    }
    return result;
  }
  std::string Output() const { return ReadFileBytes(md); }

  TempFolder folder;
  std::string md = folder.Path("doc.md");
  std::string bak = folder.Path("doc.bak");
};

TEST_F(InsertTest, FirstWorkedExampleSettlesInOneRun) {
  const std::string input =
      "# Title\r\n[TOC]\r\n" + kBreak + "\r\n\r\n# Chapter 1\r\nText.\r\n## Section 1.1\r\n" +
      kBreak + "\r\n## Section 1.2\r\n";
  // What earlier builds wrote on the first run: the headings right after
  // the number lines were left for a second run to annotate.
  const std::string earlier =
      "# Title" + Annotation(1) + "\r\n[TOC]\r\n" + kBreak + "\r\n\r\n" + NumberLine(2, 3, "\r\n") +
      "# Chapter 1\r\nText.\r\n## Section 1.1" + Annotation(2) + "\r\n" + kBreak + "\r\n\r\n" +
      NumberLine(3, 3, "\r\n") + "## Section 1.2\r\n";
  const std::string settled =
      "# Title" + Annotation(1) + "\r\n[TOC]\r\n" + kBreak + "\r\n\r\n" + Page(2, 3, "\r\n") +
      "# Chapter 1" + Annotation(2) + "\r\nText.\r\n## Section 1.1" + Annotation(2) + "\r\n" +
      kBreak + "\r\n\r\n" + Page(3, 3, "\r\n") + "## Section 1.2" + Annotation(3) + "\r\n";
  ASSERT_EQ(input.size(), 160u);
  ASSERT_EQ(earlier.size(), 444u);
  JobSettings settings;
  settings.annotateHeadings = 1;

  EXPECT_EQ(Run(input, settings), "Total 3 pages.");
  EXPECT_EQ(Output(), settled);
  EXPECT_EQ(Run(settled, settings), "Total 3 pages.");
  EXPECT_EQ(Output(), settled);
  EXPECT_EQ(Run(earlier, settings), "Total 3 pages.");
  EXPECT_EQ(Output(), settled);
}

TEST_F(InsertTest, SecondWorkedExampleWithEveryOptionChanged) {
  JobSettings settings;
  settings.tocPageCount = "2";
  settings.numberFirstPage = 1;
  settings.positionChoice = 1;
  settings.colorChoice = 2;
  settings.headerText = "Guide";
  settings.formatChoice = 1;
  const std::string head =
      "<div style=\"text-align: center\"><span style=\"font-size: 80%; color:blue\">"
      "Guide&nbsp;&nbsp;&nbsp;";
  EXPECT_EQ(Run("# Guide\n[TOC]\n" + kBreak + "\nBody.\n", settings), "Total 3 pages.");
  EXPECT_EQ(Output(), head + " ( 1 / 3 )</span></div>\n\n# Guide\n[TOC]\n" + kBreak + "\n\n" + head +
                          " ( 3 / 3 )</span></div>\n\nBody.\n");
}

TEST_F(InsertTest, SkippedNumbersInBothPasses) {
  struct Case {
    const char* skip;
    int numbers[3];
    int total;
  };
  const Case cases[] = {
      {"", {2, 3, 4}, 4},     {"3", {2, 3, 5}, 5},       {"3,3", {2, 3, 6}, 6},
      {"3,4", {2, 3, 5}, 5},  {"1", {3, 4, 5}, 5},       {"9", {2, 3, 4}, 4},
      {"1,1,5", {4, 5, 7}, 7}, {"4", {2, 3, 4}, 4},
      {"3,x,2", {2, 4, 5}, 5}, {"3;2", {2, 3, 5}, 5},    {"4294967299", {2, 3, 4}, 4},
  };
  for (const Case& c : cases) {
    JobSettings settings;
    settings.skipPages = c.skip;
    std::string input = "a\n" + kBreak + "\nb\n" + kBreak + "\nc\n" + kBreak + "\nd\n";
    EXPECT_EQ(Run(input, settings), "Total " + std::to_string(c.total) + " pages.") << c.skip;
    std::string expected = "a\n";
    const char* texts[] = {"b\n", "c\n", "d\n"};
    for (int i = 0; i < 3; ++i) {
      expected += kBreak + "\n\n" + Page(c.numbers[i], c.total) + texts[i];
    }
    EXPECT_EQ(Output(), expected) << c.skip;
  }
}

TEST_F(InsertTest, EdgeCases) {
  const std::string old = NumberLine(9, 9);
  struct Case {
    const char* name;
    std::string input;
    std::string output;
    int total;
    int annotate;
    int firstPage;
    const char* tocPages;
  };
  const Case cases[] = {
      {"empty file", "", "", 1, 0, 0, "1"},
      {"empty file, first page on", "", "", 1, 0, 1, "1"},
      {"no breaks", "a\r\nb", "a\r\nb", 1, 0, 0, "1"},
      {"break on the last line", "x\n" + kBreak, "x\n" + kBreak, 2, 0, 0, "1"},
      {"break, empty line, end", kBreak + "\n\n", kBreak + "\n\n" + NumberLine(2, 2), 2, 0, 0, "1"},
      {"break, empty line without LF, end", kBreak + "\n\rabc", kBreak + "\n\rabc\n" + NumberLine(2, 2), 2, 0, 0, "1"},
      {"break, lone CR, end", kBreak + "\r\n\r", kBreak + "\r\n\r\r\n" + NumberLine(2, 2, "\r\n"), 2, 0, 0, "1"},
      {"two breaks in a row: a blank page numbered too", kBreak + "\n" + kBreak + "\ntext\n",
       kBreak + "\n\n" + Page(2, 3) + kBreak + "\n\n" + Page(3, 3) + "text\n", 3, 0, 0, "1"},
      {"two breaks and their old number lines", kBreak + "\n\n" + old + kBreak + "\n\n" + old + "text\n",
       kBreak + "\n\n" + Page(2, 3) + kBreak + "\n\n" + Page(3, 3) + "text\n", 3, 0, 0, "1"},
      {"toc right after a break counts", kBreak + "\n[TOC]\n" + kBreak + "\nx\n",
       kBreak + "\n\n" + Page(2, 5) + "[TOC]\n" + kBreak + "\n\n" + Page(5, 5) + "x\n", 5, 0,
       0, "3"},
      {"heading right after a break is annotated", kBreak + "\n# H\n",
       kBreak + "\n\n" + Page(2, 2) + "# H" + Annotation(2) + "\n", 2, 1, 0, "1"},
      {"toc counts several pages", "[TOC] contents\n" + kBreak + "\nx\n",
       "[TOC] contents\n" + kBreak + "\n\n" + Page(4, 4) + "x\n", 4, 0, 0, "3"},
      {"markers only at the first byte", " [TOC]\n[toc]\n " + kBreak + "\n",
       " [TOC]\n[toc]\n " + kBreak + "\n", 1, 0, 0, "3"},
      {"semicolon variant of the break", "<div style=\"page-break-after:always;\"></div>\nx\n",
       "<div style=\"page-break-after:always;\"></div>\n\n" + Page(2, 2) + "x\n", 2, 0, 0, "1"},
      {"old line after a break is replaced", kBreak + "\n\n" + old + "# H\n",
       kBreak + "\n\n" + Page(2, 2) + "# H" + Annotation(2) + "\n", 2, 1, 0, "1"},
      {"old line directly after a break", kBreak + "\n" + old + "x\n",
       kBreak + "\n\n" + Page(2, 2) + "x\n", 2, 0, 0, "1"},
      {"old line after two empty lines stays", kBreak + "\n\n\n" + old,
       kBreak + "\n\n" + Page(2, 2) + "\n" + old, 2, 0, 0, "1"},
      {"old first line dropped", old + "x\n", "x\n", 1, 0, 0, "1"},
      {"old first line replaced with first page on", old + "x\n", Page(1, 1) + "x\n", 1, 0, 1, "1"},
      {"first line examined with first page on", "# T\n" + kBreak + "\nx\n",
       Page(1, 2) + "# T" + Annotation(1) + "\n" + kBreak + "\n\n" + Page(2, 2) + "x\n", 2, 1, 1,
       "1"},
      {"break on the first line with first page on", kBreak + "\nx\n",
       Page(1, 2) + kBreak + "\n\n" + Page(2, 2) + "x\n", 2, 0, 1, "1"},
      {"any non-zero first-page value is on", "x\n", Page(1, 1) + "x\n", 1, 0, 5, "1"},
      {"old annotation dropped when not annotating", "# A" + Annotation(4) + "\n", "# A\n", 1, 0, 0, "1"},
      {"old annotation replaced", "# A" + Annotation(4) + "\n", "# A" + Annotation(1) + "\n", 1, 1, 0, "1"},
      {"trailing spaces stay", "# A  \n", "# A  " + Annotation(1) + "\n", 1, 1, 0, "1"},
      {"cut before the first of two annotations", "# A" + Annotation(1) + "x" + Annotation(2) + "\n",
       "# A\n", 1, 0, 0, "1"},
      {"heading forms", "   ### Deep\n####### x\n#Title\n#\n\t# tab\n",
       "   ### Deep" + Annotation(1) + "\n####### x" + Annotation(1) + "\n#Title\n#\n\t# tab\n", 1, 1, 0, "1"},
      {"heading on the last line gets a line end", "a\r\n# End", "a\r\n# End" + Annotation(1) + "\r\n",
       1, 1, 0, "1"},
      {"added ends follow the first line (CR LF)", "a\r\n# H\n" + kBreak + "\nx\n",
       "a\r\n# H\r\n" + kBreak + "\n\r\n" + Page(2, 2, "\r\n") + "x\n", 2, 0, 0, "1"},
      {"added ends follow the first line (LF)", "a\n# H\r\n", "a\n# H\n", 1, 0, 0, "1"},
  };
  for (const Case& c : cases) {
    JobSettings settings;
    settings.annotateHeadings = c.annotate;
    settings.numberFirstPage = c.firstPage;
    settings.tocPageCount = c.tocPages;
    EXPECT_EQ(Run(c.input, settings), "Total " + std::to_string(c.total) + " pages.") << c.name;
    EXPECT_EQ(Output(), c.output) << c.name;
  }
}

TEST_F(InsertTest, LineEndingComesFromTheFirstLine) {
  struct Case {
    const char* first;
    const char* eol;
  };
  const Case cases[] = {
      {"# Title\r\n", "\r\n"}, {"# Title\n", "\n"}, {"\r\n", "\r\n"}, {"\n", "\n"}, {"\r\r\n", "\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(std::string(c.first) + kBreak + "\nx"), "Total 2 pages.");
    EXPECT_EQ(Output(), std::string(c.first) + kBreak + "\n" + c.eol + Page(2, 2, c.eol) + "x")
        << c.first;
  }
  // A one-line file without a line end counts as LF.
  JobSettings settings;
  settings.annotateHeadings = 1;
  EXPECT_EQ(Run("# abc", settings), "Total 1 pages.");
  EXPECT_EQ(Output(), "# abc" + Annotation(1) + "\n");
}

TEST_F(InsertTest, NumberLineFieldsFollowTheChoices) {
  struct Case {
    int position, color, format;
    const char* customColor;
    const char* fontSize;
    const char* header;
    const char* line;
  };
  const Case cases[] = {
      {0, 1, 0, "", "80", "", "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:gray\"> 2 / 2</span></div>"},
      {7, 5, 3, "#f00", "1<b>", "H&", "<div style=\"text-align: center\"><span style=\"font-size: 1<b>%; color:#f00\">H&&nbsp;&nbsp;&nbsp; ( 2 / 2 )</span></div>"},
      {-1, -1, -1, "", "", "", "<div style=\"text-align: center\"><span style=\"font-size: %; color:\"> ( 2 / 2 )</span></div>"},
      // The '%' of the field's label, typed: one at the end is not doubled.
      {0, 0, 0, "", "80%", "", "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\"> 2 / 2</span></div>"},
      {0, 0, 0, "", "80%%", "", "<div style=\"text-align: right\"><span style=\"font-size: 80%%; color:black\"> 2 / 2</span></div>"},
      {0, 0, 0, "", "%", "", "<div style=\"text-align: right\"><span style=\"font-size: %; color:black\"> 2 / 2</span></div>"},
      {0, 0, 0, "", "8%0", "", "<div style=\"text-align: right\"><span style=\"font-size: 8%0%; color:black\"> 2 / 2</span></div>"},
  };
  for (const Case& c : cases) {
    JobSettings settings;
    settings.positionChoice = c.position;
    settings.colorChoice = c.color;
    settings.formatChoice = c.format;
    settings.customColor = c.customColor;
    settings.fontSizePercent = c.fontSize;
    settings.headerText = c.header;
    EXPECT_EQ(Run(kBreak + "\nx\n", settings), "Total 2 pages.");
    EXPECT_EQ(Output(), kBreak + "\n\n" + c.line + "\n\nx\n") << c.line;
  }
}

// Whatever the choices, the number lines Execute writes are ours again: a
// second Execute replaces them (it does not add more) and Delete takes them
// out, so the rule that recognises them is checked against what the jobs
// write rather than against a second copy of the format.
TEST_F(InsertTest, EveryNumberLineWrittenIsRecognised) {
  const char* headers[] = {"", "Guide", "Vol 3", "Book 1 / 2", " ( 1 / 2 )", "-", "</span></div>",
                           "x\">y", "&nbsp;", "\xE6\x89\x8B\xE5\xBC\x95"};
  const char* fontSizes[] = {"80", "", "150\">", "1\"><span style=\""};
  struct Colour {
    int choice;
    const char* custom;
  };
  const Colour colours[] = {{0, ""}, {1, ""}, {2, "#f00"}, {2, "a\">b"}, {2, ""}};
  const std::string input = "[TOC]\n[TOC]\n[TOC]\n" + kBreak + "\n\n# A\n" + kBreak + "\n\nx\n";
  // Every text of each list is taken with every other choice changing
  // beside it.
  for (int round = 0; round < 20; ++round) {
    const Colour& colour = colours[round % 5];
    JobSettings settings;
    settings.headerText = headers[round % 10];
    settings.fontSizePercent = fontSizes[round % 4];
    settings.colorChoice = colour.choice;
    settings.customColor = colour.custom;
    settings.positionChoice = round % 2;
    settings.formatChoice = round / 2 % 2;
    settings.numberFirstPage = round / 4 % 2;
    // TOC lines of no pages take the numbers below zero.
    settings.tocPageCount = round % 3 == 0 ? "0" : "2";
    const std::string trace = "round " + std::to_string(round);
    const std::string result = Run(input, settings);
    ASSERT_EQ(result.rfind("Total ", 0), 0u) << trace << ": " << result;
    const int total = std::stoi(result.substr(6));
    const std::string once = Output();
    int numberLines = 0;
    for (size_t start = 0; start < once.size();) {
      size_t end = once.find('\n', start);
      end = end == std::string::npos ? once.size() : end + 1;
      LinePiece line = {once.data() + start, end - start, true, true, start};
      NumberLineParts parts;
      bool parsed = ParseNumberLine(line, &parts);
      EXPECT_EQ(IsOldNumberLine(line), parsed) << trace;
      if (parsed) {
        ++numberLines;
        EXPECT_EQ(parts.total, total) << trace;
        EXPECT_EQ(parts.paren, settings.formatChoice != 0) << trace;
      }
      start = end;
    }
    EXPECT_EQ(numberLines, 2 + settings.numberFirstPage) << trace << "\n" << once;
    EXPECT_EQ(Run(once, settings), result) << trace;
    EXPECT_EQ(Output(), once) << trace;
    settings.markdownPath = md;
    EXPECT_EQ(RunJob(Job::Remove, settings), result) << trace;
    EXPECT_EQ(Output(), input) << trace;
  }
}

TEST_F(InsertTest, TooLongHeadIsRefusedBeforeAnythingIsTouched) {
  // Fixed texts take 66 bytes, "80" and "black" 7, the spaces after a header 18.
  JobSettings settings;
  settings.headerText = std::string(1003 - 66 - 7 - 18, 'h');
  EXPECT_EQ(Run(kBreak + "\nx\n", settings), "Total 2 pages.");
  EXPECT_EQ(Output().size(), kBreak.size() + 2 + 66 + 7 + 18 + settings.headerText.size() +
                                 std::string(" 2 / 2</span></div>\n\nx\n").size());

  settings.headerText += "h";
  const std::string input = kBreak + "\nx\n";
  WriteFileBytes(folder.Path("doc.bak"), "old backup");
  EXPECT_EQ(Run(input, settings), "Error: Header, colour or font size text is too long.\r\n");
  EXPECT_EQ(Output(), input);
  EXPECT_EQ(ReadFileBytes(bak), "old backup");

  JobSettings colour;
  colour.colorChoice = 2;
  colour.customColor = std::string(2000, 'c');
  EXPECT_EQ(Run(input, colour), "Error: Header, colour or font size text is too long.\r\n");
}

TEST_F(InsertTest, CountersSaturateInsteadOfOverflowing) {
  JobSettings settings;
  settings.tocPageCount = "2147483647";
  EXPECT_EQ(Run("[TOC]\n" + kBreak + "\nx\n", settings), "Total 2147483647 pages.");
  EXPECT_EQ(Output(), "[TOC]\n" + kBreak + "\n\n" + Page(2147483647, 2147483647) + "x\n");

  settings.tocPageCount = "99999999999999999999";
  EXPECT_EQ(Run("[TOC]\n[TOC]\n", settings), "Total 2147483647 pages.");

  // A number mentioned 200 times counts 127 times, not -56.
  settings.tocPageCount = "1";
  settings.skipPages.clear();
  for (int i = 0; i < 200; ++i) settings.skipPages += "1,";
  EXPECT_EQ(Run("a\n" + kBreak + "\nb\n", settings), "Total 129 pages.");
}

TEST_F(InsertTest, NulBytesAreOrdinaryBytes) {
  const std::string nul(1, '\0');
  JobSettings settings;
  settings.annotateHeadings = 1;
  const std::string input = "# A" + nul + "B\n" + kBreak + nul + "\n" + nul + "x\n" + "<div style=\"text-align:" +
                            nul + "</span></div>\n";
  EXPECT_EQ(Run(input, settings), "Total 2 pages.");
  EXPECT_EQ(Output(), "# A" + nul + "B" + Annotation(1) + "\n" + kBreak + nul + "\n\n" + Page(2, 2) +
                          nul + "x\n" + "<div style=\"text-align:" + nul + "</span></div>\n");
  // An old number line with a NUL inside is still one, after a break.
  const std::string old = "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\">A" +
                          nul + "B&nbsp;&nbsp;&nbsp; 5 / 5</span></div>\n";
  EXPECT_EQ(Run(kBreak + "\n\n" + old + "x\n"), "Total 2 pages.");
  EXPECT_EQ(Output(), kBreak + "\n\n" + Page(2, 2) + "x\n");
}

TEST_F(InsertTest, LongLinesAreOneLineEach) {
  const size_t kPiece = 199999;
  const std::string longText(300000, 'y');
  JobSettings settings;
  settings.annotateHeadings = 1;
  struct Case {
    const char* name;
    std::string input;
    std::string output;
    int total;
  };
  const std::string longBreak = kBreak + longText + "\r\n";
  const std::string longHeading = "# " + longText + Annotation(7) + "\n";
  const std::string plainLongHeading = "# " + longText + "\r\n";
  const std::string longOld = "<div style=\"text-align:" + longText + "</span></div>\n";
  const std::string fitting = "# " + std::string(kPiece - 3, 'h') + "\n";
  const std::string fittingWith =
      "# " + std::string(kPiece - 3 - Annotation(1).size() - 1, 'h') + "\n";
  const std::string markerInSecondPiece = std::string(kPiece, 'z') + kBreak + "\n";
  const Case cases[] = {
      {"long break counts once, its tail before the number line", "a\r\n" + longBreak + "x\r\n",
       "a\r\n" + longBreak + "\r\n" + Page(2, 2, "\r\n") + "x\r\n", 2},
      {"long heading loses its annotation and gets none", "a\n" + longHeading, "a\n# " + longText + "\n", 1},
      {"long heading without annotation stays as it is", "a\n" + plainLongHeading, "a\n" + plainLongHeading,
       1},
      {"annotation with a long tail: cut, and a new one fits", "# A" + Annotation(3) + longText + "\n",
       "# A" + Annotation(1) + "\n", 1},
      {"long old number line is never dropped", longOld + kBreak + "\n" + longOld,
       longOld + kBreak + "\n\n" + Page(2, 2) + longOld, 2},
      {"heading that fits only without an annotation gets none", fitting, fitting, 1},
      {"heading that fits with its annotation gets one", fittingWith,
       fittingWith.substr(0, fittingWith.size() - 1) + Annotation(1) + "\n", 1},
      {"marker inside a long line does not count", markerInSecondPiece, markerInSecondPiece, 1},
      {"line end taken from the end of a long first line", std::string(kPiece - 1, 'q') + "\r\n" + kBreak + "\nx",
       std::string(kPiece - 1, 'q') + "\r\n" + kBreak + "\n\r\n" + Page(2, 2, "\r\n") + "x", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.input, settings), "Total " + std::to_string(c.total) + " pages.") << c.name;
    EXPECT_TRUE(Output() == c.output) << c.name;
  }
}

}  // namespace

namespace {

TEST_F(InsertTest, LineBreakInANumberLineTextIsRefused) {
  struct Case {
    const char* name;
    std::string header, color, font;
    int colorChoice;
    bool refused;
  };
  const Case cases[] = {
      {"LF in the header", "X\nY", "blue", "80", 0, true},
      {"CR in the header", "X\rY", "blue", "80", 0, true},
      {"LF in the font size", "", "blue", "8\n0", 0, true},
      {"CR LF in the chosen colour", "", "red\r\n", "80", 2, true},
      {"line break in a colour that is not chosen", "", "red\n", "80", 1, false},
  };
  const std::string input = "a\n" + kBreak + "\nb\n";
  for (const Case& c : cases) {
    JobSettings settings;
    settings.markdownPath = md;
    settings.headerText = c.header;
    settings.customColor = c.color;
    settings.fontSizePercent = c.font;
    settings.colorChoice = c.colorChoice;
    WriteFileBytes(md, input);
    WriteFileBytes(bak, "older backup");
    JobResult result = RunJobFull(Job::Insert, settings);
    if (c.refused) {
      EXPECT_EQ(result.text, "Error: Header, colour or font size text has a line break.\r\n") << c.name;
      EXPECT_EQ(result.outcome, JobOutcome::Refused) << c.name;
      EXPECT_EQ(Output(), input) << c.name;
      EXPECT_EQ(ReadFileBytes(bak), "older backup") << c.name;
    } else {
      EXPECT_EQ(result.outcome, JobOutcome::Done) << c.name;
    }
  }
}

// The writing pass ends on the page the counting pass counted, whatever
// stands after a break or at the top, and a second run changes nothing.
TEST_F(InsertTest, OneRunSettlesAndTheLastPageIsTheTotal) {
  const std::string old = NumberLine(7, 9);
  const std::string documents[] = {
      kBreak + "\n" + kBreak + "\n" + kBreak + "\n",
      "[TOC]\n" + kBreak + "\n[TOC]\n" + kBreak + "\n\n[TOC]\nx\n",
      kBreak + "\n\n" + old + kBreak + "\n" + old + "# H\n" + kBreak,
      "# A\n" + kBreak + "\n\n\n" + old + kBreak + "\n\n# B\n",
  };
  const char* skips[] = {"", "1", "2,2,5", "3, 4 4,9999"};
  for (const std::string& document : documents) {
    for (const char* skip : skips) {
      for (int firstPage = 0; firstPage < 2; ++firstPage) {
        JobSettings settings;
        settings.skipPages = skip;
        settings.tocPageCount = "3";
        settings.numberFirstPage = firstPage;
        settings.annotateHeadings = 1;
        settings.markdownPath = md;
        WriteFileBytes(md, document);
        JobResult first = RunJobFull(Job::Insert, settings);
        ASSERT_EQ(first.outcome, JobOutcome::Done);
        EXPECT_EQ(first.lastPage, first.pageTotal) << document << " skip " << skip;
        const std::string once = Output();
        EXPECT_EQ(RunJobFull(Job::Check, settings).differs, false) << document << " skip " << skip;
        EXPECT_EQ(RunJob(Job::Insert, settings), first.text);
        EXPECT_EQ(Output(), once) << document << " skip " << skip << " first page " << firstPage;
      }
    }
  }
}

TEST_F(InsertTest, CheckComparesWithoutWriting) {
  JobSettings settings;
  settings.markdownPath = md;
  const std::string plain = "# T\n" + kBreak + "\nx\n";
  WriteFileBytes(md, plain);
  JobResult stale = RunJobFull(Job::Check, settings);
  EXPECT_EQ(stale.outcome, JobOutcome::Done);
  EXPECT_TRUE(stale.differs);
  EXPECT_EQ(stale.text, "Total 2 pages.");
  EXPECT_EQ(Output(), plain);
  EXPECT_FALSE(FileExists(bak));

  ASSERT_EQ(RunJob(Job::Insert, settings), "Total 2 pages.");
  RemoveFile(bak.c_str());
  EXPECT_FALSE(RunJobFull(Job::Check, settings).differs);
  settings.headerText = "Guide";
  EXPECT_TRUE(RunJobFull(Job::Check, settings).differs);
  // Execute would only add a line end at the very end: that differs too.
  settings.headerText.clear();
  WriteFileBytes(md, "x\n# H");
  EXPECT_TRUE(RunJobFull(Job::Check, settings).differs);
  // As would taking bytes off the end.
  WriteFileBytes(md, "x\n# H" + Annotation(1) + "\n");
  EXPECT_TRUE(RunJobFull(Job::Check, settings).differs);
  EXPECT_FALSE(FileExists(bak));
  // A missing file is refused with its own text.
  settings.markdownPath = folder.Path("missing.md");
  JobResult missing = RunJobFull(Job::Check, settings);
  EXPECT_EQ(missing.outcome, JobOutcome::Refused);
  EXPECT_EQ(missing.text, "Error: The file does not exist.\r\n" + settings.markdownPath + "\r\n");
}

}  // namespace
