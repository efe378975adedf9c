#include <gtest/gtest.h>

#include <string>

#include "commands/pdf_path.h"

namespace {

TEST(DefaultPdfPath, FromTheLastDotOfTheFileName) {
  struct Case {
    const char* markdown;
    const char* pdf;
  };
  const Case kCases[] = {
      {"doc.md", "doc.pdf"},
      {"C:\\Users\\hana\\my.notes.md", "C:\\Users\\hana\\my.notes.pdf"},
      {"C:\\v1.2\\README", "C:\\v1.2\\README.pdf"},  // a dot in a folder only
      {"/home/hana/v1.2/notes", "/home/hana/v1.2/notes.pdf"},
      {"C:\\docs\\.md", "C:\\docs\\.pdf"},
      {"book.", "book.pdf"},
      {"\xe5\x8f\x96\xe6\x89\xb1.markdown", "\xe5\x8f\x96\xe6\x89\xb1.pdf"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.markdown);
    char out[64];
    ASSERT_TRUE(DefaultPdfPath(c.markdown, out, sizeof out));
    EXPECT_STREQ(out, c.pdf);
  }
}

TEST(DefaultPdfPath, EmptyOrTooLongGivesNothing) {
  char out[12] = "untouched";
  EXPECT_FALSE(DefaultPdfPath("", out, sizeof out));
  EXPECT_STREQ(out, "");
  // "abcdefg.pdf" takes exactly 12 bytes; one more letter does not fit.
  EXPECT_TRUE(DefaultPdfPath("abcdefg.md", out, sizeof out));
  EXPECT_STREQ(out, "abcdefg.pdf");
  EXPECT_FALSE(DefaultPdfPath("abcdefgh.md", out, sizeof out));
  EXPECT_STREQ(out, "");
}

TEST(HasPdfExtension, NameEndsInPdfAnyCase) {
  struct Case {
    const char* path;
    bool pdf;
  };
  const Case kCases[] = {
      {"C:\\a\\book.pdf", true}, {"BOOK.PDF", true},      {"x.Pdf", true},
      {".pdf", true},            {"book.md", false},      {"C:\\a.pdf\\book.md", false},
      {"pdf", false},            {"book.pdf.md", false},  {"bookpdf", false},
      {"", false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(HasPdfExtension(c.path), c.pdf) << c.path;
  }
}

}  // namespace
