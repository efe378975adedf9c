// The match form of texts, finding keys in sheet texts, and recognising the
// lines that verify reads.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "verify/markdown_lines.h"
#include "verify/match_text.h"
#include "verify_lines.h"

namespace {

std::string MatchForm(const std::string& text, bool keepBreaks) {
  static char buffer[4096];
  TextStore store;
  StartTextStore(&store, buffer, sizeof buffer);
  AppendMatchForm(&store, text.data(), text.size(), keepBreaks);
  return std::string(store.data, store.length);
}

std::string VisibleMatchForm(const std::string& html) {
  static char buffer[4096];
  TextStore store;
  StartTextStore(&store, buffer, sizeof buffer);
  AppendVisibleMatchForm(&store, html.data(), html.size());
  return std::string(store.data, store.length);
}

LinePiece Piece(const std::string& line) { return LinePiece{line.data(), line.size(), true, true, 0}; }

TEST(VerifyMatchForm, OneGapForWhiteSpaceAndPlainPunctuation) {
  struct Case {
    const char* text;
    bool keepBreaks;
    const char* form;
  };
  const Case cases[] = {
      {"Header   2 / 5", true, "Header 2 / 5"},
      {"  Header\xC2\xA0\xC2\xA0 2\t/\t5", true, "Header 2 / 5"},  // no-break spaces, tabs
      {"\xE7\xAC\xAC\xE3\x80\x80" "1", true, "\xE7\xAC\xAC 1"},      // ideographic space
      {"a \r\n\r\n  b\fc", true, "a\nb\nc"},                         // a run of breaks is one
      {"a\r\n b", false, "a b"},
      {"zero\xE2\x80\x8Bwidth\xEF\xBB\xBF", true, "zerowidth"},
      {"**bold** _it_ `code` ~~gone~~", true, "bold it code gone"},
      {"\xEF\xAC\x81nd \xEF\xAC\x82ow", true, "find flow"},          // ligatures
      {"Intro\xE2\x80\xA6" "2", true, "Intro...2"},                   // one-character ellipsis
      {"\xE2\x80\x9Cquoted\xE2\x80\x9D it\xE2\x80\x99s \xE2\x80\x98" "a\xE2\x80\x99", true,
       "\"quoted\" it's 'a'"},
      {"notes \xE2\x80\x93 draft \xE2\x80\x94 v2", true, "notes -- draft --- v2"},  // en, em dash
      {"\xFF broken", true, "\xFF broken"},                            // stray bytes stay
  };
  for (const Case& c : cases) EXPECT_EQ(MatchForm(c.text, c.keepBreaks), c.form) << c.text;
}

TEST(VerifyMatchForm, VisibleTextOfHtmlDropsTagsAndDecodesReferences) {
  struct Case {
    const char* html;
    const char* form;
  };
  const Case cases[] = {
      {"<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\">Guide&nbsp;&nbsp;&nbsp; 2 / 5</span></div>",
       "Guide 2 / 5"},
      {"<span> 2 / 5 </span>", "2 / 5"},  // no gap at either end
      {"A &amp; B &lt;C&gt; &quot;D&quot; &#65;&#x42;&#X43;", "A & B <C> \"D\" ABC"},
      {"&#12354;&#x3042;", "\xE3\x81\x82\xE3\x81\x82"},
      {"&unknown; &#xZZ; &#0; & alone", "&unknown; &#xZZ; &#0; & alone"},
      {"1 < 2 <b>bold</b> <!-- note -->x", "1 < 2 bold x"},
      {"<span unclosed", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(VisibleMatchForm(c.html), c.form) << c.html;
}

TEST(VerifyMatchForm, FindsKeysPastWhiteSpace) {
  struct Case {
    const char* sheet;
    const char* key;
    KeyEnd keyEnd;
    bool found;
    size_t start;
  };
  const Case cases[] = {
      {"Guide 2 / 5\nText", "Guide 2 / 5", KeyEnd::Number, true, 0},
      {"Gui\nde2/\n5", "Guide 2 / 5", KeyEnd::Number, true, 0},  // wrapped in print
      {"see 1 2/5", "2/5", KeyEnd::Number, false, 0},            // a digit before it
      {"2/5 5", "2 / 5", KeyEnd::Number, false, 0},              // a digit after it
      {"12/5\n2/5", "2/5", KeyEnd::Number, true, 5},
      {"x\n2/5\n1.First", "2/5", KeyEnd::Number, true, 2},       // the next line starts with a digit
      {"Page2/5", "2/5", KeyEnd::Number, true, 4},
      {"Chapter ...12", "Chapter...", KeyEnd::Annotation, true, 0},
      {"Chap ter...\n3", "Chapter ...", KeyEnd::Annotation, true, 0},
      {"Chapter...x", "Chapter...", KeyEnd::Annotation, false, 0},
      {"Chapter", "Chapter...", KeyEnd::Annotation, false, 0},
      {"", "2/5", KeyEnd::Number, false, 0},
  };
  for (const Case& c : cases) {
    KeyMatch match = {0, 0};
    size_t length = strlen(c.sheet);
    bool found = FindKey(c.sheet, 0, 0, length, c.key, strlen(c.key), c.keyEnd, &match);
    EXPECT_EQ(found, c.found) << c.sheet << " / " << c.key;
    if (found && c.found) {
      EXPECT_EQ(match.start, c.start) << c.sheet;
    }
  }
}

// Number lines are whole lines of the sheet: body text that holds "2/3"
// is no candidate, and one spaced as the key is told from one that is not.
TEST(VerifyMatchForm, FindsWholeLinesAndTellsTheirSpacing) {
  struct Case {
    const char* sheet;
    const char* key;
    bool found;
    size_t start;
    bool exact;
  };
  const Case cases[] = {
      {"Text\n2 / 3\nMore", "2 / 3", true, 5, true},
      {"2 / 3", "2 / 3", true, 0, true},
      {"Mix 2/3 water\n2/3 water", "2 / 3", false, 0, false},  // pieces of longer lines
      {"2 / 3 water", "2 / 3", false, 0, false},
      {"file:///tmp/doc.html 2/3", "2 / 3", false, 0, false},  // a browser's footer line
      {"body\n2/3\n2 / 3", "2 / 3", true, 5, false},           // the first, spaced otherwise
      {"Guide\n2 / 3", "Guide 2 / 3", true, 0, true},           // broken where the key has a gap
      {"Gui\nde 2 / 3", "Guide 2 / 3", true, 0, false},
      {"12 / 3\n", "2 / 3", false, 0, false},
      {"", "2 / 3", false, 0, false},
  };
  for (const Case& c : cases) {
    LineMatch match = {0, 0, false};
    size_t length = strlen(c.sheet);
    bool found = FindLine(c.sheet, 0, 0, length, c.key, strlen(c.key), &match);
    EXPECT_EQ(found, c.found) << c.sheet << " / " << c.key;
    if (!found || !c.found) continue;
    EXPECT_EQ(match.start, c.start) << c.sheet;
    EXPECT_EQ(match.exact, c.exact) << c.sheet;
    EXPECT_TRUE(match.end == length || c.sheet[match.end] == '\n') << c.sheet;
  }
}

TEST(VerifyMarkdownLines, NumberLinesInBothFormats) {
  struct Case {
    std::string line;
    bool recognised;
    int reads;
    int total;
    bool paren;
  };
  const Case cases[] = {
      {NumberLine("", 2, 5) + "\r\n", true, 2, 5, false},
      {NumberLine("Guide", 12, 140, true) + "\n", true, 12, 140, true},
      {NumberLine("Vol 3", 1, 2), true, 1, 2, false},          // a header ending in a digit
      {NumberLine("", -1, 0), true, -1, 0, false},
      {"<div style=\"text-align: right\"><span>2/5</span></div>\n", false, 0, 0, false},
      {"<div style=\"text-align: right\"><span> 2 / 5 )</span></div>\n", false, 0, 0, false},
      {"<div style=\"text-align: right\"><span> 99999999999 / 5</span></div>\n", false, 0, 0, false},
      {"<div style=\"text-align: left\">text</div>\n", false, 0, 0, false},
      {"Text " + NumberLine("", 2, 5) + "\n", false, 0, 0, false},
      // A writer's own centred line, with or without numbers at its end: the
      // numbers stand right after the span's opening or after a header's
      // spaces, and the span opens right after the div's style.
      {"<div style=\"text-align: center\"><span style=\"font-size: 150%\">Book One</span></div>\n", false,
       0, 0, false},
      {"<div style=\"text-align: center\"><span style=\"font-size: 150%\">Book 1 / 2</span></div>\n", false,
       0, 0, false},
      {"<div style=\"text-align: center\">Book&nbsp;&nbsp;&nbsp; 1 / 2</span></div>\n", false, 0, 0, false},
      {"<div style=\"text-align: center\" id=\"a\"><span style=\"x\"> 1 / 2</span></div>\n", false, 0, 0,
       false},
      {"<div style=\"text-align: right\"><span style=\"x\"> 2 / 5</span></div>\n", true, 2, 5, false},
  };
  for (const Case& c : cases) {
    NumberLineParts parts;
    bool recognised = ParseNumberLine(Piece(c.line), &parts);
    EXPECT_EQ(recognised, c.recognised) << c.line;
    // The jobs drop what verify reads as a number line, and nothing else.
    EXPECT_EQ(IsOldNumberLine(Piece(c.line)), c.recognised) << c.line;
    if (!recognised || !c.recognised) continue;
    EXPECT_EQ(parts.reads, c.reads) << c.line;
    EXPECT_EQ(parts.total, c.total) << c.line;
    EXPECT_EQ(parts.paren, c.paren) << c.line;
    char numbers[64];
    FormatNumbers(parts.reads, parts.total, parts.paren, numbers, sizeof numbers);
    EXPECT_EQ(c.line.substr(parts.numbersStart, parts.numbersEnd - parts.numbersStart), numbers);
  }
}

TEST(VerifyMarkdownLines, AnnotatedHeadings) {
  struct Case {
    std::string line;
    bool recognised;
    const char* text;
    int page;
  };
  const Case cases[] = {
      {Heading("##", "Section 1.1", 12) + "\r\n", true, "Section 1.1", 12},
      {"   " + Heading("###", "Deep", 3) + "\n", true, "Deep", 3},
      {Heading("#", "A  ", 1), true, "A  ", 1},
      {"## Plain heading\n", false, "", 0},
      {"#Title <span style=\"color: transparent;\"> ...2</span>\n", false, "", 0},
      {"# T <span style=\"color: transparent;\"> ...x</span>\n", false, "", 0},
      {"# T <span style=\"color: transparent;\">2</span>\n", false, "", 0},
      {"Text <span style=\"color: transparent;\"> ...2</span>\n", false, "", 0},
  };
  for (const Case& c : cases) {
    HeadingParts parts;
    bool recognised = ParseAnnotatedHeading(Piece(c.line), &parts);
    EXPECT_EQ(recognised, c.recognised) << c.line;
    if (!recognised || !c.recognised) continue;
    EXPECT_EQ(c.line.substr(parts.textStart, parts.textEnd - parts.textStart), c.text);
    EXPECT_EQ(parts.page, c.page);
    EXPECT_EQ(c.line.substr(parts.pageStart, parts.pageEnd - parts.pageStart), std::to_string(c.page));
  }
}

TEST(VerifyMarkdownLines, HeadingTextAsPrinted) {
  struct Case {
    const char* markdown;
    const char* shown;
  };
  const Case cases[] = {
      {"Plain", "Plain"},
      {"Closed ##  ", "Closed"},
      {"C#", "C#"},
      {"See [the guide](http://example.invalid/a) now", "See the guide now"},
      {"![logo](logo.png) Title", " Title"},
      {"\\# not a mark \\*", "# not a mark *"},
      {"[unclosed link", "[unclosed link"},
  };
  for (const Case& c : cases) {
    char out[256];
    size_t n = HeadingDisplayText(c.markdown, strlen(c.markdown), out, sizeof out);
    EXPECT_EQ(std::string(out, n), c.shown) << c.markdown;
  }
}

}  // namespace
