// The platform's dialogs that engine commands open (find, print, print preview, page
// setup, font, hyperlink, picture, insert object, save picture, properties, about).
// Linux has none of them: a command that would open one hands the request to the
// dialog hook, which answers it; tests queue answers through
// platform/sim/MshtmlCommands.h. Without a queued answer the find, hyperlink and
// picture dialogs show a form of ours asking for their one text (the text to find,
// the address; OK with an empty text counts as cancelled); every other dialog
// answers "cancelled" and changes nothing.
#pragma once

#include <vector>

#include "platform/ole/OleAuto.h"
#include "platform/rtl/Types.h"

namespace mshtml {

struct DialogRequest {
  DWORD Command = 0;       // the CGID_MSHTML number (IDM_FIND, IDM_PRINT, ...)
  DWORD Option = 0;        // the execution option of the request
  WideString Text;         // a text argument (the hyperlink's or picture's address, ...)
  std::vector<WideString> PrintTexts;  // IDM_PRINT: header and footer
  std::string PrintHeaderHtml;         // IDM_PRINT: the bytes of the stream in element 2
  bool HasPrintStream = false;
  WideString ElementTag;   // IDM_SAVEPICTURE, IDM_PROPERTIES: the element's tagName
  WideString ElementSrc;   // IDM_SAVEPICTURE: the image's src
};

struct DialogAnswer {
  bool Ok = false;   // false: cancelled
  WideString Value;  // the address a hyperlink or picture dialog gives back
};

// Asks the hook; without one the dialog is cancelled.
DialogAnswer AskDialog(const DialogRequest& request);
// Logs a request that shows no dialog (printing without prompting): nothing to answer.
void RecordSilentRequest(const DialogRequest& request);

}  // namespace mshtml
