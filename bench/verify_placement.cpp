// Times how verify places a long book's number lines on its sheets, on
// sheet texts made here (no PDF needed): PAGES pages, every SPILL-th of them
// running over onto a second sheet, with the index of candidate lines and
// without it. Prints figures; asserts nothing.
//
//   verify_placement PAGES SPILL
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "paging/line_reader.h"
#include "verify/verify.h"

namespace {

constexpr int32_t kMaxLines = 20000;
char sheetText[48u << 20];
size_t sheetStarts[kMaxLines + 1];
NumberLineEntry numberLines[kMaxLines];
HeadingEntry headings[kMaxLines];
char keys[8u << 20];
int32_t numberSheets[kMaxLines];
int32_t doubtSheets[kMaxLines];
int32_t headingSheets[kMaxLines];
size_t numberEnds[kMaxLines];
Finding findings[2 * kMaxLines + 1];
CandidateLine candidates[1 << 18];
int32_t buckets[1 << 19];

std::string Numbers(int page, int total) {
  return std::to_string(page) + " / " + std::to_string(total);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: verify_placement PAGES SPILL\n");
    return 2;
  }
  const int pages = atoi(argv[1]);
  const int spill = atoi(argv[2]);
  const int total = pages + (spill > 0 ? pages / spill : 0);
  if (pages < 1 || total > kMaxLines) {
    fprintf(stderr, "verify_placement: 1 to %d sheets\n", kMaxLines);
    return 2;
  }
  DocumentScan scan;
  StartScan(&scan, numberLines, kMaxLines, headings, kMaxLines, keys, sizeof keys);
  std::string body;
  for (int k = 0; k < 40; ++k) body += "Paragraph " + std::to_string(k) + ", a line of print.\n";
  std::vector<std::string> sheetTexts;
  for (int page = 1; page <= pages; ++page) {
    std::string line = page > 1 ? "<div style=\"page-break-after:always\"></div>\n" : "";
    if (!line.empty()) ScanPiece(&scan, LinePiece{line.data(), line.size(), true, true, 0});
    line = "<div style=\"text-align: right\"><span style=\"font-size: 80%; color:black\">Bench"
           "&nbsp;&nbsp;&nbsp; " + Numbers(page, total) + "</span></div>\n";
    ScanPiece(&scan, LinePiece{line.data(), line.size(), true, true, 0});
    sheetTexts.push_back("Bench " + Numbers(page, total) + "\n" + body);
    if (spill > 0 && page % spill == 0) sheetTexts.push_back(body);
  }
  SheetSet sheets;
  StartSheets(&sheets, sheetText, sizeof sheetText, sheetStarts, kMaxLines);
  for (const std::string& text : sheetTexts) AddSheet(&sheets, text.data(), text.size());

  for (bool useIndex : {true, false}) {
    LineIndex index;
    StartLineIndex(&index, candidates, 1 << 18, buckets, 1u << 19);
    Placement placement = {numberSheets, numberEnds, headingSheets, 0, 0,
                           doubtSheets,  nullptr,    useIndex ? &index : nullptr};
    auto start = std::chrono::steady_clock::now();
    PlaceLines(scan, sheets, &placement);
    int32_t count = 0;
    CollectFindings(scan, placement, findings, 2 * kMaxLines + 1, &count);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    printf("%5d pages on %5d sheets, %-13s %8.3f s  (%d placed, %d findings)\n", pages,
           sheets.count, useIndex ? "with index:" : "reading all:", took.count(),
           placement.foundCount, count);
  }
  return 0;
}
