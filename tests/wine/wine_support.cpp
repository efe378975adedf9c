#include "wine_support.h"

#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/main_win.h"
#include "commands/commands_win.h"
#include "common/file_open.h"
#include "common/store.h"
#include "form/form_win.h"
#include "settings/settings_codec.h"
#include "settings/settings_path.h"

std::wstring Wide(const std::string& utf8) {
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(wide.size() - 1);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? length : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], static_cast<int>(utf8.size()),
                      nullptr, nullptr);
  utf8.resize(utf8.size() - 1);
  return utf8;
}

std::string InCodePage(unsigned codePage, const std::string& utf8) {
  std::wstring wide = Wide(utf8);
  int length = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(length > 0 ? length : 1, '\0');
  WideCharToMultiByte(codePage, 0, wide.c_str(), -1, &bytes[0], static_cast<int>(bytes.size()),
                      nullptr, nullptr);
  bytes.resize(bytes.size() - 1);
  return bytes;
}

bool SamePath(const std::string& a, const std::string& b) {
  return lstrcmpiW(Wide(a).c_str(), Wide(b).c_str()) == 0;
}

int32_t FirstStartLanguage() {
  return GetACP() == 932 ? 0 : 1;
}

std::string MakeTempFolder() {
  static int counter = 0;
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  char folder[MAX_PATH];
  for (;;) {
    snprintf(folder, sizeof folder, "%sfoliostamp-test-%lu-%d", base, GetCurrentProcessId(),
             ++counter);
    if (CreateDirectoryA(folder, nullptr)) return folder;
  }
}

std::string LargeDocument(int* pages) {
  const char kBreak[] = "<div style=\"page-break-after:always;\"></div>\r\n";
  std::string text;
  text.reserve(24 << 20);
  int breaks = 0;
  for (int i = 0; i < 600000; ++i) {
    text += "A line of body text that is long enough to make the file big.\r\n";
    if (i % 200 == 199) {
      text += kBreak;
      ++breaks;
    }
  }
  text += "The last line.\r\n";
  *pages = breaks + 1;
  return text;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool WaitForJobEnd() {
  // A bound so that a lost completion fails the test instead of hanging it.
  for (int i = 0; i < 1200 && JobThread != nullptr; ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    PumpMessages();
  }
  return JobThread == nullptr;
}

void Click(int row) {
  SendMessageA(ControlHandles[row], BM_CLICK, 0, 0);
}

std::string WindowText(HWND window) {
  wchar_t text[1024];
  int length = GetWindowTextW(window, text, 1024);
  return Utf8(std::wstring(text, length > 0 ? length : 0));
}

BoxAnswerer::BoxAnswerer(const char* title, int button) : title_(title), button_(button) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer() {
  Join();
}

bool BoxAnswerer::Join() {
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return answered_;
}

DWORD WINAPI BoxAnswerer::Run(void* self) {
  BoxAnswerer* answerer = static_cast<BoxAnswerer*>(self);
  for (int i = 0; i < 500; ++i) {
    HWND box = FindWindowA("#32770", answerer->title_.c_str());
    if (box != nullptr && IsWindowVisible(box)) {
      // The message text of a message box is its static control 0xFFFF.
      wchar_t text[1024] = L"";
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      answerer->text_ = Utf8(text);
      answerer->answered_ = true;
      if (answerer->button_ == kEnter) {
        PostMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(box, WM_KEYUP, VK_RETURN, 0xC0000001);
        return 0;
      }
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(answerer->button_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, answerer->button_)));
      return 0;
    }
    Sleep(20);
  }
  return 0;
}

BoxWatcher::BoxWatcher(const char* title, int button) : title_(title), button_(button) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BoxWatcher::~BoxWatcher() {
  Stop();
}

int BoxWatcher::Stop() {
  if (thread_ != nullptr) {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return answered_;
}

DWORD WINAPI BoxWatcher::Run(void* self) {
  BoxWatcher* watcher = static_cast<BoxWatcher*>(self);
  while (!watcher->stop_) {
    HWND box = FindWindowA("#32770", watcher->title_.c_str());
    if (box != nullptr && IsWindowVisible(box)) {
      watcher->answered_ = watcher->answered_ + 1;
      SendMessageA(box, WM_COMMAND, MAKEWPARAM(watcher->button_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, watcher->button_)));
    }
    Sleep(20);
  }
  return 0;
}

void DropFiles(HWND window, const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Wide(path) + L'\0';
  names += L'\0';
  size_t size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
         names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

std::string FullPath(const std::string& path) {
  wchar_t full[MAX_PATH * 4];
  DWORD length = GetFullPathNameW(Wide(path).c_str(), MAX_PATH * 4, full, nullptr);
  return Utf8(std::wstring(full, length < MAX_PATH * 4 ? length : 0));
}

namespace {

// Before main: the tests change the current directory later.
const std::string testPdfFolder = [] {
  const char* folder = getenv("FOLIOSTAMP_TEST_PDFS");
  return folder != nullptr ? FullPath(folder) : std::string();
}();

}  // namespace

std::string TestPdfs() {
  EXPECT_TRUE(!testPdfFolder.empty() && FileExists(testPdfFolder + "\\spill-fixed.pdf"))
      << "no test PDFs in '" << testPdfFolder
      << "': run scripts/make-test-pdfs.sh (scripts/test.sh does)";
  return testPdfFolder;
}

void WindowTest::SetUp() {
  static bool registered = RegisterMainWindowClass(GetModuleHandleA(nullptr));
  ASSERT_TRUE(registered);
  char current[MAX_PATH];
  GetCurrentDirectoryA(sizeof current, current);
  previousDirectory_ = current;
  folder_ = MakeTempFolder();
  SetCurrentDirectoryA(folder_.c_str());
  ResetStores();
  for (HWND& control : ControlHandles) control = nullptr;
  ScrollOrigin = {0, 0};
  SettingsPath[0] = '\0';
  JobThread = nullptr;
}

void WindowTest::TearDown() {
  CloseWindow();
  SetCurrentDirectoryA(previousDirectory_.c_str());
}

void WindowTest::PrepareSettings() {
  ASSERT_TRUE(WriteSettingsFile(SettingsFile().c_str()));
  ResetStores();
}

void WindowTest::OpenWindow() {
  window_ = CreateMainWindow(GetModuleHandleA(nullptr));
  ASSERT_NE(window_, nullptr);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  PumpMessages();
}

int WindowTest::CloseWindow() {
  if (window_ == nullptr) return -1;
  DestroyWindow(window_);
  window_ = nullptr;
  int exitCode = -1;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      exitCode = static_cast<int>(message.wParam);
      continue;
    }
    DispatchMessageW(&message);
  }
  return exitCode;
}

void WindowTest::SetClientCells(int cols, int rows) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    RECT client;
    GetClientRect(window_, &client);
    RECT outer;
    GetWindowRect(window_, &outer);
    int wantWidth = cols * CellMetrics.width + 3;
    int wantHeight = rows * CellMetrics.height + 3;
    SetWindowPos(window_, nullptr, 0, 0, (outer.right - outer.left) + wantWidth - client.right,
                 (outer.bottom - outer.top) + wantHeight - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages();
  }
}

void WindowTest::RestartWindow() {
  EXPECT_EQ(CloseWindow(), 0);
  ResetStores();
  SetCurrentDirectoryA(folder_.c_str());
  OpenWindow();
}

std::string ProgramPath(const char* name) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

namespace {

struct ThreadWindowSearch {
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM context) {
  char className[64];
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "Foliostamp") != 0) return TRUE;
  reinterpret_cast<ThreadWindowSearch*>(context)->found = window;
  return FALSE;
}

}  // namespace

ChildProgram::ChildProgram(const std::string& folder, const std::string& arguments) {
  std::wstring program = Wide(ProgramPath());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + Wide(arguments);
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      Wide(folder).c_str(), &startup, &process_)) {
    return;
  }
  WaitForInputIdle(process_.hProcess, 10000);
  for (int i = 0; i < 500 && window_ == nullptr; ++i) {
    ThreadWindowSearch search = {nullptr};
    EnumThreadWindows(process_.dwThreadId, FindMainWindow, reinterpret_cast<LPARAM>(&search));
    window_ = search.found;
    if (window_ == nullptr) Sleep(20);
  }
}

ChildProgram::~ChildProgram() {
  if (process_.hProcess == nullptr) return;
  if (Running()) TerminateProcess(process_.hProcess, 1);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
}

int ChildProgram::WaitForExit(DWORD milliseconds) {
  if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

bool ChildProgram::Running() const {
  return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}
