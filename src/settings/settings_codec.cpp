#include "settings/settings_codec.h"

#include <stdio.h>
#include <string.h>

#include "common/numbers.h"
#include "common/store.h"

namespace {

constexpr char kStoredLf = 7;
constexpr char kStoredCr = 11;

// One physical line: room for a whole slot (31999 bytes) and its CR LF, so a
// text of any length a slot can hold comes back whole.
char lineBuffer[kTextSlotSize + 2];

enum class LineRead { Line, End };

// Reads one physical line into lineBuffer without its line end (LF, or CR LF)
// and NUL-terminates it. Bytes beyond what a slot can hold are read and
// dropped so that the next call starts at the next line.
LineRead ReadLine(FILE* file, size_t* length) {
  size_t used = 0;
  int c = getc(file);
  if (c == EOF) return LineRead::End;
  while (c != EOF && c != '\n') {
    if (used < sizeof lineBuffer - 1) lineBuffer[used++] = static_cast<char>(c);
    c = getc(file);
  }
  if (c == '\n' && used > 0 && lineBuffer[used - 1] == '\r') --used;
  if (used > kTextSlotSize - 1) used = kTextSlotSize - 1;
  lineBuffer[used] = '\0';
  *length = used;
  return LineRead::Line;
}

void StoreText(int slot, size_t length) {
  char* text = TextSlots[slot];
  for (size_t i = 0; i < length; ++i) {
    char c = lineBuffer[i];
    text[i] = c == kStoredLf ? '\n' : c == kStoredCr ? '\r' : c;
  }
  text[length] = '\0';
}

void NormalizeLanguage() {
  if (Settings[kLanguage] > 1 || Settings[kLanguage] < 0) Settings[kLanguage] = 0;
}

void ReadBlocks(FILE* file) {
  size_t length = 0;
  if (ReadLine(file, &length) == LineRead::End) return;
  int count = SettingsLineValue(lineBuffer);
  for (int i = 0; i < count; ++i) {
    if (ReadLine(file, &length) == LineRead::End) return;
    if (i < kSettingsCount) Settings[i] = SettingsLineValue(lineBuffer);
  }
  if (ReadLine(file, &length) == LineRead::End) return;
  count = SettingsLineValue(lineBuffer);
  for (int i = 0; i < count; ++i) {
    if (ReadLine(file, &length) == LineRead::End) return;
    if (i < kTextSlotCount) StoreText(i, length);
  }
}

bool WriteText(FILE* file, const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    char c = *p == '\n' ? kStoredLf : *p == '\r' ? kStoredCr : *p;
    if (putc(c, file) == EOF) return false;
  }
  return fputs("\r\n", file) != EOF;
}

}  // namespace

int SettingsLineValue(const char* line) {
  return ParseLeadingInt32(line, nullptr);
}

bool ReadSettingsFile(const char* path) {
  // Binary, with CR LF and LF both taken as a line end: the same lines on
  // every platform, and no text-mode surprises from stray bytes.
  FILE* file = fopen(path, "rb");
  if (file != nullptr) {
    ReadBlocks(file);
    fclose(file);
  }
  NormalizeLanguage();
  return file != nullptr;
}

bool WriteSettingsFile(const char* path) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool ok = fprintf(file, "%d\r\n", kSettingsCount) > 0;
  for (int i = 0; i < kSettingsCount && ok; ++i) ok = fprintf(file, "%d\r\n", Settings[i]) > 0;
  ok = ok && fprintf(file, "%d\r\n", kTextSlotCount) > 0;
  for (int i = 0; i < kTextSlotCount && ok; ++i) ok = WriteText(file, TextSlots[i]);
  if (fclose(file) != 0) ok = false;
  return ok;
}
