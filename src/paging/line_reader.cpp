#include "paging/line_reader.h"

#include <string.h>

namespace {

// Moves the unread bytes to the front and fills the buffer behind them.
void Refill(LineReader* r) {
  if (r->start > 0) {
    memmove(r->buffer, r->buffer + r->start, r->end - r->start);
    r->end -= r->start;
    r->start = 0;
  }
  while (r->end < r->capacity && !r->atEof) {
    size_t got = fread(r->buffer + r->end, 1, r->capacity - r->end, r->file);
    if (r->scan != nullptr && r->scan->valid) ScanUtf8(r->scan, r->buffer + r->end, got);
    r->end += got;
    if (got == 0) {
      if (ferror(r->file)) r->failed = true;
      r->atEof = true;
    }
  }
}

void HandOut(LineReader* r, size_t length, bool endsLine, LinePiece* piece) {
  piece->data = r->buffer + r->start;
  piece->length = length;
  piece->startsLine = !r->midLine;
  piece->endsLine = endsLine;
  piece->offset = r->position;
  r->start += length;
  r->position += length;
  r->midLine = !endsLine;
}

}  // namespace

void StartReading(LineReader* reader, FILE* file, char* buffer, size_t capacity,
                  size_t pieceLimit) {
  reader->file = file;
  reader->buffer = buffer;
  reader->capacity = capacity;
  reader->pieceLimit = pieceLimit;
  reader->start = 0;
  reader->end = 0;
  reader->position = 0;
  reader->atEof = false;
  reader->failed = false;
  reader->midLine = false;
  reader->scan = nullptr;
}

ReadStatus ReadPiece(LineReader* r, LinePiece* piece) {
  for (;;) {
    if (r->failed) return ReadStatus::Error;
    size_t available = r->end - r->start;
    size_t scan = available < r->pieceLimit ? available : r->pieceLimit;
    const char* lf = static_cast<const char*>(memchr(r->buffer + r->start, '\n', scan));
    if (lf != nullptr) {
      HandOut(r, static_cast<size_t>(lf - (r->buffer + r->start)) + 1, true, piece);
      return ReadStatus::Piece;
    }
    // A full piece without LF ends its line only if nothing follows it, so
    // keep one byte more than a piece in view before deciding.
    if (available > r->pieceLimit) {
      HandOut(r, r->pieceLimit, false, piece);
      return ReadStatus::Piece;
    }
    if (r->atEof) {
      if (available == 0) return ReadStatus::End;
      HandOut(r, available, true, piece);
      return ReadStatus::Piece;
    }
    Refill(r);
  }
}
