// The form in which Markdown lines and PDF sheet texts are compared. Text
// extraction drops, adds and merges white space, so matching mostly looks
// past it: in the match form a run of white space is one ' ', or one '\n'
// in sheet texts when it holds a line break, and a match may cross either.
// The gaps are kept to tell a whole number line spaced as ours from other
// text. Emphasis marks (* _ ` ~) are dropped, since a printed heading shows
// none; ligatures and smart punctuation (curly quotes, the ellipsis, en and
// em dash for "--" and "---") become their plain forms.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A text area that grows up to a fixed capacity and then remembers that it
// overflowed instead of writing past it.
struct TextStore {
  char* data;
  size_t capacity;
  size_t length;
  bool overflow;
};

void StartTextStore(TextStore* store, char* buffer, size_t capacity);

// Appends the match form of UTF-8 text. With keepBreaks, a white-space run
// with a line break becomes one '\n'; without, line breaks are spaces.
// Leading white space is dropped.
void AppendMatchForm(TextStore* store, const char* text, size_t length, bool keepBreaks);

// Appends the match form of the text a browser shows for HTML: tags dropped,
// character references decoded (&nbsp; is white space), no white space at
// either end.
void AppendVisibleMatchForm(TextStore* store, const char* html, size_t length);

// Appends one PDF sheet's text in match form, line breaks kept, no white
// space at either end.
void AppendSheetForm(TextStore* store, const char* text, size_t length);

// How the end of a match is bounded.
enum class KeyEnd {
  Number,      // a key ending in a digit may not be followed by one
  Annotation,  // the key must be followed by a page number ("...N")
};

// A found key: where it starts and where the text after it starts.
struct KeyMatch {
  size_t start;
  size_t end;
};

// Finds key (match form, no '\n') in text[from, textEnd) where the text is
// one sheet starting at sheetBegin, white space on either side not counting.
// A key starting with a digit may not follow one. False when absent.
bool FindKey(const char* text, size_t sheetBegin, size_t from, size_t textEnd, const char* key,
             size_t keyLength, KeyEnd keyEnd, KeyMatch* match);

// A found whole line; exact when its white space falls where the key's does.
struct LineMatch {
  size_t start;
  size_t end;
  bool exact;
};

// Finds key as whole lines of text[from, textEnd): starting where a line
// starts and ending where one ends, white space not counting (so a line
// broken in print still matches), never inside a longer line. The first
// such place, exact or not.
bool FindLine(const char* text, size_t sheetBegin, size_t from, size_t textEnd, const char* key,
              size_t keyLength, LineMatch* match);

// FindLine's test at one line start.
bool MatchLineAt(const char* text, size_t start, size_t textEnd, const char* key, size_t keyLength,
                 LineMatch* match);

// A hash of text without its white space: equal for a key and every line
// FindLine can match it with, unless the line is broken in print.
uint64_t GaplessHash(const char* text, size_t length);
