// libFuzzer target: runs every job on a document made from arbitrary bytes
// and arbitrary options, and judges what they write by properties that hold
// whatever the line rules say. Where it must look at lines (to count our
// number lines and annotations, find code, or tell whether a document is
// one the jobs leave settled) it asks the passes' own line rules.
//
//   - a job that reports an error leaves the document's bytes as they were,
//     and a refused one makes no backup and writes no other file;
//   - a job asked for no backup makes none, and Undo then finds none;
//   - a job leaves no stray file beside the document;
//   - the counting pass's total is the writing pass's last counter, and
//     "Total N pages." reports it;
//   - the number lines Execute writes into a document that had none: one
//     at the top ("From the first page") and one after every page break
//     that is not the last line, each showing the total in the chosen
//     format, pages in order;
//   - nothing inside fenced code changes but annotation removal: the code
//     lines of Execute's output are the input's, in order, each unchanged
//     or, where it held our annotation, cut before it (keeping a heading's
//     closing marks or attribute block) with none left;
//   - Undo after Execute gives back the original bytes;
//   - check says "differs" exactly when Execute would change the document;
//   - Execute and Delete to another file write what they write in place;
//   - for a document with one line-ending style, no lone CR and number
//     lines only where the jobs put them: Execute twice equals Execute
//     once, and Delete after Execute equals Delete on the original (but
//     for one line ending Execute may add at the very end of a document
//     that does not end with LF);
//   - Delete after any number of Executes leaves no more number lines and
//     annotations than the original had;
//   - a book of one file is numbered as Execute numbers it; a book of
//     several shows one total on every file, its number lines show it,
//     its last file ends on it, and Delete leaves no more of ours;
//   - the counting pass takes the document for UTF-8 exactly when a plain
//     reference decoder does (or it starts with a byte order mark).
// A broken rule prints what it saw and aborts, so libFuzzer keeps the input.
//
// Input layout: kOptionBytes bytes choose the options (see TakeOptions);
// option texts chosen as "raw" are taken from the bytes right after them;
// the rest is the document (at most kMaxDocument bytes are used). One option
// can stretch a line of the document past the reader's piece size, so that
// short inputs reach the long-line paths too.
#include <dirent.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "paging/job_steps.h"
#include "paging/jobs.h"
#include "paging/line_rules.h"

namespace {

// ---------------------------------------------------------------------------
// Fixed storage.

constexpr size_t kOptionBytes = 11;
constexpr size_t kMaxDocument = 256 * 1024;
constexpr size_t kMaxStretch = 4 * kPieceLimit;  // longest line a stretch makes
constexpr size_t kDocumentCapacity = kMaxDocument + kMaxStretch + 16;
// Enough for any legal output of a document of kDocumentCapacity bytes: at
// most two lines of under 1100 bytes per 36-byte page break, or one 60-byte
// annotation per 3-byte heading.
constexpr size_t kTextCapacity = size_t{1} << 25;
constexpr size_t kHeadLimit = 1003;

const char kTooLongText[] = "Error: Header, colour or font size text is too long.\r\n";
const char kLineBreakText[] = "Error: Header, colour or font size text has a line break.\r\n";

char workDir[256];
char markdownPath[300];
char backupPath[300];
char outputPath[300];
char chapterPaths[3][300];
char chapterBackups[3][300];

char document[kDocumentCapacity];
char insertOutput[kTextCapacity];
char secondOutput[kTextCapacity];
char removeOutput[kTextCapacity];
char removedOriginal[kTextCapacity];  // Delete on the original
char removedLast[kTextCapacity];      // Delete on what the Executes left
char scratch[kTextCapacity];
char resultText[32000];

// Where the document's lines start, for stretching and cutting it.
uint32_t documentStarts[kDocumentCapacity + 2];
size_t documentLines;

// ---------------------------------------------------------------------------
// Options.

struct TocChoice {
  const char* text;
  int32_t pages;
};

const TocChoice kTocChoices[16] = {
    {"1", 1},        {"3", 3},         {"", 1},           {"0", 1},
    {"-3", 1},       {" 2", 2},        {"2147483647", 2147483647},
    {"abc", 1},      {"99999999999", 2147483647},         {"5 pages", 5},
    {"2", 2},        {"+4", 4},        {"\t7", 7},        {"1000000000", 1000000000},
    {"-2147483648", 1},                {"9997", 9997},
};

struct SkipChoice {
  const char* text;
  int numbers[8];  // the numbers the text mentions, ended by 0
};

char manyTwos[400];  // "2," 130 times: the counter for 2 stops at 127

const SkipChoice kSkipChoices[16] = {
    {"", {0}},
    {"3", {3, 0}},
    {"3,3", {3, 3, 0}},
    {"2, 5 7", {2, 5, 7, 0}},
    {"1", {1, 0}},
    {"3,x,2", {3, 2, 0}},
    {"3;2", {3, 0}},
    {"4294967299", {0}},
    {"0,10000,-4", {0}},
    {"2,3,4,5,6,7,8,9", {2, 3, 4, 5, 6, 7, 8, 9}},
    {"9999", {9999, 0}},
    {"9998, 9999,9998", {9998, 9999, 9998, 0}},
    {manyTwos, {0}},  // counted apart, see SkipCounts
    {"1,2,3", {1, 2, 3, 0}},
    {" ,, 5 ,", {5, 0}},
    {"3x,2", {3, 2, 0}},
};
constexpr int kManyTwosChoice = 12;

const char* const kHeaderChoices[] = {"",     "Guide", "%s%n%d", "&nbsp;", "\"><b>x", "\xe6\x97\xa5\xe6\x9c\xac",
                                      "a\nb", "P. ",   "\t",     "</span></div>"};
constexpr int kHeaderChoiceCount = sizeof kHeaderChoices / sizeof kHeaderChoices[0];
// Header choices past the table: a header that makes the head exactly as
// long as allowed, one byte longer, and far too long.
constexpr int kHeaderFillExact = kHeaderChoiceCount;
constexpr int kHeaderFillOver = kHeaderChoiceCount + 1;
constexpr int kHeaderFar = kHeaderChoiceCount + 2;

const char* const kColorChoices[] = {"blue", "", "#ff0000", "%n%s", "red\"; x: \"", "\r"};
const char* const kFontChoices[] = {"80", "", "100", "%%", "9999999999", "abc", "1\n2"};

const int32_t kSwitchValues[4] = {0, 1, -1, 2147483647};
const int32_t kChoiceValues[4] = {0, 1, 2, -2147483647 - 1};

struct Options {
  JobInput input;
  char header[1200];
  char color[80];
  char font[80];
  int32_t tocPages;
  int8_t skipCounts[10000];
  bool stretch;
  uint8_t stretchLine;
  uint8_t stretchShape;
  int executes;         // Executes in a row before Delete
  uint8_t splits[2];    // where a book of the document is cut into files
};

Options options;

constexpr int kRawText = 0xC0;  // option text bytes from here on take raw text

// A text option: a table entry, or up to 63 bytes of the input.
void TakeText(uint8_t choice, const char* const* table, int tableSize, const uint8_t** data,
              size_t* size, char* out, size_t outSize) {
  if (choice < kRawText) {
    snprintf(out, outSize, "%s", table[choice % tableSize]);
    return;
  }
  size_t length = choice & 0x3F;
  if (length > *size) length = *size;
  if (length > outSize - 1) length = outSize - 1;
  memcpy(out, *data, length);
  out[length] = '\0';  // a NUL inside ends the text, as it would in a slot
  *data += length;
  *size -= length;
}

size_t HeadLength(const Options& o) {
  const char* color = o.input.colorChoice == 0 ? "black" : o.input.colorChoice == 1 ? "gray" : o.color;
  size_t fixed = strlen(kNumberDivHead) + (o.input.positionChoice == 0 ? 6 : 7) + 26 + 9 + 2;
  // One '%' typed at the end of the font size is the head's own.
  size_t font = strlen(o.font);
  if (font > 0 && o.font[font - 1] == '%') --font;
  return fixed + font + strlen(color) + strlen(o.header) + (o.header[0] != '\0' ? 18 : 0);
}

void FillHeader(Options& o, size_t headLength) {
  o.header[0] = '\0';
  size_t without = HeadLength(o) + 18;  // with a header, its "&nbsp;" x3 counts too
  size_t length = headLength > without ? headLength - without : 1;
  if (length > sizeof o.header - 1) length = sizeof o.header - 1;
  memset(o.header, 'h', length);
  o.header[length] = '\0';
}

void TakeOptions(const uint8_t** data, size_t* size) {
  uint8_t b[kOptionBytes] = {0};
  size_t have = *size < kOptionBytes ? *size : kOptionBytes;
  memcpy(b, *data, have);
  *data += have;
  *size -= have;

  Options& o = options;
  o.input.colorChoice = kChoiceValues[b[0] & 3];
  o.input.positionChoice = kChoiceValues[(b[0] >> 2) & 3];
  o.input.formatChoice = kChoiceValues[(b[0] >> 4) & 3];
  o.input.keepExistingBackup = (b[0] & 0x40) ? kSwitchValues[1 + (b[1] & 1)] : 0;
  o.input.numberFirstPage = (b[0] & 0x80) ? kSwitchValues[1 + ((b[1] >> 1) & 1)] : 0;
  o.input.annotateHeadings = (b[1] & 4) ? kSwitchValues[1 + ((b[1] >> 3) & 1) * 2] : 0;

  const TocChoice& toc = kTocChoices[b[1] >> 4];
  o.input.tocPageCount = toc.text;
  o.tocPages = toc.pages;

  int skip = b[2] & 15;
  o.input.skipPages = kSkipChoices[skip].text;
  memset(o.skipCounts, 0, sizeof o.skipCounts);
  if (skip == kManyTwosChoice) {
    o.skipCounts[2] = 127;
  } else {
    for (int k = 0; k < 8 && kSkipChoices[skip].numbers[k] != 0; ++k) {
      int n = kSkipChoices[skip].numbers[k];
      if (n >= 1 && n <= 9999 && o.skipCounts[n] < 127) ++o.skipCounts[n];
    }
  }
  o.stretch = (b[2] & 0xF0) == 0xF0;
  o.stretchLine = b[6];
  o.stretchShape = b[7];
  o.executes = 1 + (b[8] & 0x7F) % 3;
  o.input.noBackup = (b[8] & 0x80) ? kSwitchValues[1 + (b[1] & 1)] : 0;
  o.splits[0] = b[9];
  o.splits[1] = b[10];

  TakeText(b[4], kColorChoices, sizeof kColorChoices / sizeof kColorChoices[0], data, size, o.color,
           sizeof o.color);
  TakeText(b[5], kFontChoices, sizeof kFontChoices / sizeof kFontChoices[0], data, size, o.font,
           sizeof o.font);
  int header = b[3] < kRawText ? b[3] % (kHeaderChoiceCount + 3) : -1;
  if (header == kHeaderFillExact) {
    FillHeader(o, kHeadLimit);
  } else if (header == kHeaderFillOver) {
    FillHeader(o, kHeadLimit + 1);
  } else if (header == kHeaderFar) {
    memset(o.header, 'H', 1100);
    o.header[1100] = '\0';
  } else {
    TakeText(b[3], kHeaderChoices, kHeaderChoiceCount, data, size, o.header, sizeof o.header);
  }
  o.input.headerText = o.header;
  o.input.customColor = o.color;
  o.input.fontSizePercent = o.font;
  o.input.markdownPath = markdownPath;
}

// ---------------------------------------------------------------------------
// Failure reports.

const char* currentJob = "";

void ShowBytes(const char* label, const char* data, size_t length) {
  fprintf(stderr, "  %s (%zu bytes): \"", label, length);
  size_t shown = length < 160 ? length : 160;
  for (size_t k = 0; k < shown; ++k) {
    unsigned char c = static_cast<unsigned char>(data[k]);
    if (c == '\\' || c == '"') {
      fprintf(stderr, "\\%c", c);
    } else if (c >= 0x20 && c < 0x7F) {
      fputc(c, stderr);
    } else {
      fprintf(stderr, "\\x%02x", c);
    }
  }
  fprintf(stderr, shown < length ? "\"...\n" : "\"\n");
}

[[noreturn]] void Violation(const char* what) {
  fprintf(stderr, "\n== invariant broken in %s: %s\n", currentJob, what);
  fprintf(stderr, "  options: color %d position %d format %d keep %d first %d annotate %d no backup %d\n",
          options.input.colorChoice, options.input.positionChoice, options.input.formatChoice,
          options.input.keepExistingBackup, options.input.numberFirstPage,
          options.input.annotateHeadings, options.input.noBackup);
  ShowBytes("toc", options.input.tocPageCount, strlen(options.input.tocPageCount));
  ShowBytes("skip", options.input.skipPages, strlen(options.input.skipPages));
  ShowBytes("header", options.header, strlen(options.header));
  ShowBytes("color", options.color, strlen(options.color));
  ShowBytes("font", options.font, strlen(options.font));
  ShowBytes("result", resultText, strlen(resultText));
  abort();
}

// Two texts that should have been equal, from where they part.
[[noreturn]] void DifferenceViolation(const char* what, const char* a, size_t aSize, const char* b,
                                      size_t bSize) {
  size_t k = 0;
  while (k < aSize && k < bSize && a[k] == b[k]) ++k;
  size_t from = k > 40 ? k - 40 : 0;
  fprintf(stderr, "\n== %s: they part at byte %zu\n", what, k);
  ShowBytes("expected, from there", a + from, aSize - from);
  ShowBytes("found, from there", b + from, bSize - from);
  Violation(what);
}

[[noreturn]] void LineViolation(const char* what, const char* line, size_t length) {
  fprintf(stderr, "\n== %s\n", what);
  ShowBytes("the line", line, length);
  Violation(what);
}

// ---------------------------------------------------------------------------
// Files.

void WriteFile(const char* path, const char* data, size_t size) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) {
    perror(path);
    abort();
  }
  while (size > 0) {
    ssize_t done = write(fd, data, size);
    if (done <= 0) {
      perror(path);
      abort();
    }
    data += done;
    size -= static_cast<size_t>(done);
  }
  close(fd);
}

// Reads a whole file; false when it does not exist.
bool ReadFile(const char* path, char* buffer, size_t* size) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) return false;
  size_t used = 0;
  for (;;) {
    if (used == kTextCapacity) Violation("a file grew past any size a job can legally write");
    ssize_t got = read(fd, buffer + used, kTextCapacity - used);
    if (got < 0) {
      perror(path);
      abort();
    }
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  close(fd);
  *size = used;
  return true;
}

bool FileExists(const char* path) { return access(path, F_OK) == 0; }

void RemoveWorkDir() {
  unlink(markdownPath);
  unlink(backupPath);
  unlink(outputPath);
  for (int k = 0; k < 3; ++k) {
    unlink(chapterPaths[k]);
    unlink(chapterBackups[k]);
  }
  rmdir(workDir);
}

void MakeWorkDir() {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  snprintf(workDir, sizeof workDir, "%s/foliostamp-fuzz-XXXXXX", base);
  if (mkdtemp(workDir) == nullptr) {
    perror("mkdtemp");
    abort();
  }
  snprintf(markdownPath, sizeof markdownPath, "%s/doc.md", workDir);
  snprintf(backupPath, sizeof backupPath, "%s/doc.bak", workDir);
  snprintf(outputPath, sizeof outputPath, "%s/out.md", workDir);
  for (int k = 0; k < 3; ++k) {
    snprintf(chapterPaths[k], sizeof chapterPaths[k], "%s/ch%d.md", workDir, k + 1);
    snprintf(chapterBackups[k], sizeof chapterBackups[k], "%s/ch%d.bak", workDir, k + 1);
  }
  atexit(RemoveWorkDir);
}

JobReport lastReport;

void TakeResult(void*, const JobReport& report) {
  snprintf(resultText, sizeof resultText, "%s", report.text);
  lastReport = report;
  lastReport.text = resultText;
}

// The only files a job may leave in the folder are those it works on.
void CheckNoStrayFiles() {
  static const char* const kAllowed[] = {".", "..", "doc.md", "doc.bak", "out.md", "ch1.md",
                                         "ch2.md", "ch3.md", "ch1.bak", "ch2.bak", "ch3.bak"};
  DIR* dir = opendir(workDir);
  if (dir == nullptr) return;
  struct dirent* entry;
  while ((entry = readdir(dir)) != nullptr) {
    bool allowed = false;
    for (const char* name : kAllowed) allowed = allowed || strcmp(entry->d_name, name) == 0;
    if (!allowed) {
      closedir(dir);
      Violation("a job left a stray file in the folder");
    }
  }
  closedir(dir);
}

// ---------------------------------------------------------------------------
// Lines, as the jobs' reader hands them out, judged by the passes' rules.

// A physical line: [offset, offset + length) of its text, LF included.
struct Line {
  const char* data;
  size_t length;
  size_t offset;
};

struct LineCursor {
  const char* data;
  size_t size;
  size_t at;
};

LineCursor StartLines(const char* data, size_t size) { return LineCursor{data, size, 0}; }

bool NextLine(LineCursor* cursor, Line* line) {
  if (cursor->at >= cursor->size) return false;
  size_t at = cursor->at;
  const void* lf = memchr(cursor->data + at, '\n', cursor->size - at);
  size_t end = lf == nullptr ? cursor->size
                             : static_cast<size_t>(static_cast<const char*>(lf) - cursor->data) + 1;
  *line = Line{cursor->data + at, end - at, at};
  cursor->at = end;
  return true;
}

bool IsLastLine(const LineCursor& cursor) { return cursor.at >= cursor.size; }

// The first piece of a line, as the jobs' tests see it: at most a piece,
// and for the document's first line, after a byte order mark.
LinePiece FirstPiece(const Line& line) {
  bool whole = line.length <= kPieceLimit;
  LinePiece piece = {line.data, whole ? line.length : kPieceLimit, true, whole, line.offset};
  return AfterByteOrderMark(piece);
}

// The whole line as one piece, after a byte order mark.
LinePiece WholeLine(const Line& line) {
  return AfterByteOrderMark(LinePiece{line.data, line.length, true, true, line.offset});
}

// The document's front matter, as the counting pass decides it: empty when
// there is none (an unclosed one is none).
FrontMatterSpan FrontMatterOf(const char* data, size_t size) {
  using State = FrontMatterScan::State;
  FrontMatterScan scan;
  StartFrontMatter(&scan);
  LineCursor cursor = StartLines(data, size);
  Line line;
  while ((scan.state == State::Start || scan.state == State::Open) && NextLine(&cursor, &line)) {
    FeedFrontMatter(&scan, FirstPiece(line));
  }
  return scan.state == State::Closed ? scan.span : FrontMatterSpan{0, 0};
}

// Walks a document's lines with the passes' walk, telling each one's kind.
struct DocumentWalk {
  LineCursor cursor;
  MarkdownWalk walk;
};

DocumentWalk StartDocumentWalk(const char* data, size_t size, FrontMatterSpan frontMatter) {
  DocumentWalk walk = {StartLines(data, size), {}};
  StartWalk(&walk.walk, frontMatter);
  return walk;
}

DocumentWalk StartDocumentWalk(const char* data, size_t size) {
  return StartDocumentWalk(data, size, FrontMatterOf(data, size));
}

bool NextKind(DocumentWalk* walk, Line* line, LineKind* kind) {
  if (!NextLine(&walk->cursor, line)) return false;
  *kind = WalkLine(&walk->walk, FirstPiece(*line));
  return true;
}

// The line ending the jobs add, by the document's first line.
const char* DocumentLineEnding(const char* data, size_t size) {
  LineCursor cursor = StartLines(data, size);
  Line first;
  if (!NextLine(&cursor, &first)) return LineEndingText(EolStyle::Lf);
  FirstLineEnd end;
  StartFirstLineEnd(&end);
  TakeFirstLineBytes(&end, first.data, first.length);
  return LineEndingText(EolStyleOf(end));
}

bool IsNumberLine(const Line& line) { return IsOldNumberLine(WholeLine(line)); }

// Number lines, and annotations in heading-shaped lines, of any length.
size_t CountOurs(const char* data, size_t size) {
  size_t count = 0;
  LineCursor cursor = StartLines(data, size);
  Line line;
  while (NextLine(&cursor, &line)) {
    if (IsNumberLine(line)) ++count;
    ptrdiff_t space = HeadingSpace(FirstPiece(line));
    if (space < 0) continue;
    LinePiece whole = WholeLine(line);
    for (ptrdiff_t at = FindAnnotation(whole, static_cast<size_t>(space)); at >= 0;
         at = FindAnnotation(whole, static_cast<size_t>(at) + 1)) {
      ++count;
    }
  }
  return count;
}

size_t CountNumberLines(const char* data, size_t size) {
  size_t count = 0;
  LineCursor cursor = StartLines(data, size);
  Line line;
  while (NextLine(&cursor, &line)) count += IsNumberLine(line);
  return count;
}

// True when the line holds a CR that is no part of a CR LF: a line end of
// the old CR style.
bool HasLoneCr(const Line& line) {
  for (size_t k = 0; k < line.length; ++k) {
    if (line.data[k] == '\r' && (k + 1 == line.length || line.data[k + 1] != '\n')) return true;
  }
  return false;
}

// Documents on which a second Execute must change nothing, and on which
// Delete after Execute must give what Delete gives: one line-ending style
// throughout (all CR LF, or all LF, and no CR on its own), and number lines
// only where the jobs put them: the first line examined (after a byte
// order mark and front matter), or right after a page break or its blank
// line.
bool ExpectedToSettle(const char* data, size_t size) {
  bool sawCrLf = false;
  bool sawLf = false;
  // The top is the first line, or the line after front matter (an old
  // number line above front matter is dropped too).
  uint64_t top = FrontMatterOf(data, size).end;
  DocumentWalk walk = StartDocumentWalk(data, size);
  LineKind before[2] = {LineKind::Text, LineKind::Text};
  bool blankBefore = false;
  Line line;
  LineKind kind;
  while (NextKind(&walk, &line, &kind)) {
    if (HasLoneCr(line)) return false;
    if (line.data[line.length - 1] == '\n') {
      bool cr = line.length >= 2 && line.data[line.length - 2] == '\r';
      sawCrLf = sawCrLf || cr;
      sawLf = sawLf || !cr;
    }
    LinePiece piece = FirstPiece(line);
    if (kind == LineKind::Text && IsOldNumberLine(piece)) {
      bool atTop = line.offset == 0 || line.offset == top;
      bool afterBreak = before[0] == LineKind::PageBreak || (blankBefore && before[1] == LineKind::PageBreak);
      if (!atTop && !afterBreak) return false;
    }
    before[1] = before[0];
    before[0] = kind;
    blankBefore = IsBlankLine(piece);
  }
  return !(sawCrLf && sawLf);
}

// ---------------------------------------------------------------------------
// Options the jobs refuse, and the encoding they see.

// A plain decoder: every character read whole and judged by its value.
bool ReferenceIsUtf8(const char* data, size_t size) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  size_t k = 0;
  while (k < size) {
    unsigned c = p[k];
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || k + length > size) return false;
    uint32_t value = length == 1 ? c : c & (0x7F >> length);
    for (size_t m = 1; m < length; ++m) {
      if ((p[k + m] & 0xC0) != 0x80) return false;
      value = (value << 6) | (p[k + m] & 0x3F);
    }
    static const uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    k += length;
  }
  return true;
}

bool ExpectedUtf8(const char* data, size_t size) {
  return (size >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0) || ReferenceIsUtf8(data, size);
}

bool HasLineBreak(const char* text) { return strpbrk(text, "\r\n") != nullptr; }

// The texts a number line shows may not hold a line break.
bool TextsHaveLineBreak() {
  bool custom = options.input.colorChoice != 0 && options.input.colorChoice != 1;
  return HasLineBreak(options.header) || HasLineBreak(options.font) || (custom && HasLineBreak(options.color));
}

// ---------------------------------------------------------------------------
// What the jobs leave.

// The bytes of a file, or a violation when it is gone.
size_t ReadWhole(const char* path, char* buffer, const char* what) {
  size_t size = 0;
  if (!ReadFile(path, buffer, &size)) Violation(what);
  return size;
}

bool SameBytes(const char* a, size_t aSize, const char* b, size_t bSize) {
  return aSize == bSize && memcmp(a, b, aSize) == 0;
}

void CheckSame(const char* what, const char* expected, size_t expectedSize, const char* found,
               size_t foundSize) {
  if (!SameBytes(expected, expectedSize, found, foundSize)) {
    DifferenceViolation(what, expected, expectedSize, found, foundSize);
  }
}

void CheckMarkdownEquals(const char* data, size_t size, const char* what) {
  size_t markdownSize = ReadWhole(markdownPath, scratch, "the document is gone");
  CheckSame(what, data, size, scratch, markdownSize);
}

void CheckBackupEquals(const char* data, size_t size) {
  size_t backupSize = ReadWhole(backupPath, scratch, "no backup after the job");
  CheckSame("the backup differs from the job's input", data, size, scratch, backupSize);
}

// What a refused or failed job must leave: the document as it was.
void CheckUntouched(const char* data, size_t size) {
  if (lastReport.outcome == JobOutcome::Done) return;
  CheckMarkdownEquals(data, size, "a job that reported an error changed the document");
}

// A rewriting job that did its work counted one total, wrote up to it and
// reported it.
void CheckTotals() {
  if (lastReport.outcome != JobOutcome::Done) Violation("a rewriting job did not do its work");
  if (lastReport.pageTotal < 1) Violation("a page total below 1");
  if (lastReport.lastPage != lastReport.pageTotal) {
    Violation("the writing pass did not end on the page the counting pass counted");
  }
  char expected[64];
  snprintf(expected, sizeof expected, "Total %d pages.", lastReport.pageTotal);
  if (strcmp(resultText, expected) != 0) Violation("the job did not report its page total");
}

// A rewriting job in place that did its work: its totals, its backup (or
// none, when asked for none), and its output, left in outBytes; returns
// the output's size.
size_t CheckRewrite(const char* inBytes, size_t inSize, char* outBytes) {
  CheckTotals();
  if (options.input.noBackup == 0) {
    CheckBackupEquals(inBytes, inSize);
  } else if (FileExists(backupPath)) {
    Violation("a job asked for no backup made one");
  }
  return ReadWhole(markdownPath, outBytes, "the document is gone");
}

// The number lines Execute writes into a document that had none: one at
// the top when asked (unless the document is empty or nothing but a byte
// order mark) and one after every page break that is not the document's
// last line; each shows the total in the chosen format, and the pages they
// show go up from *shown, where the last one is left.
void CheckWrittenNumberLines(const char* in, size_t inSize, const char* out, size_t outSize, bool top,
                             int32_t total, int32_t* shown) {
  bool bare = inSize == 0 || (inSize == 3 && memcmp(in, "\xEF\xBB\xBF", 3) == 0);
  size_t expected = top && !bare ? 1 : 0;
  DocumentWalk walk = StartDocumentWalk(in, inSize);
  Line line;
  LineKind kind;
  while (NextKind(&walk, &line, &kind)) {
    if (kind == LineKind::PageBreak && !IsLastLine(walk.cursor)) ++expected;
  }
  size_t written = 0;
  LineCursor cursor = StartLines(out, outSize);
  while (NextLine(&cursor, &line)) {
    if (!IsNumberLine(line)) continue;
    ++written;
    NumberLineParts parts;
    if (!ParseNumberLine(FirstPiece(line), &parts)) {
      LineViolation("a number line that does not parse", line.data, line.length);
    }
    if (parts.total != total) LineViolation("a number line shows another total", line.data, line.length);
    if (parts.paren != (options.input.formatChoice != 0)) {
      LineViolation("a number line in the other format", line.data, line.length);
    }
    if (parts.reads < *shown || parts.reads > total) {
      LineViolation("a number line's page is out of order or past the total", line.data, line.length);
    }
    *shown = parts.reads;
  }
  if (written != expected) {
    fprintf(stderr, "\n== %zu number lines written, %zu expected\n", written, expected);
    Violation("not one number line at the top and after every page break");
  }
}

bool NextCode(DocumentWalk* walk, Line* line) {
  LineKind kind;
  while (NextKind(walk, line, &kind)) {
    if (kind == LineKind::Code) return true;
  }
  return false;
}

// A code line is kept as it is, or, when it is heading-shaped and holds our
// annotation, cut before the annotation, keeping at most a heading tail
// that ended the line, and ended with the document's line ending.
bool CodeLineKept(const Line& in, const Line& out, const char* eol) {
  LinePiece from = WholeLine(in);
  LinePiece to = WholeLine(out);
  if (from.length == to.length && memcmp(from.data, to.data, from.length) == 0) return true;
  ptrdiff_t space = HeadingSpace(FirstPiece(in));
  ptrdiff_t found = space < 0 ? -1 : FindAnnotation(from, static_cast<size_t>(space));
  if (found < 0) return false;
  size_t cut = static_cast<size_t>(found);
  size_t eolLength = strlen(eol);
  if (to.length < cut + eolLength || memcmp(to.data, from.data, cut) != 0 ||
      memcmp(to.data + to.length - eolLength, eol, eolLength) != 0) {
    return false;
  }
  size_t tail = to.length - eolLength - cut;
  size_t fromText = LengthWithoutEnd(from);
  bool tailKept = tail == 0 || (IsHeadingTail(to.data + cut, tail) &&
                                fromText >= cut + sizeof kHeadingAnnotation - 1 + tail &&
                                memcmp(from.data + fromText - tail, to.data + cut, tail) == 0);
  return tailKept && FindAnnotation(to, 0) < 0;
}

// Front matter is copied as it is, right after a byte order mark (an old
// number line above it and its empty line go), its closing line given a
// line ending when a number line follows it. Answers the output's front
// matter.
FrontMatterSpan CheckFrontMatterKept(const char* in, size_t inSize, const char* out, size_t outSize) {
  FrontMatterSpan from = FrontMatterOf(in, inSize);
  if (from.end == 0) return from;
  FrontMatterSpan to = FrontMatterOf(out, outSize);
  size_t mark = inSize >= 3 && memcmp(in, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  size_t length = static_cast<size_t>(from.end - from.start);
  size_t eolLength = strlen(DocumentLineEnding(in, inSize));
  size_t outLength = static_cast<size_t>(to.end - to.start);
  if (to.start != mark || outSize < mark + length || memcmp(in + from.start, out + mark, length) != 0 ||
      (outLength != length && !(from.end == inSize && outLength == length + eolLength))) {
    DifferenceViolation("front matter was not copied as it is", in + from.start, length, out + mark,
                        outLength);
  }
  return to;
}

// Nothing inside fenced code changes but annotation removal.
void CheckCodeKept(const char* in, size_t inSize, const char* out, size_t outSize) {
  const char* eol = DocumentLineEnding(in, inSize);
  DocumentWalk from = StartDocumentWalk(in, inSize);
  DocumentWalk to = StartDocumentWalk(out, outSize, CheckFrontMatterKept(in, inSize, out, outSize));
  Line inLine;
  Line outLine;
  while (NextCode(&from, &inLine)) {
    if (!NextCode(&to, &outLine)) LineViolation("a code line was lost", inLine.data, inLine.length);
    if (!CodeLineKept(inLine, outLine, eol)) {
      ShowBytes("input code line", inLine.data, inLine.length);
      LineViolation("a code line changed", outLine.data, outLine.length);
    }
  }
  if (NextCode(&to, &outLine)) {
    LineViolation("a code line the input did not have", outLine.data, outLine.length);
  }
}

// ---------------------------------------------------------------------------
// Shaping the document.

void SplitDocument(size_t size) {
  LineCursor cursor = StartLines(document, size);
  Line line;
  documentLines = 0;
  while (NextLine(&cursor, &line)) documentStarts[documentLines++] = static_cast<uint32_t>(line.offset);
  documentStarts[documentLines] = static_cast<uint32_t>(size);
}

// Lengthens one line of the document past the piece size, keeping its
// start (where the markers are) and its end.
size_t Stretch(size_t size) {
  static const size_t kTargets[8] = {kPieceLimit - 1, kPieceLimit, kPieceLimit + 1, kPieceLimit + 2,
                                     2 * kPieceLimit - 1, 2 * kPieceLimit, 2 * kPieceLimit + 1,
                                     3 * kPieceLimit + 7};
  static const char kFillers[4] = {'x', ' ', '#', '\r'};
  SplitDocument(size);
  size_t lineStart = 0;
  size_t lineLength = 0;
  if (documentLines > 0) {
    size_t k = options.stretchLine % documentLines;
    lineStart = documentStarts[k];
    lineLength = documentStarts[k + 1] - documentStarts[k];
  }
  size_t target = kTargets[options.stretchShape & 7];
  if (lineLength >= target) return size;
  size_t fill = target - lineLength;
  size_t end = lineLength;
  while (end > 0 && (document[lineStart + end - 1] == '\r' || document[lineStart + end - 1] == '\n')) --end;
  size_t at;
  switch (options.stretchShape >> 5) {
    case 0: at = 0; break;
    case 1: at = 1; break;
    case 2: at = 2; break;
    case 3: at = 35; break;
    case 4: at = 36; break;
    case 5: at = end > 0 ? end - 1 : 0; break;
    default: at = end; break;
  }
  if (at > end) at = end;
  at += lineStart;
  memmove(document + at + fill, document + at, size - at);
  memset(document + at, kFillers[(options.stretchShape >> 3) & 3], fill);
  return size + fill;
}

// Delete after Execute gives what Delete gives on the original, but for
// the one line ending Execute may add at the very end of a document that
// does not end with LF (after a last heading, a blank line or front
// matter's closing line).
void CheckDeleteAfterExecute(size_t documentSize, size_t removedOriginalSize, size_t removedLastSize) {
  const char* eol = DocumentLineEnding(document, documentSize);
  size_t eolLength = strlen(eol);
  bool endsWithLf = documentSize > 0 && document[documentSize - 1] == '\n';
  bool endingAdded = documentSize > 0 && !endsWithLf && removedLastSize == removedOriginalSize + eolLength &&
                     memcmp(removedLast, removedOriginal, removedOriginalSize) == 0 &&
                     memcmp(removedLast + removedOriginalSize, eol, eolLength) == 0;
  if (endingAdded) return;
  CheckSame("delete after execute differs from delete on the original", removedOriginal, removedOriginalSize,
            removedLast, removedLastSize);
}

// ---------------------------------------------------------------------------
// Books.

// Cuts the document into up to three files at line boundaries; offsets
// gets where each starts, and offsets[count] the document's size.
int SplitIntoChapters(size_t size, size_t* offsets) {
  int count = 1;
  offsets[0] = 0;
  for (int k = 0; k < 2 && documentLines > 1; ++k) {
    size_t cut = documentStarts[1 + options.splits[k] % (documentLines - 1)];
    if (cut > offsets[count - 1]) offsets[count++] = cut;
  }
  offsets[count] = size;
  for (int k = 0; k < count; ++k) WriteFile(chapterPaths[k], document + offsets[k], offsets[k + 1] - offsets[k]);
  return count;
}

int bookReports;
JobReport bookReport[3];

void TakeBookReport(void*, const JobReport& report) {
  if (bookReports < 3) bookReport[bookReports] = report;
  ++bookReports;
}

// A book of one file is numbered as Execute numbers it. A book of several
// shows one total on every file, and in its number lines; its pages go on
// from file to file and end on the total; Delete takes out what it added.
void CheckBooks(size_t size, const char* expected, size_t expectedSize) {
  const char* paths[3] = {chapterPaths[0], chapterPaths[1], chapterPaths[2]};
  for (int k = 0; k < 3; ++k) {
    unlink(chapterPaths[k]);
    unlink(chapterBackups[k]);
  }
  currentJob = "Book of one file";
  WriteFile(chapterPaths[0], document, size);
  bookReports = 0;
  NumberBook(options.input, paths, 1, false, TakeBookReport, nullptr);
  if (bookReports != 1 || bookReport[0].outcome != JobOutcome::Done) Violation("a book of one file failed");
  size_t outSize = ReadWhole(chapterPaths[0], scratch, "the book's file is gone");
  CheckSame("a book of one file differs from execute", expected, expectedSize, scratch, outSize);

  currentJob = "Book of several files";
  unlink(chapterBackups[0]);
  size_t offsets[4];
  int count = SplitIntoChapters(size, offsets);
  if (count < 2) return;
  bookReports = 0;
  NumberBook(options.input, paths, count, false, TakeBookReport, nullptr);
  if (bookReports != count) Violation("a book did not report every file");
  int32_t total = bookReport[0].pageTotal;
  bool noNumberLines = CountNumberLines(document, size) == 0;
  int32_t shown = 1;
  int32_t reached = 1;
  for (int k = 0; k < count; ++k) {
    if (bookReport[k].outcome != JobOutcome::Done) Violation("a book's file failed");
    if (bookReport[k].pageTotal != total) Violation("the files of a book show different totals");
    if (bookReport[k].lastPage < reached) Violation("a book's pages went back from one file to the next");
    reached = bookReport[k].lastPage;
    const char* in = document + offsets[k];
    size_t inSize = offsets[k + 1] - offsets[k];
    outSize = ReadWhole(chapterPaths[k], secondOutput, "a book's file is gone");
    bool top = k > 0 || options.input.numberFirstPage != 0;
    if (noNumberLines) CheckWrittenNumberLines(in, inSize, secondOutput, outSize, top, total, &shown);
    CheckCodeKept(in, inSize, secondOutput, outSize);
  }
  if (reached != total) Violation("a book does not end on its total");
  for (int k = 0; k < count && options.input.noBackup != 0; ++k) {
    if (FileExists(chapterBackups[k])) Violation("a book asked for no backups made one");
  }

  currentJob = "Delete after a book";
  JobInput input = options.input;
  input.keepExistingBackup = 0;
  for (int k = 0; k < count; ++k) {
    input.markdownPath = chapterPaths[k];
    RemovePageNumbers(input, TakeResult, nullptr);
    if (lastReport.outcome != JobOutcome::Done) Violation("delete after a book failed");
    outSize = ReadWhole(chapterPaths[k], secondOutput, "a book's file is gone");
    if (CountOurs(secondOutput, outSize) > CountOurs(document + offsets[k], offsets[k + 1] - offsets[k])) {
      Violation("delete after a book left number lines or annotations behind");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeWorkDir();
  char* p = manyTwos;
  for (int k = 0; k < 130; ++k, p += 2) memcpy(p, "2,", 3);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TakeOptions(&data, &size);
  size_t documentSize = size < kMaxDocument ? size : kMaxDocument;
  memcpy(document, data, documentSize);
  if (options.stretch) documentSize = Stretch(documentSize);
  SplitDocument(documentSize);

  unlink(backupPath);
  unlink(outputPath);
  WriteFile(markdownPath, document, documentSize);
  resultText[0] = '\0';

  bool refused = TextsHaveLineBreak() || HeadLength(options) > kHeadLimit;
  bool settles = ExpectedToSettle(document, documentSize);

  // Delete into another file: what Delete gives on the original.
  currentJob = "Delete to another file";
  RewriteToOutput(RewriteKind::Remove, options.input, outputPath, TakeResult, nullptr);
  CheckMarkdownEquals(document, documentSize, "delete to another file changed the source");
  if (FileExists(backupPath)) Violation("delete to another file made a backup");
  CheckTotals();
  size_t removedOriginalSize = ReadWhole(outputPath, removedOriginal, "delete to another file wrote nothing");
  CheckCodeKept(document, documentSize, removedOriginal, removedOriginalSize);
  unlink(outputPath);

  // Execute into another file: the source stays as it is.
  currentJob = "Execute to another file";
  RewriteToOutput(RewriteKind::Insert, options.input, outputPath, TakeResult, nullptr);
  CheckMarkdownEquals(document, documentSize, "execute to another file changed the source");
  if (FileExists(backupPath)) Violation("execute to another file made a backup");
  if ((lastReport.outcome == JobOutcome::Done) == refused) Violation("execute to another file went wrong");
  if (!refused) CheckTotals();

  // Execute.
  currentJob = "Execute";
  InsertPageNumbers(options.input, TakeResult, nullptr);
  CheckNoStrayFiles();
  CheckUntouched(document, documentSize);
  const char* removeInput = document;
  size_t removeInputSize = documentSize;
  if (refused) {
    const char* expected = TextsHaveLineBreak() ? kLineBreakText : kTooLongText;
    if (strcmp(resultText, expected) != 0) Violation("a text that cannot be written was not refused");
    if (lastReport.outcome != JobOutcome::Refused) Violation("a refusal without the outcome Refused");
    if (FileExists(backupPath)) Violation("a refused job made a backup");
    if (FileExists(outputPath)) Violation("a refused job wrote another file");
  } else {
    removeInputSize = CheckRewrite(document, documentSize, insertOutput);
    removeInput = insertOutput;
    if (lastReport.utf8 != ExpectedUtf8(document, documentSize)) {
      Violation("the counting pass judged the document's encoding wrongly");
    }
    if (CountNumberLines(document, documentSize) == 0) {
      int32_t shown = 1;
      CheckWrittenNumberLines(document, documentSize, insertOutput, removeInputSize,
                              options.input.numberFirstPage != 0, lastReport.pageTotal, &shown);
    }
    CheckCodeKept(document, documentSize, insertOutput, removeInputSize);
    size_t copySize = ReadWhole(outputPath, scratch, "execute to another file wrote nothing");
    CheckSame("execute to another file differs from execute in place", insertOutput, removeInputSize, scratch,
              copySize);
    CheckBooks(documentSize, insertOutput, removeInputSize);

    // Undo gives back the original bytes; then the numbered text again.
    currentJob = "Undo after Execute";
    UndoFromBackup(options.input, TakeResult, nullptr);
    if (options.input.noBackup == 0) {
      CheckMarkdownEquals(document, documentSize, "undo after execute did not give back the original");
      WriteFile(markdownPath, insertOutput, removeInputSize);
    } else {
      if (strcmp(resultText, "There is no .bak file.\n") != 0) Violation("undo without a backup");
      CheckMarkdownEquals(insertOutput, removeInputSize, "undo without a backup changed the document");
    }

    currentJob = "Check";
    CheckPageNumbers(options.input, TakeResult, nullptr);
    if (lastReport.outcome != JobOutcome::Done) Violation("check failed");
    bool differs = lastReport.differs;
    CheckMarkdownEquals(insertOutput, removeInputSize, "check changed the document");

    for (int run = 1; run < options.executes; ++run) {
      currentJob = "Execute again";
      unlink(backupPath);
      char* into = removeInput == insertOutput ? secondOutput : insertOutput;
      InsertPageNumbers(options.input, TakeResult, nullptr);
      size_t againSize = CheckRewrite(removeInput, removeInputSize, into);
      bool changed = !SameBytes(into, againSize, removeInput, removeInputSize);
      if (run == 1 && changed != differs) Violation("check and execute disagree");
      if (run == 1 && changed && settles) {
        CheckSame("a second execute changed the document", removeInput, removeInputSize, into, againSize);
      }
      removeInput = into;
      removeInputSize = againSize;
    }
  }

  // Delete, on what Execute left: first into another file, then in place.
  currentJob = "Delete to another file after Execute";
  unlink(outputPath);
  RewriteToOutput(RewriteKind::Remove, options.input, outputPath, TakeResult, nullptr);
  CheckTotals();
  size_t removedLastSize = ReadWhole(outputPath, removedLast, "delete to another file wrote nothing");
  if (!refused && settles) CheckDeleteAfterExecute(documentSize, removedOriginalSize, removedLastSize);

  currentJob = "Delete";
  bool hadBackup = FileExists(backupPath);
  size_t oldBackupSize = 0;
  if (hadBackup && !ReadFile(backupPath, removeOutput, &oldBackupSize)) Violation("the backup vanished");
  RemovePageNumbers(options.input, TakeResult, nullptr);
  CheckNoStrayFiles();
  CheckUntouched(removeInput, removeInputSize);
  if (options.input.keepExistingBackup != 0 && hadBackup) {
    if (strcmp(resultText, "There is .bak file.") != 0) Violation("an existing backup was not kept");
    CheckBackupEquals(removeOutput, oldBackupSize);
  } else {
    char* into = removeInput == insertOutput ? secondOutput : insertOutput;
    size_t removedSize = CheckRewrite(removeInput, removeInputSize, into);
    CheckSame("delete in place differs from delete to another file", removedLast, removedLastSize, into,
              removedSize);
    if (CountOurs(into, removedSize) > CountOurs(document, documentSize)) {
      Violation("delete left more number lines or annotations than the original had");
    }
    CheckCodeKept(removeInput, removeInputSize, into, removedSize);
  }

  // Undo puts the backup back.
  currentJob = "Undo";
  size_t backupSize = 0;
  bool backup = ReadFile(backupPath, removeOutput, &backupSize);
  UndoFromBackup(options.input, TakeResult, nullptr);
  if (backup) {
    if (strcmp(resultText, "Done undo.") != 0) Violation("undo failed");
    CheckMarkdownEquals(removeOutput, backupSize, "undo did not restore the backup");
  } else if (strcmp(resultText, "There is no .bak file.\n") != 0) {
    Violation("undo without a backup");
  }
  return 0;
}
