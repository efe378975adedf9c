// What the rewriting jobs share: the job's fixed storage, the preparation,
// the counting pass, the rewriting pass and the endings. Private to paging/,
// but for the line tests, which verify reads lines by too.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "paging/jobs.h"
#include "paging/line_reader.h"
#include "paging/line_writer.h"
#include "paging/line_rules.h"
#include "paging/skip_table.h"

constexpr size_t kPieceLimit = 199999;      // the longest piece a read hands out
constexpr size_t kPathBufferSize = kJobPathSize;  // 1003 bytes of path and the NUL
constexpr size_t kResultSize = 32000;
constexpr size_t kHeadSize = 1004;          // 1003 bytes of a number line's head and the NUL

// Where a document's page numbers start, and what total they show.
struct NumberingFrame {
  int32_t firstPage;  // the page the document starts on
  bool numberTop;     // a number line before the first line
  int32_t bookTotal;  // the total to show; 0: the document's own count
};

// The head of a page-number line (everything before the numbers), for a
// document in UTF-8 and for one in the system code page. Empty length with
// fits false: the texts are too long for it.
struct NumberHead {
  char text[kHeadSize];
  size_t length;
  bool fits;
};

struct JobState {
  JobInput input;
  bool inserting;
  NumberingFrame frame;
  int32_t tocPages;
  int8_t skipTable[kSkipTableSize];
  char backupPath[kPathBufferSize];
  const NumberHead* head;  // the head for this document's encoding
  int32_t pageTotal;       // the total the number lines show
  int32_t countedEnd;      // the last page the counting pass reached
  int32_t lastPage;        // the last page the rewriting pass reached
  EolStyle eolStyle;
  FrontMatterSpan frontMatter;  // the document's front matter; empty: none
  bool utf8;               // the document is UTF-8
  bool totalFromDocument;  // a check reading the document once: see TotalForNumberLine
  bool totalTaken;
  FILE* source;            // what the passes read
  FILE* spool;             // when reading standard input: where it is kept for the second pass
  LineReader reader;
  LineWriter writer;
};

// The line ending the job adds, by the document's first line.
const char* LineEnding(const JobState& job);

// The page after a page break that ends `page`: the skip list leaves the
// numbers it names out after the page they follow.
int32_t PageAfterBreak(const JobState& job, int32_t page);

// The counting pass over job.source from its start: the page the
// document ends on (from frame.firstPage), its line ending, whether it is
// UTF-8 and where its front matter ends. With job.spool set, every byte read is also kept there. False
// when a read fails.
bool CountPages(JobState& job);

// The total a number line shows: job.pageTotal; or, while a check reads
// the document only once, the total that the document's own number line
// at that place shows, taken at the first number line and checked against
// the count at the end.
int32_t TotalForNumberLine(JobState& job);

enum class PassOutcome { Done, Failed };

// The rewriting pass over job.source from its start into job.writer.
PassOutcome RewritePass(JobState& job);
