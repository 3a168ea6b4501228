// The command table behind the editing component and its document. No command is
// offered yet: every Exec answers OLECMDERR_E_NOTSUPPORTED and every status is 0.
#include "platform/mshtml/EditComponent.h"

namespace mshtml {

HRESULT RouteEditCommand(const EditCommandContext& /*context*/, const GUID* /*group*/, DWORD /*id*/,
                         DWORD /*option*/, VARIANT* /*in*/, VARIANT* /*out*/) {
  return OLECMDERR_E_NOTSUPPORTED;
}

HRESULT RouteEditCommandStatus(const EditCommandContext& /*context*/, const GUID* /*group*/, OLECMD* command) {
  if (command == nullptr) return E_POINTER;
  command->cmdf = 0;
  return S_OK;
}

}  // namespace mshtml
