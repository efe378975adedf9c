#include <gtest/gtest.h>

#include <string>

#include "commands/report_box.h"

namespace {

std::string Lines(int count, const char* end) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "Page " + std::to_string(i) + " runs over." + end;
  return text;
}

std::string Box(const std::string& report, size_t size = 4096) {
  char out[4096];
  BoxReportText(report.c_str(), out, size);
  return out;
}

TEST(BoxReportText, FifteenLinesThenAnEllipsis) {
  struct Case {
    const char* name;
    std::string report;
    std::string shown;
  };
  const Case kCases[] = {
      {"one line", "The page numbers agree.", "The page numbers agree."},
      {"CR LF between lines", "Page 2 runs over.\r\nTotal 4 pages.", "Page 2 runs over.\nTotal 4 pages."},
      {"a last line end is dropped", "Page 2 runs over.\r\n", "Page 2 runs over."},
      {"exactly fifteen", Lines(15, "\r\n"), Lines(15, "\n").substr(0, Lines(15, "\n").size() - 1)},
      {"sixteen", Lines(16, "\r\n"), Lines(15, "\n") + "\xE2\x80\xA6"},
      {"forty, LF only", Lines(40, "\n"), Lines(15, "\n") + "\xE2\x80\xA6"},
      {"empty", "", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Box(c.report), c.shown);
  }
}

TEST(BoxReportText, SmallBufferCutsBeforeACharacter) {
  // "第" is three bytes: 6 bytes of room hold "ab" and one character whole.
  EXPECT_EQ(Box("ab\xe7\xac\xac\xe4\xba\x8c", 6), "ab\xe7\xac\xac");
  EXPECT_EQ(Box("ab\xe7\xac\xac\xe4\xba\x8c", 5), "ab");
  EXPECT_EQ(Box("abcdef", 4), "abc");
  char out[1] = {'x'};
  BoxReportText("abc", out, 1);
  EXPECT_EQ(out[0], '\0');
}

}  // namespace
