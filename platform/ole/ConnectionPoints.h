// Connection points: how an object calls back the sinks that clients connect to it
// (its events, its property-change notifications).
//
// A client asks the object's IConnectionPointContainer for the point of an outgoing
// interface, then Advises its sink there and receives a cookie (never 0); Unadvise
// with that cookie disconnects it. ConnectionPoint is the point objects use: it lives
// inside its container (its AddRef and Release are the container's) and keeps the
// sinks in the order they connected.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

#include "platform/ole/OleAuto.h"
#include "platform/ole/Unknown.h"

inline constexpr IID IID_IConnectionPointContainer = MakeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IEnumConnectionPoints = MakeGuid("{B196B285-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IConnectionPoint = MakeGuid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IEnumConnections = MakeGuid("{B196B287-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IPropertyNotifySink = MakeGuid("{9BFBBC02-EFF1-101A-84ED-00AA00341D07}");

struct IConnectionPoint;
struct IConnectionPointContainer;

struct CONNECTDATA {
  IUnknown* pUnk = nullptr;
  DWORD dwCookie = 0;
};

struct IEnumConnections : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IEnumConnections; }
  virtual HRESULT Next(ULONG count, CONNECTDATA* items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnections** copy) = 0;
};

struct IEnumConnectionPoints : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IEnumConnectionPoints; }
  virtual HRESULT Next(ULONG count, IConnectionPoint** items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnectionPoints** copy) = 0;
};

struct IConnectionPoint : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IConnectionPoint; }
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  virtual HRESULT Unadvise(DWORD cookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;
};

struct IConnectionPointContainer : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IConnectionPointContainer; }
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
  // CONNECT_E_NOCONNECTION (and null) when the object has no point for iid.
  virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;
};

struct IPropertyNotifySink : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IPropertyNotifySink; }
  virtual HRESULT OnChanged(DISPID id) = 0;
  virtual HRESULT OnRequestEdit(DISPID id) = 0;
};

// A connection point inside its container object.
//   Advise: E_POINTER for a null sink or cookie pointer; CONNECT_E_CANNOTCONNECT
//     when the sink does not answer QueryInterface for the point's interface (the
//     reference kept is the one that call gave); else S_OK and a new cookie.
//   Unadvise: CONNECT_E_NOCONNECTION for a cookie that is not connected.
//   EnumConnections: E_NOTIMPL (no caller enumerates).
// Sinks may connect and disconnect while a call goes out: every call goes to the
// sinks connected when it started, each held until it returns.
class ConnectionPoint final : public IConnectionPoint {
 public:
  // container: the object this point belongs to (not counted: the point is part of it).
  ConnectionPoint(IConnectionPointContainer* container, REFIID iid) : container_(container), iid_(iid) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint() { UnadviseAll(); }

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return container_->AddRef(); }
  ULONG Release() override { return container_->Release(); }
  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;
  HRESULT EnumConnections(IEnumConnections** connections) override;

  const IID& Interface() const noexcept { return iid_; }
  size_t SinkCount() const noexcept { return sinks_.size(); }
  // The sinks connected now, in connection order, each as the interface of the point.
  std::vector<ComPtr<IUnknown>> Sinks() const;
  // Drops every connection.
  void UnadviseAll() noexcept { sinks_.clear(); }

  // Calls Invoke(id, DISPATCH_METHOD) on every sink (each an IDispatch, as the sinks of
  // a dispatch interface are) with args in declaration order: they are handed over in
  // reverse, as Invoke expects. A by-reference argument lets sinks write through it.
  // Answers S_OK; a sink's failure does not keep the call from the others.
  HRESULT FireDispatch(DISPID id, VARIANT* args = nullptr, UINT count = 0);
  // Calls OnChanged(id) on every sink (each an IPropertyNotifySink).
  HRESULT FirePropertyChanged(DISPID id);

 private:
  IConnectionPointContainer* container_;
  IID iid_;
  DWORD nextCookie_ = 1;
  std::vector<std::pair<DWORD, ComPtr<IUnknown>>> sinks_;
};

// A FindConnectionPoint for a container with these points: the one for iid
// (AddRef'd) or CONNECT_E_NOCONNECTION.
HRESULT FindConnectionPointIn(std::initializer_list<ConnectionPoint*> points, REFIID iid,
                              IConnectionPoint** point);
