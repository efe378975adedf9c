// The entry point of the PDF reader module that native builds load only
// when verify runs, so that the other commands do not carry the PDF
// engine's libraries in memory. Plain C, so it can be looked up by name.
#pragma once

#include <stdint.h>

#include "verify/pdf_text.h"

extern "C" {

// ReadPdfSheets, with the status as its integer value.
typedef int (*FoliostampReadPdfSheetsEntry)(const char* path, SheetTextSink sink, void* context,
                                             int32_t* sheetCount);

#define FOLIOSTAMP_READ_PDF_SHEETS "FoliostampReadPdfSheets"
}
