// The DDE management library's client side, between processes of one user.
//
// A DDE service is a Unix-domain stream socket in the user's runtime folder
// (UserRuntimeFolder, platform/win/Sync.h) named "lark-dde-" + the service's name made
// safe for a file name + ".sock". A program that answers as a service (a browser, in
// tests a stand-in) listens there. One connection is one conversation.
//
// Wire protocol. Every message is a frame: one byte kind, a 32-bit big-endian payload
// length, then the payload. A frame whose payload exceeds kDdeMaxPayload, or of a kind
// the reader does not expect, ends the conversation.
//   client -> service  'C' topic                     open a conversation on the topic
//   service -> client  'A' (empty)                   the topic is served
//                      'N' (empty or a reason)       the topic is refused
//   client -> service  'R' format (2 bytes BE) item  request the item's data
//   service -> client  'D' data                      the data of the request
//                      'N' (empty or a reason)       no data for the item
// Requests are answered in order, one answer each.
//
// Waits (the connect's acknowledgement, a synchronous transaction) follow the sim
// clock; the calling thread is blocked meanwhile, as a synchronous transaction blocks
// it, and no message is dispatched.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win/WinTypes.h"

using HCONV = uintptr_t;
using HSZ = uintptr_t;
using HDDEDATA = uintptr_t;
using PFNCALLBACK = HDDEDATA (*)(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2,
                                 HDDEDATA data, uintptr_t data1, uintptr_t data2);

// The largest payload of one frame either side accepts.
inline constexpr uint32_t kDdeMaxPayload = 64 * 1024;
// How long DdeConnect waits for the service to accept the topic.
inline constexpr DWORD kDdeConnectTimeoutMs = 10000;

// DdeInitialize flags: only a client is supported.
inline constexpr DWORD APPCMD_CLIENTONLY = 0x00000010;
inline constexpr DWORD APPCLASS_STANDARD = 0x00000000;

// Code pages of string handles.
inline constexpr int CP_WINANSI = 1004;

// Clipboard format of text.
inline constexpr UINT CF_TEXT = 1;

// Transaction types (only the request is supported).
inline constexpr UINT XCLASS_DATA = 0x2000;
inline constexpr UINT XTYPF_NOBLOCK = 0x0002;
inline constexpr UINT XTYP_REQUEST = 0x00B0 | XCLASS_DATA;

// Errors answered by DdeGetLastError.
inline constexpr UINT DMLERR_NO_ERROR = 0;
inline constexpr UINT DMLERR_DATAACKTIMEOUT = 0x4002;
inline constexpr UINT DMLERR_DLL_NOT_INITIALIZED = 0x4003;
inline constexpr UINT DMLERR_INVALIDPARAMETER = 0x4006;
inline constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
inline constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
inline constexpr UINT DMLERR_POSTMSG_FAILED = 0x400C;
inline constexpr UINT DMLERR_UNFOUND_QUEUE_ID = 0x4011;
inline constexpr UINT DMLERR_SYS_ERROR = 0x400F;

// Registers the caller as a DDE client; *idInst receives the instance. The callback
// is kept but never called (a client of requests alone gets no notifications).
UINT DdeInitialize(DWORD* idInst, PFNCALLBACK callback, DWORD cmd, DWORD reserved);
// Ends the instance: its conversations are disconnected, its handles freed.
BOOL DdeUninitialize(DWORD idInst);
// The last error of the instance, which is then cleared.
UINT DdeGetLastError(DWORD idInst);

// String handles: the text is kept by the instance until freed.
HSZ DdeCreateStringHandle(DWORD idInst, const char* text, int codePage);
BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz);
// Copies the text of hsz into buffer (up to max - 1 bytes and a NUL); answers its
// length. A null buffer asks for the length alone.
DWORD DdeQueryString(DWORD idInst, HSZ hsz, char* buffer, DWORD max, int codePage);

// Opens a conversation with the service on the topic; 0 when no service of that name
// listens, it refuses the topic or does not answer within kDdeConnectTimeoutMs.
// The context is ignored.
HCONV DdeConnect(DWORD idInst, HSZ service, HSZ topic, void* context);
BOOL DdeDisconnect(HCONV conv);

// A synchronous request (XTYP_REQUEST) for item in format fmt, waiting at most
// timeoutMs on the sim clock. Answers the data handle, 0 when the service has no data,
// the time passed (DMLERR_DATAACKTIMEOUT) or the conversation failed. A conversation
// whose answer was late, malformed or too large is disconnected. data and cb (data to
// send) must be null and 0; result, when given, receives 1 for data, 0 otherwise.
HDDEDATA DdeClientTransaction(const BYTE* data, DWORD cb, HCONV conv, HSZ item, UINT fmt,
                              UINT type, DWORD timeoutMs, DWORD* result);

// The bytes of a data handle and their count; valid until the handle is freed.
BYTE* DdeAccessData(HDDEDATA data, DWORD* size);
BOOL DdeUnaccessData(HDDEDATA data);
BOOL DdeFreeDataHandle(HDDEDATA data);

// The socket path of a service ("" when the runtime folder cannot be used or the path
// would be too long for a socket name), for programs that answer as a service.
std::string DdeServicePath(const std::string& service);
