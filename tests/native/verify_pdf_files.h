// The PDFs that scripts/make-test-pdfs.sh makes for the verify tests.
#pragma once

#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "test_files.h"

// The folder named by FOLIOSTAMP_TEST_PDFS, checked to hold the PDFs.
inline std::string TestPdfFolder() {
  const char* folder = getenv("FOLIOSTAMP_TEST_PDFS");
  std::string path = folder != nullptr ? folder : "";
  EXPECT_TRUE(!path.empty() && FileExists(path + "/spill-fixed.pdf"))
      << "no test PDFs in '" << path << "': run scripts/make-test-pdfs.sh (scripts/test.sh does)";
  return path;
}
