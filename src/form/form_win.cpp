#include "form/form_win.h"

#include <stdio.h>

#include "common/store.h"
#include "common/wide_text_win.h"

HWND ControlHandles[kLayoutRowCount];

namespace {

// The UTF-16 form of a slot, a number or a caption on its way to the
// platform. One at a time, on the user-interface thread.
wchar_t wideText[kTextSlotSize];

// A slot's UTF-8 text; a malformed sequence (a hand-edited settings file)
// shows as the replacement character instead of emptying the text.
const wchar_t* WideFromUtf8(const char* text) {
  if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wideText, kTextSlotSize) <= 0) wideText[0] = L'\0';
  return wideText;
}

const wchar_t* WideCaption(const char* caption) {
  CodePageToWide(kCaptionCodePage, caption, wideText, kTextSlotSize);
  return wideText;
}

void SetText(HWND control, const wchar_t* text) {
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void SetInitialState(int row) {
  const LayoutRow& r = LayoutTable[row];
  HWND control = ControlHandles[row];
  char number[50];
  switch (r.kind) {
    case RadioButton:
      if (RadioRowForValue(Settings[r.slot], r.aux) == row) {
        SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
      }
      break;
    case CheckBox:
      if (Settings[r.slot] != 0) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
      break;
    case SlotLabel:
    case EditField:
      SetText(control, WideFromUtf8(TextSlots[r.slot]));
      break;
    case DecimalLabel:
    case HexLabel:
      snprintf(number, sizeof number, r.kind == HexLabel ? "%x" : "%d", Settings[r.slot]);
      SetText(control, WideFromUtf8(number));
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
  const wchar_t* text = nullptr;
  switch (r.kind) {
    case PaintedCaption:
      text = WideCaption(RowCaption(r, Settings[kLanguage]));
      break;
    case PaintedSlotText:
      text = WideFromUtf8(TextSlots[r.slot]);
      break;
    case PaintedDecimal:
    case PaintedHex:
      snprintf(number, sizeof number, r.kind == PaintedHex ? "%#x" : "%d", Settings[r.slot]);
      text = WideFromUtf8(number);
      break;
    case PaintedEdge:
      DrawEdge(dc, &rect, r.style, static_cast<UINT>(r.aux));
      return;
    default:
      return;
  }
  if (text != nullptr) DrawTextW(dc, text, -1, &rect, r.style);
}

}  // namespace

void MeasureCellMetrics(HWND window) {
  HDC dc = GetDC(window);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  CellMetrics = CellFromTextMetrics(metrics.tmAveCharWidth, metrics.tmHeight,
                                    metrics.tmExternalLeading, metrics.tmPitchAndFamily);
  ReleaseDC(window, dc);
}

void BuildForm(HWND window, HINSTANCE instance) {
  for (int row = 0; row < kLayoutRowCount; ++row) {
    const LayoutRow& r = LayoutTable[row];
    const char* windowClass = WindowClassForKind(r.kind);
    if (windowClass == nullptr) continue;
    wchar_t wideClass[16];
    Utf8ToWide(windowClass, wideClass, 16);
    PixelRect p = FormRectToPixels(row);
    ControlHandles[row] = CreateWindowExW(0, wideClass, L" ", r.style, p.left, p.top,
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
    SetText(ControlHandles[row], WideCaption(RowCaption(r, Settings[kLanguage])));
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
