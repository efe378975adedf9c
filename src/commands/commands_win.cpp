#include "commands/commands_win.h"

#include <process.h>

#include "commands/job_input.h"
#include "commands/message_table.h"
#include "common/store.h"
#include "common/wide_text_win.h"
#include "form/form_win.h"
#include "form/scroll_win.h"
#include "paging/jobs.h"
#include "settings/settings_win.h"

HANDLE JobThread = nullptr;

namespace {

constexpr int kJobLockedControls[] = {
    kFileSelectRow, kTocPageCountRow, kHeaderTextRow, kFontSizeRow, kSkipPagesRow,
    kCustomColorRow, kExecuteRow, kExitRow, kDeleteRow, kUndoRow,
};
static_assert(sizeof kJobLockedControls / sizeof kJobLockedControls[0] == 10,
              "ten controls are locked while a job runs");

constexpr size_t kDialogPathSize = 1000;
constexpr size_t kDialogTitleSize = 249;

// Set on the user-interface thread before the worker starts; read by it.
// The inputs are taken when the button is pressed, so a radio button or
// check box clicked while the worker starts up cannot change this job.
JobKind pendingJob = JobKind::Insert;
JobInput pendingInput;
// Written by the worker just before it posts kJobDoneMessage; the window
// reads it only after that message, or after the worker has ended.
const char* volatile jobResult = nullptr;
// Whether a shutdown block reason is in place for the running job.
bool sessionEndHeld = false;

void ReportJobEnd(void* window, const JobReport& report) {
  jobResult = report.text;
  PostMessageW(static_cast<HWND>(window), kJobDoneMessage, 0, 0);
}

unsigned __stdcall RunJob(void* window) {
  const JobInput& input = pendingInput;
  switch (pendingJob) {
    case JobKind::Insert: InsertPageNumbers(input, ReportJobEnd, window); break;
    case JobKind::Remove: RemovePageNumbers(input, ReportJobEnd, window); break;
    case JobKind::Undo: UndoFromBackup(input, ReportJobEnd, window); break;
  }
  return 0;
}

void ToggleLanguage() {
  Settings[kLanguage] = Settings[kLanguage] + 1 > 1 ? 0 : Settings[kLanguage] + 1;
  ApplyCaptions();
}

void SelectMarkdownFile(HWND window) {
  const LayoutRow& row = LayoutTable[kFileSelectRow];
  wchar_t path[kDialogPathSize] = L"";
  wchar_t title[kDialogTitleSize] = L"";
  // A path too long for the dialog (an edited settings file) starts it empty.
  Utf8ToWide(TextSlots[row.slot], path, kDialogPathSize);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFilter = L"*.md\0*.md\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = kDialogPathSize;
  dialog.lpstrFileTitle = title;
  dialog.nMaxFileTitle = kDialogTitleSize;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return;
  // 999 UTF-16 units are at most 2997 UTF-8 bytes: always within a slot.
  char chosen[3 * kDialogPathSize];
  if (WideToUtf8(path, chosen, sizeof chosen)) SetTextSlot(row.slot, chosen);
}

// A value that names no radio of the group (an edited settings file) has no
// mark to clear.
void SelectRadio(int row) {
  const LayoutRow& r = LayoutTable[row];
  int marked = RadioRowForValue(Settings[r.slot], r.aux);
  if (marked >= 0) SendMessageW(ControlHandles[marked], BM_SETCHECK, BST_UNCHECKED, 0);
  Settings[r.slot] = row - r.aux;
  SendMessageW(ControlHandles[row], BM_SETCHECK, BST_CHECKED, 0);
}

void ToggleCheckBox(int row) {
  const LayoutRow& r = LayoutTable[row];
  Settings[r.slot] = Settings[r.slot] != 0 ? 0 : 1;
  SendMessageW(ControlHandles[row], BM_SETCHECK, Settings[r.slot] != 0 ? BST_CHECKED : BST_UNCHECKED,
               0);
}

bool Confirm(HWND window, const Message& message, const wchar_t* title) {
  wchar_t text[256];
  CodePageToWide(kCaptionCodePage, MessageText(message, Settings[kLanguage]), text, 256);
  return MessageBoxW(window, text, title, MB_YESNO) == IDYES;
}

void RunCommand(HWND window, int id) {
  switch (id) {
    case kLanguageRow: ToggleLanguage(); break;
    case kDefaultSizeRow: DefaultSizeCommand(window); break;
    case kFileSelectRow: SelectMarkdownFile(window); break;
    case kBlackRow:
    case kGrayRow:
    case kCustomColorRadioRow:
    case kFormatFirstRow:
    case kFormatParenRow:
    case kPositionRightRow:
    case kPositionCenterRow: SelectRadio(id); break;
    case kKeepBackupRow:
    case kFirstPageRow:
    case kAnnotateRow: ToggleCheckBox(id); break;
    case kExecuteRow: StartJob(JobKind::Insert, window); break;
    case kExitRow:
      if (Confirm(window, ExitConfirmation, L"Exit")) SendMessageW(window, WM_DESTROY, 0, 0);
      break;
    case kDeleteRow: StartJob(JobKind::Remove, window); break;
    case kUndoRow:
      if (Confirm(window, UndoConfirmation, L"Undo")) StartJob(JobKind::Undo, window);
      break;
    default: break;
  }
}

// Gives up the hold on the session end, if there is one.
void ReleaseSessionEnd(HWND window) {
  if (!sessionEndHeld) return;
  ShutdownBlockReasonDestroy(window);
  sessionEndHeld = false;
}

// The language, size and job buttons keep the result on show.
bool KeepsResultText(int id) {
  return id == kLanguageRow || id == kDefaultSizeRow ||
         (id >= kExecuteRow && id <= kUndoRow);
}

}  // namespace

void HandleCommand(HWND window, UINT commandWord) {
  if (HIWORD(commandWord) != 0) return;
  int id = LOWORD(commandWord);
  RunCommand(window, id);
  if (!KeepsResultText(id)) TextSlots[kResultText][0] = '\0';
  InvalidateRect(window, nullptr, TRUE);
}

void StartJob(JobKind job, HWND window) {
  HarvestEdits();
  TextSlots[kResultText][0] = '\0';
  pendingJob = job;
  pendingInput = TakeJobInput();
  jobResult = nullptr;
  // The worker's end is a posted message, handled only after this returns,
  // so even a job that ends at once finds the inputs already locked.
  uintptr_t thread = _beginthreadex(nullptr, 0, RunJob, window, 0, nullptr);
  if (thread == 0) return;
  JobThread = reinterpret_cast<HANDLE>(thread);
  DisableInputs();
}

void DisableInputs() {
  for (int row : kJobLockedControls) EnableWindow(ControlHandles[row], FALSE);
}

void EnableInputs() {
  for (int row : kJobLockedControls) EnableWindow(ControlHandles[row], TRUE);
  if (JobThread != nullptr) CloseHandle(JobThread);
  JobThread = nullptr;
}

LRESULT FinishJob(HWND window) {
  if (JobThread == nullptr) return 0;
  const char* result = jobResult;
  SetTextSlot(kResultText, result != nullptr ? result : "");
  EnableInputs();
  ReleaseSessionEnd(window);
  InvalidateRect(window, nullptr, TRUE);
  return 0;
}

LRESULT HoldSessionEndForJob(HWND window) {
  if (JobThread == nullptr) return TRUE;
  if (!sessionEndHeld) {
    sessionEndHeld =
        ShutdownBlockReasonCreate(window, L"Foliostamp is rewriting a Markdown file.") != FALSE;
  }
  return FALSE;
}

void WaitForRunningJob(HWND window) {
  if (JobThread == nullptr) return;
  HANDLE thread = JobThread;
  // Sent messages are still answered, so no thread that sends to this one
  // can block the wait; posted ones stay queued while the window goes away.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
         WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  FinishJob(window);
}
