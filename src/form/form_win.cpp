#include "form/form_win.h"

#include <stdio.h>

#include "common/store.h"

HWND ControlHandles[kLayoutRowCount];

namespace {

void SetInitialState(int row) {
  const LayoutRow& r = LayoutTable[row];
  HWND control = ControlHandles[row];
  char number[50];
  switch (r.kind) {
    case RadioButton:
      if (Settings[r.slot] == row - r.aux) SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
      break;
    case CheckBox:
      if (Settings[r.slot] != 0) SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
      break;
    case SlotLabel:
    case EditField:
      SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(TextSlots[r.slot]));
      break;
    case DecimalLabel:
    case HexLabel:
      snprintf(number, sizeof number, r.kind == HexLabel ? "%x" : "%d", Settings[r.slot]);
      SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(number));
      break;
    default:
      break;
  }
  if (r.kind != RadioButton && r.aux == 2) EnableWindow(control, FALSE);
}

void PaintRow(HDC dc, int row) {
  const LayoutRow& r = LayoutTable[row];
  PixelRect p = FormRectToPixels(row);
  // A row that starts left of the client area is left out entirely.
  if (p.left < 0) return;
  RECT rect = {p.left, p.top, p.right, p.bottom};
  char number[50];
  const char* text = nullptr;
  switch (r.kind) {
    case PaintedCaption:
      text = RowCaption(r, Settings[kLanguage]);
      break;
    case PaintedSlotText:
      text = TextSlots[r.slot];
      break;
    case PaintedDecimal:
    case PaintedHex:
      snprintf(number, sizeof number, r.kind == PaintedHex ? "%#x" : "%d", Settings[r.slot]);
      text = number;
      break;
    case PaintedEdge:
      DrawEdge(dc, &rect, r.style, static_cast<UINT>(r.aux));
      return;
    default:
      return;
  }
  if (text != nullptr) DrawTextA(dc, text, -1, &rect, r.style);
}

}  // namespace

void MeasureCellMetrics(HWND window) {
  HDC dc = GetDC(window);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  CellMetrics = CellFromTextMetrics(metrics.tmAveCharWidth, metrics.tmHeight,
                                    metrics.tmExternalLeading, metrics.tmPitchAndFamily);
  ReleaseDC(window, dc);
}

void BuildForm(HWND window, HINSTANCE instance) {
  for (int row = 0; row < kLayoutRowCount; ++row) {
    const LayoutRow& r = LayoutTable[row];
    const char* windowClass = WindowClassForKind(r.kind);
    if (windowClass == nullptr) continue;
    PixelRect p = FormRectToPixels(row);
    ControlHandles[row] = CreateWindowExA(0, windowClass, " ", r.style, p.left, p.top,
                                          p.right - p.left, p.bottom - p.top, window,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(row)),
                                          instance, nullptr);
    SetInitialState(row);
  }
  ApplyCaptions();
}

void ApplyCaptions() {
  for (int row = 0; row < kLayoutRowCount; ++row) {
    const LayoutRow& r = LayoutTable[row];
    if (!HasControlCaption(r.kind)) continue;
    SendMessageA(ControlHandles[row], WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(RowCaption(r, Settings[kLanguage])));
  }
}

LRESULT PaintForm(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  for (int row = 0; row < kLayoutRowCount; ++row) {
    if (IsPaintedKind(LayoutTable[row].kind)) PaintRow(dc, row);
  }
  EndPaint(window, &paint);
  return 0;
}
