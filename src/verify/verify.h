// Comparing a numbered Markdown document with the PDF exported from it: on
// which sheet each page-number line landed, where each heading is, which
// pages run over, and which numbers disagree. Works on sheet texts and the
// Markdown's lines only, so it is the same on every platform; the caller
// provides all storage.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "paging/line_rules.h"
#include "verify/match_text.h"

// The PDF's sheets in match form, one after the other in one store.
struct SheetSet {
  TextStore text;
  size_t* starts;  // sheet i (from 0) is text[starts[i], starts[i + 1])
  int32_t capacity;
  int32_t count;
  bool overflow;
};

// starts holds maxSheets + 1 entries.
void StartSheets(SheetSet* sheets, char* buffer, size_t bufferSize, size_t* starts,
                 int32_t maxSheets);

// Adds the next sheet's text (UTF-8 as extracted). False when the store is
// full; the set then stays marked as overflowed.
bool AddSheet(SheetSet* sheets, const char* text, size_t length);

// The sheets' lines that can be number lines (their last character a digit
// or ')'), by GaplessHash of their text, so that each number line's other
// candidates are found without reading the sheets again. lines are in text
// order; buckets (a power of two of them, ideally twice the capacity) hold
// the last line of each chain, -1 when none, and each line the one before.
struct CandidateLine {
  uint64_t hash;
  size_t start;
  int32_t sheet;
  int32_t previous;
};

struct LineIndex {
  CandidateLine* lines;
  int32_t capacity;
  int32_t count;
  int32_t* buckets;
  uint32_t bucketCount;
  bool overflow;  // then verify reads the sheets instead
};

void StartLineIndex(LineIndex* index, CandidateLine* lines, int32_t capacity, int32_t* buckets,
                    uint32_t bucketCount);

// A page-number line of the Markdown. page counts the document's pages (1
// for the text before the first page break); reads and total are what it
// shows; its match form is keys[keyStart, keyStart + keyLength).
struct NumberLineEntry {
  int32_t page;
  int32_t reads;
  int32_t total;
  bool paren;
  bool shown;  // its printed text ends in its number (a header may hide it)
  size_t keyStart;
  size_t keyLength;
};

// An annotated heading: the number line before it (-1 when none), and the
// match form of its printed text followed by "..." (empty when it has none).
struct HeadingEntry {
  int32_t numberLine;
  size_t keyStart;
  size_t keyLength;
};

struct DocumentScan {
  NumberLineEntry* numberLines;
  int32_t numberLineCapacity;
  int32_t numberLineCount;
  HeadingEntry* headings;
  int32_t headingCapacity;
  int32_t headingCount;
  TextStore keys;
  int32_t pageCount;  // page breaks + 1
  bool overflow;      // more lines or key text than the storage holds
  MarkdownWalk walk;  // where the scan is in the document: front matter, code
};

void StartScan(DocumentScan* scan, NumberLineEntry* numberLines, int32_t numberLineCapacity,
               HeadingEntry* headings, int32_t headingCapacity, char* keyBuffer,
               size_t keyBufferSize);

// Takes the Markdown one piece at a time, as LineReader hands them out,
// from its first; lines in front matter and code are not looked at. A
// document with front matter sets scan->walk.frontMatter first.
void ScanPiece(DocumentScan* scan, const LinePiece& piece);

enum class ScanStatus { Ok, Unreadable, TooLarge };

// Reads the Markdown file at a UTF-8 path through the scan.
ScanStatus ScanMarkdownFile(DocumentScan* scan, const char* path);

// Where the lines landed: numberSheets[i] is the sheet (from 1) of number
// line i, 0 when it is not in the PDF; headingSheets[j] the sheet heading j
// belongs on (0 when its page's number line was not placed). When two
// sheets show number line i and nothing tells which is ours, doubtSheets[i]
// is the second (numberSheets[i] the first) and the line counts as not
// placed; doubtSheets may be null, and then the first is taken.
struct Placement {
  int32_t* numberSheets;
  size_t* numberEnds;  // offset in the sheet texts after each found line
  int32_t* headingSheets;
  int32_t sheetCount;
  int32_t foundCount;  // lines placed
  int32_t* doubtSheets;
  const SheetSet* sheets;  // set by PlaceLines
  LineIndex* index;        // filled by PlaceLines; may be null (slower)
};

// Finds every number line, in order, each at or after the one before it, as
// a whole line of a sheet's text. From the first candidate onward up to the
// last sheet the page can be on (its page number plus the sheets the PDF
// has beyond the document's pages), a line spaced as ours is taken before
// one spaced otherwise (a browser's own "8/22" footer), and two as well
// spaced on different sheets leave the line in doubt.
// Then each heading: on the first sheet at or after its page's sheet (and
// after the heading before it on that page) that shows its text followed by
// an annotation, before the next number line's sheet; when it is not found,
// on the sheet of the heading before it on that page, or else its page's
// sheet. A table of contents before the page is thus never taken for it.
void PlaceLines(const DocumentScan& scan, const SheetSet& sheets, Placement* placement);

enum class FindingKind {
  Spill,           // pages firstPage..lastPage take sheets firstSheet..lastSheet
  NotFound,        // the number line of firstPage is not in the PDF
  WrongNumber,     // it reads `reads` on sheet firstSheet
  WrongTotal,      // its total says `total`, the PDF has sheetCount sheets
  WrongNumberAndTotal,
  TwoCandidates,   // firstSheet and lastSheet both show the number line of firstPage
};

// For a spill, reads and lastReads are the numbers firstPage and lastPage
// show (0 when the page has no number line), and blankSheets how many of
// its last sheets are blank: no text, or only a browser's own header and
// footer (lines the first, the last and the sheet before show too).
struct Finding {
  FindingKind kind;
  int32_t firstPage;
  int32_t lastPage;
  int32_t firstSheet;
  int32_t lastSheet;
  int32_t reads;
  int32_t total;
  int32_t sheetCount;
  bool paren;
  int32_t lastReads;
  int32_t blankSheets;
};

enum class VerifyOutcome {
  Agree,         // every number on its sheet, every total the sheet count
  Disagree,      // findings other than spills
  NoneFound,     // not one number line of the document is in the PDF
  NoNumberLines, // the document has no page-number lines
  NumbersHidden, // a header the browser reads as markup hides the numbers
};

// Lists the findings in page order (at most 2 * numberLineCount + 1): the
// spills, and one finding per number line that disagrees or stands on two
// sheets. A total that is
// wrong is listed once, with the last number line, and again with any line
// whose total differs from that line's.
VerifyOutcome CollectFindings(const DocumentScan& scan, const Placement& placement,
                              Finding* findings, int32_t capacity, int32_t* findingCount);

// One line of text for a finding, without a line end.
void FormatFinding(const Finding& finding, char* out, size_t outSize);
