// The command line of foliostamp-cli: a command, files, and options that
// override the settings file, given in any order.
#pragma once

#include <stddef.h>

enum class CliCommand { None, Execute, Delete, Undo, Check };

enum class CliParse { Run, Help, Version, Usage };

// The texts of the settings file that a flag can replace, as bits.
enum CliTextFlag : unsigned {
  kSetTocPages = 1u << 0,
  kSetHeader = 1u << 1,
  kSetSkip = 1u << 2,
  kSetFontSize = 1u << 3,
  kSetColor = 1u << 4,
};

struct CliRequest {
  CliCommand command;
  const char* settingsPath;  // --settings, or null
  bool noSettings;
  const char* outputPath;    // --output, or null
  bool book;                 // --continue
  bool noBackup;             // --no-backup
  unsigned textsGiven;       // CliTextFlag bits of the texts the flags set
  int fileCount;
  const char** files;        // the file arguments, in order (room for argc)
};

// Checks the arguments and puts the file arguments into request->files,
// which has room for argc pointers. With apply set, also stores every
// override in Settings and TextSlots (call it again after the settings are
// loaded). On a usage error a one-line reason is put into error. Help
// leaves the command asked about (None for the general help) in request.
CliParse ParseCliArguments(int argc, const char* const* argv, bool apply, CliRequest* request,
                           char* error, size_t errorSize);

// The options that only some commands take, and the inputs they allow;
// checked again once wildcards have become files.
bool CheckCliCombination(const CliRequest& request, char* error, size_t errorSize);

// The help for a command, or the general help for None.
const char* CliHelp(CliCommand command);
