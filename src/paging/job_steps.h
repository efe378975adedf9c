// What the rewriting jobs share: the job's fixed storage, the preparation up
// to the opened files, page counting, and the ending. Private to paging/.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "paging/jobs.h"
#include "paging/line_reader.h"
#include "paging/line_writer.h"
#include "paging/skip_table.h"

constexpr size_t kPieceLimit = 199999;      // the longest piece a read hands out
constexpr size_t kPathBufferSize = 1004;    // 1003 bytes of path and the NUL
constexpr size_t kResultSize = 32000;

// The markers the jobs look for and write.
extern const char kPageBreakMarker[];
extern const char kTocMarker[];
extern const char kNumberDivHead[];
extern const char kNumberDivTail[];
extern const char kHeadingAnnotation[];

enum class EolStyle { Undetermined = -1, CrLf = 0, Lf = 1 };

struct JobState {
  JobInput input;
  int32_t tocPages;
  int8_t skipTable[kSkipTableSize];
  char backupPath[kPathBufferSize];
  int32_t pageTotal;
  EolStyle eolStyle;
  FILE* backup;
  LineReader reader;
  LineWriter writer;
};

// What the rewriting pass reports back; the ending decides the result text
// from it.
enum class PassOutcome { Done, Failed };
using RewritePass = PassOutcome (*)(JobState& job);

// Checks that the job's texts can be written at all; on refusal it puts the
// reason into result and answers false. May be null.
using RewriteCheck = bool (*)(JobState& job, char* result, size_t resultSize);

// Runs a rewriting job from start to end: preparation and backup, page
// counting, the pass, closing and the ending.
void RunRewritingJob(const JobInput& input, RewriteCheck check, RewritePass pass,
                     JobEnding ending, void* context);

// The line ending the job adds, by the document's first line.
const char* LineEnding(const JobState& job);

// Line tests; each looks at one piece, the first of its line.
bool StartsWith(const LinePiece& line, const char* marker, size_t markerLength);
bool IsPageBreak(const LinePiece& line);
bool IsTocLine(const LinePiece& line);
bool IsBlankLine(const LinePiece& line);
bool IsOldNumberLine(const LinePiece& line);
// Offset of the space after the '#' characters of a heading line, or -1.
ptrdiff_t HeadingSpace(const LinePiece& line);
// Offset of the first heading annotation at or after `from`, or -1.
ptrdiff_t FindAnnotation(const LinePiece& line, size_t from);
// Length of the line without the CR and LF bytes at its end.
size_t LengthWithoutEnd(const LinePiece& line);

// Writes a line that starts with `first`, and every later piece of it,
// unchanged. False when a read fails.
bool CopyLine(JobState& job, const LinePiece& first);

// Writes the page-number line for a page; each job that numbers has its own.
using NumberLineWriter = void (*)(JobState& job, int32_t page);

// A page break and what comes after it: the break copied; the empty line
// after it copied, or one added when the next line is not empty; the
// page-number line when writeNumber is given; then the next line, dropped
// when it is an old page-number line. Answers the status of its last read:
// Piece when the pass goes on with the next line.
ReadStatus CopyPageBreak(JobState& job, const LinePiece& pageBreak, NumberLineWriter writeNumber,
                         int32_t page);

// PassOutcome for a read status that ended a pass, and for writes so far.
PassOutcome PassEnd(const JobState& job, ReadStatus status);
