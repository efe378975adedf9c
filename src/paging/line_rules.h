// What a line of a Markdown document is, by the rules every reader of ours
// shares: the numbering passes, check, verify and its fix, and the fuzzer.
// Renderers of CommonMark decide what a reader sees; these rules follow them
// where our lines meet theirs.
//
//   Line ends        the document's line ending, from its first line
//   Markers          page breaks, "[TOC]", blank lines
//   Number lines     recognising and parsing the lines the jobs write
//   Headings         the heading rule and where an annotation goes
//   The document     byte order mark, front matter, fenced code, the walk
//
// Every test looks at one piece, the first of its line, as LineReader
// hands it out.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "paging/line_reader.h"
#include "paging/markers.h"

// ---------------------------------------------------------------------------
// Line ends.

enum class EolStyle { Undetermined = -1, CrLf = 0, Lf = 1 };

// The end of a document's first physical line, fed in order.
struct FirstLineEnd {
  uint64_t length;
  char beforeLast;
  char last;
};

void StartFirstLineEnd(FirstLineEnd* end);
void TakeFirstLineBytes(FirstLineEnd* end, const char* data, size_t length);

// CR LF when the first line holds at least two bytes and the one before its
// last is CR; LF otherwise. A document without LF is one line.
EolStyle EolStyleOf(const FirstLineEnd& end);

// The line ending text of a style ("\n" while undetermined).
const char* LineEndingText(EolStyle style);

// Length of the line without the CR and LF bytes at its end.
size_t LengthWithoutEnd(const LinePiece& line);

// ---------------------------------------------------------------------------
// Markers, compared byte for byte from the first byte of the line.

bool StartsWith(const LinePiece& line, const char* marker, size_t markerLength);
bool IsPageBreak(const LinePiece& line);
bool IsTocLine(const LinePiece& line);
// A line that begins with a line-end byte.
bool IsBlankLine(const LinePiece& line);
// A line that is nothing but "\n" or "\r\n": the blank line the jobs write
// after a number line, and the only kind they ever take out.
bool IsEmptyLine(const LinePiece& line);

// ---------------------------------------------------------------------------
// Number lines: kNumberDivHead, the position, kNumberSpanHead, the span's
// style up to "\">", a header and kHeaderSpaces (or neither), " R / T" or
// " ( R / T )", kNumberDivTail. Only a whole line of that shape is ours: a
// writer's own centred line stays.

// A line the jobs wrote, to be replaced or taken out: one ParseNumberLine
// reads.
bool IsOldNumberLine(const LinePiece& line);

// The numbers sit in [numbersStart, numbersEnd), just before the tail.
struct NumberLineParts {
  size_t numbersStart;
  size_t numbersEnd;
  int32_t reads;
  int32_t total;
  bool paren;
};

bool ParseNumberLine(const LinePiece& line, NumberLineParts* parts);

// The numbers of a number line in its format; answers the length written.
size_t FormatNumbers(int32_t reads, int32_t total, bool paren, char* out, size_t outSize);

// ---------------------------------------------------------------------------
// Headings: spaces, '#' marks, a space. The annotation is
// " <span style=\"color: transparent;\"> ...N</span>".

// Offset of the space after the '#' characters of a heading line, or -1.
ptrdiff_t HeadingSpace(const LinePiece& line);

// Offset of the first annotation head at or after `from`, or -1.
ptrdiff_t FindAnnotation(const LinePiece& line, size_t from);

// Writes an annotation for page into out (room for 64 bytes); answers its
// length.
size_t FormatAnnotation(int32_t page, char* out);

// The offset after the "</span>" that closes the annotation starting at
// `at` in text[0, length), or 0 when it is not closed on the line.
size_t AnnotationEnd(const char* text, size_t length, size_t at);

// What stands after a heading's text and must stay at the end of the line
// for renderers to read it: CommonMark's closing '#' marks and an attribute
// block "{...}" (pandoc, markdown-it-attrs, static site generators), each
// after a space. True when text[0, length) is such a tail: a space, then
// closing marks, an attribute block or both, then only spaces.
bool IsHeadingTail(const char* text, size_t length);

// Where the annotation goes in a heading's text[0, length) (no line end,
// no annotation): before the space that starts its tail, or at the end.
// Never before `space`, the heading's own space.
size_t AnnotationPlace(const char* text, size_t length, size_t space);

// An annotated heading: its text in [textStart, textEnd), the page number
// in [pageStart, pageEnd).
struct HeadingParts {
  size_t textStart;
  size_t textEnd;
  size_t pageStart;
  size_t pageEnd;
  int32_t page;
};

bool ParseAnnotatedHeading(const LinePiece& line, HeadingParts* parts);

// ---------------------------------------------------------------------------
// The document: what is read before its first line, and code.

// The first line without a UTF-8 byte order mark: the mark stays where it
// is, and the line's tests look at the bytes after it.
LinePiece AfterByteOrderMark(const LinePiece& first);
size_t ByteOrderMarkLength(const LinePiece& first);

// Front matter: a first line (after the mark) that is exactly "---", up to
// and including the next line that is exactly "---" or "...". An old number
// line above it (and the empty line after it), where earlier versions put
// the first page's number, does not hide it: the jobs drop those lines and
// put the top below the front matter. The lines of front matter are those
// starting in [start, end).
struct FrontMatterSpan {
  uint64_t start;
  uint64_t end;  // 0: no front matter
};

// Fed the first piece of each line from the document's first; decided once
// it has seen the closing line (Closed) or a first line that opens none.
struct FrontMatterScan {
  enum class State { Start, Open, Closed, None } state;
  int lead;  // lines taken before the first: an old number line, an empty line
  FrontMatterSpan span;
};

void StartFrontMatter(FrontMatterScan* scan);
void FeedFrontMatter(FrontMatterScan* scan, const LinePiece& line);
bool IsFrontMatterOpener(const LinePiece& line);

// Reads a document from its first line until its front matter is decided;
// an empty span when it has none. False when a read fails.
bool FindFrontMatter(LineReader* reader, FrontMatterSpan* span);

// A fenced code block: at most three spaces, then three or more backticks
// (with no backtick in the rest of the line) or tildes; closed by at least
// as many of the same character after at most three spaces, then only
// spaces or tabs; an unclosed fence runs to the end of the document.
// A fence may also open right at the text of a list item on its marker
// line ("- ```", "1. - ~~~"): the item's text starts at column c, after the
// markers and their one to four spaces. Such a fence closes at a line
// indented c to c + 3 columns, and ends without closing at the first line
// that is not blank and indented less than c, which is read as any other
// line: renderers end the item there, and its code with it.
struct FenceState {
  char mark;      // 0 outside a fence
  size_t length;  // how many marks opened it
  size_t column;  // where the list item's text starts; 0 for a fence at a line's start
};

enum class LineKind {
  Text,         // any other line, number lines included
  FrontMatter,  // copied as it is, counted for nothing
  Code,         // a fence line, a line inside one, or a heading-shaped line
                // indented by four spaces or more: counted for nothing
  PageBreak,
  Toc,
  Heading,
};

// Walks a document line by line from its first.
struct MarkdownWalk {
  FenceState fence;
  FrontMatterSpan frontMatter;
};

void StartWalk(MarkdownWalk* walk, FrontMatterSpan frontMatter);

// Takes the first piece of every physical line in order (the first line
// after AfterByteOrderMark) and answers what it is.
LineKind WalkLine(MarkdownWalk* walk, const LinePiece& line);
