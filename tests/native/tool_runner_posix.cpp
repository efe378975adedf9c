#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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

RunningTool StartTool(const std::string& tool, const std::string& folder,
                      const std::vector<std::string>& arguments, const std::string& tag) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(tool.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::string out = folder + "/out-" + tag + ".txt";
  std::string err = folder + "/err-" + tag + ".txt";
  pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  return RunningTool{child};
}

void KillTool(RunningTool* run) {
  kill(static_cast<pid_t>(run->process), SIGKILL);
  WaitForTool(run);
}

int WaitForTool(RunningTool* run) {
  int status = 0;
  if (run->process <= 0 || waitpid(static_cast<pid_t>(run->process), &status, 0) < 0) return -1;
  run->process = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PauseMicroseconds(long long microseconds) { usleep(static_cast<useconds_t>(microseconds)); }
