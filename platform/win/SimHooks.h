// Where the window and system layer asks the simulated world, and what it shows of
// itself to it. Nothing is installed in the shipped program, so every hook gives the
// real answer: the monotonic clock, a dialog's default button, no help viewer. Tests
// drive these hooks through platform/sim; the system's own code never includes this
// header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Types.h"
#include "platform/win/WinTypes.h"

namespace sim {

// --- The clock the platform's timers, tick counts and timed waits run on ---

// Milliseconds since an arbitrary start: the installed virtual clock's time, or the
// monotonic clock's.
uint64_t NowMs();
// Whether a virtual clock is installed.
bool IsVirtualClock();

// The function NowMs asks while a virtual clock is installed.
using VirtualNow = uint64_t (*)();
void InstallVirtualClock(VirtualNow now);
// Back to real time, which goes on from continueFromMs.
void RemoveVirtualClock(uint64_t continueFromMs);

// --- The calling thread's loop ---

// Runs the callbacks of the watched descriptors that are ready now, without waiting;
// answers whether any ran.
bool ServeReadyDescriptors();

// --- The person answering dialogs ---

enum class DialogKind {
  MessageBox,
  ShowMessage,
  InputQuery,
  OpenFile,
  SaveFile,
  Color,
  Font,
  PrinterSetup,
};

// The answer that puts the dialog in front of the person: it runs as a modal form
// until the person (or a test acting through injected input) closes it.
inline constexpr int32_t kDialogOnScreen = -1;

// Called by the platform's dialogs: answers the dialog. `defaultResult` is what its
// default button gives; `value` is the dialog's in/out text (an input query's
// value, a file dialog's name, a colour or font in text). Without a responder, a
// dialog is shown on screen when a display other than the null one is in use, and
// otherwise written to standard error and given its default button.
int32_t AnswerDialog(DialogKind kind, const AnsiString& caption, const AnsiString& text,
                     uint32_t flags, int32_t defaultResult, AnsiString* value = nullptr);
// Called once a dialog answered with kDialogOnScreen is on screen and its loop runs.
void DialogShown(DialogKind kind, HWND dialog);
// Whether a person can act on a dialog on screen (a display other than the null one
// is in use).
bool PersonPresent();
// A help request (the help file and the context asked for). Without a recorder
// nothing happens: there is no help viewer.
void RecordHelp(const AnsiString& file, int32_t context);

using DialogResponder = int32_t (*)(DialogKind kind, const AnsiString& caption,
                                    const AnsiString& text, uint32_t flags,
                                    int32_t defaultResult, AnsiString* value);
using HelpRecorder = void (*)(const AnsiString& file, int32_t context);
using DialogShownHook = void (*)(DialogKind kind, HWND dialog);
// Null restores the default.
void SetDialogResponder(DialogResponder responder);
void SetHelpRecorder(HelpRecorder recorder);
void SetDialogShownHook(DialogShownHook hook);

// --- What the program wrote with OutputDebugString ---

// One entry per call, oldest first. Only the latest entries are kept (a
// long-running program must not grow without end).
std::vector<std::string> DebugLines();
void ClearDebugLines();

// --- The per-user runtime folder of the named mutexes' lock files ---

// $XDG_RUNTIME_DIR, else /tmp/lark-<uid>, unless a path is set here; an empty path
// goes back to the default.
void SetRuntimeFolder(const std::string& path);

// --- The module registry (platform/win/Modules.h) ---

// While set, LoadLibrary of the module fails with ERROR_MOD_NOT_FOUND.
void FailModuleLoad(const std::string& moduleName, bool fail = true);
// While set, GetProcAddress of that export fails with ERROR_PROC_NOT_FOUND.
void HideExport(const std::string& moduleName, const std::string& procName, bool hide = true);
// Forgets every failure and hidden export.
void ResetModuleFaults();
// The current load count of a module (0 when not loaded).
int ModuleLoadCount(const std::string& moduleName);
// How many times the module went from unloaded to loaded since the process started.
int ModuleLoadTimes(const std::string& moduleName);

}  // namespace sim
