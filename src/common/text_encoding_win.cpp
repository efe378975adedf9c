#include "common/text_encoding.h"

#include "common/wide_text_win.h"

namespace {

// Room for the longest text a slot holds, in UTF-16.
constexpr int kWideScratch = 32000;
wchar_t wideScratch[kWideScratch];

bool Fail(char* out, size_t outSize) {
  if (outSize > 0) out[0] = '\0';
  return false;
}

int Clamp(size_t size) { return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size); }

}  // namespace

bool CodePageToWide(unsigned codePage, const char* text, wchar_t* out, size_t outCount) {
  int got = MultiByteToWideChar(codePage, 0, text, -1, out, Clamp(outCount));
  if (got <= 0) {
    if (outCount > 0) out[0] = L'\0';
    return false;
  }
  return true;
}

bool Utf8ToWide(const char* text, wchar_t* out, size_t outCount) {
  int got = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, Clamp(outCount));
  if (got <= 0) {
    if (outCount > 0) out[0] = L'\0';
    return false;
  }
  return true;
}

bool WideToUtf8(const wchar_t* text, char* out, size_t outSize) {
  int got = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, Clamp(outSize), nullptr, nullptr);
  return got > 0 || Fail(out, outSize);
}

// Both conversions go through one static UTF-16 buffer: they run on one
// thread at a time (a job's, or the window's while no job runs).
bool SystemCodePageToUtf8(const char* text, char* out, size_t outSize) {
  if (!CodePageToWide(CP_ACP, text, wideScratch, kWideScratch)) return Fail(out, outSize);
  return WideToUtf8(wideScratch, out, outSize);
}

bool Utf8ToSystemCodePage(const char* text, char* out, size_t outSize, bool* exact) {
  if (exact != nullptr) *exact = false;
  if (!Utf8ToWide(text, wideScratch, kWideScratch)) return Fail(out, outSize);
  BOOL usedDefault = FALSE;
  // CP_UTF7 and CP_UTF8 refuse the default-character arguments.
  bool unicodePage = GetACP() == CP_UTF8;
  int got = WideCharToMultiByte(CP_ACP, unicodePage ? 0 : WC_NO_BEST_FIT_CHARS, wideScratch, -1, out,
                                Clamp(outSize), nullptr, unicodePage ? nullptr : &usedDefault);
  if (got <= 0) return Fail(out, outSize);
  if (exact != nullptr) *exact = !usedDefault;
  return true;
}

bool SystemCodePageIsUtf8() { return GetACP() == CP_UTF8; }
