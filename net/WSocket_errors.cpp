// Winsock error texts, and how the socket component reports failures: OnError when
// assigned, ESocketException otherwise; exceptions met while handling a message go
// to OnBgException.
#include <iterator>

#include "net/WSocket.h"

using namespace winsock;

namespace {

struct ErrorText {
  Integer code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {WSAEINTR, "Interrupted system call"},
    {WSAEBADF, "Bad file number"},
    {WSAEACCES, "Permission denied"},
    {WSAEFAULT, "Bad address"},
    {WSAEINVAL, "Invalid argument"},
    {WSAEMFILE, "Too many open files"},
    {WSAEWOULDBLOCK, "Operation would block"},
    {WSAEINPROGRESS, "Operation now in progress"},
    {WSAEALREADY, "Operation already in progress"},
    {WSAENOTSOCK, "Socket operation on non-socket"},
    {WSAEDESTADDRREQ, "Destination address required"},
    {WSAEMSGSIZE, "Message too long"},
    {WSAEPROTOTYPE, "Protocol wrong type for socket"},
    {WSAENOPROTOOPT, "Protocol not available"},
    {WSAEPROTONOSUPPORT, "Protocol not supported"},
    {WSAESOCKTNOSUPPORT, "Socket type not supported"},
    {WSAEOPNOTSUPP, "Operation not supported on socket"},
    {WSAEPFNOSUPPORT, "Protocol family not supported"},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol family"},
    {WSAEADDRINUSE, "Address already in use"},
    {WSAEADDRNOTAVAIL, "Address not available"},
    {WSAENETDOWN, "Network is down"},
    {WSAENETUNREACH, "Network is unreachable"},
    {WSAENETRESET, "Network dropped connection on reset"},
    {WSAECONNABORTED, "Connection aborted"},
    {WSAECONNRESET, "Connection reset by peer"},
    {WSAENOBUFS, "No buffer space available"},
    {WSAEISCONN, "Socket is already connected"},
    {WSAENOTCONN, "Socket is not connected"},
    {WSAESHUTDOWN, "Can't send after socket shutdown"},
    {WSAETOOMANYREFS, "Too many references: can't splice"},
    {WSAETIMEDOUT, "Connection timed out"},
    {WSAECONNREFUSED, "Connection refused"},
    {WSAELOOP, "Too many levels of symbolic links"},
    {WSAENAMETOOLONG, "File name too long"},
    {WSAEHOSTDOWN, "Host is down"},
    {WSAEHOSTUNREACH, "No route to host"},
    {WSAENOTEMPTY, "Directory not empty"},
    {WSAEPROCLIM, "Too many processes"},
    {WSAEUSERS, "Too many users"},
    {WSAEDQUOT, "Disc quota exceeded"},
    {WSAESTALE, "Stale NFS file handle"},
    {WSAEREMOTE, "Too many levels of remote in path"},
    {WSASYSNOTREADY, "Network sub-system is unusable"},
    {WSAVERNOTSUPPORTED, "WinSock DLL cannot support this application"},
    {WSANOTINITIALISED, "WinSock not initialized"},
    {WSAHOST_NOT_FOUND, "Host not found"},
    {WSATRY_AGAIN, "Non-authoritative host not found"},
    {WSANO_RECOVERY, "Non-recoverable error"},
    {WSANO_DATA, "No Data"},
};

}  // namespace

AnsiString WSocketErrorDesc(Integer errorCode) {
  if (errorCode == 0) return "No Error";
  for (const ErrorText& entry : kErrorTexts)
    if (entry.code == errorCode) return entry.text;
  return "Not a WinSock error";
}

void TCustomWSocket::RaiseException(const AnsiString& msg) {
  if (OnError) {
    TriggerError();
    return;
  }
  throw ESocketException(msg);
}

void TCustomWSocket::RaiseExceptionFmt(const AnsiString& fmt, std::initializer_list<FormatArg> args) {
  if (OnError) {
    TriggerError();
    return;
  }
  throw ESocketException(Format(fmt, args));
}

void TCustomWSocket::TriggerError() {
  if (OnError) OnError(this);
}

void TCustomWSocket::SocketError(const AnsiString& functionName) {
  const int error = WSocket_WSAGetLastError();
  const AnsiString line = "Error " + IntToStr(error) + " in function " + functionName + "\r\n" +
                          WSocketErrorDesc(error);
  if (error == WSAECONNRESET || error == WSAENOTCONN) {
    WSocket_closesocket(SocketHandle);
    SocketHandle = INVALID_SOCKET;
    const WPARAM generation = ConnectionGeneration;
    if (State != wsClosed) TriggerSessionClosed(static_cast<Word>(error));
    // A handler that connected again keeps the state of its new connection.
    if (ConnectionGeneration == generation) ChangeState(wsClosed);
  }
  LastError = error;
  RaiseException(line);
}

void TCustomWSocket::HandleBackGroundException(Exception& e) {
  bool canClose = true;
  if (OnBgException) {
    try {
      OnBgException(this, &e, canClose);
    } catch (...) {
      // An exception of the handler itself is ignored.
    }
  }
  if (!canClose) return;
  try {
    Abort();
  } catch (...) {
    // The abort is best effort: the handler already had its say.
  }
}
