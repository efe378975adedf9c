// The form from the keyboard: Tab order, the arrows in a radio group,
// Space on the focused control, and Enter and Escape doing nothing.
#include <gtest/gtest.h>

#include <string>

#include "app/main_win.h"
#include "commands/commands_win.h"
#include "common/store.h"
#include "form/form_win.h"
#include "wine_support.h"

namespace {

class KeyboardTest : public WindowTest {
 protected:
  // A key pressed and released on the focused control, through the
  // program's message loop step.
  void Press(WPARAM key, bool shift = false) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
      MSG msg = {};
      msg.hwnd = GetFocus() != nullptr ? GetFocus() : window_;
      msg.message = message;
      msg.wParam = key;
      msg.lParam = message == WM_KEYUP ? 0xC0000001 : 1;
      if (!IsFormKey(window_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      PumpMessages();
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }
  // The row whose control has the focus, -1 for none, 99 for the window.
  int FocusedRow() {
    HWND focus = GetFocus();
    if (focus == window_) return 99;
    for (int row = 0; row < kLayoutRowCount; ++row) {
      if (ControlHandles[row] != nullptr && ControlHandles[row] == focus) return row;
    }
    return -1;
  }
};

// Top to bottom, left to right; a radio group is reached through its first
// radio, where its group box stands.
const int kTabOrder[] = {1,  2,  4,  10, 12, 14, 16, 18, 21, 24,
                         30, 33, 34, 35, 41, 42, 43, 44, 47, 49};

TEST_F(KeyboardTest, TabAndShiftTabFollowTheForm) {
  OpenWindow();
  SetFocus(window_);
  for (int lap = 0; lap < 2; ++lap) {  // the second lap: after 49 comes 1 again
    for (int row : kTabOrder) {
      Press(VK_TAB);
      EXPECT_EQ(FocusedRow(), row);
    }
  }
  for (int i = static_cast<int>(sizeof kTabOrder / sizeof kTabOrder[0]) - 2; i >= 0; --i) {
    Press(VK_TAB, true);
    EXPECT_EQ(FocusedRow(), kTabOrder[i]);
  }
}

// As in a dialog box, the keyboard starts at the first control, not at the
// window; it comes back there after the window was left.
TEST_F(KeyboardTest, TheFirstTabStopHasTheFocusAtStart) {
  OpenWindow();
  EXPECT_EQ(FocusedRow(), kLanguageRow);
  Press(VK_TAB);
  EXPECT_EQ(FocusedRow(), kDefaultSizeRow);
}

// Whatever key moved the focus, the form scrolls until the focused control
// is wholly in view (one wider than the view: its left part), so that Space
// never presses a button the user cannot see.
TEST_F(KeyboardTest, TheFocusedControlIsScrolledIntoView) {
  OpenWindow();
  SetClientCells(20, 10);
  auto expectInView = [&](int row) {
    SCOPED_TRACE(row);
    ASSERT_EQ(FocusedRow(), row);
    RECT client;
    GetClientRect(window_, &client);
    RECT rect;
    GetWindowRect(ControlHandles[row], &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_GE(rect.top, 0);
    EXPECT_LE(rect.bottom, client.bottom);
    EXPECT_GE(rect.left, 0);
    if (rect.right - rect.left <= client.right) {
      EXPECT_LE(rect.right, client.right);
    }
    // The bars tell where the form stands.
    EXPECT_EQ(GetScrollPos(window_, SB_VERT), -ScrollOrigin.y);
    EXPECT_EQ(GetScrollPos(window_, SB_HORZ), -ScrollOrigin.x);
  };
  SetFocus(window_);
  for (int row : kTabOrder) {
    Press(VK_TAB);
    expectInView(row);
  }
  EXPECT_LT(ScrollOrigin.y, 0);  // Check PDF is below the first ten rows
  for (int i = static_cast<int>(sizeof kTabOrder / sizeof kTabOrder[0]) - 2; i >= 0; --i) {
    Press(VK_TAB, true);
    expectInView(kTabOrder[i]);
  }
  EXPECT_EQ(ScrollOrigin.y, 0);
  SetFocus(ControlHandles[kBlackRow]);
  for (int row : {kGrayRow, kCustomColorRadioRow, kBlackRow}) {
    Press(VK_RIGHT);
    expectInView(row);
  }
}

TEST_F(KeyboardTest, ArrowsStayInTheRadioGroupAndSpaceChooses) {
  OpenWindow();
  struct Step {
    WPARAM key;
    int focused;
  };
  SetFocus(ControlHandles[kBlackRow]);
  const Step kSteps[] = {
      {VK_RIGHT, kGrayRow}, {VK_DOWN, kCustomColorRadioRow}, {VK_RIGHT, kBlackRow},
      {VK_LEFT, kCustomColorRadioRow}, {VK_UP, kGrayRow},
  };
  for (const Step& step : kSteps) {
    Press(step.key);
    EXPECT_EQ(FocusedRow(), step.focused) << step.key;
  }
  EXPECT_EQ(Settings[kColorChoice], 0);  // moving the focus chooses nothing
  Press(VK_SPACE);
  EXPECT_EQ(Settings[kColorChoice], 1);
  EXPECT_EQ(SendMessageA(ControlHandles[kGrayRow], BM_GETCHECK, 0, 0), BST_CHECKED);

  SetFocus(ControlHandles[kFormatFirstRow]);
  Press(VK_RIGHT);
  EXPECT_EQ(FocusedRow(), kFormatParenRow);
  Press(VK_RIGHT);
  EXPECT_EQ(FocusedRow(), kFormatFirstRow);

  SetFocus(ControlHandles[kKeepBackupRow]);
  Press(VK_SPACE);
  EXPECT_EQ(Settings[kKeepExistingBackup], 1);
}

// Space presses the focused button; Enter and Escape press none, not even
// the buttons whose ids the dialog keys would send.
TEST_F(KeyboardTest, SpacePressesEnterAndEscapeDoNothing) {
  std::string md = Path("book.md");
  const std::string original = "# One\r\n<div style=\"page-break-after:always;\"></div>\r\n\r\nTwo\r\n";
  WriteFileBytes(md, original);
  Settings[kLanguage] = 1;
  PrepareSettings();
  OpenWindow();
  SetTextSlot(kMarkdownPath, md.c_str());
  RECT before;
  GetWindowRect(window_, &before);
  for (int row : {kExecuteRow, kDeleteRow, kLanguageRow, kCheckPdfRow}) {
    SCOPED_TRACE(row);
    SetFocus(ControlHandles[row]);
    SetTextSlot(kResultText, "kept");
    Press(VK_RETURN);
    Press(VK_ESCAPE);
    EXPECT_EQ(JobThread, nullptr);
    EXPECT_STREQ(TextSlots[kResultText], "kept");
    EXPECT_EQ(Settings[kLanguage], 1);
    EXPECT_EQ(FocusedRow(), row);
  }
  RECT after;
  GetWindowRect(window_, &after);
  EXPECT_TRUE(EqualRect(&before, &after));  // "#" was not pressed
  EXPECT_TRUE(ReadFileBytes(md) == original);

  SetFocus(ControlHandles[kExecuteRow]);
  Press(VK_SPACE);
  ASSERT_TRUE(WaitForJobEnd());
  EXPECT_STREQ(TextSlots[kResultText], "Total 2 pages.");
  EXPECT_FALSE(ReadFileBytes(md) == original);
  // The button had to give up the focus while it was disabled; it has it back.
  EXPECT_EQ(FocusedRow(), kExecuteRow);
}

}  // namespace
