// Name and address lookups that do not block: the request, the reply message and
// cancelling.
#include <cstring>

#include "net/WSocket.h"

using namespace winsock;

void TCustomWSocket::DnsLookup(const AnsiString& hostName) {
  if (hostName.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    TriggerDNSLookupDone(WSAEINVAL);
    return;
  }
  // A lookup still running is superseded without a word: its caller asked again.
  if (LookupTask != 0) {
    WSocket_WSACancelAsyncRequest(LookupTask);
    LookupTask = 0;
  }
  DnsResult.clear();
  DnsResultList->Clear();

  if (WSocketIsDottedIP(hostName)) {
    in_addr address{};
    address.S_un.S_addr = WSocket_inet_addr(Trim(hostName).c_str());
    if (address.S_un.S_addr != INADDR_NONE) {
      DnsResult = WSocket_inet_ntoa(address);
      DnsResultList->Add(DnsResult);
      TriggerDNSLookupDone(0);
      return;
    }
  }

  if (WindowHandle == 0) {
    RaiseException("DnsLookup: Window not assigned");
    return;
  }
  LookupReplySaved = false;
  LookupTask = WSocket_WSAAsyncGetHostByName(WindowHandle, WM_ASYNCGETHOSTBYNAME, hostName.c_str(),
                                             LookupArea, kLookupAreaSize);
  if (LookupTask == 0) {
    RaiseExceptionFmt("%s: can't start DNS lookup, error #%d",
                      {hostName, WSocket_WSAGetLastError()});
    return;
  }
  if (LookupReplySaved) {
    LookupReplySaved = false;
    WMAsyncGetHostByName(SavedLookupReply);
  }
}

void TCustomWSocket::WMAsyncGetHostByName(TMessage& msg) {
  if (LookupTask == 0) {
    // The reply overtook the return of the request: keep it for the request.
    SavedLookupReply = msg;
    LookupReplySaved = true;
    return;
  }
  if (msg.WParam != LookupTask) return;
  LookupTask = 0;
  const Word error = WSAGETASYNCERROR(msg.LParam);
  if (error == 0) {
    const auto* entry = reinterpret_cast<const hostent*>(LookupArea);
    if (entry->h_addr_list != nullptr) {
      for (char** p = entry->h_addr_list; *p != nullptr; ++p) {
        in_addr address;
        std::memcpy(&address, *p, sizeof address);
        DnsResultList->Add(WSocket_inet_ntoa(address));
      }
    }
    if (DnsResultList->GetCount() > 0) DnsResult = DnsResultList->Strings(0);
  }
  TriggerDNSLookupDone(error);
}

void TCustomWSocket::ReverseDnsLookup(const AnsiString& hostAddr) {
  if (hostAddr.empty() || hostAddr.size() >= 257) {
    RaiseException("ReverseDnsLookup: Invalid host name.");
    TriggerDNSLookupDone(WSAEINVAL);
    return;
  }
  if (LookupTask != 0) {
    WSocket_WSACancelAsyncRequest(LookupTask);
    LookupTask = 0;
  }
  DnsResult.clear();
  DnsResultList->Clear();
  if (WindowHandle == 0) {
    RaiseException("ReverseDnsLookup: Window not assigned");
    return;
  }
  const winsock::u_long address = WSocket_inet_addr(hostAddr.c_str());
  LookupTask = WSocket_WSAAsyncGetHostByAddr(WindowHandle, WM_ASYNCGETHOSTBYADDR,
                                             reinterpret_cast<const char*>(&address), 4, AF_INET,
                                             LookupArea, kLookupAreaSize);
  if (LookupTask == 0)
    RaiseExceptionFmt("%s: can't start DNS lookup, error #%d",
                      {hostAddr, WSocket_WSAGetLastError()});
}

void TCustomWSocket::WMAsyncGetHostByAddr(TMessage& msg) {
  if (msg.WParam != LookupTask || LookupTask == 0) return;
  LookupTask = 0;
  const Word error = WSAGETASYNCERROR(msg.LParam);
  if (error == 0) {
    const auto* entry = reinterpret_cast<const hostent*>(LookupArea);
    DnsResult = entry->h_name != nullptr ? entry->h_name : "";
    DnsResultList->Add(DnsResult);
  }
  TriggerDNSLookupDone(error);
}

void TCustomWSocket::CancelDnsLookup() {
  if (LookupTask == 0) return;
  if (WSocket_WSACancelAsyncRequest(LookupTask) != 0) {
    LookupTask = 0;
    SocketError("WSACancelAsyncRequest");
    return;
  }
  LookupTask = 0;
  if (!IsDestroying()) TriggerDNSLookupDone(WSAEINTR);
}
