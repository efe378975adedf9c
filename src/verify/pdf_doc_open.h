// Opening a poppler document by a UTF-8 path, one implementation per
// platform. Private to the poppler side of verify.
#pragma once

#include <memory>

#include "PDFDoc.h"

std::unique_ptr<PDFDoc> OpenPdfDoc(const char* path);
