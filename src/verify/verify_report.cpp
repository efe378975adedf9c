#include "verify/verify_report.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

// What the user can do when the PDF lacks the document's number lines: it
// was most likely exported before the last Execute or fix.
const char kExportAgain[] =
    "The PDF may be older than the document: export it again from the numbered document.";

struct Emitter {
  ReportLineSink sink;
  void* context;
  bool stopped;
  char line[kReportLineSize];
};

void Emit(Emitter* e, ReportLineKind kind, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

void Emit(Emitter* e, ReportLineKind kind, const char* format, ...) {
  if (e->stopped) return;
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(e->line, sizeof e->line, format, arguments);
  va_end(arguments);
  if (!e->sink(e->context, kind, e->line)) e->stopped = true;
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
    case PdfStatus::NoSupport: return "Error: This program was built without PDF support: ";
    case PdfStatus::ModuleMissing: return "Error: The PDF reader cannot be loaded: ";
    case PdfStatus::Unreadable:
    case PdfStatus::Ok: break;
  }
  return "Error: The PDF file cannot be read: ";
}

bool LacksLines(const VerifyRun& run) {
  for (int32_t i = 0; i < run.findingCount; ++i) {
    if (run.findings[i].kind == FindingKind::NotFound) return true;
  }
  return false;
}

bool CannotFix(const VerifyRun& run) {
  for (int32_t i = 0; i < run.findingCount; ++i) {
    FindingKind kind = run.findings[i].kind;
    if (kind == FindingKind::NotFound || kind == FindingKind::TwoCandidates) return true;
  }
  return false;
}

// With spillsOnly, only the pages that run over: what --fix does not change.
void EmitFindings(Emitter* e, const VerifyRun& run, bool spillsOnly) {
  for (int32_t i = 0; i < run.findingCount && !e->stopped; ++i) {
    if (spillsOnly && run.findings[i].kind != FindingKind::Spill) continue;
    FormatFinding(run.findings[i], e->line, sizeof e->line);
    if (!e->sink(e->context, ReportLineKind::Result, e->line)) e->stopped = true;
  }
}

// The fix's text holds one or more lines with CR LF between them.
void EmitText(Emitter* e, ReportLineKind kind, const char* text) {
  const char* p = text;
  while (!e->stopped) {
    const char* end = strchr(p, '\n');
    size_t length = end != nullptr ? static_cast<size_t>(end - p) : strlen(p);
    size_t shown = length > 0 && p[length - 1] == '\r' ? length - 1 : length;
    if (end == nullptr && shown == 0) return;
    Emit(e, kind, "%.*s", static_cast<int>(shown), p);
    if (end == nullptr) return;
    p = end + 1;
  }
}

void EmitComparison(Emitter* e, const VerifyRun& run, const ReportPaths& paths) {
  switch (run.outcome) {
    case VerifyOutcome::NoNumberLines:
      Emit(e, ReportLineKind::Error,
           "Error: The Markdown file has no page-number lines (number it with execute first): %s",
           paths.markdown);
      return;
    case VerifyOutcome::NumbersHidden:
      Emit(e, ReportLineKind::Error,
           "Error: The page-number lines print no page number: their header holds a '<' that the "
           "browser reads as the start of a tag: %s",
           paths.markdown);
      return;
    case VerifyOutcome::NoneFound:
      Emit(e, ReportLineKind::Error,
           "Error: The PDF file holds none of this document's page-number lines: %s", paths.pdf);
      Emit(e, ReportLineKind::Error, "%s", kExportAgain);
      return;
    case VerifyOutcome::Disagree:
      EmitFindings(e, run, false);
      if (LacksLines(run)) Emit(e, ReportLineKind::Result, "%s", kExportAgain);
      return;
    case VerifyOutcome::Agree: break;
  }
  EmitFindings(e, run, false);
  Emit(e, ReportLineKind::Result, "The page numbers agree with the PDF's %d sheet%s.",
       run.sheetCount, run.sheetCount == 1 ? "" : "s");
}

struct LineCatch {
  int32_t wanted;
  int32_t seen;
  char* out;
  size_t outSize;
  ReportLineKind kind;
  bool found;
};

bool CountLine(void* context, ReportLineKind, const char*) {
  *static_cast<int32_t*>(context) += 1;
  return true;
}

bool CatchLine(void* context, ReportLineKind kind, const char* line) {
  LineCatch* c = static_cast<LineCatch*>(context);
  if (c->seen++ != c->wanted) return true;
  snprintf(c->out, c->outSize, "%s", line);
  c->kind = kind;
  c->found = true;
  return false;
}

struct ReportBuffer {
  char* out;
  size_t size;
  size_t used;
  bool complete;
};

bool AppendLine(void* context, ReportLineKind, const char* line) {
  ReportBuffer* b = static_cast<ReportBuffer*>(context);
  size_t separator = b->used > 0 ? 2 : 0;
  size_t length = strlen(line);
  if (b->used + separator + length + 1 > b->size) {
    // Only a first line that does not fit is cut; later ones are left out.
    if (b->used == 0 && b->size > 0) {
      memcpy(b->out, line, b->size - 1);
      b->used = b->size - 1;
    }
    b->complete = false;
    return false;
  }
  memcpy(b->out + b->used, "\r\n", separator);
  memcpy(b->out + b->used + separator, line, length);
  b->used += separator + length;
  return true;
}

}  // namespace

void ForEachReportLine(const VerifyRun& run, const ReportPaths& paths, ReportLineSink sink,
                       void* context) {
  static Emitter e;  // its line is too large for a worker thread's stack
  e.sink = sink;
  e.context = context;
  e.stopped = false;
  switch (run.step) {
    case VerifyStep::MarkdownProblem:
      Emit(&e, ReportLineKind::Error, "%s%s", MarkdownProblemText(run.scanStatus), paths.markdown);
      return;
    case VerifyStep::PdfProblem:
      Emit(&e, ReportLineKind::Error, "%s%s", PdfProblemText(run.pdfStatus), paths.pdf);
      return;
    case VerifyStep::FixRefused:
      EmitFindings(&e, run, false);
      if (LacksLines(run)) Emit(&e, ReportLineKind::Result, "%s", kExportAgain);
      Emit(&e, ReportLineKind::Error,
           "Error: Not fixed: some page-number lines are not in the PDF or not on one sheet.");
      return;
    case VerifyStep::FixDone: {
      bool written = run.fix.outcome == FixOutcome::Written;
      EmitFindings(&e, run, written);
      EmitText(&e, written ? ReportLineKind::Result : ReportLineKind::Error, run.fix.text);
      return;
    }
    case VerifyStep::Compared: break;
  }
  EmitComparison(&e, run, paths);
}

int32_t CountReportLines(const VerifyRun& run, const ReportPaths& paths) {
  int32_t count = 0;
  ForEachReportLine(run, paths, CountLine, &count);
  return count;
}

bool ReportLineAt(const VerifyRun& run, const ReportPaths& paths, int32_t index, char* out,
                  size_t outSize, ReportLineKind* kind) {
  LineCatch c = {index, 0, out, outSize, ReportLineKind::Result, false};
  if (outSize > 0) out[0] = '\0';
  ForEachReportLine(run, paths, CatchLine, &c);
  *kind = c.kind;
  return c.found;
}

size_t WriteVerifyReport(const VerifyRun& run, const ReportPaths& paths, char* out,
                         size_t outSize, bool* complete) {
  ReportBuffer b = {out, outSize, 0, true};
  ForEachReportLine(run, paths, AppendLine, &b);
  if (outSize > 0) out[b.used] = '\0';
  *complete = b.complete;
  return b.used;
}

ReportVerdict ReportVerdictOf(const VerifyRun& run) {
  switch (run.step) {
    case VerifyStep::MarkdownProblem:
    case VerifyStep::PdfProblem: return ReportVerdict::Problem;
    case VerifyStep::FixRefused: return ReportVerdict::Disagree;
    case VerifyStep::FixDone:
      return run.fix.outcome == FixOutcome::Written ? ReportVerdict::Agree : ReportVerdict::Problem;
    case VerifyStep::Compared: break;
  }
  switch (run.outcome) {
    case VerifyOutcome::Agree: return ReportVerdict::Agree;
    case VerifyOutcome::Disagree:
      return CannotFix(run) ? ReportVerdict::Disagree : ReportVerdict::Fixable;
    case VerifyOutcome::NoneFound:
    case VerifyOutcome::NoNumberLines:
    case VerifyOutcome::NumbersHidden: break;
  }
  return ReportVerdict::Problem;
}
