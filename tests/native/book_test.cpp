// A book whose chapters differ in encoding: every check the writing pass
// makes for a chapter (the number line's head in that chapter's encoding)
// is made before any chapter is written, so when one chapter cannot be
// numbered none is changed. The head differs by encoding only where the
// system code page is not UTF-8 (under Wine); elsewhere the header is too
// long for every chapter alike, and nothing may change either.
#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "test_files.h"
#include "tool_runner.h"

namespace {

const std::string kBreak = "<div style=\"page-break-after:always\"></div>";

TEST(BookTest, AChapterWhoseHeadDoesNotFitStopsTheWholeBook) {
  const char* tool = getenv("FOLIOSTAMP_CLI");
  if (tool == nullptr) GTEST_SKIP() << "FOLIOSTAMP_CLI is not set";
  // 400 characters: 800 bytes in Shift_JIS (or 400 '?' in code page 1252),
  // which a number line's head holds; 1200 in UTF-8, which it does not.
  std::string header;
  for (int i = 0; i < 400; ++i) header += "\xe3\x81\x82";  // "あ"
  TempFolder folder;
  const struct {
    const char* name;
    std::string text;
  } chapters[] = {
      {"ch1.md", "# \x93\xfa\x96\x7b\n" + kBreak + "\nShift_JIS\n"},
      {"ch2.md", "# \xe6\x97\xa5\xe6\x9c\xac\n" + kBreak + "\nUTF-8\n"},
      {"ch3.md", "# \x8e\x4f\nShift_JIS again\n"},
  };
  for (const auto& chapter : chapters) WriteFileBytes(folder.Path(chapter.name), chapter.text);
  ToolOutcome outcome = RunTool(tool, folder.root(),
                                {"execute", "--no-settings", "--continue", "--header", header,
                                 "ch1.md", "ch2.md", "ch3.md"});
  EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
  for (const auto& chapter : chapters) {
    EXPECT_EQ(ReadFileBytes(folder.Path(chapter.name)), chapter.text) << chapter.name;
  }
  EXPECT_FALSE(FileExists(folder.Path("ch1.bak")));
  const std::string tooLong = "Error: Header, colour or font size text is too long.\n";
  const std::string refused = "Error: Not numbered, because another file of the book was refused.\n";
  if (SystemCodePage() == 0 || SystemCodePage() == 65001) {
    EXPECT_EQ(outcome.err, "ch1.md:\n" + tooLong + "ch2.md:\n" + tooLong + "ch3.md:\n" + tooLong);
  } else {
    EXPECT_EQ(outcome.err, "ch1.md:\n" + refused + "ch2.md:\n" + tooLong + "ch3.md:\n" + refused);
  }
}

}  // namespace
