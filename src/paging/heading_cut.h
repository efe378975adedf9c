// Takes the first heading annotation out of a heading line that may arrive
// in several pieces: what comes before it is written, the annotation and
// everything after it on the line are dropped. The line's CR and LF bytes
// at its end are held back, so the caller decides its ending.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "paging/line_writer.h"

struct HeadingCut {
  size_t matched;   // bytes of the annotation matched so far, not yet written
  uint64_t heldCr;  // CR bytes not yet written: they may be the line's end
  bool endsWithLf;
  bool cut;         // the annotation was found
  uint64_t kept;    // bytes of the line written so far
};

void StartHeadingCut(HeadingCut* cut);

// Feeds the next bytes of the line.
void FeedHeadingCut(HeadingCut* cut, LineWriter* writer, const char* data, size_t length);

// Ends the line. Bytes held back as a possible annotation are written;
// with keepEnding, a line without annotation also gets its own CR and LF
// bytes back.
void FinishHeadingCut(HeadingCut* cut, LineWriter* writer, bool keepEnding);
