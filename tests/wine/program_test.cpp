#include <gtest/gtest.h>

#include <string>

#include "common/store.h"
#include "form/layout_table.h"
#include "settings/settings_codec.h"
#include "wine_support.h"

namespace {

// The real program in its own process, started in a fresh folder.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = MakeTempFolder(); }
  std::string Path(const char* name) const { return folder_ + "\\" + name; }
  std::string SettingsText() const { return ReadFileBytes(Path("Foliostamp.ini")); }
  std::string folder_;
};

TEST_F(ProgramTest, ClosingByTheFrameSavesAndExitsWithZero) {
  ChildProgram program(folder_);
  ASSERT_TRUE(program.started());
  MoveWindow(program.window(), 50, 60, 500, 400, TRUE);
  PostMessageA(program.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(20000), 0);
  EXPECT_EQ(SettingsText().substr(0, 25), "20\r\n" + std::to_string(FirstStartLanguage()) +
                                               "\r\n50\r\n60\r\n550\r\n460\r\n");
}

// The program's manifest, as the loader finds it in Foliostamp.exe. Wine
// does not tell another process's DPI awareness, so the request is read.
TEST(ProgramManifest, AsInvokerSystemDpiAwareClassicControls) {
  HMODULE program = LoadLibraryExA(ProgramPath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(program, found)));
  std::string manifest(bytes, SizeofResource(program, found));
  FreeLibrary(program);
  auto has = [&](const char* text) { return manifest.find(text) != std::string::npos; };
  EXPECT_TRUE(has("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
  EXPECT_TRUE(has("<windowsSettings>"));
  EXPECT_TRUE(has("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"));
  EXPECT_TRUE(has("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">system</dpiAwareness>"));
  EXPECT_FALSE(has("Common-Controls"));
}

// The version resource both programs carry: the product, what the program
// is, and its version; no company. And the program's icon beside it.
TEST(ProgramResources, VersionAndIconInBothPrograms) {
  for (const char* name : {"Foliostamp.exe", "foliostamp-cli.exe"}) {
    SCOPED_TRACE(name);
    std::wstring path = Wide(ProgramPath(name));
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, &block[0]));
    auto value = [&](const char* key) -> std::string {
      std::wstring query = L"\\StringFileInfo\\040904B0\\" + Wide(key);
      wchar_t* text = nullptr;
      UINT length = 0;
      if (!VerQueryValueW(&block[0], query.c_str(), reinterpret_cast<void**>(&text), &length)) {
        return "(none)";
      }
      return Utf8(std::wstring(text, length > 0 ? length - 1 : 0));
    };
    EXPECT_EQ(value("ProductName"), "Foliostamp");
    EXPECT_EQ(value("FileVersion"), "1.10.0.0");
    EXPECT_EQ(value("OriginalFilename"), name);
    EXPECT_NE(value("FileDescription").find("page numbers for Markdown"), std::string::npos);
    EXPECT_EQ(value("CompanyName"), "(none)");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    ASSERT_TRUE(VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x0001000Au);  // 1.10
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);

    HMODULE program = LoadLibraryExW(path.c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    HICON icon = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) DestroyIcon(icon);
    FreeLibrary(program);
  }
}

// "Open with" and a drop on the program's icon: the files are the
// arguments, taken after the settings file as a drop takes them, as full
// paths. Another document forgets the saved PDF, unless one comes with it.
TEST_F(ProgramTest, AFileOnTheCommandLine) {
  ResetStores();
  SetTextSlot(kHeaderText, "Kept header");
  SetTextSlot(kMarkdownPath, "C:\\old\\book.md");
  SetTextSlot(kPdfPath, "C:\\old\\book.pdf");
  ASSERT_TRUE(WriteSettingsFile(Path("Foliostamp.ini").c_str()));
  CreateDirectoryA(Path("drafts").c_str(), nullptr);
  struct Case {
    std::string arguments;
    std::string markdownPath;
    std::string pdfPath;
  };
  const Case kCases[] = {
      {"drafts\\chapter.md", Path("drafts\\chapter.md"), ""},
      {"\"drafts\\Chapter one.PDF\"", Path("drafts\\chapter.md"), Path("drafts\\Chapter one.PDF")},
      {"", Path("drafts\\chapter.md"), Path("drafts\\Chapter one.PDF")},
      {"drafts\\chapter.md", Path("drafts\\chapter.md"), Path("drafts\\Chapter one.PDF")},
      {"book.pdf " + Path("日本語.md"), Path("日本語.md"), Path("book.pdf")},
      {"other.md book2.pdf", Path("other.md"), Path("book2.pdf")},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.arguments);
    {
      ChildProgram program(folder_, c.arguments);
      ASSERT_TRUE(program.started());
      PostMessageA(program.window(), WM_CLOSE, 0, 0);
      ASSERT_EQ(program.WaitForExit(20000), 0);
    }
    ResetStores();
    ASSERT_TRUE(ReadSettingsFile(Path("Foliostamp.ini").c_str()));
    EXPECT_EQ(std::string(TextSlots[kMarkdownPath]), c.markdownPath);
    EXPECT_EQ(std::string(TextSlots[kPdfPath]), c.pdfPath);
    EXPECT_STREQ(TextSlots[kHeaderText], "Kept header");
  }
}

TEST_F(ProgramTest, ExitButtonAsksFirst) {
  ChildProgram program(folder_);
  ASSERT_TRUE(program.started());
  {
    BoxAnswerer no("Exit", IDNO);
    PostMessageA(program.Control(kExitRow), BM_CLICK, 0, 0);
    ASSERT_TRUE(no.Join());
  }
  EXPECT_EQ(program.WaitForExit(500), -1);
  EXPECT_TRUE(program.Running());
  EXPECT_FALSE(FileExists(Path("Foliostamp.ini")));
  {
    BoxAnswerer yes("Exit", IDYES);
    PostMessageA(program.Control(kExitRow), BM_CLICK, 0, 0);
    ASSERT_TRUE(yes.Join());
  }
  EXPECT_EQ(program.WaitForExit(20000), 0);
  EXPECT_TRUE(FileExists(Path("Foliostamp.ini")));
}

// The numbered document is whole: without its page-number lines and the
// blank lines written before them (the document has no blank lines of its
// own) it is the original. Compared as booleans: a diff of two such files
// would take the test down.
void ExpectWholeNumberedFile(const std::string& numbered, const std::string& original, int pages) {
  ASSERT_GT(numbered.size(), original.size());
  EXPECT_EQ(numbered.substr(numbered.size() - 16), "The last line.\r\n");
  size_t numberLines = 0;
  std::string rest;
  rest.reserve(original.size());
  for (size_t start = 0; start < numbered.size();) {
    size_t end = numbered.find('\n', start);
    end = end == std::string::npos ? numbered.size() : end + 1;
    std::string line = numbered.substr(start, end - start);
    if (line.compare(0, 23, "<div style=\"text-align:") == 0) {
      ++numberLines;
    } else if (line != "\r\n") {
      rest += line;
    }
    start = end;
  }
  EXPECT_EQ(numberLines, static_cast<size_t>(pages - 1));
  EXPECT_TRUE(rest == original);
}

// A program started on a large document whose Execute job is running.
class LongJobTest : public ProgramTest {
 protected:
  void StartLongJob(ChildProgram& program) {
    HWND execute = program.Control(kExecuteRow);
    PostMessageW(execute, BM_CLICK, 0, 0);
    for (int i = 0; i < 500 && IsWindowEnabled(execute); ++i) Sleep(10);
    EXPECT_FALSE(IsWindowEnabled(execute));  // the job has started
  }
  void SetUp() override {
    ProgramTest::SetUp();
    original_ = LargeDocument(&pages_);
    WriteFileBytes(Path("long.md"), original_);
    ResetStores();
    SetTextSlot(kMarkdownPath, Path("long.md").c_str());
    ASSERT_TRUE(WriteSettingsFile(Path("Foliostamp.ini").c_str()));
  }
  void ExpectJobFinishedAndSaved() {
    EXPECT_TRUE(ReadFileBytes(Path("long.bak")) == original_);
    ExpectWholeNumberedFile(ReadFileBytes(Path("long.md")), original_, pages_);
    // The settings hold the finished job's result.
    std::string expected = "\r\nTotal " + std::to_string(pages_) + " pages.\r\n";
    EXPECT_NE(SettingsText().find(expected), std::string::npos);
  }
  std::string original_;
  int pages_ = 0;
};

TEST_F(LongJobTest, ClosingDuringAJobLeavesAWholeFile) {
  ChildProgram program(folder_);
  ASSERT_TRUE(program.started());
  StartLongJob(program);
  PostMessageW(program.window(), WM_CLOSE, 0, 0);
  ASSERT_EQ(program.WaitForExit(120000), 0);
  ExpectJobFinishedAndSaved();
}

TEST_F(LongJobTest, SessionEndWaitsForTheJobAndSaves) {
  ChildProgram program(folder_);
  ASSERT_TRUE(program.started());
  DWORD_PTR answer = 99;
  ASSERT_TRUE(SendMessageTimeoutW(program.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                  SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));  // no job: the session may end

  StartLongJob(program);
  answer = 99;
  ASSERT_TRUE(SendMessageTimeoutW(program.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                  SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(FALSE));
  EXPECT_TRUE(program.Running());
  // The session ends all the same: the job is finished before the answer.
  ASSERT_TRUE(SendMessageTimeoutW(program.window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                                  SMTO_NORMAL, 120000, &answer));
  ExpectJobFinishedAndSaved();
  EXPECT_EQ(program.WaitForExit(20000), 0);
}

}  // namespace
