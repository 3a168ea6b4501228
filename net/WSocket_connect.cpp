// Opening and ending connections: Connect, Listen, Accept, the closes, linger and
// binding, Flush and WaitForClose.
#include "net/WSocket.h"
#include "platform/win/Messages.h"

using namespace winsock;

namespace {

constexpr int kOptionOn = -1;  // options are switched on with the 32-bit value -1

const char* AsOption(const int& value) { return reinterpret_cast<const char*>(&value); }

}  // namespace

void TCustomWSocket::Connect() {
  if (SocketHandle != INVALID_SOCKET && State != wsClosed) {
    RaiseException("Connect: Socket already in use");
    return;
  }
  if (!PortAssigned) {
    RaiseException("Connect: No Port Specified");
    return;
  }
  if (!AddrAssigned) {
    RaiseException("Connect: No IP Address Specified");
    return;
  }
  if (!ProtoAssigned) {
    RaiseException("Connect: No Protocol Specified");
    return;
  }
  try {
    if (!ProtoResolved) {
      ProtoNum = WSocketResolveProto(ProtoStr);
      SocketType = ProtoNum == IPPROTO_TCP   ? SOCK_STREAM
                   : ProtoNum == IPPROTO_UDP ? SOCK_DGRAM
                                             : SOCK_RAW;
      ProtoResolved = true;
    }
    if (!PortResolved) {
      Sin.sin_port = WSocket_htons(WSocketResolvePort(PortStr, ProtoStr));
      PortResolved = true;
    }
    if (!LocalPortResolved) {
      LocalPortNum = WSocketResolvePort(LocalPortStr, ProtoStr);
      LocalPortResolved = true;
    }
    if (!AddrResolved) {
      Sin.sin_addr.S_un.S_addr = WSocketResolveHost(AddrStr);
      AddrResolved = true;
    }
  } catch (const ESocketException& e) {
    RaiseException("connect: " + e.Message());
    return;
  }

  DeleteBufferedData();
  SocketHandle = WSocket_socket(AF_INET, SocketType, ProtoNum);
  if (SocketHandle == INVALID_SOCKET) {
    SocketError("Connect (socket)");
    return;
  }
  ++ConnectionGeneration;
  ChangeState(wsOpened);
  if (State != wsOpened) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("Connect (Invalid operation in OnChangeState)");
    return;
  }

  if (SocketType == SOCK_DGRAM) {
    if (!BindSocket()) return;
    if (MultiCast) {
      if (MultiCastIpTTL != 1) {
        const int ttl = MultiCastIpTTL;
        if (WSocket_setsockopt(SocketHandle, IPPROTO_IP, IP_MULTICAST_TTL, AsOption(ttl),
                               sizeof ttl) == SOCKET_ERROR) {
          SocketError("setsockopt(IP_MULTICAST_TTL)");
          return;
        }
      }
      if (LocalAddrStr != "0.0.0.0") {
        in_addr local{};
        try {
          local.S_un.S_addr = WSocketResolveHost(LocalAddrStr);
        } catch (const ESocketException& e) {
          RaiseException("connect: " + e.Message());
          return;
        }
        if (WSocket_setsockopt(SocketHandle, IPPROTO_IP, IP_MULTICAST_IF,
                               reinterpret_cast<const char*>(&local), sizeof local) == SOCKET_ERROR) {
          SocketError("setsockopt(IP_MULTICAST_IF)");
          return;
        }
      }
    }
    if (Sin.sin_addr.S_un.S_addr == INADDR_BROADCAST) {
      if (WSocket_setsockopt(SocketHandle, SOL_SOCKET, SO_BROADCAST, AsOption(kOptionOn),
                             sizeof kOptionOn) == SOCKET_ERROR) {
        SocketError("setsockopt(SO_BROADCAST)");
        return;
      }
    }
  } else {
    if (WSocket_setsockopt(SocketHandle, SOL_SOCKET, SO_REUSEADDR, AsOption(kOptionOn),
                           sizeof kOptionOn) == SOCKET_ERROR) {
      SocketError("setsockopt(SO_REUSEADDR)");
      return;
    }
    if (ComponentOptions.Contains(wsoTcpNoDelay) &&
        WSocket_setsockopt(SocketHandle, IPPROTO_TCP, TCP_NODELAY, AsOption(kOptionOn),
                           sizeof kOptionOn) == SOCKET_ERROR) {
      SocketError("setsockopt(IPPROTO_TCP, TCP_NODELAY)");
      return;
    }
    if (!SetLingerOption()) return;
    if (WSocket_setsockopt(SocketHandle, SOL_SOCKET, SO_KEEPALIVE, AsOption(kOptionOn),
                           sizeof kOptionOn) == SOCKET_ERROR) {
      SocketError("setsockopt(SO_KEEPALIVE)");
      return;
    }
    if ((LocalPortNum != 0 || LocalAddrStr != "0.0.0.0") && !BindSocket()) return;
  }

  NotifyMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
  if (WSocket_WSAAsyncSelect(SocketHandle, WindowHandle, WM_ASYNCSELECT, NotifyMask) == SOCKET_ERROR) {
    SocketError("WSAAsyncSelect");
    return;
  }

  if (SocketType == SOCK_DGRAM) {
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(0);
    return;
  }
  if (WSocket_connect(SocketHandle, reinterpret_cast<const sockaddr*>(&Sin), sizeof Sin) == 0) {
    ChangeState(wsConnecting);
    return;
  }
  const int error = WSocket_WSAGetLastError();
  if (error == WSAEWOULDBLOCK) {
    ChangeState(wsConnecting);
    return;
  }
  LastError = error;
  SocketError("Connect");
}

void TCustomWSocket::Listen() {
  if (!PortAssigned) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("listen: port not assigned");
    return;
  }
  if (!ProtoAssigned) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("listen: protocol not assigned");
    return;
  }
  if (!AddrAssigned) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("listen: address not assigned");
    return;
  }
  try {
    if (!ProtoResolved) {
      if (SameText(Copy(ProtoStr, 1, 4), "raw_")) {
        SocketType = SOCK_RAW;
        ProtoNum = WSocketResolveProto(Copy(ProtoStr, 5, 10));
      } else {
        ProtoNum = WSocketResolveProto(ProtoStr);
        SocketType = ProtoNum == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
      }
      ProtoResolved = true;
    }
    if (!PortResolved) {
      Sin.sin_port = WSocket_htons(WSocketResolvePort(PortStr, ProtoStr));
      PortResolved = true;
    }
    if (!AddrResolved) {
      Sin.sin_addr.S_un.S_addr = WSocketResolveHost(AddrStr);
      AddrResolved = true;
    }
  } catch (const ESocketException& e) {
    RaiseException("listen: " + e.Message());
    return;
  }

  DeleteBufferedData();
  SocketHandle = WSocket_socket(AF_INET, SocketType, ProtoNum);
  if (SocketHandle == INVALID_SOCKET) {
    SocketError("socket");
    return;
  }
  ++ConnectionGeneration;
  // A failure before the socket is bound reports and then closes it; the socket is
  // closed even when the report raises.
  auto failAndClose = [this](const char* functionName) {
    try {
      SocketError(functionName);
    } catch (...) {
      Close();
      throw;
    }
    Close();
  };
  if (SocketType == SOCK_DGRAM && ReuseAddr &&
      WSocket_setsockopt(SocketHandle, SOL_SOCKET, SO_REUSEADDR, AsOption(kOptionOn),
                         sizeof kOptionOn) == SOCKET_ERROR) {
    failAndClose("setsockopt(SO_REUSEADDR)");
    return;
  }
  if (WSocket_bind(SocketHandle, reinterpret_cast<const sockaddr*>(&Sin), sizeof Sin) == SOCKET_ERROR) {
    failAndClose("Bind");
    return;
  }
  ChangeState(wsBound);

  if (SocketType == SOCK_STREAM) {
    if (WSocket_listen(SocketHandle, ListenBacklog) == SOCKET_ERROR) {
      SocketError("Listen");
      return;
    }
    ChangeState(wsListening);
  } else if (SocketType == SOCK_DGRAM || SocketType == SOCK_RAW) {
    if (SocketType == SOCK_DGRAM && MultiCast) {
      ip_mreq mreq{};
      mreq.imr_multiaddr.S_un.S_addr = WSocket_inet_addr(MultiCastAddrStr.c_str());
      mreq.imr_interface.S_un.S_addr = Sin.sin_addr.S_un.S_addr;
      if (WSocket_setsockopt(SocketHandle, IPPROTO_IP, IP_ADD_MEMBERSHIP,
                             reinterpret_cast<const char*>(&mreq), sizeof mreq) == SOCKET_ERROR) {
        SocketError("setsockopt(IP_ADD_MEMBERSHIP)");
        return;
      }
    }
    if (SocketType == SOCK_RAW && ComponentOptions.Contains(wsoSIO_RCVALL)) {
      DWORD inValue = 1;
      DWORD outValue = 0;
      DWORD returned = 0;
      if (WSocket_WSAIoctl(SocketHandle, SIO_RCVALL, &inValue, sizeof inValue, &outValue,
                           sizeof outValue, &returned, nullptr, nullptr) == SOCKET_ERROR) {
        failAndClose("WSAIoctl(SIO_RCVALL)");
        return;
      }
    }
    ChangeState(wsListening);
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(0);
  } else {
    RaiseException("Listen: unexpected protocol.");
    return;
  }

  NotifyMask = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
  if (WSocket_WSAAsyncSelect(SocketHandle, WindowHandle, WM_ASYNCSELECT, NotifyMask) == SOCKET_ERROR)
    SocketError("WSAASyncSelect");
}

SOCKET TCustomWSocket::Accept() {
  if (State != wsListening) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  int len = sizeof Sin;
  const SOCKET accepted = WSocket_accept(SocketHandle, reinterpret_cast<sockaddr*>(&Sin), &len);
  if (accepted == INVALID_SOCKET) {
    SocketError("Accept");
    return INVALID_SOCKET;
  }
  return accepted;
}

void TCustomWSocket::Close() { InternalClose(true, 0); }

void TCustomWSocket::CloseDelayed() {
  PostMessage(WindowHandle, WM_CLOSE_DELAYED, ConnectionGeneration, 0);
}

void TCustomWSocket::Release() { PostMessage(WindowHandle, WM_WSOCKET_RELEASE, 0, 0); }

void TCustomWSocket::Abort() { InternalAbort(0); }

void TCustomWSocket::InternalClose(bool withShutdown, Word error) {
  if (SocketHandle == INVALID_SOCKET) {
    if (State != wsClosed) {
      ChangeState(wsClosed);
      AssignDefaultValue();
    }
    return;
  }
  if (State == wsClosed) {
    // A socket made but never opened (Listen's failed bind): nobody heard of it, so it
    // goes quietly.
    WSocket_closesocket(SocketHandle);
    SocketHandle = INVALID_SOCKET;
    return;
  }
  if (withShutdown) WSocket_shutdown(SocketHandle, SD_SEND);
  while (WSocket_closesocket(SocketHandle) == SOCKET_ERROR) {
    const int closeError = WSocket_WSAGetLastError();
    if (closeError == WSAEWOULDBLOCK) {
      MessagePump();
      continue;
    }
    LastError = closeError;
    SocketHandle = INVALID_SOCKET;
    if (closeError != WSANOTINITIALISED) {
      SocketError("Disconnect (closesocket)");
      return;
    }
    break;
  }
  SocketHandle = INVALID_SOCKET;
  const WPARAM generation = ConnectionGeneration;
  ChangeState(wsClosed);
  if (!IsDestroying() && !ClosedReported) {
    ClosedReported = true;
    TriggerSessionClosed(error);
  }
  // A handler that opened the next connection keeps it.
  if (ConnectionGeneration != generation) return;
  try {
    AssignDefaultValue();
  } catch (...) {
  }
}

void TCustomWSocket::InternalAbort(Word errCode) {
  CancelDnsLookup();
  DeleteBufferedData();
  if (SocketHandle != INVALID_SOCKET && State == wsConnected && SocketType == SOCK_STREAM) {
    LingerOnOff = wsLingerOff;
    SetLingerOption();
  }
  InternalClose(false, errCode);
}

bool TCustomWSocket::SetLingerOption() {
  if (LingerOnOff == wsLingerNoSet) return true;
  if (SocketHandle == INVALID_SOCKET) {
    RaiseException("Cannot set linger option at this time");
    return false;
  }
  linger value{};
  value.l_onoff = LingerOnOff == wsLingerOn ? 1 : 0;
  value.l_linger = static_cast<winsock::u_short>(LingerTimeout);
  if (WSocket_setsockopt(SocketHandle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value),
                         sizeof value) == SOCKET_ERROR) {
    SocketError("setsockopt(SO_LINGER)");
    return false;
  }
  return true;
}

bool TCustomWSocket::BindSocket() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = WSocket_htons(LocalPortNum);
  try {
    local.sin_addr.S_un.S_addr = WSocketResolveHost(LocalAddrStr);
  } catch (const ESocketException& e) {
    RaiseException(e.Message());
    return false;
  }
  if (WSocket_bind(SocketHandle, reinterpret_cast<const sockaddr*>(&local), sizeof local) ==
      SOCKET_ERROR) {
    LastError = WSocket_WSAGetLastError();
    RaiseExceptionFmt("winsock.bind failed, error #%d", {LastError});
    return false;
  }
  int len = sizeof local;
  if (WSocket_getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&local), &len) == SOCKET_ERROR) {
    LastError = WSocket_WSAGetLastError();
    RaiseExceptionFmt("winsock.getsockname failed, error #%d", {LastError});
    return false;
  }
  LocalPortStr = IntToStr(WSocket_ntohs(local.sin_port));
  return true;
}

void TCustomWSocket::Flush() {
  while (SocketHandle != INVALID_SOCKET && !QueueEmpty) {
    TryToSend();
    MessagePump();
  }
}

void TCustomWSocket::WaitForClose() {
  while (SocketHandle != INVALID_SOCKET && State != wsClosed) {
    MessagePump();
    if (SocketHandle == INVALID_SOCKET) break;
    winsock::u_long waiting = 0;
    if (WSocket_ioctlsocket(SocketHandle, FIONREAD, &waiting) == SOCKET_ERROR) break;
    if (waiting > 0) TriggerDataAvailable(0);
    if (SocketHandle == INVALID_SOCKET) break;
    // Probe the connection: a peek answers 0 once the peer has closed.
    char probe;
    const Integer probed = DoRecv(&probe, 1, MSG_PEEK);
    if (probed == 0) break;
    if (probed < 0) {
      LastError = WSocket_WSAGetLastError();
      if (LastError != WSAEWOULDBLOCK) break;
    }
    MessagePump();
  }
}
