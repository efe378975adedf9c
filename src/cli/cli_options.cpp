#include "cli/cli_options.h"

#include <stdio.h>
#include <string.h>

#include "common/store.h"

const char kCliUsage[] =
    "Usage: foliostamp-cli execute|delete|undo|check [options] FILE...\n"
    "       foliostamp-cli verify [--fix] FILE.md FILE.pdf\n"
    "\n"
    "  execute   add page numbers after every page break (backup in FILE.bak)\n"
    "  delete    remove the page numbers and heading annotations again\n"
    "  undo      copy FILE.bak back over FILE\n"
    "  check     say which files execute would change; change nothing\n"
    "  verify    compare the numbers with the PDF exported from FILE.md, and\n"
    "            with --fix renumber it to match (see foliostamp-cli verify --help)\n"
    "\n"
    "Options start from Foliostamp.ini in the current directory, if it exists.\n"
    "  --settings PATH          read options from PATH instead\n"
    "  --no-settings            ignore Foliostamp.ini\n"
    "  --toc-pages N            pages a [TOC] line stands for\n"
    "  --header TEXT            header shown before the page number\n"
    "  --skip LIST              after page n, leave one number out for each n listed\n"
    "  --font-size PCT          font size in percent\n"
    "  --color black|gray|TEXT  colour of the page number\n"
    "  --position right|center  alignment of the page number\n"
    "  --format slash|paren     \" 2 / 5\" or \" ( 2 / 5 )\"\n"
    "  --keep-backup            refuse to work while FILE.bak exists\n"
    "  --first-page             number the first page too\n"
    "  --annotate-headings      add page numbers to headings for the TOC\n"
    "  --no-keep-backup, --no-first-page, --no-annotate-headings\n"
    "  -o, --output PATH        execute or delete: write the new text to PATH\n"
    "                           (- for standard output) and leave FILE as it\n"
    "                           is, without a backup; FILE may be - for\n"
    "                           standard input\n"
    "  --continue               execute or check: number the files as one book,\n"
    "                           in the order given, with the book's total\n"
    "  --help, --version\n"
    "\n"
    "Examples:\n"
    "  foliostamp-cli execute --first-page guide.md\n"
    "  foliostamp-cli execute -o - - < guide.md > numbered.md\n"
    "  foliostamp-cli check guide.md || echo \"numbers out of date\"\n"
    "  foliostamp-cli execute --continue ch1.md ch2.md ch3.md\n"
    "  foliostamp-cli verify --fix guide.md guide.pdf\n"
    "\n"
    "Exit status: 0 when every file was done (check: none would change),\n"
    "1 when any was refused or failed (check: any would change), 2 on a\n"
    "usage error.\n";

namespace {

// Arguments that name files, marked during the check pass. The command line
// of one run is small; more files than this are refused.
constexpr int kMaxArguments = 4096;
bool fileArgument[kMaxArguments];

enum class Kind { Text, Color, Position, Format, Switch, Settings, Output, Book };

struct Option {
  const char* name;
  Kind kind;
  int index;   // TextSlots index for texts, Settings index for the rest
  int value;   // what a switch sets
};

// clang-format off
const Option kOptions[] = {
  {"--toc-pages",            Kind::Text,     kTocPageCount,      0},
  {"--header",               Kind::Text,     kHeaderText,        0},
  {"--skip",                 Kind::Text,     kSkipPages,         0},
  {"--font-size",            Kind::Text,     kFontSizePercent,   0},
  {"--color",                Kind::Color,    kColorChoice,       0},
  {"--position",             Kind::Position, kPositionChoice,    0},
  {"--format",               Kind::Format,   kFormatChoice,      0},
  {"--keep-backup",          Kind::Switch,   kKeepExistingBackup, 1},
  {"--no-keep-backup",       Kind::Switch,   kKeepExistingBackup, 0},
  {"--first-page",           Kind::Switch,   kNumberFirstPage,   1},
  {"--no-first-page",        Kind::Switch,   kNumberFirstPage,   0},
  {"--annotate-headings",    Kind::Switch,   kAnnotateHeadings,  1},
  {"--no-annotate-headings", Kind::Switch,   kAnnotateHeadings,  0},
  {"--settings",             Kind::Settings, 0,                  0},
  {"--output",               Kind::Output,   0,                  0},
  {"-o",                     Kind::Output,   0,                  0},
  {"--continue",             Kind::Book,     0,                  0},
};
// clang-format on

const Option* FindOption(const char* argument, size_t nameLength) {
  for (const Option& option : kOptions) {
    if (strlen(option.name) == nameLength && strncmp(option.name, argument, nameLength) == 0) {
      return &option;
    }
  }
  return nullptr;
}

// Index of value among the choices, or -1.
int Choice(const char* value, const char* first, const char* second) {
  if (strcmp(value, first) == 0) return 0;
  if (strcmp(value, second) == 0) return 1;
  return -1;
}

bool Fail(char* error, size_t size, const char* format, const char* detail) {
  snprintf(error, size, format, detail);
  return false;
}

// Checks one option's value and, with apply, stores it.
bool TakeValue(const Option& option, const char* value, bool apply, CliRequest* request,
               char* error, size_t errorSize) {
  switch (option.kind) {
    case Kind::Text:
      if (strlen(value) >= kTextSlotSize) {
        return Fail(error, errorSize, "the value of %s is longer than 31999 bytes", option.name);
      }
      if (apply) SetTextSlot(option.index, value);
      return true;
    case Kind::Color: {
      int choice = Choice(value, "black", "gray");
      if (choice < 0 && strlen(value) >= kTextSlotSize) {
        return Fail(error, errorSize, "the value of %s is longer than 31999 bytes", option.name);
      }
      if (apply) {
        Settings[kColorChoice] = choice < 0 ? 2 : choice;
        if (choice < 0) SetTextSlot(kCustomColor, value);
      }
      return true;
    }
    case Kind::Position:
    case Kind::Format: {
      bool position = option.kind == Kind::Position;
      int choice = position ? Choice(value, "right", "center") : Choice(value, "slash", "paren");
      if (choice < 0) {
        return Fail(error, errorSize,
                    position ? "--position takes right or center, not '%s'"
                             : "--format takes slash or paren, not '%s'",
                    value);
      }
      if (apply) Settings[option.index] = choice;
      return true;
    }
    case Kind::Settings:
      request->settingsPath = value;
      return true;
    case Kind::Output:
      request->outputPath = value;
      return true;
    case Kind::Switch:
    case Kind::Book:
      break;
  }
  return true;
}

CliCommand CommandNamed(const char* word) {
  if (strcmp(word, "execute") == 0) return CliCommand::Execute;
  if (strcmp(word, "delete") == 0) return CliCommand::Delete;
  if (strcmp(word, "undo") == 0) return CliCommand::Undo;
  if (strcmp(word, "check") == 0) return CliCommand::Check;
  return CliCommand::None;
}

bool Refuse(char* error, size_t size, const char* reason) {
  snprintf(error, size, "%s", reason);
  return false;
}

// The options that only some commands take, and the inputs they allow.
bool CheckCombination(const CliRequest& r, char* error, size_t errorSize) {
  bool rewriting = r.command == CliCommand::Execute || r.command == CliCommand::Delete;
  if (r.outputPath != nullptr) {
    if (!rewriting) return Refuse(error, errorSize, "--output is for execute and delete");
    if (r.fileCount != 1) return Refuse(error, errorSize, "--output takes exactly one input file");
    if (r.book) return Refuse(error, errorSize, "--output and --continue do not go together");
  }
  if (r.book && r.command != CliCommand::Execute && r.command != CliCommand::Check) {
    return Refuse(error, errorSize, "--continue is for execute and check");
  }
  for (int i = 1; i < r.argc && i < kMaxArguments; ++i) {
    if (fileArgument[i] && strcmp(r.argv[i], "-") == 0 && r.outputPath == nullptr) {
      return Refuse(error, errorSize, "standard input (-) is read only with --output");
    }
  }
  return true;
}

}  // namespace

bool IsFileArgument(const CliRequest& request, int i) {
  return i > 0 && i < request.argc && i < kMaxArguments && fileArgument[i];
}

CliParse ParseCliArguments(int argc, const char* const* argv, bool apply, CliRequest* request,
                           char* error, size_t errorSize) {
  request->command = CliCommand::None;
  request->settingsPath = nullptr;
  request->noSettings = false;
  request->outputPath = nullptr;
  request->book = false;
  request->fileCount = 0;
  request->argv = argv;
  request->argc = argc;
  if (argc > kMaxArguments) {
    snprintf(error, errorSize, "too many arguments");
    return CliParse::Usage;
  }
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    fileArgument[i] = false;
    bool isOption = !optionsEnded && argument[0] == '-' && argument[1] != '\0';
    if (!isOption) {
      if (request->command == CliCommand::None) {
        request->command = CommandNamed(argument);
        if (request->command == CliCommand::None) {
          snprintf(error, errorSize, "unknown command '%s' (execute, delete, undo or check)", argument);
          return CliParse::Usage;
        }
      } else {
        fileArgument[i] = true;
        ++request->fileCount;
      }
      continue;
    }
    if (strcmp(argument, "--") == 0) {
      optionsEnded = true;
      continue;
    }
    if (strcmp(argument, "--help") == 0) return CliParse::Help;
    if (strcmp(argument, "--version") == 0) return CliParse::Version;
    if (strcmp(argument, "--no-settings") == 0) {
      request->noSettings = true;
      continue;
    }
    const char* equals = strchr(argument, '=');
    size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - argument) : strlen(argument);
    const Option* option = FindOption(argument, nameLength);
    if (option == nullptr) {
      snprintf(error, errorSize, "unknown option '%.*s'", static_cast<int>(nameLength), argument);
      return CliParse::Usage;
    }
    if (option->kind == Kind::Switch || option->kind == Kind::Book) {
      if (equals != nullptr) {
        snprintf(error, errorSize, "%s takes no value", option->name);
        return CliParse::Usage;
      }
      if (option->kind == Kind::Book) request->book = true;
      if (apply && option->kind == Kind::Switch) Settings[option->index] = option->value;
      continue;
    }
    const char* value = equals != nullptr ? equals + 1 : nullptr;
    if (value == nullptr) {
      if (i + 1 >= argc) {
        snprintf(error, errorSize, "%s needs a value", option->name);
        return CliParse::Usage;
      }
      value = argv[++i];
      fileArgument[i] = false;
    }
    if (!TakeValue(*option, value, apply, request, error, errorSize)) return CliParse::Usage;
  }
  if (request->command == CliCommand::None) {
    snprintf(error, errorSize, "no command given (execute, delete, undo or check)");
    return CliParse::Usage;
  }
  if (request->fileCount == 0) {
    snprintf(error, errorSize, "no file given");
    return CliParse::Usage;
  }
  return CheckCombination(*request, error, errorSize) ? CliParse::Run : CliParse::Usage;
}
