#include "cli/cli_options.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <charconv>

#include "common/store.h"
#include "common/utf8_text.h"

namespace {

// clang-format off
const char kGeneralHelp[] =
    "Usage: foliostamp-cli execute|delete|undo|check [options] FILE...\n"
    "       foliostamp-cli verify [--fix] FILE.md FILE.pdf\n"
    "       foliostamp-cli COMMAND --help\n"
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
    "  --toc-pages N            pages a [TOC] line stands for, a whole number\n"
    "                           from 0 (0 and 1 both count it as one page)\n"
    "  --header TEXT            header shown before the page number\n"
    "  --skip LIST              page numbers from 1 to 9999, separated by commas\n"
    "                           or spaces: after page n, leave one number out\n"
    "                           for each n listed ('' for none)\n"
    "  --font-size N            font size in percent, a positive number (80, 72.5)\n"
    "  --color black|gray|TEXT  colour of the page number\n"
    "  --position right|center  alignment of the page number\n"
    "  --format slash|paren     \" 2 / 5\" or \" ( 2 / 5 )\"\n"
    "  --keep-backup            refuse to work while FILE.bak exists\n"
    "  --first-page             number the first page too\n"
    "  --annotate-headings      add page numbers to headings for the TOC\n"
    "  --no-keep-backup, --no-first-page, --no-annotate-headings\n"
    "  --no-backup              execute or delete: make no FILE.bak (for files\n"
    "                           kept under version control)\n"
    "  -o, --output PATH        execute or delete: write the new text to PATH\n"
    "                           (- for standard output) and leave FILE as it\n"
    "                           is, without a backup; FILE may be - for\n"
    "                           standard input\n"
    "  --continue               execute or check: number the files as one book,\n"
    "                           in the order given, with the book's total\n"
    "  -h, --help               this help (after a command: that command's)\n"
    "  -V, --version            the version\n"
    "\n"
    "Results go to standard output, errors and refusals to standard error.\n"
    "\n"
    "Examples:\n"
    "  foliostamp-cli execute --first-page guide.md\n"
    "  foliostamp-cli execute -o - - < guide.md > numbered.md\n"
    "  foliostamp-cli check guide.md || echo \"numbers out of date\"\n"
    "  git show HEAD:guide.md | foliostamp-cli check -\n"
    "  foliostamp-cli execute --continue ch1.md ch2.md ch3.md\n"
    "  foliostamp-cli verify --fix guide.md guide.pdf\n"
    "\n"
    "Exit status: 0 when every file was done (check: none would change),\n"
    "1 when any was refused or failed (check: any would change), 2 on a\n"
    "usage error.\n";

// What every numbering command takes, shown in each command's help.
#define FOLIOSTAMP_NUMBERING_OPTIONS \
    "Options (they start from Foliostamp.ini in the current directory):\n" \
    "  --settings PATH, --no-settings\n" \
    "  --toc-pages N (from 0), --header TEXT, --skip LIST (1 to 9999,\n" \
    "  commas or spaces), --font-size N (a positive number),\n" \
    "  --color black|gray|TEXT, --position right|center, --format slash|paren,\n" \
    "  --first-page, --annotate-headings, --keep-backup and their --no- forms\n"

const char kExecuteHelp[] =
    "Usage: foliostamp-cli execute [options] FILE...\n"
    "\n"
    "Adds a page-number line after every page break of each FILE (and at the\n"
    "top with --first-page), after copying FILE to FILE.bak. Prints\n"
    "\"Total N pages.\" for each file.\n"
    "\n"
    FOLIOSTAMP_NUMBERING_OPTIONS
    "  --no-backup        make no FILE.bak (for files kept under version control)\n"
    "  -o, --output PATH  write the numbered text to PATH (- for standard\n"
    "                     output) and leave FILE as it is; FILE may be -\n"
    "  --continue         number the files as one book, in the order given\n"
    "\n"
    "Exit status: 0 when every file was numbered, 1 when any was refused or\n"
    "failed, 2 on a usage error.\n";

const char kDeleteHelp[] =
    "Usage: foliostamp-cli delete [options] FILE...\n"
    "\n"
    "Removes the page-number lines and heading annotations from each FILE,\n"
    "after copying FILE to FILE.bak. Prints \"Total N pages.\" for each file.\n"
    "\n"
    "  --settings PATH, --no-settings, --keep-backup, --no-keep-backup\n"
    "  --no-backup        make no FILE.bak (for files kept under version control)\n"
    "  -o, --output PATH  write the text to PATH (- for standard output) and\n"
    "                     leave FILE as it is; FILE may be -\n"
    "\n"
    "Exit status: 0 when every file was done, 1 when any was refused or\n"
    "failed, 2 on a usage error.\n";

const char kUndoHelp[] =
    "Usage: foliostamp-cli undo FILE...\n"
    "\n"
    "Copies the backup of each FILE (FILE with .bak in place of its extension)\n"
    "back over FILE, without asking. Prints \"Done undo.\" for each file.\n"
    "\n"
    "Exit status: 0 when every file was restored, 1 when any was not, 2 on a\n"
    "usage error.\n";

const char kCheckHelp[] =
    "Usage: foliostamp-cli check [options] FILE...\n"
    "\n"
    "Tells whether execute would change each FILE; writes nothing. FILE may\n"
    "be - for standard input. Prints nothing for a file that is up to date,\n"
    "\"FILE: page numbers are out of date (Total N pages.)\" on standard\n"
    "output for one that is not, and \"FILE: \" with the error on standard\n"
    "error for one that cannot be read.\n"
    "\n"
    FOLIOSTAMP_NUMBERING_OPTIONS
    "  --continue   check the files as one book, in the order given\n"
    "\n"
    "Exit status: 0 when no file would change, 1 when any would change or\n"
    "cannot be read, 2 on a usage error.\n";
// clang-format on

enum class Kind { Text, Color, Position, Format, Switch, Settings, Output, Book, NoBackup };

// How a text option's value is checked before it replaces the settings
// file's text (which the jobs read leniently).
enum class Check { Any, WholeFromZero, SkipList, PositiveNumber };

struct Option {
  const char* name;
  Kind kind;
  int index;      // TextSlots index for texts, Settings index for the rest
  int value;      // what a switch sets
  Check check;
  unsigned text;  // the CliTextFlag a text option sets
};

// clang-format off
const Option kOptions[] = {
  {"--toc-pages",            Kind::Text,     kTocPageCount,       0, Check::WholeFromZero,  kSetTocPages},
  {"--header",               Kind::Text,     kHeaderText,         0, Check::Any,            kSetHeader},
  {"--skip",                 Kind::Text,     kSkipPages,          0, Check::SkipList,       kSetSkip},
  {"--font-size",            Kind::Text,     kFontSizePercent,    0, Check::PositiveNumber, kSetFontSize},
  {"--color",                Kind::Color,    kColorChoice,        0, Check::Any,            kSetColor},
  {"--position",             Kind::Position, kPositionChoice,     0, Check::Any,            0},
  {"--format",               Kind::Format,   kFormatChoice,       0, Check::Any,            0},
  {"--keep-backup",          Kind::Switch,   kKeepExistingBackup, 1, Check::Any,            0},
  {"--no-keep-backup",       Kind::Switch,   kKeepExistingBackup, 0, Check::Any,            0},
  {"--first-page",           Kind::Switch,   kNumberFirstPage,    1, Check::Any,            0},
  {"--no-first-page",        Kind::Switch,   kNumberFirstPage,    0, Check::Any,            0},
  {"--annotate-headings",    Kind::Switch,   kAnnotateHeadings,   1, Check::Any,            0},
  {"--no-annotate-headings", Kind::Switch,   kAnnotateHeadings,   0, Check::Any,            0},
  {"--no-backup",            Kind::NoBackup, 0,                   0, Check::Any,            0},
  {"--settings",             Kind::Settings, 0,                   0, Check::Any,            0},
  {"--output",               Kind::Output,   0,                   0, Check::Any,            0},
  {"-o",                     Kind::Output,   0,                   0, Check::Any,            0},
  {"--continue",             Kind::Book,     0,                   0, Check::Any,            0},
};
// clang-format on

// The skip table counts pages 1 to 9999; a larger number would be passed over.
constexpr int32_t kHighestSkip = 9999;

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

// A value as the error line shows it: cut short, and with control bytes as
// '?', so the line stays one line.
const char* Shown(const char* value) {
  static char shown[72];
  size_t length = Utf8PrefixLength(value, strlen(value), sizeof shown - 4);
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(value[i]);
    shown[i] = c < 0x20 || c == 0x7F ? '?' : value[i];
  }
  if (length < strlen(value)) {
    memcpy(shown + length, "...", 3);
    length += 3;
  }
  shown[length] = '\0';
  return shown;
}

bool Fail(char* error, size_t size, const char* name, const char* wanted, const char* value) {
  snprintf(error, size, "%s takes %s, not '%s'", name, wanted, Shown(value));
  return false;
}

// Decimal digits only, from first to last, as a 32-bit value.
bool ReadDigits(const char* first, const char* last, int32_t* value) {
  if (first == last || *first < '0' || *first > '9') return false;
  std::from_chars_result read = std::from_chars(first, last, *value);
  return read.ec == std::errc() && read.ptr == last;
}

bool IsWholeFromZero(const char* value) {
  int32_t number = 0;
  return ReadDigits(value, value + strlen(value), &number);
}

bool IsSkipSeparator(char c) { return c == ',' || c == ' '; }

// Page numbers from 1, separated by commas or spaces; none at all is an
// empty list.
bool IsSkipList(const char* value) {
  const char* p = value;
  while (*p != '\0') {
    if (IsSkipSeparator(*p)) {
      ++p;
      continue;
    }
    const char* end = p;
    while (*end != '\0' && !IsSkipSeparator(*end)) ++end;
    int32_t page = 0;
    if (!ReadDigits(p, end, &page) || page < 1 || page > kHighestSkip) return false;
    p = end;
  }
  return true;
}

// Digits with an optional fraction ("80", "72.5"), above zero.
bool IsPositiveNumber(const char* value) {
  const char* end = value + strlen(value);
  const char* dot = strchr(value, '.');
  int32_t whole = 0;
  if (!ReadDigits(value, dot != nullptr ? dot : end, &whole)) return false;
  bool nonZero = whole > 0;
  if (dot != nullptr) {
    if (dot + 1 == end) return false;
    for (const char* p = dot + 1; p < end; ++p) {
      if (*p < '0' || *p > '9') return false;
      nonZero = nonZero || *p != '0';
    }
  }
  return nonZero;
}

bool CheckText(const Option& option, const char* value, char* error, size_t errorSize) {
  switch (option.check) {
    case Check::Any: return true;
    case Check::WholeFromZero:
      return IsWholeFromZero(value) || Fail(error, errorSize, option.name, "a whole number from 0", value);
    case Check::SkipList:
      return IsSkipList(value) ||
             Fail(error, errorSize, option.name,
                  "page numbers from 1 to 9999 separated by commas or spaces", value);
    case Check::PositiveNumber:
      return IsPositiveNumber(value) ||
             Fail(error, errorSize, option.name, "a positive number such as 80 or 72.5 (no %)", value);
  }
  return true;
}

bool TooLong(char* error, size_t size, const char* name) {
  snprintf(error, size, "the value of %s is longer than 31999 bytes", name);
  return false;
}

// Checks one option's value and, with apply, stores it.
bool TakeValue(const Option& option, const char* value, bool apply, CliRequest* request,
               char* error, size_t errorSize) {
  request->textsGiven |= option.text;
  switch (option.kind) {
    case Kind::Text:
      if (strlen(value) >= kTextSlotSize) return TooLong(error, errorSize, option.name);
      if (!CheckText(option, value, error, errorSize)) return false;
      if (apply) SetTextSlot(option.index, value);
      return true;
    case Kind::Color: {
      int choice = Choice(value, "black", "gray");
      if (choice < 0 && strlen(value) >= kTextSlotSize) return TooLong(error, errorSize, option.name);
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
        return Fail(error, errorSize, option.name, position ? "right or center" : "slash or paren", value);
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
    case Kind::NoBackup:
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

}  // namespace

bool CheckCliCombination(const CliRequest& r, char* error, size_t errorSize) {
  bool rewriting = r.command == CliCommand::Execute || r.command == CliCommand::Delete;
  if (r.outputPath != nullptr) {
    if (!rewriting) return Refuse(error, errorSize, "--output is for execute and delete");
    if (r.fileCount != 1) return Refuse(error, errorSize, "--output takes exactly one input file");
    if (r.book) return Refuse(error, errorSize, "--output and --continue do not go together");
  }
  if (r.book && r.command != CliCommand::Execute && r.command != CliCommand::Check) {
    return Refuse(error, errorSize, "--continue is for execute and check");
  }
  if (r.noBackup && !rewriting) return Refuse(error, errorSize, "--no-backup is for execute and delete");
  int standardInputs = 0;
  for (int i = 0; i < r.fileCount; ++i) {
    if (strcmp(r.files[i], "-") == 0) ++standardInputs;
  }
  if (standardInputs > 1) return Refuse(error, errorSize, "standard input (-) can be read only once");
  if (standardInputs > 0 && r.outputPath == nullptr && r.command != CliCommand::Check) {
    return Refuse(error, errorSize, "standard input (-) is read by check, or with --output");
  }
  return true;
}

const char* CliHelp(CliCommand command) {
  switch (command) {
    case CliCommand::Execute: return kExecuteHelp;
    case CliCommand::Delete: return kDeleteHelp;
    case CliCommand::Undo: return kUndoHelp;
    case CliCommand::Check: return kCheckHelp;
    case CliCommand::None: break;
  }
  return kGeneralHelp;
}

CliParse ParseCliArguments(int argc, const char* const* argv, bool apply, CliRequest* request,
                           char* error, size_t errorSize) {
  request->command = CliCommand::None;
  request->settingsPath = nullptr;
  request->noSettings = false;
  request->outputPath = nullptr;
  request->book = false;
  request->noBackup = false;
  request->textsGiven = 0;
  request->fileCount = 0;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    bool isOption = !optionsEnded && argument[0] == '-' && argument[1] != '\0';
    if (!isOption) {
      if (request->command == CliCommand::None) {
        request->command = CommandNamed(argument);
        if (request->command == CliCommand::None) {
          snprintf(error, errorSize, "unknown command '%s' (execute, delete, undo, check or verify)", Shown(argument));
          return CliParse::Usage;
        }
      } else {
        request->files[request->fileCount++] = argument;
      }
      continue;
    }
    if (strcmp(argument, "--") == 0) {
      optionsEnded = true;
      continue;
    }
    if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) return CliParse::Help;
    if (strcmp(argument, "--version") == 0 || strcmp(argument, "-V") == 0) return CliParse::Version;
    if (strcmp(argument, "--no-settings") == 0) {
      request->noSettings = true;
      continue;
    }
    const char* equals = strchr(argument, '=');
    size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - argument) : strlen(argument);
    const Option* option = FindOption(argument, nameLength);
    if (option == nullptr) {
      snprintf(error, errorSize, "unknown option '%.*s'", static_cast<int>(nameLength > 60 ? 60 : nameLength),
               Shown(argument));
      return CliParse::Usage;
    }
    if (option->kind == Kind::Switch || option->kind == Kind::Book || option->kind == Kind::NoBackup) {
      if (equals != nullptr) {
        snprintf(error, errorSize, "%s takes no value", option->name);
        return CliParse::Usage;
      }
      if (option->kind == Kind::Book) request->book = true;
      if (option->kind == Kind::NoBackup) request->noBackup = true;
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
    }
    if (!TakeValue(*option, value, apply, request, error, errorSize)) return CliParse::Usage;
  }
  if (request->command == CliCommand::None) {
    snprintf(error, errorSize, "no command given (execute, delete, undo, check or verify)");
    return CliParse::Usage;
  }
  if (request->fileCount == 0) {
    snprintf(error, errorSize, "no file given");
    return CliParse::Usage;
  }
  return CheckCliCombination(*request, error, errorSize) ? CliParse::Run : CliParse::Usage;
}
