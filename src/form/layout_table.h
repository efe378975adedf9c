// The form as data: one constant table of 50 rows, each a control to create
// or a text to paint, and the cell arithmetic that places them. Portable: the
// window code reads this table; nothing here depends on the platform.
#pragma once

#include <stdint.h>

// RowKind codes. Codes not listed here behave like EmptyRow.
enum RowKind : int32_t {
  EmptyRow = -1,
  PaintedCaption = 1,
  PaintedSlotText = 2,
  PaintedDecimal = 3,
  PaintedHex = 4,
  PaintedEdge = 11,
  PushButton = 21,
  RadioButton = 22,
  CheckBox = 23,
  GroupBox = 24,
  Label = 31,
  SlotLabel = 32,
  DecimalLabel = 33,
  HexLabel = 34,
  EditField = 41,
};

struct LayoutRow {
  int32_t kind;
  int32_t slot;  // TextSlots or Settings index, by kind; -1 for none
  int32_t aux;   // radio: first row of its group; edge: border flags; 2: created disabled
  uint32_t style;
  int32_t left, top, right, bottom;  // tenths of a cell
  const char* captions[2];           // Japanese (Shift JIS), English
};

// The code page of the Japanese captions and messages, whatever the
// system's own code page is.
constexpr unsigned kCaptionCodePage = 932;

constexpr int kLayoutRowCount = 50;
extern const LayoutRow LayoutTable[kLayoutRowCount];

// The form's extent in cells; also the scroll ranges. The lowest edge, the
// Check PDF button's, is 282 tenths: the last cell is shown whole.
constexpr int32_t FormWidthCells = 52;
constexpr int32_t FormHeightCells = 29;

// Rows the commands and the tests refer to by name.
enum FormRow : int {
  kTitleRow = 0,
  kLanguageRow = 1,
  kDefaultSizeRow = 2,
  kFileSelectRow = 4,
  kMarkdownPathRow = 5,
  kTocPageCountRow = 10,
  kHeaderTextRow = 12,
  kFontSizeRow = 14,
  kSkipPagesRow = 16,
  kBlackRow = 18,
  kGrayRow = 19,
  kCustomColorRadioRow = 20,
  kCustomColorRow = 21,
  kFormatFirstRow = 24,
  kFormatParenRow = 25,
  kPositionRightRow = 30,
  kPositionCenterRow = 31,
  kKeepBackupRow = 33,
  kFirstPageRow = 34,
  kAnnotateRow = 35,
  kExecuteRow = 41,
  kExitRow = 42,
  kDeleteRow = 43,
  kUndoRow = 44,
  kResultRow = 46,
  kPdfSelectRow = 47,
  kPdfPathRow = 48,
  kCheckPdfRow = 49,
};

// The class of the child window a kind asks for, or null when it asks for none.
const char* WindowClassForKind(int32_t kind);
// Kinds whose control shows captions[Language].
bool HasControlCaption(int32_t kind);
// The row's caption for a Language value; anything but 1 picks Japanese.
const char* RowCaption(const LayoutRow& row, int32_t language);
// Kinds drawn by the paint handler instead of created.
bool IsPaintedKind(int32_t kind);

// The first row whose control Tab reaches (the keyboard goes through the
// controls in the order they are created, which is the table's), or -1.
int FirstTabStopRow();

// The row of the radio button that a group value names in the group whose
// first row is firstRow, or -1 when it names no radio of that group. Any
// value is safe: an edited settings file can hold any 32-bit number.
int RadioRowForValue(int32_t value, int32_t firstRow);

struct CellSize {
  int32_t width;
  int32_t height;
};

// In whole cells, 0 or negative: how far the form is scrolled left and up.
struct FormOrigin {
  int32_t x;
  int32_t y;
};

extern CellSize CellMetrics;
extern FormOrigin ScrollOrigin;

struct PixelRect {
  int32_t left, top, right, bottom;
};

// The row's rectangle in client pixels for the given cell and scroll origin.
PixelRect FormRectToPixels(const LayoutRow& row, CellSize cell, FormOrigin origin);
// The same for the current CellMetrics and ScrollOrigin.
PixelRect FormRectToPixels(int row);

// The cell of the default font: the average width, half as wide again for a
// variable-pitch font (pitch bit set), and the height with external leading.
CellSize CellFromTextMetrics(int32_t aveCharWidth, int32_t height, int32_t externalLeading,
                             uint32_t pitchAndFamily);
