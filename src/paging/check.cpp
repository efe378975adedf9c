// Check: the new text compared with the document byte for byte instead of
// written, so nothing changes; reads the document once when it can.
#include <string.h>

#include "common/numbers.h"
#include "common/utf8.h"
#include "paging/job_parts.h"
#include "paging/result_texts.h"

namespace {

// Elsewhere: another file, standard output, or a comparison.

char compareWindow[1 << 20];

// Compares what the pass writes with the source, byte for byte, through a
// window of the source that moves along with the output.
struct Comparison {
  FILE* source;
  uint64_t size;
  uint64_t position;  // output offset of the next byte
  uint64_t windowStart;
  size_t windowLength;
  bool differs;
};
Comparison comparison;

// Once a difference is found, the rest is only counted: a check reports
// the document's whole page total either way.
bool CompareWrite(void* context, const char* data, size_t length) {
  Comparison& c = *static_cast<Comparison*>(context);
  if (c.differs) return true;
  if (c.position + length > c.size) {
    c.differs = true;
    return true;
  }
  while (length > 0) {
    if (c.position < c.windowStart || c.position >= c.windowStart + c.windowLength) {
      uint64_t left = c.size - c.position;
      c.windowLength = left < sizeof compareWindow ? static_cast<size_t>(left) : sizeof compareWindow;
      c.windowStart = c.position;
      if (!ReadAt(c.source, c.windowStart, compareWindow, c.windowLength)) return false;
    }
    size_t at = static_cast<size_t>(c.position - c.windowStart);
    size_t chunk = c.windowLength - at < length ? c.windowLength - at : length;
    if (memcmp(compareWindow + at, data, chunk) != 0) {
      c.differs = true;
      return true;
    }
    data += chunk;
    length -= chunk;
    c.position += chunk;
  }
  return true;
}

// Bytes copied from the source to where they already stand are equal.
bool CompareCopy(void* context, const char* data, size_t length, uint64_t sourceOffset,
                 uint64_t outputOffset) {
  Comparison& c = *static_cast<Comparison*>(context);
  if (c.differs) return true;
  if (sourceOffset == outputOffset) {
    c.position += length;
    return true;
  }
  return CompareWrite(context, data, length);
}

// The total shown by the number line that stands in the source where the
// comparison has got to; 0 when there is none.
int32_t TotalShownInSource() {
  Comparison& c = comparison;
  char text[kHeadSize + 64];
  uint64_t left = c.position < c.size ? c.size - c.position : 0;
  size_t length = left < sizeof text ? static_cast<size_t>(left) : sizeof text;
  if (!ReadAt(c.source, c.position, text, length)) return 0;
  const char* lf = static_cast<const char*>(memchr(text, '\n', length));
  size_t lineLength = lf != nullptr ? static_cast<size_t>(lf - text) + 1 : length;
  LinePiece line = {text, lineLength, true, lf != nullptr || length == left, c.position};
  NumberLineParts parts;
  return ParseNumberLine(line, &parts) ? parts.total : 0;
}

// The document's first line, read without a pass of its own: the line
// ending the job adds, whether it starts with a byte order mark, and
// whether front matter may follow (it opens it, or is an old number line
// that may stand above it).
bool TakeFirstLine(FILE* file, bool* bom, bool* frontMatter) {
  char block[4096];
  uint64_t at = 0;
  FirstLineEnd end;
  StartFirstLineEnd(&end);
  *bom = false;
  *frontMatter = false;
  for (;;) {
    size_t length = comparison.size - at < sizeof block ? static_cast<size_t>(comparison.size - at)
                                                          : sizeof block;
    if (length == 0) break;
    if (!ReadAt(file, at, block, length)) return false;
    const char* lf = static_cast<const char*>(memchr(block, '\n', length));
    size_t lineLength = lf != nullptr ? static_cast<size_t>(lf - block) + 1 : length;
    if (at == 0) {
      *bom = StartsWithUtf8Bom(block, length);
      LinePiece first = {block, lineLength, true, lf != nullptr || length == comparison.size, 0};
      // Front matter may also stand below an old number line.
      LinePiece line = AfterByteOrderMark(first);
      *frontMatter = IsFrontMatterOpener(line) || IsOldNumberLine(line);
    }
    TakeFirstLineBytes(&end, block, lineLength);
    if (lf != nullptr) break;
    at += length;
  }
  job.eolStyle = EolStyleOf(end);
  return true;
}

JobReport RunComparison() {
  const char* path = job.input.markdownPath;
  if (!OpenSource(path)) return Report(JobOutcome::Refused);
  comparison.source = OpenSharedForReading(path);
  int64_t size = comparison.source != nullptr ? OpenFileSize(comparison.source) : -1;
  if (size < 0) {
    if (comparison.source != nullptr) fclose(comparison.source);
    CloseSource();
    return Refuse(kReadFailed, path);
  }
  comparison.size = static_cast<uint64_t>(size);
  comparison.position = 0;
  comparison.windowStart = 0;
  comparison.windowLength = 0;
  comparison.differs = false;
  bool bom = false;
  bool frontMatter = false;
  bool ready = TakeFirstLine(comparison.source, &bom, &frontMatter);
  // Where front matter ends takes the counting pass to know.
  bool onePass = ready && HeadsAgree() && !frontMatter;
  Utf8Scan scan;
  StartUtf8Scan(&scan);
  if (onePass) {
    job.head = Utf8Head();
    job.pageTotal = job.frame.bookTotal;
    job.totalFromDocument = job.frame.bookTotal == 0;
    StartReading(&job.reader, job.source, readBuffer, kReadBufferSize, kPieceLimit);
    job.reader.scan = &scan;
  } else {
    ready = ready && Count() && RestartSource();
    if (ready && !SelectHead()) {
      fclose(comparison.source);
      CloseSource();
      return Report(JobOutcome::Refused);
    }
  }
  ByteSink sink = {CompareWrite, CompareCopy, &comparison};
  // No buffer: every byte reaches the comparison as it is written.
  StartWriting(&job.writer, sink, writeBuffer, 0);
  bool compared = ready && RewritePass(job) == PassOutcome::Done;
  fclose(comparison.source);
  CloseSource();
  if (!compared) return Refuse(kReadFailed, path);
  if (onePass) {
    job.utf8 = bom || Utf8ScanValid(scan);
    if (job.totalTaken && job.pageTotal != job.lastPage) comparison.differs = true;
    job.pageTotal = job.frame.bookTotal != 0 ? job.frame.bookTotal : job.lastPage;
  }
  JobReport report = Done();
  report.differs = comparison.differs || comparison.position != comparison.size;
  return report;
}

}  // namespace

JobReport CheckDocument(const JobInput& input, NumberingFrame frame) {
  StartJob(input, true, frame);
  if (!PrepareTexts() || !DeriveBackupPath(input.markdownPath)) return Report(JobOutcome::Refused);
  return RunComparison();
}

int32_t TotalForNumberLine(JobState& state) {
  if (state.totalFromDocument && !state.totalTaken) {
    state.pageTotal = TotalShownInSource();
    state.totalTaken = true;
  }
  return state.pageTotal;
}

void CheckPageNumbers(const JobInput& input, JobEnding ending, void* context) {
  ending(context, CheckDocument(input, SingleDocument(input)));
}
