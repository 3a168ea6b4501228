// The person in front of the screen, as far as dialogs go. While installed, this
// responder answers the platform's dialogs (message boxes, ShowMessage, InputQuery,
// the file, colour, font and printer dialogs) and logs what they showed. Tests queue
// answers and read the log; without a queued answer a dialog takes its default
// button and is written to the console.
//
// A queued answer is applied to the dialog's real form as a person would: the value
// goes into the form (the file name box, the colour, the font) and the button with
// the answer's number is pressed; a dialog that refuses it (a file that must exist
// and does not, a hook that vetoes the name) asks for the next answer, and takes its
// default button, then Cancel, when none is left. A queued action instead puts the
// dialog on screen and runs with its window once its modal loop runs: it acts on the
// live form through injected input and messages; a dialog it leaves open is
// cancelled when it returns.
// ResetWorld (platform/sim/World.h) installs it, as does any call below.
#pragma once

#include <functional>
#include <vector>

#include "platform/rtl/Types.h"
#include "platform/win/SimHooks.h"

namespace sim {

struct DialogRecord {
  DialogKind Kind = DialogKind::MessageBox;
  AnsiString Caption;
  AnsiString Text;    // the message, or the prompt of an input query
  uint32_t Flags = 0;  // the message box type (buttons, icon, default button)
  int32_t Result = 0;  // the button chosen (IDOK, IDYES...)
  AnsiString Value;   // the dialog's value after it (an input query's text, a file name)
};

// Acts on a dialog on screen (its window handle).
using DialogAction = std::function<void(HWND dialog)>;

// The next dialog whose caption equals `match`, or whose text contains it (an empty
// match fits any dialog), is answered with `result`; an input query also gets
// `value` when one is given. Answers are used once, oldest first.
void QueueDialogAnswer(const AnsiString& match, int32_t result);
void QueueDialogAnswer(const AnsiString& match, int32_t result, const AnsiString& value);
// The next dialog that fits `match` goes on screen and `action` runs with its window
// once its loop runs. Its log entry's Result is kDialogOnScreen.
void QueueDialogAction(const AnsiString& match, DialogAction action);
// Answers queued and not yet used.
int QueuedDialogAnswers();

// Every dialog shown since the last ClearDialogs, oldest first.
std::vector<DialogRecord> DialogLog();
// Forgets queued answers and the log.
void ClearDialogs();
// Whether dialogs are echoed to standard error (on by default).
void SetDialogEcho(bool on);

// Installs this responder (and the help log below) in the platform.
void InstallDialogResponder();

// Help requests (the help file and the context asked for); nothing is opened.
struct HelpRecord {
  AnsiString File;
  int32_t Context = 0;
};
std::vector<HelpRecord> HelpLog();
void ClearHelpLog();

}  // namespace sim
