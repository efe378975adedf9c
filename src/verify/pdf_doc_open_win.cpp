// Windows: through poppler's wide-path constructor, so that any name Windows
// allows can be opened, whatever the code page.
#include "verify/pdf_doc_open.h"

#include <wchar.h>

#include "common/wide_text_win.h"

std::unique_ptr<PDFDoc> OpenPdfDoc(const char* path) {
  static wchar_t widePath[kWidePathSize];
  if (!Utf8ToWide(path, widePath, kWidePathSize)) return nullptr;
  return std::make_unique<PDFDoc>(widePath, static_cast<int>(wcslen(widePath)));
}
