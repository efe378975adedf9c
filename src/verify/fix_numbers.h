// verify --fix: rewrites the Markdown file so that its numbers agree with
// the PDF, through the numbering jobs' own steps: held against other jobs,
// backed up (refused by the setting that keeps an existing backup), checked
// for size and replaced safely.
#pragma once

#include "verify/verify.h"

enum class FixOutcome {
  Written,  // the file holds the new numbers
  Refused,  // nothing was changed (a bad path, or the backup could not be made)
  Failed,   // the rewrite failed; the file was left as it was
};

// text is the result line(s), CR LF between lines, valid until the next
// call: "Total N pages." or an error text like those of the jobs.
struct FixReport {
  FixOutcome outcome;
  const char* text;
};

// Copies the file to its backup, then writes its new text with
// each page-number line showing the sheet it is on and the sheet count,
// and each annotated heading the sheet found for it. Nothing else changes:
// no line is added or removed and every other byte stays. Every number line
// must have been found (placement.numberSheets[i] > 0).
FixReport FixNumbers(const char* markdownPath, const DocumentScan& scan,
                     const Placement& placement);
