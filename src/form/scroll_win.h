// Scrolling the form with the window's own scroll bars, and the default size.
#pragma once

#include <windows.h>

LRESULT ResizeForm(HWND window, UINT clientWidth, UINT clientHeight);
LRESULT ScrollFormVertically(HWND window, UINT requestCode);
LRESULT ScrollFormHorizontally(HWND window, UINT requestCode);
LRESULT DefaultSizeCommand(HWND window);

// Scrolls the form so that the control of one of its rows is wholly in the
// client area, when it is not already; other windows are left alone.
void RevealControl(HWND window, HWND control);
