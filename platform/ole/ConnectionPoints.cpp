#include "platform/ole/ConnectionPoints.h"

#include <algorithm>

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  *object = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = container_;
  container_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  void* p = nullptr;
  if (FAILED(sink->QueryInterface(iid_, &p)) || p == nullptr) return CONNECT_E_CANNOTCONNECT;
  ComPtr<IUnknown> held;
  held.Attach(static_cast<IUnknown*>(p));
  if (nextCookie_ == 0) nextCookie_ = 1;  // after 2^32 connections; 0 is never a cookie
  *cookie = nextCookie_++;
  sinks_.emplace_back(*cookie, std::move(held));
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(), [cookie](const auto& s) { return s.first == cookie; });
  if (cookie == 0 || it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  ComPtr<IUnknown> doomed = std::move(it->second);  // released after the list is consistent
  sinks_.erase(it);
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections != nullptr) *connections = nullptr;
  return E_NOTIMPL;
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Sinks() const {
  std::vector<ComPtr<IUnknown>> out;
  out.reserve(sinks_.size());
  for (const auto& s : sinks_) out.push_back(s.second);
  return out;
}

HRESULT ConnectionPoint::FireDispatch(DISPID id, VARIANT* args, UINT count) {
  std::vector<VARIANT> reversed(count);
  for (UINT i = 0; i < count; ++i) reversed[i] = args[count - 1 - i];
  for (const ComPtr<IUnknown>& sink : Sinks()) {
    DISPPARAMS params;
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = count;
    auto* dispatch = static_cast<IDispatch*>(sink.Get());
    VARIANT result;
    EXCEPINFO info;
    UINT argErr = 0;
    dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &info, &argErr);
    VariantClear(&result);
    ClearExcepInfo(&info);
  }
  return S_OK;
}

HRESULT ConnectionPoint::FirePropertyChanged(DISPID id) {
  for (const ComPtr<IUnknown>& sink : Sinks()) static_cast<IPropertyNotifySink*>(sink.Get())->OnChanged(id);
  return S_OK;
}

HRESULT FindConnectionPointIn(std::initializer_list<ConnectionPoint*> points, REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  for (ConnectionPoint* p : points) {
    if (p != nullptr && p->Interface() == iid) {
      *point = p;
      p->AddRef();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}
