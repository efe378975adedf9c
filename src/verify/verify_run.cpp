#include "verify/verify_run.h"

namespace {

// Room for long books: sheets' text in match form, and the Markdown's
// number lines, headings and their match forms.
constexpr int32_t kMaxSheets = 20000;
constexpr size_t kSheetTextSize = 48u << 20;
constexpr int32_t kMaxNumberLines = 20000;
constexpr int32_t kMaxHeadings = 50000;
constexpr size_t kKeyTextSize = 8u << 20;
constexpr int32_t kMaxFindings = 2 * kMaxNumberLines + 1;
// Lines that may be number lines; more (tables of figures on every sheet)
// only make verify slower, since it then reads the sheets instead.
constexpr int32_t kMaxCandidateLines = 1 << 18;
constexpr uint32_t kCandidateBuckets = 1u << 19;

char sheetText[kSheetTextSize];
size_t sheetStarts[kMaxSheets + 1];
NumberLineEntry numberLines[kMaxNumberLines];
HeadingEntry headings[kMaxHeadings];
char keyText[kKeyTextSize];
int32_t numberSheets[kMaxNumberLines];
int32_t doubtSheets[kMaxNumberLines];
size_t numberEnds[kMaxNumberLines];
int32_t headingSheets[kMaxHeadings];
Finding findings[kMaxFindings];
CandidateLine candidateLines[kMaxCandidateLines];
int32_t candidateBuckets[kCandidateBuckets];
LineIndex lineIndex;

SheetSet sheets;
DocumentScan scan;

bool TakeSheet(void* context, const char* text, size_t length) {
  return AddSheet(static_cast<SheetSet*>(context), text, length);
}

}  // namespace

void RunVerify(const char* markdownPath, const char* pdfPath, bool fix, VerifyRun* run) {
  run->findings = findings;
  run->findingCount = 0;
  run->sheetCount = 0;
  run->scanStatus = ScanStatus::Ok;
  run->pdfStatus = PdfStatus::Ok;
  run->outcome = VerifyOutcome::NoNumberLines;
  run->fix = FixReport{FixOutcome::Refused, ""};

  StartScan(&scan, numberLines, kMaxNumberLines, headings, kMaxHeadings, keyText, kKeyTextSize);
  run->scanStatus = ScanMarkdownFile(&scan, markdownPath);
  if (run->scanStatus != ScanStatus::Ok) {
    run->step = VerifyStep::MarkdownProblem;
    return;
  }
  if (scan.numberLineCount == 0) {
    run->step = VerifyStep::Compared;
    return;
  }
  StartSheets(&sheets, sheetText, kSheetTextSize, sheetStarts, kMaxSheets);
  run->pdfStatus = ReadPdfSheets(pdfPath, TakeSheet, &sheets, &run->sheetCount);
  if (run->pdfStatus != PdfStatus::Ok) {
    run->step = VerifyStep::PdfProblem;
    return;
  }
  StartLineIndex(&lineIndex, candidateLines, kMaxCandidateLines, candidateBuckets,
                 kCandidateBuckets);
  Placement placement = {numberSheets, numberEnds,  headingSheets, 0, 0,
                         doubtSheets,  nullptr,     &lineIndex};
  PlaceLines(scan, sheets, &placement);
  run->outcome = CollectFindings(scan, placement, findings, kMaxFindings, &run->findingCount);
  run->step = VerifyStep::Compared;
  if (!fix || run->outcome == VerifyOutcome::NoneFound || run->outcome == VerifyOutcome::NumbersHidden) return;
  if (placement.foundCount < scan.numberLineCount) {
    run->step = VerifyStep::FixRefused;
    return;
  }
  run->fix = FixNumbers(markdownPath, scan, placement);
  run->step = VerifyStep::FixDone;
}
