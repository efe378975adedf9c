// The settings file wired to the main window.
#pragma once

#include <windows.h>

// Forms SettingsPath from the current directory and loads the file into
// Settings and TextSlots. Language starts as the user's: Japanese when the
// user interface is Japanese, English otherwise, unless the file has one.
void LoadSettingsFile();

// Harvests the edits, records the window's normal rectangle (also when it is
// minimised or maximised), writes the file, and ends the message loop in
// every case.
void SaveSettingsFile(HWND window);

// Copies every edit control's text into its TextSlots entry.
void HarvestEdits();
