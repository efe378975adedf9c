#include "commands/commands_win.h"

#include <process.h>
#include <string.h>
#include <wchar.h>

#include "commands/job_input.h"
#include "commands/message_table.h"
#include "commands/pdf_path.h"
#include "commands/report_box.h"
#include "common/store.h"
#include "common/wide_text_win.h"
#include "form/form_win.h"
#include "form/scroll_win.h"
#include "paging/file_ops.h"
#include "paging/jobs.h"
#include "settings/settings_win.h"
#include "verify/verify_report.h"
#include "verify/verify_run.h"

HANDLE JobThread = nullptr;

namespace {

constexpr int kJobLockedControls[] = {
    kFileSelectRow, kTocPageCountRow, kHeaderTextRow, kFontSizeRow, kSkipPagesRow,
    kCustomColorRow, kExecuteRow, kExitRow, kDeleteRow, kUndoRow,
    kPdfSelectRow, kCheckPdfRow,
};
static_assert(sizeof kJobLockedControls / sizeof kJobLockedControls[0] == 12,
              "twelve controls are locked while a job runs");

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
// The control that had the focus when a job locked it; it gets it back as
// the job ends, so the keyboard goes on where it was.
HWND focusBeforeJob = nullptr;

// The PDF a check job reads: PdfPath, or the one beside the document.
char pendingPdfPath[kTextSlotSize];
// Set by a check job that found numbers disagreeing with the PDF that the
// fix can rewrite; the window asks whether to once the job has ended.
volatile bool fixWanted = false;
VerifyRun verifyRun;
char verifyText[kTextSlotSize];

void ReportJobEnd(void* window, const JobReport& report) {
  jobResult = report.text;
  PostMessageW(static_cast<HWND>(window), kJobDoneMessage, 0, 0);
}

void RunPdfJob(void* window, bool fix) {
  RunVerify(pendingInput.markdownPath, pendingPdfPath, fix, &verifyRun);
  const ReportPaths paths = {pendingInput.markdownPath, pendingPdfPath};
  bool complete = true;
  WriteVerifyReport(verifyRun, paths, verifyText, sizeof verifyText, &complete);
  // Only a fix that can run is offered: when some number lines are not in
  // the PDF, --fix would refuse, and the report says to export again.
  fixWanted = !fix && ReportVerdictOf(verifyRun) == ReportVerdict::Fixable;
  jobResult = verifyText;
  PostMessageW(static_cast<HWND>(window), kJobDoneMessage, 0, 0);
}

unsigned __stdcall RunJob(void* window) {
  const JobInput& input = pendingInput;
  switch (pendingJob) {
    case JobKind::Insert: InsertPageNumbers(input, ReportJobEnd, window); break;
    case JobKind::Remove: RemovePageNumbers(input, ReportJobEnd, window); break;
    case JobKind::Undo: UndoFromBackup(input, ReportJobEnd, window); break;
    case JobKind::CheckPdf:
    case JobKind::FixPdf: RunPdfJob(window, pendingJob == JobKind::FixPdf); break;
  }
  return 0;
}

void ToggleLanguage() {
  Settings[kLanguage] = Settings[kLanguage] + 1 > 1 ? 0 : Settings[kLanguage] + 1;
  ApplyCaptions();
}

// The open-file dialog for one pattern; path holds the file it starts with
// and receives the choice. False when cancelled or when it fails.
bool ChooseFile(HWND window, const wchar_t* filter, const wchar_t* folder, wchar_t* path) {
  wchar_t title[kDialogTitleSize] = L"";
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = kDialogPathSize;
  dialog.lpstrFileTitle = title;
  dialog.nMaxFileTitle = kDialogTitleSize;
  dialog.lpstrInitialDir = folder;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  return GetOpenFileNameW(&dialog) != FALSE;
}

// A different document forgets the PDF chosen for the one before, so that
// Check PDF reads the new one's own PDF (the one beside it) until another
// is chosen. A PDF chosen while no document was has no document to follow.
void TakeMarkdownPath(const char* path) {
  if (TextSlots[kMarkdownPath][0] != '\0' && !SameTarget(TextSlots[kMarkdownPath], path)) {
    TextSlots[kPdfPath][0] = '\0';
  }
  SetTextSlot(kMarkdownPath, path);
}

// 999 UTF-16 units are at most 2997 UTF-8 bytes: always within a slot.
void StoreChosenPath(int slot, const wchar_t* path) {
  char chosen[3 * kDialogPathSize];
  if (!WideToUtf8(path, chosen, sizeof chosen)) return;
  if (slot == kMarkdownPath) {
    TakeMarkdownPath(chosen);
  } else {
    SetTextSlot(slot, chosen);
  }
}

void SelectMarkdownFile(HWND window) {
  wchar_t path[kDialogPathSize] = L"";
  // A path too long for the dialog (an edited settings file) starts it empty.
  Utf8ToWide(TextSlots[kMarkdownPath], path, kDialogPathSize);
  if (ChooseFile(window, L"*.md\0*.md\0", nullptr, path)) StoreChosenPath(kMarkdownPath, path);
}

// Starts in the document's folder, where the editor exports its PDF.
void SelectPdfFile(HWND window) {
  wchar_t folder[kDialogPathSize] = L"";
  if (Utf8ToWide(TextSlots[kMarkdownPath], folder, kDialogPathSize)) {
    wchar_t* end = folder;
    for (wchar_t* p = folder; *p != L'\0'; ++p) {
      if (*p == L'\\' || *p == L'/') end = p;
    }
    *end = L'\0';
  }
  wchar_t path[kDialogPathSize] = L"";
  if (ChooseFile(window, L"*.pdf\0*.pdf\0", folder[0] != L'\0' ? folder : nullptr, path)) {
    StoreChosenPath(kPdfPath, path);
  }
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

// A question whose Yes rewrites the document has No as its default button,
// so that Enter never rewrites a file.
constexpr UINT kRewriteQuestion = MB_YESNO | MB_DEFBUTTON2;

bool Confirm(HWND window, const Message& message, const wchar_t* title, UINT style) {
  wchar_t text[256];
  CodePageToWide(kCaptionCodePage, MessageText(message, Settings[kLanguage]), text, 256);
  return MessageBoxW(window, text, title, style) == IDYES;
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
      if (Confirm(window, ExitConfirmation, L"Exit", MB_YESNO)) {
        SendMessageW(window, WM_DESTROY, 0, 0);
      }
      break;
    case kDeleteRow: StartJob(JobKind::Remove, window); break;
    case kUndoRow:
      if (Confirm(window, UndoConfirmation, L"Undo", kRewriteQuestion)) {
        StartJob(JobKind::Undo, window);
      }
      break;
    case kPdfSelectRow: SelectPdfFile(window); break;
    case kCheckPdfRow: StartJob(JobKind::CheckPdf, window); break;
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
         (id >= kExecuteRow && id <= kUndoRow) || id == kCheckPdfRow;
}

// The report as a box shows it, a blank line, and the question: UTF-8
// report lines and a Shift JIS question, both into UTF-16.
wchar_t fixQuestion[kTextSlotSize + 512];

const wchar_t* FixQuestionText(const char* report) {
  static char shown[kTextSlotSize];
  BoxReportText(report, shown, sizeof shown);
  if (!Utf8ToWide(shown, fixQuestion, kTextSlotSize)) fixQuestion[0] = L'\0';
  size_t length = wcslen(fixQuestion);
  size_t room = sizeof fixQuestion / sizeof fixQuestion[0] - length;
  if (length > 0) {
    wcscpy_s(fixQuestion + length, room, L"\n\n");
    length += 2;
    room -= 2;
  }
  CodePageToWide(kCaptionCodePage, MessageText(FixConfirmation, Settings[kLanguage]),
                 fixQuestion + length, room);
  return fixQuestion;
}

// A check that found disagreeing numbers asks, with the job's report in
// view, whether to fix them; Yes starts the fixing job.
void OfferFix(HWND window) {
  if (!fixWanted) return;
  fixWanted = false;
  int answer = MessageBoxW(window, FixQuestionText(TextSlots[kResultText]), L"Check PDF",
                           kRewriteQuestion);
  if (answer == IDYES) StartJob(JobKind::FixPdf, window);
  InvalidateRect(window, nullptr, TRUE);
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
  fixWanted = false;
  if (TextSlots[kPdfPath][0] != '\0') {
    memcpy(pendingPdfPath, TextSlots[kPdfPath], sizeof pendingPdfPath);
  } else {
    DefaultPdfPath(TextSlots[kMarkdownPath], pendingPdfPath, sizeof pendingPdfPath);
  }
  // The worker's end is a posted message, handled only after this returns,
  // so even a job that ends at once finds the inputs already locked.
  uintptr_t thread = _beginthreadex(nullptr, 0, RunJob, window, 0, nullptr);
  if (thread == 0) return;
  JobThread = reinterpret_cast<HANDLE>(thread);
  DisableInputs();
}

void DisableInputs() {
  // A disabled control loses the focus to nothing, which would leave Tab
  // dead; the main window holds it meanwhile.
  HWND focus = GetFocus();
  focusBeforeJob = nullptr;
  for (int row : kJobLockedControls) {
    if (ControlHandles[row] == focus && focus != nullptr) focusBeforeJob = focus;
  }
  if (focusBeforeJob != nullptr) SetFocus(GetParent(focusBeforeJob));
  for (int row : kJobLockedControls) EnableWindow(ControlHandles[row], FALSE);
}

void EnableInputs() {
  for (int row : kJobLockedControls) EnableWindow(ControlHandles[row], TRUE);
  if (JobThread != nullptr) CloseHandle(JobThread);
  JobThread = nullptr;
  // Unless the user has moved on to another control meanwhile.
  if (focusBeforeJob != nullptr && GetFocus() == GetParent(focusBeforeJob)) {
    SetFocus(focusBeforeJob);
  }
  focusBeforeJob = nullptr;
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

LRESULT OnJobDone(HWND window) {
  if (JobThread == nullptr) return 0;
  FinishJob(window);
  OfferFix(window);
  return 0;
}

void OpenFiles(HWND window, UINT count, FileNameAt nameAt, void* source) {
  // Documents first: a PDF named with its document is kept whatever the
  // order of the names.
  for (int round = 0; round < 2; ++round) {
    bool pdfRound = round == 1;
    for (UINT i = 0; i < count; ++i) {
      wchar_t buffer[kWidePathSize];
      const wchar_t* name = nameAt(source, i, buffer);
      if (name == nullptr) continue;
      wchar_t full[kWidePathSize];
      DWORD length = GetFullPathNameW(name, kWidePathSize, full, nullptr);
      if (length == 0 || length >= kWidePathSize) continue;
      char utf8[3 * kWidePathSize];
      if (!WideToUtf8(full, utf8, sizeof utf8) || HasPdfExtension(utf8) != pdfRound) continue;
      if (pdfRound) {
        SetTextSlot(kPdfPath, utf8);
      } else {
        TakeMarkdownPath(utf8);
      }
    }
  }
  if (window != nullptr) InvalidateRect(window, nullptr, TRUE);
}

namespace {

const wchar_t* DroppedFileAt(void* drop, UINT i, wchar_t* buffer) {
  HDROP files = static_cast<HDROP>(drop);
  // A name too long for the buffer would arrive cut: it is left out.
  if (DragQueryFileW(files, i, nullptr, 0) >= kWidePathSize) return nullptr;
  return DragQueryFileW(files, i, buffer, kWidePathSize) != 0 ? buffer : nullptr;
}

}  // namespace

void TakeDroppedFiles(HWND window, HDROP drop) {
  // The job reads the paths: they stay as they are until it ends.
  if (JobThread == nullptr) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    OpenFiles(window, count, DroppedFileAt, drop);
    if (count > 0) TextSlots[kResultText][0] = '\0';
  }
  DragFinish(drop);
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
