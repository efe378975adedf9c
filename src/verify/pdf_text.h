// The text of a PDF's sheets, as UTF-8, behind one small interface so that
// the PDF engine stays out of the rest of the program.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum class PdfStatus {
  Ok,
  Missing,      // no file at the path
  NotPdf,       // the file does not start like a PDF
  Encrypted,    // it needs a password to be read
  Unreadable,   // it could not be opened or parsed, or has no sheets
  TooLarge,     // a sheet's text, or all of them, did not fit (see the sink)
  NoSupport,    // this program was built without a PDF engine
  ModuleMissing,  // the PDF reader module beside the program cannot be loaded
};

// Receives each sheet's text in order. Answers false to stop reading, which
// makes ReadPdfSheets answer TooLarge.
using SheetTextSink = bool (*)(void* context, const char* text, size_t length);

// True when this program was built with a PDF engine.
bool PdfSupportBuiltIn();

// Opens the PDF at a UTF-8 path and hands the text of every sheet to sink,
// first to last. *sheetCount is the number of sheets (0 when not Ok).
PdfStatus ReadPdfSheets(const char* path, SheetTextSink sink, void* context,
                        int32_t* sheetCount);
