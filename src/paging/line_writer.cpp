#include "paging/line_writer.h"

#include <string.h>

#include "paging/file_ops.h"

namespace {

void Flush(LineWriter* w) {
  if (w->used > 0 && !w->failed && fwrite(w->buffer, 1, w->used, w->file) != w->used) {
    w->failed = true;
  }
  w->used = 0;
}

}  // namespace

void StartWriting(LineWriter* writer, FILE* file, char* buffer, size_t capacity) {
  writer->file = file;
  writer->buffer = buffer;
  writer->capacity = capacity;
  writer->used = 0;
  writer->failed = false;
  writer->lastByte = 0;
}

void WriteBytes(LineWriter* w, const char* data, size_t length) {
  if (w->failed || length == 0) return;
  w->lastByte = data[length - 1];
  if (length > w->capacity - w->used) {
    Flush(w);
    // Large blocks go straight to the file instead of through the buffer.
    if (length >= w->capacity) {
      if (!w->failed && fwrite(data, 1, length, w->file) != length) w->failed = true;
      return;
    }
  }
  memcpy(w->buffer + w->used, data, length);
  w->used += length;
}

void WriteText(LineWriter* w, const char* text) {
  WriteBytes(w, text, strlen(text));
}

bool FinishWriting(LineWriter* w) {
  Flush(w);
  if (!CloseWrittenFile(w->file)) w->failed = true;
  w->file = nullptr;
  return !w->failed;
}

void AbandonWriting(LineWriter* w) {
  w->used = 0;
  if (w->file != nullptr) fclose(w->file);
  w->file = nullptr;
}
