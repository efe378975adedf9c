// The two stores every part of the program shares: twenty integers and
// twenty-one texts. They are plain globals on purpose; the window and one
// worker thread read them, and the job-locked controls keep the texts still
// while a job runs.
#pragma once

#include <stdint.h>

constexpr int kSettingsCount = 20;
constexpr int kTextSlotCount = 21;
constexpr int kTextSlotSize = 32000;  // each slot holds at most 31999 bytes

// Meaningful Settings indices; the others are stored but unused.
enum SettingIndex {
  kLanguage = 0,
  kWindowLeft = 1,
  kWindowTop = 2,
  kWindowRight = 3,
  kWindowBottom = 4,
  kColorChoice = 12,
  kPositionChoice = 13,
  kFormatChoice = 15,
  kKeepExistingBackup = 16,
  kNumberFirstPage = 17,
  kAnnotateHeadings = 18,
};

// Meaningful TextSlots indices.
enum TextSlotIndex {
  kResultText = 1,
  kMarkdownPath = 2,
  kCustomColor = 3,
  kHeaderText = 4,
  kSkipPages = 5,
  kTocPageCount = 6,
  kFontSizePercent = 7,
  kPdfPath = 8,
};

extern int32_t Settings[kSettingsCount];
extern char TextSlots[kTextSlotCount][kTextSlotSize];

// Puts both stores back to the values in force before any settings file is
// read: every integer 0, CustomColor "blue", TocPageCount "1",
// FontSizePercent "80", every other text empty.
void ResetStores();

// Copies text into a slot, cutting it at 31999 bytes. Returns false when it
// had to cut.
bool SetTextSlot(int slot, const char* text);
