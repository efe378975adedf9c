// The new text going elsewhere than over the document: to a file, which is
// replaced safely (a device or a pipe is written straight through), or to
// standard output. The document is left as it is and no backup is made.
#include <string.h>

#include "paging/job_parts.h"
#include "paging/result_texts.h"

namespace {

Replacement output;

bool FinishOutput(FILE* file) {
  bool written = RewritePass(job) == PassOutcome::Done && FlushWriting(&job.writer);
  if (file == stdout) return fflush(stdout) == 0 && written;
  if (written) return FinishReplacement(&output);
  AbandonReplacement(&output);
  return false;
}

JobReport RefuseOutput(FileProblem problem, const char* outputPath) {
  if (problem == FileProblem::Denied || problem == FileProblem::NotAFile) {
    return RefuseFor(problem, outputPath);
  }
  return Refuse(kWriteFailed, outputPath);
}

JobReport RunToOutput(const char* outputPath) {
  const char* source = job.input.markdownPath;
  if (!OpenPlainSource(source)) return Report(JobOutcome::Refused);
  if (!Count()) {
    CloseSource();
    return Refuse(kReadFailed, InputName(source));
  }
  if (job.inserting && !SelectHead()) {
    CloseSource();
    return Report(JobOutcome::Refused);
  }
  FILE* stream = stdout;
  if (strcmp(outputPath, "-") != 0) {
    if (strlen(outputPath) > kPathBufferSize - 1) {
      CloseSource();
      return Refuse(kTooLong);
    }
    FileProblem problem = BeginReplacement(outputPath, ReplaceWay::ThroughOtherKinds, &output);
    if (problem != FileProblem::None) {
      CloseSource();
      return RefuseOutput(problem, outputPath);
    }
    stream = output.stream;
  }
  ByteSink sink = stream == stdout ? FileSink(stdout) : ReplacementSink(&output);
  StartWriting(&job.writer, sink, writeBuffer, kWriteBufferSize);
  bool written = RestartSource() && FinishOutput(stream);
  if (!written && stream != stdout) AbandonReplacement(&output);
  CloseSource();
  if (!written) return Refuse(kWriteFailed, OutputName(outputPath));
  return Done();
}

}  // namespace

void RewriteToOutput(RewriteKind kind, const JobInput& input, const char* outputPath,
                     JobEnding ending, void* context) {
  bool inserting = kind == RewriteKind::Insert;
  StartJob(input, inserting, SingleDocument(input));
  if (inserting && !PrepareTexts()) {
    ending(context, Report(JobOutcome::Refused));
    return;
  }
  ending(context, RunToOutput(outputPath));
}
