// Connections through a SOCKS 4, 4A or 5 server: the settings, the connect request,
// the SOCKS 5 greeting and user authentication, and the server's replies.
//
// The negotiation runs inside the socket's own notifications: Connect goes to the
// SOCKS server, its connection starts the exchange, and every reply arrives through
// TriggerDataAvailable while SocksState is not socksData. Replies are collected in
// the reply area, whose size bounds what a server can make us hold.
#include <algorithm>
#include <cstring>

#include "net/WSocket.h"
#include "platform/win/Messages.h"

using namespace winsock;

namespace {

// Bytes of a reply the area may hold (one less than its size).
constexpr Integer ReplyRoom = TCustomSocksWSocket::kSocksReplyAreaSize - 1;
// A SOCKS 4 reply is always 8 bytes.
constexpr Integer kSocks4ReplyLength = 8;

bool IsLevel4(const AnsiString& level) { return level == "4" || level == "4A"; }

void AppendPort(AnsiString& request, Word port) {
  request += static_cast<char>(port >> 8);
  request += static_cast<char>(port & 0xFF);
}

// The text of a SOCKS 5 connect failure.
AnsiString Socks5ReplyText(Byte code) {
  switch (code) {
    case 1:
      return "general SOCKS server failure";
    case 2:
      return "connection not allowed by ruleset";
    case 3:
      return "network unreachable";
    case 4:
      return "host unreachable";
    case 5:
      return "connection refused";
    case 6:
      return "time to live expired";
    case 7:
      return "command not supported";
    case 8:
      return "address type not supported";
    default:
      return "unassigned error #" + IntToStr(code);
  }
}

}  // namespace

// ---- Settings ---------------------------------------------------------------------------

void TCustomSocksWSocket::AssignDefaultValue() {
  TCustomWSocket::AssignDefaultValue();
  SocksState = socksData;
  SocksServer.clear();
  SocksServerAssigned = false;
  SocksPort.clear();
  SocksPortAssigned = false;
  SocksLevel = "5";
  SocksRcvdCnt = 0;
  SocksRcvdPtr = 0;
  SocksLeftover = 0;
}

bool TCustomSocksWSocket::SocksSettingChangeable(const char* setting) {
  if (State == wsClosed) return true;
  RaiseException(AnsiString("Can't change socks ") + setting + " if not closed");
  return false;
}

void TCustomSocksWSocket::SetSocksServer(const AnsiString& value) {
  if (!SocksSettingChangeable("server")) return;
  SocksServer = Trim(value);
  SocksServerAssigned = !SocksServer.empty();
  // Where the socket connects to has changed.
  AddrResolved = false;
  PortResolved = false;
}

void TCustomSocksWSocket::SetSocksPort(const AnsiString& value) {
  if (!SocksSettingChangeable("port")) return;
  SocksPort = Trim(value);
  SocksPortAssigned = !SocksPort.empty();
  PortResolved = false;
}

void TCustomSocksWSocket::SetSocksLevel(const AnsiString& value) {
  if (!SocksSettingChangeable("level")) return;
  if (value != "4" && value != "5" && value != "4A" && value != "4a") {
    RaiseException("Invalid socks level. Must be 4, 4A or 5.");
    return;
  }
  SocksLevel = UpperCase(value);
}

// ---- Connecting -------------------------------------------------------------------------

void TCustomSocksWSocket::Connect() {
  // Without a SOCKS server, and for the ordinary refusals (socket in use, nothing to
  // connect to), the ordinary Connect decides.
  const bool inUse = SocketHandle != INVALID_SOCKET && State != wsClosed;
  // An earlier attempt that failed before connecting leaves no negotiation behind.
  if (!inUse) SocksState = socksData;
  if (!SocksServerAssigned || inUse || !PortAssigned || !AddrAssigned) {
    TCustomWSocket::Connect();
    return;
  }
  if (LowerCase(ProtoStr) != "tcp") {
    RaiseException("tcp is the only protocol supported thru socks server");
    return;
  }
  try {
    if (!PortResolved) {
      // The socket itself goes to the SOCKS server; the target's port goes into the
      // connect request.
      Sin.sin_port = WSocket_htons(WSocketResolvePort(SocksPort, ProtoStr));
      SocksTargetPort = WSocketResolvePort(PortStr, ProtoStr);
      PortResolved = true;
    }
    if (!AddrResolved) {
      Sin.sin_addr.S_un.S_addr = WSocketResolveHost(SocksServer);
      AddrResolved = true;
    }
  } catch (const ESocketException& e) {
    RaiseException("connect: " + e.Message());
    return;
  }
  SocksState = socksNegociateMethods;
  SocksRcvdCnt = 0;
  SocksRcvdPtr = 0;
  SocksLeftover = 0;
  TCustomWSocket::Connect();
}

void TCustomSocksWSocket::Listen() {
  if (SocksServerAssigned) {
    RaiseException("Listening is not supported thru socks server");
    return;
  }
  TCustomWSocket::Listen();
}

void TCustomSocksWSocket::TriggerSessionConnectedSpecial(Word errCode) {
  if (SocksState != socksNegociateMethods) {
    TCustomWSocket::TriggerSessionConnectedSpecial(errCode);
    return;
  }
  TriggerSocksConnected(errCode);
  if (errCode != 0) {
    TCustomWSocket::TriggerSessionConnectedSpecial(errCode);
    return;
  }
  // A handler of OnSocksConnected may have closed the socket.
  if (State != wsConnected || SocksState != socksNegociateMethods) return;
  if (IsLevel4(SocksLevel)) {
    SocksDoConnect();
    return;
  }
  SocksAuthMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
  AnsiString greeting;
  greeting += '\x05';
  greeting += '\x01';
  greeting += static_cast<char>(SocksAuthMethod);
  SocksSend(greeting);
}

void TCustomSocksWSocket::SocksSend(const AnsiString& request) {
  try {
    Send(request.data(), static_cast<Integer>(request.size()));
  } catch (const Exception&) {
    // A lost connection is reported by the socket as a close.
  }
}

void TCustomSocksWSocket::SocksDoConnect() {
  SocksState = socksConnect;
  AnsiString request;
  if (IsLevel4(SocksLevel)) {
    // Both strings end at their NUL: one inside would cut the request short.
    const bool is4A = SocksLevel == "4A";
    if (SocksUsercode.find('\0') != AnsiString::npos) {
      DataAvailableError(20017, "socks user code contains a NUL byte");
      return;
    }
    if (is4A && AddrStr.find('\0') != AnsiString::npos) {
      DataAvailableError(20017, "socks target name contains a NUL byte");
      return;
    }
    winsock::u_long target = 0;
    if (is4A) {
      target = WSocket_htonl(1);  // 0.0.0.1: the server resolves the name that follows
    } else {
      try {
        target = WSocketResolveHost(AddrStr);
      } catch (const Exception& e) {
        TriggerSocksError(20017, AnsiString(e.ClassName()) + " " + e.Message());
        SocksState = socksData;
        InternalClose(true, 20017);
        return;
      }
    }
    request += '\x04';
    request += '\x01';
    AppendPort(request, SocksTargetPort);
    request.append(reinterpret_cast<const char*>(&target), 4);
    request += SocksUsercode;
    request += '\0';
    if (is4A) {
      request += AddrStr;
      request += '\0';
    }
  } else {
    if (AddrStr.size() > kSocksMaxFieldLength) {
      DataAvailableError(20017, "socks target name longer than 255 bytes");
      return;
    }
    request += '\x05';
    request += '\x01';
    request += '\x00';
    request += '\x03';  // the target always goes as a name
    request += static_cast<char>(AddrStr.size());
    request += AddrStr;
    AppendPort(request, SocksTargetPort);
  }
  SocksSend(request);
}

void TCustomSocksWSocket::SocksDoAuthenticate() {
  SocksState = socksAuthenticate;
  TriggerSocksAuthState(socksAuthStart);
  if (State != wsConnected || SocksState != socksAuthenticate) return;
  if (SocksUsercode.size() > kSocksMaxFieldLength) {
    DataAvailableError(20017, "socks user code longer than 255 bytes");
    return;
  }
  if (SocksPassword.size() > kSocksMaxFieldLength) {
    DataAvailableError(20017, "socks password longer than 255 bytes");
    return;
  }
  AnsiString request;
  request += '\x01';
  request += static_cast<char>(SocksUsercode.size());
  request += SocksUsercode;
  request += static_cast<char>(SocksPassword.size());
  request += SocksPassword;
  SocksSend(request);
}

// ---- Replies ----------------------------------------------------------------------------

bool TCustomSocksWSocket::TriggerDataAvailable(Word errCode) {
  if (SocksState == socksData) return TCustomWSocket::TriggerDataAvailable(errCode);
  if (errCode != 0) {
    DataAvailableError(errCode, "data receive error");
    return true;
  }
  switch (SocksState) {
    case socksNegociateMethods:
      SocksMethodsReply();
      break;
    case socksAuthenticate:
      SocksAuthenticateReply();
      break;
    case socksConnect:
      if (IsLevel4(SocksLevel))
        SocksConnectReply4();
      else
        SocksConnectReply5();
      break;
    default:
      DataAvailableError(20013, "internal error");
      break;
  }
  return true;
}

Integer TCustomSocksWSocket::SocksReceive(Integer upTo) {
  // Never past the reply's end: bytes behind it belong to the data.
  const Integer room = std::min(upTo, ReplyRoom) - SocksRcvdCnt;
  if (room <= 0) return 0;
  const Integer received = DoRecv(SocksRcvdBuf + SocksRcvdCnt, room, 0);
  if (received <= 0) return 0;  // nothing yet, or the close that follows says more
  SocksRcvdCnt += received;
  return received;
}

void TCustomSocksWSocket::SocksMethodsReply() {
  if (SocksReceive(ReplyRoom) == 0) return;
  if (IsLevel4(SocksLevel)) {
    // Levels 4 and 4A send their request at once and never wait for a method.
    DataAvailableError(20001, "TWSocket logic error");
    return;
  }
  if (SocksRcvdCnt < 2) return;
  SocksRcvdCnt = 0;
  if (SocksRcvdBuf[0] != 0x05) {
    DataAvailableError(20002, "socks version error");
    return;
  }
  switch (SocksRcvdBuf[1]) {
    case 0x00:
      if (SocksAuthMethod == 2) {
        TriggerSocksAuthState(socksAuthNotRequired);
        if (State != wsConnected || SocksState != socksNegociateMethods) return;
      }
      SocksDoConnect();
      break;
    case 0x02:
      SocksDoAuthenticate();
      break;
    default:
      DataAvailableError(20003, "authentification method not acceptable");
      break;
  }
}

void TCustomSocksWSocket::SocksAuthenticateReply() {
  if (SocksReceive(ReplyRoom) == 0) return;
  if (SocksRcvdBuf[0] != 0x01) {
    DataAvailableError(20002, "socks version error");
    return;
  }
  if (SocksRcvdCnt > 2) {
    DataAvailableError(20001, "too much data availaible");
    return;
  }
  if (SocksRcvdCnt < 2) return;  // the status byte is still to come
  if (SocksRcvdBuf[1] != 0x00) {
    DataAvailableError(20015, "socks authentication failed");
    return;
  }
  SocksRcvdCnt = 0;
  TriggerSocksAuthState(socksAuthSuccess);
  if (State != wsConnected || SocksState != socksAuthenticate) return;
  SocksDoConnect();
}

void TCustomSocksWSocket::SocksConnectReply4() {
  if (SocksReceive(kSocks4ReplyLength) == 0) return;
  if (SocksRcvdCnt < kSocks4ReplyLength) return;
  SocksRcvdCnt = 0;
  if (SocksRcvdBuf[0] != 0x00) {
    DataAvailableError(20002, "socks version error");
    return;
  }
  switch (SocksRcvdBuf[1]) {
    case 0x5A:
      SocksConnected();
      break;
    case 0x5B:
      DataAvailableError(20016, "request rejected or failed");
      break;
    case 0x5C:
      DataAvailableError(20008, "connection refused");
      break;
    case 0x5D:
      DataAvailableError(20015, "authentification failed");
      break;
    default:
      DataAvailableError(20012, "unassigned error #" + IntToStr(SocksRcvdBuf[1]));
      break;
  }
}

void TCustomSocksWSocket::SocksConnectReply5() {
  if (SocksReceive(ReplyRoom) == 0) return;
  if (SocksRcvdBuf[0] != 0x05) {
    DataAvailableError(20002, "socks version error");
    return;
  }
  if (SocksRcvdCnt < 2) return;
  if (SocksRcvdBuf[1] != 0x00) {
    const Byte code = SocksRcvdBuf[1];
    const Integer errCode = code >= 1 && code <= 8 ? 20003 + code : 20012;
    DataAvailableError(errCode, Socks5ReplyText(code));
    return;
  }
  if (SocksRcvdCnt <= 4) return;
  const Byte addressType = SocksRcvdBuf[3];
  const Integer replyLength = addressType == 1   ? 10
                              : addressType == 3 ? 7 + SocksRcvdBuf[4]
                                                 : 5;
  // A reply the area cannot hold would never complete.
  if (replyLength > ReplyRoom) {
    DataAvailableError(20001, "too much data availaible");
    return;
  }
  if (SocksRcvdCnt < replyLength) return;
  Integer portAt = 0;
  if (addressType == 1) {
    in_addr bound{};
    std::memcpy(&bound.S_un.S_addr, SocksRcvdBuf + 4, 4);  // network order, as sent
    ProxyBoundAddress = WSocket_inet_ntoa(bound);
    portAt = 8;
  } else if (addressType == 3) {
    ProxyBoundAddress.assign(reinterpret_cast<const char*>(SocksRcvdBuf + 5), SocksRcvdBuf[4]);
    portAt = 5 + SocksRcvdBuf[4];
  } else {
    DataAvailableError(20011, "address type not supported");
    return;
  }
  ProxyBoundPort = IntToStr((SocksRcvdBuf[portAt] << 8) | SocksRcvdBuf[portAt + 1]);
  SocksLeftover = SocksRcvdCnt - replyLength;
  SocksRcvdPtr = replyLength;
  SocksRcvdCnt = 0;
  SocksConnected();
}

void TCustomSocksWSocket::SocksConnected() {
  SocksState = socksData;
  const WPARAM generation = ConnectionGeneration;
  TriggerSessionConnected(0);
  // The handler may have closed the connection, or opened the next one.
  if (generation != ConnectionGeneration || State != wsConnected) return;
  // Through the whole family, so that line mode splits these bytes too.
  TriggerDataAvailable(0);
}

void TCustomSocksWSocket::DataAvailableError(Integer errCode, const AnsiString& msg) {
  const WPARAM generation = ConnectionGeneration;
  TriggerSocksError(errCode, msg);
  SocksState = socksData;
  TriggerSessionConnected(static_cast<Word>(errCode));
  // A handler that closed this connection, or opened the next, has the last word.
  if (generation != ConnectionGeneration) return;
  InternalClose(true, static_cast<Word>(errCode));
}

// ---- Data behind the last reply -------------------------------------------------------------

Integer TCustomSocksWSocket::GetRcvdCount() {
  if (SocksLeftover > 0) return SocksLeftover;
  return TCustomWSocket::GetRcvdCount();
}

Integer TCustomSocksWSocket::DoRecv(void* buffer, Integer bufferSize, Integer flags) {
  if (SocksLeftover <= 0 || bufferSize <= 0)
    return TCustomWSocket::DoRecv(buffer, bufferSize, flags);
  const Integer count = std::min(bufferSize, SocksLeftover);
  std::memcpy(buffer, SocksRcvdBuf + SocksRcvdPtr, static_cast<size_t>(count));
  if ((flags & MSG_PEEK) == 0) {
    SocksRcvdPtr += count;
    SocksLeftover -= count;
    // As Winsock does after a read that leaves bytes behind: another FD_READ, so
    // that a reader taking small pieces gets the rest even when nothing more comes.
    if (SocksLeftover > 0 && SocketHandle != INVALID_SOCKET)
      PostMessage(WindowHandle, WM_ASYNCSELECT, SocketHandle, WSAMAKESELECTREPLY(FD_READ, 0));
  }
  return count;
}

void TCustomSocksWSocket::Do_FD_CLOSE(TMessage& msg) {
  // Bytes left behind the last reply are delivered before the close, as the
  // socket's own are; a reader that takes nothing more ends the offers.
  try {
    while (SocksLeftover > 0 && msg.WParam == SocketHandle && State == wsConnected) {
      const Integer before = SocksLeftover;
      TriggerDataAvailable(0);
      if (SocksLeftover >= before) break;
    }
  } catch (...) {
    // As in the receive loop: a failing handler ends this round of receiving.
  }
  TCustomWSocket::Do_FD_CLOSE(msg);
}

void TCustomSocksWSocket::TriggerSessionClosed(Word errCode) {
  if (SocksState == socksAuthenticate) TriggerSocksAuthState(socksAuthFailure);
  TCustomWSocket::TriggerSessionClosed(errCode);
}

// ---- Events -------------------------------------------------------------------------------

void TCustomSocksWSocket::TriggerSocksConnected(Word errCode) {
  if (OnSocksConnected) OnSocksConnected(this, errCode);
}

void TCustomSocksWSocket::TriggerSocksError(Integer errCode, const AnsiString& msg) {
  if (OnSocksError) OnSocksError(this, errCode, msg);
}

void TCustomSocksWSocket::TriggerSocksAuthState(TSocksAuthState authState) {
  if (OnSocksAuthState) OnSocksAuthState(this, authState);
}
