#include "commands/job_input.h"

#include "common/store.h"

JobInput TakeJobInput() {
  JobInput input;
  input.markdownPath = TextSlots[kMarkdownPath];
  input.tocPageCount = TextSlots[kTocPageCount];
  input.skipPages = TextSlots[kSkipPages];
  input.headerText = TextSlots[kHeaderText];
  input.customColor = TextSlots[kCustomColor];
  input.fontSizePercent = TextSlots[kFontSizePercent];
  input.colorChoice = Settings[kColorChoice];
  input.positionChoice = Settings[kPositionChoice];
  input.formatChoice = Settings[kFormatChoice];
  input.keepExistingBackup = Settings[kKeepExistingBackup];
  input.numberFirstPage = Settings[kNumberFirstPage];
  input.annotateHeadings = Settings[kAnnotateHeadings];
  input.noBackup = 0;
  return input;
}
