#include "commands/report_box.h"

#include <string.h>

#include "common/utf8_text.h"

namespace {

const char kMore[] = "\n\xE2\x80\xA6";  // a line "…"

}  // namespace

void BoxReportText(const char* report, char* out, size_t outSize) {
  if (outSize == 0) return;
  size_t used = 0;
  int lines = 1;
  bool cut = false;
  for (const char* p = report; *p != '\0'; ++p) {
    if (*p == '\r' && p[1] == '\n') continue;
    if (*p == '\n') {
      if (p[1] == '\0') break;  // the report's own last line end
      if (lines == kBoxReportLines) {
        cut = true;
        break;
      }
      ++lines;
    }
    if (used + 1 >= outSize) {
      // Full: the cut moves back to the start of the character it splits.
      if (IsUtf8ContinuationByte(*p)) {
        while (used > 0 && IsUtf8ContinuationByte(out[--used])) {
        }
      }
      break;
    }
    out[used++] = *p;
  }
  if (cut && used + sizeof kMore <= outSize) {
    memcpy(out + used, kMore, sizeof kMore - 1);
    used += sizeof kMore - 1;
  }
  out[used] = '\0';
}
