// Driving the real main window from the tests: a fresh window over fresh
// stores in a temp folder, clicks, message pumping, answering message boxes,
// and starting the real program as a child process.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "test_files.h"

// UTF-16 of a UTF-8 text and back, converted by the platform.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// Bytes of a text in the given code page, converted by the platform.
std::string InCodePage(unsigned codePage, const std::string& utf8);

// Whether two UTF-8 paths name the same file, case ignored as Windows does.
bool SamePath(const std::string& a, const std::string& b);

// The Language a first start picks on this prefix: the 932 prefix has a
// Japanese user interface (0), the 1252 one an English one (1).
int32_t FirstStartLanguage();

// A new empty folder under the temp folder; returns its path without a
// trailing backslash.
std::string MakeTempFolder();

// Tens of megabytes of CR LF text with a page break every 200 lines, no
// blank lines of its own and "The last line." at its end, so that a job
// runs long enough to be watched. *pages is the page total a job reports.
std::string LargeDocument(int* pages);

// Handles every message waiting for this thread.
void PumpMessages();

// Pumps messages until the running job has been finished on this thread.
// Returns false if it has not ended after a generous wait.
bool WaitForJobEnd();

// Presses a form control as a mouse click would.
void Click(int row);

// A window's text, read through the wide function, as UTF-8.
std::string WindowText(HWND window);

// Finds a message box (or dialog) with the given title from a helper thread,
// keeps its text, and presses the given button, or with kEnter the Enter key
// as the user would, which presses the box's default button.
class BoxAnswerer {
 public:
  static constexpr int kEnter = 0;
  BoxAnswerer(const char* title, int button);
  ~BoxAnswerer();
  // Waits for the helper; true when it found and answered the box.
  bool Join();
  const std::string& text() const { return text_; }

 private:
  static DWORD WINAPI Run(void* self);
  std::string title_;
  int button_;
  std::string text_;
  bool answered_ = false;
  HANDLE thread_ = nullptr;
};

// Answers every box with the given title with the given button for as long
// as it lives, so that a box that should not appear cannot hang the test.
class BoxWatcher {
 public:
  BoxWatcher(const char* title, int button);
  ~BoxWatcher();
  // Stops watching; the number of boxes it answered.
  int Stop();

 private:
  static DWORD WINAPI Run(void* self);
  std::string title_;
  int button_;
  volatile bool stop_ = false;
  volatile int answered_ = 0;
  HANDLE thread_ = nullptr;
};

// Drops files on a window as the shell does (WM_DROPFILES with an HDROP the
// window frees), sent so it is handled before this returns.
void DropFiles(HWND window, const std::vector<std::string>& paths);

// The full path of a path, taken against the current directory now.
std::string FullPath(const std::string& path);

// A fresh program state and a fresh main window in its own temp folder.
// A settings file may be placed there before the window is opened.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the stores as they are now to the settings file in the temp
  // folder and resets them, so that the window opened next loads them.
  void PrepareSettings();
  // Creates and shows the main window in the temp folder.
  void OpenWindow();
  // Destroys it (saving settings as the program does) and drains the queue.
  // Returns the exit code the quit message carried, or -1 without one.
  int CloseWindow();
  // Gives the window a client area of the given number of whole cells (plus
  // a few pixels), with the scroll bars the platform then shows.
  void SetClientCells(int cols, int rows);
  // Closes the window and opens a new one over fresh stores, as the program
  // started again in the temp folder would (the file dialog may have
  // changed the current directory meanwhile).
  void RestartWindow();

  std::string Path(const char* name) const { return folder_ + "\\" + name; }
  std::string SettingsFile() const { return Path("Foliostamp.ini"); }

  std::string folder_;
  std::string previousDirectory_;
  HWND window_ = nullptr;
};

// Foliostamp.exe beside the tests, or another program there.
std::string ProgramPath(const char* name = "Foliostamp.exe");

// The folder of the PDFs that scripts/make-test-pdfs.sh makes, as a full
// path, taken before any test changes the current directory.
std::string TestPdfs();

// The real Foliostamp.exe, started in a folder as a user would.
class ChildProgram {
 public:
  // arguments: the command line after the program's name, as typed.
  explicit ChildProgram(const std::string& folder, const std::string& arguments = "");
  ~ChildProgram();
  bool started() const { return window_ != nullptr; }
  HWND window() const { return window_; }
  HWND Control(int row) const { return GetDlgItem(window_, row); }
  // Waits for the program to end; returns its exit code, or -1 if it did not.
  int WaitForExit(DWORD milliseconds);
  bool Running() const;

 private:
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};
