// THttpCli: construction, the hidden window and its messages, the state machine, the
// start of a request, the name lookup and connection steps, the close, Abort and the
// synchronous wait.
#include <cstdint>

#include "net/HttpProt.h"
#include "net/NetUrl.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Application.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

// MsgWaitForMultipleObjects wake mask of the synchronous wait: keys, mouse buttons,
// sent messages, hot keys and posted messages (no timers).
constexpr DWORD kSyncWakeMask = QS_KEY | QS_MOUSEBUTTON | QS_SENDMESSAGE | QS_HOTKEY | QS_ALLPOSTMESSAGE;

}  // namespace

// ---- Construction ---------------------------------------------------------------------

THttpCli::THttpCli(TComponent* owner) : TComponent(owner) {
  WindowHandle = HTTPCliAllocateHWnd();
  ResponseHeaderLines = std::make_unique<TStringList>();
  AuthChallenges = std::make_unique<TStringList>();
  State = httpReady;
  FollowRelocation = true;
  CreateSocket();
  WireSocket();
}

THttpCli::~THttpCli() {
  // The socket closes its connection without telling anybody.
  delete WSocket;
  WSocket = nullptr;
  if (WindowHandle != 0) DeallocateHWnd(WindowHandle);
  WindowHandle = 0;
}

void THttpCli::CreateSocket() {
  WSocket = new TWSocket(this);
}

HWND THttpCli::HTTPCliAllocateHWnd() {
  return AllocateHWnd([this](TMessage& msg) { WndProc(msg); });
}

void THttpCli::WireSocket() {
  WSocket->OnSessionClosed = [this](TObject* s, Word e) { SocketSessionClosed(s, e); };
  WSocket->OnDataAvailable = [this](TObject* s, Word e) { SocketDataAvailable(s, e); };
  WSocket->OnSessionConnected = [this](TObject* s, Word e) { SocketSessionConnected(s, e); };
  WSocket->OnDataSent = [this](TObject* s, Word e) { SocketDataSent(s, e); };
  WSocket->OnDnsLookupDone = [this](TObject* s, Word e) { SocketDNSLookupDone(s, e); };
  WSocket->OnSocksError = [this](TObject* s, Integer error, AnsiString msg) {
    if (OnSocksError) OnSocksError(s, error, msg);
  };
  WSocket->OnSocksConnected = [this](TObject* s, Word e) {
    if (OnSocksConnected) OnSocksConnected(s, e);
  };
  WSocket->OnSocksAuthState = [this](TObject* s, TSocksAuthState authState) {
    if (OnSocksAuthState) OnSocksAuthState(s, authState);
  };
  // With OnError assigned the socket reports its failures here instead of raising.
  WSocket->OnError = [this](TObject*) { SocketErrorTransfer(); };
}

void THttpCli::SocketErrorTransfer() {
  if (OnSocketError) OnSocketError(this);
}

void THttpCli::SetMultiThreaded(bool value) {
  MultiThreaded = value;
  WSocket->SetMultiThreaded(value);
}

void THttpCli::SetRequestVer(const AnsiString& value) {
  if (value != "1.0" && value != "1.1") throw EHttpException("Insupported HTTP version", 5);
  RequestVer = value;
}

// ---- The hidden window --------------------------------------------------------------

void THttpCli::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_HTTP_REQUEST_DONE:
      // A request that went on after Abort (a relocation) ends later with its own.
      if (!Current(msg.WParam) || State != httpReady) return;
      if (OnRequestDone) OnRequestDone(this, RequestKind, static_cast<Word>(DoneErrorCode));
      return;
    case WM_HTTP_SET_READY:
      if (Current(msg.WParam)) StateChange(httpReady);
      return;
    case WM_HTTP_LOGIN:
      if (!Current(msg.WParam)) return;
      AuthLoginPending = false;
      RelocationLoginPending = false;
      Login();
      return;
    default:
      msg.Result = DefWindowProc(WindowHandle, msg.Msg, msg.WParam, msg.LParam);
      return;
  }
}

void THttpCli::SetReady() { PostMessage(WindowHandle, WM_HTTP_SET_READY, RequestSerial, 0); }

void THttpCli::TriggerRequestDone() {
  PostMessage(WindowHandle, WM_HTTP_REQUEST_DONE, RequestSerial, 0);
}

void THttpCli::StateChange(THttpState newState) {
  if (State == newState) return;
  State = newState;
  const WPARAM serial = RequestSerial;
  TriggerStateChange();
  if (!Current(serial) || newState != httpReady) return;
  // A 401 or 407 answered with credentials repeats the request instead of ending it.
  if (PrepareNTLMAuth()) return;
  if (PrepareBasicAuth()) return;
  TriggerRequestDone();
}

// ---- Triggers -------------------------------------------------------------------------

void THttpCli::TriggerStateChange() {
  if (OnStateChange) OnStateChange(this);
}
void THttpCli::TriggerCookie(const AnsiString& data, bool& accept) {
  if (OnCookie) OnCookie(this, data, accept);
}
void THttpCli::TriggerSessionConnected() {
  if (OnSessionConnected) OnSessionConnected(this);
}
void THttpCli::TriggerSessionClosed() {
  if (OnSessionClosed) OnSessionClosed(this);
}
void THttpCli::TriggerBeforeHeaderSend(const AnsiString& method, TStrings* headers) {
  if (OnBeforeHeaderSend) OnBeforeHeaderSend(this, method, headers);
}
void THttpCli::TriggerRequestHeaderBegin() {
  if (OnRequestHeaderBegin) OnRequestHeaderBegin(this);
}
void THttpCli::TriggerRequestHeaderEnd() {
  if (OnRequestHeaderEnd) OnRequestHeaderEnd(this);
}
void THttpCli::TriggerHeaderBegin() {
  HeaderInProgress = true;
  if (OnHeaderBegin) OnHeaderBegin(this);
}
void THttpCli::TriggerHeaderEnd() {
  HeaderInProgress = false;
  if (OnHeaderEnd) OnHeaderEnd(this);
}
void THttpCli::TriggerDocBegin() {
  if (OnDocBegin) OnDocBegin(this);
}
void THttpCli::TriggerDocData(const void* data, Integer len) {
  if (OnDocData) OnDocData(this, data, len);
}
void THttpCli::TriggerDocEnd() {
  if (OnDocEnd) OnDocEnd(this);
}
void THttpCli::TriggerSendBegin() {
  if (OnSendBegin) OnSendBegin(this);
}
void THttpCli::TriggerSendData(const void* data, Integer len) {
  if (OnSendData) OnSendData(this, data, len);
}
void THttpCli::TriggerSendEnd() {
  if (OnSendEnd) OnSendEnd(this);
}
void THttpCli::TriggerDataPush(Word errCode) {
  if (OnDataPush) OnDataPush(this, errCode);
}
void THttpCli::TriggerDataPush2() {
  if (OnDataPush2) OnDataPush2(this);
}

// ---- Starting a request -----------------------------------------------------------------

void THttpCli::InternalClear() {
  ResponseHeaderLines->Clear();
  AuthChallenges->Clear();
  DoneErrorCode = 0;
  DocName.clear();
  StatusCode = 0;
  RcvdCount = 0;
  BodySentCount = 0;
  HeaderLineCount = 0;
  HeaderSize = 0;
  BodyLineCount = 0;
  ContentLength = -1;
  ContentType.clear();
  TransferCoding.clear();
  BodySending = false;
  TooManyRelocations = false;
  Location = URL;
  CloseAfterResponse = RequestVer == "1.0";
  // What an earlier response left unread never becomes part of this one.
  RcvdCnt = 0;
  ReceiveBuffer[0] = '\0';
}

void THttpCli::SetupProxyConnect() {
  AnsiString proto, user, pass, host, port, path;
  ParseURL(Proxy, proto, user, pass, host, port, path);
  ConnectHost = host;
  ConnectPort = port.empty() ? ProxyPort : port;
}

void THttpCli::SetupTarget() {
  AnsiString proto, user, pass, host, port, path;
  ParseURL(URL, proto, user, pass, host, port, path);
  // Credentials written in the URL serve this request only.
  RequestUsername = user.empty() ? Username : user;
  RequestPassword = pass.empty() ? Password : pass;
  RequestHost = host;
  RequestPort = port.empty() ? AnsiString("80") : port;
  Scheme = proto.empty() ? AnsiString("http") : proto;
  DocName = path;
  // A target that is only a query still needs its "/".
  if (!path.empty() && path[0] == '?') path = "/" + path;
  if (Proxy.empty()) {
    ConnectHost = host;
    ConnectPort = RequestPort;
    RequestUri = path.empty() ? AnsiString("/") : path;
    return;
  }
  // Through a proxy the request line carries the absolute URL.
  RequestUri = Scheme + "://" + host + (port.empty() ? AnsiString() : ":" + port) +
               (path.empty() ? AnsiString("/") : path);
  SetupProxyConnect();
}

void THttpCli::DoRequestAsync(THttpRequest rq) {
  if (State != httpReady && rq != httpCLOSE) throw EHttpException("HTTP component is busy", 1);
  if ((rq == httpPOST || rq == httpPUT) && SendStream == nullptr)
    throw EHttpException("HTTP component has nothing to post or put", 2);
  if ((rq == httpPOST || rq == httpPUT) &&
      SendStream->GetSize() - SendStream->GetPosition() > INT32_MAX)
    throw EHttpException("HTTP component cannot post or put more than 2 GB", 2);

  const WPARAM serial = ++RequestSerial;
  // A relocation still waiting for its login is superseded.
  RelocationLoginPending = false;
  if (rq == httpCLOSE) {
    StatusCode = 200;
    ReasonPhrase = "OK";
    StateChange(httpClosing);
    if (!Current(serial)) return;
    if (WSocket->GetState() == wsClosed)
      SetReady();
    else
      WSocket->CloseDelayed();
    return;
  }

  RelocationCount = 0;
  RelocationPending = false;
  AuthRepeatCount = 0;
  AuthLoginPending = false;
  ResetPendingAuth();
  RequestKind = rq;
  InternalClear();
  SetupTarget();
  AdjustDocName();

  // A kept-alive connection to the same place carries the request.
  if (WSocket->GetState() == wsConnected) {
    if (ConnectHost == ConnectedHost && ConnectPort == ConnectedPort && Scheme == ConnectedScheme) {
      WSocket->OnSessionClosed = [this](TObject* s, Word e) { SocketSessionClosed(s, e); };
      SocketSessionConnected(this, 0);
      return;
    }
    WSocket->Abort();
    if (!Current(serial)) return;
  }
  StateChange(httpNotConnected);
  if (!Current(serial)) return;
  Login();
}

void THttpCli::DoRequestSync(THttpRequest rq) {
  DoRequestAsync(rq);
  // An authentication repeat leaves the client ready until its login runs.
  while (State != httpReady || AuthLoginPending) {
    if (MultiThreaded) {
      WSocket->ProcessMessages();
      Sleep(0);
      continue;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, kSyncWakeMask);
    Application->ProcessMessages();
    if (Application->GetTerminated()) {
      Abort();
      break;
    }
  }
  if (StatusCode >= 400 && StatusCode != 401 && StatusCode != 407)
    throw EHttpException(ReasonPhrase, static_cast<Word>(StatusCode));
}

void THttpCli::AdjustDocName() {
  const Integer query = Pos("?", DocName);
  if (query > 0) DocName = Copy(DocName, 1, query - 1);
  if (DocName.empty() || DocName.back() == '/') {
    DocName = "document.htm";
    return;
  }
  // What follows the last "/" (all of it when there is none), at most 255 characters.
  const size_t slash = DocName.rfind('/');
  const Integer start = slash == AnsiString::npos ? 1 : static_cast<Integer>(slash) + 2;
  DocName = Copy(DocName, start, 255);
  const Integer query2 = Pos("?", DocName);
  if (query2 > 0) DocName = Copy(DocName, 1, query2 - 1);
}

// ---- Lookup and connection ----------------------------------------------------------------

void THttpCli::Login() {
  WSocket->OnSessionClosed = [this](TObject* s, Word e) { SocketSessionClosed(s, e); };
  if (WSocket->GetState() == wsConnected) {
    SocketSessionConnected(nullptr, 0);
    return;
  }
  const WPARAM serial = RequestSerial;
  ResolvedAddress.clear();
  StateChange(httpDnsLookup);
  if (!Current(serial)) return;
  try {
    WSocket->SetLocalAddr(LocalAddr);
    WSocket->DnsLookup(ConnectHost);
  } catch (Exception& e) {
    if (!Current(serial)) return;
    StatusCode = 404;
    ReasonPhrase = e.Message();
    StateChange(httpReady);
  }
}

void THttpCli::Logout() { WSocket->Close(); }

void THttpCli::DoBeforeConnect() {
  WSocket->SetAddr(ResolvedAddress);
  WSocket->SetLocalAddr(LocalAddr);
  WSocket->SetPort(ConnectPort);
  WSocket->SetProto("tcp");
  // An empty level (the initial one) leaves the socket's "5": the socket would refuse
  // it and report an error on every connection.
  WSocket->SetSocksServer(SocksServer);
  if (!SocksLevel.empty()) WSocket->SetSocksLevel(SocksLevel);
  WSocket->SetSocksPort(SocksPort);
  WSocket->SetSocksUsercode(SocksUsercode);
  WSocket->SetSocksPassword(SocksPassword);
  WSocket->SetSocksAuthentication(SocksAuthentication);
}

void THttpCli::SocketDNSLookupDone(TObject* sender, Word errCode) {
  // Only the lookup of the request being served counts (Abort cancels its lookup,
  // whose reply then arrives in httpAborting).
  if (State != httpDnsLookup) return;
  const WPARAM serial = RequestSerial;
  if (errCode != 0) {
    DoneErrorCode = errCode;
    StatusCode = 404;
    ReasonPhrase = "can't resolve hostname to IP address";
    SocketSessionClosed(sender, errCode);
    return;
  }
  ResolvedAddress = WSocket->GetDnsResult();
  StateChange(httpDnsLookupDone);
  if (!Current(serial)) return;
  // Authentication that lasted as long as the old connection ends here.
  ResetConnectionAuth();
  DoBeforeConnect();
  ConnectedHost = ConnectHost;
  ConnectedPort = ConnectPort;
  ConnectedScheme = Scheme;
  if (Scheme != "http") {
    DoneErrorCode = WSocket->GetLastError();
    StatusCode = 501;
    ReasonPhrase = "Protocol \"" + Scheme + "\" not implemented";
    WSocket->Close();
    SocketSessionClosed(WSocket, static_cast<Word>(WSocket->GetLastError()));
    return;
  }
  try {
    WSocket->Connect();
  } catch (Exception&) {
    if (!Current(serial)) return;
    const Integer error = WSocket->GetLastError();
    DoneErrorCode = error;
    StatusCode = 404;
    ReasonPhrase =
        "can't connect: " + WSocketErrorDesc(error) + " (Error #" + IntToStr(error) + ")";
    WSocket->Close();
    SocketSessionClosed(WSocket, static_cast<Word>(error));
  }
}

void THttpCli::SocketSessionConnected(TObject*, Word errCode) {
  const WPARAM serial = RequestSerial;
  if (errCode != 0) {
    DoneErrorCode = errCode;
    StatusCode = 404;
    ReasonPhrase = WSocketErrorDesc(errCode) + " (Error #" + IntToStr(errCode) + ")";
    // The socket closes next, and the close ends the request.
    TriggerSessionConnected();
    return;
  }
  RelocationPending = false;
  // A new connection (or a reused one) starts with nothing received.
  RcvdCnt = 0;
  ReceiveBuffer[0] = '\0';
  try {
    StateChange(httpConnected);
    if (!Current(serial)) return;
    TriggerSessionConnected();
    if (!Current(serial)) return;
    NextLineHandler = TNextLineHandler::Header;
    StateChange(httpWaitingHeader);
    if (!Current(serial)) return;
    const char* method = RequestKind == httpPOST  ? "POST"
                         : RequestKind == httpPUT ? "PUT"
                         : RequestKind == httpHEAD ? "HEAD"
                                                   : "GET";
    SendRequest(method, RequestVer);
    if (!Current(serial)) return;
    // With the first NTLM message the body waits for the third.
    if ((RequestKind == httpPOST || RequestKind == httpPUT) && !SendingNTLMMessage1()) {
      TriggerSendBegin();
      if (!Current(serial)) return;
      BodySending = true;
      SocketDataSent(WSocket, 0);
    }
  } catch (...) {
    // The request ends with the close; the exception goes no further.
    if (Current(serial)) Logout();
  }
}

// ---- The end of a connection and of a request ------------------------------------------------

void THttpCli::SocketSessionClosed(TObject* sender, Word errCode) {
  if (errCode != 0) DoneErrorCode = errCode;
  const WPARAM serial = RequestSerial;
  if (HeaderInProgress) {
    TriggerHeaderEnd();
    if (!Current(serial)) return;
  } else if (BodyLineCount > 0) {
    // A body that ends with the connection (or that the connection cut short).
    BodyLineCount = 0;
    NextLineHandler = TNextLineHandler::Idle;
    TriggerDocEnd();
    if (!Current(serial)) return;
  }
  if (RelocationPending) {
    LocationSessionClosed(sender, errCode);
    return;
  }
  TriggerSessionClosed();
  if (!Current(serial)) return;
  if (State != httpReady) SetReady();
}

void THttpCli::DropConnection(Word errorCode) {
  // Whatever is running on the bytes of this connection stops; the close that
  // follows ends the request.
  ++RequestSerial;
  DoneErrorCode = errorCode;
  RcvdCnt = 0;
  ReceiveBuffer[0] = '\0';
  NextLineHandler = TNextLineHandler::Idle;
  RelocationPending = false;
  RelocationLoginPending = false;
  WSocket->OnSessionClosed = [this](TObject* s, Word e) { SocketSessionClosed(s, e); };
  if (WSocket->GetState() == wsClosed)
    SocketSessionClosed(WSocket, 0);
  else
    WSocket->Abort();
}

void THttpCli::Abort() {
  if (RelocationLoginPending) {
    // The relocating connection has already closed and the relocated request waits
    // for its login: Abort alone lets it go on, as it does when it comes before that
    // close (then the close it makes hands over to the relocation). The caller sees
    // the abort; the relocated request reports its own outcome later.
    const WPARAM serial = RequestSerial;
    StateChange(httpAborting);
    if (!Current(serial)) return;
    State = httpReady;
    TriggerStateChange();
    return;
  }
  const WPARAM serial = ++RequestSerial;
  // Between a challenge and the login of its repeat the client is ready but busy.
  const bool repeating = State == httpReady && AuthLoginPending;
  AuthLoginPending = false;
  if (State == httpReady && !repeating) {
    // Nothing runs: a kept-alive connection is closed and the caller hears at once.
    State = httpAborting;
    if (WSocket->GetState() != wsClosed) WSocket->Abort();
    if (!Current(serial)) return;
    StatusCode = 200;
    ReasonPhrase = "OK";
    DoneErrorCode = 0;
    State = httpReady;
    TriggerStateChange();
    if (!Current(serial)) return;
    if (OnRequestDone) OnRequestDone(this, RequestKind, static_cast<Word>(DoneErrorCode));
    return;
  }
  const bool wasLookup = State == httpDnsLookup;
  StateChange(httpAborting);
  if (!Current(serial)) return;
  if (wasLookup) {
    try {
      WSocket->CancelDnsLookup();
    } catch (...) {
      // The lookup may have ended meanwhile.
    }
  }
  StatusCode = 404;
  ReasonPhrase = "Connection aborted on request";
  DoneErrorCode = httperrAborted;
  if (wasLookup || (repeating && WSocket->GetState() == wsClosed))
    SocketSessionClosed(this, 0);
  else
    WSocket->Close();
  if (!Current(serial)) return;
  StateChange(httpReady);
}
