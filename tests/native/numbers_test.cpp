// Numbers in user texts: the page count of a "[TOC]" line and the skip list.
#include <stdint.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "common/numbers.h"
#include "paging/skip_table.h"

namespace {

TEST(NumbersTest, LeadingNumberLikeStrtolWithin32Bits) {
  struct Case {
    const char* text;
    int32_t value;
    int consumed;
  };
  const Case cases[] = {
      {"", 0, 0},          {"abc", 0, 0},        {" 2", 2, 2},           {"3 pages", 3, 1},
      {"-3", -3, 2},       {"+7x", 7, 2},        {"-", 0, 0},            {" + 1", 0, 0},
      {"\t\n 5", 5, 4},    {"0x10", 0, 1},       {"2147483647", INT32_MAX, 10},
      {"2147483648", INT32_MAX, 10},             {"-2147483649", INT32_MIN, 11},
      {"4294967299", INT32_MAX, 10},             {"000000000000000000001", 1, 21},
  };
  for (const Case& c : cases) {
    const char* end = nullptr;
    EXPECT_EQ(ParseLeadingInt32(c.text, &end), c.value) << c.text;
    EXPECT_EQ(end - c.text, c.consumed) << c.text;
  }
}

TEST(NumbersTest, TocPagesAreAtLeastOne) {
  const std::map<std::string, int32_t> cases = {
      {"", 1}, {"0", 1}, {"-3", 1}, {"abc", 1}, {" 2", 2}, {"3 pages", 3}, {"99999999999", INT32_MAX}};
  for (const auto& [text, pages] : cases) EXPECT_EQ(ReadTocPages(text.c_str()), pages) << text;
}

TEST(SkipTableTest, CountsEachMentionedNumber) {
  struct Case {
    const char* text;
    std::map<int, int> counts;  // every other entry is 0
  };
  const Case cases[] = {
      {"", {}},
      {"3, 7 7,12", {{3, 1}, {7, 2}, {12, 1}}},
      {",, 5 ,", {{5, 1}}},
      {"0,10000,-4", {}},
      {"3-5", {{3, 1}}},
      {"3,x,2", {{3, 1}, {2, 1}}},
      {"3;2", {{3, 1}}},
      {"4294967299,9999", {{9999, 1}}},
      {"0x10,4", {{4, 1}}},
      {"\t3,\n", {{3, 1}}},
      {"+6 - 2 . 8", {{6, 1}, {2, 1}, {8, 1}}},
  };
  for (const Case& c : cases) {
    int8_t table[kSkipTableSize];
    FillSkipTable(c.text, table);
    for (int n = 0; n < kSkipTableSize; ++n) {
      auto expected = c.counts.find(n);
      EXPECT_EQ(table[n], expected == c.counts.end() ? 0 : expected->second) << c.text << " @" << n;
    }
  }
}

TEST(SkipTableTest, CountersStopAt127) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "5 ";
  int8_t table[kSkipTableSize];
  FillSkipTable(text.c_str(), table);
  EXPECT_EQ(table[5], 127);
}

}  // namespace
