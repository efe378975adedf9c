// Buffered writing of a job's new text over one fixed buffer, with every
// failure remembered: a job must never report success over a short write.
// The bytes go to a sink: a file, or a comparison with the source when the
// job only checks whether it would change anything.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "paging/line_reader.h"

struct ByteSink {
  // Takes bytes in order; false ends the writing (a failed write, or a
  // difference found).
  bool (*write)(void* context, const char* data, size_t length);
  // May be null. Takes bytes that are the source's own bytes from
  // sourceOffset on, written at output offset outputOffset; a sink that
  // compares with the source knows them equal when the offsets are.
  bool (*copy)(void* context, const char* data, size_t length, uint64_t sourceOffset,
               uint64_t outputOffset);
  void* context;
};

struct LineWriter {
  ByteSink sink;
  char* buffer;
  size_t capacity;
  size_t used;
  uint64_t written;  // bytes handed to the writer so far
  bool failed;
  char lastByte;  // the last byte handed to the writer, 0 before any
};

void StartWriting(LineWriter* writer, ByteSink sink, char* buffer, size_t capacity);

// A sink that writes to an open file.
ByteSink FileSink(FILE* file);

// Appends bytes; after a failure further writes are dropped.
void WriteBytes(LineWriter* writer, const char* data, size_t length);
void WriteText(LineWriter* writer, const char* text);
// Appends a piece of the source unchanged.
void WritePieceToSink(LineWriter* writer, const LinePiece& piece);
inline void WritePiece(LineWriter* writer, const LinePiece& piece) {
  if (writer->sink.copy == nullptr) {
    WriteBytes(writer, piece.data, piece.length);
  } else {
    WritePieceToSink(writer, piece);
  }
}

// Hands on what is buffered. Returns false when any write failed.
bool FlushWriting(LineWriter* writer);
