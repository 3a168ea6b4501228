// The component's and its document's command targets run the engine's command table
// (Commands.h). The modified flag the component reports follows what a command sets.
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/EditComponent.h"

namespace mshtml {

namespace {

bool IsEngineGroup(const GUID* group) { return group == nullptr || *group == CGID_MSHTML; }

}  // namespace

HRESULT RouteEditCommand(const EditCommandContext& context, const GUID* group, DWORD id, DWORD option,
                         VARIANT* in, VARIANT* out) {
  if (context.TheDocument == nullptr) return OLECMDERR_E_DISABLED;
  Document& document = *context.TheDocument;
  const HRESULT hr = Exec(document, group, id, option, in, out);
  if (SUCCEEDED(hr) && IsEngineGroup(group) && id == IDM_SETDIRTY && context.SetModified)
    context.SetModified(IsModified(document));
  return hr;
}

HRESULT RouteEditCommandStatus(const EditCommandContext& context, const GUID* group, OLECMD* command) {
  if (command == nullptr) return E_POINTER;
  command->cmdf = 0;
  if (context.TheDocument == nullptr) return S_OK;
  return QueryStatus(*context.TheDocument, group, 1, command, nullptr);
}

}  // namespace mshtml
