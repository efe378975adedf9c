#include "cli/cli_platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "common/wide_text_win.h"

namespace {

// Room for the converted command line: Windows limits it to 32767 UTF-16
// units, each at most three bytes of UTF-8.
constexpr size_t kArgumentBytes = 32768 * 3 + 8192;
constexpr int kMaxArguments = 8192;
char argumentBytes[kArgumentBytes];
char* arguments[kMaxArguments + 1];

constexpr size_t kChunk = 4096;
wchar_t wideChunk[kChunk + 1];
char lineChunk[kChunk * 2];

// Writes bytes as they are, or in a console as UTF-16.
void WriteOut(FILE* stream, const char* data, size_t length) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    fwrite(data, 1, length, stream);
    return;
  }
  fflush(stream);
  int units = MultiByteToWideChar(CP_UTF8, 0, data, static_cast<int>(length), wideChunk, kChunk);
  DWORD written = 0;
  if (units > 0) WriteConsoleW(handle, wideChunk, static_cast<DWORD>(units), &written, nullptr);
}

}  // namespace

char** Utf8Arguments(int* argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count > kMaxArguments) return argv;
  size_t used = 0;
  for (int i = 0; i < count; ++i) {
    int got = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argumentBytes + used,
                                  static_cast<int>(kArgumentBytes - used), nullptr, nullptr);
    if (got <= 0) {
      LocalFree(wide);
      return argv;
    }
    arguments[i] = argumentBytes + used;
    used += static_cast<size_t>(got);
  }
  arguments[count] = nullptr;
  LocalFree(wide);
  *argc = count;
  return arguments;
}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

// The streams are binary, so "\n" becomes "\r\n" here. Chunks end only
// after a complete UTF-8 character, so none is split in a console.
void PrintUtf8(FILE* stream, const char* text) {
  size_t used = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    bool lead = (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
    if (lead && used + 8 > kChunk) {
      WriteOut(stream, lineChunk, used);
      used = 0;
    }
    if (*p == '\n') lineChunk[used++] = '\r';
    lineChunk[used++] = *p;
  }
  WriteOut(stream, lineChunk, used);
}
