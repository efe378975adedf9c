// ReadPdfSheets through the PDF reader module, loaded the first time a PDF
// is read: from beside the running program, or from the build folder it
// was built in (where the tests run).
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "verify/pdf_module.h"
#include "verify/pdf_text.h"

#ifndef FOLIOSTAMP_PDF_MODULE_NAME
#define FOLIOSTAMP_PDF_MODULE_NAME "libfoliostamp_pdf.so"
#endif

namespace {

FoliostampReadPdfSheetsEntry entry = nullptr;

// The module beside the file that holds this code (the program).
void* OpenBesideProgram() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&OpenBesideProgram), &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  const char* slash = strrchr(info.dli_fname, '/');
  if (slash == nullptr) return nullptr;
  char path[4096];
  int length = snprintf(path, sizeof path, "%.*s/%s", static_cast<int>(slash - info.dli_fname),
                        info.dli_fname, FOLIOSTAMP_PDF_MODULE_NAME);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

bool LoadModule() {
  if (entry != nullptr) return true;
  void* module = OpenBesideProgram();
#ifdef FOLIOSTAMP_PDF_MODULE_DIR
  if (module == nullptr) {
    module = dlopen(FOLIOSTAMP_PDF_MODULE_DIR "/" FOLIOSTAMP_PDF_MODULE_NAME, RTLD_NOW | RTLD_LOCAL);
  }
#endif
  if (module == nullptr) return false;
  entry = reinterpret_cast<FoliostampReadPdfSheetsEntry>(dlsym(module, FOLIOSTAMP_READ_PDF_SHEETS));
  return entry != nullptr;
}

}  // namespace

bool PdfSupportBuiltIn() { return true; }

PdfStatus ReadPdfSheets(const char* path, SheetTextSink sink, void* context, int32_t* sheetCount) {
  *sheetCount = 0;
  if (!LoadModule()) return PdfStatus::ModuleMissing;
  return static_cast<PdfStatus>(entry(path, sink, context, sheetCount));
}
