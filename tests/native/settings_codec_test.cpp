// The settings file: what is written, and what is read back.
#include <stdio.h>

#include <string>
#include <vector>

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
  SetTextSlot(kMarkdownPath, "C:\\docs\\テスト.md");
  ASSERT_TRUE(WriteSettingsFile(path.c_str()));
  const std::string written = ReadFileBytes(path);
  EXPECT_NE(written.find("Error: No .md file.\x0b\x07\r\n"), std::string::npos);

  ResetStores();
  ASSERT_TRUE(ReadSettingsFile(path.c_str()));
  EXPECT_STREQ(TextSlots[kResultText], "Error: No .md file.\r\n");
  EXPECT_EQ(std::string(TextSlots[kHeaderText]), std::string(31999, 'h'));
  EXPECT_STREQ(TextSlots[kMarkdownPath], "C:\\docs\\テスト.md");
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

// A stand-in code page for the tests: Latin-1, where byte n is U+00nn.
bool Latin1ToUtf8(const char* text, char* out, size_t outSize) {
  size_t used = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    size_t need = *p < 0x80 ? 1 : 2;
    if (used + need >= outSize) {
      out[0] = '\0';
      return false;
    }
    if (need == 1) {
      out[used++] = static_cast<char>(*p);
    } else {
      out[used++] = static_cast<char>(0xC0 | (*p >> 6));
      out[used++] = static_cast<char>(0x80 | (*p & 0x3F));
    }
  }
  out[used] = '\0';
  return true;
}

// Characters past U+00FF become '?', as a code page's default character.
bool Utf8ToLatin1(const char* text, char* out, size_t outSize, bool* exact) {
  *exact = true;
  size_t used = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    unsigned codePoint = *p;
    int extra = *p >= 0xF0 ? 3 : *p >= 0xE0 ? 2 : *p >= 0xC0 ? 1 : 0;
    if (extra > 0) codePoint = *p & (0x3F >> extra);
    ++p;
    for (int i = 0; i < extra && *p != 0; ++i, ++p) codePoint = codePoint << 6 | (*p & 0x3F);
    if (used + 1 >= outSize) {
      out[0] = '\0';
      return false;
    }
    if (codePoint > 0xFF) *exact = false;
    out[used++] = codePoint > 0xFF ? '?' : static_cast<char>(codePoint);
  }
  out[used] = '\0';
  return true;
}

const SettingsTextConversions kLatin1 = {Latin1ToUtf8, Utf8ToLatin1};

// The text lines as earlier builds read them: lines end at LF (with a CR
// before it), bytes 11 and 7 turn back into CR and LF, and nothing else is
// looked at.
std::vector<std::string> EarlierBuildTexts(const std::string& file) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < file.size();) {
    size_t end = file.find('\n', at);
    if (end == std::string::npos) end = file.size();
    size_t length = end - at;
    if (length > 0 && file[end - 1] == '\r') --length;
    lines.push_back(file.substr(at, length));
    at = end + 1;
  }
  std::vector<std::string> texts;
  if (lines.size() != 43 || lines[21] != "21") return texts;
  for (size_t i = 22; i < lines.size(); ++i) {
    std::string text = lines[i];
    for (char& c : text) c = c == 7 ? '\n' : c == 11 ? '\r' : c;
    texts.push_back(text);
  }
  return texts;
}

// The bytes of a text line as saved, without its line end.
std::string TextLine(const std::string& file, int slot) {
  size_t at = 0;
  for (int line = 0; line < 22 + slot; ++line) at = file.find("\r\n", at) + 2;
  return file.substr(at, file.find("\r\n", at) - at);
}

TEST_F(SettingsCodecTest, TextInTheCodePageWhenItFitsExactlyAfterTheMarkOtherwise) {
  const std::string kMark = "\xEF\xBB\xBF";
  struct Case {
    const char* name;
    std::string text;  // UTF-8
    std::string line;  // as saved
  };
  const Case kCases[] = {
      {"ASCII", "My book", "My book"},
      {"Latin-1 letters", "Caf\u00e9 \u00dcn\u00efc\u00f6d\u00e9", "Caf\xe9 \xdcn\xef" "c\xf6" "d\xe9"},
      {"Japanese", "\u65e5\u672c\u8a9e", kMark + "\u65e5\u672c\u8a9e"},
      {"one emoji among Latin-1", "Caf\u00e9 \U0001F600", kMark + "Caf\u00e9 \U0001F600"},
      {"line ends stay stored as 11 and 7", "\ud55c\r\n", kMark + "\ud55c\x0b\x07"},
      {"a Latin-1 form that would read as the mark", "\u00ef\u00bb\u00bfx", kMark + "\u00ef\u00bb\u00bfx"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ResetStores();
    SetTextSlot(kHeaderText, c.text.c_str());
    ASSERT_TRUE(WriteSettingsFile(path.c_str(), kLatin1));
    EXPECT_EQ(TextLine(ReadFileBytes(path), kHeaderText), c.line);
    ResetStores();
    ASSERT_TRUE(ReadSettingsFile(path.c_str(), kLatin1));
    EXPECT_EQ(std::string(TextSlots[kHeaderText]), c.text);
  }
}

TEST_F(SettingsCodecTest, FileOfAnEarlierBuildLoadsFromItsCodePage) {
  std::string file = FirstRunFile(10, 20, 610, 420);
  std::string oldPath = "C:\\Caf\xe9\\r\xe9sum\xe9.md";
  file.replace(file.find("21\r\n\r\n\r\n") + 8, 0, oldPath);
  WriteFileBytes(path, file);
  ASSERT_TRUE(ReadSettingsFile(path.c_str(), kLatin1));
  EXPECT_STREQ(TextSlots[kMarkdownPath], "C:\\Caf\u00e9\\r\u00e9sum\u00e9.md");
  EXPECT_STREQ(TextSlots[kCustomColor], "blue");
  EXPECT_EQ(Settings[kWindowRight], 610);
  // Saved again, nothing in it changes.
  ASSERT_TRUE(WriteSettingsFile(path.c_str(), kLatin1));
  EXPECT_EQ(ReadFileBytes(path), file);
}

TEST_F(SettingsCodecTest, AsciiFileSavesByteForByte) {
  std::string file = FirstRunFile(-4, 7, 800, 600);
  file.replace(file.find("21\r\n\r\n") + 6, 0, "Total 3 pages.\x0b\x07");
  file.replace(file.find("blue"), 4, "#ff8800");
  WriteFileBytes(path, file);
  ASSERT_TRUE(ReadSettingsFile(path.c_str()));
  ASSERT_TRUE(WriteSettingsFile(path.c_str()));
  EXPECT_EQ(ReadFileBytes(path), file);
}

TEST_F(SettingsCodecTest, EarlierBuildSeesTheMarkAndEverythingElse) {
  SetTextSlot(kResultText, "Total 3 pages.\r\n");
  SetTextSlot(kMarkdownPath, "C:\\Caf\u00e9.md");
  SetTextSlot(kHeaderText, "\u7b2c1\u7ae0 \U0001F600");
  ASSERT_TRUE(WriteSettingsFile(path.c_str(), kLatin1));

  std::vector<std::string> texts = EarlierBuildTexts(ReadFileBytes(path));
  ASSERT_EQ(texts.size(), 21u);
  EXPECT_EQ(texts[kHeaderText], "\xEF\xBB\xBF\u7b2c1\u7ae0 \U0001F600");
  EXPECT_EQ(texts[kMarkdownPath], "C:\\Caf\xe9.md");
  EXPECT_EQ(texts[kResultText], "Total 3 pages.\r\n");
  EXPECT_EQ(texts[kCustomColor], "blue");
  EXPECT_EQ(texts[kFontSizePercent], "80");
}

TEST_F(SettingsCodecTest, LongTextsAreCutBetweenCharacters) {
  // The longest UTF-8 text a slot holds comes back whole after its mark.
  std::string longest;
  while (longest.size() + 3 <= 31999) longest += "\u65e5";
  longest += "a";
  ASSERT_EQ(longest.size(), 31999u);
  SetTextSlot(kHeaderText, longest.c_str());
  ASSERT_TRUE(WriteSettingsFile(path.c_str(), kLatin1));
  ResetStores();
  ASSERT_TRUE(ReadSettingsFile(path.c_str(), kLatin1));
  EXPECT_TRUE(std::string(TextSlots[kHeaderText]) == longest);

  // A code page line that grows past a slot in UTF-8 keeps whole characters,
  // and so does an overlong line after the mark.
  WriteFileBytes(path, "0\r\n3\r\n\r\n" + std::string(31999, '\xe9') + "\r\n\xEF\xBB\xBF" +
                           std::string(5, 'x') + longest + "\r\n\r\n");
  ASSERT_TRUE(ReadSettingsFile(path.c_str(), kLatin1));
  std::string grown = TextSlots[kResultText];
  EXPECT_EQ(grown.size(), 31998u);
  EXPECT_EQ(grown.substr(grown.size() - 2), "\u00e9");
  std::string marked = TextSlots[kMarkdownPath];
  EXPECT_EQ(marked.size(), 31997u);
  EXPECT_EQ(marked.substr(0, 8), "xxxxx\u65e5");
  EXPECT_EQ(marked.substr(marked.size() - 3), "\u65e5");
}

}  // namespace
