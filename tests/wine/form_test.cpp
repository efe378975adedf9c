#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/store.h"
#include "form/form_win.h"
#include "wine_support.h"

namespace {

class FormTest : public WindowTest {
 protected:
  // A fresh window that starts in the given Language.
  void ReopenInLanguage(int32_t language) {
    CloseWindow();
    Settings[kLanguage] = language;
    PrepareSettings();
    OpenWindow();
  }
};

TEST(LayoutTableStyles, MatchThePlatformFlags) {
  const DWORD kChild = WS_CHILD | WS_VISIBLE;
  const DWORD kStop = kChild | WS_GROUP | WS_TABSTOP;
  const DWORD kEdit = kStop | WS_BORDER | ES_AUTOHSCROLL;
  struct Case {
    int row;
    DWORD style;
  };
  const Case kCases[] = {
      {0, kChild | SS_LEFT},          {1, kStop | BS_PUSHBUTTON},   {5, DT_PATH_ELLIPSIS},
      {9, kChild | SS_RIGHT},         {10, kEdit},                  {17, kChild | WS_GROUP | BS_GROUPBOX},
      {18, kStop | BS_RADIOBUTTON},   {19, kChild | BS_RADIOBUTTON}, {33, kStop | BS_CHECKBOX | BS_LEFT},
      {36, kChild | SS_LEFT},         {46, DT_WORDBREAK},           {21, kEdit},
      {47, kStop | BS_PUSHBUTTON},    {48, DT_PATH_ELLIPSIS},       {49, kStop | BS_PUSHBUTTON},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(LayoutTable[c.row].style, c.style);
  }
}

// The window's class takes the icon from the module's resources, as the
// program's do (the test binary carries the same icon).
TEST_F(FormTest, TheWindowShowsTheProgramsIcon) {
  OpenWindow();
  HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(window_, GCLP_HICON));
  ASSERT_NE(icon, nullptr);
  EXPECT_NE(icon, LoadIconA(nullptr, IDI_APPLICATION));
  EXPECT_EQ(icon, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
}

TEST_F(FormTest, CellIsTheDefaultFontsCell) {
  OpenWindow();
  HDC dc = GetDC(window_);
  TEXTMETRICA metrics;
  ASSERT_TRUE(GetTextMetricsA(dc, &metrics));
  ReleaseDC(window_, dc);
  int expectedWidth = (metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) != 0
                          ? metrics.tmAveCharWidth * 3 / 2
                          : metrics.tmAveCharWidth;
  EXPECT_EQ(CellMetrics.width, expectedWidth);
  EXPECT_EQ(CellMetrics.height, metrics.tmHeight + metrics.tmExternalLeading);
}

TEST_F(FormTest, ControlsExistExactlyForControlRowsAtTheirRectangles) {
  OpenWindow();
  for (int row = 0; row < kLayoutRowCount; ++row) {
    SCOPED_TRACE(row);
    const char* windowClass = WindowClassForKind(LayoutTable[row].kind);
    if (windowClass == nullptr) {
      EXPECT_EQ(ControlHandles[row], nullptr);
      continue;
    }
    HWND control = ControlHandles[row];
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetDlgCtrlID(control), row);
    char className[32];
    GetClassNameA(control, className, sizeof className);
    EXPECT_EQ(lstrcmpiA(className, windowClass), 0);
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    PixelRect expected = FormRectToPixels(LayoutTable[row], CellMetrics, {0, 0});
    EXPECT_EQ(rect.left, expected.left);
    EXPECT_EQ(rect.top, expected.top);
    EXPECT_EQ(rect.right, expected.right);
    EXPECT_EQ(rect.bottom, expected.bottom);
  }
}

struct CaptionCase {
  int row;
  const char* japanese;  // UTF-8, as a user reads it
  const char* english;
};

const CaptionCase kCaptionCases[] = {
    {0, "ページ番号追加(マークダウン用)", "Adding page-number for Markdown"},
    {1, "English", "Japanese"},
    {2, "#", "#"},
    {4, "ファイル選択", "File select"},
    {13, "font サイズ(%)", "font size(%)"},
    {17, "色", "color"},
    {20, "", ""},
    {34, "1ページ目から表示", "From the first page."},
    {36, "検索サイトからペナルティを受ける可能性があります",
     "from search sites because of using transparent characters."},
    {41, "実行", "Execute"},
    {44, "復元", "Undo"},
    {47, "PDF選択", "PDF select"},
    {49, "PDF確認", "Check PDF"},
};

TEST_F(FormTest, CaptionsFollowTheLanguage) {
  for (int language = 0; language < 2; ++language) {
    SCOPED_TRACE(language);
    ReopenInLanguage(language);
    for (const CaptionCase& c : kCaptionCases) {
      SCOPED_TRACE(c.row);
      EXPECT_EQ(WindowText(ControlHandles[c.row]), language == 0 ? c.japanese : c.english);
    }
  }
}

// Room for the caption inside a control of the given kind and width: check
// boxes and radio buttons give some to their box and the gap after it, push
// buttons to their frame.
int CaptionRoom(int32_t kind, int width) {
  if (kind == CheckBox || kind == RadioButton) return width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
  if (kind == PushButton) return width - 4;
  return width;
}

// Every caption reads right on this system: the form's font has a glyph for
// each of its characters (a missing one shows as a box), and every caption,
// in either language, fits its control on one line.
TEST_F(FormTest, CaptionsHaveTheirGlyphsAndFitTheirControls) {
  for (int language = 0; language < 2; ++language) {
    SCOPED_TRACE(language);
    ReopenInLanguage(language);
    for (int row = 0; row < kLayoutRowCount; ++row) {
      HWND control = ControlHandles[row];
      if (!HasControlCaption(LayoutTable[row].kind)) continue;
      SCOPED_TRACE(row);
      std::wstring text = Wide(WindowText(control));
      if (text.empty()) continue;
      HDC dc = GetDC(control);
      HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
      if (font != nullptr) SelectObject(dc, font);
      std::vector<WORD> glyphs(text.size());
      ASSERT_NE(GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                 GGI_MARK_NONEXISTING_GLYPHS),
                GDI_ERROR);
      for (size_t i = 0; i < glyphs.size(); ++i) {
        EXPECT_NE(glyphs[i], 0xFFFF) << "no glyph for U+" << std::hex << static_cast<unsigned>(text[i]);
      }
      SIZE extent = {};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      ReleaseDC(control, dc);
      RECT client;
      GetClientRect(control, &client);
      EXPECT_LE(extent.cy, client.bottom);
      EXPECT_LE(extent.cx, CaptionRoom(LayoutTable[row].kind, client.right));
    }
  }
}

TEST_F(FormTest, InitialMarksAndTexts) {
  struct Case {
    const char* name;
    int setting;
    int32_t value;
    int markedRow;  // the one row of the group marked, or -1 for none
    int firstRow, lastRow;
  };
  const Case kCases[] = {
      {"color 0", kColorChoice, 0, 18, 18, 20},
      {"color 2 marks the radio without caption", kColorChoice, 2, 20, 18, 20},
      {"color 5 marks none", kColorChoice, 5, -1, 18, 20},
      {"color -1 marks none", kColorChoice, -1, -1, 18, 20},
      {"format 1", kFormatChoice, 1, 25, 24, 25},
      {"position 1", kPositionChoice, 1, 31, 30, 31},
      {"keep backup 5", kKeepExistingBackup, 5, 33, 33, 33},
      {"keep backup -1", kKeepExistingBackup, -1, 33, 33, 33},
      {"keep backup 0", kKeepExistingBackup, 0, -1, 33, 33},
      {"first page 1", kNumberFirstPage, 1, 34, 34, 34},
      {"annotate 1", kAnnotateHeadings, 1, 35, 35, 35},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    Settings[c.setting] = c.value;
    PrepareSettings();
    OpenWindow();
    for (int row = c.firstRow; row <= c.lastRow; ++row) {
      LRESULT expected = row == c.markedRow ? BST_CHECKED : BST_UNCHECKED;
      EXPECT_EQ(SendMessageA(ControlHandles[row], BM_GETCHECK, 0, 0), expected) << row;
    }
  }
}

TEST_F(FormTest, EditsShowTheirSlots) {
  SetTextSlot(kHeaderText, "Chapter");
  SetTextSlot(kSkipPages, "2,4");
  PrepareSettings();
  OpenWindow();
  struct Case {
    int row;
    const char* text;
  };
  const Case kCases[] = {
      {kTocPageCountRow, "1"}, {kHeaderTextRow, "Chapter"}, {kFontSizeRow, "80"},
      {kSkipPagesRow, "2,4"},  {kCustomColorRow, "blue"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(WindowText(ControlHandles[c.row]), c.text) << c.row;
    EXPECT_TRUE(IsWindowEnabled(ControlHandles[c.row])) << c.row;
  }
}

// Whether any pixel of the rectangle differs from the button face.
bool HasInk(HWND window, PixelRect r) {
  HDC dc = GetDC(window);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  bool ink = false;
  for (int y = r.top; y < r.bottom && !ink; ++y) {
    for (int x = r.left < 0 ? 0 : r.left; x < r.right && !ink; ++x) {
      COLORREF pixel = GetPixel(dc, x, y);
      if (pixel != CLR_INVALID && pixel != face) ink = true;
    }
  }
  ReleaseDC(window, dc);
  return ink;
}

TEST_F(FormTest, PaintedRowsShowTheirTexts) {
  OpenWindow();
  MoveWindow(window_, 0, 0, 900, 700, TRUE);
  PumpMessages();
  EXPECT_FALSE(HasInk(window_, FormRectToPixels(kResultRow)));
  EXPECT_FALSE(HasInk(window_, FormRectToPixels(kMarkdownPathRow)));
  EXPECT_FALSE(HasInk(window_, FormRectToPixels(kPdfPathRow)));
  SetTextSlot(kResultText, "Total 3 pages.");
  SetTextSlot(kMarkdownPath, "C:\\docs\\book.md");
  SetTextSlot(kPdfPath, "C:\\docs\\book.pdf");
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
  EXPECT_TRUE(HasInk(window_, FormRectToPixels(kResultRow)));
  EXPECT_TRUE(HasInk(window_, FormRectToPixels(kMarkdownPathRow)));
  EXPECT_TRUE(HasInk(window_, FormRectToPixels(kPdfPathRow)));
}

}  // namespace
