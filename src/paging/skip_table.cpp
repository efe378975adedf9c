#include "paging/skip_table.h"

#include <string.h>

#include "common/numbers.h"

void FillSkipTable(const char* text, int8_t table[kSkipTableSize]) {
  memset(table, 0, kSkipTableSize);
  const char* p = text;
  while (*p != '\0') {
    const char* after = p;
    int32_t number = ParseLeadingInt32(p, &after);
    if (after == p) {
      while (*p != '\0' && *p != ',' && *p != ' ') ++p;
    } else {
      if (number >= 1 && number < kSkipTableSize && table[number] < 127) ++table[number];
      p = after;
    }
    while (*p == ',' || *p == ' ') ++p;
  }
}

int32_t ReadTocPages(const char* text) {
  int32_t pages = ParseLeadingInt32(text, nullptr);
  return pages < 1 ? 1 : pages;
}
