// verify --fix: rewrites the Markdown file so that its numbers agree with
// the PDF, with a backup made and used exactly as the numbering jobs do.
#pragma once

#include "verify/verify.h"

enum class FixOutcome {
  Written,  // the file holds the new numbers
  Refused,  // nothing was changed (a bad path, or the backup could not be made)
  Failed,   // the rewrite failed; the file was put back from its backup
};

// text is the result line(s), CR LF between lines, valid until the next
// call: "Total N pages." or an error text like those of the jobs.
struct FixReport {
  FixOutcome outcome;
  const char* text;
};

// Copies the file to its backup, then writes it again from the backup with
// each page-number line showing the sheet it is on and the sheet count,
// and each annotated heading the sheet found for it. Nothing else changes:
// no line is added or removed and every other byte stays. Every number line
// must have been found (placement.numberSheets[i] > 0).
FixReport FixNumbers(const char* markdownPath, const DocumentScan& scan,
                     const Placement& placement);
