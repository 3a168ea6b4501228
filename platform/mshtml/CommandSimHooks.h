// What the editing engine's command table shows of itself to the simulated world:
// the answers of the platform's dialogs its commands open, and knobs on the commands
// themselves. Tests drive these through platform/sim/MshtmlCommands.h; the system's
// own code never includes this header.
#pragma once

#include <vector>

#include "platform/mshtml/CommandDialogs.h"
#include "platform/ole/OleVariant.h"

namespace sim {

// The next dialog of the command (0: of any command) is answered so; answers are
// used once, oldest first. Unanswered dialogs are cancelled.
void QueueHtmlDialogAnswer(DWORD command, bool ok, const WideString& value = {});
int QueuedHtmlDialogAnswers();
// Every dialog request since the last ClearHtmlDialogs, oldest first.
std::vector<mshtml::DialogRequest> HtmlDialogLog();
void ClearHtmlDialogs();

// Exec of the command (by number in either group, or by name through the same
// number) answers result without running.
void FailHtmlCommand(DWORD id, HRESULT result);
// QueryStatus of the command answers these flags.
void ForceHtmlCommandFlags(DWORD id, DWORD flags);

// Every Exec and ExecCommand, with its arguments.
struct HtmlExecRecord {
  bool ComponentGroup = false;  // the editing component's group
  DWORD Id = 0;                 // 0 for a named command without a number
  WideString Name;              // the name, for a command run by name
  DWORD Option = 0;
  OleVariant In;
  HRESULT Result = S_OK;
};
std::vector<HtmlExecRecord> HtmlExecLog();

// Forgets answers, logs and knobs.
void ResetHtmlCommands();

}  // namespace sim
