// What the form's buttons do, and the one worker thread that runs a job.
#pragma once

#include <windows.h>

// Posted by the worker to the main window as its job ends; the window then
// shows the result and unlocks the inputs on its own thread.
constexpr UINT kJobDoneMessage = WM_APP + 1;

// The running worker, or null when no job runs.
extern HANDLE JobThread;

void HandleCommand(HWND window, UINT commandWord);

// The jobs as StartJob takes them: the three that rewrite the document by
// the options, and the check against its PDF with the fixing that follows it.
enum class JobKind { Insert, Remove, Undo, CheckPdf, FixPdf };
void StartJob(JobKind job, HWND window);

void DisableInputs();
void EnableInputs();

// The job-completion message: result into ResultText, inputs unlocked,
// window repainted.
LRESULT FinishJob(HWND window);

// kJobDoneMessage: FinishJob, then, after a check that found the numbers
// disagreeing with the PDF, the question whether to fix them.
LRESULT OnJobDone(HWND window);

// The i-th of the names a source holds, in buffer (kWidePathSize units) or
// elsewhere; null for one to leave out.
using FileNameAt = const wchar_t* (*)(void* source, UINT i, wchar_t* buffer);

// Files named on the command line or dropped on the window: the full path
// of a ".pdf" becomes PdfPath, of any other MarkdownPath. A document other
// than the one before empties PdfPath, unless a PDF comes with it, in any
// order. Null window: nothing to repaint yet.
void OpenFiles(HWND window, UINT count, FileNameAt nameAt, void* source);

// WM_DROPFILES: the dropped files as OpenFiles takes them, ResultText
// emptied as a file choice does; nothing while a job runs.
void TakeDroppedFiles(HWND window, HDROP drop);

// Waits for a running job while still answering messages sent to this
// thread, then finishes it. Called as the window is destroyed, and as the
// session ends, so that the Markdown file is never left half written.
void WaitForRunningJob(HWND window);

// The answer to WM_QUERYENDSESSION: TRUE when no job runs; while one runs,
// FALSE, with a reason the system shows the user for holding the session.
LRESULT HoldSessionEndForJob(HWND window);
