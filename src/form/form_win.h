// Creating, captioning and painting the form on the main window.
#pragma once

#include <windows.h>

#include "form/layout_table.h"

// The child control of each row; null for rows without one.
extern HWND ControlHandles[kLayoutRowCount];

void MeasureCellMetrics(HWND window);
void BuildForm(HWND window, HINSTANCE instance);
void ApplyCaptions();
LRESULT PaintForm(HWND window);
