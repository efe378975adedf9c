// The exported entry of the PDF reader module (see pdf_module.h).
#include "verify/pdf_module.h"

extern "C" int FoliostampReadPdfSheets(
    const char* path, SheetTextSink sink, void* context, int32_t* sheetCount) {
  return static_cast<int>(ReadPdfSheets(path, sink, context, sheetCount));
}
