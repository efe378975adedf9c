// The settings file: what is written, and what is read back.
#include <string>

#include <gtest/gtest.h>

#include "common/store.h"
#include "settings/settings_codec.h"
#include "test_files.h"

namespace {

class SettingsCodecTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetStores(); }
  void TearDown() override { ResetStores(); }
  std::string Load(const std::string& bytes) {
    WriteFileBytes(path, bytes);
    EXPECT_TRUE(ReadSettingsFile(path.c_str()));
    return "";
  }
  TempFolder folder;
  std::string path = folder.Path("Foliostamp.ini");
};

// The lines of a file as a first run writes it, with the given rectangle.
std::string FirstRunFile(int left, int top, int right, int bottom) {
  std::string file = "20\r\n0\r\n" + std::to_string(left) + "\r\n" + std::to_string(top) + "\r\n" +
                     std::to_string(right) + "\r\n" + std::to_string(bottom) + "\r\n";
  for (int i = 0; i < 15; ++i) file += "0\r\n";
  file += "21\r\n\r\n\r\n\r\nblue\r\n\r\n\r\n1\r\n80\r\n";
  for (int i = 0; i < 13; ++i) file += "\r\n";
  return file;
}

TEST_F(SettingsCodecTest, FirstRunWritesFortyThreeLines) {
  Settings[kWindowLeft] = 100;
  Settings[kWindowTop] = 80;
  Settings[kWindowRight] = 700;
  Settings[kWindowBottom] = 500;
  ASSERT_TRUE(WriteSettingsFile(path.c_str()));
  const std::string written = ReadFileBytes(path);
  EXPECT_EQ(written, FirstRunFile(100, 80, 700, 500));
  size_t lines = 0;
  for (char c : written) lines += c == '\n';
  EXPECT_EQ(lines, 43u);
}

TEST_F(SettingsCodecTest, CountsDecideWhatIsRead) {
  struct Case {
    const char* name;
    std::string file;
    int settings[kSettingsCount];
    const char* slot3;
    const char* slot6;
  };
  std::string ten = "10\r\n";
  for (int i = 1; i <= 10; ++i) ten += std::to_string(i) + "\r\n";
  ten += "4\r\na\r\nb\r\nc\r\nd\r\n";
  std::string twentyFive = "25\r\n";
  for (int i = 1; i <= 25; ++i) twentyFive += std::to_string(i) + "\r\n";
  twentyFive += "7\r\n\r\n\r\n\r\nred\r\n\r\n\r\n3\r\n";
  const Case cases[] = {
      {"first count of 10", ten, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "d", "1"},
      {"first count of 25", twentyFive,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, "red", "3"},
      {"text count of 3", "0\r\n3\r\nx\r\ny\r\nz\r\n", {}, "blue", "1"},
      {"ends after five integer lines", "20\r\n1\r\n2\r\n3\r\n4\r\n5\r\n", {1, 2, 3, 4, 5}, "blue", "1"},
      {"lines without numbers count 0", "abc\r\n2\r\ncolor\r\nx\r\n", {}, "blue", "1"},
      {"LF alone ends a line, blanks before a number", "2\n 1\n -9\n4\n\n\n\ngreen", {1, -9}, "green", "1"},
  };
  for (const Case& c : cases) {
    ResetStores();
    Load(c.file);
    for (int i = 0; i < kSettingsCount; ++i) EXPECT_EQ(Settings[i], c.settings[i]) << c.name << " @" << i;
    EXPECT_STREQ(TextSlots[kCustomColor], c.slot3) << c.name;
    EXPECT_STREQ(TextSlots[kTocPageCount], c.slot6) << c.name;
    EXPECT_STREQ(TextSlots[kFontSizePercent], "80") << c.name;
  }
}

TEST_F(SettingsCodecTest, LanguageOutsideItsRangeBecomesJapanese) {
  const std::pair<const char*, int> cases[] = {{"2", 0}, {"1", 1}, {"-1", 0}, {"7", 0}};
  for (const auto& [stored, language] : cases) {
    Load(std::string("1\r\n") + stored + "\r\n");
    EXPECT_EQ(Settings[kLanguage], language) << stored;
  }
  Settings[kLanguage] = 5;
  EXPECT_FALSE(ReadSettingsFile(folder.Path("missing.ini").c_str()));
  EXPECT_EQ(Settings[kLanguage], 0);
}

TEST_F(SettingsCodecTest, TextsRoundTripWhole) {
  SetTextSlot(kResultText, "Error: No .md file.\r\n");
  SetTextSlot(kHeaderText, std::string(31999, 'h').c_str());
  SetTextSlot(kMarkdownPath, "C:\\docs\\\x83\x65\x83\x58\x83\x67.md");
  ASSERT_TRUE(WriteSettingsFile(path.c_str()));
  const std::string written = ReadFileBytes(path);
  EXPECT_NE(written.find("Error: No .md file.\x0b\x07\r\n"), std::string::npos);

  ResetStores();
  ASSERT_TRUE(ReadSettingsFile(path.c_str()));
  EXPECT_STREQ(TextSlots[kResultText], "Error: No .md file.\r\n");
  EXPECT_EQ(std::string(TextSlots[kHeaderText]), std::string(31999, 'h'));
  EXPECT_STREQ(TextSlots[kMarkdownPath], "C:\\docs\\\x83\x65\x83\x58\x83\x67.md");
  EXPECT_STREQ(TextSlots[kCustomColor], "blue");
}

TEST_F(SettingsCodecTest, OverlongAndUnterminatedLines) {
  // A hand-edited line longer than a slot keeps what fits; the next line
  // is still the next value. The last line needs no line end.
  Load("0\r\n3\r\n\r\n" + std::string(40000, 'r') + "\r\nlast");
  EXPECT_EQ(std::string(TextSlots[kResultText]), std::string(31999, 'r'));
  EXPECT_STREQ(TextSlots[kMarkdownPath], "last");
}

TEST_F(SettingsCodecTest, UnwritableFileIsReported) {
  EXPECT_FALSE(WriteSettingsFile(folder.Path("no/such/folder.ini").c_str()));
}

}  // namespace
