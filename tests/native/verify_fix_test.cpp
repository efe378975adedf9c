// verify --fix on real files: only the numbers change, with the backup made
// and used as the numbering jobs do.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/store.h"
#include "paging/file_ops.h"
#include "test_files.h"
#include "verify/fix_numbers.h"
#include "verify_lines.h"

namespace {

NumberLineEntry numberLines[16];
HeadingEntry headings[16];
char keys[4096];
char sheetText[4096];
size_t starts[17];
int32_t numberSheets[16];
size_t numberEnds[16];
int32_t headingSheets[16];

// Scans the file, places it on the sheets and fixes it.
FixReport Fix(const std::string& path, const std::vector<std::string>& sheetTexts,
              std::string contentAtFix = "") {
  DocumentScan scan;
  StartScan(&scan, numberLines, 16, headings, 16, keys, sizeof keys);
  EXPECT_EQ(ScanMarkdownFile(&scan, path.c_str()), ScanStatus::Ok);
  SheetSet sheets;
  StartSheets(&sheets, sheetText, sizeof sheetText, starts, 16);
  for (const std::string& text : sheetTexts) AddSheet(&sheets, text.data(), text.size());
  Placement placement = {numberSheets, numberEnds, headingSheets, 0, 0, nullptr, nullptr, nullptr};
  PlaceLines(scan, sheets, &placement);
  if (!contentAtFix.empty()) WriteFileBytes(path, contentAtFix);
  return FixNumbers(path.c_str(), scan, placement);
}

std::string Join(const std::vector<std::string>& lines, const char* eol) {
  std::string text;
  for (const std::string& line : lines) text += line + eol;
  return text;
}

const std::vector<std::string> kSpilledSheets = {
    "Guide 1 / 3\nStart ...1", "( 2 / 3 )\nLong.", "Spilled part ...2", "3 / 3\nLast ...3"};
const std::vector<std::string> kExportedAgain = {
    "Guide 1 / 4\nStart ...1", "( 2 / 4 )\nLong.", "Spilled part ...3", "4 / 4\nLast ...4"};

TEST(VerifyFix, ChangesOnlyTheNumbersAndKeepsEveryOtherByte) {
  TempFolder folder;
  std::string path = folder.Path("book.md");
  std::string head = NumberLine("Guide", 1, 3) + "\r\n" + Heading("#", "Start", 1) + "\r\n" +
                     kVerifyBreak + "\r\n\r\n";
  std::string original = head + NumberLine("", 2, 3, true) + "\r\nLong.\n" +
                         Heading("##", "Spilled part", 2) + "\r\n" + kVerifyBreak + "\r\n\r\n" +
                         NumberLine("", 3, 3) + "\r\n" + Heading("##", "Last", 3);
  std::string expected = NumberLine("Guide", 1, 4) + "\r\n" + Heading("#", "Start", 1) + "\r\n" +
                         kVerifyBreak + "\r\n\r\n" + NumberLine("", 2, 4, true) + "\r\nLong.\n" +
                         Heading("##", "Spilled part", 3) + "\r\n" + kVerifyBreak + "\r\n\r\n" +
                         NumberLine("", 4, 4) + "\r\n" + Heading("##", "Last", 4);
  WriteFileBytes(path, original);
  FixReport report = Fix(path, kSpilledSheets);
  EXPECT_EQ(report.outcome, FixOutcome::Written);
  EXPECT_STREQ(report.text, "Total 4 pages.");
  EXPECT_EQ(ReadFileBytes(path), expected);
  EXPECT_EQ(ReadFileBytes(folder.Path("book.bak")), original);

  // Fixing again after the next export changes nothing.
  EXPECT_EQ(Fix(path, kExportedAgain).outcome, FixOutcome::Written);
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(VerifyFix, RefusesWhatTheJobsRefuse) {
  TempFolder folder;
  std::string text = Join({NumberLine("", 1, 1)}, "\n");
  std::string path = folder.Path("notes.txt");
  WriteFileBytes(path, text);
  FixReport report = Fix(path, {"1 / 1"});
  EXPECT_EQ(report.outcome, FixOutcome::Refused);
  EXPECT_STREQ(report.text, "Error: No .md file.\r\n");
  EXPECT_EQ(ReadFileBytes(path), text);
  EXPECT_FALSE(FileExists(folder.Path("notes.bak")));
}

TEST(VerifyFix, AFileThatChangedSinceItWasReadIsPutBack) {
  TempFolder folder;
  std::string path = folder.Path("book.md");
  WriteFileBytes(path, Join({NumberLine("", 1, 2), kVerifyBreak, "", NumberLine("", 2, 2)}, "\n"));
  std::string changed = Join({NumberLine("", 1, 2), "one line fewer"}, "\n");
  FixReport report = Fix(path, {"1 / 2", "2 / 2"}, changed);
  EXPECT_EQ(report.outcome, FixOutcome::Failed);
  EXPECT_EQ(std::string(report.text).rfind("Error: The file changed while it was being fixed", 0), 0u)
      << report.text;
  EXPECT_EQ(ReadFileBytes(path), changed);
  EXPECT_EQ(ReadFileBytes(folder.Path("book.bak")), changed);
}

// --fix runs through the numbering jobs' steps: the setting that keeps an
// existing backup refuses it, and a document another job holds is busy.
TEST(VerifyFix, TheJobStepsRefuseAsForExecute) {
  TempFolder folder;
  std::string path = folder.Path("book.md");
  std::string text = Join({NumberLine("", 1, 2), kVerifyBreak, "", NumberLine("", 2, 2)}, "\n");
  WriteFileBytes(path, text);
  WriteFileBytes(folder.Path("book.bak"), "older");
  Settings[kKeepExistingBackup] = 1;
  FixReport report = Fix(path, {"1 / 2", "", "2 / 2"});
  Settings[kKeepExistingBackup] = 0;
  EXPECT_EQ(report.outcome, FixOutcome::Refused);
  EXPECT_STREQ(report.text, "There is .bak file.");

  HeldFile held;
  ASSERT_EQ(OpenHeldFile(path.c_str(), true, &held), FileProblem::None);
  report = Fix(path, {"1 / 2", "", "2 / 2"});
  LetGo(&held);
  EXPECT_EQ(report.outcome, FixOutcome::Refused);
  EXPECT_EQ(std::string(report.text), "Busy:" + path + "\r\n");
  EXPECT_EQ(ReadFileBytes(path), text);
  EXPECT_EQ(ReadFileBytes(folder.Path("book.bak")), "older");

  // Without them it goes ahead.
  EXPECT_EQ(Fix(path, {"1 / 3", "", "2 / 3", "3 / 3"}).outcome, FixOutcome::Written);
  EXPECT_EQ(ReadFileBytes(folder.Path("book.bak")), text);
}

}  // namespace
