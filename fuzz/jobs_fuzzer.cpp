// libFuzzer target: runs Execute, then Delete on what Execute left, then
// Undo, on a document made from arbitrary bytes, and checks what must hold
// for every document and every choice of options: each job succeeds or
// refuses with its documented text; its backup is its input byte for byte;
// the page total is the one the first pass counts; and the output is the
// input line for line, with only the lines the pass adds, drops or rebuilds
// (see CheckLines), so a lost, doubled, moved or altered line is caught.
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

constexpr size_t kOptionBytes = 8;
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

char workDir[256];
char markdownPath[300];
char backupPath[300];

char document[kDocumentCapacity];
char insertOutput[kTextCapacity];
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
  atexit(RemoveWorkDir);
}

JobReport lastReport;

void TakeResult(void*, const JobReport& report) {
  snprintf(resultText, sizeof resultText, "%s", report.text);
  lastReport = report;
  lastReport.text = resultText;
}

// The only files a job may leave in the folder are the two it works on.
void CheckNoStrayFiles() {
  DIR* dir = opendir(workDir);
  if (dir == nullptr) return;
  struct dirent* entry;
  while ((entry = readdir(dir)) != nullptr) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") != 0 && strcmp(name, "..") != 0 && strcmp(name, "doc.md") != 0 &&
        strcmp(name, "doc.bak") != 0) {
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

// Pages counted the way the first pass counts them.
int32_t ExpectedTotal(const Text& text) {
  int32_t total = 1;
  for (size_t k = 0; k < text.count; ++k) {
    Line line = LineAt(text, k);
    if (IsPageBreak(line)) {
      total = Saturate(int64_t{total} + 1);
      if (total < 10000) total = Saturate(int64_t{total} + options.skipCounts[total]);
    } else if (IsToc(line)) {
      total = Saturate(int64_t{total} + options.tocPages - 1);
    }
  }
  return total;
}

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

// A heading line rebuilt: its text kept up to its first old annotation (or
// up to its CR and LF bytes), then the new annotation when asked, then the
// job's line ending. Delete leaves a heading without annotation as it is.
void ExpectHeading(Walk& w, size_t space, int32_t page) {
  Line from = LineAt(*w.in, w.i);
  long annotation = FindAnnotation(from, space);
  if (!w.inserting && annotation < 0) {
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
    int32_t shown = 0;
    if (!Expect(&at, end, kHeadingAnnotation) || !Expect(&at, end, " ...") || !ParsePage(&at, end, &shown) ||
        !Expect(&at, end, "</span>")) {
      WalkViolation(w, "heading annotation missing or malformed");
    }
    if (shown != page) WalkViolation(w, "heading annotation shows the wrong page");
  }
  if (!Expect(&at, end, w.eol) || at != end) WalkViolation(w, "heading line ends wrongly");
  ++w.i;
  ++w.j;
}

int32_t CountPageBreak(int32_t page) {
  if (page < 10000) page = Saturate(int64_t{page} + options.skipCounts[page]);
  return Saturate(int64_t{page} + 1);
}

// A page break the pass examines, and what it writes after it: the blank
// line (copied or added), the page-number line (Execute only), and the
// following line copied unchanged, or dropped when it is an old page-number
// line.
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
  if (IsOldNumberLine(LineAt(in, w.i))) {
    ++w.i;
  } else {
    ExpectSame(w);
  }
}

void CheckLines(const Text& in, const Text& out, bool inserting, int32_t total) {
  Walk w;
  w.in = &in;
  w.out = &out;
  w.inserting = inserting;
  w.total = total;
  w.eol = LineEnding(in);
  w.i = 0;
  w.j = 0;
  ComposeHead(w);

  int32_t page = 1;
  if (in.count > 0) {
    if (inserting && options.input.numberFirstPage != 0) {
      ExpectNumberLine(w, 1);
      if (IsOldNumberLine(LineAt(in, 0))) {
        ++w.i;
      } else {
        ExpectSame(w);
      }
    } else if (IsOldNumberLine(LineAt(in, 0))) {
      ++w.i;
    }
  }
  while (w.i < in.count) {
    Line line = LineAt(in, w.i);
    long space = HeadingSpace(line);
    if (IsPageBreak(line)) {
      page = CountPageBreak(page);
      WalkPageBreak(w, page);
    } else if (inserting && IsToc(line)) {
      ExpectSame(w);
      page = Saturate(int64_t{page} + options.tocPages - 1);
    } else if (space >= 0 && FitsOnePiece(line)) {
      ExpectHeading(w, static_cast<size_t>(space), page);
    } else {
      ExpectSame(w);
    }
  }
  if (w.j != out.count) WalkViolation(w, "output lines the job should not have written");
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

// A rewriting job that did its work: the total it reported, its backup, and
// its output line by line. The output is left in outBytes; returns its size.
size_t CheckRewrite(const Text& in, const char* inBytes, size_t inSize, bool inserting, char* outBytes,
                    uint32_t* outStarts) {
  int32_t total = ExpectedTotal(in);
  CheckTotal(total);
  CheckBackupEquals(inBytes, inSize);
  size_t outputSize = 0;
  if (!ReadFile(markdownPath, outBytes, &outputSize)) Violation("the document is gone");
  Text output;
  SplitLines(&output, outBytes, outputSize, outStarts);
  CheckLines(in, output, inserting, total);
  return outputSize;
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
  WriteFile(markdownPath, document, documentSize);
  resultText[0] = '\0';

  Text input;
  SplitLines(&input, document, documentSize, documentStarts);

  // Execute.
  currentJob = "Execute";
  InsertPageNumbers(options.input, TakeResult, nullptr);
  CheckNoStrayFiles();
  const char* removeInput = document;
  size_t removeInputSize = documentSize;
  if (HeadLength(options) > kHeadLimit) {
    if (strcmp(resultText, kTooLongText) != 0) Violation("a head text too long was not refused");
    if (FileExists(backupPath)) Violation("a refused job made a backup");
    CheckMarkdownEquals(document, documentSize, "a refused job changed the document");
  } else {
    removeInputSize = CheckRewrite(input, document, documentSize, true, insertOutput, insertStarts);
    removeInput = insertOutput;
  }

  // Delete, on what Execute left.
  currentJob = "Delete";
  bool hadBackup = FileExists(backupPath);
  size_t oldBackupSize = 0;
  if (hadBackup && !ReadFile(backupPath, removeOutput, &oldBackupSize)) Violation("the backup vanished");
  RemovePageNumbers(options.input, TakeResult, nullptr);
  CheckNoStrayFiles();
  if (options.input.keepExistingBackup != 0 && hadBackup) {
    if (strcmp(resultText, "There is .bak file.") != 0) Violation("an existing backup was not kept");
    CheckMarkdownEquals(removeInput, removeInputSize, "a refused job changed the document");
    CheckBackupEquals(removeOutput, oldBackupSize);
  } else {
    Text in;
    SplitLines(&in, removeInput, removeInputSize, insertStarts);
    CheckRewrite(in, removeInput, removeInputSize, false, removeOutput, removeStarts);
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
