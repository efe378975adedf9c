#include "cli/verify_command.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "cli/cli_platform.h"
#include "verify/verify_run.h"

namespace {

constexpr int kExitAgree = 0;
constexpr int kExitDisagree = 1;
constexpr int kExitUsage = 2;

const char kVerifyUsage[] =
    "Usage: foliostamp-cli verify [--fix] FILE.md FILE.pdf\n"
    "\n"
    "Finds on which sheet of the PDF each page-number line of the Markdown file\n"
    "landed. Reports every page that runs over more than one sheet, and every\n"
    "number that does not stand on its sheet or whose total is not the PDF's\n"
    "number of sheets. Settings files and numbering options play no part.\n"
    "\n"
    "  --fix   rewrite the numbers in the Markdown file (after copying it to its\n"
    "          .bak file) so that they agree with the PDF: each page's number\n"
    "          becomes its sheet, the total the number of sheets, and each\n"
    "          heading's annotation the sheet it is printed on. Then export again.\n"
    "\n"
    "Exit status: 0 when the numbers agree (or were fixed), 1 when they do not\n"
    "or a file cannot be used, 2 on a usage error.\n";

// Everything goes out through PrintUtf8: UTF-8 text with the platform's
// line ends, readable in a Windows console.
void Say(FILE* stream, const char* format, ...) {
  char text[4096];
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

// Prints a result text with the platform's line ends (its CR LF pairs
// become "\n"), ending with one.
void PrintResult(const char* text) {
  char line[4096];
  size_t used = 0;
  for (const char* p = text; *p != '\0' && used + 2 < sizeof line; ++p) {
    if (*p == '\r' && p[1] == '\n') continue;
    line[used++] = *p;
  }
  if (used == 0 || line[used - 1] != '\n') line[used++] = '\n';
  line[used] = '\0';
  PrintUtf8(stdout, line);
}

const char* MarkdownProblemText(ScanStatus status) {
  switch (status) {
    case ScanStatus::TooLarge:
      return "Error: The Markdown file has more page-number lines or headings than verify holds: ";
    case ScanStatus::Unreadable:
    case ScanStatus::Ok: break;
  }
  return "Error: The Markdown file cannot be read: ";
}

const char* PdfProblemText(PdfStatus status) {
  switch (status) {
    case PdfStatus::Missing: return "Error: The PDF file does not exist: ";
    case PdfStatus::NotPdf: return "Error: Not a PDF file: ";
    case PdfStatus::Encrypted: return "Error: The PDF file is encrypted: ";
    case PdfStatus::TooLarge: return "Error: The PDF file holds more text than verify holds: ";
    case PdfStatus::Unreadable:
    case PdfStatus::NoSupport:
    case PdfStatus::ModuleMissing:
    case PdfStatus::Ok: break;
  }
  return "Error: The PDF file cannot be read: ";
}

// With spillsOnly, only the pages that run over: what --fix does not change.
void PrintFindings(const VerifyRun& run, bool spillsOnly) {
  char line[256];
  for (int32_t i = 0; i < run.findingCount; ++i) {
    if (spillsOnly && run.findings[i].kind != FindingKind::Spill) continue;
    FormatFinding(run.findings[i], line, sizeof line);
    Say(stdout, "%s\n", line);
  }
}

int Report(const VerifyRun& run, const char* markdownPath, const char* pdfPath) {
  switch (run.step) {
    case VerifyStep::MarkdownProblem:
      Say(stdout, "%s%s\n", MarkdownProblemText(run.scanStatus), markdownPath);
      return kExitDisagree;
    case VerifyStep::PdfProblem:
      if (run.pdfStatus == PdfStatus::ModuleMissing) {
        PrintUtf8(stderr, "foliostamp-cli verify: the PDF reader (libfoliostamp_pdf.so) beside "
                          "this foliostamp-cli cannot be loaded\n");
        return kExitUsage;
      }
      Say(stdout, "%s%s\n", PdfProblemText(run.pdfStatus), pdfPath);
      return kExitDisagree;
    case VerifyStep::FixRefused:
      PrintFindings(run, false);
      Say(stdout, "Error: Not fixed: some page-number lines are not in the PDF.\n");
      return kExitDisagree;
    case VerifyStep::FixDone:
      PrintFindings(run, run.fix.outcome == FixOutcome::Written);
      PrintResult(run.fix.text);
      return run.fix.outcome == FixOutcome::Written ? kExitAgree : kExitDisagree;
    case VerifyStep::Compared: break;
  }
  switch (run.outcome) {
    case VerifyOutcome::NoNumberLines:
      Say(stdout, "Error: The Markdown file has no page-number lines (number it with execute "
             "first): %s\n", markdownPath);
      return kExitDisagree;
    case VerifyOutcome::NoneFound:
      Say(stdout, "Error: The PDF file holds none of this document's page-number lines: %s\n", pdfPath);
      return kExitDisagree;
    case VerifyOutcome::Disagree:
      PrintFindings(run, false);
      return kExitDisagree;
    case VerifyOutcome::Agree: break;
  }
  PrintFindings(run, false);
  Say(stdout, "The page numbers agree with the PDF's %d sheet%s.\n", run.sheetCount,
         run.sheetCount == 1 ? "" : "s");
  return kExitAgree;
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
  if (!PdfSupportBuiltIn()) {
    PrintUtf8(stderr, "foliostamp-cli verify: this foliostamp-cli was built without PDF support\n");
    return kExitUsage;
  }
  static VerifyRun run;
  RunVerify(files[0], files[1], fix, &run);
  int exitCode = Report(run, files[0], files[1]);
  fflush(stdout);
  return exitCode;
}
