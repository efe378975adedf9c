// The form in which Markdown lines and PDF sheet texts are compared. Text
// extraction drops, adds and merges white space, so the match form has
// none: white space is dropped, and a run of white space that holds a line
// break becomes one '\n' in sheet texts (a boundary that a match may cross).
// Emphasis marks (* _ ` ~) are dropped too, since a printed heading shows
// none; ligatures, the ellipsis and curly quotes become plain characters.
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

// Appends the match form of UTF-8 text. With keepBreaks, line breaks become
// one '\n' each run; without, they are dropped like other white space.
void AppendMatchForm(TextStore* store, const char* text, size_t length, bool keepBreaks);

// Appends the match form of the text a browser shows for HTML: tags dropped,
// character references decoded (&nbsp; is white space).
void AppendVisibleMatchForm(TextStore* store, const char* html, size_t length);

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
// one sheet starting at sheetBegin, '\n' inside the text not counting. A key
// starting with a digit may not follow one. False when absent.
bool FindKey(const char* text, size_t sheetBegin, size_t from, size_t textEnd, const char* key,
             size_t keyLength, KeyEnd keyEnd, KeyMatch* match);
