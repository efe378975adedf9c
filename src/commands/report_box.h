// The part of verify's report a message box shows.
#pragma once

#include <stddef.h>

// At most this many report lines go into a box; a longer report is cut
// there and "…" stands for the rest (ResultText keeps it whole).
constexpr int kBoxReportLines = 15;

// The report (UTF-8 lines, CR LF or LF between them) as a box shows it:
// LF between lines, none after the last, cut after kBoxReportLines lines
// with a last line "…". Cut at a character's end when out is too small.
void BoxReportText(const char* report, char* out, size_t outSize);
