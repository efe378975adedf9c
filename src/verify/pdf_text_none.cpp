// ReadPdfSheets for a build without a PDF engine: verify says so and stops.
#include "verify/pdf_text.h"

bool PdfSupportBuiltIn() { return false; }

PdfStatus ReadPdfSheets(const char*, SheetTextSink, void*, int32_t* sheetCount) {
  *sheetCount = 0;
  return PdfStatus::NoSupport;
}
