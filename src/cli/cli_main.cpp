// foliostamp-cli: the window's three jobs for scripts, one file at a time.
#include <stdio.h>
#include <string.h>

#include "cli/cli_options.h"
#include "cli/verify_command.h"
#include "common/store.h"
#include "paging/jobs.h"
#include "settings/settings_codec.h"

#ifndef FOLIOSTAMP_VERSION
#define FOLIOSTAMP_VERSION "1.10"
#endif

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

const char kDefaultSettingsFile[] = "Foliostamp.ini";

int UsageError(const char* reason) {
  fprintf(stderr, "foliostamp-cli: %s (see foliostamp-cli --help)\n", reason);
  return kExitUsage;
}

// Prints a result text with the platform's line ends: its CR LF pairs
// become "\n" (the C runtime turns that into CR LF on Windows), and the
// text always ends with one.
void PrintResult(const char* text) {
  size_t length = strlen(text);
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') continue;
    putchar(text[i]);
  }
  if (length == 0 || text[length - 1] != '\n') putchar('\n');
}

void PrintEnding(void* context, const JobReport& report) {
  bool* succeeded = static_cast<bool*>(context);
  *succeeded = report.outcome == JobOutcome::Done;
  PrintResult(report.text);
}

// Loads Foliostamp.ini from the current directory, or the named file.
bool LoadSettings(const CliRequest& request) {
  if (request.noSettings) return true;
  if (request.settingsPath != nullptr) {
    FILE* probe = fopen(request.settingsPath, "rb");
    if (probe == nullptr) return false;
    fclose(probe);
    return ReadSettingsFile(request.settingsPath);
  }
  ReadSettingsFile(kDefaultSettingsFile);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (IsVerifyCommand(argc, argv)) return RunVerifyCommand(argc, argv);
  ResetStores();
  char error[256];
  CliRequest request;
  CliParse parse = ParseCliArguments(argc, argv, false, &request, error, sizeof error);
  if (parse == CliParse::Help) {
    fputs(kCliUsage, stdout);
    return kExitDone;
  }
  if (parse == CliParse::Version) {
    printf("foliostamp-cli %s\n", FOLIOSTAMP_VERSION);
    return kExitDone;
  }
  if (parse == CliParse::Usage) return UsageError(error);
  if (!LoadSettings(request)) {
    char reason[300];
    snprintf(reason, sizeof reason, "cannot read the settings file '%.200s'", request.settingsPath);
    return UsageError(reason);
  }
  ParseCliArguments(argc, argv, true, &request, error, sizeof error);

  int exitCode = kExitDone;
  for (int i = 1; i < argc; ++i) {
    if (!IsFileArgument(request, i)) continue;
    if (request.fileCount > 1) printf("%s:\n", argv[i]);
    JobInput input = TakeJobInput();
    input.markdownPath = argv[i];
    bool succeeded = false;
    switch (request.command) {
      case CliCommand::Execute: InsertPageNumbers(input, PrintEnding, &succeeded); break;
      case CliCommand::Delete: RemovePageNumbers(input, PrintEnding, &succeeded); break;
      case CliCommand::Undo: UndoFromBackup(input, PrintEnding, &succeeded); break;
      case CliCommand::None: break;
    }
    fflush(stdout);
    if (!succeeded) exitCode = kExitRefused;
  }
  return exitCode;
}
