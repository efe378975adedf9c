#include <stdlib.h>
#include <sys/wait.h>

#include "test_files.h"
#include "tool_runner.h"

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

ToolOutcome RunTool(const std::string& tool, const std::string& folder,
                    const std::vector<std::string>& arguments) {
  std::string command = "cd " + Quoted(folder) + " && " + Quoted(tool);
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  command += " >out.txt 2>err.txt </dev/null";
  int status = system(command.c_str());
  ToolOutcome outcome;
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.out = ReadFileBytes(folder + "/out.txt");
  outcome.err = ReadFileBytes(folder + "/err.txt");
  return outcome;
}

unsigned SystemCodePage() { return 0; }
