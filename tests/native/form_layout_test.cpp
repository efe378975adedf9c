#include <gtest/gtest.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <string>

#include "commands/message_table.h"
#include "form/layout_table.h"

namespace {

// The caption as Shift JIS bytes, converted here from readable text so that
// the table's escaped literals are checked against an independent source.
#ifdef _WIN32
std::string ToShiftJis(const char* utf8) {
  wchar_t wide[512];
  int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, 512);
  EXPECT_GT(wideLength, 0) << utf8;
  char bytes[1024];
  int length = WideCharToMultiByte(932, 0, wide, wideLength, bytes, sizeof bytes, nullptr, nullptr);
  EXPECT_GT(length, 0) << utf8;
  return length > 0 ? std::string(bytes, length - 1) : std::string();
}
#else
std::string ToShiftJis(const char* utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  char out[512];
  char* in = const_cast<char*>(utf8);
  size_t inLeft = strlen(utf8);
  char* outPtr = out;
  size_t outLeft = sizeof out;
  size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  EXPECT_NE(done, static_cast<size_t>(-1)) << utf8;
  return std::string(out, sizeof out - outLeft);
}
#endif

struct CaptionCase {
  int row;
  const char* japanese;  // UTF-8
  const char* english;
};

const CaptionCase kCaptions[] = {
    {0, "ページ番号追加(マークダウン用)", "Adding page-number for Markdown"},
    {1, "English", "Japanese"},
    {2, "#", "#"},
    {4, "ファイル選択", "File select"},
    {9, "目次ページ数", "Number of TOC"},
    {11, "ヘッダ", "Header"},
    {13, "font サイズ(%)", "font size(%)"},
    {15, "飛びページ", "Skip page"},
    {17, "色", "color"},
    {18, "黒", "black"},
    {19, "灰色", "gray"},
    {20, "", ""},
    {23, "書式", "format"},
    {24, "#/##", "#/##"},
    {25, "(#/##)", "(#/##)"},
    {29, "位置", "position"},
    {30, "右", "right"},
    {31, "中央", "center"},
    {33, ".bak上書き禁止", "Don't overwrite .bak"},
    {34, "1ページ目から表示", "From the first page."},
    {35, "TOC項目にページ番号追加。注意：透明文字使用のため、",
     "Add page numbers to the items of TOC. CAUTION: You will get a penalty"},
    {36, "検索サイトからペナルティを受ける可能性があります",
     "from search sites because of using transparent characters."},
    {41, "実行", "Execute"},
    {42, "終了", "Exit"},
    {43, "削除", "Delete"},
    {44, "復元", "Undo"},
    {45, "結果", "Result"},
    {47, "PDF選択", "PDF select"},
    {49, "PDF確認", "Check PDF"},
};

TEST(LayoutTable, EveryCaptionInBothLanguages) {
  int captioned = 0;
  for (const CaptionCase& c : kCaptions) {
    SCOPED_TRACE(c.row);
    const LayoutRow& row = LayoutTable[c.row];
    ASSERT_NE(row.captions[0], nullptr);
    ASSERT_NE(row.captions[1], nullptr);
    EXPECT_EQ(std::string(row.captions[0]), ToShiftJis(c.japanese));
    EXPECT_STREQ(row.captions[1], c.english);
  }
  // No row outside the list carries a caption.
  for (const LayoutRow& row : LayoutTable) {
    if (row.captions[0] != nullptr) ++captioned;
    EXPECT_EQ(row.captions[0] == nullptr, row.captions[1] == nullptr);
  }
  EXPECT_EQ(captioned, static_cast<int>(sizeof kCaptions / sizeof kCaptions[0]));
}

TEST(LayoutTable, EmptyRowsAreExactlyThoseListed) {
  const int kEmpty[] = {3, 6, 7, 8, 22, 26, 27, 28, 32, 37, 38, 39, 40};
  bool empty[kLayoutRowCount] = {};
  for (int row : kEmpty) empty[row] = true;
  for (int i = 0; i < kLayoutRowCount; ++i) {
    SCOPED_TRACE(i);
    const LayoutRow& row = LayoutTable[i];
    EXPECT_EQ(row.kind == EmptyRow, empty[i]);
    if (!empty[i]) continue;
    EXPECT_EQ(row.slot, -1);
    EXPECT_EQ(row.aux, -1);
    EXPECT_EQ(row.style, 0xFFFFFFFFu);
    EXPECT_EQ(row.left | row.top | row.right | row.bottom, 0);
    EXPECT_EQ(row.captions[0], nullptr);
  }
}

TEST(LayoutTable, RowsFieldByField) {
  struct Expected {
    int row;
    int32_t kind, slot, aux;
    uint32_t style;
    int32_t left, top, right, bottom;
  };
  const Expected kRows[] = {
      {0, Label, -1, -1, 0x50000000u, 10, 6, 400, 16},
      {4, PushButton, 2, -1, 0x50030000u, 10, 25, 110, 37},
      {5, PaintedSlotText, 2, -1, 0x4000u, 120, 25, 510, 37},
      {9, Label, -1, -1, 0x50000002u, 10, 40, 110, 52},
      {14, EditField, 7, -1, 0x50830080u, 120, 55, 150, 67},
      {18, RadioButton, 12, 18, 0x50030004u, 20, 85, 110, 97},
      {20, RadioButton, 12, 18, 0x50000004u, 230, 85, 240, 97},
      {25, RadioButton, 15, 24, 0x50000004u, 120, 120, 220, 132},
      {29, GroupBox, -1, -1, 0x50020007u, 10, 140, 320, 170},
      {31, RadioButton, 13, 30, 0x50000004u, 120, 155, 220, 167},
      {35, CheckBox, 18, -1, 0x50030102u, 20, 175, 510, 186},
      {44, PushButton, -1, -1, 0x50030000u, 440, 205, 490, 217},
      {46, PaintedSlotText, 1, -1, 0x10u, 10, 235, 510, 250},
      {47, PushButton, 8, -1, 0x50030000u, 10, 255, 110, 267},
      {48, PaintedSlotText, 8, -1, 0x4000u, 120, 255, 510, 267},
      {49, PushButton, -1, -1, 0x50030000u, 10, 270, 110, 282},
  };
  for (const Expected& e : kRows) {
    SCOPED_TRACE(e.row);
    const LayoutRow& row = LayoutTable[e.row];
    EXPECT_EQ(row.kind, e.kind);
    EXPECT_EQ(row.slot, e.slot);
    EXPECT_EQ(row.aux, e.aux);
    EXPECT_EQ(row.style, e.style);
    EXPECT_EQ(row.left, e.left);
    EXPECT_EQ(row.top, e.top);
    EXPECT_EQ(row.right, e.right);
    EXPECT_EQ(row.bottom, e.bottom);
  }
}

// The scroll ranges take in every row, the lowest one's last cell whole.
TEST(LayoutTable, FormExtentIs52By29Cells) {
  int32_t right = 0;
  int32_t bottom = 0;
  for (const LayoutRow& row : LayoutTable) {
    if (row.right > right) right = row.right;
    if (row.bottom > bottom) bottom = row.bottom;
  }
  EXPECT_EQ(right, 520);
  EXPECT_EQ(bottom, 282);
  EXPECT_EQ(FormWidthCells, 52);
  EXPECT_EQ(FormHeightCells, 29);
}

// The keyboard reaches every button, check box and edit field and each
// radio group through its first radio; each such control starts a group so
// that the arrow keys stay inside a radio group.
TEST(LayoutTable, TabStopsAndGroups) {
  const uint32_t kTabStop = 0x00010000u;
  const uint32_t kGroup = 0x00020000u;
  int stops = 0;
  for (int i = 0; i < kLayoutRowCount; ++i) {
    SCOPED_TRACE(i);
    const LayoutRow& row = LayoutTable[i];
    bool reached = row.kind == PushButton || row.kind == CheckBox || row.kind == EditField ||
                   (row.kind == RadioButton && row.aux == i);
    if (row.kind == EmptyRow || IsPaintedKind(row.kind)) continue;
    EXPECT_EQ((row.style & kTabStop) != 0, reached);
    EXPECT_EQ((row.style & kGroup) != 0, reached || row.kind == GroupBox);
    if (reached) ++stops;
  }
  EXPECT_EQ(stops, 20);  // 9 buttons, 5 edit fields, 3 check boxes, 3 radio groups
  // The focus at start: empty rows' style (all bits set) is no tab stop.
  EXPECT_EQ(FirstTabStopRow(), kLanguageRow);
}

TEST(RowKinds, ClassesCaptionsAndPainting) {
  struct KindCase {
    int32_t kind;
    const char* windowClass;
    bool caption;
    bool painted;
  };
  const KindCase kKinds[] = {
      {EmptyRow, nullptr, false, false},     {PaintedCaption, nullptr, false, true},
      {PaintedSlotText, nullptr, false, true}, {PaintedDecimal, nullptr, false, true},
      {PaintedHex, nullptr, false, true},    {PaintedEdge, nullptr, false, true},
      {PushButton, "button", true, false},   {RadioButton, "button", true, false},
      {CheckBox, "button", true, false},     {GroupBox, "button", true, false},
      {Label, "static", true, false},        {SlotLabel, "static", false, false},
      {DecimalLabel, "static", false, false}, {HexLabel, "static", false, false},
      {EditField, "edit", false, false},     {5, nullptr, false, false},
      {25, nullptr, false, false},           {0, nullptr, false, false},
  };
  for (const KindCase& k : kKinds) {
    SCOPED_TRACE(k.kind);
    const char* windowClass = WindowClassForKind(k.kind);
    if (k.windowClass == nullptr) {
      EXPECT_EQ(windowClass, nullptr);
    } else {
      EXPECT_STREQ(windowClass, k.windowClass);
    }
    EXPECT_EQ(HasControlCaption(k.kind), k.caption);
    EXPECT_EQ(IsPaintedKind(k.kind), k.painted);
  }
}

TEST(RowCaption, OutOfRangeLanguageReadsJapanese) {
  const LayoutRow& row = LayoutTable[kLanguageRow];
  EXPECT_STREQ(RowCaption(row, 0), "English");
  EXPECT_STREQ(RowCaption(row, 1), "Japanese");
  EXPECT_STREQ(RowCaption(row, -1), "English");
  EXPECT_STREQ(RowCaption(row, 2), "English");
}

TEST(RadioRowForValue, GroupValuesAndValuesFromAnEditedFile) {
  struct Case {
    int32_t value;
    int32_t firstRow;
    int expected;
  };
  const Case kCases[] = {
      {0, 18, 18},   {1, 18, 19},  {2, 18, 20},           // the colour group
      {3, 18, -1},                                        // row 21: an edit field
      {6, 18, -1},                                        // row 24: another group's radio
      {0, 24, 24},   {1, 24, 25},  {2, 24, -1},           // the format group
      {1, 30, 31},   {-1, 30, -1},                        // row 29: a group box
      {-18, 18, -1}, {32, 18, -1},                        // rows 0 and 50
      {INT32_MAX, 18, -1}, {INT32_MIN, 18, -1}, {INT32_MAX - 10, 30, -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.value << " in group " << c.firstRow);
    EXPECT_EQ(RadioRowForValue(c.value, c.firstRow), c.expected);
  }
}

TEST(FormRectToPixels, CellsAndScrollOrigin) {
  struct RectCase {
    int row;
    CellSize cell;
    FormOrigin origin;
    PixelRect expected;
  };
  const RectCase kCases[] = {
      {2, {7, 16}, {0, 0}, {353, 8, 364, 27}},
      {2, {8, 16}, {0, 0}, {404, 8, 416, 27}},
      {46, {8, 16}, {-1, 0}, {0, 376, 400, 400}},    // left edge exactly at 0
      {46, {8, 16}, {-2, 0}, {-8, 376, 392, 400}},
      {5, {7, 16}, {-13, -2}, {-7, 8, 266, 27}},
      {35, {10, 19}, {0, -3}, {20, 275, 510, 296}},  // 175*19/10 truncates to 332
  };
  for (const RectCase& c : kCases) {
    SCOPED_TRACE(c.row);
    PixelRect p = FormRectToPixels(LayoutTable[c.row], c.cell, c.origin);
    EXPECT_EQ(p.left, c.expected.left);
    EXPECT_EQ(p.top, c.expected.top);
    EXPECT_EQ(p.right, c.expected.right);
    EXPECT_EQ(p.bottom, c.expected.bottom);
  }
}

TEST(CellFromTextMetrics, VariablePitchIsWider) {
  struct CellCase {
    int32_t ave, height, leading;
    uint32_t pitch;
    CellSize expected;
  };
  const CellCase kCases[] = {
      {8, 16, 0, 0x30, {8, 16}},  // fixed pitch: bit 0 clear
      {7, 13, 3, 0x21, {10, 16}}, // variable pitch: 7 * 3 / 2 truncated
      {6, 14, 0, 0x01, {9, 14}},
  };
  for (const CellCase& c : kCases) {
    CellSize cell = CellFromTextMetrics(c.ave, c.height, c.leading, c.pitch);
    EXPECT_EQ(cell.width, c.expected.width);
    EXPECT_EQ(cell.height, c.expected.height);
  }
}

TEST(MessageTable, ConfirmationsInBothLanguages) {
  EXPECT_EQ(std::string(MessageText(ExitConfirmation, 0)), ToShiftJis("本当に終了しますか？"));
  EXPECT_STREQ(MessageText(ExitConfirmation, 1), "Really exit?");
  EXPECT_EQ(std::string(MessageText(UndoConfirmation, 0)),
            ToShiftJis("本当に復元しますか? 現在の.mdの内容が失われます。"));
  EXPECT_STREQ(MessageText(UndoConfirmation, 1),
               "Really undo? Current contents of the .md will be lost.");
  EXPECT_EQ(std::string(MessageText(FixConfirmation, 0)),
            ToShiftJis("PDFに合わせてページ番号を書き換えますか？"));
  EXPECT_STREQ(MessageText(FixConfirmation, 1), "Rewrite the page numbers to match the PDF?");
}

}  // namespace
