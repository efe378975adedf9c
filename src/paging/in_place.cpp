// Rewriting a document in its place: held against other jobs, backed up
// (flushed before the document changes), counted, and its new text put in
// the document's place in one step. A document with several hard links is
// written over in place instead, from its backup, so its links stay.

#include "paging/in_place.h"
#include "paging/job_parts.h"
#include "paging/result_texts.h"

namespace {

HeldFile document;
Replacement replacement;
Replacement backup;

// The backup, copied into a scratch file beside its name; it must be the
// whole document. It goes on being written to the disk while the passes
// run, and takes its name (FinishBackup) before the document changes.
bool StartBackup() {
  const char* path = job.input.markdownPath;
  FileProblem problem = BeginReplacement(job.backupPath, ReplaceWay::Rename, &backup);
  if (problem != FileProblem::None) {
    if (problem == FileProblem::Denied || problem == FileProblem::NotAFile) {
      RefuseFor(problem, job.backupPath);
    } else {
      SetResult(kWriteFailed, job.backupPath);
    }
    return false;
  }
  int64_t copied = 0;
  if (!CopyIntoReplacement(document.stream, &backup, &copied)) {
    AbandonReplacement(&backup);
    SetResult(kWriteFailed, job.backupPath);
    return false;
  }
  // Someone else wrote the document meanwhile: it is not what was copied.
  if (copied != document.size || PathFileSize(path) != document.size) {
    AbandonReplacement(&backup);
    SetResult(kBusyCopy, path, job.backupPath);
    return false;
  }
  StartWriteBack(&backup);
  return true;
}

// The backup flushed and in its place; nothing to do without one.
bool FinishBackup() {
  if (backup.stream == nullptr || FinishReplacement(&backup)) return true;
  SetResult(kWriteFailed, job.backupPath);
  return false;
}

// The backup is taken unless the user chose to have none; a document with
// several hard links is rewritten in place and always needs one.
bool BackUpIfAsked() {
  const char* path = job.input.markdownPath;
  if (job.input.noBackup != 0) {
    if (document.links <= 1) return true;
    SetResult(kLinkedNeedsBackup, path);
    return false;
  }
  if (job.input.keepExistingBackup != 0 && FileOpensForReading(job.backupPath)) {
    SetResult(kBakExists);
    return false;
  }
  // A backup that is the document itself (a link) would be its only copy.
  if (SameExistingFile(path, job.backupPath)) {
    SetResult(kBusyCopy, path, job.backupPath);
    return false;
  }
  return StartBackup();
}

// What the passes read: the held document, which stays as it is until its
// new text replaces it, or the backup when the document is written over.
bool OpenInPlaceSource() {
  job.source = replacement.inPlace ? OpenSharedForReading(job.backupPath) : document.stream;
  if (job.source == nullptr) {
    SetResult(kReadFailed, job.backupPath);
    return false;
  }
  if (Rewind(job.source)) return true;
  SetResult(kReadFailed, job.input.markdownPath);
  return false;
}

void CloseInPlaceSource() {
  if (job.source == document.stream) job.source = nullptr;
  CloseSource();
}

JobReport Stop(JobReport report) {
  CloseInPlaceSource();
  AbandonReplacement(&backup);
  AbandonReplacement(&replacement);
  LetGo(&document);
  return report;
}

// The new text could not be finished. Written in place, the document is
// put back from its backup; otherwise it never changed.
JobReport WritingFailed() {
  const char* path = job.input.markdownPath;
  CloseInPlaceSource();
  bool inPlace = replacement.inPlace;
  // The backup is whole: it takes its name as it would have.
  FinishBackup();
  AbandonReplacement(&replacement);
  LetGo(&document);
  if (!inPlace) {
    SetResult(kLeftAsItWas, path);
  } else {
    bool restored = CopyFileReplacing(job.backupPath, path) == CopyOutcome::Copied;
    if (restored) ClearRewriteMark(path);
    SetResult(restored ? kRestored : kKeptInBackup, path, job.backupPath);
  }
  return Report(JobOutcome::Failed);
}

bool RunPass(const InPlacePass* pass) {
  if (pass == nullptr) return RewritePass(job) == PassOutcome::Done;
  return pass->rewrite(pass->context, &job.reader, &job.writer);
}

// With pass null, the numbering jobs' own passes.
JobReport RunInPlace(const InPlacePass* pass) {
  const char* path = job.input.markdownPath;
  backup.stream = nullptr;
  backup.marked = false;
  backup.scratch[0] = '\0';
  replacement.stream = nullptr;
  replacement.inPlace = false;
  replacement.marked = false;
  replacement.scratch[0] = '\0';
  FileProblem held = OpenHeldFile(path, true, &document);
  if (held != FileProblem::None) return RefuseFor(held, path);
  // Its backup is then the only whole copy: nothing may replace it.
  if (RewriteWasStopped(path)) return Stop(Refuse(kStoppedRewrite, path));
  RemoveLeftScratchFiles(path);
  RemoveLeftScratchFiles(job.backupPath);
  if (!BackUpIfAsked()) return Stop(Report(JobOutcome::Refused));
  // Written in place, the document is read from its backup, which must be
  // on the disk first, and is held by the writing itself.
  if (document.links > 1) {
    if (!FinishBackup()) return Stop(Report(JobOutcome::Refused));
    EndHoldBeforeReplacing(&document);
  }
  FileProblem begun = BeginReplacement(path, ReplaceWay::InPlaceWhenLinked, &replacement);
  if (begun != FileProblem::None) return Stop(RefuseFor(begun, path));
  if (!OpenInPlaceSource()) return Stop(Report(JobOutcome::Refused));
  if (pass == nullptr) {
    if (!Count()) return Stop(Refuse(kReadFailed, path));
    if (job.inserting && !SelectHead()) return Stop(Report(JobOutcome::Refused));
  } else {
    job.pageTotal = pass->total;
  }
  if (!RestartSource()) return WritingFailed();
  StartWriting(&job.writer, ReplacementSink(&replacement), writeBuffer, kWriteBufferSize);
  if (!RunPass(pass) || !FlushWriting(&job.writer)) return WritingFailed();
  CloseInPlaceSource();
  if (!FinishBackup()) return Stop(Report(JobOutcome::Refused));
  EndHoldBeforeReplacing(&document);
  bool finished = FinishReplacement(&replacement);
  if (!finished) return WritingFailed();
  LetGo(&document);
  return Done();
}

}  // namespace

JobReport RewriteInPlace(const JobInput& input, bool inserting, NumberingFrame frame) {
  StartJob(input, inserting, frame);
  if ((inserting && !PrepareTexts()) || !DeriveBackupPath(input.markdownPath)) {
    return Report(JobOutcome::Refused);
  }
  return RunInPlace(nullptr);
}

JobReport RewriteInPlaceWith(const JobInput& input, const InPlacePass& pass) {
  StartJob(input, false, SingleDocument(input));
  if (!DeriveBackupPath(input.markdownPath)) return Report(JobOutcome::Refused);
  return RunInPlace(&pass);
}

void InsertPageNumbers(const JobInput& input, JobEnding ending, void* context) {
  ending(context, RewriteInPlace(input, true, SingleDocument(input)));
}

void RemovePageNumbers(const JobInput& input, JobEnding ending, void* context) {
  ending(context, RewriteInPlace(input, false, SingleDocument(input)));
}
