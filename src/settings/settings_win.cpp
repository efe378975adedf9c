#include "settings/settings_win.h"

#include <string.h>

#include "common/store.h"
#include "common/utf8_text.h"
#include "common/wide_text_win.h"
#include "form/form_win.h"
#include "settings/settings_codec.h"
#include "settings/settings_path.h"

namespace {

// An edit's text on its way into its slot, on the user-interface thread.
wchar_t wideEdit[kTextSlotSize];
// Three UTF-8 bytes at most for each UTF-16 unit.
char utf8Edit[3 * kTextSlotSize];

// The full path of the program's name in the current directory, as UTF-8,
// and its length; 0 when it cannot be resolved, or the size it would need
// when it is longer than SettingsPath can hold.
uint32_t ResolveProgramPath(char* resolved, size_t resolvedSize) {
  resolved[0] = '\0';
  wchar_t name[32];
  wchar_t full[kWidePathSize];
  Utf8ToWide(kProgramFileName, name, 32);
  DWORD length = GetFullPathNameW(name, kWidePathSize, full, nullptr);
  if (length == 0 || length >= kWidePathSize) return length;
  int needed = WideCharToMultiByte(CP_UTF8, 0, full, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return 0;
  if (!WideToUtf8(full, resolved, resolvedSize)) return static_cast<uint32_t>(needed);
  return static_cast<uint32_t>(strlen(resolved));
}

// The rectangle the window has when it is neither minimised nor maximised,
// in the screen coordinates GetWindowRect would give for it then. A
// minimised window's own rectangle is only its icon's place.
bool NormalWindowRect(HWND window, RECT* rect) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(window, &placement)) return false;
  *rect = placement.rcNormalPosition;
  if ((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) return true;
  // Workspace coordinates start at the work area's corner, away from the
  // screen's when a taskbar sits at the top or the left.
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromRect(rect, MONITOR_DEFAULTTONEAREST), &monitor)) {
    OffsetRect(rect, monitor.rcWork.left - monitor.rcMonitor.left,
               monitor.rcWork.top - monitor.rcMonitor.top);
  }
  return true;
}

}  // namespace

void LoadSettingsFile() {
  // A first start speaks the user's language; a Language in the file wins.
  Settings[kLanguage] = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? 0 : 1;
  char resolved[kSettingsPathSize];
  uint32_t length = ResolveProgramPath(resolved, sizeof resolved);
  if (FormSettingsPath(resolved, length)) ReadSettingsFile(SettingsPath);
}

void SaveSettingsFile(HWND window) {
  HarvestEdits();
  RECT rect;
  if (NormalWindowRect(window, &rect)) {
    Settings[kWindowLeft] = rect.left;
    Settings[kWindowTop] = rect.top;
    Settings[kWindowRight] = rect.right;
    Settings[kWindowBottom] = rect.bottom;
  }
  WriteSettingsFile(SettingsPath);
  PostQuitMessage(0);
}

void HarvestEdits() {
  for (int row = 0; row < kLayoutRowCount; ++row) {
    const LayoutRow& r = LayoutTable[row];
    if (r.kind != EditField) continue;
    // 31999 UTF-16 units are never fewer UTF-8 bytes than a slot holds, so
    // a text cut here (even inside a surrogate pair) is cut again below.
    int copied = GetWindowTextW(ControlHandles[row], wideEdit, kTextSlotSize);
    wideEdit[copied > 0 ? copied : 0] = L'\0';
    if (!WideToUtf8(wideEdit, utf8Edit, sizeof utf8Edit)) utf8Edit[0] = '\0';
    size_t length = Utf8PrefixLength(utf8Edit, strlen(utf8Edit), kTextSlotSize - 1);
    memcpy(TextSlots[r.slot], utf8Edit, length);
    TextSlots[r.slot][length] = '\0';
  }
}
