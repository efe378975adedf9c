// The rewriting jobs from start to end: their checks, the backup, the two
// passes and the ending, in place or with the new text going elsewhere.
//
//   Texts          the number line's texts checked and composed
//   Sources        opening what the passes read
//   In place       backup, count, rewrite, restore on failure
//   Elsewhere      to another file, standard output, or a comparison
//   Books          several documents numbered as one
#include "paging/job_steps.h"

#include <string.h>

#include "common/numbers.h"
#include "common/store.h"
#include "common/utf8.h"
#include "common/text_encoding.h"
#include "paging/file_ops.h"
#include "paging/result_texts.h"

namespace {

constexpr size_t kReadBufferSize = 1 << 20;   // more than a piece, so one always fits
constexpr size_t kWriteBufferSize = 1 << 20;
constexpr size_t kTextSize = 32000;           // what a text slot holds
constexpr int kMaxBookDocuments = 4096;

// Fixed storage for the one job that runs at a time.
JobState job;
char readBuffer[kReadBufferSize];
char writeBuffer[kWriteBufferSize];
char resultText[kResultSize];
NumberHead utf8Head;
NumberHead codePageHead;
char codePageTexts[3][kTextSize];

const char kBookRefused[] =
    "Error: Not numbered, because another file of the book was refused.\r\n";
const char kBookStopped[] =
    "Error: Not numbered, because an earlier file of the book failed.\r\n";
const char kBookTooLong[] = "Error: A book can have at most 4096 files.\r\n";

void SetResult(const char* format, const char* first = nullptr, const char* second = nullptr) {
  snprintf(resultText, sizeof resultText, format, first, second);
}

JobReport Report(JobOutcome outcome) {
  JobReport report = {outcome, resultText, job.pageTotal, job.lastPage, job.utf8, false};
  return report;
}

JobReport Refuse(const char* format, const char* first = nullptr, const char* second = nullptr) {
  SetResult(format, first, second);
  return Report(JobOutcome::Refused);
}

JobReport Done() {
  snprintf(resultText, sizeof resultText, kTotal, job.pageTotal);
  return Report(JobOutcome::Done);
}

// ---------------------------------------------------------------------------
// Texts.

bool HasLineBreak(const char* text) { return strpbrk(text, "\r\n") != nullptr; }

const char* ColorText(const JobInput& input, const char* custom) {
  if (input.colorChoice == 0) return "black";
  if (input.colorChoice == 1) return "gray";
  return custom;
}

void ComposeHead(const JobInput& in, const char* font, const char* color, const char* header,
                 NumberHead* head) {
  int length = snprintf(head->text, sizeof head->text,
                        "%s%s\"><span style=\"font-size: %s%%; color:%s\">%s%s", kNumberDivHead,
                        in.positionChoice == 0 ? " right" : " center", font,
                        ColorText(in, color), header, header[0] != '\0' ? "&nbsp;&nbsp;&nbsp;" : "");
  head->fits = length >= 0 && static_cast<size_t>(length) < sizeof head->text;
  head->length = head->fits ? static_cast<size_t>(length) : 0;
}

// The texts a number line shows go into a UTF-8 document as they are and
// into any other in the system code page, so the head is composed both
// ways. A text the head cannot hold in either form is refused at once;
// one that only fits in the code page's (shorter) form, once the document
// turns out to be UTF-8.
bool PrepareTexts() {
  const JobInput& in = job.input;
  bool customColor = in.colorChoice != 0 && in.colorChoice != 1;
  if (HasLineBreak(in.headerText) || HasLineBreak(in.fontSizePercent) ||
      (customColor && HasLineBreak(in.customColor))) {
    SetResult(kLineBreak);
    return false;
  }
  ComposeHead(in, in.fontSizePercent, in.customColor, in.headerText, &utf8Head);
  const char* texts[3] = {in.fontSizePercent, in.customColor, in.headerText};
  for (int i = 0; i < 3; ++i) {
    // A text that is not UTF-8 after all goes in as it is.
    if (!Utf8ToSystemCodePage(texts[i], codePageTexts[i], kTextSize, nullptr)) {
      snprintf(codePageTexts[i], kTextSize, "%s", texts[i]);
    }
  }
  ComposeHead(in, codePageTexts[0], codePageTexts[1], codePageTexts[2], &codePageHead);
  if (!utf8Head.fits && !codePageHead.fits) {
    SetResult(kTextTooLong);
    return false;
  }
  return true;
}

// Picks the head for the document the counting pass has seen.
bool SelectHead() {
  job.head = job.utf8 || SystemCodePageIsUtf8() ? &utf8Head : &codePageHead;
  if (job.head->fits) return true;
  SetResult(kTextTooLong);
  return false;
}

// ---------------------------------------------------------------------------
// Sources.

// The backup's name beside the Markdown file, or a refusal.
bool DeriveBackupPath(const char* markdownPath) {
  switch (MakeBackupPath(markdownPath, false, job.backupPath, sizeof job.backupPath)) {
    case BackupName::Made: return true;
    case BackupName::NoMdFile: SetResult(kNoMdFile); return false;
    case BackupName::TooLong: break;
  }
  SetResult(kTooLong);
  return false;
}

void StartJob(const JobInput& input, bool inserting, NumberingFrame frame) {
  job.input = input;
  job.inserting = inserting;
  job.frame = frame;
  job.tocPages = ReadTocPages(input.tocPageCount);
  FillSkipTable(input.skipPages, job.skipTable);
  job.backupPath[0] = '\0';
  job.head = &utf8Head;
  job.pageTotal = 0;
  job.countedEnd = 0;
  job.lastPage = 0;
  job.utf8 = false;
  job.frontMatterEnd = 0;
  job.totalFromDocument = false;
  job.totalTaken = false;
  job.source = nullptr;
  job.spool = nullptr;
  resultText[0] = '\0';
}

void CloseSource() {
  if (job.source != nullptr && job.source != stdin) fclose(job.source);
  if (job.spool != nullptr) fclose(job.spool);
  job.source = nullptr;
  job.spool = nullptr;
}

// Opens a document to read it as it is, or refuses.
bool OpenSource(const char* path) {
  job.source = OpenSharedForReading(path);
  if (job.source != nullptr) return true;
  SetResult(FileIsMissing(path) ? kMissing : kBusyOpen, path);
  return false;
}

// The counting pass over the source, and the total the numbers show.
bool Count() {
  StartReading(&job.reader, job.source, readBuffer, kReadBufferSize, kPieceLimit);
  if (!CountPages(job)) return false;
  job.pageTotal = job.frame.bookTotal != 0 ? job.frame.bookTotal : job.countedEnd;
  return true;
}

// The rewriting pass reads the source again from its first byte.
bool RestartSource() {
  FILE* from = job.spool != nullptr ? job.spool : job.source;
  if (!Rewind(from)) return false;
  StartReading(&job.reader, from, readBuffer, kReadBufferSize, kPieceLimit);
  return true;
}

// ---------------------------------------------------------------------------
// In place: the backup, then the document rewritten from it.

// Once the Markdown file is being rewritten, any failure puts the backup
// back in its place; a job never leaves a half-written document behind.
JobReport RestoreFromBackup(FILE* markdown) {
  if (markdown != nullptr) fclose(markdown);
  CloseSource();
  const char* path = job.input.markdownPath;
  bool restored = CopyFileReplacing(job.backupPath, path) == CopyOutcome::Copied;
  SetResult(restored ? kRestored : kKeptInBackup, path, job.backupPath);
  return Report(JobOutcome::Failed);
}

// Everything up to the rewrite: the backup made and opened, its size
// checked against the document's, its pages counted.
bool BackUpAndCount() {
  const char* path = job.input.markdownPath;
  if (job.input.keepExistingBackup != 0 && FileOpensForReading(job.backupPath)) {
    SetResult(kBakExists);
    return false;
  }
  CopyOutcome copy = CopyFileReplacing(path, job.backupPath);
  if (copy != CopyOutcome::Copied) {
    SetResult(copy == CopyOutcome::SourceMissing ? kMissing : kBusyCopy, path, job.backupPath);
    return false;
  }
  job.source = OpenSharedForReading(job.backupPath);
  if (job.source == nullptr) {
    SetResult(kBusyOpen, job.backupPath);
    return false;
  }
  // Never go on from a backup that is not the whole document.
  int64_t size = OpenFileSize(job.source);
  if (size < 0 || size != PathFileSize(path)) {
    SetResult(kBusyCopy, path, job.backupPath);
    return false;
  }
  if (!Count()) {
    SetResult(kBusyOpen, job.backupPath);
    return false;
  }
  return !job.inserting || SelectHead();
}

JobReport RunInPlace() {
  if (!BackUpAndCount()) {
    CloseSource();
    return Report(JobOutcome::Refused);
  }
  const char* path = job.input.markdownPath;
  FILE* markdown = OpenExclusiveForWriting(path);
  if (markdown == nullptr) {
    CloseSource();
    return Refuse(kBusyOpen, path);
  }
  if (!RestartSource()) return RestoreFromBackup(markdown);
  StartWriting(&job.writer, FileSink(markdown), writeBuffer, kWriteBufferSize);
  if (RewritePass(job) != PassOutcome::Done || !FlushWriting(&job.writer)) {
    return RestoreFromBackup(markdown);
  }
  if (!CloseWrittenFile(markdown)) return RestoreFromBackup(nullptr);
  CloseSource();
  return Done();
}

JobReport RewriteInPlace(const JobInput& input, bool inserting, NumberingFrame frame) {
  StartJob(input, inserting, frame);
  if ((inserting && !PrepareTexts()) || !DeriveBackupPath(input.markdownPath)) {
    return Report(JobOutcome::Refused);
  }
  return RunInPlace();
}

NumberingFrame SingleDocument(const JobInput& input) {
  NumberingFrame frame = {1, input.numberFirstPage != 0, 0};
  return frame;
}

// ---------------------------------------------------------------------------
// Elsewhere: another file, standard output, or a comparison.

char outputScratchPath[kPathBufferSize + 32];
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

// A source for the passes that is not the document in place: a file, or
// standard input kept in a scratch file for the second pass.
bool OpenPlainSource(const char* path) {
  if (strcmp(path, "-") != 0) return OpenSource(path);
  job.source = stdin;
  job.spool = OpenScratchFile();
  if (job.spool != nullptr) return true;
  SetResult(kReadFailed, "standard input");
  return false;
}

const char* InputName(const char* path) {
  return strcmp(path, "-") == 0 ? "standard input" : path;
}

const char* OutputName(const char* path) {
  return strcmp(path, "-") == 0 ? "standard output" : path;
}

bool FinishOutput(FILE* file, const char* outputPath) {
  bool written = RewritePass(job) == PassOutcome::Done && FlushWriting(&job.writer);
  if (file == stdout) return fflush(stdout) == 0 && written;
  if (!CloseWrittenFile(file)) written = false;
  if (written && MoveFileReplacing(outputScratchPath, outputPath)) return true;
  RemoveFile(outputScratchPath);
  return false;
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
  FILE* output = stdout;
  if (strcmp(outputPath, "-") != 0) {
    int length = snprintf(outputScratchPath, sizeof outputScratchPath, "%s.foliostamp-new", outputPath);
    if (strlen(outputPath) > kPathBufferSize - 1 || length < 0 ||
        static_cast<size_t>(length) >= sizeof outputScratchPath) {
      CloseSource();
      return Refuse(kTooLong);
    }
    output = OpenExclusiveForWriting(outputScratchPath);
    if (output == nullptr) {
      CloseSource();
      return Refuse(kWriteFailed, outputPath);
    }
  }
  StartWriting(&job.writer, FileSink(output), writeBuffer, kWriteBufferSize);
  bool written = RestartSource() && FinishOutput(output, outputPath);
  CloseSource();
  if (!written) return Refuse(kWriteFailed, OutputName(outputPath));
  return Done();
}

// The document's first line, read without a pass of its own: the line
// ending the job adds, whether it starts with a byte order mark, and
// whether it opens front matter.
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
      *frontMatter = IsFrontMatterOpener(AfterByteOrderMark(first));
    }
    TakeFirstLineBytes(&end, block, lineLength);
    if (lf != nullptr) break;
    at += length;
  }
  job.eolStyle = EolStyleOf(end);
  return true;
}

// When the head is the same whatever the document's encoding, a check reads
// the document once: the pass counts the pages itself, and the total the
// number lines show is taken from the document and checked at the end.
bool HeadsAgree() {
  return utf8Head.fits && codePageHead.fits && utf8Head.length == codePageHead.length &&
         memcmp(utf8Head.text, codePageHead.text, utf8Head.length) == 0;
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
    job.head = &utf8Head;
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

JobReport CheckDocument(const JobInput& input, NumberingFrame frame) {
  StartJob(input, true, frame);
  if (!PrepareTexts() || !DeriveBackupPath(input.markdownPath)) return Report(JobOutcome::Refused);
  return RunComparison();
}

// ---------------------------------------------------------------------------
// Books.

int32_t bookStarts[kMaxBookDocuments];

// Checks one document as the book's first pass does and counts its pages
// from `start`; the page it ends on is then in job.countedEnd.
bool CheckBookDocument(const JobInput& input, bool checkOnly, int32_t start) {
  NumberingFrame frame = {start, false, 0};
  StartJob(input, true, frame);
  if (!DeriveBackupPath(input.markdownPath)) return false;
  if (!checkOnly && input.keepExistingBackup != 0 && FileOpensForReading(job.backupPath)) {
    SetResult(kBakExists);
    return false;
  }
  if (!OpenSource(input.markdownPath)) return false;
  bool counted = Count();
  CloseSource();
  if (!counted) SetResult(kReadFailed, input.markdownPath);
  return counted;
}

// The book's first pass: every document checked and counted, and the page
// each one starts on; the boundary between two documents steps the count
// as a page break does. With ending given, reports each document's refusal
// (or that another one was refused). Answers whether all are ready, and
// the book's last page in *total.
bool CheckBook(const JobInput& input, const char* const* paths, int count, bool checkOnly,
               JobEnding ending, void* context, int32_t* total) {
  bool ready = true;
  int32_t page = 1;
  for (int i = 0; i < count; ++i) {
    if (i > 0) page = PageAfterBreak(job, page);
    bookStarts[i] = page;
    JobInput document = input;
    document.markdownPath = paths[i];
    bool counted = CheckBookDocument(document, checkOnly, page);
    if (counted) page = job.countedEnd;
    ready = ready && counted;
    if (ending == nullptr) continue;
    if (counted) SetResult(kBookRefused);
    ending(context, Report(JobOutcome::Refused));
  }
  *total = page;
  return ready;
}

}  // namespace

int32_t TotalForNumberLine(JobState& state) {
  if (state.totalFromDocument && !state.totalTaken) {
    state.pageTotal = TotalShownInSource();
    state.totalTaken = true;
  }
  return state.pageTotal;
}

// ---------------------------------------------------------------------------
// The jobs.

JobInput TakeJobInput() {
  JobInput input;
  input.markdownPath = TextSlots[kMarkdownPath];
  input.tocPageCount = TextSlots[kTocPageCount];
  input.skipPages = TextSlots[kSkipPages];
  input.headerText = TextSlots[kHeaderText];
  input.customColor = TextSlots[kCustomColor];
  input.fontSizePercent = TextSlots[kFontSizePercent];
  input.colorChoice = Settings[kColorChoice];
  input.positionChoice = Settings[kPositionChoice];
  input.formatChoice = Settings[kFormatChoice];
  input.keepExistingBackup = Settings[kKeepExistingBackup];
  input.numberFirstPage = Settings[kNumberFirstPage];
  input.annotateHeadings = Settings[kAnnotateHeadings];
  input.noBackup = 0;
  return input;
}

void InsertPageNumbers(const JobInput& input, JobEnding ending, void* context) {
  ending(context, RewriteInPlace(input, true, SingleDocument(input)));
}

void RemovePageNumbers(const JobInput& input, JobEnding ending, void* context) {
  ending(context, RewriteInPlace(input, false, SingleDocument(input)));
}

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

void CheckPageNumbers(const JobInput& input, JobEnding ending, void* context) {
  ending(context, CheckDocument(input, SingleDocument(input)));
}

void NumberBook(const JobInput& input, const char* const* paths, int count, bool checkOnly,
                JobEnding ending, void* context) {
  StartJob(input, true, SingleDocument(input));
  if (count > kMaxBookDocuments) SetResult(kBookTooLong);
  if (count > kMaxBookDocuments || !PrepareTexts()) {
    for (int i = 0; i < count; ++i) ending(context, Report(JobOutcome::Refused));
    return;
  }
  int32_t total = 0;
  if (!CheckBook(input, paths, count, checkOnly, nullptr, nullptr, &total)) {
    // Once more to tell each document what became of it; only now, so that
    // the reports come in order.
    CheckBook(input, paths, count, checkOnly, ending, context, &total);
    return;
  }
  bool stopped = false;
  for (int i = 0; i < count; ++i) {
    if (stopped) {
      SetResult(kBookStopped);
      ending(context, Report(JobOutcome::Refused));
      continue;
    }
    JobInput document = input;
    document.markdownPath = paths[i];
    NumberingFrame frame = {bookStarts[i], i > 0 || input.numberFirstPage != 0, total};
    JobReport report =
        checkOnly ? CheckDocument(document, frame) : RewriteInPlace(document, true, frame);
    stopped = !checkOnly && report.outcome != JobOutcome::Done;
    ending(context, report);
  }
}
