#include "platform/ole/Unknown.h"

bool IsSameObject(IUnknown* a, IUnknown* b) {
  if (a == nullptr || b == nullptr) return a == b;
  ComPtr<IUnknown> ia;
  ComPtr<IUnknown> ib;
  if (FAILED(a->QueryInterface(IID_IUnknown, ia.ReleaseAndGetVoidAddress()))) return false;
  if (FAILED(b->QueryInterface(IID_IUnknown, ib.ReleaseAndGetVoidAddress()))) return false;
  return ia.Get() == ib.Get();
}
