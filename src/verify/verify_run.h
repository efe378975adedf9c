// One run of verify (or verify --fix) over a Markdown file and its PDF, with
// the program's fixed storage. The outcome is values; the command-line front
// end turns them into text.
#pragma once

#include <stdint.h>

#include "verify/fix_numbers.h"
#include "verify/pdf_text.h"
#include "verify/verify.h"

enum class VerifyStep {
  Compared,         // findings and outcome are set
  MarkdownProblem,  // scanStatus says what
  PdfProblem,       // pdfStatus says what
  FixRefused,       // --fix with number lines not in the PDF: nothing written
  FixDone,          // --fix ran: fix says how it ended
};

struct VerifyRun {
  VerifyStep step;
  ScanStatus scanStatus;
  PdfStatus pdfStatus;
  VerifyOutcome outcome;
  const Finding* findings;
  int32_t findingCount;
  int32_t sheetCount;
  FixReport fix;
};

void RunVerify(const char* markdownPath, const char* pdfPath, bool fix, VerifyRun* run);
