// The texts of the confirmations, in both languages.
#pragma once

#include <stdint.h>

struct Message {
  const char* texts[2];  // Japanese (Shift JIS), English
};

extern const Message ExitConfirmation;
extern const Message UndoConfirmation;
extern const Message FixConfirmation;

// The message's text for a Language value; anything but 1 reads Japanese.
const char* MessageText(const Message& message, int32_t language);
