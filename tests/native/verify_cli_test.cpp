// foliostamp-cli verify end to end, on PDFs printed by Chromium from
// documents the tool numbered: natively, and in the Windows build through
// foliostamp-cli.exe under Wine on the same PDFs.
#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_files.h"
#include "verify_lines.h"
#include "verify_pdf_files.h"
#include "tool_runner.h"

namespace {

class VerifyCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pdfs_ = TestPdfFolder();
    const char* names[] = {"fits",   "paren", "japanese",     "spill", "spill-fixed", "water",
                           "footer", "smart", "footer-fixed", "blank", "spill2-fixed", "blank-footer"};
    for (const char* name : names) {
      Copy(std::string(name) + ".md");
      Copy(std::string(name) + ".pdf");
    }
    Copy("encrypted.pdf");
    Copy("notpdf.pdf");
    Copy("damaged.pdf");
    WriteFileBytes(folder_.Path("plain.md"), "# Plain\n\nNo numbers here.\n");
  }

  void Copy(const std::string& name) {
    WriteFileBytes(folder_.Path(name), ReadFileBytes(pdfs_ + "/" + name));
  }

  ToolOutcome Verify(const std::vector<std::string>& arguments) {
    const char* tool = getenv("FOLIOSTAMP_CLI");
    EXPECT_NE(tool, nullptr) << "FOLIOSTAMP_CLI names the tool";
    std::vector<std::string> all = {"verify"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunTool(tool != nullptr ? tool : "", folder_.root(), all);
  }

  std::string Md(const char* name) { return ReadFileBytes(folder_.Path(name)); }

  std::string pdfs_;
  TempFolder folder_;
};

const char kAgree3[] = "The page numbers agree with the PDF's 3 sheets.\n";

const char kExportAgain[] =
    "The PDF may be older than the document: export it again from the numbered document.\n";

// Results go to standard output, errors and refusals to standard error.
TEST_F(VerifyCliTest, ReportsAndExitCodes) {
  const std::string blank =
      "Page 1 runs over sheets 1-2; sheet 2 is blank (sheet 1 is filled to its end: shortening "
      "the page by a line keeps it on one sheet, splitting it does not help).\n"
      "Page 2 is on sheet 3 but reads 2; the PDF has 3 sheets, the total says 2.\n";
  const std::string noneFound =
      "Error: The PDF file holds none of this document's page-number lines: japanese.pdf\n" +
      std::string(kExportAgain);
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string out;  // with exit status 2: only its start is checked
    std::string err;  // with exit status 2: one line
  };
  const Case cases[] = {
      {{"fits.md", "fits.pdf"}, 0, kAgree3, ""},
      {{"paren.md", "paren.pdf"}, 0, kAgree3, ""},
      {{"japanese.md", "japanese.pdf"}, 0, kAgree3, ""},
      {{"spill.md", "spill.pdf"}, 1,
       "Page 2 runs over sheets 2-3.\n"
       "Page 3 is on sheet 4 but reads 3; the PDF has 4 sheets, the total says 3.\n",
       ""},
      {{"spill-fixed.md", "spill-fixed.pdf"}, 0,
       "Page 2 runs over sheets 2-3.\nThe page numbers agree with the PDF's 4 sheets.\n", ""},
      // Body text "2/3 water" and a paragraph "2/3" are not page 2's " 2 / 3".
      {{"water.md", "water.pdf"}, 0, kAgree3, ""},
      // The browser's "file:///... 3/4" on sheet 3 is not page 3's " 3 / 4".
      {{"footer.md", "footer.pdf"}, 1,
       "Page 2 runs over sheets 2-3.\nPage 3 is on sheet 4 but reads 3.\n", ""},
      {{"footer-fixed.md", "footer-fixed.pdf"}, 0,
       "Page 2 runs over sheets 2-3.\nThe page numbers agree with the PDF's 4 sheets.\n", ""},
      // "Writer's notes -- draft" printed as "Writer’s notes – draft".
      {{"smart.md", "smart.pdf"}, 0, kAgree3, ""},
      {{"blank.md", "blank.pdf"}, 1, blank, ""},
      // Sheet 2 holds only the browser's header and footer.
      {{"blank-footer.md", "blank-footer.pdf"}, 1, blank, ""},
      {{"spill2-fixed.md", "spill2-fixed.pdf"}, 0,
       "Page 2 runs over sheets 2-3.\nPage 3 (numbered 4) runs over sheets 4-5.\n"
       "The page numbers agree with the PDF's 6 sheets.\n",
       ""},
      {{"fits.md", "japanese.pdf"}, 1, "", noneFound},
      {{"fits.md", "notpdf.pdf"}, 1, "", "Error: Not a PDF file: notpdf.pdf\n"},
      {{"fits.md", "missing.pdf"}, 1, "", "Error: The PDF file does not exist: missing.pdf\n"},
      {{"fits.md", "encrypted.pdf"}, 1, "", "Error: The PDF file is encrypted: encrypted.pdf\n"},
      {{"fits.md", "damaged.pdf"}, 1, "", "Error: The PDF file cannot be read: damaged.pdf\n"},
      {{"plain.md", "fits.pdf"}, 1, "",
       "Error: The Markdown file has no page-number lines (number it with execute first): plain.md\n"},
      {{"missing.md", "fits.pdf"}, 1, "", "Error: The Markdown file cannot be read: missing.md\n"},
      {{"--help"}, 0, "Usage: foliostamp-cli verify [--fix] FILE.md FILE.pdf\n", ""},
      {{"-h"}, 0, "Usage: foliostamp-cli verify [--fix] FILE.md FILE.pdf\n", ""},
      {{"fits.md"}, 2, "", ""},
      {{"fits.md", "fits.pdf", "extra.pdf"}, 2, "", ""},
      {{"--header", "x", "fits.md", "fits.pdf"}, 2, "", ""},
      {{"--frobnicate", "fits.md", "fits.pdf"}, 2, "", ""},
      {{"--fix", "-", "fits.pdf"}, 2, "", ""},
  };
  const std::string fits = Md("fits.md");
  for (const Case& c : cases) {
    std::string arguments;
    for (const std::string& a : c.arguments) arguments += a + " ";
    ToolOutcome outcome = Verify(c.arguments);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << arguments << outcome.out << outcome.err;
    if (c.arguments[0] == "--help" || c.arguments[0] == "-h") {
      EXPECT_EQ(outcome.out.rfind(c.out, 0), 0u) << arguments << outcome.out;
      EXPECT_EQ(outcome.err, "") << arguments;
    } else if (c.exitCode == 2) {
      EXPECT_EQ(outcome.out, "") << arguments;
      EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << arguments << outcome.err;
    } else {
      EXPECT_EQ(outcome.out, c.out) << arguments;
      EXPECT_EQ(outcome.err, c.err) << arguments;
    }
  }
  EXPECT_EQ(Md("fits.md"), fits) << "verify writes nothing";
  EXPECT_FALSE(FileExists(folder_.Path("fits.bak")));
  EXPECT_FALSE(FileExists(folder_.Path("spill.bak")));
}

TEST_F(VerifyCliTest, FixRenumbersToTheSheetsAndTheNextExportAgrees) {
  const std::string original = Md("spill.md");
  WriteFileBytes(folder_.Path("book.md"), original);
  ToolOutcome fixed = Verify({"--fix", "book.md", "spill.pdf"});
  EXPECT_EQ(fixed.exitCode, 0) << fixed.out;
  EXPECT_EQ(fixed.out, "Page 2 runs over sheets 2-3.\nTotal 4 pages.\n");
  const std::string book = Md("book.md");
  EXPECT_EQ(ReadFileBytes(folder_.Path("book.bak")), original);
  for (int page : {1, 2, 4}) {
    EXPECT_NE(book.find(NumberLine("", page, 4) + "\n"), std::string::npos) << page << "\n" << book;
  }
  EXPECT_EQ(book.find(NumberLine("", 3, 4)), std::string::npos) << book;
  EXPECT_NE(book.find(Heading("##", "Spilled part", 3) + "\n"), std::string::npos) << book;
  EXPECT_NE(book.find(Heading("##", "Last part", 4) + "\n"), std::string::npos) << book;
  // Byte for byte what the native tool wrote before the export that follows.
  EXPECT_EQ(book, Md("spill-fixed.md"));

  ToolOutcome again = Verify({"book.md", "spill-fixed.pdf"});
  EXPECT_EQ(again.exitCode, 0) << again.out;
}

// What the browser's footer or body text shows is never written as a number.
TEST_F(VerifyCliTest, FixTakesOnlyOurNumberLines) {
  struct Case {
    const char* name;
    const char* out;
    std::vector<std::string> lines;  // in the fixed document
    bool unchanged;
  };
  const Case cases[] = {
      {"water", "Total 3 pages.\n",
       {NumberLine("", 1, 3), NumberLine("", 2, 3), NumberLine("", 3, 3)}, true},
      {"footer", "Page 2 runs over sheets 2-3.\nTotal 4 pages.\n",
       {NumberLine("", 1, 4), NumberLine("", 2, 4), NumberLine("", 4, 4)}, false},
  };
  for (const Case& c : cases) {
    const std::string md = std::string(c.name) + ".md";
    const std::string original = Md(md.c_str());
    ToolOutcome fixed = Verify({"--fix", md, std::string(c.name) + ".pdf"});
    EXPECT_EQ(fixed.exitCode, 0) << c.name << fixed.out << fixed.err;
    EXPECT_EQ(fixed.out, c.out) << c.name;
    const std::string book = Md(md.c_str());
    size_t at = 0;
    for (const std::string& line : c.lines) {
      at = book.find(line + "\n", at);
      EXPECT_NE(at, std::string::npos) << c.name << " " << line << "\n" << book;
    }
    if (c.unchanged) EXPECT_EQ(book, original) << c.name << ": its numbers were right";
  }
}

TEST_F(VerifyCliTest, FixWritesNothingUnlessEveryNumberLineIsFound) {
  std::string changed = Md("fits.md");
  std::string page2 = NumberLine("Foliostamp test", 2, 3);
  changed.replace(changed.find(page2), page2.size(), NumberLine("Foliostamp test", 2, 9));
  WriteFileBytes(folder_.Path("changed.md"), changed);
  struct Case {
    const char* markdown;
    const char* pdf;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"changed.md", "fits.pdf",
       "Page 2: its number line \"2 / 9\" is not in the PDF.\n" + std::string(kExportAgain),
       "Error: Not fixed: some page-number lines are not in the PDF or not on one sheet.\n"},
      {"changed.md", "japanese.pdf", "",
       "Error: The PDF file holds none of this document's page-number lines: japanese.pdf\n" +
           std::string(kExportAgain)},
      {"changed.md", "notpdf.pdf", "", "Error: Not a PDF file: notpdf.pdf\n"},
  };
  for (const Case& c : cases) {
    ToolOutcome outcome = Verify({"--fix", c.markdown, c.pdf});
    EXPECT_EQ(outcome.exitCode, 1) << c.pdf;
    EXPECT_EQ(outcome.out, c.out) << c.pdf;
    EXPECT_EQ(outcome.err, c.err) << c.pdf;
    EXPECT_EQ(Md("changed.md"), changed) << c.pdf;
    EXPECT_FALSE(FileExists(folder_.Path("changed.bak"))) << c.pdf;
  }
}

#ifndef _WIN32
// `verify - FILE.pdf` through a shell's redirection, as a pipeline runs it.
TEST_F(VerifyCliTest, MarkdownFromStandardInput) {
  struct Case {
    const char* input;
    const char* pdf;
    int exitCode;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"fits.md", "fits.pdf", 0, kAgree3, ""},
      {"spill.md", "spill.pdf", 1,
       "Page 2 runs over sheets 2-3.\n"
       "Page 3 is on sheet 4 but reads 3; the PDF has 4 sheets, the total says 3.\n",
       ""},
      {"plain.md", "fits.pdf", 1, "",
       "Error: The Markdown file has no page-number lines (number it with execute first): "
       "(standard input)\n"},
      {"fits.md", "missing.pdf", 1, "", "Error: The PDF file does not exist: missing.pdf\n"},
  };
  const char* tool = getenv("FOLIOSTAMP_CLI");
  ASSERT_NE(tool, nullptr);
  for (const Case& c : cases) {
    std::string command = std::string("exec \"$0\" verify - ") + c.pdf + " < " + c.input;
    ToolOutcome outcome = RunTool("/bin/sh", folder_.root(), {"-c", command, tool});
    EXPECT_EQ(outcome.exitCode, c.exitCode) << command << outcome.out << outcome.err;
    EXPECT_EQ(outcome.out, c.out) << command;
    EXPECT_EQ(outcome.err, c.err) << command;
  }
}
#endif

}  // namespace
