// ReadPdfSheets with poppler's core: PDFDoc opens the file and a
// TextOutputDev gives each page's text in reading order.
#include "verify/pdf_text.h"

#include <errno.h>
#include <string.h>

#include <memory>

#include "Error.h"
#include "ErrorCodes.h"
#include "GlobalParams.h"
#include "PDFDoc.h"
#include "TextOutputDev.h"
#include "common/file_open.h"
#include "verify/pdf_doc_open.h"

namespace {

constexpr size_t kSheetTextSize = 1 << 20;  // more than any real sheet holds

// One sheet's text as poppler hands it out, in pieces.
struct SheetBuffer {
  char text[kSheetTextSize];
  size_t length;
  bool overflow;
};
SheetBuffer sheet;

void TakeText(void* stream, const char* text, int length) {
  SheetBuffer* buffer = static_cast<SheetBuffer*>(stream);
  if (length <= 0) return;
  size_t n = static_cast<size_t>(length);
  if (n > sizeof buffer->text - buffer->length) {
    buffer->overflow = true;
    return;
  }
  memcpy(buffer->text + buffer->length, text, n);
  buffer->length += n;
}

// Our own messages say what went wrong; poppler's would only add noise.
void QuietErrors(ErrorCategory, Goffset, const char*) {}

// Missing, NotPdf or Unreadable from a look at the file's first bytes;
// Ok when it starts like a PDF. Readers accept the header a little way in.
PdfStatus ProbeFile(const char* path) {
  FILE* file = OpenFileUtf8(path, "rb");
  if (file == nullptr) return errno == ENOENT ? PdfStatus::Missing : PdfStatus::Unreadable;
  char head[1024];
  size_t got = fread(head, 1, sizeof head, file);
  bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) return PdfStatus::Unreadable;
  for (size_t i = 0; i + 5 <= got; ++i) {
    if (memcmp(head + i, "%PDF-", 5) == 0) return PdfStatus::Ok;
  }
  return PdfStatus::NotPdf;
}

void SetUpEngine() {
  if (globalParams) return;
  globalParams = std::make_unique<GlobalParams>();
  globalParams->setTextEncoding("UTF-8");
  setErrorCallback(QuietErrors);
}

}  // namespace

bool PdfSupportBuiltIn() { return true; }

PdfStatus ReadPdfSheets(const char* path, SheetTextSink sink, void* context,
                        int32_t* sheetCount) {
  *sheetCount = 0;
  PdfStatus probe = ProbeFile(path);
  if (probe != PdfStatus::Ok) return probe;
  SetUpEngine();
  std::unique_ptr<PDFDoc> doc = OpenPdfDoc(path);
  if (!doc) return PdfStatus::Unreadable;
  if (!doc->isOk()) {
    return doc->getErrorCode() == errEncrypted ? PdfStatus::Encrypted : PdfStatus::Unreadable;
  }
  int pages = doc->getNumPages();
  if (pages <= 0) return PdfStatus::Unreadable;
  // In the order the page draws its text: a browser draws in document
  // order, which keeps a right-aligned number line's header and numbers
  // together, where reading-order analysis may split them into columns.
  TextOutputDev device(TakeText, &sheet, false, 0, true, false);
  if (!device.isOk()) return PdfStatus::Unreadable;
  for (int page = 1; page <= pages; ++page) {
    sheet.length = 0;
    sheet.overflow = false;
    doc->displayPage(&device, page, 72, 72, 0, true, false, false);
    if (sheet.overflow || !sink(context, sheet.text, sheet.length)) return PdfStatus::TooLarge;
  }
  *sheetCount = pages;
  return PdfStatus::Ok;
}
