#include "settings/settings_codec.h"

#include <stdio.h>
#include <string.h>

#include "common/file_open.h"
#include "common/numbers.h"
#include "common/store.h"
#include "common/text_encoding.h"
#include "common/utf8_text.h"
#include "paging/file_ops.h"

const SettingsTextConversions kSystemCodePageTexts = {SystemCodePageToUtf8, Utf8ToSystemCodePage};

namespace {

Replacement settingsReplacement;
char settingsBuffer[1 << 16];

constexpr char kStoredLf = 7;
constexpr char kStoredCr = 11;

// One physical line: room for the UTF-8 mark, a whole slot (31999 bytes)
// and its CR LF, so a text of any length a slot can hold comes back whole.
char lineBuffer[kUtf8MarkLength + kTextSlotSize + 2];

// A text converted on its way in or out. A code page byte becomes at most
// three UTF-8 bytes, and a UTF-8 text is never longer in a code page.
char textBuffer[3 * kTextSlotSize];

enum class LineRead { Line, End };

// Reads one physical line into lineBuffer without its line end (LF, or CR LF)
// and NUL-terminates it. Bytes beyond the buffer are read and dropped so
// that the next call starts at the next line.
LineRead ReadLine(FILE* file, size_t* length) {
  size_t used = 0;
  int c = getc(file);
  if (c == EOF) return LineRead::End;
  while (c != EOF && c != '\n') {
    if (used < sizeof lineBuffer - 1) lineBuffer[used++] = static_cast<char>(c);
    c = getc(file);
  }
  if (c == '\n' && used > 0 && lineBuffer[used - 1] == '\r') --used;
  lineBuffer[used] = '\0';
  *length = used;
  return LineRead::Line;
}

bool StartsWithMark(const char* text) {
  // Compared byte by byte: a shorter text ends at its NUL, which differs.
  for (size_t i = 0; i < kUtf8MarkLength; ++i) {
    if (text[i] != kUtf8Mark[i]) return false;
  }
  return true;
}

// The line's text as UTF-8, cut to what a slot holds at a character boundary.
void StoreText(int slot, size_t length, const SettingsTextConversions& texts) {
  for (size_t i = 0; i < length; ++i) {
    char c = lineBuffer[i];
    lineBuffer[i] = c == kStoredLf ? '\n' : c == kStoredCr ? '\r' : c;
  }
  const char* text = lineBuffer;
  if (StartsWithMark(lineBuffer)) {
    text += kUtf8MarkLength;
    length -= kUtf8MarkLength;
  } else if (!IsAsciiText(lineBuffer)) {
    // An overlong hand-edited line keeps what a slot could have held.
    if (length > kTextSlotSize - 1) lineBuffer[kTextSlotSize - 1] = '\0';
    if (!texts.toUtf8(lineBuffer, textBuffer, sizeof textBuffer)) textBuffer[0] = '\0';
    text = textBuffer;
    length = strlen(textBuffer);
  }
  length = Utf8PrefixLength(text, length, kTextSlotSize - 1);
  memcpy(TextSlots[slot], text, length);
  TextSlots[slot][length] = '\0';
}

void NormalizeLanguage() {
  if (Settings[kLanguage] > 1 || Settings[kLanguage] < 0) Settings[kLanguage] = 0;
}

void ReadBlocks(FILE* file, const SettingsTextConversions& texts) {
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
    if (i < kTextSlotCount) StoreText(i, length, texts);
  }
}

// ASCII, and texts the code page holds exactly, are written in the code
// page; anything else after the mark, in UTF-8. So is a code page form that
// would itself begin with the mark's bytes, which the reader would mistake.
const char* StoredForm(const char* text, const SettingsTextConversions& texts, bool* marked) {
  *marked = false;
  if (IsAsciiText(text)) return text;
  bool exact = false;
  if (texts.fromUtf8(text, textBuffer, sizeof textBuffer, &exact) && exact &&
      !StartsWithMark(textBuffer)) {
    return textBuffer;
  }
  *marked = true;
  return text;
}

bool WriteText(FILE* file, const char* text, const SettingsTextConversions& texts) {
  bool marked = false;
  const char* stored = StoredForm(text, texts, &marked);
  if (marked && fputs(kUtf8Mark, file) == EOF) return false;
  for (const char* p = stored; *p != '\0'; ++p) {
    char c = *p == '\n' ? kStoredLf : *p == '\r' ? kStoredCr : *p;
    if (putc(c, file) == EOF) return false;
  }
  return fputs("\r\n", file) != EOF;
}

}  // namespace

int SettingsLineValue(const char* line) {
  return ParseLeadingInt32(line, nullptr);
}

bool ReadSettingsFile(const char* path, const SettingsTextConversions& texts) {
  // Binary, with CR LF and LF both taken as a line end: the same lines on
  // every platform, and no text-mode surprises from stray bytes.
  FILE* file = OpenFileUtf8(path, "rb");
  if (file != nullptr) {
    ReadBlocks(file, texts);
    fclose(file);
  }
  NormalizeLanguage();
  return file != nullptr;
}

// The file is replaced as the jobs replace documents: a crash while the
// window closes leaves the old settings or the new ones, never half.
bool WriteSettingsFile(const char* path, const SettingsTextConversions& texts) {
  if (BeginReplacement(path, ReplaceWay::Rename, &settingsReplacement) != FileProblem::None) return false;
  FILE* file = settingsReplacement.stream;
  setvbuf(file, settingsBuffer, _IOFBF, sizeof settingsBuffer);
  bool ok = fprintf(file, "%d\r\n", kSettingsCount) > 0;
  for (int i = 0; i < kSettingsCount && ok; ++i) ok = fprintf(file, "%d\r\n", Settings[i]) > 0;
  ok = ok && fprintf(file, "%d\r\n", kTextSlotCount) > 0;
  for (int i = 0; i < kTextSlotCount && ok; ++i) ok = WriteText(file, TextSlots[i], texts);
  if (!ok) {
    AbandonReplacement(&settingsReplacement);
    return false;
  }
  return FinishReplacement(&settingsReplacement);
}
