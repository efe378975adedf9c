// A build without a PDF engine: verify says so with exit status 2, after
// the usage checks, whatever the files.
#include <gtest/gtest.h>

#include "cli/verify_command.h"
#include "verify/pdf_text.h"

namespace {

TEST(VerifyWithoutPdfSupport, ExitsWithTwo) {
  EXPECT_FALSE(PdfSupportBuiltIn());
  int32_t sheets = -1;
  EXPECT_EQ(ReadPdfSheets("any.pdf", nullptr, nullptr, &sheets), PdfStatus::NoSupport);
  EXPECT_EQ(sheets, 0);
  const char* run[] = {"foliostamp-cli", "verify", "book.md", "book.pdf"};
  EXPECT_EQ(RunVerifyCommand(4, run), 2);
  const char* help[] = {"foliostamp-cli", "verify", "--help"};
  EXPECT_EQ(RunVerifyCommand(3, help), 0);
}

}  // namespace
