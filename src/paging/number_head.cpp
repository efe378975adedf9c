// The number line's head: its texts checked, composed for a UTF-8 document
// and for one in the system code page, and chosen by the document's
// encoding.
#include <string.h>

#include "common/text_encoding.h"
#include "paging/job_parts.h"
#include "paging/result_texts.h"

namespace {

constexpr size_t kTextSize = 32000;  // what a text slot holds

NumberHead utf8Head;
NumberHead codePageHead;
char codePageTexts[3][kTextSize];

bool HasLineBreak(const char* text) { return strpbrk(text, "\r\n") != nullptr; }

const char* ColorText(const JobInput& input, const char* custom) {
  if (input.colorChoice == 0) return "black";
  if (input.colorChoice == 1) return "gray";
  return custom;
}

// The field is labelled "font size(%)", so a user may type "80%"; one '%'
// at the end is the head's own, not a second one.
int FontSizeLength(const char* font) {
  size_t length = strlen(font);
  if (length > 0 && font[length - 1] == '%') --length;
  return length < kTextSize ? static_cast<int>(length) : static_cast<int>(kTextSize);
}

void ComposeHead(const JobInput& in, const char* font, const char* color, const char* header,
                 NumberHead* head) {
  int length = snprintf(head->text, sizeof head->text, "%s%s%sfont-size: %.*s%%; color:%s\">%s%s",
                        kNumberDivHead, in.positionChoice == 0 ? " right" : " center", kNumberSpanHead,
                        FontSizeLength(font), font, ColorText(in, color), header,
                        header[0] != '\0' ? kHeaderSpaces : "");
  head->fits = length >= 0 && static_cast<size_t>(length) < sizeof head->text;
  head->length = head->fits ? static_cast<size_t>(length) : 0;
}

}  // namespace

// The texts a number line shows go into a UTF-8 document as they are and
// into any other in the system code page, so the head is composed both
// ways. A text the head cannot hold in either form is refused at once;
// one that only fits in the code page's (shorter) form, once the document
// turns out to be UTF-8.
bool PrepareTexts() {
  const JobInput& in = job.input;
  bool customColor = in.colorChoice != 0 && in.colorChoice != 1;
  if (HasLineBreak(in.headerText) || HasLineBreak(in.fontSizePercent) ||
      (customColor && HasLineBreak(in.customColor))) {
    SetResult(kLineBreak);
    return false;
  }
  ComposeHead(in, in.fontSizePercent, in.customColor, in.headerText, &utf8Head);
  const char* texts[3] = {in.fontSizePercent, in.customColor, in.headerText};
  for (int i = 0; i < 3; ++i) {
    // A text that is not UTF-8 after all goes in as it is.
    if (!Utf8ToSystemCodePage(texts[i], codePageTexts[i], kTextSize, nullptr)) {
      snprintf(codePageTexts[i], kTextSize, "%s", texts[i]);
    }
  }
  ComposeHead(in, codePageTexts[0], codePageTexts[1], codePageTexts[2], &codePageHead);
  if (!utf8Head.fits && !codePageHead.fits) {
    SetResult(kTextTooLong);
    return false;
  }
  return true;
}

bool SelectHead() {
  job.head = job.utf8 || SystemCodePageIsUtf8() ? &utf8Head : &codePageHead;
  if (job.head->fits) return true;
  SetResult(kTextTooLong);
  return false;
}

bool HeadsAgree() {
  return utf8Head.fits && codePageHead.fits && utf8Head.length == codePageHead.length &&
         memcmp(utf8Head.text, codePageHead.text, utf8Head.length) == 0;
}

const NumberHead* Utf8Head() { return &utf8Head; }
