// WinINet's HTTP calls on libcurl: an internet handle (agent and proxy), a
// connection (server, port and credentials), a GET request sent and its body read
// in pieces, and the closing of each handle.
//
// The functions are reached through the module registry as the exports of
// "wininet.dll" ("InternetOpenA", "InternetConnectA", "HttpOpenRequestA",
// "HttpSendRequestA", "HttpQueryInfoA", "InternetReadFile", "InternetCloseHandle"),
// registered when the program starts.
//
// A request follows at most kMaxRedirects redirections (to http addresses only), gives
// up when no byte has arrived for kConnectTimeoutMs before the response or for
// kReceiveTimeoutMs while it comes (both on the platform's clock, so a test's
// virtual clock moves them), and reads at most kMaxBodyBytes of body. A named proxy
// gets the absolute address and, when the connection was given a user, Basic
// credentials; without a proxy the user and password go to the server.
#pragma once

#include <cstdint>

#include "platform/win/WinTypes.h"

using HINTERNET = void*;
using INTERNET_PORT = uint16_t;
using DWORD_PTR = uintptr_t;

inline constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;
inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;
inline constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;  // the service's default
inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;

inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000u;
inline constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000u;
inline constexpr DWORD INTERNET_FLAG_KEEP_CONNECTION = 0x00400000u;

// HttpQueryInfo: the status code of the final response, as a number.
inline constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
inline constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000u;

inline constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
inline constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
inline constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
inline constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
inline constexpr DWORD ERROR_HTTP_REDIRECT_FAILURE = 12156;
inline constexpr DWORD ERROR_INTERNET_BODY_TOO_LARGE = 12175;  // more than kMaxBodyBytes
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

namespace wininet {

inline constexpr uint32_t kConnectTimeoutMs = 30000;
inline constexpr uint32_t kReceiveTimeoutMs = 30000;
inline constexpr long kMaxRedirects = 10;
inline constexpr int64_t kMaxBodyBytes = int64_t{64} << 20;
// Body bytes held between two reads; the transfer pauses while more wait.
inline constexpr size_t kMaxPendingBytes = size_t{1} << 20;

}  // namespace wininet

// An internet handle: the agent sent with every request and, for
// INTERNET_OPEN_TYPE_PROXY, the proxy ("host:port"). Null with
// ERROR_INVALID_PARAMETER for another access type or a proxy type without proxy.
HINTERNET InternetOpen(const char* agent, DWORD accessType, const char* proxy,
                       const char* proxyBypass, DWORD flags);
// A connection to server:port (port 0: 80) for the HTTP service; nothing is
// connected yet. Null with ERROR_INTERNET_INVALID_URL for a server name that is empty
// or holds a blank, a control character or one of "/?#@\", and with
// ERROR_INTERNET_INCORRECT_HANDLE_TYPE for a handle that is not an internet handle
// or a service other than HTTP.
HINTERNET InternetConnect(HINTERNET internet, const char* serverName, INTERNET_PORT port,
                          const char* userName, const char* password, DWORD service,
                          DWORD flags, DWORD_PTR context);
// A request on a connection. verb must be "GET" (null counts as "GET"); version null
// or "HTTP/1.1". The object (path and query, starting with "/"; null counts as "/")
// is refused with ERROR_INTERNET_INVALID_URL when it holds a blank or a control
// character: it is never spliced into a request line.
HINTERNET HttpOpenRequest(HINTERNET connection, const char* verb, const char* objectName,
                          const char* version, const char* referrer, const char** acceptTypes,
                          DWORD flags, DWORD_PTR context);
// Sends the request (extra headers are not supported: they must be null) and waits
// for the final response's headers. FALSE with the error when the server cannot be
// reached, does not answer within the limit or answers no HTTP; a request is sent
// once.
BOOL HttpSendRequest(HINTERNET request, const char* headers, DWORD headersLength,
                     void* optional, DWORD optionalLength);
// HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER: the final status into a DWORD
// buffer. Without the number flag: the status as decimal text. FALSE with
// ERROR_HTTP_HEADER_NOT_FOUND before a response, ERROR_INSUFFICIENT_BUFFER (and the
// size needed in *bufferLength) when the buffer is too small.
BOOL HttpQueryInfo(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength,
                   DWORD* index);
// Copies up to toRead body bytes, waiting for them; *read is 0 at the end of the
// body. FALSE with the error when the transfer failed (reset, limit, body too
// large): the bytes before the failure have been handed out already.
BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD toRead, DWORD* read);
// Closes a request, a connection or an internet handle; FALSE with
// ERROR_INVALID_HANDLE for anything else. A connection or internet handle may be
// closed before the handles made from it.
BOOL InternetCloseHandle(HINTERNET handle);
