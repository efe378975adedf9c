// The main window: its class, its procedure and its creation.
#pragma once

#include <windows.h>

constexpr const wchar_t* kWindowClassName = L"Foliostamp";
extern const wchar_t kMainWindowTitle[];

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the window class; false when the platform refuses it.
bool RegisterMainWindowClass(HINSTANCE instance);

// The program's icon in both executables' resources.
constexpr int kProgramIconId = 1;

// The files named on the program's command line.
struct StartFiles {
  wchar_t* const* names;
  int count;
};

// Creates the main window, running the creation sequence; null on failure.
// startFiles, when given, are opened as OpenFiles does once the settings
// file is loaded.
HWND CreateMainWindow(HINSTANCE instance, const StartFiles* startFiles = nullptr);

// Keys for the form's controls (Tab, Shift+Tab, the arrows, Space), taken
// as a dialog box takes them; true when the message was handled so.
bool IsFormKey(HWND window, MSG* message);

// Moves the window to the rectangle saved at the last exit, if it has one.
void RestoreWindowRect(HWND window);

// The whole program: register, create, show, run the loop. Returns the exit code.
int RunFoliostamp(HINSTANCE instance, int showCommand);
