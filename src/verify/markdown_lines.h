// How verify reads the Markdown lines it matches: the rules of the lines
// themselves (number lines, annotated headings) are the jobs' own, and a
// heading is matched by the text a reader sees printed.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "paging/line_rules.h"

// The heading's printed text in Markdown: closing '#' marks dropped, a link
// shown as its text, an image not at all, backslash escapes resolved. Writes
// at most outSize bytes and answers the length.
size_t HeadingDisplayText(const char* text, size_t length, char* out, size_t outSize);
