// Verify's report lines, built from runs made by hand: which lines, of
// which kind, and the whole report in one buffer for the window.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "verify/verify_report.h"

namespace {

const ReportPaths kPaths = {"book.md", "book.pdf"};

Finding Spill(int32_t page, int32_t firstSheet, int32_t lastSheet) {
  Finding f = {};
  f.kind = FindingKind::Spill;
  f.firstPage = f.lastPage = page;
  f.firstSheet = firstSheet;
  f.lastSheet = lastSheet;
  f.reads = page;
  return f;
}

Finding Missing(int32_t page, int32_t reads, int32_t total) {
  Finding f = {};
  f.kind = FindingKind::NotFound;
  f.firstPage = f.lastPage = page;
  f.reads = reads;
  f.total = total;
  return f;
}

VerifyRun Compared(VerifyOutcome outcome, const std::vector<Finding>& findings, int32_t sheets) {
  VerifyRun run = {};
  run.step = VerifyStep::Compared;
  run.outcome = outcome;
  run.findings = findings.data();
  run.findingCount = static_cast<int32_t>(findings.size());
  run.sheetCount = sheets;
  run.fix = FixReport{FixOutcome::Refused, ""};
  return run;
}

struct Line {
  ReportLineKind kind;
  std::string text;
};

bool Collect(void* context, ReportLineKind kind, const char* line) {
  static_cast<std::vector<Line>*>(context)->push_back({kind, line});
  return true;
}

std::string Describe(const std::vector<Line>& lines) {
  std::string text;
  for (const Line& l : lines) text += (l.kind == ReportLineKind::Error ? "E " : "R ") + l.text + "\n";
  return text;
}

TEST(VerifyReport, LinesKindsAndVerdicts) {
  const std::vector<Finding> none;
  const std::vector<Finding> spill = {Spill(2, 2, 3)};
  const std::vector<Finding> missing = {Missing(3, 4, 5)};
  std::vector<Finding> twice = {Missing(3, 3, 4)};
  twice[0].kind = FindingKind::TwoCandidates;
  twice[0].firstSheet = 3;
  twice[0].lastSheet = 4;
  const char kExport[] =
      "The PDF may be older than the document: export it again from the numbered document.";
  VerifyRun markdown = Compared(VerifyOutcome::NoNumberLines, none, 0);
  markdown.step = VerifyStep::MarkdownProblem;
  markdown.scanStatus = ScanStatus::Unreadable;
  VerifyRun pdf = Compared(VerifyOutcome::NoNumberLines, none, 0);
  pdf.step = VerifyStep::PdfProblem;
  pdf.pdfStatus = PdfStatus::Encrypted;
  VerifyRun refused = Compared(VerifyOutcome::Disagree, missing, 5);
  refused.step = VerifyStep::FixRefused;
  const std::vector<Finding> both = {Spill(2, 2, 3), Missing(3, 3, 3)};
  VerifyRun written = Compared(VerifyOutcome::Disagree, both, 4);
  written.step = VerifyStep::FixDone;
  written.fix = FixReport{FixOutcome::Written, "Total 4 pages."};
  VerifyRun failed = written;
  failed.fix = FixReport{FixOutcome::Failed, "Error: first.\r\nSecond line."};
  struct Case {
    const char* name;
    VerifyRun run;
    ReportVerdict verdict;
    const char* lines;  // "R " result, "E " error
  };
  const Case cases[] = {
      {"agree", Compared(VerifyOutcome::Agree, none, 1), ReportVerdict::Agree,
       "R The page numbers agree with the PDF's 1 sheet.\n"},
      {"agree with a spill", Compared(VerifyOutcome::Agree, spill, 4), ReportVerdict::Agree,
       "R Page 2 runs over sheets 2-3.\nR The page numbers agree with the PDF's 4 sheets.\n"},
      {"disagree", Compared(VerifyOutcome::Disagree, spill, 4), ReportVerdict::Fixable,
       "R Page 2 runs over sheets 2-3.\n"},
      {"lines missing", Compared(VerifyOutcome::Disagree, missing, 5), ReportVerdict::Disagree,
       "R Page 3: its number line \"4 / 5\" is not in the PDF.\nR The PDF may be older than the "
       "document: export it again from the numbered document.\n"},
      {"on two sheets", Compared(VerifyOutcome::Disagree, twice, 4), ReportVerdict::Disagree,
       "R Page 3: its number line \"3 / 4\" is on sheet 3 and on sheet 4; one may be the "
       "browser's own page number: export the PDF without the browser's header and footer.\n"},
      {"none found", Compared(VerifyOutcome::NoneFound, none, 3), ReportVerdict::Problem,
       "E Error: The PDF file holds none of this document's page-number lines: book.pdf\n"
       "E The PDF may be older than the document: export it again from the numbered document.\n"},
      {"no number lines", Compared(VerifyOutcome::NoNumberLines, none, 0), ReportVerdict::Problem,
       "E Error: The Markdown file has no page-number lines (number it with execute first): "
       "book.md\n"},
      {"markdown", markdown, ReportVerdict::Problem,
       "E Error: The Markdown file cannot be read: book.md\n"},
      {"pdf", pdf, ReportVerdict::Problem, "E Error: The PDF file is encrypted: book.pdf\n"},
      {"fix refused", refused, ReportVerdict::Disagree,
       "R Page 3: its number line \"4 / 5\" is not in the PDF.\n"
       "R The PDF may be older than the document: export it again from the numbered document.\n"
       "E Error: Not fixed: some page-number lines are not in the PDF or not on one sheet.\n"},
      {"fix written", written, ReportVerdict::Agree,
       "R Page 2 runs over sheets 2-3.\nR Total 4 pages.\n"},
      {"fix failed", failed, ReportVerdict::Problem,
       "R Page 2 runs over sheets 2-3.\nR Page 3: its number line \"3 / 3\" is not in the PDF.\n"
       "E Error: first.\nE Second line.\n"},
  };
  for (const Case& c : cases) {
    std::vector<Line> lines;
    ForEachReportLine(c.run, kPaths, Collect, &lines);
    EXPECT_EQ(Describe(lines), c.lines) << c.name;
    EXPECT_EQ(ReportVerdictOf(c.run), c.verdict) << c.name;
    EXPECT_EQ(CountReportLines(c.run, kPaths), static_cast<int32_t>(lines.size())) << c.name;
    for (size_t i = 0; i <= lines.size(); ++i) {
      char line[kReportLineSize];
      ReportLineKind kind = ReportLineKind::Result;
      bool found = ReportLineAt(c.run, kPaths, static_cast<int32_t>(i), line, sizeof line, &kind);
      EXPECT_EQ(found, i < lines.size()) << c.name << " " << i;
      if (!found) continue;
      EXPECT_EQ(line, lines[i].text) << c.name << " " << i;
      EXPECT_EQ(kind, lines[i].kind) << c.name << " " << i;
    }
  }
  EXPECT_NE(std::string(kExport).find("export"), std::string::npos);
}

TEST(VerifyReport, WholeReportInOneBuffer) {
  const std::vector<Finding> findings = {Spill(2, 2, 3), Spill(5, 6, 7)};
  const VerifyRun run = Compared(VerifyOutcome::Agree, findings, 8);
  const std::string whole =
      "Page 2 runs over sheets 2-3.\r\nPage 5 runs over sheets 6-7.\r\n"
      "The page numbers agree with the PDF's 8 sheets.";
  struct Case {
    size_t size;
    std::string text;
    bool complete;
  };
  const Case cases[] = {
      {whole.size() + 1, whole, true},
      {whole.size(), "Page 2 runs over sheets 2-3.\r\nPage 5 runs over sheets 6-7.", false},
      {31, "Page 2 runs over sheets 2-3.", false},
      {10, "Page 2 ru", false},
      {1, "", false},
  };
  for (const Case& c : cases) {
    std::vector<char> out(c.size, 'x');
    bool complete = !c.complete;
    size_t length = WriteVerifyReport(run, kPaths, out.data(), out.size(), &complete);
    EXPECT_EQ(std::string(out.data()), c.text) << c.size;
    EXPECT_EQ(length, c.text.size()) << c.size;
    EXPECT_EQ(complete, c.complete) << c.size;
  }
}

}  // namespace
