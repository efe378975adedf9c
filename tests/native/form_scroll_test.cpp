#include <gtest/gtest.h>

#include "form/scroll_math.h"

#include <stdint.h>

namespace {

TEST(RequestedScrollPosition, EveryRequestCode) {
  const ScrollBarState bar = {0, 25, 10, 7, 12};
  struct Case {
    uint32_t code;
    int32_t expected;
  };
  const Case kCases[] = {
      {0, 6},   // line up
      {1, 8},   // line down
      {2, -3},  // page up: the platform clamps it later
      {3, 17},  // page down
      {4, 7},   // thumb position: no change
      {5, 12},  // thumb track: the track position
      {6, 0},   // top
      {7, 25},  // bottom
      {8, 7},   // end scroll
      {0xFFFF, 7},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(RequestedScrollPosition(c.code, bar), c.expected);
  }
}

TEST(ScrollDelta, NeverMakesTheOriginPositive) {
  struct Case {
    int32_t oldPosition, newPosition, origin, expected;
  };
  const Case kCases[] = {
      {3, 0, -3, 3},    // page up from 3 rows down
      {4, 0, -3, 3},    // bar one ahead of the origin after a pull-back
      {0, 5, 0, -5},    // moving down is bounded by the bar alone
      {2, 1, -2, 1},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ScrollDelta(c.oldPosition, c.newPosition, c.origin), c.expected);
  }
}

TEST(PullBackDelta, GrowingWindows) {
  struct Case {
    int32_t visible, origin, expected;
  };
  const Case kCases[] = {
      {20, -12, 3},   // 20 > 17 rows left to show: pull back 3
      {40, -12, 12},  // capped at the origin
      {17, -12, 0},   // exactly the rest of the form
      {30, 0, 0},     // not scrolled
      {0, -5, 0},     // minimised
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.visible);
    EXPECT_EQ(PullBackDelta(c.visible, c.origin, FormHeightCells), c.expected);
  }
  EXPECT_EQ(PullBackDelta(60, -4, FormWidthCells), 4);
}

TEST(RevealDelta, BringsTheWholeControlIntoView) {
  struct Case {
    const char* name;
    int32_t start, end, origin, visible, expected;
  };
  const Case kCases[] = {
      {"already in view", 205, 217, 0, 22, 0},
      {"ending exactly at the view's end", 205, 220, 0, 22, 0},
      {"starting exactly at its start", 200, 217, -20, 5, 0},
      {"below: its end comes in, rounded up", 205, 217, 0, 10, -12},  // Execute in 10 rows
      {"partly below", 205, 217, 0, 21, -1},
      {"the last row at the bottom", 270, 282, 0, 10, -19},
      {"above: its start comes in, rounded down", 25, 37, -12, 10, 10},
      {"partly above", 205, 217, -21, 5, 1},
      {"longer than the view, below", 20, 510, 0, 20, -2},
      {"longer than the view, above", 20, 510, -30, 20, 28},
      {"longer than the view, its start in view", 20, 510, -2, 20, 0},
      {"minimised", 205, 217, -3, 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    int32_t d = RevealDelta(c.start, c.end, c.origin, c.visible);
    EXPECT_EQ(d, c.expected);
    if (c.visible <= 0) continue;
    // Afterwards the control lies within the view, or starts at its start.
    int32_t first = -(c.origin + d);
    EXPECT_GE(first, 0);
    EXPECT_GE(c.start, first * 10);
    if (c.end - c.start <= c.visible * 10) {
      EXPECT_LE(c.end, (first + c.visible) * 10);
    }
  }
}

TEST(DefaultWindowSize, FiftyFourCellsAndTenPixelsBy29Cells) {
  WindowSize size = DefaultWindowSize({8, 16});
  EXPECT_EQ(size.width, 442);
  EXPECT_EQ(size.height, 464);
  size = DefaultWindowSize({7, 13});
  EXPECT_EQ(size.width, 388);
  EXPECT_EQ(size.height, 377);
}

TEST(RestorableWindowBox, SizeAndExtremeValues) {
  struct Case {
    const char* name;
    int32_t left, top, right, bottom;
    bool restored;
    WindowBox box;
  };
  const Case kCases[] = {
      {"6 by 200", 100, 100, 106, 300, true, {100, 100, 6, 200}},
      {"5 wide", 100, 100, 105, 300, false, {}},
      {"5 high", 100, 100, 700, 105, false, {}},
      {"off the screen's left", -300, 20, 500, 620, true, {-300, 20, 800, 600}},
      {"all zero", 0, 0, 0, 0, false, {}},
      {"wider than 32 bits", INT32_MIN, 0, INT32_MAX, 400, false, {}},
      {"higher than 32 bits", 0, -10, 600, INT32_MAX, false, {}},
      {"reversed across the range", INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, false, {}},
      {"largest size", 0, -1, INT32_MAX, INT32_MAX - 1, true, {0, -1, INT32_MAX, INT32_MAX}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    WindowBox box = {-1, -1, -1, -1};
    EXPECT_EQ(RestorableWindowBox(c.left, c.top, c.right, c.bottom, &box), c.restored);
    if (c.restored) {
      EXPECT_EQ(box.x, c.box.x);
      EXPECT_EQ(box.y, c.box.y);
      EXPECT_EQ(box.width, c.box.width);
      EXPECT_EQ(box.height, c.box.height);
    }
  }
}

}  // namespace
