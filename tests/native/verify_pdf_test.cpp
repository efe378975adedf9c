// Reading real PDFs, printed by Chromium from numbered documents: the sheet
// texts, and each way a file can fail to be a readable PDF.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_files.h"
#include "verify/pdf_text.h"
#include "verify_pdf_files.h"

namespace {

struct Sheets {
  PdfStatus status;
  int32_t count;
  std::vector<std::string> texts;
};

bool Collect(void* context, const char* text, size_t length) {
  static_cast<std::vector<std::string>*>(context)->emplace_back(text, length);
  return true;
}

Sheets Read(const std::string& path) {
  Sheets sheets;
  sheets.status = ReadPdfSheets(path.c_str(), Collect, &sheets.texts, &sheets.count);
  return sheets;
}

TEST(VerifyPdfText, StatusAndSheetsOfEachKindOfFile) {
  std::string pdfs = TestPdfFolder();
  struct Case {
    const char* name;
    PdfStatus status;
    int32_t sheets;
  };
  const Case cases[] = {
      {"fits.pdf", PdfStatus::Ok, 3},
      {"spill.pdf", PdfStatus::Ok, 4},
      {"missing.pdf", PdfStatus::Missing, 0},
      {"notpdf.pdf", PdfStatus::NotPdf, 0},
      {"damaged.pdf", PdfStatus::Unreadable, 0},
      {"encrypted.pdf", PdfStatus::Encrypted, 0},
      {"", PdfStatus::Unreadable, 0},  // the folder itself
  };
  for (const Case& c : cases) {
    Sheets sheets = Read(pdfs + "/" + c.name);
    EXPECT_EQ(sheets.status, c.status) << c.name;
    EXPECT_EQ(sheets.count, c.sheets) << c.name;
    EXPECT_EQ(sheets.texts.size(), static_cast<size_t>(c.status == PdfStatus::Ok ? c.sheets : 0))
        << c.name;
  }
}

TEST(VerifyPdfText, EachSheetHoldsItsNumberLineAndHeadingAnnotation) {
  Sheets sheets = Read(TestPdfFolder() + "/fits.pdf");
  ASSERT_EQ(sheets.texts.size(), 3u);
  for (int sheet = 1; sheet <= 3; ++sheet) {
    const std::string& text = sheets.texts[sheet - 1];
    std::string numbers = std::to_string(sheet) + " / 3";
    EXPECT_NE(text.find("Foliostamp test"), std::string::npos) << text;
    EXPECT_NE(text.find(numbers), std::string::npos) << text;
    EXPECT_NE(text.find("..." + std::to_string(sheet)), std::string::npos) << text;
    for (int other = 1; other <= 3; ++other) {
      if (other != sheet) EXPECT_EQ(text.find(std::to_string(other) + " / 3"), std::string::npos);
    }
  }
}

TEST(VerifyPdfText, OpensAPathWithJapaneseCharacters) {
  TempFolder folder;
  std::string path = folder.Path("\xE8\xB3\x87\xE6\x96\x99 \xE7\xAC\xAC" "1.pdf");  // 資料 第1.pdf
  std::error_code error;
  std::filesystem::copy_file(std::filesystem::u8path(TestPdfFolder() + "/japanese.pdf"),
                             std::filesystem::u8path(path), error);
  ASSERT_FALSE(error) << error.message();
  Sheets sheets = Read(path);
  EXPECT_EQ(sheets.status, PdfStatus::Ok);
  ASSERT_EQ(sheets.texts.size(), 3u);
  // The header 日本語の見出し, as printed.
  EXPECT_NE(sheets.texts[1].find("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xA6\x8B\xE5\x87\xBA\xE3\x81\x97"),
            std::string::npos)
      << sheets.texts[1];
}

}  // namespace
