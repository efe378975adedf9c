#include "commands/message_table.h"

// clang-format off
const Message ExitConfirmation = {{"\x96{\x93\x96\x82\xc9\x8fI\x97\xb9\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81H",
                                   "Really exit?"}};
const Message UndoConfirmation = {{"\x96{\x93\x96\x82\xc9\x95\x9c\x8c\xb3\x82\xb5\x82\xdc\x82\xb7\x82\xa9? \x8c\xbb\x8d\xdd\x82\xcc.md\x82\xcc\x93\xe0\x97" "e\x82\xaa\x8e\xb8\x82\xed\x82\xea\x82\xdc\x82\xb7\x81" "B",
                                   "Really undo? Current contents of the .md will be lost."}};
const Message FixConfirmation = {{"PDF\x82\xc9\x8d\x87\x82\xed\x82\xb9\x82\xc4\x83y\x81[\x83W\x94\xd4\x8d\x86\x82\xf0\x8f\x91\x82\xab\x8a\xb7\x82\xa6\x82\xdc\x82\xb7\x82\xa9\x81H",
                                  "Rewrite the page numbers to match the PDF?"}};
// clang-format on

const char* MessageText(const Message& message, int32_t language) {
  return message.texts[language == 1 ? 1 : 0];
}
