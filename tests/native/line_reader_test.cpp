// The piece reader at tiny sizes, where every boundary is easy to reach.
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "paging/line_reader.h"
#include "paging/line_writer.h"
#include "test_files.h"

namespace {

struct Piece {
  std::string bytes;
  bool startsLine;
  bool endsLine;
  bool operator==(const Piece& other) const {
    return bytes == other.bytes && startsLine == other.startsLine && endsLine == other.endsLine;
  }
};

std::ostream& operator<<(std::ostream& out, const Piece& p) {
  return out << "{\"" << p.bytes << "\" " << p.startsLine << p.endsLine << "}";
}

std::vector<Piece> ReadAll(const std::string& bytes, size_t capacity, size_t limit) {
  TempFolder folder;
  WriteFileBytes(folder.Path("in"), bytes);
  FILE* file = fopen(folder.Path("in").c_str(), "rb");
  std::vector<char> buffer(capacity);
  LineReader reader;
  StartReading(&reader, file, buffer.data(), capacity, limit);
  std::vector<Piece> pieces;
  LinePiece piece;
  ReadStatus status;
  while ((status = ReadPiece(&reader, &piece)) == ReadStatus::Piece) {
    pieces.push_back({std::string(piece.data, piece.length), piece.startsLine, piece.endsLine});
  }
  EXPECT_EQ(status, ReadStatus::End);
  EXPECT_EQ(ReadPiece(&reader, &piece), ReadStatus::End) << "the end stays the end";
  fclose(file);
  return pieces;
}

TEST(LineReaderTest, PiecesAtEveryBoundary) {
  struct Case {
    const char* name;
    std::string input;
    size_t capacity, limit;
    std::vector<Piece> pieces;
  };
  const Case cases[] = {
      {"empty file", "", 2, 1, {}},
      {"one LF", "\n", 2, 1, {{"\n", true, true}}},
      {"limit 1 splits every byte", "ab\n", 2, 1, {{"a", true, false}, {"b", false, false}, {"\n", false, true}}},
      {"limit 2", "ab\ncd", 3, 2, {{"ab", true, false}, {"\n", false, true}, {"cd", true, true}}},
      {"CR LF split across pieces", "a\r\nb", 3, 2, {{"a\r", true, false}, {"\n", false, true}, {"b", true, true}}},
      {"full piece at the end of the file ends its line", "abc", 4, 3, {{"abc", true, true}}},
      {"no final LF", "x\nyz", 4, 3, {{"x\n", true, true}, {"yz", true, true}}},
      {"refill in the middle of a line", "abcdef\ng\n", 4, 3,
       {{"abc", true, false}, {"def", false, false}, {"\n", false, true}, {"g\n", true, true}}},
      {"NUL bytes are carried", std::string("a\0b\n\0", 5), 8, 4,
       {{std::string("a\0b\n", 4), true, true}, {std::string("\0", 1), true, true}}},
      {"buffer much larger than the limit", "aaaa\nbb\n", 64, 3,
       {{"aaa", true, false}, {"a\n", false, true}, {"bb\n", true, true}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAll(c.input, c.capacity, c.limit), c.pieces) << c.name;
  }
}

TEST(LineWriterTest, WritesInOrderAndReportsFailures) {
  TempFolder folder;
  FILE* file = fopen(folder.Path("out").c_str(), "wb");
  char buffer[4];
  LineWriter writer;
  StartWriting(&writer, FileSink(file), buffer, sizeof buffer);
  WriteText(&writer, "ab");
  WriteText(&writer, "cde");       // does not fit behind "ab"
  WriteText(&writer, "fghijklm");  // larger than the buffer
  WriteBytes(&writer, "n", 1);
  EXPECT_TRUE(FlushWriting(&writer));
  EXPECT_EQ(writer.written, 14u);
  fclose(file);
  EXPECT_EQ(ReadFileBytes(folder.Path("out")), "abcdefghijklmn");

  FILE* readOnly = fopen(folder.Path("out").c_str(), "rb");  // writing it fails
  StartWriting(&writer, FileSink(readOnly), buffer, sizeof buffer);
  WriteText(&writer, "abcdefgh");
  EXPECT_FALSE(FlushWriting(&writer));
  fclose(readOnly);
  EXPECT_EQ(ReadFileBytes(folder.Path("out")), "abcdefghijklmn");
}

}  // namespace
