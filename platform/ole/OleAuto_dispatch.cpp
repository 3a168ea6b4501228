#include "platform/ole/OleAuto.h"
#include "platform/rtl/CodePage.h"

HRESULT DispGetParam(DISPPARAMS* params, UINT position, VARTYPE vt, VARIANT* result, UINT* argErr) {
  if (params == nullptr || result == nullptr) return E_INVALIDARG;
  UINT index = 0;
  if (params->cNamedArgs > 0) {
    // With named arguments the position is looked up as a DISPID among them first.
    UINT named = 0;
    while (named < params->cNamedArgs && params->rgdispidNamedArgs[named] != static_cast<DISPID>(position))
      ++named;
    if (named < params->cNamedArgs) {
      index = named;
    } else {
      if (position >= params->cArgs - params->cNamedArgs) return DISP_E_PARAMNOTFOUND;
      index = params->cArgs - 1 - position;
    }
  } else {
    if (position >= params->cArgs) return DISP_E_PARAMNOTFOUND;
    index = params->cArgs - 1 - position;
  }
  VariantInit(result);
  const HRESULT hr = VariantChangeType(result, &params->rgvarg[index], 0, vt);
  if (FAILED(hr)) {
    if (argErr != nullptr) *argErr = index;
    VariantInit(result);
  }
  return hr;
}

void ClearExcepInfo(EXCEPINFO* info) {
  if (info == nullptr) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  *info = EXCEPINFO{};
}

void DispatchInvokeError(HRESULT status, EXCEPINFO& info) {
  if (status != DISP_E_EXCEPTION) {
    ClearExcepInfo(&info);
    throw EOleSysError({}, status);
  }
  if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  HRESULT code = info.scode;
  if (code == 0) code = info.wCode != 0 ? static_cast<HRESULT>(0x80040000u | info.wCode) : E_UNEXPECTED;
  auto narrow = [](BSTR s) { return WideToAnsi(BstrToWide(s)); };
  AnsiString message = narrow(info.bstrDescription);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == '.'))
    message.pop_back();
  AnsiString source = narrow(info.bstrSource);
  AnsiString helpFile = narrow(info.bstrHelpFile);
  const auto helpContext = static_cast<Integer>(info.dwHelpContext);
  ClearExcepInfo(&info);
  throw EOleException(std::move(message), code, std::move(source), std::move(helpFile), helpContext);
}
