// Taking page numbers out again: the page-number lines where they are
// written, and the page annotations of heading lines.
#include "paging/job_steps.h"

namespace {

bool WriteHeading(JobState& job, const LinePiece& line, size_t space) {
  ptrdiff_t annotation = line.endsLine ? FindAnnotation(line, space) : -1;
  if (annotation < 0) return CopyLine(job, line);
  WriteBytes(&job.writer, line.data, static_cast<size_t>(annotation));
  WriteText(&job.writer, LineEnding(job));
  return true;
}

PassOutcome RemovePass(JobState& job) {
  LinePiece line;
  ReadStatus status = ReadPiece(&job.reader, &line);
  if (status == ReadStatus::Piece && IsOldNumberLine(line)) status = ReadPiece(&job.reader, &line);

  while (status == ReadStatus::Piece && !job.writer.failed) {
    ptrdiff_t space = -1;
    bool copied = true;
    if (IsPageBreak(line)) {
      status = CopyPageBreak(job, line, nullptr, 0);
      if (status != ReadStatus::Piece) break;
    } else if ((space = HeadingSpace(line)) >= 0) {
      copied = WriteHeading(job, line, static_cast<size_t>(space));
    } else {
      copied = CopyLine(job, line);
    }
    if (!copied) return PassOutcome::Failed;
    status = ReadPiece(&job.reader, &line);
  }
  return PassEnd(job, status);
}

}  // namespace

void RemovePageNumbers(const JobInput& input, JobEnding ending, void* context) {
  RunRewritingJob(input, nullptr, RemovePass, ending, context);
}
