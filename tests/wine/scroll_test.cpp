#include <gtest/gtest.h>

#include "common/store.h"
#include "form/form_win.h"
#include "form/scroll_math.h"
#include "wine_support.h"

namespace {

class ScrollTest : public WindowTest {
 protected:
  SCROLLINFO Bar(int bar) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(window_, bar, &info);
    return info;
  }

  void Scroll(UINT message, UINT code) {
    SendMessageA(window_, message, MAKEWPARAM(code, 0), 0);
    PumpMessages();
  }

  // The controls moved with the form: a control sits where its row now maps.
  void ExpectControlAtItsRow(int row) {
    RECT rect;
    GetWindowRect(ControlHandles[row], &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    PixelRect expected = FormRectToPixels(row);
    EXPECT_EQ(rect.left, expected.left) << row;
    EXPECT_EQ(rect.top, expected.top) << row;
  }
};

// A maximised window is restored first: it then has the default size at
// the place it had before it was maximised.
TEST_F(ScrollTest, DefaultSizeKeepsThePositionAndTheResult) {
  const struct {
    const char* name;
    int show;
  } kCases[] = {{"normal", SW_SHOWNORMAL}, {"maximised", SW_MAXIMIZE}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    CloseWindow();
    ResetStores();
    OpenWindow();
    MoveWindow(window_, 40, 30, 300, 200, TRUE);
    ShowWindow(window_, c.show);
    PumpMessages();
    SetTextSlot(kResultText, "Total 3 pages.");
    Click(kDefaultSizeRow);
    PumpMessages();
    EXPECT_FALSE(IsZoomed(window_));
    RECT rect;
    GetWindowRect(window_, &rect);
    WindowSize expected = DefaultWindowSize(CellMetrics);
    // 442 by 464 for a cell of 8 by 16.
    EXPECT_EQ(rect.right - rect.left, CellMetrics.width * 54 + 10);
    EXPECT_EQ(rect.bottom - rect.top, CellMetrics.height * 29);
    EXPECT_EQ(rect.right - rect.left, expected.width);
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 30);
    EXPECT_STREQ(TextSlots[kResultText], "Total 3 pages.");
  }
}

TEST_F(ScrollTest, VerticalRequests) {
  OpenWindow();
  SetClientCells(60, 10);
  ASSERT_EQ(Bar(SB_VERT).nPage, 10u);
  ASSERT_EQ(Bar(SB_VERT).nMax, FormHeightCells);
  struct Step {
    UINT code;
    int32_t origin;  // ScrollOrigin.y afterwards
  };
  // The position stays within 0 .. 29 - (10 - 1) = 20.
  const Step kSteps[] = {
      {SB_LINEDOWN, -1}, {SB_LINEDOWN, -2}, {SB_LINEUP, -1},     {SB_PAGEDOWN, -11},
      {SB_BOTTOM, -20},  {SB_LINEDOWN, -20}, {SB_THUMBPOSITION, -20}, {SB_ENDSCROLL, -20},
      {SB_PAGEUP, -10},  {SB_LINEUP, -9},   {SB_PAGEUP, 0},      {SB_LINEUP, 0},
  };
  for (const Step& step : kSteps) {
    Scroll(WM_VSCROLL, step.code);
    EXPECT_EQ(ScrollOrigin.y, step.origin) << "code " << step.code;
    EXPECT_EQ(Bar(SB_VERT).nPos, -ScrollOrigin.y);
    ExpectControlAtItsRow(kExecuteRow);
  }
  EXPECT_EQ(ScrollOrigin.x, 0);
}

TEST_F(ScrollTest, GrowingPullsTheFormBack) {
  struct Case {
    int fromRows, toRows;
    int32_t originBefore, originAfter;
  };
  const Case kCases[] = {
      {10, 20, -12, -9},  // 20 rows > -12 + 29: pulled back by 3
      {10, 40, -12, 0},   // 23 capped at 12
      {10, 12, -12, -12}, // 12 rows still within the rest of the form
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.toRows);
    CloseWindow();
    ResetStores();
    OpenWindow();
    SetClientCells(60, c.fromRows);
    for (int i = 0; i < 12; ++i) Scroll(WM_VSCROLL, SB_LINEDOWN);
    ASSERT_EQ(ScrollOrigin.y, c.originBefore);
    SetClientCells(60, c.toRows);
    EXPECT_EQ(ScrollOrigin.y, c.originAfter);
    ExpectControlAtItsRow(kFileSelectRow);
    ExpectControlAtItsRow(kUndoRow);
    // After a pull-back the bar may stand one ahead; the top is still exactly 0.
    Scroll(WM_VSCROLL, SB_TOP);
    EXPECT_EQ(ScrollOrigin.y, 0);
    ExpectControlAtItsRow(kUndoRow);
  }
}

TEST_F(ScrollTest, HorizontalRequestsAndHiddenRows) {
  OpenWindow();
  SetClientCells(FormWidthCells, 30);
  ASSERT_EQ(Bar(SB_HORZ).nPage, static_cast<UINT>(FormWidthCells));
  // A client of exactly 52 columns can still scroll one cell.
  Scroll(WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(ScrollOrigin.x, -1);
  Scroll(WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(ScrollOrigin.x, -1);
  ExpectControlAtItsRow(kLanguageRow);
  Scroll(WM_HSCROLL, SB_LEFT);
  EXPECT_EQ(ScrollOrigin.x, 0);

  SetClientCells(20, 30);
  SetTextSlot(kResultText, "Total 3 pages.");
  Scroll(WM_HSCROLL, SB_LINERIGHT);
  ASSERT_EQ(ScrollOrigin.x, -1);
  UpdateWindow(window_);
  // Row 46 starts at the client's left edge and is drawn.
  PixelRect result = FormRectToPixels(kResultRow);
  EXPECT_EQ(result.left, 0);
  HDC dc = GetDC(window_);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  auto inked = [&](const PixelRect& r) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = 0; x < r.right && x < 20 * CellMetrics.width; ++x) {
        if (GetPixel(dc, x, y) != face) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(inked(result));
  Scroll(WM_HSCROLL, SB_LINERIGHT);
  UpdateWindow(window_);
  ASSERT_EQ(ScrollOrigin.x, -2);
  // Now its left edge would be negative: nothing of it is drawn.
  EXPECT_FALSE(inked(FormRectToPixels(kResultRow)));
  ReleaseDC(window_, dc);
}

TEST_F(ScrollTest, MinimisedWindowHasEmptyPages) {
  OpenWindow();
  SetClientCells(20, 10);
  Scroll(WM_VSCROLL, SB_LINEDOWN);
  SendMessageA(window_, WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_EQ(Bar(SB_VERT).nPage, 0u);
  EXPECT_EQ(Bar(SB_HORZ).nPage, 0u);
  EXPECT_EQ(ScrollOrigin.y, -1);
}

}  // namespace
