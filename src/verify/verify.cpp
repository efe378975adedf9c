#include "verify/verify.h"

#include <stdio.h>
#include <string.h>

#include "common/file_open.h"
#include "paging/job_steps.h"
#include "verify/markdown_lines.h"

namespace {

constexpr size_t kReadBufferSize = 1 << 20;

char readBuffer[kReadBufferSize];
char headingText[kPieceLimit + 1];

void AddNumberLine(DocumentScan* scan, const LinePiece& line, const NumberLineParts& parts) {
  if (scan->numberLineCount >= scan->numberLineCapacity) {
    scan->overflow = true;
    return;
  }
  NumberLineEntry& entry = scan->numberLines[scan->numberLineCount++];
  entry.page = scan->pageCount;
  entry.reads = parts.reads;
  entry.total = parts.total;
  entry.paren = parts.paren;
  entry.keyStart = scan->keys.length;
  AppendVisibleMatchForm(&scan->keys, line.data, LengthWithoutEnd(line));
  entry.keyLength = scan->keys.length - entry.keyStart;
}

void AddHeading(DocumentScan* scan, const LinePiece& line, const HeadingParts& parts) {
  if (scan->headingCount >= scan->headingCapacity) {
    scan->overflow = true;
    return;
  }
  HeadingEntry& entry = scan->headings[scan->headingCount++];
  entry.numberLine = scan->numberLineCount - 1;
  entry.keyStart = scan->keys.length;
  size_t length = HeadingDisplayText(line.data + parts.textStart, parts.textEnd - parts.textStart,
                                     headingText, sizeof headingText);
  AppendVisibleMatchForm(&scan->keys, headingText, length);
  // What follows a heading in print is its annotation " ...N".
  if (scan->keys.length > entry.keyStart) AppendMatchForm(&scan->keys, "...", 3, false);
  entry.keyLength = scan->keys.length - entry.keyStart;
}

// The first found number line after line i, or -1.
int32_t NextFound(const DocumentScan& scan, const Placement& placement, int32_t i) {
  for (int32_t n = i + 1; n < scan.numberLineCount; ++n) {
    if (placement.numberSheets[n] > 0) return n;
  }
  return -1;
}

bool FindOnSheets(const SheetSet& sheets, int32_t firstSheet, size_t from, int32_t endSheet,
                  const char* key, size_t keyLength, KeyEnd keyEnd, int32_t* sheet,
                  KeyMatch* match) {
  for (int32_t s = firstSheet; s < endSheet; ++s) {
    size_t begin = sheets.starts[s];
    size_t start = s == firstSheet && from > begin ? from : begin;
    if (FindKey(sheets.text.data, begin, start, sheets.starts[s + 1], key, keyLength, keyEnd,
                match)) {
      *sheet = s;
      return true;
    }
  }
  return false;
}

void PlaceNumberLines(const DocumentScan& scan, const SheetSet& sheets, Placement* placement) {
  int32_t cursorSheet = 0;
  size_t cursor = 0;
  placement->foundCount = 0;
  for (int32_t i = 0; i < scan.numberLineCount; ++i) {
    const NumberLineEntry& entry = scan.numberLines[i];
    int32_t sheet = 0;
    KeyMatch match;
    placement->numberSheets[i] = 0;
    placement->numberEnds[i] = 0;
    if (FindOnSheets(sheets, cursorSheet, cursor, sheets.count, scan.keys.data + entry.keyStart,
                     entry.keyLength, KeyEnd::Number, &sheet, &match)) {
      placement->numberSheets[i] = sheet + 1;
      placement->numberEnds[i] = match.end;
      placement->foundCount += 1;
      cursorSheet = sheet;
      cursor = match.end;
    }
  }
}

void PlaceHeadings(const DocumentScan& scan, const SheetSet& sheets, Placement* placement) {
  int32_t page = -2;  // the number line whose page the cursor is on
  int32_t cursorSheet = 0;
  size_t cursor = 0;
  int32_t endSheet = sheets.count;
  for (int32_t j = 0; j < scan.headingCount; ++j) {
    const HeadingEntry& entry = scan.headings[j];
    int32_t k = entry.numberLine;
    if (k >= 0 && placement->numberSheets[k] == 0) {
      placement->headingSheets[j] = 0;
      continue;
    }
    if (k != page) {
      page = k;
      cursorSheet = k < 0 ? 0 : placement->numberSheets[k] - 1;
      cursor = k < 0 ? 0 : placement->numberEnds[k];
      int32_t next = NextFound(scan, *placement, k);
      endSheet = next < 0 ? sheets.count : placement->numberSheets[next] - 1;
      if (endSheet <= cursorSheet) endSheet = cursorSheet + 1;
    }
    int32_t sheet = 0;
    KeyMatch match;
    if (FindOnSheets(sheets, cursorSheet, cursor, endSheet, scan.keys.data + entry.keyStart,
                     entry.keyLength, KeyEnd::Annotation, &sheet, &match)) {
      cursorSheet = sheet;
      cursor = match.end;
    }
    placement->headingSheets[j] = cursorSheet + 1;
  }
}

bool Add(Finding* findings, int32_t capacity, int32_t* count, const Finding& finding) {
  if (*count >= capacity) return false;
  findings[(*count)++] = finding;
  return true;
}

Finding MakeFinding(FindingKind kind, int32_t firstPage, int32_t lastPage, int32_t firstSheet,
                    int32_t lastSheet) {
  Finding f = {};
  f.kind = kind;
  f.firstPage = firstPage;
  f.lastPage = lastPage;
  f.firstSheet = firstSheet;
  f.lastSheet = lastSheet;
  return f;
}

}  // namespace

void StartSheets(SheetSet* sheets, char* buffer, size_t bufferSize, size_t* starts,
                 int32_t maxSheets) {
  StartTextStore(&sheets->text, buffer, bufferSize);
  sheets->starts = starts;
  sheets->capacity = maxSheets;
  sheets->count = 0;
  sheets->overflow = false;
  starts[0] = 0;
}

bool AddSheet(SheetSet* sheets, const char* text, size_t length) {
  if (sheets->overflow || sheets->count >= sheets->capacity) {
    sheets->overflow = true;
    return false;
  }
  AppendMatchForm(&sheets->text, text, length, true);
  if (sheets->text.overflow) {
    sheets->overflow = true;
    return false;
  }
  sheets->count += 1;
  sheets->starts[sheets->count] = sheets->text.length;
  return true;
}

void StartScan(DocumentScan* scan, NumberLineEntry* numberLines, int32_t numberLineCapacity,
               HeadingEntry* headings, int32_t headingCapacity, char* keyBuffer,
               size_t keyBufferSize) {
  scan->numberLines = numberLines;
  scan->numberLineCapacity = numberLineCapacity;
  scan->numberLineCount = 0;
  scan->headings = headings;
  scan->headingCapacity = headingCapacity;
  scan->headingCount = 0;
  StartTextStore(&scan->keys, keyBuffer, keyBufferSize);
  scan->pageCount = 1;
  scan->overflow = false;
  StartWalk(&scan->walk, 0);
}

void ScanPiece(DocumentScan* scan, const LinePiece& piece) {
  if (!piece.startsLine) return;
  LinePiece line = AfterByteOrderMark(piece);
  NumberLineParts number;
  HeadingParts heading;
  switch (WalkLine(&scan->walk, line)) {
    case LineKind::PageBreak:
      if (scan->pageCount < INT32_MAX) scan->pageCount += 1;
      break;
    case LineKind::Text:
      if (ParseNumberLine(line, &number)) AddNumberLine(scan, line, number);
      break;
    case LineKind::Heading:
      if (ParseAnnotatedHeading(line, &heading)) AddHeading(scan, line, heading);
      break;
    case LineKind::Toc:
    case LineKind::Code:
    case LineKind::FrontMatter: break;
  }
  if (scan->keys.overflow) scan->overflow = true;
}

ScanStatus ScanMarkdownFile(DocumentScan* scan, const char* path) {
  FILE* file = OpenFileUtf8(path, "rb");
  if (file == nullptr) return ScanStatus::Unreadable;
  LineReader reader;
  StartReading(&reader, file, readBuffer, sizeof readBuffer, kPieceLimit);
  // Front matter is found first, then the document is read from the start.
  bool read = FindFrontMatterEnd(&reader, &scan->walk.frontMatterEnd) && fseek(file, 0, SEEK_SET) == 0;
  StartReading(&reader, file, readBuffer, sizeof readBuffer, kPieceLimit);
  LinePiece piece;
  ReadStatus status = ReadStatus::Error;
  while (read && (status = ReadPiece(&reader, &piece)) == ReadStatus::Piece) ScanPiece(scan, piece);
  fclose(file);
  if (status == ReadStatus::Error) return ScanStatus::Unreadable;
  return scan->overflow ? ScanStatus::TooLarge : ScanStatus::Ok;
}

void PlaceLines(const DocumentScan& scan, const SheetSet& sheets, Placement* placement) {
  placement->sheetCount = sheets.count;
  PlaceNumberLines(scan, sheets, placement);
  PlaceHeadings(scan, sheets, placement);
}

VerifyOutcome CollectFindings(const DocumentScan& scan, const Placement& placement,
                              Finding* findings, int32_t capacity, int32_t* findingCount) {
  *findingCount = 0;
  if (scan.numberLineCount == 0) return VerifyOutcome::NoNumberLines;
  if (placement.foundCount == 0) return VerifyOutcome::NoneFound;
  const int32_t sheetCount = placement.sheetCount;
  int32_t first = NextFound(scan, placement, -1);
  int32_t lastFound = first;
  for (int32_t n = first; n >= 0; n = NextFound(scan, placement, n)) lastFound = n;
  const int32_t lastTotal = scan.numberLines[lastFound].total;
  bool disagree = false;

  // The pages before the first found number line.
  int32_t firstPage = scan.numberLines[first].page;
  int32_t leadSheets = placement.numberSheets[first] - 1;
  if (firstPage > 1 && leadSheets > firstPage - 1) {
    Add(findings, capacity, findingCount, MakeFinding(FindingKind::Spill, 1, firstPage - 1, 1, leadSheets));
  }
  for (int32_t i = 0; i < scan.numberLineCount; ++i) {
    const NumberLineEntry& e = scan.numberLines[i];
    int32_t sheet = placement.numberSheets[i];
    Finding f = MakeFinding(FindingKind::NotFound, e.page, e.page, sheet, sheet);
    f.reads = e.reads;
    f.total = e.total;
    f.sheetCount = sheetCount;
    f.paren = e.paren;
    if (sheet == 0) {
      disagree = true;
      Add(findings, capacity, findingCount, f);
      continue;
    }
    bool numberWrong = e.reads != sheet;
    bool totalWrong = e.total != sheetCount;
    disagree = disagree || numberWrong || totalWrong;
    bool showTotal = totalWrong && (i == lastFound || e.total != lastTotal);
    if (numberWrong || showTotal) {
      f.kind = numberWrong && showTotal ? FindingKind::WrongNumberAndTotal
               : numberWrong            ? FindingKind::WrongNumber
                                        : FindingKind::WrongTotal;
      Add(findings, capacity, findingCount, f);
    }
    int32_t next = NextFound(scan, placement, i);
    int32_t lastSheet = next < 0 ? sheetCount : placement.numberSheets[next] - 1;
    int32_t lastPage = next < 0 ? scan.pageCount : scan.numberLines[next].page - 1;
    if (lastPage >= e.page && lastSheet - sheet > lastPage - e.page) {
      Add(findings, capacity, findingCount,
          MakeFinding(FindingKind::Spill, e.page, lastPage, sheet, lastSheet));
    }
  }
  return disagree ? VerifyOutcome::Disagree : VerifyOutcome::Agree;
}

void FormatFinding(const Finding& f, char* out, size_t outSize) {
  char numbers[64];
  const char* sheetWord = f.sheetCount == 1 ? "sheet" : "sheets";
  switch (f.kind) {
    case FindingKind::Spill:
      if (f.firstPage == f.lastPage) {
        snprintf(out, outSize, "Page %d runs over sheets %d-%d.", f.firstPage, f.firstSheet,
                 f.lastSheet);
      } else {
        snprintf(out, outSize, "Pages %d-%d run over sheets %d-%d.", f.firstPage, f.lastPage,
                 f.firstSheet, f.lastSheet);
      }
      break;
    case FindingKind::NotFound:
      FormatNumbers(f.reads, f.total, f.paren, numbers, sizeof numbers);
      snprintf(out, outSize, "Page %d: its number line \"%s\" is not in the PDF.", f.firstPage,
               numbers + 1);
      break;
    case FindingKind::WrongNumber:
      snprintf(out, outSize, "Page %d is on sheet %d but reads %d.", f.firstPage, f.firstSheet,
               f.reads);
      break;
    case FindingKind::WrongTotal:
      snprintf(out, outSize, "Page %d is on sheet %d; the PDF has %d %s, the total says %d.",
               f.firstPage, f.firstSheet, f.sheetCount, sheetWord, f.total);
      break;
    case FindingKind::WrongNumberAndTotal:
      snprintf(out, outSize,
               "Page %d is on sheet %d but reads %d; the PDF has %d %s, the total says %d.",
               f.firstPage, f.firstSheet, f.reads, f.sheetCount, sheetWord, f.total);
      break;
    case FindingKind::TwoCandidates:
      FormatNumbers(f.reads, f.total, f.paren, numbers, sizeof numbers);
      snprintf(out, outSize,
               "Page %d: its number line \"%s\" is on sheet %d and on sheet %d; one may be the "
               "browser's own page number: export the PDF without the browser's header and footer.",
               f.firstPage, numbers + 1, f.firstSheet, f.lastSheet);
      break;
  }
}
