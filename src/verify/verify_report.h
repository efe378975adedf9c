// Verify's report: the text lines that tell the user how a VerifyRun ended,
// the same for the command-line tool and the window. Each line is a result
// (the findings, "The page numbers agree...") or an error (a file that
// cannot be used, a refusal), which the tool sends to standard error.
//
//   ForEachReportLine   hands the lines out one by one, in order;
//   CountReportLines    how many lines there are;
//   ReportLineAt        line i (from 0) and its kind;
//   WriteVerifyReport   the whole report into one buffer, "\r\n" between
//                       lines (none after the last), for a text control;
//   ReportVerdictOf     what the run means for the caller's next step.
//
// Lines carry no line end. The paths are shown as the caller gives them.
// One report at a time: the functions share one line buffer.
// Nothing is allocated; a line longer than kReportLineSize - 1 bytes is cut.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "verify/verify_run.h"

constexpr size_t kReportLineSize = 8192;

enum class ReportLineKind { Result, Error };

enum class ReportVerdict {
  Agree,       // every number agrees, or --fix wrote the new numbers
  Fixable,     // numbers disagree and --fix can rewrite them
  Disagree,    // numbers disagree, but --fix would refuse (lines not in the PDF)
  Problem,     // a file cannot be used, or --fix failed: only error lines follow
};

struct ReportPaths {
  const char* markdown;
  const char* pdf;
};

// Called once per line; answers false to stop.
using ReportLineSink = bool (*)(void* context, ReportLineKind kind, const char* line);

void ForEachReportLine(const VerifyRun& run, const ReportPaths& paths, ReportLineSink sink,
                       void* context);

int32_t CountReportLines(const VerifyRun& run, const ReportPaths& paths);

// Writes line `index` into out (cut to outSize - 1 bytes). False, with out
// empty, when there is no such line.
bool ReportLineAt(const VerifyRun& run, const ReportPaths& paths, int32_t index, char* out,
                  size_t outSize, ReportLineKind* kind);

// Writes the report into out, NUL-terminated, cut at a line's end (or within
// a line if even the first does not fit). Answers the number of bytes
// written without the NUL; *complete is false when lines were left out.
size_t WriteVerifyReport(const VerifyRun& run, const ReportPaths& paths, char* out,
                         size_t outSize, bool* complete);

ReportVerdict ReportVerdictOf(const VerifyRun& run);
