// Runs foliostamp-cli in its own process, as a script would, for the
// end-to-end tests that run natively and under Wine; one implementation
// per platform.
#pragma once

#include <string>
#include <vector>

struct ToolOutcome {
  int exitCode;  // -1 when the program could not be run
  std::string out;
  std::string err;
};

// Runs tool with the arguments in folder; its output goes through files and
// comes back with "\n" line ends.
ToolOutcome RunTool(const std::string& tool, const std::string& folder,
                    const std::vector<std::string>& arguments);

// The system code page the tool converts texts to (Windows' ANSI code
// page), or 0 where texts are bytes as given.
unsigned SystemCodePage();

// A run of the tool that a test may stop part-way, as a crash or "End
// task" would: its standard output and error go to out-<tag>.txt and
// err-<tag>.txt in folder.
struct RunningTool {
  long long process;  // the process id, or the process handle on Windows
};

RunningTool StartTool(const std::string& tool, const std::string& folder,
                      const std::vector<std::string>& arguments, const std::string& tag);
// Ends the process at once (SIGKILL; TerminateProcess), then reaps it.
void KillTool(RunningTool* run);
// Waits for the end; the exit code, or -1 when it did not exit by itself.
int WaitForTool(RunningTool* run);
void PauseMicroseconds(long long microseconds);
