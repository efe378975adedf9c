// The command line of foliostamp-cli: a command, files, and options that
// override the settings file, given in any order.
#pragma once

#include <stddef.h>

enum class CliCommand { None, Execute, Delete, Undo, Check };

enum class CliParse { Run, Help, Version, Usage };

struct CliRequest {
  CliCommand command;
  const char* settingsPath;  // --settings, or null
  bool noSettings;
  const char* outputPath;    // --output, or null
  bool book;                 // --continue
  int fileCount;
  const char* const* argv;   // the files are the arguments marked in isFile
  int argc;
};

// Checks the arguments. With apply set, also stores every override in
// Settings and TextSlots (call it again after the settings are loaded).
// On a usage error a one-line reason is put into error.
CliParse ParseCliArguments(int argc, const char* const* argv, bool apply, CliRequest* request,
                           char* error, size_t errorSize);

// True when argument i of the request names a file.
bool IsFileArgument(const CliRequest& request, int i);

extern const char kCliUsage[];
