// RunTool on Windows: CreateProcessW with the output in files, since Wine's
// helper processes would keep a pipe open after the program has ended.
#include <windows.h>

#include "common/wide_text_win.h"
#include "test_files.h"
#include "tool_runner.h"

namespace {

// The C runtime writes "\n" as CR LF; the tests compare with "\n".
std::string WithoutCr(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    plain += text[i];
  }
  return plain;
}

std::wstring Wide(const std::string& text) {
  static wchar_t buffer[32768];
  if (!Utf8ToWide(text.c_str(), buffer, sizeof buffer / sizeof buffer[0])) return L"";
  return buffer;
}

// Quotes one argument the way the C runtime splits a command line.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

HANDLE CreateOutputFile(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts the tool in folder, its output going to out<suffix>.txt and
// err<suffix>.txt there; the process, or null.
HANDLE LaunchTool(const std::string& tool, const std::string& folder,
                  const std::vector<std::string>& arguments, const std::string& suffix) {
  std::wstring program = Wide(tool);
  for (wchar_t& c : program) {
    if (c == L'/') c = L'\\';
  }
  std::wstring commandLine = Quoted(program);
  for (const std::string& argument : arguments) commandLine += L" " + Quoted(Wide(argument));
  std::wstring wideFolder = Wide(folder);
  std::wstring wideSuffix = Wide(suffix);
  HANDLE out = CreateOutputFile(wideFolder + L"\\out" + wideSuffix + L".txt");
  HANDLE err = CreateOutputFile(wideFolder + L"\\err" + wideSuffix + L".txt");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  BOOL started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                 CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                                DETACHED_PROCESS, nullptr, wideFolder.c_str(), &startup, &process);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  if (!started) return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

ToolOutcome RunTool(const std::string& tool, const std::string& folder,
                    const std::vector<std::string>& arguments) {
  ToolOutcome outcome = {-1, "", ""};
  RunningTool run = {reinterpret_cast<long long>(LaunchTool(tool, folder, arguments, ""))};
  if (run.process == 0) return outcome;
  outcome.exitCode = WaitForTool(&run);
  outcome.out = WithoutCr(ReadFileBytes(folder + "/out.txt"));
  outcome.err = WithoutCr(ReadFileBytes(folder + "/err.txt"));
  return outcome;
}

unsigned SystemCodePage() { return GetACP(); }

RunningTool StartTool(const std::string& tool, const std::string& folder,
                      const std::vector<std::string>& arguments, const std::string& tag) {
  return RunningTool{reinterpret_cast<long long>(LaunchTool(tool, folder, arguments, "-" + tag))};
}

void KillTool(RunningTool* run) {
  if (run->process == 0) return;
  TerminateProcess(reinterpret_cast<HANDLE>(run->process), 137);
  WaitForTool(run);
}

int WaitForTool(RunningTool* run) {
  if (run->process == 0) return -1;
  HANDLE process = reinterpret_cast<HANDLE>(run->process);
  WaitForSingleObject(process, 120000);
  DWORD code = 0;
  int result = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE && code != 137
                   ? static_cast<int>(code)
                   : -1;
  CloseHandle(process);
  run->process = 0;
  return result;
}

void PauseMicroseconds(long long microseconds) { Sleep(static_cast<DWORD>(microseconds / 1000)); }
