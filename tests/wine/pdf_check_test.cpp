// Check PDF in the window: the real PDFs of scripts/make-test-pdfs.sh, the
// message box that offers the fix, and the files the window opens by drop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/commands_win.h"
#include "common/store.h"
#include "form/form_win.h"
#include "verify_lines.h"
#include "wine_support.h"

namespace {

const int kLockedRows[] = {4, 10, 12, 14, 16, 21, 41, 42, 43, 44, 47, 49};
const char kFixQuestionJapanese[] = "PDFに合わせてページ番号を書き換えますか？";
const char kFixQuestionEnglish[] = "Rewrite the page numbers to match the PDF?";
const char kSpillReport[] =
    "Page 2 runs over sheets 2-3.\r\n"
    "Page 3 is on sheet 4 but reads 3; the PDF has 4 sheets, the total says 3.";

class PdfCheckTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    pdfs_ = TestPdfs();
  }
  // A file of the test PDFs' folder copied into the temp folder as name.
  std::string Copy(const std::string& from, const std::string& name) {
    WriteFileBytes(Path(name.c_str()), ReadFileBytes(pdfs_ + "\\" + from));
    return Path(name.c_str());
  }
  // A window in the given Language with the document and PdfPath set.
  void OpenWith(int32_t language, const std::string& md, const std::string& pdfPath) {
    CloseWindow();
    ResetStores();
    Settings[kLanguage] = language;
    PrepareSettings();
    OpenWindow();
    SetTextSlot(kMarkdownPath, md.c_str());
    SetTextSlot(kPdfPath, pdfPath.c_str());
  }
  std::string pdfs_;
};

// Results with no question: agreement, the files that cannot be used, and
// numbers the fix could not place.
TEST_F(PdfCheckTest, AgreementAndUnusableFilesShowOnlyTheResult) {
  std::string fits = Copy("fits.md", "fits.md");
  std::string notes = Copy("fits.md", "my.notes.md");
  Copy("fits.pdf", "fits.pdf");
  Copy("fits.pdf", "my.notes.pdf");
  Copy("notpdf.pdf", "notpdf.pdf");
  std::string lonely = Copy("fits.md", "lonely.md");
  // The last number line edited after the export: the fix cannot place it.
  std::string edited = Path("edited.md");
  std::string text = ReadFileBytes(pdfs_ + "\\fits.md");
  text.replace(text.find("Foliostamp test&nbsp;&nbsp;&nbsp; 3 / 3"), 15, "Foliostamp beta");
  WriteFileBytes(edited, text);
  // A name outside either code page: the paths reach the PDF reader whole.
  std::string korean = Copy("japanese.md", "한국어 문서.md");
  Copy("japanese.pdf", "한국어 문서.pdf");
  struct Case {
    const char* name;
    std::string md;
    std::string pdfPath;  // empty: the PDF beside the document
    std::string result;
  };
  const Case kCases[] = {
      {"agreeing", fits, Path("fits.pdf"), "The page numbers agree with the PDF's 3 sheets."},
      {"the PDF beside the document", notes, "", "The page numbers agree with the PDF's 3 sheets."},
      {"a name in no code page", korean, "", "The page numbers agree with the PDF's 3 sheets."},
      {"a missing PDF", fits, Path("missing.pdf"),
       "Error: The PDF file does not exist: " + Path("missing.pdf")},
      {"no PDF beside the document", lonely, "",
       "Error: The PDF file does not exist: " + Path("lonely.pdf")},
      {"not a PDF", fits, Path("notpdf.pdf"), "Error: Not a PDF file: " + Path("notpdf.pdf")},
      {"disagreeing where no fix can help", edited, Path("fits.pdf"),
       "Page 3: its number line \"3 / 3\" is not in the PDF.\r\n"
       "The PDF may be older than the document: export it again from the numbered document."},
      {"a missing document", Path("gone.md"), Path("fits.pdf"),
       "Error: The Markdown file cannot be read: " + Path("gone.md")},
  };
  const std::string original = ReadFileBytes(fits);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    OpenWith(1, c.md, c.pdfPath);
    SetTextSlot(kResultText, "Total 3 pages.");
    BoxWatcher noBox("Check PDF", IDNO);
    Click(kCheckPdfRow);
    EXPECT_STREQ(TextSlots[kResultText], "");  // emptied as the job starts
    // Locked as for Execute until the job's end is handled, however soon it comes.
    for (int row : kLockedRows) EXPECT_FALSE(IsWindowEnabled(ControlHandles[row])) << row;
    EXPECT_TRUE(IsWindowEnabled(ControlHandles[kLanguageRow]));
    ASSERT_TRUE(WaitForJobEnd());
    PumpMessages();
    EXPECT_EQ(noBox.Stop(), 0);
    for (int row : kLockedRows) EXPECT_TRUE(IsWindowEnabled(ControlHandles[row])) << row;
    EXPECT_EQ(std::string(TextSlots[kResultText]), c.result);
    EXPECT_EQ(std::string(TextSlots[kPdfPath]), c.pdfPath);  // the default is not stored
  }
  EXPECT_TRUE(ReadFileBytes(fits) == original);
  EXPECT_FALSE(FileExists(Path("fits.bak")));
}

TEST_F(PdfCheckTest, DisagreeingAnsweredNoChangesNothing) {
  std::string md = Copy("spill.md", "spill.md");
  Copy("spill.pdf", "spill.pdf");
  const std::string original = ReadFileBytes(md);
  struct Case {
    int32_t language;
    const char* question;
    int answer;
  };
  // Enter presses the default button, which is No.
  const Case kCases[] = {{0, kFixQuestionJapanese, IDNO},
                         {1, kFixQuestionEnglish, IDNO},
                         {1, kFixQuestionEnglish, BoxAnswerer::kEnter}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.language);
    SCOPED_TRACE(c.answer);
    OpenWith(c.language, md, "");
    BoxAnswerer no("Check PDF", c.answer);
    Click(kCheckPdfRow);
    ASSERT_TRUE(WaitForJobEnd());
    ASSERT_TRUE(no.Join());
    std::string box = std::string(kSpillReport) + "\n\n" + c.question;
    box.erase(box.find('\r'), 1);
    EXPECT_EQ(no.text(), box);
    EXPECT_EQ(JobThread, nullptr);
    EXPECT_EQ(std::string(TextSlots[kResultText]), kSpillReport);
    for (int row : {kCheckPdfRow, kPdfSelectRow, kExecuteRow}) {
      EXPECT_TRUE(IsWindowEnabled(ControlHandles[row])) << row;
    }
  }
  EXPECT_TRUE(ReadFileBytes(md) == original);
  EXPECT_FALSE(FileExists(Path("spill.bak")));
}

// Yes rewrites the numbers to the sheets the PDF printed them on; the next
// export of the document agrees.
TEST_F(PdfCheckTest, DisagreeingAnsweredYesFixesTheNumbers) {
  std::string md = Copy("spill.md", "book.md");
  std::string pdf = Copy("spill.pdf", "export.pdf");
  const std::string original = ReadFileBytes(md);
  OpenWith(0, md, pdf);
  {
    BoxAnswerer yes("Check PDF", IDYES);
    Click(kCheckPdfRow);
    ASSERT_TRUE(WaitForJobEnd());
    ASSERT_TRUE(yes.Join());
  }
  ASSERT_TRUE(WaitForJobEnd());  // the fixing job
  EXPECT_EQ(std::string(TextSlots[kResultText]), "Page 2 runs over sheets 2-3.\r\nTotal 4 pages.");
  EXPECT_TRUE(ReadFileBytes(Path("book.bak")) == original);
  const std::string book = ReadFileBytes(md);
  for (int sheet : {1, 2, 4}) {
    EXPECT_NE(book.find(NumberLine("", sheet, 4) + "\n"), std::string::npos) << sheet;
  }
  EXPECT_EQ(book.find(NumberLine("", 3, 4)), std::string::npos);
  EXPECT_NE(book.find(Heading("##", "Spilled part", 3) + "\n"), std::string::npos);
  EXPECT_NE(book.find(Heading("##", "Last part", 4) + "\n"), std::string::npos);
  EXPECT_TRUE(book == ReadFileBytes(pdfs_ + "\\spill-fixed.md"));  // as the tool fixes it

  SetTextSlot(kPdfPath, Copy("spill-fixed.pdf", "export again.pdf").c_str());
  BoxWatcher noBox("Check PDF", IDNO);
  Click(kCheckPdfRow);
  ASSERT_TRUE(WaitForJobEnd());
  PumpMessages();
  EXPECT_EQ(noBox.Stop(), 0);
  EXPECT_EQ(std::string(TextSlots[kResultText]),
            "Page 2 runs over sheets 2-3.\r\nThe page numbers agree with the PDF's 4 sheets.");
}

// A different document forgets the PDF chosen for the one before, unless
// the drop brings a PDF along, in either order.
TEST_F(PdfCheckTest, DroppedFilesAndTheSavedPdfPath) {
  struct Case {
    const char* name;
    std::string markdownBefore, pdfBefore;
    std::vector<std::string> dropped;
    std::string markdownPath;
    std::string pdfPath;
  };
  const std::string md = Path("chapter.md");
  const std::string pdf = Path("Chapter.PDF");
  const std::string oldMd = Path("old.md");
  const std::string oldPdf = Path("old.pdf");
  const Case kCases[] = {
      {"a document", "", "", {md}, md, ""},
      {"a PDF, any case", "", "", {pdf}, "", pdf},
      {"both at once", "", "", {pdf, md}, md, pdf},
      {"another kind of file is the document", "", "", {Path("notes.txt")}, Path("notes.txt"), ""},
      {"a name too long to take whole", "", "", {Path(std::string(2100, 'x').c_str())}, "", ""},
      {"another document", oldMd, oldPdf, {md}, md, ""},
      {"the same document", md, oldPdf, {Path("CHAPTER.md")}, Path("CHAPTER.md"), oldPdf},
      {"another document and its PDF", oldMd, oldPdf, {md, pdf}, md, pdf},
      {"a PDF and another document", oldMd, oldPdf, {pdf, md}, md, pdf},
      {"a PDF alone", oldMd, oldPdf, {pdf}, oldMd, pdf},
      {"a PDF while no document was chosen", "", oldPdf, {md}, md, oldPdf},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    OpenWith(1, c.markdownBefore, c.pdfBefore);
    SetTextSlot(kResultText, "Total 3 pages.");
    DropFiles(window_, c.dropped);
    EXPECT_EQ(std::string(TextSlots[kMarkdownPath]), c.markdownPath);
    EXPECT_EQ(std::string(TextSlots[kPdfPath]), c.pdfPath);
    EXPECT_STREQ(TextSlots[kResultText], "");
  }
}

TEST_F(PdfCheckTest, PdfPathIsKeptAsTheNinthText) {
  const std::string pdf = Path("Chapter.pdf");
  OpenWindow();
  DropFiles(window_, {pdf});
  RestartWindow();
  EXPECT_EQ(std::string(TextSlots[kPdfPath]), pdf);
  // The count and 20 numbers, the count of texts, then texts 0 to 7 come first.
  const int kLinesBefore = 1 + 20 + 1 + 8;
  std::string file = ReadFileBytes(SettingsFile());
  size_t at = 0;
  for (int line = 0; line < kLinesBefore && at != std::string::npos; ++line) {
    at = file.find("\r\n", at);
    if (at != std::string::npos) at += 2;
  }
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(file.substr(at, pdf.size() + 2), pdf + "\r\n");
}

}  // namespace
