// The socket unit: the run-time Winsock binding, address resolution, error texts
// and the message-driven socket component family (TCustomWSocket, TWSocket, ...).
//
// A socket never blocks: Winsock reports readiness, connection, close and lookup
// results as messages to a hidden window that each socket owns, and the component
// turns them into events on the thread that created it. Failures of an operation
// raise ESocketException, or fire OnError instead when it is assigned.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "net/WSockBuf.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Strings.h"
#include "platform/win/Modules.h"
#include "platform/win/WinTypes.h"
#include "platform/winsock/Winsock.h"

LARK_DECLARE_EXCEPTION(ESocketException, Exception);

// ---- Winsock binding ------------------------------------------------------------

// Live socket components plus callers inside a wrapper; Winsock stays loaded while
// it is above 0. Changed under the Winsock lock.
extern Integer WSocketGCount;
// Winsock was loaded by WSocketForceLoadWinsock.
extern bool WSocketGForced;
// The Winsock version WSAStartup asks for: GReqVerLow is the low byte of the version
// word (the major version), GReqVerHigh the high byte (the minor version).
extern Byte GReqVerLow;
extern Byte GReqVerHigh;

// Loads and starts "wsock32.dll" when needed and answers the address of procName in
// it (null for an empty name). Failures raise ESocketException.
FARPROC WSocketGetProc(const AnsiString& procName);
// The same for "ws2_32.dll" (after making sure "wsock32.dll" is loaded and started).
FARPROC WSocket2GetProc(const AnsiString& procName);
// Loads Winsock and keeps it loaded until WSocketCancelForceLoadWinsock.
void WSocketForceLoadWinsock();
void WSocketCancelForceLoadWinsock();
// Cleans up and unloads Winsock when nothing uses it.
void WSocketUnloadWinsock();
// A copy of the WSADATA of the running Winsock (loaded for the call when needed).
winsock::WSADATA WinsockInfo();

// The procedure types of the bound functions.
using TWSAStartup = decltype(&winsock::WSAStartup);
using TWSACleanup = decltype(&winsock::WSACleanup);
using TWSASetLastError = decltype(&winsock::WSASetLastError);
using TWSAGetLastError = decltype(&winsock::WSAGetLastError);
using TWSACancelAsyncRequest = decltype(&winsock::WSACancelAsyncRequest);
using TWSAAsyncGetHostByName = decltype(&winsock::WSAAsyncGetHostByName);
using TWSAAsyncGetHostByAddr = decltype(&winsock::WSAAsyncGetHostByAddr);
using TWSAAsyncSelect = decltype(&winsock::WSAAsyncSelect);
using TGetServByName = decltype(&winsock::getservbyname);
using TGetProtoByName = decltype(&winsock::getprotobyname);
using TGetHostByName = decltype(&winsock::gethostbyname);
using TGetHostByAddr = decltype(&winsock::gethostbyaddr);
using TGetHostName = decltype(&winsock::gethostname);
using TOpenSocket = decltype(&winsock::socket);
using TShutdown = decltype(&winsock::shutdown);
using TSetSockOpt = decltype(&winsock::setsockopt);
using TGetSockOpt = decltype(&winsock::getsockopt);
using TSendTo = decltype(&winsock::sendto);
using TSend = decltype(&winsock::send);
using TRecv = decltype(&winsock::recv);
using TRecvFrom = decltype(&winsock::recvfrom);
using Tntohs = decltype(&winsock::ntohs);
using Tntohl = decltype(&winsock::ntohl);
using TListen = decltype(&winsock::listen);
using TIoctlSocket = decltype(&winsock::ioctlsocket);
using TWSAIoctl = decltype(&winsock::WSAIoctl);
using TInet_ntoa = decltype(&winsock::inet_ntoa);
using TInet_addr = decltype(&winsock::inet_addr);
using Thtons = decltype(&winsock::htons);
using Thtonl = decltype(&winsock::htonl);
using TGetSockName = decltype(&winsock::getsockname);
using TGetPeerName = decltype(&winsock::getpeername);
using TConnect = decltype(&winsock::connect);
using TCloseSocket = decltype(&winsock::closesocket);
using TBind = decltype(&winsock::bind);
using TAccept = decltype(&winsock::accept);

// The wrappers: each holds one count of WSocketGCount for the length of the call, so
// Winsock cannot be unloaded under it, and calls the bound function.
int WSocket_WSAStartup(WORD versionRequested, winsock::WSADATA* data);
int WSocket_WSACleanup();
void WSocket_WSASetLastError(int error);
int WSocket_WSAGetLastError();
int WSocket_WSACancelAsyncRequest(HANDLE asyncTaskHandle);
HANDLE WSocket_WSAAsyncGetHostByName(HWND hWnd, winsock::u_int wMsg, const char* name, char* buf,
                                     int buflen);
HANDLE WSocket_WSAAsyncGetHostByAddr(HWND hWnd, winsock::u_int wMsg, const char* addr, int len,
                                     int type, char* buf, int buflen);
int WSocket_WSAAsyncSelect(winsock::SOCKET s, HWND hWnd, winsock::u_int wMsg, int32_t lEvent);
winsock::servent* WSocket_getservbyname(const char* name, const char* proto);
winsock::protoent* WSocket_getprotobyname(const char* name);
winsock::hostent* WSocket_gethostbyname(const char* name);
winsock::hostent* WSocket_gethostbyaddr(const char* addr, int len, int type);
int WSocket_gethostname(char* name, int namelen);
winsock::SOCKET WSocket_socket(int af, int type, int protocol);
int WSocket_shutdown(winsock::SOCKET s, int how);
int WSocket_setsockopt(winsock::SOCKET s, int level, int optname, const char* optval, int optlen);
int WSocket_getsockopt(winsock::SOCKET s, int level, int optname, char* optval, int* optlen);
int WSocket_sendto(winsock::SOCKET s, const char* buf, int len, int flags,
                   const winsock::sockaddr* to, int tolen);
int WSocket_send(winsock::SOCKET s, const char* buf, int len, int flags);
int WSocket_recv(winsock::SOCKET s, char* buf, int len, int flags);
int WSocket_recvfrom(winsock::SOCKET s, char* buf, int len, int flags, winsock::sockaddr* from,
                     int* fromlen);
winsock::u_short WSocket_ntohs(winsock::u_short netshort);
winsock::u_long WSocket_ntohl(winsock::u_long netlong);
int WSocket_listen(winsock::SOCKET s, int backlog);
int WSocket_ioctlsocket(winsock::SOCKET s, int32_t cmd, winsock::u_long* argp);
int WSocket_WSAIoctl(winsock::SOCKET s, DWORD ioControlCode, void* inBuffer, DWORD inSize,
                     void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                     winsock::WSAOVERLAPPED* overlapped,
                     winsock::LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);
char* WSocket_inet_ntoa(winsock::in_addr in);
winsock::u_long WSocket_inet_addr(const char* cp);
winsock::u_short WSocket_htons(winsock::u_short hostshort);
winsock::u_long WSocket_htonl(winsock::u_long hostlong);
int WSocket_getsockname(winsock::SOCKET s, winsock::sockaddr* name, int* namelen);
int WSocket_getpeername(winsock::SOCKET s, winsock::sockaddr* name, int* namelen);
int WSocket_connect(winsock::SOCKET s, const winsock::sockaddr* name, int namelen);
int WSocket_closesocket(winsock::SOCKET s);
int WSocket_bind(winsock::SOCKET s, const winsock::sockaddr* name, int namelen);
winsock::SOCKET WSocket_accept(winsock::SOCKET s, winsock::sockaddr* addr, int* addrlen);

// ---- Address resolution and error texts -----------------------------------------

// True for a dotted IPv4 address: four decimal parts of at most 255, blanks allowed
// around it.
bool WSocketIsDottedIP(const AnsiString& s);
// A host name or dotted address as a 32-bit address in network byte order. A name is
// looked up with a blocking query.
winsock::u_long WSocketResolveHost(const AnsiString& host);
// A port number or service name as a port number in host byte order.
Word WSocketResolvePort(const AnsiString& port, const AnsiString& proto);
// A protocol number or name ("tcp", "udp", "raw", or from the protocol database).
Integer WSocketResolveProto(const AnsiString& proto);
// The Winsock host entry of a dotted address, or null. Valid until the thread's next
// such call.
winsock::hostent* WSocketGetHostByAddr(const AnsiString& addr);
// The host name of a dotted address, or "".
AnsiString WSocketResolveIp(const AnsiString& addr);
// The Winsock host entry of a host name, or null. Valid until the thread's next such call.
winsock::hostent* WSocketGetHostByName(const AnsiString& name);
AnsiString LocalHostName();
// The local host's dotted addresses, in a list owned by the unit that the next call
// refills. Callers must not free it.
TStrings* LocalIPList();
// The text of a Winsock error number ("No Error" for 0, "Not a WinSock error" for a
// number that is not one).
AnsiString WSocketErrorDesc(Integer errorCode);

// ---- The socket component ---------------------------------------------------------

// Messages of the socket's hidden window.
inline constexpr UINT WM_ASYNCSELECT = WM_USER + 1;
inline constexpr UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
inline constexpr UINT WM_ASYNCGETHOSTBYADDR = WM_USER + 3;
inline constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;
inline constexpr UINT WM_WSOCKET_RELEASE = WM_USER + 5;
inline constexpr UINT WM_TRIGGER_EXCEPTION = WM_USER + 6;
inline constexpr UINT WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;

// The hidden window class of the sockets.
inline constexpr const char* kSocketWindowClassName = "XSocketWindowClass";

enum class TSocketState : Byte {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsSocksConnected,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};
using enum TSocketState;

enum class TSocketSendFlags : Byte { wsSendNormal, wsSendUrgent };
using enum TSocketSendFlags;

enum class TSocketLingerOnOff : Byte { wsLingerOff, wsLingerOn, wsLingerNoSet };
using enum TSocketLingerOnOff;

enum class TWSocketOption : Byte { wsoNoReceiveLoop, wsoTcpNoDelay, wsoSIO_RCVALL };
using enum TWSocketOption;

using TWSocketOptions = TSet<TWSocketOption>;

enum class TSocksState : Byte { socksData, socksNegociateMethods, socksAuthenticate, socksConnect };
using enum TSocksState;

enum class TSocksAuthentication : Byte { socksNoAuthentication, socksAuthenticateUsercode };
inline constexpr TSocksAuthentication socksNoAuthentication =
    TSocksAuthentication::socksNoAuthentication;
inline constexpr TSocksAuthentication socksAuthenticateUsercode =
    TSocksAuthentication::socksAuthenticateUsercode;

enum class TSocksAuthState : Byte {
  socksAuthStart,
  socksAuthSuccess,
  socksAuthFailure,
  socksAuthNotRequired
};
using enum TSocksAuthState;

// Event types. Socket events carry a Winsock error number, 0 for success.
using TDataAvailable = std::function<void(TObject* sender, Word errCode)>;
using TDataSent = std::function<void(TObject* sender, Word errCode)>;
using TSessionClosed = std::function<void(TObject* sender, Word errCode)>;
using TSessionAvailable = std::function<void(TObject* sender, Word errCode)>;
using TSessionConnected = std::function<void(TObject* sender, Word errCode)>;
using TDnsLookupDone = std::function<void(TObject* sender, Word errCode)>;
using TSendData = std::function<void(TObject* sender, Integer bytesSent)>;
using TChangeState =
    std::function<void(TObject* sender, TSocketState oldState, TSocketState newState)>;
using TBgExceptionEvent = std::function<void(TObject* sender, Exception* e, bool& canClose)>;
using TDebugDisplay = std::function<void(TObject* sender, AnsiString& msg)>;
using TLineLimitEvent = std::function<void(TObject* sender, Integer rcvdLength, bool& clearData)>;
using TSocksErrorEvent = std::function<void(TObject* sender, Integer error, AnsiString msg)>;
using TSocksAuthStateEvent = std::function<void(TObject* sender, TSocksAuthState authState)>;
using TWSocketSyncNextProc = std::function<void()>;

// A non-blocking Winsock socket driven by the messages of its hidden window.
class TCustomWSocket : public TComponent {
 public:
  LARK_CLASS_NAME(TCustomWSocket)
  // The block size of the send queue.
  static constexpr Integer kSendBlockSize = 1460;
  // A Send of at least this many bytes onto an empty queue goes out straight from the
  // caller's buffer; what Winsock does not take at once is queued in blocks of up to
  // kLargeSendBlockSize bytes rather than kSendBlockSize.
  static constexpr Integer kDirectSendMin = 64 * 1024;
  static constexpr Integer kLargeSendBlockSize = 2 * 1024 * 1024;  // one huge page
  // Size of the area an asynchronous lookup writes its host entry into.
  static constexpr Integer kLookupAreaSize = 1025;

  explicit TCustomWSocket(TComponent* owner);
  ~TCustomWSocket() override;

  // Operations (virtual as the family overrides them).
  virtual void Connect();
  virtual void Close();
  // Closes when the posted message is handled; a message posted for an earlier
  // connection is dropped.
  virtual void CloseDelayed();
  // Frees the component when the posted message is handled.
  virtual void Release();
  virtual void Abort();
  // Sends the queue out, pumping messages, until it is empty or the socket is gone.
  virtual void Flush();
  // Pumps messages until the connection is closed.
  virtual void WaitForClose();
  virtual void Listen();
  // The handle of a pending connection of a listening socket (for another socket's
  // Dup), or INVALID_SOCKET.
  virtual winsock::SOCKET Accept();
  virtual Integer Receive(void* buffer, Integer len);
  virtual AnsiString ReceiveStr();
  virtual Integer ReceiveFrom(void* buffer, Integer len, winsock::sockaddr_in& from,
                              Integer& fromLen);
  // Queues len bytes and starts sending; answers len (0 for len <= 0), or -1 when the
  // socket is not connected. OnDataSent fires from the message loop once the queue
  // has drained.
  virtual Integer Send(const void* data, Integer len);
  // One datagram to an explicit address, not queued.
  virtual Integer SendTo(const winsock::sockaddr_in& dest, Integer destLen, const void* data,
                         Integer len);
  virtual Integer SendStr(const AnsiString& s);
  virtual void DnsLookup(const AnsiString& hostName);
  virtual void ReverseDnsLookup(const AnsiString& hostAddr);
  virtual void CancelDnsLookup();
  virtual AnsiString GetPeerAddr();
  virtual AnsiString GetPeerPort();
  virtual Integer GetPeerName(winsock::sockaddr_in& name, Integer& nameLen);
  virtual AnsiString GetXPort();
  virtual AnsiString GetXAddr();
  virtual bool TimerIsSet(const winsock::timeval& tvp);
  virtual void TimerClear(winsock::timeval& tvp);
  virtual bool TimerCmp(const winsock::timeval& tvp, const winsock::timeval& uvp, bool isEqual);
  virtual Integer GetSockName(winsock::sockaddr_in& saddr, Integer& saddrLen);
  // Adopts a socket made elsewhere (an accepted connection) as this socket's connection.
  virtual void Dup(winsock::SOCKET newHSocket);
  virtual void Shutdown(Integer how);
  // Stops and restarts the Winsock notifications.
  virtual void Pause();
  virtual void Resume();
  // Appends bytes to the send queue without sending.
  virtual void PutDataInSendBuffer(const void* data, Integer len);
  // MultiThreaded: the socket's own pump of its thread; else the application's.
  virtual void MessagePump();

  void PutStringInSendBuffer(const AnsiString& s);
  Integer SendText(const AnsiString& s) { return SendStr(s); }
  // A receive with MSG_PEEK; ReadCount is unchanged.
  Integer PeekData(void* buffer, Integer len);
  void DeleteBufferedData();
  // Takes one message of the calling thread's queue and dispatches it (a WM_QUIT sets
  // Terminated instead); answers whether there was one.
  bool ProcessMessage();
  void ProcessMessages();
  void MessageLoop();
  // Moves the socket to another thread: ThreadDetach on the thread that owns it,
  // then ThreadAttach on the thread that is to own it.
  void ThreadAttach();
  void ThreadDetach();

  // Properties.
  const AnsiString& GetAddr() const noexcept { return AddrStr; }
  void SetAddr(const AnsiString& value);
  const AnsiString& GetPort() const noexcept { return PortStr; }
  void SetPort(const AnsiString& value) { SetRemotePort(value); }
  const AnsiString& GetProto() const noexcept { return ProtoStr; }
  // Addr, Port and Proto change only while the socket is closed (an equal value is
  // ignored). After a close they must be set again before the next Connect.
  virtual void SetRemotePort(const AnsiString& value);
  virtual void SetProto(const AnsiString& value);
  const AnsiString& GetLocalAddr() const noexcept { return LocalAddrStr; }
  void SetLocalAddr(const AnsiString& value);
  const AnsiString& GetLocalPort() const noexcept { return LocalPortStr; }
  void SetLocalPort(const AnsiString& value);
  const AnsiString& GetDnsResult() const noexcept { return DnsResult; }
  TStrings* GetDnsResultList() const noexcept { return DnsResultList.get(); }
  TSocketState GetState() const noexcept { return State; }
  Integer GetReadCount() const noexcept { return ReadCount; }
  // Bytes waiting to be read; -1 at design time or on failure.
  virtual Integer GetRcvdCount();
  Integer GetLastError() const noexcept { return LastError; }
  bool GetMultiThreaded() const noexcept { return MultiThreaded; }
  void SetMultiThreaded(bool value) noexcept { MultiThreaded = value; }
  bool GetMultiCast() const noexcept { return MultiCast; }
  void SetMultiCast(bool value) noexcept { MultiCast = value; }
  const AnsiString& GetMultiCastAddrStr() const noexcept { return MultiCastAddrStr; }
  void SetMultiCastAddrStr(const AnsiString& value) { MultiCastAddrStr = value; }
  Integer GetMultiCastIpTTL() const noexcept { return MultiCastIpTTL; }
  void SetMultiCastIpTTL(Integer value) noexcept { MultiCastIpTTL = value; }
  bool GetReuseAddr() const noexcept { return ReuseAddr; }
  void SetReuseAddr(bool value) noexcept { ReuseAddr = value; }
  TWSocketOptions GetComponentOptions() const noexcept { return ComponentOptions; }
  void SetComponentOptions(TWSocketOptions value) noexcept { ComponentOptions = value; }
  Integer GetListenBacklog() const noexcept { return ListenBacklog; }
  void SetListenBacklog(Integer value) noexcept { ListenBacklog = value; }
  Byte GetReqVerLow() const noexcept;
  void SetReqVerLow(Byte value);
  Byte GetReqVerHigh() const noexcept;
  void SetReqVerHigh(Byte value);
  Integer GetFlushTimeout() const noexcept { return FlushTimeout; }
  void SetFlushTimeout(Integer value) noexcept { FlushTimeout = value; }
  TSocketSendFlags GetSendFlags();
  void SetSendFlags(TSocketSendFlags value);
  TSocketLingerOnOff GetLingerOnOff() const noexcept { return LingerOnOff; }
  void SetLingerOnOff(TSocketLingerOnOff value) noexcept { LingerOnOff = value; }
  Integer GetLingerTimeout() const noexcept { return LingerTimeout; }
  void SetLingerTimeout(Integer value) noexcept { LingerTimeout = value; }
  bool GetTerminated() const noexcept { return Terminated; }
  // The Winsock socket (INVALID_SOCKET when there is none) and the hidden window.
  winsock::SOCKET GetSocketHandle() const noexcept { return SocketHandle; }
  HWND GetWindowHandle() const noexcept { return WindowHandle; }

  // Events.
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TSendData OnSendData;
  TSessionClosed OnSessionClosed;
  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TChangeState OnChangeState;
  TDnsLookupDone OnDnsLookupDone;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;
  TDebugDisplay OnDisplay;

 protected:
  // The hidden window's messages.
  virtual void WndProc(TMessage& msg);
  virtual void AllocateSocketHWnd();
  virtual void DeallocateSocketHWnd();
  virtual void TryToSend();
  // The first part of a large Send on an empty queue: sends from data until Winsock
  // stops taking bytes, queues the rest ahead of anything queued meanwhile.
  void SendStraight(const Byte* data, Integer len);
  // True when the send queue holds no unsent byte.
  bool SendQueueDrained() const;
  virtual void AssignDefaultValue();
  virtual void InternalClose(bool withShutdown, Word error);
  virtual void InternalAbort(Word errCode);
  // Binds to LocalAddr and LocalPort; answers false when that failed (reported).
  virtual bool BindSocket();
  virtual Integer RealSend(const void* data, Integer len);
  virtual void RaiseExceptionFmt(const AnsiString& fmt, std::initializer_list<FormatArg> args);
  virtual void RaiseException(const AnsiString& msg);
  virtual void HandleBackGroundException(Exception& e);
  // Fires OnDataAvailable; answers whether a handler is assigned.
  virtual bool TriggerDataAvailable(Word errCode);
  virtual void TriggerSessionAvailable(Word errCode);
  virtual void TriggerSessionConnectedSpecial(Word errCode);
  virtual void TriggerSessionConnected(Word errCode);
  virtual void TriggerSessionClosed(Word errCode);
  virtual void TriggerDataSent(Word errCode);
  virtual void TriggerChangeState(TSocketState oldState, TSocketState newState);
  virtual void TriggerDNSLookupDone(Word errCode);
  virtual void TriggerError();
  virtual Integer DoRecv(void* buffer, Integer bufferSize, Integer flags);
  virtual Integer DoRecvFrom(void* buffer, Integer bufferSize, Integer flags,
                             winsock::sockaddr_in& from, Integer& fromLen);
  virtual void Do_FD_CONNECT(TMessage& msg);
  virtual void Do_FD_READ(TMessage& msg);
  virtual void Do_FD_WRITE(TMessage& msg);
  virtual void Do_FD_ACCEPT(TMessage& msg);
  virtual void Do_FD_CLOSE(TMessage& msg);
  virtual void DupConnected();

  void WMASyncSelect(TMessage& msg);
  void WMAsyncGetHostByName(TMessage& msg);
  void WMAsyncGetHostByAddr(TMessage& msg);
  void WMCloseDelayed(TMessage& msg);
  void WMRelease(TMessage& msg);
  // The receive loop run for FD_READ and FD_CLOSE.
  void ASyncReceive(Word error, TWSocketOptions mySocketOptions);
  void ChangeState(TSocketState newState);
  // Reports the failure of a Winsock function with the thread's last error.
  void SocketError(const AnsiString& functionName);
  bool SetLingerOption();
  void TriggerDisplay(AnsiString msg);
  void TriggerSendData(Integer bytesSent);
  bool IsDestroying() const noexcept;

  winsock::SOCKET SocketHandle = winsock::INVALID_SOCKET;
  HWND WindowHandle = 0;
  DWORD WindowThreadId = 0;
  // Counts the connections this component has had; a close-delayed message carries
  // the number of the connection it was posted for.
  WPARAM ConnectionGeneration = 0;

  // Remote end: texts as set, assigned and resolved flags, the resolved address.
  AnsiString AddrStr;
  bool AddrAssigned = false;
  bool AddrResolved = false;
  winsock::sockaddr_in Sin{};
  AnsiString PortStr;
  bool PortAssigned = false;
  bool PortResolved = false;
  AnsiString ProtoStr = "tcp";
  bool ProtoAssigned = true;
  bool ProtoResolved = false;
  Integer ProtoNum = winsock::IPPROTO_TCP;
  Integer SocketType = winsock::SOCK_STREAM;
  AnsiString LocalAddrStr = "0.0.0.0";
  AnsiString LocalPortStr = "0";
  Word LocalPortNum = 0;
  bool LocalPortResolved = false;

  // Send queue of kSendBlockSize blocks, oldest first.
  std::deque<std::unique_ptr<TBuffer>> BufList;
  Integer BufSize = kSendBlockSize;
  bool QueueEmpty = true;
  bool InTryToSend = false;
  Integer SendFlagsValue = 0;
  int32_t NotifyMask = 0;

  // Asynchronous lookups.
  HANDLE LookupTask = 0;
  alignas(winsock::hostent) char LookupArea[kLookupAreaSize] = {};
  TMessage SavedLookupReply;
  bool LookupReplySaved = false;
  AnsiString DnsResult;
  std::unique_ptr<TStringList> DnsResultList;

  Integer LastError = 0;
  Integer ReadCount = 0;
  // The last receive from the socket got less than it asked for, so the socket had
  // nothing more waiting: the receive loop need not ask.
  bool ReceiveDrained = false;
  bool Suspended = false;
  bool ClosedReported = false;
  bool Terminated = false;
  bool Destroying = false;

  bool MultiThreaded = false;
  bool MultiCast = false;
  AnsiString MultiCastAddrStr;
  Integer MultiCastIpTTL = 1;
  bool ReuseAddr = false;
  TWSocketOptions ComponentOptions;
  Integer ListenBacklog = 5;
  Integer FlushTimeout = 60;
  TSocketLingerOnOff LingerOnOff = wsLingerOn;
  Integer LingerTimeout = 0;
  TSocketState State = wsClosed;

  friend LRESULT SocketWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The window procedure of the "XSocketWindowClass" windows.
LRESULT SocketWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Adds SOCKS 4, 4A and 5 connections. SOCKS is off while SocksServer is empty. A
// SOCKS server serves one connection: every close forgets it (and the port and
// level), so it is set again before each Connect.
//
// Connect then connects to the SOCKS server, negotiates, and only afterwards fires
// OnSessionConnected; the socket's State is already wsConnected during the
// negotiation. A failed negotiation fires OnSocksError, OnSessionConnected and
// OnSessionClosed, each with the same code (20001 to 20017, or a Winsock number).
class TCustomSocksWSocket : public TCustomWSocket {
 public:
  LARK_CLASS_NAME(TCustomSocksWSocket)
  using TCustomWSocket::TCustomWSocket;

  // The reply area; a reply must fit in one byte less than this, and a longer one is
  // refused.
  static constexpr Integer kSocksReplyAreaSize = 128;
  // Longest target name, user code or password a SOCKS 5 request can carry.
  static constexpr Integer kSocksMaxFieldLength = 255;

  void Connect() override;
  void Listen() override;
  // Also counts the bytes left behind the last SOCKS reply.
  Integer GetRcvdCount() override;

  // SocksServer, SocksPort and SocksLevel change only while the socket is closed.
  const AnsiString& GetSocksServer() const noexcept { return SocksServer; }
  virtual void SetSocksServer(const AnsiString& value);
  const AnsiString& GetSocksPort() const noexcept { return SocksPort; }
  virtual void SetSocksPort(const AnsiString& value);
  const AnsiString& GetSocksLevel() const noexcept { return SocksLevel; }
  // "4", "4A" or "5" ("4a" is taken as "4A").
  void SetSocksLevel(const AnsiString& value);
  const AnsiString& GetSocksUsercode() const noexcept { return SocksUsercode; }
  void SetSocksUsercode(const AnsiString& value) { SocksUsercode = value; }
  const AnsiString& GetSocksPassword() const noexcept { return SocksPassword; }
  void SetSocksPassword(const AnsiString& value) { SocksPassword = value; }
  TSocksAuthentication GetSocksAuthentication() const noexcept { return SocksAuthentication; }
  void SetSocksAuthentication(TSocksAuthentication value) noexcept { SocksAuthentication = value; }
  TSocksState GetSocksState() const noexcept { return SocksState; }
  // The address and port a SOCKS 5 server reported in its connect reply.
  const AnsiString& GetProxyBoundAddress() const noexcept { return ProxyBoundAddress; }
  const AnsiString& GetProxyBoundPort() const noexcept { return ProxyBoundPort; }

  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

 protected:
  virtual void TriggerSocksConnected(Word errCode);
  virtual void TriggerSocksError(Integer errCode, const AnsiString& msg);
  void TriggerSocksAuthState(TSocksAuthState authState);
  // Each close forgets the SOCKS server: it is set again for every connection.
  void AssignDefaultValue() override;
  // While a negotiation runs, arriving bytes are SOCKS replies.
  bool TriggerDataAvailable(Word errCode) override;
  // The connection to the SOCKS server: the negotiation starts.
  void TriggerSessionConnectedSpecial(Word errCode) override;
  void TriggerSessionClosed(Word errCode) override;
  // Bytes left behind the last SOCKS reply come first.
  Integer DoRecv(void* buffer, Integer bufferSize, Integer flags) override;
  // A close delivers what is left behind the last reply first.
  void Do_FD_CLOSE(TMessage& msg) override;

  // The connect request, and the SOCKS 5 user authentication.
  void SocksDoConnect();
  void SocksDoAuthenticate();
  // A failed negotiation: reports code and text and closes.
  void DataAvailableError(Integer errCode, const AnsiString& msg);

  AnsiString SocksServer;
  bool SocksServerAssigned = false;
  AnsiString SocksPort;
  bool SocksPortAssigned = false;
  AnsiString SocksLevel = "5";
  AnsiString SocksUsercode;
  AnsiString SocksPassword;
  TSocksAuthentication SocksAuthentication = socksNoAuthentication;
  TSocksState SocksState = socksData;
  // The method offered in the SOCKS 5 greeting (0 or 2).
  Byte SocksAuthMethod = 0;
  // The target's port, host byte order (Addr stays a text until the request).
  Word SocksTargetPort = 0;
  // Replies of the SOCKS server, and the data bytes that came after the last reply
  // (SocksLeftover of them, from SocksRcvdPtr on).
  Byte SocksRcvdBuf[kSocksReplyAreaSize] = {};
  Integer SocksRcvdCnt = 0;
  Integer SocksRcvdPtr = 0;
  Integer SocksLeftover = 0;
  AnsiString ProxyBoundAddress;
  AnsiString ProxyBoundPort;

 private:
  // Reads more reply bytes into the reply area until it holds upTo; answers how many
  // came.
  Integer SocksReceive(Integer upTo);
  void SocksMethodsReply();
  void SocksAuthenticateReply();
  void SocksConnectReply4();
  void SocksConnectReply5();
  // Sends a request; failures surface through the socket's own reporting.
  void SocksSend(const AnsiString& request);
  // The SOCKS settings change only while closed: otherwise raises for setting and
  // answers false.
  bool SocksSettingChangeable(const char* setting);
  // A granted connect: the user learns of the connection, then of waiting data.
  void SocksConnected();
};

// Adds line mode: received bytes are collected and offered to OnDataAvailable one
// complete line (LineEnd included) at a time, with optional echo and simple line
// editing for terminal-like peers. Line mode is off by default.
//
// An OnDataAvailable handler must read what it is offered; a line it leaves unread
// stays pending and is offered again with the next bytes that arrive.
class TCustomLineWSocket : public TCustomSocksWSocket {
 public:
  LARK_CLASS_NAME(TCustomLineWSocket)
  using TCustomSocksWSocket::TCustomSocksWSocket;

  // A change with bytes held posts WM_TRIGGER_DATA_AVAILABLE, so that the held bytes
  // are offered again in the new mode.
  bool GetLineMode() const noexcept { return LineMode; }
  virtual void SetLineMode(bool value);
  // An unfinished line longer than this fires OnLineLimitExceeded; 0 for no limit.
  Integer GetLineLimit() const noexcept { return LineLimit; }
  void SetLineLimit(Integer value) noexcept { LineLimit = value; }
  const AnsiString& GetLineEnd() const noexcept { return LineEnd; }
  void SetLineEnd(const AnsiString& value);
  // Received bytes are sent back as they arrive.
  bool GetLineEcho() const noexcept { return LineEcho; }
  void SetLineEcho(bool value) noexcept { LineEcho = value; }
  // Backspace removes the last character of the line, tab becomes spaces up to the
  // next multiple of 8.
  bool GetLineEdit() const noexcept { return LineEdit; }
  void SetLineEdit(bool value) noexcept { LineEdit = value; }

  // Sends s followed by LineEnd; answers the bytes queued (0 for an empty s, which
  // sends nothing), or -1 when the socket is not connected.
  virtual Integer SendLine(const AnsiString& s);
  // In line mode the length of the pending line; outside it, with bytes held, their
  // number; otherwise the bytes waiting on the socket.
  Integer GetRcvdCount() override;

  TLineLimitEvent OnLineLimitExceeded;

 protected:
  void WndProc(TMessage& msg) override;
  bool TriggerDataAvailable(Word errCode) override;
  // Held bytes of an unfinished line are offered as a last line before the close is
  // reported.
  void TriggerSessionClosed(Word errCode) override;
  // Takes from the pending line (line mode) or the held bytes before the socket. In
  // line mode with no line pending it answers -1 with WSAEWOULDBLOCK: the next line
  // is still being collected.
  Integer DoRecv(void* buffer, Integer bufferSize, Integer flags) override;
  virtual void TriggerLineLimitExceeded(Integer cnt, bool& clearData);
  // Edits the count newly received bytes that follow the held ones; on return RcvdCnt
  // is the part that stayed unchanged and count the rest. Echo goes to LineEchoData.
  virtual void EditLine(Integer& count);
  // Offers the held bytes again (WM_TRIGGER_DATA_AVAILABLE).
  void WMTriggerDataAvailable(TMessage& msg);

  // Held bytes: RcvdCnt of them from RcvdPos on; a pending line is always first.
  std::vector<Byte> RcvdBuf;
  Integer RcvdPos = 0;
  Integer RcvdCnt = 0;
  // The held bytes never grow beyond this: a line that reaches it is reported as over
  // the limit and dropped, whatever the handler says.
  Integer LineBufferMax = 1 << 30;
  AnsiString LineEnd = "\r\n";
  bool LineMode = false;
  Integer LineLimit = 65536;
  bool LineEcho = false;
  bool LineEdit = false;
  // Length, line end included, of the complete line being offered; 0 when none.
  Integer LineLength = 0;
  // Set when a line has been found or the connection has closed.
  bool LineReceivedFlag = false;
  // Set during a pass that found a line.
  bool LineFound = false;
  // The next search covers all held bytes (after a change of mode or line end).
  bool LineRescan = false;
  // Bytes to echo, sent once the received bytes are in place.
  AnsiString LineEchoData;

  Byte* HeldBytes() noexcept { return RcvdBuf.data() + RcvdPos; }
  // Removes count bytes from the front of the held bytes.
  void ConsumeHeld(Integer count) noexcept;
  void ClearLineBuffer() noexcept;
  // Offset of LineEnd in the held bytes at or after from, or -1.
  Integer FindLineEnd(Integer from) const noexcept;
  // Searches the held bytes from searchStart and offers what is found, line by line
  // in line mode and as it is outside; stops when the handler leaves it unread.
  void OfferHeldBytes(Integer searchStart);
};

// Adds waits that pump messages until a flag is set, and ReadLine.
class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  LARK_CLASS_NAME(TCustomSyncWSocket)
  using TCustomLineWSocket::TCustomLineWSocket;

  // The answer of a wait that ended without its flag: the time ran out, the
  // application is terminating or a WM_QUIT was met.
  static constexpr Integer kWaitFailed = 12001;

  // Pumps messages until done is true (answers 0), or the wait fails (kWaitFailed).
  // The limit is Timeout milliseconds (0 for none), as ReadLine last set it.
  virtual Integer WaitUntilReady(bool& done);
  // Clears done, runs proc when assigned, then waits for done.
  virtual Integer Synchronize(const TWSocketSyncNextProc& proc, bool& done);
  // Waits for the next line (line end included) in line mode, whatever LineMode and
  // OnDataAvailable are outside the call. timeout: seconds, 0 for 60 s, a negative
  // value for its magnitude in milliseconds. When time runs out the answer is what
  // has arrived so far; a peer that closes gives what it sent. Raises when the socket
  // is not connected.
  void ReadLine(Integer timeout, AnsiString& line);

 protected:
  // Milliseconds a wait may last, and the tick count at which it ends.
  DWORD Timeout = 0;
  DWORD TimeStop = 0;
  // Where ReadLine puts its line; cleared once a line is there.
  AnsiString* LinePointer = nullptr;

 private:
  void ReadLineDataAvailable();
};

class TWSocket : public TCustomSyncWSocket {
 public:
  LARK_CLASS_NAME(TWSocket)
  using TCustomSyncWSocket::TCustomSyncWSocket;
};

class TSocksWSocket : public TWSocket {
 public:
  LARK_CLASS_NAME(TSocksWSocket)
  using TWSocket::TWSocket;
};
