// ReadPdfSheets through the PDF reader module, loaded the first time a PDF
// is read. It is looked for from the program's real location, not from
// argv[0] (which is only a name when the program was found through PATH):
// beside the program, as in the build folder, then where the install puts
// it relative to the program (lib/foliostamp beside bin), and last in the
// build folder it was built in, for the test programs there.
#include <dlfcn.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "verify/pdf_module.h"
#include "verify/pdf_text.h"

#ifndef FOLIOSTAMP_PDF_MODULE_NAME
#define FOLIOSTAMP_PDF_MODULE_NAME "libfoliostamp_pdf.so"
#endif

namespace {

FoliostampReadPdfSheetsEntry entry = nullptr;

// The folder of the running program with links resolved, without a
// trailing '/'. False when the system does not tell.
bool ProgramFolder(char* out, size_t size) {
  char path[PATH_MAX];
#if defined(__APPLE__)
  char given[PATH_MAX];
  uint32_t length = sizeof given;
  if (_NSGetExecutablePath(given, &length) != 0 || realpath(given, path) == nullptr) return false;
#elif defined(__linux__)
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return false;
  path[length] = '\0';
#else
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&ProgramFolder), &info) == 0 || info.dli_fname == nullptr ||
      realpath(info.dli_fname, path) == nullptr) {
    return false;
  }
#endif
  const char* slash = strrchr(path, '/');
  if (slash == nullptr) return false;
  int written = snprintf(out, size, "%.*s", static_cast<int>(slash - path), path);
  return written >= 0 && static_cast<size_t>(written) < size;
}

void* OpenIn(const char* folder, const char* below) {
  char path[PATH_MAX + 256];
  int length = snprintf(path, sizeof path, "%s%s%s/%s", folder, below[0] != '\0' ? "/" : "", below,
                        FOLIOSTAMP_PDF_MODULE_NAME);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

bool LoadModule() {
  if (entry != nullptr) return true;
  void* module = nullptr;
  char folder[PATH_MAX];
  if (ProgramFolder(folder, sizeof folder)) {
    module = OpenIn(folder, "");
#ifdef FOLIOSTAMP_PDF_MODULE_RELATIVE_DIR
    if (module == nullptr) module = OpenIn(folder, FOLIOSTAMP_PDF_MODULE_RELATIVE_DIR);
#endif
  }
#ifdef FOLIOSTAMP_PDF_MODULE_DIR
  if (module == nullptr) module = OpenIn(FOLIOSTAMP_PDF_MODULE_DIR, "");
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
