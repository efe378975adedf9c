#include "form/layout_table.h"

namespace {

// The platform's flag values, spelled as the platform spells them, so the
// table reads like the form it describes without pulling in <windows.h>.
// The Windows tests compare every row's style against the real headers.
constexpr uint32_t WS_CHILD = 0x40000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_BORDER = 0x00800000u;
constexpr uint32_t WS_GROUP = 0x00020000u;
constexpr uint32_t WS_TABSTOP = 0x00010000u;
constexpr uint32_t SS_LEFT = 0x0u;
constexpr uint32_t SS_RIGHT = 0x2u;
constexpr uint32_t BS_PUSHBUTTON = 0x0u;
constexpr uint32_t BS_CHECKBOX = 0x2u;
constexpr uint32_t BS_RADIOBUTTON = 0x4u;
constexpr uint32_t BS_GROUPBOX = 0x7u;
constexpr uint32_t BS_LEFT = 0x100u;
constexpr uint32_t ES_AUTOHSCROLL = 0x80u;
constexpr uint32_t DT_WORDBREAK = 0x10u;
constexpr uint32_t DT_PATH_ELLIPSIS = 0x4000u;

constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;
// Each control the keyboard reaches starts a group of its own, so the arrow
// keys move only between the radio buttons that follow a group's first one.
constexpr uint32_t kGroup = WS_CHILD | WS_VISIBLE | WS_GROUP;
constexpr uint32_t kStop = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;
constexpr uint32_t kEdit = kStop | WS_BORDER | ES_AUTOHSCROLL;
constexpr uint32_t kNoStyle = 0xFFFFFFFFu;

#define EMPTY_ROW {EmptyRow, -1, -1, kNoStyle, 0, 0, 0, 0, {nullptr, nullptr}}

}  // namespace

// Japanese captions are Shift JIS (code page 932) bytes; the native tests
// convert the readable texts and compare.
// clang-format off
const LayoutRow LayoutTable[kLayoutRowCount] = {
  /*  0 */ {Label,           -1, -1, kChild | SS_LEFT,          10,   6, 400,  16, {"\x83y\x81[\x83W\x94\xd4\x8d\x86\x92\xc7\x89\xc1(\x83}\x81[\x83N\x83_\x83" "E\x83\x93\x97p)", "Adding page-number for Markdown"}},
  /*  1 */ {PushButton,      -1, -1, kStop | BS_PUSHBUTTON,   410,   5, 500,  17, {"English", "Japanese"}},
  /*  2 */ {PushButton,      -1, -1, kStop | BS_PUSHBUTTON,   505,   5, 520,  17, {"#", "#"}},
  /*  3 */ EMPTY_ROW,
  /*  4 */ {PushButton,       2, -1, kStop | BS_PUSHBUTTON,    10,  25, 110,  37, {"\x83t\x83@\x83" "C\x83\x8b\x91I\x91\xf0", "File select"}},
  /*  5 */ {PaintedSlotText,  2, -1, DT_PATH_ELLIPSIS,         120,  25, 510,  37, {nullptr, nullptr}},
  /*  6 */ EMPTY_ROW,
  /*  7 */ EMPTY_ROW,
  /*  8 */ EMPTY_ROW,
  /*  9 */ {Label,           -1, -1, kChild | SS_RIGHT,         10,  40, 110,  52, {"\x96\xda\x8e\x9f\x83y\x81[\x83W\x90\x94", "Number of TOC"}},
  /* 10 */ {EditField,        6, -1, kEdit,                    120,  40, 150,  52, {nullptr, nullptr}},
  /* 11 */ {Label,           -1, -1, kChild | SS_RIGHT,        160,  40, 240,  52, {"\x83w\x83" "b\x83_", "Header"}},
  /* 12 */ {EditField,        4, -1, kEdit,                    250,  40, 510,  52, {nullptr, nullptr}},
  /* 13 */ {Label,           -1, -1, kChild | SS_RIGHT,         10,  55, 110,  67, {"font \x83T\x83" "C\x83Y(%)", "font size(%)"}},
  /* 14 */ {EditField,        7, -1, kEdit,                    120,  55, 150,  67, {nullptr, nullptr}},
  /* 15 */ {Label,           -1, -1, kChild | SS_RIGHT,        160,  55, 240,  67, {"\x94\xf2\x82\xd1\x83y\x81[\x83W", "Skip page"}},
  /* 16 */ {EditField,        5, -1, kEdit,                    250,  55, 510,  67, {nullptr, nullptr}},
  /* 17 */ {GroupBox,        -1, -1, kGroup | BS_GROUPBOX,      10,  70, 520, 100, {"\x90" "F", "color"}},
  /* 18 */ {RadioButton,     12, 18, kStop | BS_RADIOBUTTON,   20,  85, 110,  97, {"\x8d\x95", "black"}},
  /* 19 */ {RadioButton,     12, 18, kChild | BS_RADIOBUTTON,  120,  85, 220,  97, {"\x8a" "D\x90" "F", "gray"}},
  /* 20 */ {RadioButton,     12, 18, kChild | BS_RADIOBUTTON,  230,  85, 240,  97, {"", ""}},
  /* 21 */ {EditField,        3, -1, kEdit,                    250,  85, 510,  97, {nullptr, nullptr}},
  /* 22 */ EMPTY_ROW,
  /* 23 */ {GroupBox,        -1, -1, kGroup | BS_GROUPBOX,      10, 105, 520, 135, {"\x8f\x91\x8e\xae", "format"}},
  /* 24 */ {RadioButton,     15, 24, kStop | BS_RADIOBUTTON,   20, 120, 110, 132, {"#/##", "#/##"}},
  /* 25 */ {RadioButton,     15, 24, kChild | BS_RADIOBUTTON,  120, 120, 220, 132, {"(#/##)", "(#/##)"}},
  /* 26 */ EMPTY_ROW,
  /* 27 */ EMPTY_ROW,
  /* 28 */ EMPTY_ROW,
  /* 29 */ {GroupBox,        -1, -1, kGroup | BS_GROUPBOX,      10, 140, 320, 170, {"\x88\xca\x92u", "position"}},
  /* 30 */ {RadioButton,     13, 30, kStop | BS_RADIOBUTTON,   20, 155, 110, 167, {"\x89" "E", "right"}},
  /* 31 */ {RadioButton,     13, 30, kChild | BS_RADIOBUTTON,  120, 155, 220, 167, {"\x92\x86\x89\x9b", "center"}},
  /* 32 */ EMPTY_ROW,
  /* 33 */ {CheckBox,        16, -1, kStop | BS_CHECKBOX | BS_LEFT, 340, 140, 510, 152, {".bak\x8f\xe3\x8f\x91\x82\xab\x8b\xd6\x8e~", "Don't overwrite .bak"}},
  /* 34 */ {CheckBox,        17, -1, kStop | BS_CHECKBOX | BS_LEFT, 340, 155, 510, 167, {"1\x83y\x81[\x83W\x96\xda\x82\xa9\x82\xe7\x95\x5c\x8e\xa6", "From the first page."}},
  /* 35 */ {CheckBox,        18, -1, kStop | BS_CHECKBOX | BS_LEFT,  20, 175, 510, 186, {"TOC\x8d\x80\x96\xda\x82\xc9\x83y\x81[\x83W\x94\xd4\x8d\x86\x92\xc7\x89\xc1\x81" "B\x92\x8d\x88\xd3\x81" "F\x93\xa7\x96\xbe\x95\xb6\x8e\x9a\x8eg\x97p\x82\xcc\x82\xbd\x82\xdf\x81" "A", "Add page numbers to the items of TOC. CAUTION: You will get a penalty"}},
  /* 36 */ {Label,           -1, -1, kChild | SS_LEFT,          35, 187, 510, 198, {"\x8c\x9f\x8d\xf5\x83T\x83" "C\x83g\x82\xa9\x82\xe7\x83y\x83i\x83\x8b\x83" "e\x83" "B\x82\xf0\x8e\xf3\x82\xaf\x82\xe9\x89\xc2\x94\x5c\x90\xab\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb7", "from search sites because of using transparent characters."}},
  /* 37 */ EMPTY_ROW,
  /* 38 */ EMPTY_ROW,
  /* 39 */ EMPTY_ROW,
  /* 40 */ EMPTY_ROW,
  /* 41 */ {PushButton,      -1, -1, kStop | BS_PUSHBUTTON,   120, 205, 180, 217, {"\x8e\xc0\x8ds", "Execute"}},
  /* 42 */ {PushButton,      -1, -1, kStop | BS_PUSHBUTTON,   220, 205, 280, 217, {"\x8fI\x97\xb9", "Exit"}},
  /* 43 */ {PushButton,      -1, -1, kStop | BS_PUSHBUTTON,   320, 205, 380, 217, {"\x8d\xed\x8f\x9c", "Delete"}},
  /* 44 */ {PushButton,      -1, -1, kStop | BS_PUSHBUTTON,   440, 205, 490, 217, {"\x95\x9c\x8c\xb3", "Undo"}},
  /* 45 */ {Label,           -1, -1, kChild | SS_LEFT,          10, 220, 120, 232, {"\x8c\x8b\x89\xca", "Result"}},
  /* 46 */ {PaintedSlotText,  1, -1, DT_WORDBREAK,              10, 235, 510, 250, {nullptr, nullptr}},
  /* 47 */ {PushButton,       8, -1, kStop | BS_PUSHBUTTON,    10, 255, 110, 267, {"PDF\x91I\x91\xf0", "PDF select"}},
  /* 48 */ {PaintedSlotText,  8, -1, DT_PATH_ELLIPSIS,         120, 255, 510, 267, {nullptr, nullptr}},
  /* 49 */ {PushButton,      -1, -1, kStop | BS_PUSHBUTTON,    10, 270, 110, 282, {"PDF\x8am\x94" "F", "Check PDF"}},
};
// clang-format on

#undef EMPTY_ROW

static_assert(sizeof LayoutTable / sizeof LayoutTable[0] == 50, "the form has exactly 50 rows");

CellSize CellMetrics = {0, 0};
FormOrigin ScrollOrigin = {0, 0};

const char* WindowClassForKind(int32_t kind) {
  switch (kind) {
    case PushButton:
    case RadioButton:
    case CheckBox:
    case GroupBox:
      return "button";
    case Label:
    case SlotLabel:
    case DecimalLabel:
    case HexLabel:
      return "static";
    case EditField:
      return "edit";
    default:
      return nullptr;
  }
}

bool HasControlCaption(int32_t kind) {
  return kind == PushButton || kind == RadioButton || kind == CheckBox || kind == GroupBox ||
         kind == Label;
}

const char* RowCaption(const LayoutRow& row, int32_t language) {
  return row.captions[language == 1 ? 1 : 0];
}

bool IsPaintedKind(int32_t kind) {
  return kind == PaintedCaption || kind == PaintedSlotText || kind == PaintedDecimal ||
         kind == PaintedHex || kind == PaintedEdge;
}

int FirstTabStopRow() {
  for (int row = 0; row < kLayoutRowCount; ++row) {
    const LayoutRow& r = LayoutTable[row];
    if (WindowClassForKind(r.kind) != nullptr && (r.style & WS_TABSTOP) != 0) return row;
  }
  return -1;
}

int RadioRowForValue(int32_t value, int32_t firstRow) {
  int64_t row = int64_t{value} + firstRow;
  if (row < 0 || row >= kLayoutRowCount) return -1;
  const LayoutRow& r = LayoutTable[row];
  return r.kind == RadioButton && r.aux == firstRow ? static_cast<int>(row) : -1;
}

PixelRect FormRectToPixels(const LayoutRow& row, CellSize cell, FormOrigin origin) {
  // Product first, then the truncating division, then the whole-cell scroll.
  PixelRect r;
  r.left = row.left * cell.width / 10 + origin.x * cell.width;
  r.right = row.right * cell.width / 10 + origin.x * cell.width;
  r.top = row.top * cell.height / 10 + origin.y * cell.height;
  r.bottom = row.bottom * cell.height / 10 + origin.y * cell.height;
  return r;
}

PixelRect FormRectToPixels(int row) {
  return FormRectToPixels(LayoutTable[row], CellMetrics, ScrollOrigin);
}

CellSize CellFromTextMetrics(int32_t aveCharWidth, int32_t height, int32_t externalLeading,
                             uint32_t pitchAndFamily) {
  CellSize cell;
  // The platform sets this bit for variable-pitch fonts, despite its name.
  cell.width = (pitchAndFamily & 1u) != 0 ? aveCharWidth * 3 / 2 : aveCharWidth;
  cell.height = height + externalLeading;
  return cell;
}
