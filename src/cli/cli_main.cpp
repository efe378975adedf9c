// foliostamp-cli: the window's jobs for scripts, and a check for CI.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cli/cli_options.h"
#include "cli/cli_platform.h"
#include "cli/verify_command.h"
#include "commands/job_input.h"
#include "common/file_open.h"
#include "common/store.h"
#include "common/utf8.h"
#include "paging/file_ops.h"
#include "paging/jobs.h"
#include "settings/settings_codec.h"

// FOLIOSTAMP_VERSION comes from the project's version in CMakeLists.txt.

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

const char kDefaultSettingsFile[] = "Foliostamp.ini";
const char kStandardInputName[] = "standard input";

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
  // Results and errors go to two streams; each file's comes out in turn.
  fflush(stream);
}

// What a run of the tool gathers from the jobs' endings.
struct Run {
  const CliRequest* request;
  const char* const* names;  // the files as the results name them, in order
  int next;                  // index of the file the next ending is about
  bool allDone;
  bool anyDiffers;
};

// Results to standard output (unless the document goes there), refusals
// and failures to standard error; with several files, each under its name.
void PrintEnding(void* context, const JobReport& report) {
  Run& run = *static_cast<Run*>(context);
  const char* name = run.names[run.next++];
  bool done = report.outcome == JobOutcome::Done;
  run.allDone = run.allDone && done;
  bool documentOnStandardOutput =
      run.request->outputPath != nullptr && strcmp(run.request->outputPath, "-") == 0;
  FILE* stream = done && !documentOnStandardOutput ? stdout : stderr;
  char heading[1100] = "";
  if (run.request->fileCount > 1) snprintf(heading, sizeof heading, "%.1000s:\n", name);
  PrintResult(stream, heading, report.text, false);
}

// check prints nothing for a file that is up to date.
void PrintCheck(void* context, const JobReport& report) {
  Run& run = *static_cast<Run*>(context);
  const char* name = run.names[run.next++];
  char prefix[1100];
  snprintf(prefix, sizeof prefix, "%.1000s: ", name);
  if (report.outcome != JobOutcome::Done) {
    run.anyDiffers = true;
    PrintResult(stderr, prefix, report.text, true);
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
    // A folder opens for reading on some systems, but is no settings file.
    HeldFile probe;
    if (OpenHeldFile(request.settingsPath, false, &probe) != FileProblem::None) return false;
    LetGo(&probe);
    return ReadSettingsFile(request.settingsPath);
  }
  ReadSettingsFile(kDefaultSettingsFile);
  return true;
}

// Where the settings file's texts are taken as bytes, one that is not
// UTF-8 was written in some Windows code page that cannot be told from
// here: written into a document it would be garbage, so the run is refused
// unless a flag replaces that text.
bool UnknownSettingsText(const CliRequest& request, char* error, size_t size) {
  bool numbering = request.command == CliCommand::Execute || request.command == CliCommand::Check;
  if (!numbering || request.noSettings || !SettingsTextsAreUnconverted()) return false;
  bool customColor = Settings[kColorChoice] != 0 && Settings[kColorChoice] != 1;
  struct Text {
    int slot;
    unsigned flag;
    const char* what;
    const char* option;
    bool used;
  };
  const Text texts[] = {
      {kHeaderText, kSetHeader, "header", "--header", true},
      {kFontSizePercent, kSetFontSize, "font size", "--font-size", true},
      {kCustomColor, kSetColor, "colour", "--color", customColor},
  };
  for (const Text& text : texts) {
    if (!text.used || (request.textsGiven & text.flag) != 0) continue;
    if (IsUtf8(TextSlots[text.slot], strlen(TextSlots[text.slot]))) continue;
    snprintf(error, size,
             "the %s in '%.300s' is not UTF-8, so its encoding cannot be known here; "
             "save it in UTF-8 or give %s",
             text.what, request.settingsPath != nullptr ? request.settingsPath : kDefaultSettingsFile,
             text.option);
    return true;
  }
  return false;
}

// One path of a run and what would make it collide with another.
struct Target {
  char* key;  // TargetKey, after a letter for inputs or backups
  int index;  // the file argument it belongs to
};

int CompareTargets(const void* a, const void* b) {
  const Target& first = *static_cast<const Target*>(a);
  const Target& second = *static_cast<const Target*>(b);
  int order = strcmp(first.key, second.key);
  if (order != 0) return order;
  return first.index < second.index ? -1 : first.index > second.index ? 1 : 0;
}

// Keys, sorted, find the pairs of a run of any length.
enum class Collision { None, SameFile, SharedBackup, NoMemory };

struct CollisionFound {
  Collision kind;
  int first;
  int second;
};

// The first pair in argument order (for one pair, the same file before a
// shared backup) among paths[0..2n): n inputs and then their n backups,
// null where a backup has no name.
CollisionFound FindCollision(const char* const* paths, int count) {
  CollisionFound found = {Collision::None, 0, 0};
  Target* targets = static_cast<Target*>(calloc(static_cast<size_t>(count) * 2 + 1, sizeof(Target)));
  if (targets == nullptr) {
    found.kind = Collision::NoMemory;
    return found;
  }
  static char key[8192];
  int used = 0;
  for (int i = 0; i < count * 2 && found.kind == Collision::None; ++i) {
    if (paths[i] == nullptr) continue;
    key[0] = i < count ? 'f' : 'b';
    if (!TargetKey(paths[i], key + 1, sizeof key - 1)) continue;
    size_t length = strlen(key);
    targets[used].key = static_cast<char*>(malloc(length + 1));
    if (targets[used].key == nullptr) {
      found.kind = Collision::NoMemory;
      break;
    }
    memcpy(targets[used].key, key, length + 1);
    targets[used].index = i;
    ++used;
  }
  if (found.kind == Collision::NoMemory) used = 0;
  qsort(targets, static_cast<size_t>(used), sizeof(Target), CompareTargets);
  for (int t = 1; t < used; ++t) {
    if (strcmp(targets[t - 1].key, targets[t].key) != 0) continue;
    int a = targets[t - 1].index;
    int b = targets[t].index;
    bool backup = a >= count;
    CollisionFound pair = {backup ? Collision::SharedBackup : Collision::SameFile, a % count, b % count};
    bool earlier = found.kind == Collision::None || pair.first < found.first ||
                   (pair.first == found.first && pair.second < found.second) ||
                   (pair.first == found.first && pair.second == found.second && !backup);
    if (earlier) found = pair;
  }
  for (int t = 0; t < count * 2; ++t) free(targets[t].key);
  free(targets);
  return found;
}

// Two inputs of one run that are one file, or that would share a backup,
// would overwrite each other's original: refused before anything is done.
bool FilesCollide(const CliRequest& request, char* error, size_t size) {
  if (request.command == CliCommand::Check || request.outputPath != nullptr) return false;
  bool anyExtension = request.command == CliCommand::Undo;
  int count = request.fileCount;
  const char** paths = static_cast<const char**>(calloc(static_cast<size_t>(count) * 2, sizeof(char*)));
  char* backups = static_cast<char*>(malloc(static_cast<size_t>(count) * kJobPathSize));
  CollisionFound found = {Collision::NoMemory, 0, 0};
  if (paths != nullptr && backups != nullptr) {
    for (int i = 0; i < count; ++i) {
      paths[i] = request.files[i];
      char* backup = backups + static_cast<size_t>(i) * kJobPathSize;
      // Without backups, only the same file twice collides.
      if (!request.noBackup &&
          MakeBackupPath(request.files[i], anyExtension, backup, kJobPathSize) == BackupName::Made) {
        paths[count + i] = backup;
      }
    }
    found = FindCollision(paths, count);
  }
  const char* first = request.files[found.first];
  const char* second = request.files[found.second];
  switch (found.kind) {
    case Collision::None: break;
    case Collision::SameFile:
      snprintf(error, size, "'%.400s' and '%.400s' are the same file", first, second);
      break;
    case Collision::SharedBackup:
      snprintf(error, size, "'%.300s' and '%.300s' would share the backup '%.300s'", first, second,
               paths[count + found.first]);
      break;
    case Collision::NoMemory: snprintf(error, size, "not enough memory for %d files", count); break;
  }
  free(paths);
  free(backups);
  return found.kind != Collision::None;
}

int RunJobs(const CliRequest& request, const char* const* paths, const char* const* names) {
  Run run = {&request, names, 0, true, false};
  JobInput input = TakeJobInput();
  input.noBackup = request.noBackup ? 1 : 0;
  if (request.book) {
    bool checkOnly = request.command == CliCommand::Check;
    NumberBook(input, paths, request.fileCount, checkOnly, checkOnly ? PrintCheck : PrintEnding, &run);
  } else {
    for (int i = 0; i < request.fileCount; ++i) {
      input.markdownPath = paths[i];
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
    }
  }
  if (request.command == CliCommand::Check) return run.anyDiffers ? kExitRefused : kExitDone;
  return run.allDone ? kExitDone : kExitRefused;
}

// check reads standard input from a scratch copy, since the jobs read a
// document twice, by its path; the results call it "standard input".
int RunWithStandardInput(const CliRequest& request, const char** paths, const char** names) {
  int spooled = -1;
  for (int i = 0; i < request.fileCount; ++i) {
    names[i] = paths[i];
    if (request.command == CliCommand::Check && strcmp(paths[i], "-") == 0) spooled = i;
  }
  if (spooled < 0) return RunJobs(request, paths, names);
  static char spoolPath[4096];
  if (!SpoolStandardInput(spoolPath, sizeof spoolPath)) {
    PrintUtf8(stderr, "standard input: Error: It cannot be read, or no scratch file can hold it.\n");
    return kExitRefused;
  }
  paths[spooled] = spoolPath;
  names[spooled] = kStandardInputName;
  int exitCode = RunJobs(request, paths, names);
  RemoveFile(spoolPath);
  return exitCode;
}


int RunCommandLine(int argc, char** argv) {
  argv = Utf8Arguments(&argc, argv);
  if (argv == nullptr) {
    fputs("foliostamp-cli: not enough memory for the arguments\n", stderr);
    return kExitUsage;
  }
  UseBinaryStandardStreams();
  if (IsVerifyCommand(argc, argv)) return RunVerifyCommand(argc, argv);
  ResetStores();
  const char** files = static_cast<const char**>(calloc(static_cast<size_t>(argc) + 1, sizeof(char*)));
  if (files == nullptr) return UsageError("not enough memory for the arguments");
  char error[1024];
  CliRequest request;
  request.files = files;
  CliParse parse = ParseCliArguments(argc, argv, false, &request, error, sizeof error);
  if (parse == CliParse::Help) {
    PrintUtf8(stdout, CliHelp(request.command));
    return kExitDone;
  }
  if (parse == CliParse::Version) {
    PrintUtf8(stdout, "foliostamp-cli " FOLIOSTAMP_VERSION "\n");
    return kExitDone;
  }
  if (parse == CliParse::Usage) return UsageError(error);
  // The apply pass below refills a file list of its own; the run keeps this one.
  request.files = ExpandFileArguments(files, &request.fileCount);
  if (request.files == nullptr) return UsageError("not enough memory for the file arguments");
  if (!CheckCliCombination(request, error, sizeof error)) return UsageError(error);
  const char** names = static_cast<const char**>(calloc(static_cast<size_t>(request.fileCount) + 1, sizeof(char*)));
  if (names == nullptr) return UsageError("not enough memory for the file arguments");
  // Written to while it is read, the input would never end.
  if (request.outputPath != nullptr && strcmp(request.files[0], "-") != 0) {
    bool toStandardOutput = strcmp(request.outputPath, "-") == 0;
    if (toStandardOutput ? StandardOutputIs(request.files[0])
                         : SameExistingFile(request.files[0], request.outputPath)) {
      snprintf(error, sizeof error, "the output '%.400s' is the input file itself",
               toStandardOutput ? "-" : request.outputPath);
      return UsageError(error);
    }
  }
  if (FilesCollide(request, error, sizeof error)) return UsageError(error);
  if (!LoadSettings(request)) {
    snprintf(error, sizeof error, "cannot read the settings file '%.200s'", request.settingsPath);
    return UsageError(error);
  }
  CliRequest applied;
  applied.files = files;
  ParseCliArguments(argc, argv, true, &applied, error, sizeof error);
  if (UnknownSettingsText(request, error, sizeof error)) return UsageError(error);
  return RunWithStandardInput(request, request.files, names);
}

}  // namespace

// What could not be written (a full disk, a pipe closed early while its
// signal is ignored) is no success, even when the job's file is done.
int main(int argc, char** argv) {
  int status = RunCommandLine(argc, argv);
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fputs("foliostamp-cli: cannot write to standard output\n", stderr);
    if (status == kExitDone) status = kExitRefused;
  }
  return status;
}
