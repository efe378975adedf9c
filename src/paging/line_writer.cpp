#include "paging/line_writer.h"

#include <string.h>

namespace {

void Flush(LineWriter* w) {
  if (w->used > 0 && !w->failed && !w->sink.write(w->sink.context, w->buffer, w->used)) {
    w->failed = true;
  }
  w->used = 0;
}

bool WriteToFile(void* context, const char* data, size_t length) {
  return fwrite(data, 1, length, static_cast<FILE*>(context)) == length;
}

}  // namespace

ByteSink FileSink(FILE* file) {
  ByteSink sink = {WriteToFile, nullptr, file};
  return sink;
}

void StartWriting(LineWriter* writer, ByteSink sink, char* buffer, size_t capacity) {
  writer->sink = sink;
  writer->buffer = buffer;
  writer->capacity = capacity;
  writer->used = 0;
  writer->written = 0;
  writer->failed = false;
  writer->lastByte = 0;
}

void WriteBytes(LineWriter* w, const char* data, size_t length) {
  if (w->failed || length == 0) return;
  w->lastByte = data[length - 1];
  w->written += length;
  if (length > w->capacity - w->used) {
    Flush(w);
    // Large blocks go straight to the sink instead of through the buffer.
    if (length >= w->capacity) {
      if (!w->failed && !w->sink.write(w->sink.context, data, length)) w->failed = true;
      return;
    }
  }
  memcpy(w->buffer + w->used, data, length);
  w->used += length;
}

void WriteText(LineWriter* w, const char* text) {
  WriteBytes(w, text, strlen(text));
}

void WritePieceToSink(LineWriter* w, const LinePiece& piece) {
  if (w->failed || piece.length == 0) return;
  Flush(w);
  uint64_t at = w->written;
  w->lastByte = piece.data[piece.length - 1];
  w->written += piece.length;
  if (!w->failed && !w->sink.copy(w->sink.context, piece.data, piece.length, piece.offset, at)) {
    w->failed = true;
  }
}

bool FlushWriting(LineWriter* w) {
  Flush(w);
  return !w->failed;
}
