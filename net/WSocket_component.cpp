// The socket component: construction, the hidden window and its messages, the
// dispatch of Winsock notifications, the state and the properties.
#include <cstring>

#include "net/WSocket.h"
#include "net/WSocket_internal.h"
#include "platform/vcl/Application.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

using namespace winsock;
using wsocket_internal::Lock;
using wsocket_internal::WindowClassLock;
using wsocket_internal::WinsockLock;

// ---- Construction ---------------------------------------------------------------------

TCustomWSocket::TCustomWSocket(TComponent* owner) : TComponent(owner) {
  AllocateSocketHWnd();
  BufSize = kSendBlockSize;
  DnsResultList = std::make_unique<TStringList>();
  MultiCastIpTTL = 1;
  ListenBacklog = 5;
  AssignDefaultValue();
  Lock lock(WinsockLock());
  ++WSocketGCount;
}

TCustomWSocket::~TCustomWSocket() {
  Destroying = true;
  try {
    CancelDnsLookup();
  } catch (...) {
    // A lookup that cannot be cancelled any more answers a window that is going.
  }
  try {
    if (State != wsClosed || SocketHandle != INVALID_SOCKET) Close();
  } catch (...) {
    // Nothing can be reported from a destructor.
  }
  try {
    Lock lock(WinsockLock());
    --WSocketGCount;
    if (WSocketGCount < 1) WSocketUnloadWinsock();
  } catch (...) {
  }
  DeleteBufferedData();
  DeallocateSocketHWnd();
  Lock lock(WinsockLock());
  if (WSocketGCount < 1) {
    Lock classLock(WindowClassLock());
    UnregisterClass(kSocketWindowClassName, 0);
  }
}

bool TCustomWSocket::IsDestroying() const noexcept {
  return Destroying || GetComponentState().Contains(csDestroying);
}

void TCustomWSocket::AssignDefaultValue() {
  std::memset(&Sin, 0, sizeof Sin);
  Sin.sin_family = AF_INET;
  AddrAssigned = false;
  AddrResolved = false;
  PortAssigned = false;
  PortResolved = false;
  ProtoResolved = false;
  LocalPortResolved = false;
  ProtoAssigned = true;
  ProtoNum = IPPROTO_TCP;
  ProtoStr = "tcp";
  SocketType = SOCK_STREAM;
  LocalPortStr = "0";
  LocalAddrStr = "0.0.0.0";
  LingerOnOff = wsLingerOn;
  LingerTimeout = 0;
  SocketHandle = INVALID_SOCKET;
  NotifyMask = 0;
  State = wsClosed;
  QueueEmpty = true;
  Suspended = false;
  ReadCount = 0;
  ClosedReported = false;
  FlushTimeout = 60;
}

// ---- The hidden window ----------------------------------------------------------------

LRESULT SocketWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* object = reinterpret_cast<TObject*>(GetWindowLongPtr(hWnd, 0));
  auto* socket = dynamic_cast<TCustomWSocket*>(object);
  if (socket == nullptr) return DefWindowProc(hWnd, msg, wParam, lParam);
  TMessage message{msg, wParam, lParam, 0};
  socket->WndProc(message);
  return message.Result;
}

void TCustomWSocket::AllocateSocketHWnd() {
  bool registered = false;
  {
    Lock classLock(WindowClassLock());
    WNDCLASS existing;
    registered = GetClassInfo(0, kSocketWindowClassName, &existing) != FALSE;
    if (!registered) {
      WNDCLASS wc;
      wc.style = 0;
      wc.lpfnWndProc = SocketWindowProc;
      wc.cbClsExtra = 0;
      // Room for the object's address.
      wc.cbWndExtra = sizeof(TObject*);
      wc.hInstance = 0;
      wc.lpszClassName = kSocketWindowClassName;
      registered = RegisterClass(&wc) != 0;
    }
  }
  if (registered)
    WindowHandle = CreateWindowEx(WS_EX_TOOLWINDOW, kSocketWindowClassName, "", WS_POPUP, 0, 0, 0, 0,
                                  0, 0, 0, nullptr);
  if (WindowHandle == 0) {
    RaiseException("Cannot create a hidden window for TWSocket");
    return;
  }
  SetWindowLongPtr(WindowHandle, 0, reinterpret_cast<LONG_PTR>(static_cast<TObject*>(this)));
  WindowThreadId = GetCurrentThreadId();
}

void TCustomWSocket::DeallocateSocketHWnd() {
  if (WindowHandle == 0) return;
  SetWindowLongPtr(WindowHandle, 0, 0);
  DestroyWindow(WindowHandle);
  WindowHandle = 0;
}

void TCustomWSocket::WndProc(TMessage& msg) {
  try {
    switch (msg.Msg) {
      case WM_ASYNCSELECT:
        WMASyncSelect(msg);
        break;
      case WM_ASYNCGETHOSTBYNAME:
        WMAsyncGetHostByName(msg);
        break;
      case WM_ASYNCGETHOSTBYADDR:
        WMAsyncGetHostByAddr(msg);
        break;
      case WM_CLOSE_DELAYED:
        WMCloseDelayed(msg);
        break;
      case WM_WSOCKET_RELEASE:
        WMRelease(msg);  // the component is gone afterwards
        return;
      case WM_TRIGGER_EXCEPTION:
        throw ESocketException("Test exception in WSocket");
      default:
        msg.Result = DefWindowProc(WindowHandle, msg.Msg, msg.WParam, msg.LParam);
        break;
    }
  } catch (Exception& e) {
    HandleBackGroundException(e);
  }
}

void TCustomWSocket::WMCloseDelayed(TMessage& msg) {
  // Posted for an earlier connection: that one is already gone.
  if (msg.WParam != ConnectionGeneration) return;
  Close();
}

void TCustomWSocket::WMRelease(TMessage&) { delete this; }

// ---- Winsock notifications ------------------------------------------------------------

void TCustomWSocket::WMASyncSelect(TMessage& msg) {
  if (msg.WParam != SocketHandle || Suspended) return;
  const Word events = WSAGETSELECTEVENT(msg.LParam);
  // Each event once, in this order, as long as the message's socket is still ours
  // (a handler may have closed it, or opened another).
  const int32_t order[] = {FD_CONNECT, FD_READ, FD_WRITE, FD_ACCEPT, FD_CLOSE};
  for (int32_t event : order) {
    if ((events & event) == 0) continue;
    if (msg.WParam != SocketHandle) return;
    switch (event) {
      case FD_CONNECT:
        Do_FD_CONNECT(msg);
        break;
      case FD_READ:
        Do_FD_READ(msg);
        break;
      case FD_WRITE:
        Do_FD_WRITE(msg);
        break;
      case FD_ACCEPT:
        Do_FD_ACCEPT(msg);
        break;
      default:
        Do_FD_CLOSE(msg);
        break;
    }
  }
}

void TCustomWSocket::Do_FD_CONNECT(TMessage& msg) {
  if (State == wsConnected) return;
  const Word error = WSAGETSELECTERROR(msg.LParam);
  const WPARAM generation = ConnectionGeneration;
  ChangeState(wsConnected);
  TriggerSessionConnectedSpecial(error);
  // A handler that connected again (after a refusal, say) keeps its new connection.
  if (ConnectionGeneration != generation) return;
  if (error != 0 && State != wsClosed) Close();
}

void TCustomWSocket::Do_FD_READ(TMessage& msg) {
  const Word error = WSAGETSELECTERROR(msg.LParam);
  if (State != wsConnected) {
    const WPARAM generation = ConnectionGeneration;
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(error);
    // What arrived belongs to the connection a handler replaced.
    if (ConnectionGeneration != generation) return;
  }
  ASyncReceive(error, ComponentOptions);
}

void TCustomWSocket::Do_FD_WRITE(TMessage& msg) {
  TryToSend();
  if (QueueEmpty) TriggerDataSent(WSAGETSELECTERROR(msg.LParam));
}

void TCustomWSocket::Do_FD_ACCEPT(TMessage& msg) {
  TriggerSessionAvailable(WSAGETSELECTERROR(msg.LParam));
}

void TCustomWSocket::Do_FD_CLOSE(TMessage& msg) {
  if (State == wsConnecting) return;
  const Word error = WSAGETSELECTERROR(msg.LParam);
  // Whatever arrived before the close is delivered first.
  ASyncReceive(error, ComponentOptions - wsoNoReceiveLoop);
  if (msg.WParam != SocketHandle) return;  // closed while delivering
  const WPARAM generation = ConnectionGeneration;
  if (!ClosedReported) {
    ClosedReported = true;
    TriggerSessionClosed(error);
  }
  // A handler that opened the next connection (directly, or by pumping messages
  // until a lookup ended) keeps it.
  if (ConnectionGeneration != generation) return;
  if (State != wsClosed) Close();
}

void TCustomWSocket::DupConnected() { ChangeState(wsConnected); }

void TCustomWSocket::ChangeState(TSocketState newState) {
  const TSocketState oldState = State;
  State = newState;
  if (oldState != newState) TriggerChangeState(oldState, newState);
}

// ---- Triggers ---------------------------------------------------------------------------

bool TCustomWSocket::TriggerDataAvailable(Word errCode) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, errCode);
  return true;
}

void TCustomWSocket::TriggerSessionAvailable(Word errCode) {
  if (OnSessionAvailable) OnSessionAvailable(this, errCode);
}

void TCustomWSocket::TriggerSessionConnectedSpecial(Word errCode) { TriggerSessionConnected(errCode); }

void TCustomWSocket::TriggerSessionConnected(Word errCode) {
  if (OnSessionConnected) OnSessionConnected(this, errCode);
}

void TCustomWSocket::TriggerSessionClosed(Word errCode) {
  if (OnSessionClosed) OnSessionClosed(this, errCode);
}

void TCustomWSocket::TriggerDataSent(Word errCode) {
  if (OnDataSent) OnDataSent(this, errCode);
}

void TCustomWSocket::TriggerChangeState(TSocketState oldState, TSocketState newState) {
  if (OnChangeState) OnChangeState(this, oldState, newState);
}

void TCustomWSocket::TriggerDNSLookupDone(Word errCode) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, errCode);
}

void TCustomWSocket::TriggerSendData(Integer bytesSent) {
  if (OnSendData) OnSendData(this, bytesSent);
}

void TCustomWSocket::TriggerDisplay(AnsiString msg) {
  if (OnDisplay) OnDisplay(this, msg);
}

// ---- Properties -------------------------------------------------------------------------

void TCustomWSocket::SetAddr(const AnsiString& value) {
  const AnsiString addr = Trim(value);
  if (AddrAssigned && addr == AddrStr) return;
  if (State != wsClosed) {
    RaiseException("Cannot change Addr if not closed");
    return;
  }
  AddrStr = addr;
  AddrResolved = false;
  AddrAssigned = !addr.empty();
}

void TCustomWSocket::SetRemotePort(const AnsiString& value) {
  const AnsiString port = Trim(value);
  if (PortAssigned && port == PortStr) return;
  if (State != wsClosed) {
    RaiseException("Cannot change Port if not closed");
    return;
  }
  PortStr = port;
  PortResolved = false;
  PortAssigned = !port.empty();
}

void TCustomWSocket::SetProto(const AnsiString& value) {
  const AnsiString proto = Trim(value);
  if (ProtoAssigned && proto == ProtoStr) return;
  if (State != wsClosed) {
    RaiseException("Cannot change Proto if not closed");
    return;
  }
  ProtoStr = proto;
  ProtoResolved = false;
  ProtoAssigned = !proto.empty();
}

void TCustomWSocket::SetLocalAddr(const AnsiString& value) {
  if (State != wsClosed) {
    RaiseException("Cannot change LocalAddr if not closed");
    return;
  }
  LocalAddrStr = value.empty() ? AnsiString("0.0.0.0") : value;
}

void TCustomWSocket::SetLocalPort(const AnsiString& value) {
  if (State != wsClosed) {
    RaiseException("Cannot change LocalPort if not closed");
    return;
  }
  LocalPortStr = value;
  LocalPortResolved = false;
}

Byte TCustomWSocket::GetReqVerLow() const noexcept { return GReqVerLow; }
Byte TCustomWSocket::GetReqVerHigh() const noexcept { return GReqVerHigh; }

void TCustomWSocket::SetReqVerLow(Byte value) {
  if (GReqVerLow == value) return;
  if (wsocket_internal::WinsockLoaded()) {
    SocketError("SetReqVerLow: WinSock version can't be changed now");
    return;
  }
  GReqVerLow = value;
}

void TCustomWSocket::SetReqVerHigh(Byte value) {
  if (GReqVerHigh == value) return;
  if (wsocket_internal::WinsockLoaded()) {
    SocketError("SetReqVerHigh: WinSock version can't be changed now");
    return;
  }
  GReqVerHigh = value;
}

TSocketSendFlags TCustomWSocket::GetSendFlags() {
  if (SendFlagsValue == 0) return wsSendNormal;
  if (SendFlagsValue == MSG_OOB) return wsSendUrgent;
  RaiseException("Invalid internal SendFlags");
  return wsSendNormal;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags value) {
  switch (value) {
    case wsSendNormal:
      SendFlagsValue = 0;
      break;
    case wsSendUrgent:
      SendFlagsValue = MSG_OOB;
      break;
    default:
      RaiseException("Invalid SendFlags");
      break;
  }
}

AnsiString TCustomWSocket::GetXAddr() {
  if (State != wsBound && State != wsConnected && State != wsListening) return "error";
  sockaddr_in local{};
  int len = sizeof local;
  if (WSocket_getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&local), &len) != 0)
    return "error";
  return WSocket_inet_ntoa(local.sin_addr);
}

AnsiString TCustomWSocket::GetXPort() {
  if (State != wsBound && State != wsConnected && State != wsListening) return "error";
  sockaddr_in local{};
  int len = sizeof local;
  if (WSocket_getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&local), &len) != 0)
    return "error";
  return Format("%d", {WSocket_ntohs(local.sin_port)});
}

AnsiString TCustomWSocket::GetPeerAddr() {
  if (State != wsConnected) return "error";
  sockaddr_in peer{};
  int len = sizeof peer;
  if (WSocket_getpeername(SocketHandle, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
    SocketError("GetPeerAddr");
    return "error";
  }
  return WSocket_inet_ntoa(peer.sin_addr);
}

AnsiString TCustomWSocket::GetPeerPort() {
  if (State != wsConnected) return "error";
  sockaddr_in peer{};
  int len = sizeof peer;
  if (WSocket_getpeername(SocketHandle, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
    SocketError("GetPeerPort");
    return "error";
  }
  return Format("%d", {WSocket_ntohs(peer.sin_port)});
}

Integer TCustomWSocket::GetPeerName(sockaddr_in& name, Integer& nameLen) {
  if (State != wsConnected) return -1;
  return WSocket_getpeername(SocketHandle, reinterpret_cast<sockaddr*>(&name), &nameLen);
}

Integer TCustomWSocket::GetSockName(sockaddr_in& saddr, Integer& saddrLen) {
  return WSocket_getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&saddr), &saddrLen);
}

bool TCustomWSocket::TimerIsSet(const winsock::timeval& tvp) { return tvp.tv_sec != 0 || tvp.tv_usec != 0; }

void TCustomWSocket::TimerClear(winsock::timeval& tvp) {
  tvp.tv_sec = 0;
  tvp.tv_usec = 0;
}

bool TCustomWSocket::TimerCmp(const winsock::timeval& tvp, const winsock::timeval& uvp, bool isEqual) {
  const bool same = tvp.tv_sec == uvp.tv_sec && tvp.tv_usec == uvp.tv_usec;
  return same == isEqual;
}

// ---- Notifications, adoption, threads ------------------------------------------------------

void TCustomWSocket::Pause() {
  Suspended = true;
  WSocket_WSAAsyncSelect(SocketHandle, WindowHandle, 0, 0);
}

void TCustomWSocket::Resume() {
  Suspended = false;
  WSocket_WSAAsyncSelect(SocketHandle, WindowHandle, WM_ASYNCSELECT, NotifyMask);
}

void TCustomWSocket::Shutdown(Integer how) {
  if (SocketHandle != INVALID_SOCKET) WSocket_shutdown(SocketHandle, how);
}

void TCustomWSocket::Dup(SOCKET newHSocket) {
  if (newHSocket == 0 || newHSocket == INVALID_SOCKET) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("Dup");
    return;
  }
  if (SocketHandle != INVALID_SOCKET) {
    const int result = WSocket_closesocket(SocketHandle);
    SocketHandle = INVALID_SOCKET;
    if (result != 0) {
      // The new socket was handed over to this component: it is not left open
      // without an owner.
      const int closeError = WSocket_WSAGetLastError();
      WSocket_closesocket(newHSocket);
      WSocket_WSASetLastError(closeError);
      SocketError("Dup (closesocket)");
      return;
    }
    ChangeState(wsClosed);
  }
  SocketHandle = newHSocket;
  ++ConnectionGeneration;
  if (!SetLingerOption()) return;
  NotifyMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
  if (WSocket_WSAAsyncSelect(SocketHandle, WindowHandle, WM_ASYNCSELECT, NotifyMask) == SOCKET_ERROR) {
    SocketError("WSAAsyncSelect");
    return;
  }
  DupConnected();
}

void TCustomWSocket::MessagePump() {
  if (MultiThreaded)
    ProcessMessages();
  else
    Application->ProcessMessages();
}

bool TCustomWSocket::ProcessMessage() {
  MSG msg;
  if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    Terminated = true;
  } else {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  return true;
}

void TCustomWSocket::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TCustomWSocket::MessageLoop() {
  MSG msg;
  while (GetMessage(&msg, 0, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  Terminated = true;
}

void TCustomWSocket::ThreadDetach() {
  if (WindowHandle == 0 || GetCurrentThreadId() != WindowThreadId) {
    RaiseException("Cannot detach from other thread");
    return;
  }
  if (SocketHandle != INVALID_SOCKET) WSocket_WSAAsyncSelect(SocketHandle, WindowHandle, 0, 0);
  DeallocateSocketHWnd();
  WindowThreadId = 0;
}

void TCustomWSocket::ThreadAttach() {
  if (WindowHandle != 0) {
    RaiseException("Cannot attach when not detached");
    return;
  }
  AllocateSocketHWnd();
  if (WindowHandle != 0 && SocketHandle != INVALID_SOCKET)
    WSocket_WSAAsyncSelect(SocketHandle, WindowHandle, WM_ASYNCSELECT, NotifyMask);
}
