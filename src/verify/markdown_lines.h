// The two kinds of line that verify reads and --fix rewrites, recognised
// as the numbering jobs write them: page-number lines and annotated
// headings. Only lines that arrive as one piece are recognised; the jobs
// leave longer ones alone too.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "paging/line_reader.h"

// A page-number line: the numbers " R / T" or " ( R / T )" sit in
// [numbersStart, numbersEnd), just before "</span></div>".
struct NumberLineParts {
  size_t numbersStart;
  size_t numbersEnd;
  int32_t reads;
  int32_t total;
  bool paren;
};

bool ParseNumberLine(const LinePiece& line, NumberLineParts* parts);

// The numbers of a page-number line in its format.
void FormatNumbers(int32_t reads, int32_t total, bool paren, char* out, size_t outSize);

// A heading with its page annotation: the heading's text is in
// [textStart, textEnd), the annotation's page number in
// [pageStart, pageEnd).
struct HeadingParts {
  size_t textStart;
  size_t textEnd;
  size_t pageStart;
  size_t pageEnd;
  int32_t page;
};

bool ParseAnnotatedHeading(const LinePiece& line, HeadingParts* parts);

// The heading's printed text in Markdown: closing '#' marks dropped, a link
// shown as its text, an image not at all, backslash escapes resolved. Writes
// at most outSize bytes and answers the length.
size_t HeadingDisplayText(const char* text, size_t length, char* out, size_t outSize);
