// THttpCli: following a Location header, on the same connection or on a new one.
#include "net/HttpProt.h"
#include "net/NetUrl.h"
#include "platform/rtl/Strings.h"
#include "platform/win/Messages.h"

namespace {

bool IsAbsoluteLocation(const AnsiString& v) {
  return SameText(v.substr(0, 7), "http://") || SameText(v.substr(0, 8), "https://");
}

// The text of uri up to and including its last "/" or ":" before its first "?".
AnsiString DirectoryOf(const AnsiString& uri) {
  const AnsiString head = uri.substr(0, uri.find('?'));
  const size_t last = head.find_last_of("/:");
  return last == AnsiString::npos ? AnsiString() : head.substr(0, last + 1);
}

// ":port" unless the port is empty or the default one.
AnsiString PortSuffix(const AnsiString& port) {
  return port.empty() || port == "80" ? AnsiString() : ":" + port;
}

}  // namespace

void THttpCli::HandleLocation(const AnsiString& value) {
  if (RequestKind == httpPUT) {
    Location = value;
    return;
  }
  if (!FollowRelocation) return;
  if (RelocationCount >= kMaxRelocations) {
    TooManyRelocations = true;
    return;
  }
  RelocationPending = true;

  const bool absolute = IsAbsoluteLocation(value);
  const bool relative = !absolute && (value.empty() || value[0] != '/');
  AnsiString proto, user, pass, host, port, path;

  if (!absolute && !relative) {
    if (Proxy.empty()) {
      RequestUri = value;
      Location = "http://" + ConnectHost + PortSuffix(ConnectPort) + value;
      return;
    }
    // The old target's scheme, host and port with the new path.
    ParseURL(RequestUri, proto, user, pass, host, port, path);
    Location = (proto.empty() ? AnsiString("http") : proto) + "://" + host +
               (port.empty() ? AnsiString() : ":" + port) + value;
    RequestUri = Location;
    if (!user.empty() && !pass.empty()) {
      RequestUsername = user;
      RequestPassword = pass;
    }
    return;
  }
  if (relative) {
    RequestUri = DirectoryOf(RequestUri) + value;
    Location = Proxy.empty() ? "http://" + ConnectHost + PortSuffix(ConnectPort) + RequestUri
                             : RequestUri;
    return;
  }

  ParseURL(value, proto, user, pass, host, port, path);
  if (proto.empty()) proto = "http";
  // An absolute location without a host name stays on the previous host.
  if (host.empty()) host = RequestHost;
  const AnsiString newPort = port.empty() ? AnsiString("80") : port;
  if (!user.empty() && !pass.empty()) {
    RequestUsername = user;
    RequestPassword = pass;
  } else if (!SameText(host, RequestHost) || newPort != RequestPort) {
    // Credentials that came with the old URL stay with the old host.
    RequestUsername = Username;
    RequestPassword = Password;
  }
  if (!path.empty() && path[0] == '?') path = "/" + path;
  Scheme = proto;
  RequestHost = host;
  RequestPort = newPort;
  const AnsiString target = proto + "://" + host + PortSuffix(port) + path;
  if (Proxy.empty()) {
    ConnectHost = host;
    ConnectPort = newPort;
    RequestUri = path.empty() ? AnsiString("/") : path;
    Location = target;
    return;
  }
  // Through a proxy the connection stays with the proxy.
  Location = target;
  RequestUri = path.empty() ? target + "/" : target;
}

void THttpCli::CleanupRcvdStream() {
  if (RcvdStream == nullptr || RcvdCount <= 0) return;
  Int64 size = RcvdStream->GetSize() - RcvdCount;
  if (size < 0) size = 0;
  RcvdStream->SetSize(size);
  if (RcvdStream->GetPosition() > size) RcvdStream->SetPosition(size);
}

void THttpCli::CleanupSendStream() {
  if (SendStream == nullptr || BodySentCount <= 0) return;
  SendStream->Seek(-static_cast<Int64>(BodySentCount), soCurrent);
}

void THttpCli::StartRelocation() {
  const WPARAM serial = RequestSerial;
  // The relocating response's body is not part of the document that follows.
  CleanupRcvdStream();
  RcvdCount = 0;
  RcvdCnt = 0;
  ReceiveBuffer[0] = '\0';
  HeaderLineCount = 0;
  BodyLineCount = 0;

  if (ConnectedHost == ConnectHost && ConnectedPort == ConnectPort && ConnectedScheme == Scheme &&
      !CloseAfterResponse) {
    // The open connection carries the next request.
    ++RelocationCount;
    AuthRepeatCount = 0;
    if (OnLocationChange) OnLocationChange(this);
    if (!Current(serial)) return;
    const AnsiString location = Location;
    InternalClear();
    Location = location;
    DocName = RequestUri;
    AdjustDocName();
    if (RequestKind == httpPOST) RequestKind = httpGET;
    CleanupRcvdStream();
    CleanupSendStream();
    PostMessage(WindowHandle, WM_HTTP_LOGIN, RequestSerial, 0);
    return;
  }
  WSocket->OnSessionClosed = [this](TObject* s, Word e) { LocationSessionClosed(s, e); };
  WSocket->CloseDelayed();
}

void THttpCli::LocationSessionClosed(TObject*, Word) {
  const WPARAM serial = RequestSerial;
  RelocationLoginPending = true;
  ++RelocationCount;
  AuthRepeatCount = 0;
  AnsiString proto, user, pass, host, port, path;
  ParseURL(Location.substr(0, Location.find('#')), proto, user, pass, host, port, path);
  DocName = path;
  AdjustDocName();
  RelocationPending = false;
  if (RequestKind == httpPOST) RequestKind = httpGET;
  WSocket->OnSessionClosed = [this](TObject* s, Word e) { SocketSessionClosed(s, e); };
  if (OnLocationChange) OnLocationChange(this);
  if (!Current(serial)) return;
  ResponseHeaderLines->Clear();
  HeaderLineCount = 0;
  HeaderSize = 0;
  BodyLineCount = 0;
  ContentLength = -1;
  ContentType.clear();
  TransferCoding.clear();
  StatusCode = 0;
  // The relocated request reports its own outcome (also after an Abort that let it go on).
  DoneErrorCode = 0;
  CloseAfterResponse = RequestVer == "1.0";
  // The proxy's own port, as when the request started.
  if (!Proxy.empty()) SetupProxyConnect();
  CleanupRcvdStream();
  RcvdCount = 0;
  CleanupSendStream();
  BodySentCount = 0;
  PostMessage(WindowHandle, WM_HTTP_LOGIN, RequestSerial, 0);
}
