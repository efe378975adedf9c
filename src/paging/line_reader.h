// Reads a file as pieces of lines over one fixed buffer.
//
// A piece is what fgets with a limit of pieceLimit + 1 would return: at most
// pieceLimit bytes, ending after the first LF. A longer physical line arrives
// as several pieces; `endsLine` tells which piece is the last of its line, so
// the jobs can treat a line of any length as one line. NUL bytes are
// ordinary bytes: pieces are measured, never NUL-terminated.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "common/utf8.h"

struct LinePiece {
  const char* data;  // valid until the next read
  size_t length;
  bool startsLine;   // the first piece of a physical line
  bool endsLine;     // ends with LF, or is the file's last piece
  uint64_t offset;   // where the piece starts in the file
};

enum class ReadStatus { Piece, End, Error };

// Invariants: buffer[start, end) holds bytes read from the file and not yet
// handed out; capacity > pieceLimit, so a piece always fits after moving the
// unread bytes to the front; once atEof, no more bytes come from the file.
struct LineReader {
  FILE* file;
  char* buffer;
  size_t capacity;
  size_t pieceLimit;
  size_t start;
  size_t end;
  uint64_t position;  // file offset of buffer[start]
  bool atEof;
  bool failed;
  bool midLine;  // the last piece did not end its line
  Utf8Scan* scan;  // when set, sees every byte read, in whole blocks
};

// Starts reading file with the given buffer; pieceLimit must be less than
// capacity.
void StartReading(LineReader* reader, FILE* file, char* buffer, size_t capacity,
                  size_t pieceLimit);

// Hands out the next piece. End at the end of the file, Error when a read
// fails (then every later call answers Error too).
ReadStatus ReadPiece(LineReader* reader, LinePiece* piece);
