#include "form/scroll_math.h"

int32_t RequestedScrollPosition(uint32_t requestCode, const ScrollBarState& bar) {
  switch (requestCode) {
    case 0: return bar.position - 1;             // SB_LINEUP
    case 1: return bar.position + 1;             // SB_LINEDOWN
    case 2: return bar.position - bar.page;      // SB_PAGEUP
    case 3: return bar.position + bar.page;      // SB_PAGEDOWN
    case 5: return bar.trackPosition;            // SB_THUMBTRACK
    case 6: return bar.minimum;                  // SB_TOP
    case 7: return bar.maximum;                  // SB_BOTTOM
    default: return bar.position;
  }
}

int32_t ScrollDelta(int32_t oldPosition, int32_t newPosition, int32_t origin) {
  int32_t d = oldPosition - newPosition;
  // The bar's position can run one ahead of the origin after a pull-back.
  if (d > -origin) d = -origin;
  return d;
}

int32_t PullBackDelta(int32_t visibleCells, int32_t origin, int32_t formCells) {
  if (origin >= 0 || visibleCells <= origin + formCells) return 0;
  int32_t d = visibleCells - (origin + formCells);
  if (d > -origin) d = -origin;
  return d;
}

int32_t RevealDelta(int32_t start, int32_t end, int32_t origin, int32_t visibleCells) {
  if (visibleCells <= 0) return 0;  // minimised: nothing can be shown
  // In tenths, so that a control's fraction of a cell counts as the pixels do.
  int32_t first = -origin;
  if (start >= first * 10 && end <= (first + visibleCells) * 10) return 0;
  int32_t newFirst = start / 10;
  if (start >= first * 10) {
    // Past the end of the view: bring its end in, unless its start would go.
    int32_t endFirst = (end + 9) / 10 - visibleCells;
    if (endFirst * 10 <= start) newFirst = endFirst;
  }
  return first - newFirst;
}

WindowSize DefaultWindowSize(CellSize cell) {
  WindowSize size;
  size.width = cell.width * 540 / 10 + 10;
  size.height = cell.height * 290 / 10;
  return size;
}

bool RestorableWindowBox(int32_t left, int32_t top, int32_t right, int32_t bottom, WindowBox* box) {
  int64_t width = int64_t{right} - left;
  int64_t height = int64_t{bottom} - top;
  if (width <= 5 || height <= 5 || width > INT32_MAX || height > INT32_MAX) return false;
  *box = {left, top, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  return true;
}
