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
  // A header holding "<" and a letter is a tag to the browser, which then
  // prints nothing up to the next ">": maybe not the number either.
  char part[64];
  int n = parts.paren ? snprintf(part, sizeof part, "( %d / %d )", parts.reads, parts.total)
                      : snprintf(part, sizeof part, "%d / %d", parts.reads, parts.total);
  char formed[64];
  TextStore printed;
  StartTextStore(&printed, formed, sizeof formed);
  AppendMatchForm(&printed, part, static_cast<size_t>(n), false);
  entry.shown = !scan->keys.overflow && entry.keyLength >= printed.length &&
                memcmp(scan->keys.data + scan->keys.length - printed.length, printed.data, printed.length) == 0;
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

bool Placed(const Placement& placement, int32_t i) {
  return placement.numberSheets[i] > 0 &&
         (placement.doubtSheets == nullptr || placement.doubtSheets[i] == 0);
}

// The first placed number line after line i, or -1.
int32_t NextFound(const DocumentScan& scan, const Placement& placement, int32_t i) {
  for (int32_t n = i + 1; n < scan.numberLineCount; ++n) {
    if (Placed(placement, n)) return n;
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

// The first whole-line candidate for key in sheets [firstSheet, endSheet),
// from offset `from` on the first.
bool FindLineOnSheets(const SheetSet& sheets, int32_t firstSheet, size_t from, int32_t endSheet,
                      const char* key, size_t keyLength, int32_t* sheet, LineMatch* match) {
  for (int32_t s = firstSheet; s < endSheet; ++s) {
    size_t begin = sheets.starts[s];
    size_t start = s == firstSheet && from > begin ? from : begin;
    if (FindLine(sheets.text.data, begin, start, sheets.starts[s + 1], key, keyLength, match)) {
      *sheet = s;
      return true;
    }
  }
  return false;
}

// Takes a candidate found after the first: one spaced as ours replaces one
// spaced otherwise; one as well spaced as the one taken, on another sheet,
// puts the line in doubt (the first such sheet, from 0; -1 when none).
void Weigh(int32_t candidateSheet, const LineMatch& candidate, int32_t* sheet, LineMatch* match,
           int32_t* doubtSheet) {
  if (candidate.exact && !match->exact) {
    *sheet = candidateSheet;
    *match = candidate;
    *doubtSheet = -1;
  } else if (candidate.exact == match->exact && candidateSheet != *sheet &&
             (*doubtSheet < 0 || candidateSheet < *doubtSheet)) {
    *doubtSheet = candidateSheet;
  }
}

// The next of the index's whole-line candidates for key that start after
// `after` and before `endText`, going back along the chain from *n.
bool NextInChain(const SheetSet& sheets, const LineIndex& index, uint64_t hash, size_t after,
                 size_t endText, const char* key, size_t keyLength, int32_t* n, int32_t* sheet,
                 LineMatch* candidate) {
  while (*n >= 0) {
    const CandidateLine& line = index.lines[*n];
    *n = line.previous;
    if (line.start < after) return false;
    if (line.hash != hash || line.start >= endText) continue;
    if (MatchLineAt(sheets.text.data, line.start, sheets.starts[line.sheet + 1], key, keyLength,
                    candidate)) {
      *sheet = line.sheet;
      return true;
    }
  }
  return false;
}

void LookOnwardInIndex(const SheetSet& sheets, const LineIndex& index, int32_t endSheet,
                       const char* key, size_t keyLength, int32_t* sheet, LineMatch* match,
                       int32_t* doubtSheet) {
  const uint64_t hash = GaplessHash(key, keyLength);
  const size_t after = match->end;
  const size_t endText = sheets.starts[endSheet];
  const int32_t chain = index.buckets[hash & (index.bucketCount - 1)];
  // The chain runs from the last line back; the first after the match that
  // is spaced as ours is the one the chain meets last.
  int32_t candidateSheet = -1;
  LineMatch candidate;
  if (!match->exact) {
    int32_t exactSheet = -1;
    LineMatch exact = {0, 0, false};
    for (int32_t n = chain; NextInChain(sheets, index, hash, after, endText, key, keyLength, &n,
                                        &candidateSheet, &candidate);) {
      if (!candidate.exact) continue;
      exactSheet = candidateSheet;
      exact = candidate;
    }
    if (exactSheet >= 0) {
      *sheet = exactSheet;
      *match = exact;
    }
  }
  for (int32_t n = chain; NextInChain(sheets, index, hash, after, endText, key, keyLength, &n,
                                      &candidateSheet, &candidate);) {
    Weigh(candidateSheet, candidate, sheet, match, doubtSheet);
  }
}

// Looks on from the first candidate up to endSheet, through the index when
// there is one, else through the sheets' text.
void LookOnward(const SheetSet& sheets, const LineIndex* index, int32_t endSheet, const char* key,
                size_t keyLength, int32_t* sheet, LineMatch* match, int32_t* doubtSheet) {
  *doubtSheet = -1;
  if (index != nullptr && !index->overflow) {
    LookOnwardInIndex(sheets, *index, endSheet, key, keyLength, sheet, match, doubtSheet);
    return;
  }
  int32_t s = *sheet;
  LineMatch next = *match;
  while (FindLineOnSheets(sheets, s, next.end, endSheet, key, keyLength, &s, &next)) {
    Weigh(s, next, sheet, match, doubtSheet);
  }
}

bool MayBeNumberLine(const char* line, size_t length) {
  char last = length > 0 ? line[length - 1] : '\0';
  return (last >= '0' && last <= '9') || last == ')';
}

void BuildLineIndex(const SheetSet& sheets, LineIndex* index) {
  index->count = 0;
  index->overflow = index->bucketCount == 0 || (index->bucketCount & (index->bucketCount - 1)) != 0;
  if (index->overflow) return;
  for (uint32_t b = 0; b < index->bucketCount; ++b) index->buckets[b] = -1;
  const char* text = sheets.text.data;
  for (int32_t s = 0; s < sheets.count && !index->overflow; ++s) {
    size_t end = sheets.starts[s + 1];
    for (size_t start = sheets.starts[s]; start < end;) {
      const void* lineEnd = memchr(text + start, '\n', end - start);
      size_t stop = lineEnd != nullptr ? static_cast<size_t>(static_cast<const char*>(lineEnd) - text)
                                       : end;
      if (MayBeNumberLine(text + start, stop - start)) {
        if (index->count >= index->capacity) {
          index->overflow = true;
          break;
        }
        CandidateLine& line = index->lines[index->count];
        line.hash = GaplessHash(text + start, stop - start);
        line.start = start;
        line.sheet = s;
        int32_t& bucket = index->buckets[line.hash & (index->bucketCount - 1)];
        line.previous = bucket;
        bucket = index->count++;
      }
      start = stop + 1;
    }
  }
}

void PlaceNumberLines(const DocumentScan& scan, const SheetSet& sheets, Placement* placement) {
  // Each page takes one sheet at least, so page p's line is at most on
  // sheet p + extra (when the PDF is of this document).
  const int32_t extra = sheets.count - scan.pageCount;
  int32_t cursorSheet = 0;
  size_t cursor = 0;
  placement->foundCount = 0;
  for (int32_t i = 0; i < scan.numberLineCount; ++i) {
    const NumberLineEntry& entry = scan.numberLines[i];
    const char* key = scan.keys.data + entry.keyStart;
    int32_t sheet = 0;
    LineMatch match;
    placement->numberSheets[i] = 0;
    placement->numberEnds[i] = 0;
    if (placement->doubtSheets != nullptr) placement->doubtSheets[i] = 0;
    if (!FindLineOnSheets(sheets, cursorSheet, cursor, sheets.count, key, entry.keyLength, &sheet,
                          &match)) {
      continue;
    }
    int64_t last = extra >= 0 ? static_cast<int64_t>(entry.page) + extra : sheets.count;
    int32_t endSheet = last < sheets.count ? static_cast<int32_t>(last) : sheets.count;
    int32_t doubt = -1;
    if (endSheet > sheet + 1 || !match.exact) {
      if (endSheet <= sheet) endSheet = sheet + 1;
      LookOnward(sheets, placement->index, endSheet, key, entry.keyLength, &sheet, &match, &doubt);
    }
    placement->numberSheets[i] = sheet + 1;
    placement->numberEnds[i] = match.end;
    cursorSheet = sheet;
    cursor = match.end;
    if (doubt >= 0 && placement->doubtSheets != nullptr) {
      placement->doubtSheets[i] = doubt + 1;
    } else {
      placement->foundCount += 1;
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
    if (k >= 0 && !Placed(*placement, k)) {
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

// The number shown by page's number line among lines [from, to), 0 when
// the page has none.
int32_t ReadsOfPage(const DocumentScan& scan, int32_t from, int32_t to, int32_t page) {
  for (int32_t n = from; n < to; ++n) {
    if (scan.numberLines[n].page == page) return scan.numberLines[n].reads;
  }
  return 0;
}

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// Whether two lines are the same but for their digits (a browser's header
// and footer: the same date and address, another page counter).
bool SameButDigits(const char* a, size_t aLength, const char* b, size_t bLength) {
  if (aLength != bLength) return false;
  for (size_t i = 0; i < aLength; ++i) {
    if (a[i] != b[i] && !(IsDigitChar(a[i]) && IsDigitChar(b[i]))) return false;
  }
  return true;
}

size_t LineEndIn(const char* text, size_t start, size_t end) {
  const void* lineEnd = memchr(text + start, '\n', end - start);
  return lineEnd != nullptr ? static_cast<size_t>(static_cast<const char*>(lineEnd) - text) : end;
}

bool SheetHasLine(const SheetSet& sheets, int32_t sheet, const char* line, size_t length) {
  const char* text = sheets.text.data;
  size_t end = sheets.starts[sheet + 1];
  for (size_t start = sheets.starts[sheet]; start < end;) {
    size_t stop = LineEndIn(text, start, end);
    if (SameButDigits(text + start, stop - start, line, length)) return true;
    start = stop + 1;
  }
  return false;
}

bool HasLetter(const char* line, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80) return true;
  }
  return false;
}

// A sheet (from 0, after the first) is blank when it holds no text, or
// only what a browser prints on every sheet with its header and footer:
// lines with letters in them that the first sheet, the last and the one
// before it show too, digits aside (the page counter). Two such sheets
// besides this one are needed, so that text the page repeats is not taken
// for them.
bool IsBlankSheet(const SheetSet& sheets, int32_t sheet) {
  const char* text = sheets.text.data;
  size_t end = sheets.starts[sheet + 1];
  if (sheets.starts[sheet] == end) return true;
  int32_t references[3] = {0, sheet - 1, sheets.count - 1};
  int32_t distinct = 0;
  for (int32_t r = 0; r < 3; ++r) {
    bool repeated = false;
    for (int32_t q = 0; q < r; ++q) repeated = repeated || references[q] == references[r];
    if (references[r] == sheet || repeated) {
      references[r] = -1;
    } else {
      distinct += 1;
    }
  }
  if (distinct < 2) return false;
  for (size_t start = sheets.starts[sheet]; start < end;) {
    size_t stop = LineEndIn(text, start, end);
    if (!HasLetter(text + start, stop - start)) return false;
    for (int32_t reference : references) {
      if (reference >= 0 && !SheetHasLine(sheets, reference, text + start, stop - start)) {
        return false;
      }
    }
    start = stop + 1;
  }
  return true;
}

// How many of the last sheets of firstSheet..lastSheet (from 1), the first
// aside, are blank.
int32_t TrailingBlankSheets(const Placement& placement, int32_t firstSheet, int32_t lastSheet) {
  if (placement.sheets == nullptr) return 0;
  const SheetSet& sheets = *placement.sheets;
  int32_t blank = 0;
  for (int32_t s = lastSheet; s > firstSheet && s <= sheets.count; --s) {
    if (!IsBlankSheet(sheets, s - 1)) break;
    blank += 1;
  }
  return blank;
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

Finding MakeSpill(const DocumentScan& scan, const Placement& placement, int32_t linesFrom,
                  int32_t linesTo, int32_t firstPage, int32_t lastPage, int32_t firstSheet,
                  int32_t lastSheet) {
  Finding f = MakeFinding(FindingKind::Spill, firstPage, lastPage, firstSheet, lastSheet);
  f.reads = ReadsOfPage(scan, linesFrom, linesTo, firstPage);
  f.lastReads = ReadsOfPage(scan, linesFrom, linesTo, lastPage);
  f.blankSheets = TrailingBlankSheets(placement, firstSheet, lastSheet);
  return f;
}

// " (numbered 6)" or " (numbered 6-8)" where the pages show other numbers
// than their place in the document; else nothing.
void FormatShownNumbers(const Finding& f, char* out, size_t outSize) {
  out[0] = '\0';
  if (f.firstPage == f.lastPage) {
    if (f.reads != 0 && f.reads != f.firstPage) snprintf(out, outSize, " (numbered %d)", f.reads);
  } else if (f.reads != 0 && f.lastReads != 0 &&
             (f.reads != f.firstPage || f.lastReads != f.lastPage)) {
    snprintf(out, outSize, " (numbered %d-%d)", f.reads, f.lastReads);
  } else if (f.reads != 0 && f.lastReads == 0 && f.reads != f.firstPage) {
    snprintf(out, outSize, " (numbered from %d)", f.reads);
  }
}

// "; sheet 41 is blank (...)" when the spill ends in empty sheets: the page
// fills its sheet to the end and only what follows it moved on.
void FormatBlankSheets(const Finding& f, char* out, size_t outSize) {
  out[0] = '\0';
  if (f.blankSheets <= 0) return;
  int32_t firstBlank = f.lastSheet - f.blankSheets + 1;
  char which[64];
  if (f.blankSheets == 1) {
    snprintf(which, sizeof which, "sheet %d is", firstBlank);
  } else {
    snprintf(which, sizeof which, "sheets %d-%d are", firstBlank, f.lastSheet);
  }
  snprintf(out, outSize,
           "; %s blank (sheet %d is filled to its end: shortening the page by a line keeps it "
           "on one sheet, splitting it does not help)",
           which, firstBlank - 1);
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
  AppendSheetForm(&sheets->text, text, length);
  if (sheets->text.overflow) {
    sheets->overflow = true;
    return false;
  }
  sheets->count += 1;
  sheets->starts[sheets->count] = sheets->text.length;
  return true;
}

void StartLineIndex(LineIndex* index, CandidateLine* lines, int32_t capacity, int32_t* buckets,
                    uint32_t bucketCount) {
  index->lines = lines;
  index->capacity = capacity;
  index->count = 0;
  index->buckets = buckets;
  index->bucketCount = bucketCount;
  index->overflow = false;
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
  StartWalk(&scan->walk, FrontMatterSpan{0, 0});
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
  bool read = FindFrontMatter(&reader, &scan->walk.frontMatter) && fseek(file, 0, SEEK_SET) == 0;
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
  placement->sheets = &sheets;
  if (placement->index != nullptr) BuildLineIndex(sheets, placement->index);
  PlaceNumberLines(scan, sheets, placement);
  PlaceHeadings(scan, sheets, placement);
}

VerifyOutcome CollectFindings(const DocumentScan& scan, const Placement& placement,
                              Finding* findings, int32_t capacity, int32_t* findingCount) {
  *findingCount = 0;
  if (scan.numberLineCount == 0) return VerifyOutcome::NoNumberLines;
  for (int32_t i = 0; i < scan.numberLineCount; ++i) {
    if (!scan.numberLines[i].shown) return VerifyOutcome::NumbersHidden;
  }
  bool anyFound = false;
  for (int32_t i = 0; i < scan.numberLineCount && !anyFound; ++i) {
    anyFound = placement.numberSheets[i] > 0;
  }
  if (!anyFound) return VerifyOutcome::NoneFound;
  const int32_t sheetCount = placement.sheetCount;
  int32_t first = NextFound(scan, placement, -1);
  if (first < 0) {
    // Every line found stands on two sheets: nothing to measure from.
    for (int32_t i = 0; i < scan.numberLineCount; ++i) {
      const NumberLineEntry& e = scan.numberLines[i];
      Finding f = MakeFinding(FindingKind::NotFound, e.page, e.page, 0, 0);
      f.reads = e.reads;
      f.total = e.total;
      f.paren = e.paren;
      f.sheetCount = sheetCount;
      if (placement.numberSheets[i] > 0) {
        f.kind = FindingKind::TwoCandidates;
        f.firstSheet = placement.numberSheets[i];
        f.lastSheet = placement.doubtSheets[i];
      }
      Add(findings, capacity, findingCount, f);
    }
    return VerifyOutcome::Disagree;
  }
  int32_t lastFound = first;
  for (int32_t n = first; n >= 0; n = NextFound(scan, placement, n)) lastFound = n;
  const int32_t lastTotal = scan.numberLines[lastFound].total;
  bool disagree = false;

  // The pages before the first found number line.
  int32_t firstPage = scan.numberLines[first].page;
  int32_t leadSheets = placement.numberSheets[first] - 1;
  if (firstPage > 1 && leadSheets > firstPage - 1) {
    Add(findings, capacity, findingCount,
        MakeSpill(scan, placement, 0, first, 1, firstPage - 1, 1, leadSheets));
  }
  for (int32_t i = 0; i < scan.numberLineCount; ++i) {
    const NumberLineEntry& e = scan.numberLines[i];
    int32_t sheet = placement.numberSheets[i];
    Finding f = MakeFinding(FindingKind::NotFound, e.page, e.page, sheet, sheet);
    f.reads = e.reads;
    f.total = e.total;
    f.sheetCount = sheetCount;
    f.paren = e.paren;
    if (!Placed(placement, i)) {
      disagree = true;
      if (sheet > 0) {
        f.kind = FindingKind::TwoCandidates;
        f.lastSheet = placement.doubtSheets[i];
      }
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
      int32_t linesTo = next < 0 ? scan.numberLineCount : next;
      Add(findings, capacity, findingCount,
          MakeSpill(scan, placement, i, linesTo, e.page, lastPage, sheet, lastSheet));
    }
  }
  return disagree ? VerifyOutcome::Disagree : VerifyOutcome::Agree;
}

void FormatFinding(const Finding& f, char* out, size_t outSize) {
  char numbers[64];
  char shown[64];
  char blank[256];
  const char* sheetWord = f.sheetCount == 1 ? "sheet" : "sheets";
  switch (f.kind) {
    case FindingKind::Spill:
      FormatShownNumbers(f, shown, sizeof shown);
      FormatBlankSheets(f, blank, sizeof blank);
      if (f.firstPage == f.lastPage) {
        snprintf(out, outSize, "Page %d%s runs over sheets %d-%d%s.", f.firstPage, shown,
                 f.firstSheet, f.lastSheet, blank);
      } else {
        snprintf(out, outSize, "Pages %d-%d%s run over sheets %d-%d%s.", f.firstPage, f.lastPage,
                 shown, f.firstSheet, f.lastSheet, blank);
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
