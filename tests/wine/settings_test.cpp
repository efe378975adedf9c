#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "common/store.h"
#include "form/form_win.h"
#include "paging/file_ops.h"
#include "settings/settings_path.h"
#include "settings/settings_win.h"
#include "wine_support.h"

namespace {

using SettingsTest = WindowTest;

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> Repeat(const std::string& line, int count) {
  return std::vector<std::string>(count, line);
}

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST_F(SettingsTest, FirstRunWritesTheFullFile) {
  OpenWindow();
  EXPECT_EQ(WindowText(ControlHandles[kCustomColorRow]), "blue");
  MoveWindow(window_, 100, 80, 600, 420, TRUE);
  EXPECT_EQ(CloseWindow(), 0);
  std::string expected = Lines(Join({{"20", std::to_string(FirstStartLanguage()), "100", "80", "700", "500"},
                                     Repeat("0", 15),
                                     {"21"},
                                     Repeat("", 3),
                                     {"blue"},
                                     Repeat("", 2),
                                     {"1", "80"},
                                     Repeat("", 13)}));
  EXPECT_EQ(ReadFileBytes(SettingsFile()), expected);
}

// The tests run on two prefixes; each must be the system it is meant to be,
// or the other tests prove less than they seem to.
TEST(WinePrefix, IsTheCodePageAndLanguageAskedFor) {
  const char* asked = getenv("FOLIOSTAMP_CODE_PAGE");
  if (asked == nullptr) GTEST_SKIP() << "not started through scripts/wine-env.sh";
  EXPECT_EQ(GetACP(), strtoul(asked, nullptr, 10));
  EXPECT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE, GetACP() == 932);
}

TEST_F(SettingsTest, FirstStartSpeaksTheUsersLanguageAndTheFileWins) {
  struct Case {
    const char* name;
    const char* file;  // null: no settings file
    int32_t language;
  };
  const Case kCases[] = {
      {"no settings file", nullptr, FirstStartLanguage()},
      {"Japanese in the file", "1\r\n0\r\n", 0},
      {"English in the file", "1\r\n1\r\n", 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    ResetStores();
    DeleteFileA(SettingsFile().c_str());
    if (c.file != nullptr) WriteFileBytes(SettingsFile(), c.file);
    OpenWindow();
    EXPECT_EQ(Settings[kLanguage], c.language);
    EXPECT_EQ(WindowText(ControlHandles[kExecuteRow]), c.language == 0 ? "実行" : "Execute");
  }
}

struct LoadCase {
  const char* name;
  std::vector<std::string> lines;
  std::vector<int32_t> settings;  // Settings[0] on; the rest stay 0
  std::vector<std::pair<int, std::string>> texts;
};

TEST_F(SettingsTest, LoadsWhatTheFileHolds) {
  std::vector<std::string> integers25 = {"25", "1"};
  for (int i = 1; i < 25; ++i) integers25.push_back(std::to_string(100 + i));
  const LoadCase kCases[] = {
      {"count 10: the twelfth line is the text count",
       {"10", "1", "11", "12", "13", "14", "15", "16", "17", "18", "19", "2", "t0", "t1", "t2"},
       {1, 11, 12, 13, 14, 15, 16, 17, 18, 19},
       {{0, "t0"}, {1, "t1"}, {2, ""}, {3, "blue"}}},
      {"count 25: five dropped, the 27th line is the text count",
       Join({integers25, {"3", "a", "b", "c"}}),
       {1, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117,
        118, 119},
       {{0, "a"}, {1, "b"}, {2, "c"}, {3, "blue"}}},
      {"text count 3 keeps the other initial texts",
       Join({{"20", "1"}, Repeat("7", 19), {"3", "x", "y", "z", "not a slot"}}),
       {1, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       {{2, "z"}, {kCustomColor, "blue"}, {kTocPageCount, "1"}, {kFontSizePercent, "80"}}},
      {"a file that ends after five integers",
       {"20", "1", "2", "3", "4", "5"},
       {1, 2, 3, 4, 5},
       {{kCustomColor, "blue"}, {kFontSizePercent, "80"}}},
      {"Language 2 becomes 0", {"1", "2"}, {0}, {}},
      {"a negative Language becomes 0", {"1", "-1"}, {0}, {}},
      {"a line without a number counts as 0", {"abc", "1"}, {}, {{kCustomColor, "blue"}}},
      {"a result with its line end",
       Join({{"20"}, Repeat("0", 20), {"2", "", "Error: No .md file.\x0b\x07"}}),
       {0},
       {{kResultText, "Error: No .md file.\r\n"}}},
  };
  for (const LoadCase& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    ResetStores();
    WriteFileBytes(SettingsFile(), Lines(c.lines));
    OpenWindow();
    // A file without integer lines leaves the first start's Language.
    int32_t language = c.settings.empty() ? FirstStartLanguage() : c.settings[0];
    for (int i = 0; i < kSettingsCount; ++i) {
      int32_t expected = i < static_cast<int>(c.settings.size()) ? c.settings[i] : 0;
      EXPECT_EQ(Settings[i], i == kLanguage ? language : expected) << "Settings[" << i << "]";
    }
    for (const auto& t : c.texts) {
      EXPECT_EQ(std::string(TextSlots[t.first]), t.second) << "TextSlots[" << t.first << "]";
    }
    EXPECT_EQ(WindowText(ControlHandles[kLanguageRow]), language == 1 ? "Japanese" : "English");
  }
}

TEST_F(SettingsTest, ResultWithLineEndsSurvivesAnExit) {
  SetTextSlot(kResultText, "Error: No .md file.\r\n");
  PrepareSettings();
  std::string written = ReadFileBytes(SettingsFile());
  EXPECT_NE(written.find("\r\nError: No .md file.\x0b\x07\r\n"), std::string::npos);
  OpenWindow();
  EXPECT_STREQ(TextSlots[kResultText], "Error: No .md file.\r\n");
  EXPECT_EQ(CloseWindow(), 0);
  std::string saved = ReadFileBytes(SettingsFile());
  EXPECT_EQ(saved.substr(saved.find("Error")), written.substr(written.find("Error")));
}

TEST_F(SettingsTest, LongestTextSurvivesAnExitWhole) {
  std::string longest(kTextSlotSize - 1, 'h');
  longest[0] = '<';
  longest[longest.size() - 1] = '>';
  SetTextSlot(kHeaderText, longest.c_str());
  PrepareSettings();
  OpenWindow();
  CloseWindow();  // the header goes through its edit control and back
  ResetStores();
  OpenWindow();
  EXPECT_EQ(std::string(TextSlots[kHeaderText]), longest);
}

TEST_F(SettingsTest, EditTextsBecomeUtf8CutBetweenCharacters) {
  std::string japanese;
  for (int i = 0; i < 10666; ++i) japanese += "日";  // 31998 bytes
  struct Case {
    const char* name;
    std::wstring typed;
    std::string harvested;
  };
  const Case kCases[] = {
      {"any character", L"\u00dcn\u00efc\u00f6d\u00e9 \ud55c\uad6d\uc5b4 \U0001F600",
       "Ünïcödé 한국어 😀"},
      {"three-byte characters past a slot", std::wstring(12000, L'\u65e5'), japanese},
      {"a four-byte character across the end", std::wstring(31997, L'a') + L"\U0001F600",
       std::string(31997, 'a')},
      {"the longest ASCII text", std::wstring(31999, L'z'), std::string(31999, 'z')},
  };
  OpenWindow();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    SetWindowTextW(ControlHandles[kHeaderTextRow], c.typed.c_str());
    HarvestEdits();
    EXPECT_TRUE(std::string(TextSlots[kHeaderText]) == c.harvested) << strlen(TextSlots[kHeaderText]);
  }
}

TEST_F(SettingsTest, SavedRectangleNeedsMoreThanFivePixels) {
  struct Case {
    int32_t left, top, right, bottom;
    bool moved;
  };
  const Case kCases[] = {
      {100, 100, 106, 300, true},
      {100, 100, 105, 300, false},
      {100, 100, 700, 105, false},
      {120, 90, 720, 590, true},
      {INT32_MIN, 0, INT32_MAX, 400, false},
      {0, INT32_MAX, 600, INT32_MIN, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.left << ", " << c.top << ", " << c.right << ", " << c.bottom);
    CloseWindow();
    ResetStores();
    Settings[kWindowLeft] = c.left;
    Settings[kWindowTop] = c.top;
    Settings[kWindowRight] = c.right;
    Settings[kWindowBottom] = c.bottom;
    PrepareSettings();
    OpenWindow();
    RECT rect;
    GetWindowRect(window_, &rect);
    // The platform may widen a very narrow window to its minimum width.
    bool there = rect.left == c.left && rect.top == c.top && rect.bottom == c.bottom;
    EXPECT_EQ(there, c.moved);
    if (!c.moved) {
      EXPECT_GT(rect.right - rect.left, 5);
    }
  }
}

TEST_F(SettingsTest, SavedRectangleIsTheNormalOneWhateverTheShowState) {
  const struct {
    const char* name;
    int show;
  } kCases[] = {{"normal", SW_SHOWNORMAL}, {"minimised", SW_MINIMIZE}, {"maximised", SW_MAXIMIZE}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    ResetStores();
    DeleteFileA(SettingsFile().c_str());
    OpenWindow();
    MoveWindow(window_, 110, 70, 620, 430, TRUE);
    ShowWindow(window_, c.show);
    PumpMessages();
    EXPECT_EQ(CloseWindow(), 0);
    EXPECT_EQ(Settings[kWindowLeft], 110);
    EXPECT_EQ(Settings[kWindowTop], 70);
    EXPECT_EQ(Settings[kWindowRight], 730);
    EXPECT_EQ(Settings[kWindowBottom], 500);
    // The next start shows the window there again.
    ResetStores();
    OpenWindow();
    RECT rect;
    GetWindowRect(window_, &rect);
    EXPECT_EQ(rect.left, 110);
    EXPECT_EQ(rect.top, 70);
    EXPECT_EQ(rect.right, 730);
    EXPECT_EQ(rect.bottom, 500);
  }
}

TEST_F(SettingsTest, FileIsTheOneInTheCurrentDirectory) {
  OpenWindow();
  std::string expected = SettingsFile();
  EXPECT_EQ(lstrcmpiA(SettingsPath, expected.c_str()), 0) << SettingsPath;
  // Another current directory later (the file dialog may change it) changes nothing.
  std::string elsewhere = MakeTempFolder();
  SetCurrentDirectoryA(elsewhere.c_str());
  EXPECT_EQ(CloseWindow(), 0);
  EXPECT_TRUE(FileExists(expected));
  EXPECT_FALSE(FileExists(elsewhere + "\\Foliostamp.ini"));
}

TEST_F(SettingsTest, EmptySettingsPathWritesNothing) {
  OpenWindow();
  SettingsPath[0] = '\0';
  EXPECT_EQ(CloseWindow(), 0);
  EXPECT_FALSE(FileExists(SettingsFile()));
}

TEST_F(SettingsTest, SavedOptionsComeBackNextRun) {
  OpenWindow();
  int32_t otherLanguage = 1 - Settings[kLanguage];
  Click(kLanguageRow);
  Click(kGrayRow);
  Click(kFirstPageRow);
  SetWindowTextA(ControlHandles[kHeaderTextRow], "My book");
  EXPECT_EQ(CloseWindow(), 0);
  ResetStores();
  OpenWindow();
  EXPECT_EQ(Settings[kLanguage], otherLanguage);
  EXPECT_EQ(WindowText(ControlHandles[kExecuteRow]), otherLanguage == 1 ? "Execute" : "実行");
  EXPECT_EQ(SendMessageA(ControlHandles[kGrayRow], BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(ControlHandles[kFirstPageRow], BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(WindowText(ControlHandles[kHeaderTextRow]), "My book");
}

TEST_F(SettingsTest, FileOfAnEarlierBuildWithAPathInTheCodePage) {
  // A name this system's code page holds, saved in it as earlier builds did.
  std::string md = Path(GetACP() == 932 ? "日本語の本.md" : "Café.md");
  std::string stored = InCodePage(GetACP(), md);
  ASSERT_NE(stored, md);
  std::string document = std::string("# One\r\ntext\r\n") +
                         "<div style=\"page-break-after:always;\"></div>\r\n\r\n# Two\r\n";
  WriteFileBytes(md, document);
  std::string file = Lines(Join({{"20"}, Repeat("0", 20), {"21", "", "Done undo.", stored, "blue"},
                                 Repeat("", 2), {"1", "80"}, Repeat("", 13)}));
  WriteFileBytes(SettingsFile(), file);
  OpenWindow();
  EXPECT_EQ(std::string(TextSlots[kMarkdownPath]), md);
  EXPECT_STREQ(TextSlots[kResultText], "Done undo.");
  Click(kExecuteRow);
  ASSERT_TRUE(WaitForJobEnd());
  EXPECT_STREQ(TextSlots[kResultText], "Total 2 pages.");
  EXPECT_NE(ReadFileBytes(md).find(" 2 / 2</span></div>"), std::string::npos);
  // Saved again, the path is in the code page as before, for earlier builds.
  EXPECT_EQ(CloseWindow(), 0);
  EXPECT_NE(ReadFileBytes(SettingsFile()).find("\r\n" + stored + "\r\n"), std::string::npos);
}

}  // namespace
