// The settings file wired to the main window.
#pragma once

#include <windows.h>

// Forms SettingsPath from the current directory and loads the file into
// Settings and TextSlots.
void LoadSettingsFile();

// Harvests the edits, records the window rectangle, writes the file, and ends
// the message loop in every case.
void SaveSettingsFile(HWND window);

// Copies every edit control's text into its TextSlots entry.
void HarvestEdits();
