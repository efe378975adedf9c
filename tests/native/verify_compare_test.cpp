// Comparing a numbered document with the text of its PDF's sheets, written
// here as text extraction gives it: where each number line and heading
// lands, and what is reported.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "verify/verify.h"
#include "verify_lines.h"

namespace {

struct Comparison {
  VerifyOutcome outcome;
  std::string report;  // the findings, one line each
  std::vector<int> numberSheets;
  std::vector<int> headingSheets;
};

// The document's lines are joined with LF; every sheet is one text. With
// an index of candidate lines, or (useIndex false, or an index too small)
// reading the sheets for them.
Comparison Compare(const std::vector<std::string>& lines, const std::vector<std::string>& sheetTexts,
                   bool useIndex = true, int32_t indexCapacity = 256) {
  static NumberLineEntry numberLines[64];
  static HeadingEntry headings[64];
  static char keys[8192];
  static char sheetBuffer[16384];
  static size_t starts[65];
  static int32_t numberSheets[64];
  static int32_t doubtSheets[64];
  static size_t numberEnds[64];
  static int32_t headingSheets[64];
  static Finding findings[129];
  static CandidateLine candidates[256];
  static int32_t buckets[64];

  DocumentScan scan;
  StartScan(&scan, numberLines, 64, headings, 64, keys, sizeof keys);
  std::vector<std::string> texts;
  for (const std::string& line : lines) texts.push_back(line + "\n");
  for (const std::string& text : texts) ScanPiece(&scan, LinePiece{text.data(), text.size(), true, true, 0});
  EXPECT_FALSE(scan.overflow);

  SheetSet sheets;
  StartSheets(&sheets, sheetBuffer, sizeof sheetBuffer, starts, 64);
  for (const std::string& text : sheetTexts) EXPECT_TRUE(AddSheet(&sheets, text.data(), text.size()));

  LineIndex index;
  StartLineIndex(&index, candidates, indexCapacity, buckets, 64);
  Placement placement = {numberSheets, numberEnds, headingSheets, 0,      0,
                         doubtSheets,  nullptr,    useIndex ? &index : nullptr};
  PlaceLines(scan, sheets, &placement);
  int32_t count = 0;
  Comparison result;
  result.outcome = CollectFindings(scan, placement, findings, 129, &count);
  for (int32_t i = 0; i < count; ++i) {
    char line[256];
    FormatFinding(findings[i], line, sizeof line);
    result.report += std::string(line) + "\n";
  }
  result.numberSheets.assign(numberSheets, numberSheets + scan.numberLineCount);
  result.headingSheets.assign(headingSheets, headingSheets + scan.headingCount);
  return result;
}

struct Case {
  const char* name;
  std::vector<std::string> markdown;
  std::vector<std::string> sheets;
  VerifyOutcome outcome;
  const char* report;
  std::vector<int> numberSheets;
  std::vector<int> headingSheets;
};

const std::string B = kVerifyBreak;
const std::string kJapaneseHeader = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x80\x80\xE7\xAC\xAC" "1";  // 日本語　第1

TEST(VerifyCompare, TableOfDocumentsAndSheetTexts) {
  const Case cases[] = {
      {"every page fits",
       {NumberLine("", 1, 3), Heading("#", "A", 1), B, "", NumberLine("", 2, 3), "text",
        Heading("##", "B", 2), B, "", NumberLine("", 3, 3), Heading("##", "C", 3)},
       {"1 / 3\n# A ...1", "2 / 3\ntext\nB ...2", "3 / 3\nC ...3"},
       VerifyOutcome::Agree, "", {1, 2, 3}, {1, 2, 3}},

      {"spaces dropped, added and merged, no-break spaces, wrapped lines",
       {NumberLine("My Guide", 1, 2), "text", B, "", NumberLine("My Guide", 2, 2), "more"},
       {"MyGuide1/2\ntext", "M y  G u i d e\xC2\xA0\xC2\xA0 2\n/ 2\nmore"},
       VerifyOutcome::Agree, "", {1, 2}, {}},

      {"a header the browser reads as a tag hides the numbers",
       {NumberLine("x<y", 1, 2), "text", B, "", NumberLine("x<y", 2, 2), "more"},
       {"x\ntext", "x\nmore"},
       VerifyOutcome::NumbersHidden, "", {1, 2}, {}},

      {"markup in a header that leaves the numbers printed",
       {NumberLine("<b>Draft</b> R&D", 1, 2), "text", B, "", NumberLine("<b>Draft</b> R&D", 2, 2), "more"},
       {"Draft R&D 1 / 2\ntext", "Draft R&D 2 / 2\nmore"},
       VerifyOutcome::Agree, "", {1, 2}, {}},

      {"page 2 runs over onto a second sheet",
       {NumberLine("", 1, 3), Heading("#", "Start", 1), B, "", NumberLine("", 2, 3), "Long.",
        Heading("##", "Spilled part", 2), B, "", NumberLine("", 3, 3), Heading("##", "Last", 3)},
       {"1 / 3\nStart ...1", "2 / 3\nLong.", "Spilled part ...2", "3 / 3\nLast ...3"},
       VerifyOutcome::Disagree,
       "Page 2 runs over sheets 2-3.\n"
       "Page 3 is on sheet 4 but reads 3; the PDF has 4 sheets, the total says 3.\n",
       {1, 2, 4}, {1, 3, 4}},

      {"an editor's own n/N in the margin is not a number line with a header",
       {NumberLine("Book", 1, 4), B, "", NumberLine("Book", 2, 4), "long", B, "",
        NumberLine("Book", 3, 4)},
       {"1/4\nBook 1 / 4", "2/4\nBook 2 / 4\nlong", "3/4\nmore of page 2", "4/4\nBook 3 / 4"},
       VerifyOutcome::Disagree,
       "Page 2 runs over sheets 2-3.\nPage 3 is on sheet 4 but reads 3.\n", {1, 2, 4}, {}},

      {"digits next to the numbers belong to other text",
       {NumberLine("", 1, 3), B, "", NumberLine("", 2, 3), "1. First", B, "", NumberLine("", 3, 3)},
       {"1 / 3\nsee table 12 / 3 and 2 / 35", "2 / 3\n1. First", "3 / 3"},
       VerifyOutcome::Agree, "", {1, 2, 3}, {}},

      {"a Japanese header whose ideographic space is printed as a space or dropped",
       {NumberLine(kJapaneseHeader, 1, 2), B, "", NumberLine(kJapaneseHeader, 2, 2)},
       {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE7\xAC\xAC" "1 1 / 2",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE7\xAC\xAC" "12/2"},
       VerifyOutcome::Agree, "", {1, 2}, {}},

      {"parenthesised numbers are not found as bare ones",
       {NumberLine("", 1, 2, true), B, "", NumberLine("", 2, 2, true)},
       {"( 1 / 2 )", "2 / 2"},
       VerifyOutcome::Disagree, "Page 2: its number line \"( 2 / 2 )\" is not in the PDF.\n",
       {1, 0}, {}},

      {"a generated table of contents shows headings before their pages",
       {Heading("#", "Book", 1), "[TOC]", B, "", NumberLine("", 2, 3), Heading("##", "Chapter", 2),
        "text", Heading("##", "Section", 2), B, "", NumberLine("", 3, 3), Heading("##", "End", 3)},
       {"Book ...1\nChapter ...2\nSection ...2\nEnd ...3", "2 / 3\nChapter ...2\ntext",
        "Section ...2", "3 / 3\nEnd ...3"},
       VerifyOutcome::Disagree,
       "Page 2 runs over sheets 2-3.\n"
       "Page 3 is on sheet 4 but reads 3; the PDF has 4 sheets, the total says 3.\n",
       {2, 4}, {1, 2, 3, 4}},

      {"the same heading twice on a page that runs over",
       {NumberLine("", 1, 1), Heading("##", "Example", 1), "text", Heading("##", "Example", 1)},
       {"1 / 1\nExample ...1\ntext", "Example ...1"},
       VerifyOutcome::Disagree,
       "Page 1 is on sheet 1; the PDF has 2 sheets, the total says 1.\n"
       "Page 1 runs over sheets 1-2.\n",
       {1}, {1, 2}},

      {"a heading not found stays on its page's sheet; one on the next page is not taken",
       {NumberLine("", 1, 2), Heading("#", "Missing", 1), B, "", NumberLine("", 2, 2),
        "Missing ...1"},
       {"1 / 2\nsomething else", "2 / 2\nMissing ...1"},
       VerifyOutcome::Agree, "", {1, 2}, {1}},

      {"an unnumbered first page that runs over",
       {Heading("#", "Title", 1), "text", B, "", NumberLine("", 2, 2), "more"},
       {"Title ...1", "text", "2 / 2\nmore"},
       VerifyOutcome::Disagree,
       "Page 1 runs over sheets 1-2.\n"
       "Page 2 is on sheet 3 but reads 2; the PDF has 3 sheets, the total says 2.\n",
       {3}, {1}},

      {"a page without a number line between two that have one",
       {NumberLine("", 1, 4), B, "", NumberLine("", 2, 4), "text", B, B, "", NumberLine("", 4, 4)},
       {"1 / 4", "2 / 4\ntext", "", "more", "4 / 4"},
       VerifyOutcome::Disagree,
       "Pages 2-3 run over sheets 2-4.\n"
       "Page 4 is on sheet 5 but reads 4; the PDF has 5 sheets, the total says 4.\n",
       {1, 2, 5}, {}},

      {"a number line missing from the PDF",
       {NumberLine("", 1, 3), B, "", NumberLine("", 2, 3), B, "", NumberLine("", 3, 3)},
       {"1 / 3", "page two without its line", "3 / 3"},
       VerifyOutcome::Disagree, "Page 2: its number line \"2 / 3\" is not in the PDF.\n", {1, 0, 3},
       {}},

      {"a total that differs from the last line's is reported where it stands",
       {NumberLine("", 1, 2), B, "", NumberLine("", 2, 3), B, "", NumberLine("", 3, 3)},
       {"1 / 2", "2 / 3", "3 / 3"},
       VerifyOutcome::Disagree, "Page 1 is on sheet 1; the PDF has 3 sheets, the total says 2.\n",
       {1, 2, 3}, {}},

      {"a one-sheet PDF",
       {NumberLine("", 1, 2), B, "", NumberLine("", 2, 2)},
       {"1 / 2\n2 / 2"},
       VerifyOutcome::Disagree,
       "Page 2 is on sheet 1 but reads 2; the PDF has 1 sheet, the total says 2.\n", {1, 1}, {}},

      {"another document's PDF",
       {NumberLine("Guide", 1, 2), B, "", NumberLine("Guide", 2, 2)},
       {"Other 1 / 2", "Other 2 / 2"},
       VerifyOutcome::NoneFound, "", {0, 0}, {}},

      {"body text holding the numbers is no number line",
       {NumberLine("", 1, 3), B, "", NumberLine("", 2, 3), B, "", NumberLine("", 3, 3)},
       {"1 / 3\nMix 2/3 water\n2 / 3 of it", "2 / 3\ntext", "3 / 3"},
       VerifyOutcome::Agree, "", {1, 2, 3}, {}},

      {"a browser's counter on a line of its own gives way to a line spaced as ours",
       {NumberLine("", 1, 4), B, "", NumberLine("", 2, 4), "long", B, "", NumberLine("", 3, 4)},
       {"1 / 4\n1/4", "2 / 4\nlong\n2/4", "more\n3/4", "3 / 4\n4/4"},
       VerifyOutcome::Disagree, "Page 2 runs over sheets 2-3.\nPage 3 is on sheet 4 but reads 3.\n",
       {1, 2, 4}, {}},

      {"two sheets show a page's line spaced alike: said, not guessed",
       {NumberLine("", 1, 4), B, "", NumberLine("", 2, 4), "long", B, "", NumberLine("", 3, 4)},
       {"1/4", "2/4\nlong", "more\n3/4", "3/4\n4/4"},
       VerifyOutcome::Disagree,
       "Pages 2-3 run over sheets 2-4.\n"
       "Page 3: its number line \"3 / 4\" is on sheet 3 and on sheet 4; one may be the browser's "
       "own page number: export the PDF without the browser's header and footer.\n",
       {1, 2, 3}, {}},

      {"a counter spaced as ours on two sheets: said, not guessed",
       {NumberLine("", 1, 4), B, "", NumberLine("", 2, 4), "long", B, "", NumberLine("", 3, 4)},
       {"1 / 4\n1 / 4", "2 / 4\nlong\n2 / 4", "more\n3 / 4", "3 / 4\n4 / 4"},
       VerifyOutcome::Disagree,
       "Pages 2-3 run over sheets 2-4.\n"
       "Page 3: its number line \"3 / 4\" is on sheet 3 and on sheet 4; one may be the browser's "
       "own page number: export the PDF without the browser's header and footer.\n",
       {1, 2, 3}, {}},

      {"every line found stands on two sheets",
       {NumberLine("", 1, 2)},
       {"1/2", "1/2"},
       VerifyOutcome::Disagree,
       "Page 1: its number line \"1 / 2\" is on sheet 1 and on sheet 2; one may be the browser's "
       "own page number: export the PDF without the browser's header and footer.\n",
       {1}, {}},

      {"a line spaced as ours past the page's last possible sheet is not taken",
       {NumberLine("", 1, 2), B, "", NumberLine("", 2, 2)},
       {"1/2", "2/2\n1 / 2"},
       VerifyOutcome::Agree, "", {1, 2}, {}},

      {"smart punctuation in the header and a heading",
       {NumberLine("Writer's notes -- draft", 1, 2), Heading("#", "Tools --- \"plain\"", 1), B, "",
        NumberLine("Writer's notes -- draft", 2, 2), Heading("##", "End...", 2)},
       {"Writer\xE2\x80\x99s notes \xE2\x80\x93 draft 1 / 2\n"
        "Tools \xE2\x80\x94 \xE2\x80\x9Cplain\xE2\x80\x9D ...1",
        "Writer\xE2\x80\x99s notes \xE2\x80\x93 draft 2 / 2\nEnd\xE2\x80\xA6 ...2"},
       VerifyOutcome::Agree, "", {1, 2}, {1, 2}},

      {"spills end in blank sheets",
       {NumberLine("", 1, 2), B, "", NumberLine("", 2, 2)},
       {"1 / 2\nfull", "", " \n", "2 / 2"},
       VerifyOutcome::Disagree,
       "Page 1 runs over sheets 1-3; sheets 2-3 are blank (sheet 1 is filled to its end: "
       "shortening the page by a line keeps it on one sheet, splitting it does not help).\n"
       "Page 2 is on sheet 4 but reads 2; the PDF has 4 sheets, the total says 2.\n",
       {1, 4}, {}},

      {"a sheet with only the browser's header and footer is blank; one more line is not",
       {NumberLine("", 1, 3), B, "", NumberLine("", 2, 3), "long", B, "", NumberLine("", 3, 3)},
       {"12/10/26 doc\n1 / 3\nfull\nfile:///doc.html 1/5", "12/10/26 doc\nfile:///doc.html 2/5",
        "12/10/26 doc\n2 / 3\nlong\nfile:///doc.html 3/5",
        "12/10/26 doc\nlong, the last line\nfile:///doc.html 4/5",
        "12/10/26 doc\n3 / 3\nfile:///doc.html 5/5"},
       VerifyOutcome::Disagree,
       "Page 1 runs over sheets 1-2; sheet 2 is blank (sheet 1 is filled to its end: "
       "shortening the page by a line keeps it on one sheet, splitting it does not help).\n"
       "Page 2 is on sheet 3 but reads 2.\n"
       "Page 2 runs over sheets 3-4.\n"
       "Page 3 is on sheet 5 but reads 3; the PDF has 5 sheets, the total says 3.\n",
       {1, 3, 5}, {}},

      {"after a fix a spill names the number its page shows",
       {NumberLine("", 1, 5), B, "", NumberLine("", 2, 5), B, "", NumberLine("", 4, 5)},
       {"1 / 5", "2 / 5", "more", "4 / 5", "more"},
       VerifyOutcome::Agree,
       "Page 2 runs over sheets 2-3.\nPage 3 (numbered 4) runs over sheets 4-5.\n", {1, 2, 4}, {}},

      {"a document without number lines",
       {"# Title", "text", B, "", "more"},
       {"Title", "more"},
       VerifyOutcome::NoNumberLines, "", {}, {}},
  };
  struct Way {
    const char* name;
    bool useIndex;
    int32_t indexCapacity;
  };
  const Way ways[] = {{"index", true, 256}, {"sheets", false, 0}, {"full index", true, 1}};
  for (const Case& c : cases) {
    for (const Way& way : ways) {
      SCOPED_TRACE(std::string(c.name) + ", " + way.name);
      Comparison result = Compare(c.markdown, c.sheets, way.useIndex, way.indexCapacity);
      EXPECT_EQ(result.outcome, c.outcome);
      EXPECT_EQ(result.report, c.report);
      EXPECT_EQ(result.numberSheets, c.numberSheets);
      EXPECT_EQ(result.headingSheets, c.headingSheets);
    }
  }
}

TEST(VerifyCompare, StorageLimitsAreReportedNotOverrun) {
  NumberLineEntry numberLines[1];
  HeadingEntry headings[1];
  char keys[8];
  DocumentScan scan;
  StartScan(&scan, numberLines, 1, headings, 1, keys, sizeof keys);
  std::string first = NumberLine("", 1, 2) + "\n";
  std::string second = NumberLine("", 2, 2) + "\n";
  ScanPiece(&scan, LinePiece{first.data(), first.size(), true, true, 0});
  EXPECT_FALSE(scan.overflow);
  ScanPiece(&scan, LinePiece{second.data(), second.size(), true, true, 0});
  EXPECT_TRUE(scan.overflow);
  EXPECT_EQ(scan.numberLineCount, 1);

  char text[6];  // room for "1 / 2" in match form, not for a second sheet
  size_t starts[3];
  SheetSet sheets;
  StartSheets(&sheets, text, sizeof text, starts, 2);
  EXPECT_TRUE(AddSheet(&sheets, "1 / 2", 5));
  EXPECT_FALSE(AddSheet(&sheets, "2 / 2", 5));
  EXPECT_TRUE(sheets.overflow);
  EXPECT_EQ(sheets.count, 1);
}

}  // namespace
