// The pieces the rewriting jobs are built from, shared by their files:
//
//   number_head.cpp  the number line's texts checked and composed, the head chosen
//   job_source.cpp   the job's start, its result, opening what the passes read
//   in_place.cpp     backup, count, rewrite into the document's place
//   to_output.cpp    the new text to another file or standard output
//   check.cpp        comparing the new text with the document
//   books.cpp        several documents numbered as one
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "paging/file_ops.h"
#include "paging/job_steps.h"

constexpr size_t kReadBufferSize = 1 << 20;  // more than a piece, so one always fits
constexpr size_t kWriteBufferSize = 1 << 20;

// Fixed storage for the one job that runs at a time.
extern JobState job;
extern char readBuffer[kReadBufferSize];
extern char writeBuffer[kWriteBufferSize];
extern char resultText[kResultSize];

// --- the result
void SetResult(const char* format, const char* first = nullptr, const char* second = nullptr);
JobReport Report(JobOutcome outcome);
JobReport Refuse(const char* format, const char* first = nullptr, const char* second = nullptr);
JobReport Done();
// The refusal text for a file that cannot be used, naming path.
JobReport RefuseFor(FileProblem problem, const char* path);

// --- the head
// Checks and composes the number line's texts; false with the refusal set.
bool PrepareTexts();
// Picks the head for the document the counting pass has seen.
bool SelectHead();
// The head is the same whatever the document's encoding.
bool HeadsAgree();
const NumberHead* Utf8Head();

// --- the source
void StartJob(const JobInput& input, bool inserting, NumberingFrame frame);
NumberingFrame SingleDocument(const JobInput& input);
// The backup's name beside the document into job.backupPath, or a refusal.
bool DeriveBackupPath(const char* markdownPath);
// Opens a document to read it as it is; false with the refusal set.
bool OpenSource(const char* path);
// A file, or standard input kept in a scratch file for the second pass.
bool OpenPlainSource(const char* path);
void CloseSource();
// The counting pass over the source, and the total the numbers show.
bool Count();
// The rewriting pass reads the source again from its first byte.
bool RestartSource();
// Writes the new text of a replaced file, pushing it on to the disk as it goes.
ByteSink ReplacementSink(Replacement* r);
const char* InputName(const char* path);
const char* OutputName(const char* path);

// --- in place
JobReport RewriteInPlace(const JobInput& input, bool inserting, NumberingFrame frame);

// --- check
JobReport CheckDocument(const JobInput& input, NumberingFrame frame);
