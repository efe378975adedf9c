// Buffered writing to the Markdown file over one fixed buffer, with every
// failure remembered: a job must never report success over a short write.
#pragma once

#include <stddef.h>
#include <stdio.h>

struct LineWriter {
  FILE* file;
  char* buffer;
  size_t capacity;
  size_t used;
  bool failed;
  char lastByte;  // the last byte handed to WriteBytes, 0 before any
};

void StartWriting(LineWriter* writer, FILE* file, char* buffer, size_t capacity);

// Appends bytes; after a failure further writes are dropped.
void WriteBytes(LineWriter* writer, const char* data, size_t length);
void WriteText(LineWriter* writer, const char* text);

// Writes out what is buffered and closes the file. Returns false when any
// write, the flush or the close failed.
bool FinishWriting(LineWriter* writer);

// Closes the file and drops whatever was not yet written.
void AbandonWriting(LineWriter* writer);
