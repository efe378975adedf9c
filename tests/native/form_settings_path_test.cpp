#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "settings/settings_path.h"

namespace {

TEST(FormSettingsPath, ReplacesTheExtension) {
  const char* resolved = "C:\\work\\Foliostamp.exe";
  ASSERT_TRUE(FormSettingsPath(resolved, static_cast<uint32_t>(strlen(resolved))));
  EXPECT_STREQ(SettingsPath, "C:\\work\\Foliostamp.ini");
}

TEST(FormSettingsPath, LongestPathThatFits) {
  std::string resolved = "C:\\" + std::string(981, 'd') + "\\Foliostamp.exe";
  ASSERT_EQ(resolved.size(), 999u);
  ASSERT_TRUE(FormSettingsPath(resolved.c_str(), 999));
  EXPECT_EQ(std::string(SettingsPath), resolved.substr(0, 996) + "ini");
}

TEST(FormSettingsPath, FailuresLeaveItEmpty) {
  struct Case {
    const char* resolved;
    uint32_t reported;
  };
  const Case kCases[] = {
      {"", 0},                          // the system could not resolve it
      {"", 1200},                       // the size a longer buffer would need
      {"C:\\Foliostamp.exe", 1000},
      {"C:\\x\\Foliostamp.exe", 3000},
  };
  for (const Case& c : kCases) {
    SettingsPath[0] = 'x';
    SettingsPath[1] = '\0';
    EXPECT_FALSE(FormSettingsPath(c.resolved, c.reported));
    EXPECT_STREQ(SettingsPath, "");
  }
}

}  // namespace
