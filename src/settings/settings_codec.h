// The settings file: a count line, that many integer lines, a count line,
// that many text lines. Every line ends with CR LF; inside a text, LF is
// stored as byte 7 and CR as byte 11 so that a text always stays on one line.
//
// Texts are UTF-8 inside the program. In the file a text line is in the
// system code page, as earlier builds wrote it, unless it starts with the
// UTF-8 mark (EF BB BF): then the rest of the line is UTF-8. A text is
// saved in the code page when the code page holds it exactly, and as the
// mark and UTF-8 otherwise, so earlier builds still read every other line.
#pragma once

#include <stddef.h>

// The two conversions between the file's code page and UTF-8, with the
// contracts of SystemCodePageToUtf8 and Utf8ToSystemCodePage.
struct SettingsTextConversions {
  bool (*toUtf8)(const char* text, char* out, size_t outSize);
  bool (*fromUtf8)(const char* text, char* out, size_t outSize, bool* exact);
};

// The system code page, through common/text_encoding.h.
extern const SettingsTextConversions kSystemCodePageTexts;

// Reads the file at path (UTF-8) into Settings and TextSlots. Values the file does
// not reach keep what they held. Returns false when the file cannot be
// opened. Whether or not it opened, a Language outside 0..1 becomes 0.
bool ReadSettingsFile(const char* path,
                      const SettingsTextConversions& texts = kSystemCodePageTexts);

// Writes all of Settings and TextSlots to path (43 lines). Returns false when
// the file cannot be opened or a write fails.
bool WriteSettingsFile(const char* path,
                       const SettingsTextConversions& texts = kSystemCodePageTexts);

// Integer value of a settings line: leading white space skipped, an optional
// sign, decimal digits up to the first other byte; no digits gives 0, and a
// value beyond 32 bits gives the nearest limit.
int SettingsLineValue(const char* line);
