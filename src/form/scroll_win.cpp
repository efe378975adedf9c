#include "form/scroll_win.h"

#include "form/form_win.h"
#include "form/scroll_math.h"

namespace {

void SetBarPage(HWND window, int bar, int32_t maximum, int32_t page) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE;
  info.nMin = 0;
  info.nMax = maximum;
  info.nPage = static_cast<UINT>(page);
  SetScrollInfo(window, bar, &info, TRUE);
}

// Moves the bar as the request asks and returns how many cells the form
// moves toward its start (negative: toward its end); 0 when the bar stayed.
int32_t MoveBar(HWND window, int bar, UINT requestCode, int32_t origin) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(window, bar, &info);
  ScrollBarState state = {info.nMin, info.nMax, static_cast<int32_t>(info.nPage), info.nPos,
                          info.nTrackPos};
  int32_t oldPosition = info.nPos;
  info.fMask = SIF_POS;
  info.nPos = RequestedScrollPosition(requestCode, state);
  SetScrollInfo(window, bar, &info, TRUE);
  // The platform clamps the position; take what it kept.
  GetScrollInfo(window, bar, &info);
  if (info.nPos == oldPosition) return 0;
  return ScrollDelta(oldPosition, info.nPos, origin);
}

// Moves the form d cells toward its start along the bar's axis.
void ShiftForm(HWND window, int bar, int32_t d) {
  if (bar == SB_VERT) {
    ScrollWindow(window, 0, d * CellMetrics.height, nullptr, nullptr);
    ScrollOrigin.y += d;
    UpdateWindow(window);
    return;
  }
  ScrollWindow(window, d * CellMetrics.width, 0, nullptr, nullptr);
  ScrollOrigin.x += d;
  // Rows whose left edge went negative are not painted; erase them now.
  InvalidateRect(window, nullptr, TRUE);
}

// The row a control of the form was created for, or -1.
int RowOfControl(HWND window, HWND control) {
  if (control == nullptr || GetParent(control) != window) return -1;
  int row = GetDlgCtrlID(control);
  return row >= 0 && row < kLayoutRowCount && ControlHandles[row] == control ? row : -1;
}

}  // namespace

LRESULT ResizeForm(HWND window, UINT clientWidth, UINT clientHeight) {
  // A font that could not be measured leaves no whole cell to show.
  int32_t cols = CellMetrics.width > 0 ? static_cast<int32_t>(clientWidth) / CellMetrics.width : 0;
  int32_t rows =
      CellMetrics.height > 0 ? static_cast<int32_t>(clientHeight) / CellMetrics.height : 0;
  int32_t dy = PullBackDelta(rows, ScrollOrigin.y, FormHeightCells);
  if (dy != 0) {
    ScrollWindow(window, 0, dy * CellMetrics.height, nullptr, nullptr);
    ScrollOrigin.y += dy;
  }
  int32_t dx = PullBackDelta(cols, ScrollOrigin.x, FormWidthCells);
  if (dx != 0) {
    ScrollWindow(window, dx * CellMetrics.width, 0, nullptr, nullptr);
    ScrollOrigin.x += dx;
  }
  if (dx != 0 || dy != 0) InvalidateRect(window, nullptr, TRUE);
  SetBarPage(window, SB_VERT, FormHeightCells, rows);
  SetBarPage(window, SB_HORZ, FormWidthCells, cols);
  return 0;
}

LRESULT ScrollFormVertically(HWND window, UINT requestCode) {
  int32_t d = MoveBar(window, SB_VERT, requestCode, ScrollOrigin.y);
  if (d != 0) ShiftForm(window, SB_VERT, d);
  return 0;
}

LRESULT ScrollFormHorizontally(HWND window, UINT requestCode) {
  int32_t d = MoveBar(window, SB_HORZ, requestCode, ScrollOrigin.x);
  if (d != 0) ShiftForm(window, SB_HORZ, d);
  return 0;
}

void RevealControl(HWND window, HWND control) {
  int row = RowOfControl(window, control);
  if (row < 0 || CellMetrics.width <= 0 || CellMetrics.height <= 0) return;
  RECT client;
  GetClientRect(window, &client);
  const LayoutRow& r = LayoutTable[row];
  int32_t dy = RevealDelta(r.top, r.bottom, ScrollOrigin.y, client.bottom / CellMetrics.height);
  int32_t dx = RevealDelta(r.left, r.right, ScrollOrigin.x, client.right / CellMetrics.width);
  if (dy != 0) {
    ShiftForm(window, SB_VERT, dy);
    SetScrollPos(window, SB_VERT, -ScrollOrigin.y, TRUE);
  }
  if (dx != 0) {
    ShiftForm(window, SB_HORZ, dx);
    SetScrollPos(window, SB_HORZ, -ScrollOrigin.x, TRUE);
  }
}

LRESULT DefaultSizeCommand(HWND window) {
  // A maximised window would keep its maximised look and place at any size.
  if (IsZoomed(window)) ShowWindow(window, SW_RESTORE);
  WindowSize size = DefaultWindowSize(CellMetrics);
  SetWindowPos(window, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOOWNERZORDER);
  return 0;
}
