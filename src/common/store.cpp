#include "common/store.h"

#include <string.h>

int32_t Settings[kSettingsCount];
char TextSlots[kTextSlotCount][kTextSlotSize];

void ResetStores() {
  memset(Settings, 0, sizeof Settings);
  memset(TextSlots, 0, sizeof TextSlots);
  SetTextSlot(kCustomColor, "blue");
  SetTextSlot(kTocPageCount, "1");
  SetTextSlot(kFontSizePercent, "80");
}

bool SetTextSlot(int slot, const char* text) {
  size_t length = strlen(text);
  bool fits = length < kTextSlotSize;
  if (!fits) length = kTextSlotSize - 1;
  memcpy(TextSlots[slot], text, length);
  TextSlots[slot][length] = '\0';
  return fits;
}
