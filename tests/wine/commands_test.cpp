#include <gtest/gtest.h>

#include <string>

#include "commands/commands_win.h"
#include "common/store.h"
#include "form/form_win.h"
#include "paging/file_ops.h"
#include "wine_support.h"

namespace {

using CommandTest = WindowTest;

const char kBreak[] = "<div style=\"page-break-after:always;\"></div>\r\n";

std::string SmallDocument() {
  // A blank line after each break: what a removal leaves, so Delete gives it back.
  return std::string("# One\r\ntext\r\n") + kBreak + "\r\n# Two\r\nmore\r\n" + kBreak +
         "\r\n# Three\r\nend\r\n";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool Checked(int row) {
  return SendMessageA(ControlHandles[row], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

const int kLockedRows[] = {4, 10, 12, 14, 16, 21, 41, 42, 43, 44, 47, 49};
const int kFreeRows[] = {1, 2, 18, 19, 20, 24, 25, 30, 31, 33, 34, 35};

TEST_F(CommandTest, ExecuteDeleteAndUndo) {
  std::string md = Path("book.md");
  std::string bak = Path("book.bak");
  std::string original = SmallDocument();
  WriteFileBytes(md, original);
  PrepareSettings();  // Japanese, whatever the user's language
  OpenWindow();
  SetTextSlot(kMarkdownPath, md.c_str());

  Click(kExecuteRow);
  ASSERT_TRUE(WaitForJobEnd());
  EXPECT_STREQ(TextSlots[kResultText], "Total 3 pages.");
  EXPECT_EQ(ReadFileBytes(bak), original);
  std::string numbered = ReadFileBytes(md);
  EXPECT_EQ(Count(numbered, "<div style=\"text-align:"), 2u);
  EXPECT_NE(numbered.find(" 2 / 3"), std::string::npos);
  EXPECT_NE(numbered.find(" 3 / 3"), std::string::npos);

  Click(kDeleteRow);  // no question asked
  ASSERT_TRUE(WaitForJobEnd());
  EXPECT_STREQ(TextSlots[kResultText], "Total 3 pages.");
  EXPECT_EQ(ReadFileBytes(md), original);
  EXPECT_EQ(ReadFileBytes(bak), numbered);

  {
    BoxAnswerer no("Undo", IDNO);
    Click(kUndoRow);
    ASSERT_TRUE(no.Join());
    EXPECT_EQ(no.text(), "本当に復元しますか? 現在の.mdの内容が失われます。");
  }
  EXPECT_EQ(JobThread, nullptr);
  EXPECT_STREQ(TextSlots[kResultText], "Total 3 pages.");
  EXPECT_EQ(ReadFileBytes(md), original);
  {
    // Enter presses the default button, No: it never rewrites the file.
    BoxAnswerer enter("Undo", BoxAnswerer::kEnter);
    Click(kUndoRow);
    ASSERT_TRUE(enter.Join());
    PumpMessages();
  }
  EXPECT_EQ(JobThread, nullptr);
  EXPECT_EQ(ReadFileBytes(md), original);

  {
    BoxAnswerer yes("Undo", IDYES);
    Click(kUndoRow);
    ASSERT_TRUE(yes.Join());
  }
  ASSERT_TRUE(WaitForJobEnd());
  EXPECT_STREQ(TextSlots[kResultText], "Done undo.");
  EXPECT_EQ(ReadFileBytes(md), numbered);
}

TEST_F(CommandTest, JobThatFailsAtOnceLeavesInputsEnabled) {
  OpenWindow();
  SetTextSlot(kResultText, "old result");
  SetTextSlot(kMarkdownPath, Path("notes.txt").c_str());
  Click(kExecuteRow);
  EXPECT_STREQ(TextSlots[kResultText], "");
  ASSERT_TRUE(WaitForJobEnd());
  EXPECT_STREQ(TextSlots[kResultText], "Error: No .md file.\r\n");
  for (int row : kLockedRows) EXPECT_TRUE(IsWindowEnabled(ControlHandles[row])) << row;
  EXPECT_EQ(JobThread, nullptr);
}

TEST_F(CommandTest, InputsLockedWhileAJobRuns) {
  int pages = 0;
  std::string md = Path("large.md");
  std::string original = LargeDocument(&pages);
  WriteFileBytes(md, original);
  PrepareSettings();  // Japanese, whatever the user's language
  OpenWindow();
  SetTextSlot(kMarkdownPath, md.c_str());
  SetWindowTextA(ControlHandles[kHeaderTextRow], "Book");

  Click(kExecuteRow);
  ASSERT_NE(JobThread, nullptr);
  EXPECT_STREQ(TextSlots[kHeaderText], "Book");  // harvested at the start
  for (int row : kLockedRows) EXPECT_FALSE(IsWindowEnabled(ControlHandles[row])) << row;
  for (int row : kFreeRows) EXPECT_TRUE(IsWindowEnabled(ControlHandles[row])) << row;
  // The options stay usable meanwhile.
  Click(kGrayRow);
  Click(kKeepBackupRow);
  Click(kLanguageRow);
  EXPECT_EQ(Settings[kColorChoice], 1);
  EXPECT_TRUE(Checked(kGrayRow));
  EXPECT_FALSE(Checked(kBlackRow));
  EXPECT_EQ(Settings[kKeepExistingBackup], 1);
  EXPECT_TRUE(Checked(kKeepBackupRow));
  EXPECT_EQ(WindowText(ControlHandles[kLanguageRow]), "Japanese");
  // A file dropped meanwhile is not taken: the job reads the paths.
  DropFiles(window_, {Path("other.md"), Path("other.pdf")});
  EXPECT_EQ(std::string(TextSlots[kMarkdownPath]), md);
  EXPECT_STREQ(TextSlots[kPdfPath], "");

  ASSERT_TRUE(WaitForJobEnd());
  for (int row : kLockedRows) EXPECT_TRUE(IsWindowEnabled(ControlHandles[row])) << row;
  EXPECT_EQ(JobThread, nullptr);
  EXPECT_EQ(std::string(TextSlots[kResultText]), "Total " + std::to_string(pages) + " pages.");
  EXPECT_EQ(Count(ReadFileBytes(md), "<div style=\"text-align:"), static_cast<size_t>(pages - 1));
}

TEST_F(CommandTest, EditNotificationChangesNothing) {
  OpenWindow();
  SetTextSlot(kResultText, "Total 3 pages.");
  ValidateRect(window_, nullptr);
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kHeaderTextRow, EN_CHANGE),
               reinterpret_cast<LPARAM>(ControlHandles[kHeaderTextRow]));
  SetWindowTextA(ControlHandles[kSkipPagesRow], "3");  // a real change notification
  EXPECT_STREQ(TextSlots[kResultText], "Total 3 pages.");
  EXPECT_STREQ(TextSlots[kSkipPages], "");  // only harvested when a job starts
  RECT update;
  EXPECT_FALSE(GetUpdateRect(window_, &update, FALSE));
}

TEST_F(CommandTest, TwoLanguageClicksBringTheCaptionsBack) {
  PrepareSettings();  // Japanese, whatever the user's language
  OpenWindow();
  SetTextSlot(kResultText, "Done undo.");
  std::string before[kLayoutRowCount];
  for (int row = 0; row < kLayoutRowCount; ++row) {
    if (ControlHandles[row] != nullptr) before[row] = WindowText(ControlHandles[row]);
  }
  Click(kLanguageRow);
  EXPECT_EQ(Settings[kLanguage], 1);
  EXPECT_EQ(WindowText(ControlHandles[kLanguageRow]), "Japanese");
  EXPECT_EQ(WindowText(ControlHandles[kExecuteRow]), "Execute");
  EXPECT_EQ(WindowText(ControlHandles[kCustomColorRow]), "blue");  // data, not a caption
  Click(kLanguageRow);
  EXPECT_EQ(Settings[kLanguage], 0);
  for (int row = 0; row < kLayoutRowCount; ++row) {
    if (ControlHandles[row] != nullptr) {
      EXPECT_EQ(WindowText(ControlHandles[row]), before[row]) << row;
    }
  }
  EXPECT_STREQ(TextSlots[kResultText], "Done undo.");
}

TEST_F(CommandTest, RadioGroups) {
  struct Case {
    const char* name;
    int setting;
    int32_t start;
    int click;
    int32_t after;
    int markedRows[3];  // rows that must be marked afterwards; 0 ends
    int clearRows[3];   // rows that must not be
  };
  const Case kCases[] = {
      {"gray from black", kColorChoice, 0, kGrayRow, 1, {kGrayRow}, {kBlackRow, kCustomColorRadioRow}},
      {"the marked radio again", kColorChoice, 1, kGrayRow, 1, {kGrayRow}, {kBlackRow}},
      {"custom colour", kColorChoice, 0, kCustomColorRadioRow, 2, {kCustomColorRadioRow}, {kBlackRow}},
      {"format", kFormatChoice, 0, kFormatParenRow, 1, {kFormatParenRow, kBlackRow}, {kFormatFirstRow}},
      {"position", kPositionChoice, 1, kPositionRightRow, 0, {kPositionRightRow}, {kPositionCenterRow}},
      // A value naming row 24, outside the colour group: the format mark stays.
      {"colour 6 from an edited file", kColorChoice, 6, kGrayRow, 1, {kGrayRow, kFormatFirstRow}, {kBlackRow}},
      {"colour far outside the table", kColorChoice, 1000, kBlackRow, 0, {kBlackRow}, {kGrayRow}},
      {"colour -100", kColorChoice, -100, kBlackRow, 0, {kBlackRow}, {kGrayRow}},
      {"colour INT32_MAX", kColorChoice, INT32_MAX, kGrayRow, 1, {kGrayRow}, {kBlackRow}},
      {"position INT32_MIN", kPositionChoice, INT32_MIN, kPositionCenterRow, 1, {kPositionCenterRow}, {kPositionRightRow}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    ResetStores();
    Settings[c.setting] = c.start;
    PrepareSettings();
    OpenWindow();
    SetTextSlot(kResultText, "Total 3 pages.");
    Click(c.click);
    EXPECT_EQ(Settings[c.setting], c.after);
    for (int row : c.markedRows) {
      if (row != 0) {
        EXPECT_TRUE(Checked(row)) << row;
      }
    }
    for (int row : c.clearRows) {
      if (row != 0) {
        EXPECT_FALSE(Checked(row)) << row;
      }
    }
    EXPECT_STREQ(TextSlots[kResultText], "");
  }
}

TEST_F(CommandTest, CheckBoxFromAnEditedFile) {
  Settings[kNumberFirstPage] = 5;
  PrepareSettings();
  OpenWindow();
  EXPECT_TRUE(Checked(kFirstPageRow));
  Click(kFirstPageRow);
  EXPECT_EQ(Settings[kNumberFirstPage], 0);
  EXPECT_FALSE(Checked(kFirstPageRow));
  Click(kFirstPageRow);
  EXPECT_EQ(Settings[kNumberFirstPage], 1);
  EXPECT_TRUE(Checked(kFirstPageRow));
}

TEST_F(CommandTest, ExitAnswers) {
  struct Case {
    int32_t language;
    const char* text;  // UTF-8
    int answer;
    bool ends;
  };
  const Case kCases[] = {
      {0, "本当に終了しますか？", IDNO, false},
      {1, "Really exit?", IDNO, false},
      {1, "Really exit?", IDYES, true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.answer);
    CloseWindow();
    ResetStores();
    Settings[kLanguage] = c.language;
    PrepareSettings();
    OpenWindow();
    DeleteFileA(SettingsFile().c_str());  // only an exit writes it again
    {
      BoxAnswerer answerer("Exit", c.answer);
      Click(kExitRow);
      ASSERT_TRUE(answerer.Join());
      EXPECT_EQ(answerer.text(), c.text);
    }
    MSG quit;
    bool ended = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    EXPECT_EQ(ended, c.ends);
    if (ended) {
      EXPECT_EQ(quit.wParam, 0u);
    }
    EXPECT_EQ(FileExists(SettingsFile()), c.ends);
  }
}

// Finds the open-file dialog owned by the main window, notes its filter
// and file name, and then types a name and presses OK, or cancels.
struct DialogDriver {
  HWND owner;
  std::string typeName;  // empty: cancel
  bool found = false;
  std::string filterText;
  int filterCount = -1;
  std::string fileName;

  static DWORD WINAPI Run(void* self) {
    DialogDriver* d = static_cast<DialogDriver*>(self);
    for (int i = 0; i < 500 && !d->found; ++i) {
      Sleep(20);
      HWND dialog = nullptr;
      while ((dialog = FindWindowExA(nullptr, dialog, "#32770", nullptr)) != nullptr) {
        if (GetWindow(dialog, GW_OWNER) == d->owner && IsWindowVisible(dialog)) break;
      }
      if (dialog == nullptr) continue;
      Sleep(200);  // let the dialog fill its controls
      d->found = true;
      HWND filter = GetDlgItem(dialog, 0x470);  // the file type list
      d->filterCount = static_cast<int>(SendMessageA(filter, CB_GETCOUNT, 0, 0));
      d->filterText = WindowText(filter);
      HWND name = GetDlgItem(dialog, 0x47c);  // the file name box
      if (name == nullptr) name = GetDlgItem(dialog, 0x480);
      d->fileName = WindowText(name);
      if (d->typeName.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      } else {
        SetWindowTextW(name, Wide(d->typeName).c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      }
    }
    return 0;
  }
};

// Presses File select (or another row's button) and answers the dialog:
// types the name and presses OK, or cancels when the name is empty.
DialogDriver UseFileDialog(HWND owner, const std::string& typeName, int row = kFileSelectRow) {
  DialogDriver driver;
  driver.owner = owner;
  driver.typeName = typeName;
  HANDLE thread = CreateThread(nullptr, 0, DialogDriver::Run, &driver, 0, nullptr);
  Click(row);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return driver;
}

// Choosing another document forgets the PDF chosen for the one before.
TEST_F(CommandTest, FileDialog) {
  std::string md = Path("chosen.md");
  WriteFileBytes(md, SmallDocument());
  std::string longPath(1000, 'x');
  const std::string oldPdf = Path("old.pdf");
  struct Case {
    const char* name;
    std::string startPath;
    std::string typeName;
    std::string expectedName;  // what the dialog's name box shows at first
    std::string expectedPath;  // MarkdownPath afterwards
    std::string expectedPdfPath;
  };
  const Case kCases[] = {
      {"cancelled", md, "", "chosen.md", md, oldPdf},
      {"a path too long for the dialog", longPath, "", "", longPath, oldPdf},
      {"a file chosen", "", md, "", md, oldPdf},
      {"another file chosen", Path("old.md"), md, "old.md", md, ""},
      {"the same file chosen again", md, md, "chosen.md", md, oldPdf},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    ResetStores();
    OpenWindow();
    SetTextSlot(kMarkdownPath, c.startPath.c_str());
    SetTextSlot(kPdfPath, oldPdf.c_str());
    SetTextSlot(kResultText, "Total 3 pages.");
    DialogDriver driver = UseFileDialog(window_, c.typeName);
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(driver.filterCount, 1);
    EXPECT_EQ(driver.filterText, "*.md");
    EXPECT_EQ(driver.fileName, c.expectedName);
    EXPECT_TRUE(SamePath(TextSlots[kMarkdownPath], c.expectedPath)) << TextSlots[kMarkdownPath];
    EXPECT_EQ(std::string(TextSlots[kPdfPath]), c.expectedPdfPath);
    EXPECT_STREQ(TextSlots[kResultText], "");
  }
}

// PDF select starts in the document's folder: a bare name typed there is
// the document's neighbour, whatever the current directory.
TEST_F(CommandTest, PdfDialog) {
  std::string folder = Path("book");
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string md = folder + "\\book.md";
  std::string pdf = folder + "\\Book export.pdf";
  WriteFileBytes(md, SmallDocument());
  WriteFileBytes(pdf, "%PDF-1.4\n");
  struct Case {
    const char* name;
    std::string typeName;
    std::string expectedPath;  // PdfPath afterwards
  };
  const Case kCases[] = {
      {"cancelled", "", Path("old.pdf")},
      {"a name in the document's folder", "Book export.pdf", pdf},
      {"a full path", pdf, pdf},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    ResetStores();
    OpenWindow();
    SetTextSlot(kMarkdownPath, md.c_str());
    SetTextSlot(kPdfPath, Path("old.pdf").c_str());
    SetTextSlot(kResultText, "Total 3 pages.");
    DialogDriver driver = UseFileDialog(window_, c.typeName, kPdfSelectRow);
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(driver.filterCount, 1);
    EXPECT_EQ(driver.filterText, "*.pdf");
    EXPECT_EQ(driver.fileName, "");
    EXPECT_TRUE(SamePath(TextSlots[kPdfPath], c.expectedPath)) << TextSlots[kPdfPath];
    EXPECT_TRUE(SamePath(TextSlots[kMarkdownPath], md)) << TextSlots[kMarkdownPath];
    EXPECT_STREQ(TextSlots[kResultText], "");
  }
}

TEST_F(CommandTest, FileWithANameOutsideTheCodePage) {
  // Korean and the emoji are in neither 932 nor 1252; Japanese is not in 1252.
  const char* kNames[] = {"한국어.md", "日本語.md", "😀 notes.md"};
  std::string original = SmallDocument();
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    CloseWindow();
    ResetStores();
    DeleteFileA(SettingsFile().c_str());
    std::string md = Path(name);
    WriteFileBytes(md, original);
    OpenWindow();
    DialogDriver driver = UseFileDialog(window_, md);
    ASSERT_TRUE(driver.found);
    EXPECT_TRUE(SamePath(TextSlots[kMarkdownPath], md)) << TextSlots[kMarkdownPath];
    Click(kExecuteRow);
    ASSERT_TRUE(WaitForJobEnd());
    EXPECT_STREQ(TextSlots[kResultText], "Total 3 pages.");
    EXPECT_EQ(Count(ReadFileBytes(md), "<div style=\"text-align:"), 2u);

    // The next start remembers the file; Delete takes the numbers out again.
    RestartWindow();
    EXPECT_TRUE(SamePath(TextSlots[kMarkdownPath], md)) << TextSlots[kMarkdownPath];
    Click(kDeleteRow);
    ASSERT_TRUE(WaitForJobEnd());
    EXPECT_STREQ(TextSlots[kResultText], "Total 3 pages.");
    EXPECT_TRUE(ReadFileBytes(md) == original);
  }
}

TEST_F(CommandTest, HeaderOutsideTheCodePageGoesIntoAUtf8Document) {
  const std::string header = "第1章 — 한국어 😀";
  std::string md = Path("utf8.md");
  WriteFileBytes(md, std::string("# Título\r\ntext\r\n") + kBreak + "\r\n# Zwei\r\nmehr\r\n");
  OpenWindow();
  SetTextSlot(kMarkdownPath, md.c_str());
  SetWindowTextW(ControlHandles[kHeaderTextRow], Wide(header).c_str());
  Click(kExecuteRow);
  ASSERT_TRUE(WaitForJobEnd());
  EXPECT_STREQ(TextSlots[kResultText], "Total 2 pages.");
  EXPECT_NE(ReadFileBytes(md).find(header + "&nbsp;&nbsp;&nbsp; 2 / 2"), std::string::npos);

  // Saved after the UTF-8 mark, since no code page of the two holds it, and
  // in the field again at the next start.
  RestartWindow();
  EXPECT_NE(ReadFileBytes(SettingsFile()).find("\r\n\xEF\xBB\xBF" + header + "\r\n"),
            std::string::npos);
  EXPECT_EQ(std::string(TextSlots[kHeaderText]), header);
  EXPECT_EQ(WindowText(ControlHandles[kHeaderTextRow]), header);
}

}  // namespace
