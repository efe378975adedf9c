// make_document OUT MEGABYTES[k] crlf|lf: writes a Markdown document of about
// MEGABYTES MiB (KiB with "k") that looks like a real long manual: headings
// of four levels, paragraphs of varied length, lists, a "[TOC]" line, and a
// page break every few dozen lines. The same arguments always give the same bytes.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

uint64_t state = 0x9E3779B97F4A7C15u;

uint32_t Next(uint32_t bound) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<uint32_t>(state % bound);
}

const char* const kWords[] = {
    "the",      "page",    "number",  "document", "printer",  "section", "table",    "of",
    "contents", "and",     "a",       "to",       "is",       "in",      "with",     "each",
    "line",     "after",   "before",  "heading",  "text",     "file",    "backup",   "which",
    "shows",    "total",   "format",  "colour",   "size",     "font",    "header",   "break",
    "when",     "that",    "this",    "chapter",  "example",  "reader",  "export",   "editor",
    "Markdown", "HTML",    "right",   "centre",   "first",    "last",    "optional", "skipped",
    "numbers",  "counted", "written", "removed",  "restored", "job",     "settings", "window",
};
constexpr uint32_t kWordCount = sizeof kWords / sizeof kWords[0];

char line[8192];
size_t used;

void Add(const char* text) {
  size_t length = strlen(text);
  memcpy(line + used, text, length);
  used += length;
}

void Sentence() {
  uint32_t words = 4 + Next(16);
  for (uint32_t k = 0; k < words; ++k) {
    const char* word = kWords[Next(kWordCount)];
    if (k == 0) {
      line[used++] = static_cast<char>(word[0] >= 'a' && word[0] <= 'z' ? word[0] - 32 : word[0]);
      Add(word + 1);
    } else {
      line[used++] = ' ';
      Add(word);
    }
  }
  Add(Next(8) == 0 ? "; " : ". ");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: make_document OUT MEGABYTES[k] crlf|lf\n");
    return 2;
  }
  FILE* out = fopen(argv[1], "wb");
  if (out == nullptr) {
    perror(argv[1]);
    return 1;
  }
  static char buffer[1 << 20];
  setvbuf(out, buffer, _IOFBF, sizeof buffer);
  // "200" is 200 MiB, "200k" 200 KiB.
  char* unit = nullptr;
  const uint64_t amount = strtoull(argv[2], &unit, 10);
  const uint64_t target = amount << (unit != nullptr && *unit == 'k' ? 10 : 20);
  const char* eol = strcmp(argv[3], "lf") == 0 ? "\n" : "\r\n";
  uint64_t written = 0;
  uint32_t chapter = 0;
  uint32_t section = 0;

  auto emit = [&](const char* text) {
    fputs(text, out);
    fputs(eol, out);
    written += strlen(text) + strlen(eol);
  };

  emit("# Foliostamp benchmark manual");
  emit("");
  emit("[TOC]");
  emit("");
  while (written < target) {
    uint32_t pageLines = 30 + Next(40);
    for (uint32_t n = 0; n < pageLines && written < target;) {
      used = 0;
      uint32_t kind = Next(20);
      if (kind == 0) {
        snprintf(line, sizeof line, "## Chapter %u", ++chapter);
        used = strlen(line);
        section = 0;
      } else if (kind <= 2) {
        snprintf(line, sizeof line, "### Section %u.%u ", chapter, ++section);
        used = strlen(line);
        Sentence();
      } else if (kind == 3) {
        Add("#### ");
        Sentence();
      } else if (kind <= 6) {
        Add(Next(2) == 0 ? "- " : "1. ");
        Sentence();
      } else {
        uint32_t sentences = 1 + Next(Next(10) == 0 ? 12 : 5);
        for (uint32_t s = 0; s < sentences; ++s) Sentence();
      }
      while (used > 0 && line[used - 1] == ' ') --used;
      line[used] = '\0';
      emit(line);
      emit("");
      n += 2;
    }
    emit("<div style=\"page-break-after:always\"></div>");
    emit("");
  }
  if (fclose(out) != 0) {
    perror(argv[1]);
    return 1;
  }
  return 0;
}
