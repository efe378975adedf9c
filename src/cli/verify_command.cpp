#include "cli/verify_command.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "cli/cli_platform.h"
#include "cli/verify_scratch.h"
#include "verify/verify_report.h"
#include "verify/verify_run.h"

namespace {

constexpr int kExitAgree = 0;
constexpr int kExitDisagree = 1;
constexpr int kExitUsage = 2;

const char kVerifyUsage[] =
    "Usage: foliostamp-cli verify [--fix] FILE.md FILE.pdf\n"
    "       foliostamp-cli verify - FILE.pdf\n"
    "\n"
    "Finds on which sheet of the PDF each page-number line of the Markdown file\n"
    "landed. Reports every page that runs over more than one sheet, and every\n"
    "number that does not stand on its sheet or whose total is not the PDF's\n"
    "number of sheets. Settings files and numbering options play no part.\n"
    "With - the Markdown is read from standard input.\n"
    "\n"
    "  --fix   rewrite the numbers in the Markdown file (after copying it to its\n"
    "          .bak file) so that they agree with the PDF: each page's number\n"
    "          becomes its sheet, the total the number of sheets, and each\n"
    "          heading's annotation the sheet it is printed on. Then export again.\n"
    "\n"
    "Results go to standard output, errors to standard error. Exit status: 0\n"
    "when the numbers agree (or were fixed), 1 when they do not or a file\n"
    "cannot be used, 2 on a usage error.\n";

const char kStandardInput[] = "-";
const char kStandardInputName[] = "(standard input)";

// Everything goes out through PrintUtf8: UTF-8 text with the platform's
// line ends, readable in a Windows console.
void Say(FILE* stream, const char* format, ...) {
  static char text[kReportLineSize + 2];  // a report line and its line end
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  PrintUtf8(stream, text);
}

int UsageError(const char* reason) {
  Say(stderr, "foliostamp-cli verify: %s (see foliostamp-cli verify --help)\n", reason);
  return kExitUsage;
}

// Results go to standard output, errors and refusals to standard error.
bool PrintReportLine(void*, ReportLineKind kind, const char* line) {
  Say(kind == ReportLineKind::Error ? stderr : stdout, "%s\n", line);
  return true;
}

int Report(const VerifyRun& run, const char* markdownPath, const char* pdfPath) {
  if (run.step == VerifyStep::PdfProblem && run.pdfStatus == PdfStatus::ModuleMissing) {
    PrintUtf8(stderr, "foliostamp-cli verify: the PDF reader (libfoliostamp_pdf.so) beside "
                      "this foliostamp-cli cannot be loaded\n");
    return kExitUsage;
  }
  ForEachReportLine(run, ReportPaths{markdownPath, pdfPath}, PrintReportLine, nullptr);
  return ReportVerdictOf(run) == ReportVerdict::Agree ? kExitAgree : kExitDisagree;
}

// Copies standard input to a scratch file in blocks, so that a document of
// any size is read as a file is. False when it cannot be kept.
bool SpoolStandardInput(char* path, size_t pathSize) {
  FILE* scratch = CreateScratchFile(path, pathSize);
  if (scratch == nullptr) return false;
  static char block[1 << 16];
  bool ok = true;
  size_t got;
  while (ok && (got = fread(block, 1, sizeof block, stdin)) > 0) {
    ok = fwrite(block, 1, got, scratch) == got;
  }
  ok = ok && !ferror(stdin);
  if (fclose(scratch) != 0) ok = false;
  if (!ok) RemoveScratchFile(path);
  return ok;
}

int VerifyStandardInput(const char* pdfPath, VerifyRun* run) {
  char scratch[4096];
  if (!SpoolStandardInput(scratch, sizeof scratch)) {
    Say(stderr, "Error: The Markdown text cannot be read from standard input.\n");
    return kExitDisagree;
  }
  RunVerify(scratch, pdfPath, false, run);
  RemoveScratchFile(scratch);
  return Report(*run, kStandardInputName, pdfPath);
}

}  // namespace

bool IsVerifyCommand(int argc, const char* const* argv) {
  return argc >= 2 && strcmp(argv[1], "verify") == 0;
}

int RunVerifyCommand(int argc, const char* const* argv) {
  bool fix = false;
  const char* files[2] = {nullptr, nullptr};
  int fileCount = 0;
  for (int i = 2; i < argc; ++i) {
    const char* argument = argv[i];
    if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
      PrintUtf8(stdout, kVerifyUsage);
      return kExitAgree;
    }
    if (strcmp(argument, "--fix") == 0) {
      fix = true;
    } else if (argument[0] == '-' && argument[1] != '\0') {
      char reason[160];
      snprintf(reason, sizeof reason, "unknown option '%.100s'", argument);
      return UsageError(reason);
    } else if (fileCount < 2) {
      files[fileCount++] = argument;
    } else {
      return UsageError("give one Markdown file and one PDF file");
    }
  }
  if (fileCount != 2) return UsageError("give one Markdown file and one PDF file");
  if (strcmp(files[1], kStandardInput) == 0) {
    return UsageError("the PDF is read from a file, not from standard input (-)");
  }
  bool fromInput = strcmp(files[0], kStandardInput) == 0;
  if (fromInput && fix) return UsageError("--fix rewrites a file: give its name, not -");
  if (!PdfSupportBuiltIn()) {
    PrintUtf8(stderr, "foliostamp-cli verify: this foliostamp-cli was built without PDF support\n");
    return kExitUsage;
  }
  static VerifyRun run;
  int exitCode = 0;
  if (fromInput) {
    exitCode = VerifyStandardInput(files[1], &run);
  } else {
    RunVerify(files[0], files[1], fix, &run);
    exitCode = Report(run, files[0], files[1]);
  }
  fflush(stdout);
  fflush(stderr);
  return exitCode;
}
