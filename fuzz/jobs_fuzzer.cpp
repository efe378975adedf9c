// libFuzzer target: runs every job on a document made from arbitrary bytes
// and arbitrary options, and checks two kinds of rules.
//
// Properties that hold whatever the line rules say:
//   - a job that reports an error leaves the document's bytes as they were;
//   - the writing pass ends on the page the counting pass counted;
//   - Undo after a successful Execute gives back the original bytes;
//   - Delete after any number of Executes leaves no more number lines and
//     heading annotations than the original had;
//   - Execute twice equals Execute once, for documents with one line-ending
//     style and no stray number lines;
//   - check says "differs" exactly when Execute would change the document;
//     Execute to another file writes what Execute in place writes; a book of
//     one file is numbered as Execute numbers it, and a book of several
//     shows one total and comes apart again with Delete;
//   - the counting pass takes the document for UTF-8 exactly when a plain
//     reference decoder does (or it starts with a byte order mark).
// And the line rules themselves, followed line by line (CheckLines), so a
// lost, doubled, moved or altered line is caught too.
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

#include "paging/jobs.h"

namespace {

// ---------------------------------------------------------------------------
// Fixed storage.

constexpr size_t kOptionBytes = 11;
constexpr size_t kMaxDocument = 256 * 1024;
constexpr size_t kPieceLimit = 199999;          // the longest piece the jobs read at once
constexpr size_t kMaxStretch = 4 * kPieceLimit;  // longest line a stretch makes
constexpr size_t kDocumentCapacity = kMaxDocument + kMaxStretch + 16;
// Enough for any legal output of a document of kDocumentCapacity bytes: at
// most one page-number line (under 1100 bytes) per 36-byte page break, or
// one 60-byte annotation per 3-byte heading.
constexpr size_t kTextCapacity = size_t{1} << 25;
constexpr size_t kMaxLines = kTextCapacity + 2;
constexpr size_t kHeadLimit = 1003;

const char kPageBreakMarker[] = "<div style=\"page-break-after:always";
const char kTocMarker[] = "[TOC]";
const char kNumberDivHead[] = "<div style=\"text-align:";
const char kNumberDivTail[] = "</span></div>";
const char kHeadingAnnotation[] = " <span style=\"color: transparent;\">";
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
char scratch[kTextCapacity];
char resultText[32000];

// Physical lines of a text: line k is [starts[k], starts[k + 1]).
struct Text {
  const char* data;
  size_t size;
  uint32_t* starts;
  size_t count;
};

uint32_t documentStarts[kDocumentCapacity + 2];
uint32_t insertStarts[kMaxLines];
uint32_t secondStarts[kMaxLines];
uint32_t removeStarts[kMaxLines];

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
  return fixed + strlen(o.font) + strlen(color) + strlen(o.header) + (o.header[0] != '\0' ? 18 : 0);
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
  o.executes = 1 + b[8] % 3;
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
  fprintf(stderr, "  options: color %d position %d format %d keep %d first %d annotate %d\n",
          options.input.colorChoice, options.input.positionChoice, options.input.formatChoice,
          options.input.keepExistingBackup, options.input.numberFirstPage,
          options.input.annotateHeadings);
  ShowBytes("toc", options.input.tocPageCount, strlen(options.input.tocPageCount));
  ShowBytes("skip", options.input.skipPages, strlen(options.input.skipPages));
  ShowBytes("header", options.header, strlen(options.header));
  ShowBytes("color", options.color, strlen(options.color));
  ShowBytes("font", options.font, strlen(options.font));
  ShowBytes("result", resultText, strlen(resultText));
  abort();
}

[[noreturn]] void LineViolation(const char* what, const Text& in, size_t i, const Text& out, size_t j) {
  fprintf(stderr, "\n== %s: input line %zu of %zu, output line %zu of %zu\n", what, i, in.count, j,
          out.count);
  for (size_t k = i >= 2 ? i - 2 : 0; k < in.count && k <= i + 1; ++k) {
    char label[40];
    snprintf(label, sizeof label, "input line %zu", k);
    ShowBytes(label, in.data + in.starts[k], in.starts[k + 1] - in.starts[k]);
  }
  for (size_t k = j >= 3 ? j - 3 : 0; k < out.count && k <= j + 2; ++k) {
    char label[40];
    snprintf(label, sizeof label, "output line %zu", k);
    ShowBytes(label, out.data + out.starts[k], out.starts[k + 1] - out.starts[k]);
  }
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
// Lines and the tests the jobs apply to them.

void SplitLines(Text* text, const char* data, size_t size, uint32_t* starts) {
  text->data = data;
  text->size = size;
  text->starts = starts;
  size_t count = 0;
  size_t at = 0;
  while (at < size) {
    starts[count++] = static_cast<uint32_t>(at);
    const void* lf = memchr(data + at, '\n', size - at);
    at = lf == nullptr ? size : static_cast<size_t>(static_cast<const char*>(lf) - data) + 1;
  }
  starts[count] = static_cast<uint32_t>(size);
  text->count = count;
}

struct Line {
  const char* data;
  size_t length;
};

Line LineAt(const Text& text, size_t k) {
  Line line = {text.data + text.starts[k], text.starts[k + 1] - text.starts[k]};
  return line;
}

bool Begins(const Line& line, const char* marker) {
  size_t length = strlen(marker);
  return line.length >= length && memcmp(line.data, marker, length) == 0;
}

bool Same(const Line& a, const Line& b) {
  return a.length == b.length && memcmp(a.data, b.data, a.length) == 0;
}

bool IsPageBreak(const Line& line) { return Begins(line, kPageBreakMarker); }
bool IsToc(const Line& line) { return Begins(line, kTocMarker); }
bool IsBlank(const Line& line) { return line.length > 0 && (line.data[0] == '\r' || line.data[0] == '\n'); }
bool FitsOnePiece(const Line& line) { return line.length <= kPieceLimit; }

size_t TextEnd(const Line& line) {
  size_t end = line.length;
  while (end > 0 && (line.data[end - 1] == '\r' || line.data[end - 1] == '\n')) --end;
  return end;
}

bool IsOldNumberLine(const Line& line) {
  if (!FitsOnePiece(line) || !Begins(line, kNumberDivHead)) return false;
  size_t end = TextEnd(line);
  size_t tail = strlen(kNumberDivTail);
  return end >= tail && memcmp(line.data + end - tail, kNumberDivTail, tail) == 0;
}

// Offset of the space after the '#' characters, or -1 when not a heading.
long HeadingSpace(const Line& line) {
  size_t k = 0;
  while (k < line.length && line.data[k] == ' ') ++k;
  size_t hashes = k;
  while (k < line.length && line.data[k] == '#') ++k;
  if (k == hashes || k >= line.length || line.data[k] != ' ') return -1;
  return static_cast<long>(k);
}

long FindAnnotation(const Line& line, size_t from) {
  size_t length = strlen(kHeadingAnnotation);
  for (size_t k = from; k + length <= line.length; ++k) {
    if (memcmp(line.data + k, kHeadingAnnotation, length) == 0) return static_cast<long>(k);
  }
  return -1;
}

// The line ending the jobs add, from the end of the first physical line.
const char* LineEnding(const Text& text) {
  if (text.count == 0) return "\n";
  Line first = LineAt(text, 0);
  return first.length >= 2 && first.data[first.length - 2] == '\r' ? "\r\n" : "\n";
}

int32_t Saturate(int64_t value) {
  if (value > 2147483647) return 2147483647;
  if (value < -2147483647 - 1) return -2147483647 - 1;
  return static_cast<int32_t>(value);
}

int32_t CountPageBreak(int32_t page) {
  if (page < 10000) page = Saturate(int64_t{page} + options.skipCounts[page]);
  return Saturate(int64_t{page} + 1);
}

// The first piece of a line, as the jobs' line tests see it.
Line FirstPiece(const Line& line) {
  Line piece = {line.data, line.length < kPieceLimit ? line.length : kPieceLimit};
  return piece;
}

// Pages counted as both passes count them, from `page` on.
int32_t CountFrom(const Text& text, int32_t page) {
  for (size_t k = 0; k < text.count; ++k) {
    Line line = LineAt(text, k);
    if (IsPageBreak(line)) {
      page = CountPageBreak(page);
    } else if (IsToc(line)) {
      page = Saturate(int64_t{page} + options.tocPages - 1);
    }
  }
  return page;
}

int32_t ExpectedTotal(const Text& text) { return CountFrom(text, 1); }

// Reads a page number as "%d" writes one that is at least 1.
bool ParsePage(const char** at, const char* end, int32_t* page) {
  const char* p = *at;
  if (p >= end || *p < '1' || *p > '9') return false;
  int64_t value = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    value = value * 10 + (*p - '0');
    if (value > 2147483647) return false;
    ++p;
  }
  *at = p;
  *page = static_cast<int32_t>(value);
  return true;
}

bool Expect(const char** at, const char* end, const char* text) {
  size_t length = strlen(text);
  if (static_cast<size_t>(end - *at) < length || memcmp(*at, text, length) != 0) return false;
  *at += length;
  return true;
}

// ---------------------------------------------------------------------------
// The pass's rules, line by line: the output must be the input with exactly
// the lines each rule adds, drops or rebuilds, in the input's order. Page
// numbers are followed with the pass's own counting.

struct Walk {
  const Text* in;
  const Text* out;
  bool inserting;
  int32_t total;
  const char* eol;
  char head[1300];
  size_t i;  // next input line
  size_t j;  // next output line
};

[[noreturn]] void WalkViolation(const Walk& w, const char* what) {
  LineViolation(what, *w.in, w.i, *w.out, w.j);
}

void ComposeHead(Walk& w) {
  const JobInput& o = options.input;
  const char* color = o.colorChoice == 0 ? "black" : o.colorChoice == 1 ? "gray" : options.color;
  snprintf(w.head, sizeof w.head, "%s%s\"><span style=\"font-size: %s%%; color:%s\">%s%s", kNumberDivHead,
           o.positionChoice == 0 ? " right" : " center", options.font, color, options.header,
           options.header[0] != '\0' ? "&nbsp;&nbsp;&nbsp;" : "");
}

// The input line in hand reaches the output unchanged.
void ExpectSame(Walk& w) {
  if (w.j >= w.out->count || !Same(LineAt(*w.in, w.i), LineAt(*w.out, w.j))) {
    WalkViolation(w, "input line lost, changed or moved");
  }
  ++w.i;
  ++w.j;
}

// The input line in hand, then the job's line ending when it has no LF.
void ExpectSameThenEnding(Walk& w) {
  Line from = LineAt(*w.in, w.i);
  bool hasLf = from.length > 0 && from.data[from.length - 1] == '\n';
  size_t added = hasLf ? 0 : strlen(w.eol);
  if (w.j >= w.out->count) WalkViolation(w, "input line lost, changed or moved");
  Line to = LineAt(*w.out, w.j);
  if (to.length != from.length + added || memcmp(to.data, from.data, from.length) != 0 ||
      memcmp(to.data + from.length, w.eol, added) != 0) {
    WalkViolation(w, "input line lost, changed or moved");
  }
  ++w.i;
  ++w.j;
}

// A blank line made of the job's line ending.
void ExpectAddedBlank(Walk& w) {
  size_t length = strlen(w.eol);
  if (w.j >= w.out->count) WalkViolation(w, "blank line missing after a page break");
  Line line = LineAt(*w.out, w.j);
  if (line.length != length || memcmp(line.data, w.eol, length) != 0) {
    WalkViolation(w, "blank line missing after a page break");
  }
  ++w.j;
}

// A page-number line for the given page. A header text may hold line breaks,
// so it can span several physical lines of the output.
void ExpectNumberLine(Walk& w, int32_t page) {
  if (w.j >= w.out->count) WalkViolation(w, "page-number line missing");
  const char* start = w.out->data + w.out->starts[w.j];
  const char* at = start;
  const char* end = w.out->data + w.out->size;
  int32_t shownPage = 0;
  int32_t shownTotal = 0;
  bool parenthesised = options.input.formatChoice != 0;
  if (!Expect(&at, end, w.head) || !Expect(&at, end, parenthesised ? " ( " : " ") ||
      !ParsePage(&at, end, &shownPage) || !Expect(&at, end, " / ") || !ParsePage(&at, end, &shownTotal) ||
      !Expect(&at, end, parenthesised ? " )" : "") || !Expect(&at, end, kNumberDivTail) ||
      !Expect(&at, end, w.eol)) {
    WalkViolation(w, "page-number line missing or malformed");
  }
  if (shownPage != page) WalkViolation(w, "page-number line shows the wrong page");
  if (shownTotal != w.total) WalkViolation(w, "page-number line shows the wrong total");
  for (const char* p = start; p < at; ++p) w.j += *p == '\n';
}

// A heading line: its first annotation, wherever it stands, and everything
// after it go, and so does its line end; when adding, a new annotation
// follows if the line still fits in one piece with it. A heading without
// annotation is left as it is by Delete, and by Execute when the line is
// longer than a piece; Execute rebuilds a shorter one with the job's line
// ending.
void ExpectHeading(Walk& w, size_t space, int32_t page) {
  Line from = LineAt(*w.in, w.i);
  long annotation = FindAnnotation(from, space);
  bool rebuild = annotation >= 0 || (w.inserting && FitsOnePiece(from));
  if (!rebuild) {
    ExpectSame(w);
    return;
  }
  if (w.j >= w.out->count) WalkViolation(w, "heading line lost");
  Line to = LineAt(*w.out, w.j);
  size_t keep = annotation >= 0 ? static_cast<size_t>(annotation) : TextEnd(from);
  if (to.length < keep || memcmp(to.data, from.data, keep) != 0) WalkViolation(w, "heading text changed");
  const char* at = to.data + keep;
  const char* end = to.data + to.length;
  if (w.inserting && options.input.annotateHeadings != 0) {
    char number[40];
    size_t numberLength = static_cast<size_t>(snprintf(number, sizeof number, " ...%d</span>", page));
    bool fits = keep + strlen(kHeadingAnnotation) + numberLength + strlen(w.eol) <= kPieceLimit;
    if (fits && (!Expect(&at, end, kHeadingAnnotation) || !Expect(&at, end, number))) {
      WalkViolation(w, "heading annotation missing, malformed or with the wrong page");
    }
  }
  if (!Expect(&at, end, w.eol) || at != end) WalkViolation(w, "heading line ends wrongly");
  ++w.i;
  ++w.j;
}

// A page break and what the pass writes after it: the blank line (copied
// or added), the page-number line (Execute only), and then the next line
// dropped when it is an old page-number line; whatever comes next is
// examined like any other line.
void WalkPageBreak(Walk& w, int32_t page) {
  const Text& in = *w.in;
  ExpectSame(w);
  if (w.i == in.count) return;
  if (IsBlank(LineAt(in, w.i))) {
    if (w.inserting && w.i + 1 == in.count) {
      // The number line goes on a line of its own, so a last blank line
      // without LF gets the job's line ending first.
      ExpectSameThenEnding(w);
      ExpectNumberLine(w, page);
      return;
    }
    ExpectSame(w);
    if (w.i == in.count) return;
  } else {
    ExpectAddedBlank(w);
  }
  if (w.inserting) ExpectNumberLine(w, page);
  if (IsOldNumberLine(LineAt(in, w.i))) ++w.i;
}

// Follows a document from `firstPage` on, with a number line at its top
// when numberTop; returns the page the pass ends on.
int32_t CheckLines(const Text& in, const Text& out, bool inserting, int32_t total, int32_t firstPage,
                   bool numberTop) {
  Walk w;
  w.in = &in;
  w.out = &out;
  w.inserting = inserting;
  w.total = total;
  w.eol = LineEnding(in);
  w.i = 0;
  w.j = 0;
  ComposeHead(w);

  int32_t page = firstPage;
  if (in.count > 0) {
    if (inserting && numberTop) ExpectNumberLine(w, page);
    if (IsOldNumberLine(LineAt(in, 0))) ++w.i;
  }
  while (w.i < in.count) {
    Line line = LineAt(in, w.i);
    long space = HeadingSpace(FirstPiece(line));
    if (IsPageBreak(line)) {
      page = CountPageBreak(page);
      WalkPageBreak(w, page);
    } else if (IsToc(line)) {
      ExpectSame(w);
      page = Saturate(int64_t{page} + options.tocPages - 1);
    } else if (space >= 0) {
      ExpectHeading(w, static_cast<size_t>(space), page);
    } else {
      ExpectSame(w);
    }
  }
  if (w.j != out.count) WalkViolation(w, "output lines the job should not have written");
  return page;
}

// ---------------------------------------------------------------------------
// The jobs.

void CheckTotal(int32_t total) {
  char expected[64];
  snprintf(expected, sizeof expected, "Total %d pages.", total);
  if (strcmp(resultText, expected) != 0) Violation("the job did not report the expected page total");
  if (lastReport.outcome != JobOutcome::Done) Violation("a page total reported without the outcome Done");
}

void CheckBackupEquals(const char* data, size_t size) {
  size_t backupSize = 0;
  if (!ReadFile(backupPath, scratch, &backupSize)) Violation("no backup after the job");
  if (backupSize != size || memcmp(scratch, data, size) != 0) Violation("the backup differs from the job's input");
}

void CheckMarkdownEquals(const char* data, size_t size, const char* what) {
  size_t markdownSize = 0;
  if (!ReadFile(markdownPath, scratch, &markdownSize) || markdownSize != size ||
      memcmp(scratch, data, size) != 0) {
    Violation(what);
  }
}

// Lengthens one line of the document past the piece size, keeping its
// start (where the markers are) and its end.
size_t Stretch(size_t size) {
  static const size_t kTargets[8] = {kPieceLimit - 1, kPieceLimit, kPieceLimit + 1, kPieceLimit + 2,
                                     2 * kPieceLimit - 1, 2 * kPieceLimit, 2 * kPieceLimit + 1,
                                     3 * kPieceLimit + 7};
  static const char kFillers[4] = {'x', ' ', '#', '\r'};
  Text text;
  SplitLines(&text, document, size, documentStarts);
  size_t lineStart = 0;
  size_t lineLength = 0;
  if (text.count > 0) {
    Line line = LineAt(text, options.stretchLine % text.count);
    lineStart = static_cast<size_t>(line.data - document);
    lineLength = line.length;
  }
  size_t target = kTargets[options.stretchShape & 7];
  if (lineLength >= target) return size;
  size_t fill = target - lineLength;
  size_t end = TextEnd(Line{document + lineStart, lineLength});
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

// The bytes of a file, or a violation when it is gone.
size_t ReadWhole(const char* path, char* buffer, const char* what) {
  size_t size = 0;
  if (!ReadFile(path, buffer, &size)) Violation(what);
  return size;
}

bool SameBytes(const char* a, size_t aSize, const char* b, size_t bSize) {
  return aSize == bSize && memcmp(a, b, aSize) == 0;
}

// A rewriting job that did its work: the total it reported, the last page
// its writing pass reached, its backup, and its output line by line. The
// output is left in outBytes; returns its size.
size_t CheckRewrite(const Text& in, const char* inBytes, size_t inSize, bool inserting, char* outBytes,
                    uint32_t* outStarts) {
  int32_t total = ExpectedTotal(in);
  CheckTotal(total);
  if (lastReport.lastPage != lastReport.pageTotal) {
    Violation("the writing pass did not end on the page the counting pass counted");
  }
  CheckBackupEquals(inBytes, inSize);
  size_t outputSize = ReadWhole(markdownPath, outBytes, "the document is gone");
  Text output;
  SplitLines(&output, outBytes, outputSize, outStarts);
  CheckLines(in, output, inserting, total, 1, inserting && options.input.numberFirstPage != 0);
  return outputSize;
}

// ---------------------------------------------------------------------------
// Properties.

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

bool ShapedLikeNumberLine(const Line& line) {
  if (!Begins(line, kNumberDivHead)) return false;
  size_t end = TextEnd(line);
  size_t tail = strlen(kNumberDivTail);
  return end >= tail && memcmp(line.data + end - tail, kNumberDivTail, tail) == 0;
}

// Number lines, and annotations in heading lines, of any length.
size_t CountOurs(const Text& text) {
  size_t count = 0;
  for (size_t k = 0; k < text.count; ++k) {
    Line line = LineAt(text, k);
    if (ShapedLikeNumberLine(line)) ++count;
    long space = HeadingSpace(FirstPiece(line));
    if (space < 0) continue;
    for (long at = FindAnnotation(line, static_cast<size_t>(space)); at >= 0;
         at = FindAnnotation(line, static_cast<size_t>(at) + 1)) {
      ++count;
    }
  }
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

// Documents on which a second Execute must change nothing: one line-ending
// style throughout (all CR LF, or all LF, and no CR on its own), and number
// lines only where the jobs put them (the first line, or right after a page
// break or its blank line).
bool ExpectedToSettle(const Text& text) {
  bool sawCrLf = false;
  bool sawLf = false;
  for (size_t k = 0; k < text.count; ++k) {
    Line line = LineAt(text, k);
    if (HasLoneCr(line)) return false;
    if (line.data[line.length - 1] == '\n') {
      bool cr = line.length >= 2 && line.data[line.length - 2] == '\r';
      sawCrLf = sawCrLf || cr;
      sawLf = sawLf || !cr;
    }
    if (k == 0 || !ShapedLikeNumberLine(line)) continue;
    bool afterBreak = IsPageBreak(LineAt(text, k - 1)) ||
                      (k >= 2 && IsBlank(LineAt(text, k - 1)) && IsPageBreak(LineAt(text, k - 2)));
    if (!afterBreak) return false;
  }
  return !(sawCrLf && sawLf);
}

// What a refused or failed job must leave: the document as it was.
void CheckUntouched(const char* data, size_t size) {
  if (lastReport.outcome == JobOutcome::Done) return;
  CheckMarkdownEquals(data, size, "a job that reported an error changed the document");
}

// Cuts the document into up to three files at line boundaries; offsets
// gets where each starts, and offsets[count] the document's size.
int SplitIntoChapters(const Text& in, size_t* offsets) {
  int count = 1;
  offsets[0] = 0;
  for (int k = 0; k < 2 && in.count > 1; ++k) {
    size_t cut = in.starts[1 + options.splits[k] % (in.count - 1)];
    if (cut > offsets[count - 1]) offsets[count++] = cut;
  }
  offsets[count] = in.size;
  for (int k = 0; k < count; ++k) WriteFile(chapterPaths[k], in.data + offsets[k], offsets[k + 1] - offsets[k]);
  return count;
}

int bookReports;
JobReport bookReport[3];

void TakeBookReport(void*, const JobReport& report) {
  if (bookReports < 3) bookReport[bookReports] = report;
  ++bookReports;
}

// A book of one file is numbered as Execute numbers it. A book of several
// is numbered as the document with a page break at each cut: it shows one
// total, ends on it, and comes apart again with Delete.
void CheckBooks(const Text& in, const char* expected, size_t expectedSize) {
  const char* paths[3] = {chapterPaths[0], chapterPaths[1], chapterPaths[2]};
  for (int k = 0; k < 3; ++k) {
    unlink(chapterPaths[k]);
    unlink(chapterBackups[k]);
  }
  currentJob = "Book of one file";
  WriteFile(chapterPaths[0], in.data, in.size);
  bookReports = 0;
  NumberBook(options.input, paths, 1, false, TakeBookReport, nullptr);
  if (bookReports != 1 || bookReport[0].outcome != JobOutcome::Done) Violation("a book of one file failed");
  size_t size = ReadWhole(chapterPaths[0], scratch, "the book's file is gone");
  if (!SameBytes(scratch, size, expected, expectedSize)) Violation("a book of one file differs from execute");

  currentJob = "Book of several files";
  unlink(chapterBackups[0]);
  size_t offsets[4];
  int count = SplitIntoChapters(in, offsets);
  if (count < 2) return;
  bookReports = 0;
  NumberBook(options.input, paths, count, false, TakeBookReport, nullptr);
  if (bookReports != count) Violation("a book did not report every file");
  int32_t total = bookReport[0].pageTotal;
  int32_t page = 1;
  for (int k = 0; k < count; ++k) {
    if (bookReport[k].outcome != JobOutcome::Done) Violation("a book's file failed");
    if (bookReport[k].pageTotal != total) Violation("the files of a book show different totals");
    if (k > 0) page = CountPageBreak(page);
    Text chapter;
    SplitLines(&chapter, in.data + offsets[k], offsets[k + 1] - offsets[k], removeStarts);
    size_t outSize = ReadWhole(chapterPaths[k], secondOutput, "a book's file is gone");
    Text out;
    SplitLines(&out, secondOutput, outSize, secondStarts);
    page = CheckLines(chapter, out, true, total, page, k > 0 || options.input.numberFirstPage != 0);
    if (bookReport[k].lastPage != page) Violation("a book's file ended on another page than counted");
  }
  if (page != total) Violation("a book does not end on its total");

  currentJob = "Delete after a book";
  JobInput input = options.input;
  input.keepExistingBackup = 0;
  for (int k = 0; k < count; ++k) {
    input.markdownPath = chapterPaths[k];
    RemovePageNumbers(input, TakeResult, nullptr);
    if (lastReport.outcome != JobOutcome::Done) Violation("delete after a book failed");
    Text chapter;
    SplitLines(&chapter, in.data + offsets[k], offsets[k + 1] - offsets[k], removeStarts);
    size_t outSize = ReadWhole(chapterPaths[k], secondOutput, "a book's file is gone");
    Text out;
    SplitLines(&out, secondOutput, outSize, secondStarts);
    if (CountOurs(out) > CountOurs(chapter)) Violation("delete after a book left number lines behind");
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

  unlink(backupPath);
  unlink(outputPath);
  WriteFile(markdownPath, document, documentSize);
  resultText[0] = '\0';

  Text input;
  SplitLines(&input, document, documentSize, documentStarts);
  bool refused = TextsHaveLineBreak() || HeadLength(options) > kHeadLimit;

  // Execute into another file first: the source stays as it is.
  currentJob = "Execute to another file";
  RewriteToOutput(RewriteKind::Insert, options.input, outputPath, TakeResult, nullptr);
  CheckMarkdownEquals(document, documentSize, "execute to another file changed the source");
  if (FileExists(backupPath)) Violation("execute to another file made a backup");
  if ((lastReport.outcome == JobOutcome::Done) == refused) Violation("execute to another file went wrong");

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
    removeInputSize = CheckRewrite(input, document, documentSize, true, insertOutput, insertStarts);
    removeInput = insertOutput;
    if (lastReport.utf8 != ExpectedUtf8(document, documentSize)) {
      Violation("the counting pass judged the document's encoding wrongly");
    }
    size_t copySize = ReadWhole(outputPath, scratch, "execute to another file wrote nothing");
    if (!SameBytes(scratch, copySize, insertOutput, removeInputSize)) {
      Violation("execute to another file differs from execute in place");
    }
    CheckBooks(input, insertOutput, removeInputSize);

    // Undo gives back the original bytes; then the numbered text again.
    currentJob = "Undo after Execute";
    UndoFromBackup(options.input, TakeResult, nullptr);
    CheckMarkdownEquals(document, documentSize, "undo after execute did not give back the original");
    WriteFile(markdownPath, insertOutput, removeInputSize);

    currentJob = "Check";
    CheckPageNumbers(options.input, TakeResult, nullptr);
    if (lastReport.outcome != JobOutcome::Done) Violation("check failed");
    bool differs = lastReport.differs;
    CheckMarkdownEquals(insertOutput, removeInputSize, "check changed the document");

    for (int run = 1; run < options.executes; ++run) {
      currentJob = "Execute again";
      unlink(backupPath);
      Text in;
      char* into = removeInput == insertOutput ? secondOutput : insertOutput;
      uint32_t* starts = removeInput == insertOutput ? secondStarts : insertStarts;
      SplitLines(&in, removeInput, removeInputSize, removeStarts);
      InsertPageNumbers(options.input, TakeResult, nullptr);
      size_t againSize = CheckRewrite(in, removeInput, removeInputSize, true, into, starts);
      bool changed = !SameBytes(into, againSize, removeInput, removeInputSize);
      if (run == 1 && changed != differs) Violation("check and execute disagree");
      if (run == 1 && changed && ExpectedToSettle(input)) Violation("a second execute changed the document");
      removeInput = into;
      removeInputSize = againSize;
    }
  }

  // Delete, on what Execute left.
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
    Text in;
    char* into = removeInput == insertOutput ? secondOutput : insertOutput;
    uint32_t* starts = removeInput == insertOutput ? secondStarts : insertStarts;
    SplitLines(&in, removeInput, removeInputSize, removeStarts);
    size_t removedSize = CheckRewrite(in, removeInput, removeInputSize, false, into, starts);
    Text removed;
    SplitLines(&removed, into, removedSize, starts);
    if (CountOurs(removed) > CountOurs(input)) {
      Violation("delete left more number lines or annotations than the original had");
    }
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
