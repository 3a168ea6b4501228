// The HTTP client component THttpCli: one HTTP/1.0 or HTTP/1.1 request at a time
// over its own socket, driven by window messages on the thread that created it.
//
// A request is started asynchronously (GetASync, PostASync, PutASync, HeadASync,
// CloseAsync), which returns at once, or synchronously (Get, Post, Put, Head, Close),
// which pumps messages until the request has ended. Progress is reported through
// events; the response body arrives in pieces through OnDocData and, when assigned,
// is also written to RcvdStream.
//
// Re-entrancy: every event handler may Abort the request or start a new one. Each
// request (and each Abort) gets a new serial number; the messages the client posts
// to itself carry the serial of their request and are dropped when it is no longer
// current, and after every event the client checks that the request it was serving
// is still current before it touches its buffer, state or socket again.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>

#include "net/HttpFunctions.h"
#include "net/NtlmMsgs.h"
#include "net/WSocket.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"
#include "platform/win/WinTypes.h"

// Messages of the client's hidden window; wParam carries the request's serial.
inline constexpr UINT WM_HTTP_REQUEST_DONE = WM_USER + 1;
inline constexpr UINT WM_HTTP_SET_READY = WM_USER + 2;
inline constexpr UINT WM_HTTP_LOGIN = WM_USER + 3;

enum class THttpState : Byte {
  httpReady,
  httpNotConnected,
  httpConnected,
  httpDnsLookup,
  httpDnsLookupDone,
  httpWaitingHeader,
  httpWaitingBody,
  httpBodyReceived,
  httpWaitingProxyConnect,
  httpClosing,
  httpAborting
};
using enum THttpState;

enum class THttpRequest : Byte { httpABORT, httpGET, httpPOST, httpPUT, httpHEAD, httpCLOSE };
using enum THttpRequest;

enum class THttpCliOption : Byte { httpoNoBasicAuth, httpoNoNTLMAuth };
using enum THttpCliOption;

using THttpCliOptions = TSet<THttpCliOption>;

// Authentication steps of one target (server or proxy).
enum class THttpNTLMState : Byte { ntlmNone, ntlmMsg1, ntlmMsg2, ntlmMsg3, ntlmDone };
using enum THttpNTLMState;

enum class THttpBasicState : Byte { basicNone, basicMsg1, basicDone };
using enum THttpBasicState;

// Which exchange the next request serves.
enum class TNTLMAuthType : Byte { ntlmAuthProxy, ntlmAuthNormal };
using enum TNTLMAuthType;

enum class TBasicAuthType : Byte { basicAuthProxy, basicAuthNormal };
using enum TBasicAuthType;

enum class THttpChunkState : Byte {
  httpChunkGetSize,
  httpChunkGetExt,
  httpChunkGetData,
  httpChunkSkipDataEnd,
  httpChunkDone
};
using enum THttpChunkState;

// Event types.
using TDocDataEvent = std::function<void(TObject* sender, const void* buffer, Integer len)>;
using THttpRequestDone = std::function<void(TObject* sender, THttpRequest rqType, Word errCode)>;
using TOnCommand = std::function<void(TObject* sender, AnsiString& s)>;
using TCookieRcvdEvent = std::function<void(TObject* sender, const AnsiString& data, bool& accept)>;
using TBeforeHeaderSendEvent =
    std::function<void(TObject* sender, const AnsiString& method, TStrings* headers)>;

// DoneErrorCode values that are not Winsock errors.
inline constexpr Word httperrAborted = 3;              // Abort of a busy request
inline constexpr Word httperrTooManyRelocations = 4;  // more than kMaxRelocations in a row

class THttpCli : public TComponent {
 public:
  LARK_CLASS_NAME(THttpCli)

  // Received bytes held while a line is incomplete. A longer line is kept cut short.
  static constexpr Integer kReceiveBufferSize = 8190;
  // Body bytes that find the line buffer empty are received this many at a time,
  // straight into a block of their own, and handed on from there.
  static constexpr Integer kBodyBlockSize = 128 * 1024;
  // Bytes of SendStream read and sent at a time.
  static constexpr Integer kSendChunkSize = 8193;
  // Largest chunk size accepted in a chunked body; a larger one ends the connection.
  static constexpr Integer kMaxChunkSize = 0x7FFFFFFF;
  // Largest response header (the sum of its stored lines); more ends the connection.
  static constexpr Integer kMaxHeaderSize = 100 * 1024;
  // Relocations followed for one request; the next Location header fails it.
  static constexpr Integer kMaxRelocations = 20;
  // Authentication repeats of one request (or of one relocation step); a challenge
  // after that many ends the request with its status instead of repeating it.
  static constexpr Integer kMaxAuthRepeats = 8;

  explicit THttpCli(TComponent* owner);
  ~THttpCli() override;
  THttpCli(const THttpCli&) = delete;
  THttpCli& operator=(const THttpCli&) = delete;

  // Requests that return at once.
  void GetASync() { DoRequestAsync(httpGET); }
  void PostASync() { DoRequestAsync(httpPOST); }
  void PutASync() { DoRequestAsync(httpPUT); }
  void HeadASync() { DoRequestAsync(httpHEAD); }
  // Ends a kept-alive connection; accepted in any state.
  void CloseAsync() { DoRequestAsync(httpCLOSE); }
  // Requests that pump messages until they have ended; a final status of 400 or more
  // (other than 401 and 407) raises EHttpException with the status as ErrorCode.
  void Get() { DoRequestSync(httpGET); }
  void Post() { DoRequestSync(httpPOST); }
  void Put() { DoRequestSync(httpPUT); }
  void Head() { DoRequestSync(httpHEAD); }
  void Close() { DoRequestSync(httpCLOSE); }
  // Cancels the request in progress; State is httpReady when it returns.
  void Abort();

  // Read-only state of the request and its response.
  THttpState GetState() const noexcept { return State; }
  Integer GetStatusCode() const noexcept { return StatusCode; }
  const AnsiString& GetReasonPhrase() const noexcept { return ReasonPhrase; }
  const AnsiString& GetResponseVersion() const noexcept { return ResponseVersion; }
  Integer GetContentLength() const noexcept { return ContentLength; }
  const AnsiString& GetContentType() const noexcept { return ContentType; }
  const AnsiString& GetTransferCoding() const noexcept { return TransferCoding; }
  Integer GetRcvdCount() const noexcept { return RcvdCount; }
  TStrings* GetResponseHeaderLines() const noexcept { return ResponseHeaderLines.get(); }
  const AnsiString& GetLastResponseLine() const noexcept { return LastResponseLine; }
  const AnsiString& GetLocation() const noexcept { return Location; }
  THttpRequest GetRequestKind() const noexcept { return RequestKind; }
  Integer GetBodySentCount() const noexcept { return BodySentCount; }
  const AnsiString& GetAcceptRanges() const noexcept { return AcceptRanges; }

  const AnsiString& GetDocName() const noexcept { return DocName; }
  void SetDocName(const AnsiString& value) { DocName = value; }
  // Not owned. Every body byte is also written to RcvdStream when it is assigned;
  // SendStream is the body of POST and PUT, sent from its current position.
  TStream* GetRcvdStream() const noexcept { return RcvdStream; }
  void SetRcvdStream(TStream* value) noexcept { RcvdStream = value; }
  TStream* GetSendStream() const noexcept { return SendStream; }
  void SetSendStream(TStream* value) noexcept { SendStream = value; }

  // Published properties.
  const AnsiString& GetURL() const noexcept { return URL; }
  void SetURL(const AnsiString& value) { URL = value; }
  const AnsiString& GetLocalAddr() const noexcept { return LocalAddr; }
  void SetLocalAddr(const AnsiString& value) { LocalAddr = value; }
  const AnsiString& GetProxy() const noexcept { return Proxy; }
  void SetProxy(const AnsiString& value) { Proxy = value; }
  const AnsiString& GetProxyPort() const noexcept { return ProxyPort; }
  void SetProxyPort(const AnsiString& value) { ProxyPort = value; }
  const AnsiString& GetSender() const noexcept { return Sender; }
  void SetSender(const AnsiString& value) { Sender = value; }
  const AnsiString& GetAgent() const noexcept { return Agent; }
  void SetAgent(const AnsiString& value) { Agent = value; }
  const AnsiString& GetAccept() const noexcept { return Accept; }
  void SetAccept(const AnsiString& value) { Accept = value; }
  const AnsiString& GetAcceptLanguage() const noexcept { return AcceptLanguage; }
  void SetAcceptLanguage(const AnsiString& value) { AcceptLanguage = value; }
  const AnsiString& GetReference() const noexcept { return Reference; }
  void SetReference(const AnsiString& value) { Reference = value; }
  const AnsiString& GetConnection() const noexcept { return Connection; }
  void SetConnection(const AnsiString& value) { Connection = value; }
  const AnsiString& GetProxyConnection() const noexcept { return ProxyConnection; }
  void SetProxyConnection(const AnsiString& value) { ProxyConnection = value; }
  // The component's own credentials. A user and password written in URL are used
  // for that request only and leave these unchanged.
  const AnsiString& GetUsername() const noexcept { return Username; }
  void SetUsername(const AnsiString& value) { Username = value; }
  const AnsiString& GetPassword() const noexcept { return Password; }
  void SetPassword(const AnsiString& value) { Password = value; }
  const AnsiString& GetProxyUsername() const noexcept { return ProxyUsername; }
  void SetProxyUsername(const AnsiString& value) { ProxyUsername = value; }
  const AnsiString& GetProxyPassword() const noexcept { return ProxyPassword; }
  void SetProxyPassword(const AnsiString& value) { ProxyPassword = value; }
  bool GetNoCache() const noexcept { return NoCache; }
  void SetNoCache(bool value) noexcept { NoCache = value; }
  TDateTime GetModifiedSince() const noexcept { return ModifiedSince; }
  void SetModifiedSince(TDateTime value) noexcept { ModifiedSince = value; }
  const AnsiString& GetCookie() const noexcept { return Cookie; }
  void SetCookie(const AnsiString& value) { Cookie = value; }
  const AnsiString& GetContentTypePost() const noexcept { return ContentTypePost; }
  void SetContentTypePost(const AnsiString& value) { ContentTypePost = value; }
  const AnsiString& GetContentRangeBegin() const noexcept { return ContentRangeBegin; }
  void SetContentRangeBegin(const AnsiString& value) { ContentRangeBegin = value; }
  const AnsiString& GetContentRangeEnd() const noexcept { return ContentRangeEnd; }
  void SetContentRangeEnd(const AnsiString& value) { ContentRangeEnd = value; }
  bool GetMultiThreaded() const noexcept { return MultiThreaded; }
  virtual void SetMultiThreaded(bool value);
  const AnsiString& GetRequestVer() const noexcept { return RequestVer; }
  // "1.0" or "1.1"; anything else raises EHttpException (code 5).
  void SetRequestVer(const AnsiString& value);
  bool GetFollowRelocation() const noexcept { return FollowRelocation; }
  void SetFollowRelocation(bool value) noexcept { FollowRelocation = value; }
  THttpCliOptions GetOptions() const noexcept { return Options; }
  void SetOptions(THttpCliOptions value) noexcept { Options = value; }
  const AnsiString& GetSocksServer() const noexcept { return SocksServer; }
  void SetSocksServer(const AnsiString& value) { SocksServer = value; }
  const AnsiString& GetSocksLevel() const noexcept { return SocksLevel; }
  void SetSocksLevel(const AnsiString& value) { SocksLevel = value; }
  const AnsiString& GetSocksPort() const noexcept { return SocksPort; }
  void SetSocksPort(const AnsiString& value) { SocksPort = value; }
  const AnsiString& GetSocksUsercode() const noexcept { return SocksUsercode; }
  void SetSocksUsercode(const AnsiString& value) { SocksUsercode = value; }
  const AnsiString& GetSocksPassword() const noexcept { return SocksPassword; }
  void SetSocksPassword(const AnsiString& value) { SocksPassword = value; }
  TSocksAuthentication GetSocksAuthentication() const noexcept { return SocksAuthentication; }
  void SetSocksAuthentication(TSocksAuthentication value) noexcept { SocksAuthentication = value; }

  // Published events, in declaration order. OnTrace is never raised.
  TNotifyEvent OnTrace;
  TNotifyEvent OnSessionConnected;
  TNotifyEvent OnSessionClosed;
  TNotifyEvent OnHeaderData;
  TOnCommand OnCommand;
  TNotifyEvent OnHeaderBegin;
  TNotifyEvent OnHeaderEnd;
  TNotifyEvent OnRequestHeaderBegin;
  TNotifyEvent OnRequestHeaderEnd;
  TNotifyEvent OnDocBegin;
  TDocDataEvent OnDocData;
  TNotifyEvent OnDocEnd;
  TNotifyEvent OnSendBegin;
  TDocDataEvent OnSendData;
  TNotifyEvent OnSendEnd;
  TNotifyEvent OnStateChange;
  THttpRequestDone OnRequestDone;
  TNotifyEvent OnLocationChange;
  TCookieRcvdEvent OnCookie;
  TDataAvailable OnDataPush;
  TNotifyEvent OnDataPush2;
  TSessionConnected OnSocksConnected;
  TSocksAuthStateEvent OnSocksAuthState;
  TSocksErrorEvent OnSocksError;
  TNotifyEvent OnSocketError;
  TBeforeHeaderSendEvent OnBeforeHeaderSend;

 protected:
  // The step that receives the next response line or body bytes.
  enum class TNextLineHandler : Byte { Idle, Header, Body };

  // Called by the constructor (so an override in a descendant is not used there).
  virtual void CreateSocket();
  virtual void DoBeforeConnect();
  virtual void SendRequest(const AnsiString& method, const AnsiString& version);
  virtual void GetHeaderLineNext();
  virtual void GetBodyLineNext();
  virtual void SendCommand(const AnsiString& cmd);
  virtual void Login();
  virtual void Logout();
  virtual void InternalClear();
  virtual void StartRelocation();
  // One authentication step each: the request is repeated with the next message or
  // credentials (login posted), or given up (request done posted).
  virtual void StartAuthNTLM();
  virtual void StartProxyAuthNTLM();
  virtual void StartAuthBasic();
  virtual void StartProxyAuthBasic();
  virtual void SocketDNSLookupDone(TObject* sender, Word errCode);
  virtual void SocketSessionClosed(TObject* sender, Word errCode);
  virtual void SocketSessionConnected(TObject* sender, Word errCode);
  virtual void SocketDataSent(TObject* sender, Word errCode);
  virtual void SocketDataAvailable(TObject* sender, Word errCode);
  virtual void LocationSessionClosed(TObject* sender, Word errCode);
  virtual void DoRequestAsync(THttpRequest rq);
  virtual void DoRequestSync(THttpRequest rq);
  virtual void StateChange(THttpState newState);
  virtual void TriggerStateChange();
  virtual void TriggerCookie(const AnsiString& data, bool& accept);
  virtual void TriggerSessionConnected();
  virtual void TriggerSessionClosed();
  virtual void TriggerBeforeHeaderSend(const AnsiString& method, TStrings* headers);
  virtual void TriggerRequestHeaderBegin();
  virtual void TriggerRequestHeaderEnd();
  virtual void TriggerHeaderBegin();
  virtual void TriggerHeaderEnd();
  virtual void TriggerDocBegin();
  virtual void TriggerDocData(const void* data, Integer len);
  virtual void TriggerDocEnd();
  virtual void TriggerSendBegin();
  virtual void TriggerSendData(const void* data, Integer len);
  virtual void TriggerSendEnd();
  // Posts the request-done message; OnRequestDone fires when it is handled.
  virtual void TriggerRequestDone();
  virtual void WndProc(TMessage& msg);
  // Posts the set-ready message; the state becomes httpReady when it is handled.
  virtual void SetReady();
  // Turns DocName (the request's path on entry) into a file name.
  virtual void AdjustDocName();
  // Called by the constructor.
  virtual HWND HTTPCliAllocateHWnd();
  // Reads received bytes from the socket; answers the count, 0 at the end of the
  // connection, -1 when nothing is waiting.
  virtual Integer ReceiveRaw(void* buffer, Integer len);

  // The decisions made when the client goes ready, NTLM first: true when an
  // authentication step repeats or ends the request itself.
  bool PrepareNTLMAuth();
  bool PrepareBasicAuth();
  AnsiString GetNTLMMessage1() const;
  AnsiString GetNTLMMessage3() const;

  void TriggerDataPush(Word errCode);
  void TriggerDataPush2();
  // Undo what a response that is being repeated or relocated wrote to RcvdStream,
  // and rewind SendStream to where the body started.
  void CleanupRcvdStream();
  void CleanupSendStream();

  // The serial of the request being served. Everything that supersedes it (a new
  // request, Abort, an ended connection) takes the next one.
  bool Current(WPARAM serial) const noexcept { return serial == RequestSerial; }

  // Owned as a component (CreateSocket makes it with the client as owner).
  TWSocket* WSocket = nullptr;
  HWND WindowHandle = 0;
  WPARAM RequestSerial = 0;

  // Request side.
  THttpRequest RequestKind = httpABORT;
  AnsiString RequestHost;
  // The port of the target named by URL (or the relocation), "80" when none: the
  // Host header names it, whatever the connection goes to.
  AnsiString RequestPort;
  AnsiString ConnectHost;
  AnsiString ConnectPort;
  AnsiString Scheme;
  AnsiString RequestUri;
  AnsiString DocName;
  AnsiString ConnectedHost;
  AnsiString ConnectedPort;
  AnsiString ConnectedScheme;
  AnsiString ResolvedAddress;
  Integer BodySentCount = 0;
  // The request head being assembled by SendCommand.
  AnsiString RequestHead;
  // The credentials of the request being served: the component's, or those written
  // in its URL.
  AnsiString RequestUsername;
  AnsiString RequestPassword;

  // Authentication. Done states last as long as their connection.
  THttpNTLMState AuthNTLMState = ntlmNone;
  THttpNTLMState ProxyAuthNTLMState = ntlmNone;
  THttpBasicState AuthBasicState = basicNone;
  THttpBasicState ProxyAuthBasicState = basicNone;
  TNTLMAuthType NTLMAuthTarget = ntlmAuthNormal;
  TBasicAuthType BasicAuthTarget = basicAuthNormal;
  TNTLM_Msg2_Info ServerChallenge;
  TNTLM_Msg2_Info ProxyChallenge;
  // Authentication repeats of the current request (at most kMaxAuthRepeats), and
  // whether the login of one is still to come (the client is ready meanwhile).
  Integer AuthRepeatCount = 0;
  bool AuthLoginPending = false;

  // Response side.
  THttpState State = httpReady;
  Integer StatusCode = 0;
  AnsiString ReasonPhrase;
  AnsiString ResponseVersion;
  Integer ContentLength = -1;
  AnsiString ContentType;
  AnsiString TransferCoding;
  Integer RcvdCount = 0;
  // Lines of the current response header: kMaxHeaderSize bytes in all at most, each
  // line at most kReceiveBufferSize + 1 bytes (as LastResponseLine).
  std::unique_ptr<TStringList> ResponseHeaderLines;
  // The challenge values among those lines, within the same bound.
  std::unique_ptr<TStringList> AuthChallenges;
  AnsiString LastResponseLine;
  AnsiString Location;
  AnsiString AcceptRanges;
  Integer DoneErrorCode = 0;
  TStream* RcvdStream = nullptr;
  TStream* SendStream = nullptr;

  // Control flags and steps.
  bool CloseAfterResponse = false;
  bool RelocationPending = false;
  // The connection of a relocating response has closed and the login of the
  // relocated request is still to come.
  bool RelocationLoginPending = false;
  bool HeaderInProgress = false;
  bool BodySending = false;
  TNextLineHandler NextLineHandler = TNextLineHandler::Idle;
  // Relocations followed for the current request, and whether one more was refused.
  Integer RelocationCount = 0;
  bool TooManyRelocations = false;
  // 0 before the first line of a response; -1 after an interim 100 response.
  Integer HeaderLineCount = 0;
  // Bytes of the stored header lines of the current response (at most kMaxHeaderSize).
  Integer HeaderSize = 0;
  // 0 until the first body step of a document; reset when it ends.
  Integer BodyLineCount = 0;
  // The body piece handed to GetBodyLineNext.
  const char* BodyData = nullptr;
  Integer BodyDataLen = 0;
  THttpChunkState ChunkState = httpChunkGetSize;
  // The size of the current chunk, at most kMaxChunkSize.
  Integer ChunkLength = 0;
  Integer ChunkRcvd = 0;
  // kReceiveBufferSize data bytes, the line end a cut-short line gets, and the NUL
  // that always follows the data.
  char ReceiveBuffer[kReceiveBufferSize + 3] = {};
  Integer RcvdCnt = 0;
  std::unique_ptr<char[]> BodyBlock;  // kBodyBlockSize bytes, made at the first body
  char SendChunk[kSendChunkSize] = {};

  // Published properties.
  AnsiString URL;
  AnsiString LocalAddr = "0.0.0.0";
  AnsiString Proxy;
  AnsiString ProxyPort = "80";
  AnsiString Sender;
  AnsiString Agent = "Mozilla/4.0 (compatible; Larkspool)";
  AnsiString Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  AnsiString AcceptLanguage;
  AnsiString Reference;
  AnsiString Connection;
  AnsiString ProxyConnection;
  AnsiString Username;
  AnsiString Password;
  AnsiString ProxyUsername;
  AnsiString ProxyPassword;
  bool NoCache = false;
  TDateTime ModifiedSince = 0;
  AnsiString Cookie;
  AnsiString ContentTypePost = "application/x-www-form-urlencoded";
  AnsiString ContentRangeBegin;
  AnsiString ContentRangeEnd;
  bool MultiThreaded = false;
  AnsiString RequestVer = "1.0";
  bool FollowRelocation = true;
  THttpCliOptions Options;
  AnsiString SocksServer;
  AnsiString SocksLevel;
  AnsiString SocksPort;
  AnsiString SocksUsercode;
  AnsiString SocksPassword;
  TSocksAuthentication SocksAuthentication = socksNoAuthentication;

 private:
  // The body comes in chunks (transfer-coding names are compared without regard to case).
  bool IsChunked() const;
  // Wires the socket's events to the client.
  void WireSocket();
  void SocketErrorTransfer();
  // Takes the request target apart when a request starts (direct or through Proxy).
  void SetupTarget();
  // The proxy's host and port (the port in Proxy, else ProxyPort).
  void SetupProxyConnect();
  // Handles a value of a Location header.
  void HandleLocation(const AnsiString& value);
  // The steps after the empty line that ends a response header.
  void HeaderEnded(WPARAM serial);
  // Hands the buffered bytes to the body step (limited to what ContentLength still
  // allows); when the document ends, relocates or goes ready. False when the request
  // being served was superseded meanwhile.
  bool DeliverBufferedBody(WPARAM serial);
  // Receives body bytes into BodyBlock and delivers them; false when it did not apply
  // (the document needs no more bytes).
  bool ReceiveBodyBlock();
  // The end of a document received in full.
  void EndDocument(WPARAM serial);
  // Delivers body bytes: RcvdCount, RcvdStream, OnDocData. False when superseded
  // or when the body grew beyond what RcvdCount can count.
  bool DeliverBody(const char* data, Integer len, WPARAM serial);
  // Ends the connection at once because of what the server sent (or could not be
  // stored); the request ends through the close with errorCode as DoneErrorCode.
  void DropConnection(Word errorCode);
  void RemoveFromBuffer(Integer count);
  // Repeats the request after a challenge: what the refused response wrote and what
  // was sent of the body are undone, and the login is posted.
  void RepeatRequest();
  // Ends an authentication exchange that failed: the request ends with the
  // challenge status.
  void GiveUpAuth();
  // The steps of StartAuthNTLM/StartProxyAuthNTLM and StartAuthBasic/StartProxyAuthBasic:
  // the same exchange with the server's (401) or the proxy's (407) state.
  void StepNTLM(bool proxy);
  void StepBasic(bool proxy);
  // Done states go back to none when a new connection is about to be made.
  void ResetConnectionAuth();
  // Forgets exchanges that a new request does not continue, so that credentials go
  // only in answer to a challenge of this request.
  void ResetPendingAuth();
  // The authorization line of the request head, empty when none applies.
  AnsiString AuthorizationLine() const;
  // The first NTLM message is being sent: a body waits for the third.
  bool SendingNTLMMessage1() const;

  // What the next request on an open connection sends after relocating: the counters
  // and the receive buffer are reset and POST becomes GET.
  void PrepareRelocatedRequest();
};
