// foliostamp-cli: the window's jobs for scripts, and a check for CI.
#include <stdio.h>
#include <string.h>

#include "cli/cli_options.h"
#include "cli/cli_platform.h"
#include "cli/verify_command.h"
#include "commands/job_input.h"
#include "common/file_open.h"
#include "common/store.h"
#include "paging/file_ops.h"
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

char line[64 * 1024];

int UsageError(const char* reason) {
  snprintf(line, sizeof line, "foliostamp-cli: %s (see foliostamp-cli --help)\n", reason);
  PrintUtf8(stderr, line);
  return kExitUsage;
}

// Prints a result text with its CR LF pairs as "\n" (the platform's line
// end once printed), always ending with one. With firstLineOnly, only its
// first line.
void PrintResult(FILE* stream, const char* prefix, const char* text, bool firstLineOnly) {
  size_t used = static_cast<size_t>(snprintf(line, sizeof line, "%s", prefix));
  for (const char* p = text; *p != '\0' && used + 2 < sizeof line; ++p) {
    if (*p == '\r' && p[1] == '\n') continue;
    if (*p == '\n' && firstLineOnly) break;
    line[used++] = *p;
  }
  if (used == 0 || line[used - 1] != '\n') line[used++] = '\n';
  line[used] = '\0';
  PrintUtf8(stream, line);
}

// What a run of the tool gathers from the jobs' endings.
struct Run {
  const CliRequest* request;
  const char* const* files;  // the file arguments, in order
  int next;                  // index of the file the next ending is about
  bool allDone;
  bool anyDiffers;
};

void PrintEnding(void* context, const JobReport& report) {
  Run& run = *static_cast<Run*>(context);
  const char* file = run.files[run.next++];
  run.allDone = run.allDone && report.outcome == JobOutcome::Done;
  if (run.request->fileCount > 1) {
    snprintf(line, sizeof line, "%s:\n", file);
    PrintUtf8(stdout, line);
  }
  bool toStandardOutput = run.request->outputPath != nullptr && strcmp(run.request->outputPath, "-") == 0;
  PrintResult(toStandardOutput ? stderr : stdout, "", report.text, false);
}

// check prints nothing for a file that is up to date.
void PrintCheck(void* context, const JobReport& report) {
  Run& run = *static_cast<Run*>(context);
  const char* file = run.files[run.next++];
  char prefix[1100];
  snprintf(prefix, sizeof prefix, "%.1000s: ", file);
  if (report.outcome != JobOutcome::Done) {
    run.anyDiffers = true;
    PrintResult(stdout, prefix, report.text, true);
  } else if (report.differs) {
    run.anyDiffers = true;
    char text[200];
    snprintf(text, sizeof text, "page numbers are out of date (%s)", report.text);
    PrintResult(stdout, prefix, text, true);
  }
}

// Loads Foliostamp.ini from the current directory, or the named file.
bool LoadSettings(const CliRequest& request) {
  if (request.noSettings) return true;
  if (request.settingsPath != nullptr) {
    FILE* probe = OpenFileUtf8(request.settingsPath, "rb");
    if (probe == nullptr) return false;
    fclose(probe);
    return ReadSettingsFile(request.settingsPath);
  }
  ReadSettingsFile(kDefaultSettingsFile);
  return true;
}

// Two inputs of one run that are one file, or that would share a backup,
// would overwrite each other's original: refused before anything is done.
bool FilesCollide(const CliRequest& request, const char* const* files, char* error, size_t size) {
  if (request.command == CliCommand::Check || request.outputPath != nullptr) return false;
  bool anyExtension = request.command == CliCommand::Undo;
  char first[kJobPathSize];
  char second[kJobPathSize];
  for (int i = 0; i < request.fileCount; ++i) {
    for (int j = i + 1; j < request.fileCount; ++j) {
      if (SameTarget(files[i], files[j])) {
        snprintf(error, size, "'%.400s' and '%.400s' are the same file", files[i], files[j]);
        return true;
      }
      if (MakeBackupPath(files[i], anyExtension, first, sizeof first) == BackupName::Made &&
          MakeBackupPath(files[j], anyExtension, second, sizeof second) == BackupName::Made &&
          SameTarget(first, second)) {
        snprintf(error, size, "'%.300s' and '%.300s' would share the backup '%.300s'", files[i],
                 files[j], first);
        return true;
      }
    }
  }
  return false;
}

// Fixed storage for the file arguments of one run.
const char* files[4096];

int RunJobs(const CliRequest& request) {
  Run run = {&request, files, 0, true, false};
  JobInput input = TakeJobInput();
  if (request.book) {
    bool checkOnly = request.command == CliCommand::Check;
    NumberBook(input, files, request.fileCount, checkOnly, checkOnly ? PrintCheck : PrintEnding, &run);
  } else {
    for (int i = 0; i < request.fileCount; ++i) {
      input.markdownPath = files[i];
      switch (request.command) {
        case CliCommand::Execute:
        case CliCommand::Delete:
          if (request.outputPath != nullptr) {
            RewriteKind kind =
                request.command == CliCommand::Execute ? RewriteKind::Insert : RewriteKind::Remove;
            RewriteToOutput(kind, input, request.outputPath, PrintEnding, &run);
          } else if (request.command == CliCommand::Execute) {
            InsertPageNumbers(input, PrintEnding, &run);
          } else {
            RemovePageNumbers(input, PrintEnding, &run);
          }
          break;
        case CliCommand::Undo: UndoFromBackup(input, PrintEnding, &run); break;
        case CliCommand::Check: CheckPageNumbers(input, PrintCheck, &run); break;
        case CliCommand::None: break;
      }
      fflush(stdout);
    }
  }
  if (request.command == CliCommand::Check) return run.anyDiffers ? kExitRefused : kExitDone;
  return run.allDone ? kExitDone : kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
  argv = Utf8Arguments(&argc, argv);
  UseBinaryStandardStreams();
  if (IsVerifyCommand(argc, argv)) return RunVerifyCommand(argc, argv);
  ResetStores();
  char error[1024];
  CliRequest request;
  CliParse parse = ParseCliArguments(argc, argv, false, &request, error, sizeof error);
  if (parse == CliParse::Help) {
    PrintUtf8(stdout, kCliUsage);
    return kExitDone;
  }
  if (parse == CliParse::Version) {
    PrintUtf8(stdout, "foliostamp-cli " FOLIOSTAMP_VERSION "\n");
    return kExitDone;
  }
  if (parse == CliParse::Usage) return UsageError(error);
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    if (IsFileArgument(request, i)) files[count++] = argv[i];
  }
  if (request.outputPath != nullptr && strcmp(request.outputPath, "-") != 0 &&
      strcmp(files[0], "-") != 0 && SameExistingFile(files[0], request.outputPath)) {
    snprintf(error, sizeof error, "the output '%.400s' is the input file itself", request.outputPath);
    return UsageError(error);
  }
  if (FilesCollide(request, files, error, sizeof error)) return UsageError(error);
  if (!LoadSettings(request)) {
    snprintf(error, sizeof error, "cannot read the settings file '%.200s'", request.settingsPath);
    return UsageError(error);
  }
  ParseCliArguments(argc, argv, true, &request, error, sizeof error);
  return RunJobs(request);
}
