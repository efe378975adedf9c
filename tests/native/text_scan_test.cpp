// The byte-level scanners the passes use on pieces of any size: whether a
// document is UTF-8, and cutting a heading's annotation out of a line.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "common/utf8.h"
#include "paging/heading_cut.h"

namespace {

// Scans text in pieces of `step` bytes, so every split point is reached.
bool ScanInSteps(const std::string& text, size_t step) {
  Utf8Scan scan;
  StartUtf8Scan(&scan);
  for (size_t at = 0; at < text.size(); at += step) {
    ScanUtf8(&scan, text.data() + at, text.size() - at < step ? text.size() - at : step);
  }
  return Utf8ScanValid(scan);
}

TEST(Utf8ScanTest, WellFormedOnlyWhateverThePieces) {
  struct Case {
    const char* name;
    std::string bytes;
    bool utf8;
  };
  const Case cases[] = {
      {"empty", "", true},
      {"ASCII, past the eight-byte steps", "# Title\r\nSome plain text.\n", true},
      {"Japanese", "\xe7\xac\xac\xe4\xb8\x80\xe7\xab\xa0 \xe3\x81\xaf\xe3\x81\x98\xe3\x82\x81\xe3\x81\xab", true},
      {"Korean and an emoji", "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4 \xf0\x9f\x98\x80", true},
      {"accented Latin", "\xc3\x9c" "n\xc3\xaf" "c\xc3\xb6" "d\xc3\xa9", true},
      {"NUL is ASCII", std::string("a\0b", 3), true},
      {"highest code point", "\xf4\x8f\xbf\xbf", true},
      {"Shift_JIS", "\x91\xe6\x88\xea\x8f\xcd", false},
      {"Latin-1", "caf\xe9", false},
      {"lone continuation byte", "a\x80", false},
      {"overlong slash", "\xc0\xaf", false},
      {"overlong three bytes", "\xe0\x80\xaf", false},
      {"surrogate", "\xed\xa0\x80", false},
      {"above U+10FFFF", "\xf4\x90\x80\x80", false},
      {"F5 lead", "\xf5\x80\x80\x80", false},
      {"cut at the end", "abc\xe3\x81", false},
      {"lead byte then ASCII", "\xe3" "abc", false},
      {"bad byte far into ASCII", std::string(37, 'a') + "\xff" + std::string(9, 'b'), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUtf8(c.bytes.data(), c.bytes.size()), c.utf8) << c.name;
    for (size_t step = 1; step <= 9; ++step) {
      EXPECT_EQ(ScanInSteps(c.bytes, step), c.utf8) << c.name << ", pieces of " << step;
    }
  }
  EXPECT_TRUE(StartsWithUtf8Bom("\xef\xbb\xbf# T", 6));
  EXPECT_FALSE(StartsWithUtf8Bom("\xef\xbb", 2));
}

struct Cut {
  std::string written;
  bool cut;
  uint64_t kept;
};

// Feeds line (the part after a heading's '#' marks) in pieces of `step`.
Cut CutInSteps(const std::string& line, size_t step, bool keepEnding) {
  char buffer[16];
  std::string written;
  ByteSink sink = {[](void* out, const char* data, size_t length) {
                     static_cast<std::string*>(out)->append(data, length);
                     return true;
                   },
                   nullptr, &written};
  LineWriter writer;
  StartWriting(&writer, sink, buffer, sizeof buffer);
  HeadingCut cut;
  StartHeadingCut(&cut);
  for (size_t at = 0; at < line.size(); at += step) {
    FeedHeadingCut(&cut, &writer, line.data() + at, line.size() - at < step ? line.size() - at : step);
  }
  FinishHeadingCut(&cut, &writer, keepEnding);
  FlushWriting(&writer);
  return {written, cut.cut, cut.kept};
}

TEST(HeadingCutTest, FirstAnnotationGoesWhereverThePiecesSplit) {
  const std::string a = " <span style=\"color: transparent;\">";
  struct Case {
    const char* name;
    std::string line;
    std::string rebuilt;  // without annotation and without its own ending
    std::string kept;     // as the line stays when nothing is cut
    bool cut;
  };
  const Case cases[] = {
      {"annotation and what follows go", " Title" + a + " ...4</span>\r\n", " Title", "", true},
      {"first of two", " A" + a + "x" + a + "\n", " A", "", true},
      {"no annotation: ending held back", " Plain  \r\n", " Plain  ", " Plain  \r\n", false},
      {"CR inside the text stays", " a\rb\n", " a\rb", " a\rb\n", false},
      {"several CRs at the end", " a\r\r\r\n", " a", " a\r\r\r\n", false},
      {"no line end", " last", " last", " last", false},
      {"almost an annotation", " A <span style=\"color: red;\">\n", " A <span style=\"color: red;\">",
       " A <span style=\"color: red;\">\n", false},
      {"spaces before the annotation's own", "  " + a + "\n", "  ", "", true},
      {"partial match, then the real one", " <span" + a + "\n", " <span", "", true},
      {"annotation cut short by the line end", " A" + a.substr(0, 20) + "\r\n", " A" + a.substr(0, 20),
       " A" + a.substr(0, 20) + "\r\n", false},
  };
  for (const Case& c : cases) {
    for (size_t step = 1; step <= c.line.size(); ++step) {
      Cut rebuilt = CutInSteps(c.line, step, false);
      EXPECT_EQ(rebuilt.written, c.rebuilt) << c.name << ", pieces of " << step;
      EXPECT_EQ(rebuilt.cut, c.cut) << c.name;
      EXPECT_EQ(rebuilt.kept, c.rebuilt.size()) << c.name;
      if (!c.cut) {
        EXPECT_EQ(CutInSteps(c.line, step, true).written, c.kept) << c.name << ", " << step;
      }
    }
  }
}

}  // namespace
