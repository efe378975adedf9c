// Rewriting a document in its own place through the numbering jobs' steps
// (held against other jobs, backed up, replaced safely), with a pass of
// the caller's: verify's renumbering uses it.
#pragma once

#include <stdint.h>

#include "paging/jobs.h"
#include "paging/line_reader.h"
#include "paging/line_writer.h"

struct InPlacePass {
  // Reads the document from reader and writes its new text to writer;
  // false when the new text must not replace it.
  bool (*rewrite)(void* context, LineReader* reader, LineWriter* writer);
  void* context;
  int32_t total;  // the page total the job reports when done
};

JobReport RewriteInPlaceWith(const JobInput& input, const InPlacePass& pass);
