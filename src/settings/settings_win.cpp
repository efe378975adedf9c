#include "settings/settings_win.h"

#include "common/store.h"
#include "form/form_win.h"
#include "settings/settings_codec.h"
#include "settings/settings_path.h"

void LoadSettingsFile() {
  char resolved[kSettingsPathSize];
  DWORD length = GetFullPathNameA(kProgramFileName, sizeof resolved, resolved, nullptr);
  if (length >= sizeof resolved) resolved[0] = '\0';
  if (FormSettingsPath(resolved, length)) ReadSettingsFile(SettingsPath);
}

void SaveSettingsFile(HWND window) {
  HarvestEdits();
  RECT rect;
  if (GetWindowRect(window, &rect)) {
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
    int copied = GetWindowTextA(ControlHandles[row], TextSlots[r.slot], kTextSlotSize);
    TextSlots[r.slot][copied > 0 ? copied : 0] = '\0';
  }
}
