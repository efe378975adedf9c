#include "verify/pdf_doc_open.h"

std::unique_ptr<PDFDoc> OpenPdfDoc(const char* path) {
  return std::make_unique<PDFDoc>(std::make_unique<GooString>(path));
}
