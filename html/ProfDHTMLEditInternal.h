// Helpers the HTML control's units share: the document model behind a document
// object and the engine's command target (CGID_MSHTML).
#pragma once

#include "html/ProfDHTMLEdit.h"
#include "platform/mshtml/Commands.h"

namespace profdhtmledit {

// The document model behind a document object; null once the component is gone.
inline mshtml::Document* ModelOf(const THtmlDocument& document) {
  return document ? document->GetDocument() : nullptr;
}

// The command's OLECMDF_ flags; 0 when it cannot be asked.
inline DWORD CommandStatus(const THtmlDocument& document, DWORD id) {
  auto target = document.As<IOleCommandTarget>();
  if (!target) return 0;
  OLECMD command{id, 0};
  if (FAILED(target->QueryStatus(&mshtml::CGID_MSHTML, 1, &command, nullptr))) return 0;
  return command.cmdf;
}

// Runs the command with default options; true when it succeeded.
inline bool RunCommand(const THtmlDocument& document, DWORD id, VARIANT* in = nullptr, VARIANT* out = nullptr) {
  auto target = document.As<IOleCommandTarget>();
  return target && SUCCEEDED(target->Exec(&mshtml::CGID_MSHTML, id, OLECMDEXECOPT_DODEFAULT, in, out));
}

}  // namespace profdhtmledit
