#include "paging/line_rules.h"

#include <string.h>

#include "common/numbers.h"
#include "common/utf8.h"

namespace {

constexpr size_t kAnnotationHeadLength = sizeof kHeadingAnnotation - 1;
const char kAnnotationDots[] = " ...";
const char kAnnotationClose[] = "</span>";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the decimal number that ends at *end, moving *end to its first
// character. False when there is none or it does not fit 32 bits.
bool ReadNumberBackward(const char* text, size_t floor, size_t* end, int32_t* value) {
  size_t p = *end;
  while (p > floor && IsDigit(text[p - 1]) && *end - p < 10) --p;
  if (p == *end || (p > floor && IsDigit(text[p - 1]))) return false;
  int64_t number = 0;
  for (size_t i = p; i < *end; ++i) number = number * 10 + (text[i] - '0');
  if (p > floor && text[p - 1] == '-') {
    --p;
    number = -number;
  }
  if (number > INT32_MAX || number < INT32_MIN) return false;
  *value = static_cast<int32_t>(number);
  *end = p;
  return true;
}

bool EndsWithAt(const char* text, size_t floor, size_t end, const char* tail) {
  size_t n = strlen(tail);
  return end >= floor + n && memcmp(text + end - n, tail, n) == 0;
}

void Append(char* out, size_t* length, const char* text, size_t textLength) {
  memcpy(out + *length, text, textLength);
  *length += textLength;
}

// The offset after a number line's span opening in text[0, length): the
// div's style runs to its first quote, kNumberSpanHead follows, and the
// span's style ends at the next "\">". 0 when there is none.
size_t SpanOpeningEnd(const char* text, size_t length) {
  const size_t headLength = sizeof kNumberDivHead - 1;
  const size_t spanLength = sizeof kNumberSpanHead - 1;
  const void* quote = memchr(text + headLength, '"', length - headLength);
  if (quote == nullptr) return 0;
  size_t at = static_cast<size_t>(static_cast<const char*>(quote) - text);
  if (length - at < spanLength || memcmp(text + at, kNumberSpanHead, spanLength) != 0) return 0;
  for (size_t i = at + spanLength; i + 1 < length; ++i) {
    if (text[i] == '"' && text[i + 1] == '>') return i + 2;
  }
  return 0;
}

// A whole line (without its end) that is exactly text.
bool LineIs(const LinePiece& line, const char* text) {
  size_t n = strlen(text);
  return line.startsLine && line.endsLine && LengthWithoutEnd(line) == n &&
         memcmp(line.data, text, n) == 0;
}

// The run of fence marks at the start of a line: at most three spaces, then
// three or more backticks or tildes.
struct FenceRun {
  char mark;
  size_t start;
  size_t length;
};

bool FindFenceRun(const char* data, size_t length, FenceRun* run) {
  size_t i = 0;
  while (i < length && i < 4 && data[i] == ' ') ++i;
  if (i > 3 || i >= length || (data[i] != '`' && data[i] != '~')) return false;
  size_t j = i;
  while (j < length && data[j] == data[i]) ++j;
  if (j - i < 3) return false;
  *run = FenceRun{data[i], i, j - i};
  return true;
}

// The column of the first byte in data[0, length) that is neither space
// nor tab (a tab moves to the next multiple of four, as renderers count
// it), with its offset in *at.
size_t IndentColumn(const char* data, size_t length, size_t* at) {
  size_t column = 0;
  size_t i = 0;
  for (; i < length && (data[i] == ' ' || data[i] == '\t'); ++i) {
    column = data[i] == '\t' ? column / 4 * 4 + 4 : column + 1;
  }
  *at = i;
  return column;
}

// The offset after a list item's marker at data[at]: '-', '*' or '+', or
// 1 to 9 digits and '.' or ')'; 0 when there is none.
size_t ListMarkerEnd(const char* data, size_t length, size_t at) {
  if (at < length && (data[at] == '-' || data[at] == '*' || data[at] == '+')) return at + 1;
  size_t i = at;
  while (i < length && i - at < 10 && IsDigit(data[i])) ++i;
  if (i == at || i - at > 9 || i >= length || (data[i] != '.' && data[i] != ')')) return 0;
  return i + 1;
}

// Where the text of the list items a line opens starts: after at most three
// spaces, markers each followed by one to four spaces ("- 1. "). 0 when it
// opens none. Five spaces after a marker make indented code of the rest.
size_t ListItemText(const char* data, size_t length) {
  size_t i = 0;
  while (i < length && i < 3 && data[i] == ' ') ++i;
  size_t text = 0;
  for (size_t marker; (marker = ListMarkerEnd(data, length, i)) != 0;) {
    size_t spaces = marker;
    while (spaces < length && spaces - marker < 5 && data[spaces] == ' ') ++spaces;
    if (spaces == marker || spaces - marker > 4) break;
    text = i = spaces;
  }
  return text;
}

// The fence a line opens, at its start or right at the text of the list
// items it opens (column: where that text starts, or 0).
bool FindFenceOpener(const char* data, size_t length, FenceRun* run, size_t* column) {
  *column = 0;
  if (!FindFenceRun(data, length, run)) {
    size_t text = ListItemText(data, length);
    if (text == 0 || !FindFenceRun(data + text, length - text, run) || run->start != 0) return false;
    run->start = text;
    *column = text;
  }
  size_t rest = run->start + run->length;
  return run->mark == '~' || memchr(data + rest, '`', length - rest) == nullptr;
}

bool OnlySpacesAndTabs(const char* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (data[i] != ' ' && data[i] != '\t') return false;
  }
  return true;
}

// "{...}" with no brace inside, starting at text[at]; the offset after it,
// or 0.
size_t AttributeBlockEnd(const char* text, size_t length, size_t at) {
  if (at >= length || text[at] != '{') return 0;
  for (size_t i = at + 1; i < length; ++i) {
    if (text[i] == '}') return i + 1;
    if (text[i] == '{') return 0;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Line ends.

void StartFirstLineEnd(FirstLineEnd* end) { *end = FirstLineEnd{0, 0, 0}; }

void TakeFirstLineBytes(FirstLineEnd* end, const char* data, size_t length) {
  if (length == 0) return;
  end->beforeLast = length >= 2 ? data[length - 2] : end->last;
  end->last = data[length - 1];
  end->length += length;
}

EolStyle EolStyleOf(const FirstLineEnd& end) {
  return end.length >= 2 && end.beforeLast == '\r' ? EolStyle::CrLf : EolStyle::Lf;
}

const char* LineEndingText(EolStyle style) { return style == EolStyle::CrLf ? "\r\n" : "\n"; }

size_t LengthWithoutEnd(const LinePiece& line) {
  size_t length = line.length;
  while (length > 0 && (line.data[length - 1] == '\r' || line.data[length - 1] == '\n')) --length;
  return length;
}

// ---------------------------------------------------------------------------
// Markers.

bool StartsWith(const LinePiece& line, const char* marker, size_t markerLength) {
  return line.length >= markerLength && memcmp(line.data, marker, markerLength) == 0;
}

bool IsPageBreak(const LinePiece& line) {
  return StartsWith(line, kPageBreakMarker, sizeof kPageBreakMarker - 1);
}

bool IsTocLine(const LinePiece& line) { return StartsWith(line, kTocMarker, sizeof kTocMarker - 1); }

bool IsBlankLine(const LinePiece& line) {
  return line.length > 0 && (line.data[0] == '\r' || line.data[0] == '\n');
}

bool IsEmptyLine(const LinePiece& line) {
  return line.startsLine && line.endsLine &&
         ((line.length == 1 && line.data[0] == '\n') ||
          (line.length == 2 && line.data[0] == '\r' && line.data[1] == '\n'));
}

// ---------------------------------------------------------------------------
// Number lines.

bool IsOldNumberLine(const LinePiece& line) {
  NumberLineParts parts;
  return ParseNumberLine(line, &parts);
}

bool ParseNumberLine(const LinePiece& line, NumberLineParts* parts) {
  const size_t headLength = sizeof kNumberDivHead - 1;
  const size_t tailLength = sizeof kNumberDivTail - 1;
  if (!line.startsLine || !line.endsLine || !StartsWith(line, kNumberDivHead, headLength)) return false;
  const char* text = line.data;
  const size_t length = LengthWithoutEnd(line);
  if (length < headLength + tailLength || !EndsWithAt(text, 0, length, kNumberDivTail)) return false;
  // The numbers stand after the span's opening, which ends at its first
  // "\">": what the font size or colour text holds moves it no further
  // than the composer's own.
  const size_t floor = SpanOpeningEnd(text, length);
  if (floor == 0) return false;
  size_t end = length - tailLength;
  size_t p = end;
  parts->paren = EndsWithAt(text, floor, p, " )");
  if (parts->paren) p -= 2;
  if (!ReadNumberBackward(text, floor, &p, &parts->total) || !EndsWithAt(text, floor, p, " / ")) {
    return false;
  }
  p -= 3;
  if (!ReadNumberBackward(text, floor, &p, &parts->reads)) return false;
  const char* lead = parts->paren ? " ( " : " ";
  if (!EndsWithAt(text, floor, p, lead)) return false;
  p -= strlen(lead);
  // Right after a span's opening, or after a header and its spaces: a
  // writer's own "Book 1 / 2" is no number line.
  if (p != floor && !EndsWithAt(text, 0, p, "\">") && !EndsWithAt(text, floor, p, kHeaderSpaces)) {
    return false;
  }
  parts->numbersStart = p;
  parts->numbersEnd = end;
  return true;
}

size_t FormatNumbers(int32_t reads, int32_t total, bool paren, char* out, size_t outSize) {
  char numbers[40];
  size_t length = 0;
  Append(numbers, &length, paren ? " ( " : " ", paren ? 3 : 1);
  length += FormatDecimal(reads, numbers + length);
  Append(numbers, &length, " / ", 3);
  length += FormatDecimal(total, numbers + length);
  if (paren) Append(numbers, &length, " )", 2);
  if (outSize == 0) return 0;
  if (length > outSize - 1) length = outSize - 1;
  memcpy(out, numbers, length);
  out[length] = '\0';
  return length;
}

// ---------------------------------------------------------------------------
// Headings.

ptrdiff_t HeadingSpace(const LinePiece& line) {
  size_t i = 0;
  while (i < line.length && line.data[i] == ' ') ++i;
  size_t hashes = i;
  while (i < line.length && line.data[i] == '#') ++i;
  if (i == hashes || i >= line.length || line.data[i] != ' ') return -1;
  return static_cast<ptrdiff_t>(i);
}

ptrdiff_t FindAnnotation(const LinePiece& line, size_t from) {
  const size_t length = kAnnotationHeadLength;
  for (size_t i = from; i + length <= line.length; ++i) {
    const void* hit = memchr(line.data + i, kHeadingAnnotation[0], line.length - length + 1 - i);
    if (hit == nullptr) return -1;
    i = static_cast<size_t>(static_cast<const char*>(hit) - line.data);
    if (memcmp(line.data + i, kHeadingAnnotation, length) == 0) return static_cast<ptrdiff_t>(i);
  }
  return -1;
}

size_t FormatAnnotation(int32_t page, char* out) {
  size_t length = 0;
  Append(out, &length, kHeadingAnnotation, kAnnotationHeadLength);
  Append(out, &length, kAnnotationDots, sizeof kAnnotationDots - 1);
  length += FormatDecimal(page, out + length);
  Append(out, &length, kAnnotationClose, sizeof kAnnotationClose - 1);
  return length;
}

size_t AnnotationEnd(const char* text, size_t length, size_t at) {
  const size_t closeLength = sizeof kAnnotationClose - 1;
  for (size_t i = at + kAnnotationHeadLength; i + closeLength <= length; ++i) {
    if (memcmp(text + i, kAnnotationClose, closeLength) == 0) return i + closeLength;
  }
  return 0;
}

bool IsHeadingTail(const char* text, size_t length) {
  if (length < 2 || text[0] != ' ') return false;
  // What holds an annotation is no tail: the annotation goes with it.
  LinePiece rest = {text, length, true, true, 0};
  if (FindAnnotation(rest, 0) >= 0) return false;
  size_t i = 1;
  while (i < length && text[i] == '#') ++i;
  bool marks = i > 1;
  if (marks) {
    size_t spaces = i;
    while (i < length && text[i] == ' ') ++i;
    if (i == spaces) return i == length;
  }
  size_t block = AttributeBlockEnd(text, length, i);
  if (block == 0 && !marks) return false;
  if (block != 0) i = block;
  while (i < length && text[i] == ' ') ++i;
  return i == length;
}

size_t AnnotationPlace(const char* text, size_t length, size_t space) {
  const size_t floor = space + 1;  // the heading's text starts here
  size_t place = length;
  size_t end = length;
  while (end > floor && text[end - 1] == ' ') --end;
  // An attribute block at the end, after a space.
  if (end > floor && text[end - 1] == '}') {
    size_t open = end - 1;
    while (open > floor && text[open - 1] != '{' && text[open - 1] != '}') --open;
    if (open > floor && text[open - 1] == '{' && text[open - 2] == ' ') {
      place = open - 2;
      end = place;
      while (end > floor && text[end - 1] == ' ') --end;
    }
  }
  // Closing marks, after a space.
  size_t marks = end;
  while (marks > floor && text[marks - 1] == '#') --marks;
  if (marks < end && text[marks - 1] == ' ') place = marks - 1;
  return place;
}

bool ParseAnnotatedHeading(const LinePiece& line, HeadingParts* parts) {
  if (!line.startsLine || !line.endsLine) return false;
  ptrdiff_t space = HeadingSpace(line);
  if (space < 0) return false;
  ptrdiff_t annotation = FindAnnotation(line, static_cast<size_t>(space));
  if (annotation < 0) return false;
  const char* text = line.data;
  size_t length = LengthWithoutEnd(line);
  size_t p = static_cast<size_t>(annotation) + kAnnotationHeadLength;
  const size_t dots = sizeof kAnnotationDots - 1;
  const size_t close = sizeof kAnnotationClose - 1;
  if (length - p < dots || memcmp(text + p, kAnnotationDots, dots) != 0) return false;
  p += dots;
  size_t after = p;
  while (after < length && (IsDigit(text[after]) || (after == p && text[after] == '-'))) ++after;
  if (length - after < close || memcmp(text + after, kAnnotationClose, close) != 0) return false;
  size_t end = after;
  if (!ReadNumberBackward(text, p, &end, &parts->page) || end != p) return false;
  parts->textStart = static_cast<size_t>(space) + 1;
  parts->textEnd = static_cast<size_t>(annotation);
  parts->pageStart = p;
  parts->pageEnd = after;
  return true;
}

// ---------------------------------------------------------------------------
// The document.

size_t ByteOrderMarkLength(const LinePiece& first) {
  return first.offset == 0 && StartsWithUtf8Bom(first.data, first.length) ? 3 : 0;
}

LinePiece AfterByteOrderMark(const LinePiece& first) {
  size_t mark = ByteOrderMarkLength(first);
  LinePiece rest = first;
  rest.data += mark;
  rest.length -= mark;
  rest.offset += mark;
  return rest;
}

void StartFrontMatter(FrontMatterScan* scan) {
  scan->state = FrontMatterScan::State::Start;
  scan->lead = 0;
  scan->span = FrontMatterSpan{0, 0};
}

bool IsFrontMatterOpener(const LinePiece& line) { return LineIs(line, "---"); }

void FeedFrontMatter(FrontMatterScan* scan, const LinePiece& line) {
  using State = FrontMatterScan::State;
  if (!line.startsLine) return;
  if (scan->state == State::Start) {
    if (scan->lead == 0 && IsOldNumberLine(line)) {
      scan->lead = 1;
      return;
    }
    if (scan->lead == 1 && IsEmptyLine(line)) {
      scan->lead = 2;
      return;
    }
    scan->state = IsFrontMatterOpener(line) ? State::Open : State::None;
    scan->span.start = line.offset;
  } else if (scan->state == State::Open && (LineIs(line, "---") || LineIs(line, "..."))) {
    scan->state = State::Closed;
    scan->span.end = line.offset + line.length;
  }
}

bool FindFrontMatter(LineReader* reader, FrontMatterSpan* span) {
  using State = FrontMatterScan::State;
  FrontMatterScan scan;
  StartFrontMatter(&scan);
  LinePiece piece;
  ReadStatus status = ReadStatus::End;
  while ((scan.state == State::Start || scan.state == State::Open) &&
         (status = ReadPiece(reader, &piece)) == ReadStatus::Piece) {
    FeedFrontMatter(&scan, AfterByteOrderMark(piece));
  }
  *span = scan.state == State::Closed ? scan.span : FrontMatterSpan{0, 0};
  return status != ReadStatus::Error;
}

void StartWalk(MarkdownWalk* walk, FrontMatterSpan frontMatter) {
  walk->fence = FenceState{0, 0, 0};
  walk->frontMatter = frontMatter;
}

LineKind WalkLine(MarkdownWalk* walk, const LinePiece& line) {
  if (line.offset >= walk->frontMatter.start && line.offset < walk->frontMatter.end) {
    return LineKind::FrontMatter;
  }
  size_t length = line.endsLine ? LengthWithoutEnd(line) : line.length;
  FenceState& fence = walk->fence;
  if (fence.mark != 0) {
    size_t at;
    size_t column = IndentColumn(line.data, length, &at);
    if (at == length || column >= fence.column) {
      FenceRun run;
      if (line.endsLine && column <= fence.column + 3 && FindFenceRun(line.data + at, length - at, &run) &&
          run.start == 0 && run.mark == fence.mark && run.length >= fence.length &&
          OnlySpacesAndTabs(line.data + at + run.length, length - at - run.length)) {
        fence = FenceState{0, 0, 0};
      }
      return LineKind::Code;
    }
    // Left of the list item's text: the item has ended, and its code with
    // it; the line is read as any other.
    fence = FenceState{0, 0, 0};
  }
  FenceRun run;
  size_t column;
  if (FindFenceOpener(line.data, length, &run, &column)) {
    fence = FenceState{run.mark, run.length, column};
    return LineKind::Code;
  }
  if (IsPageBreak(line)) return LineKind::PageBreak;
  if (IsTocLine(line)) return LineKind::Toc;
  if (HeadingSpace(line) < 0) return LineKind::Text;
  // Four spaces make indented code, never a heading.
  return line.length >= 4 && memcmp(line.data, "    ", 4) == 0 ? LineKind::Code : LineKind::Heading;
}
