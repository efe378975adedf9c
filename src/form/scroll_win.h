// Scrolling the form with the window's own scroll bars, and the default size.
#pragma once

#include <windows.h>

LRESULT ResizeForm(HWND window, UINT clientWidth, UINT clientHeight);
LRESULT ScrollFormVertically(HWND window, UINT requestCode);
LRESULT ScrollFormHorizontally(HWND window, UINT requestCode);
LRESULT DefaultSizeCommand(HWND window);
