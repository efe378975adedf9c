// The arithmetic of scrolling and sizing, apart from the scroll bars and
// windows it is applied to.
#pragma once

#include <stdint.h>

#include "form/layout_table.h"

// What a scroll bar reports about itself.
struct ScrollBarState {
  int32_t minimum;
  int32_t maximum;
  int32_t page;
  int32_t position;
  int32_t trackPosition;
};

// The position a scroll request asks for, before the platform clamps it.
// Unknown codes (SB_ENDSCROLL and above) and SB_THUMBPOSITION keep the old one.
int32_t RequestedScrollPosition(uint32_t requestCode, const ScrollBarState& bar);

// How many cells the form moves toward its start when the bar went from
// oldPosition to newPosition, never so far that origin would become positive.
int32_t ScrollDelta(int32_t oldPosition, int32_t newPosition, int32_t origin);

// How many cells a grown client area pulls a scrolled form back so that no
// empty space shows after its end; 0 when nothing is to be pulled back.
int32_t PullBackDelta(int32_t visibleCells, int32_t origin, int32_t formCells);

// How many cells the form moves toward its start (negative: toward its end)
// so that a control from start to end (tenths of a cell, along one axis) is
// wholly within the visibleCells shown from origin; 0 when it already is.
// A control longer than the view shows its start.
int32_t RevealDelta(int32_t start, int32_t end, int32_t origin, int32_t visibleCells);

struct WindowSize {
  int32_t width;
  int32_t height;
};

// The outer size that shows the whole form: 54 cells and 10 pixels wide,
// 29 cells high (frame, title bar and scroll bars included).
WindowSize DefaultWindowSize(CellSize cell);

// Where a saved window rectangle puts the window.
struct WindowBox {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// The box of the rectangle left, top, right, bottom; false when it is not to
// be restored: 5 pixels or less wide or high, or a size beyond 32 bits. Any
// values are safe, since an edited settings file can hold any 32-bit numbers.
bool RestorableWindowBox(int32_t left, int32_t top, int32_t right, int32_t bottom, WindowBox* box);
