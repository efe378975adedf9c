// The settings file: a count line, that many integer lines, a count line,
// that many text lines. Every line ends with CR LF; inside a text, LF is
// stored as byte 7 and CR as byte 11 so that a text always stays on one line.
#pragma once

// Reads the file at path into Settings and TextSlots. Values the file does
// not reach keep what they held. Returns false when the file cannot be
// opened. Whether or not it opened, a Language outside 0..1 becomes 0.
bool ReadSettingsFile(const char* path);

// Writes all of Settings and TextSlots to path (43 lines). Returns false when
// the file cannot be opened or a write fails.
bool WriteSettingsFile(const char* path);

// Integer value of a settings line: leading white space skipped, an optional
// sign, decimal digits up to the first other byte; no digits gives 0, and a
// value beyond 32 bits gives the nearest limit.
int SettingsLineValue(const char* line);
