#include "app/main_win.h"

#include "commands/commands_win.h"
#include "common/store.h"
#include "form/form_win.h"
#include "form/scroll_math.h"
#include "form/scroll_win.h"
#include "settings/settings_path.h"
#include "settings/settings_win.h"

const wchar_t kMainWindowTitle[] = L"Foliostamp : R1.10 - page numbers for Markdown";

namespace {

// The control that gets the focus as the window is activated: the one that
// had it when the window was last deactivated, at first the form's first
// tab stop, as in a dialog box.
HWND savedFocus = nullptr;

const wchar_t* StartFileAt(void* files, UINT i, wchar_t*) {
  return static_cast<const StartFiles*>(files)->names[i];
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW* create) {
  MeasureCellMetrics(window);
  LoadSettingsFile();
  auto* startFiles = static_cast<const StartFiles*>(create->lpCreateParams);
  if (startFiles != nullptr && startFiles->count > 0) {
    OpenFiles(nullptr, static_cast<UINT>(startFiles->count), StartFileAt,
              const_cast<StartFiles*>(startFiles));
  }
  BuildForm(window, create->hInstance);
  int firstStop = FirstTabStopRow();
  savedFocus = firstStop >= 0 ? ControlHandles[firstStop] : nullptr;
  RestoreWindowRect(window);
  DragAcceptFiles(window, TRUE);
  return 0;
}

// A message box or the file dialog takes the focus away; coming back, the
// keyboard goes on at the control it left, as in a dialog box.
LRESULT OnActivate(HWND window, WPARAM state, LPARAM lParam) {
  if (LOWORD(state) == WA_INACTIVE) {
    HWND focus = GetFocus();
    savedFocus = focus != nullptr && IsChild(window, focus) ? focus : nullptr;
    return 0;
  }
  if (savedFocus != nullptr && IsWindowEnabled(savedFocus)) {
    SetFocus(savedFocus);
    return 0;
  }
  return DefWindowProcW(window, WM_ACTIVATE, state, lParam);
}

// A job still running finishes first, so its file is whole and its result
// is what the settings file keeps; then the settings are saved and the
// message loop ends.
void EndProgram(HWND window) {
  WaitForRunningJob(window);
  if (SettingsPath[0] != '\0') {
    SaveSettingsFile(window);
  } else {
    PostQuitMessage(0);
  }
}

LRESULT OnDestroy(HWND window) {
  EndProgram(window);
  return 0;
}

// The session ends whatever the answer to WM_QUERYENDSESSION was, and the
// process with it once this returns: finish as a close would. The job's end
// also gives up the hold on the session.
LRESULT OnEndSession(HWND window, WPARAM ending) {
  if (ending != FALSE) EndProgram(window);
  return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(window, reinterpret_cast<CREATESTRUCTW*>(lParam)); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_QUERYENDSESSION: return HoldSessionEndForJob(window);
    case WM_ENDSESSION: OnEndSession(window, wParam); return 0;
    case WM_SIZE: ResizeForm(window, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_PAINT: PaintForm(window); return 0;
    case WM_COMMAND: HandleCommand(window, static_cast<UINT>(wParam)); return 0;
    case WM_HSCROLL: ScrollFormHorizontally(window, LOWORD(wParam)); return 0;
    case WM_VSCROLL: ScrollFormVertically(window, LOWORD(wParam)); return 0;
    case WM_ACTIVATE: return OnActivate(window, wParam, lParam);
    case WM_DROPFILES: TakeDroppedFiles(window, reinterpret_cast<HDROP>(wParam)); return 0;
    case kJobDoneMessage: OnJobDone(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
  // A module without the program's resources (the tests) shows the standard one.
  if (windowClass.hIcon == nullptr) windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kWindowClassName;
  return RegisterClassW(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, const StartFiles* startFiles) {
  return CreateWindowExW(0, kWindowClassName, kMainWindowTitle,
                         WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                         const_cast<StartFiles*>(startFiles));
}

bool IsFormKey(HWND window, MSG* message) {
  // Enter and Escape would reach the dialog keys as IDOK and IDCANCEL,
  // which are the language and "#" buttons' ids here; no key stands for a
  // button but the focused one's Space.
  if (message->message == WM_KEYDOWN &&
      (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
    return false;
  }
  HWND focusBefore = GetFocus();
  bool handled = IsDialogMessageW(window, message) != FALSE;
  // A control the keys moved to must be seen before Space presses it. Not
  // after a click: scrolling then would move the button from under the mouse.
  HWND focus = GetFocus();
  if (message->message == WM_KEYDOWN && focus != focusBefore) RevealControl(window, focus);
  return handled;
}

void RestoreWindowRect(HWND window) {
  WindowBox box;
  if (RestorableWindowBox(Settings[kWindowLeft], Settings[kWindowTop], Settings[kWindowRight],
                          Settings[kWindowBottom], &box)) {
    MoveWindow(window, box.x, box.y, box.width, box.height, TRUE);
  }
}

int RunFoliostamp(HINSTANCE instance, int showCommand) {
  ResetStores();
  if (!RegisterMainWindowClass(instance)) {
    MessageBoxW(nullptr, L"Few resource or Wrong coding", L"Foliostamp", MB_ICONERROR);
    return 0;
  }
  // The files "Open with" or a drop on the icon gives, after the program's name.
  int argumentCount = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &argumentCount);
  StartFiles startFiles = {nullptr, 0};
  if (arguments != nullptr && argumentCount > 1) startFiles = {arguments + 1, argumentCount - 1};
  HWND window = CreateMainWindow(instance, &startFiles);
  if (arguments != nullptr) LocalFree(arguments);
  if (window == nullptr) {
    MessageBoxW(nullptr, L"The main window could not be created.", L"Foliostamp", MB_ICONERROR);
    return 0;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsFormKey(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
