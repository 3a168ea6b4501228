// WinINet's HTTP calls on libcurl's multi interface: the transfer runs in the
// calling thread, driven by HttpSendRequest (until the final response's headers) and
// InternetReadFile (until the bytes asked for have come), so body bytes are handed
// out as they arrive and at most wininet::kMaxPendingBytes wait between two reads.
#include "platform/wininet/WinInet.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/win/SimHooks.h"

namespace {

enum class Kind { Internet, Connection, Request };

struct Handle {
  explicit Handle(Kind k) : kind(k) {}
  virtual ~Handle() = default;
  const Kind kind;
};

struct InternetHandle : Handle {
  InternetHandle() : Handle(Kind::Internet) {}
  std::string agent;
  std::string proxy;  // empty: direct
};

// What a connection needs of its internet handle is copied, so either may be
// closed first.
struct Target {
  std::string agent, proxy, server, user, password;
  bool hasUser = false;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
};

struct ConnectionHandle : Handle {
  ConnectionHandle() : Handle(Kind::Connection) {}
  Target target;
};

struct RequestHandle : Handle {
  RequestHandle() : Handle(Kind::Request) {}
  ~RequestHandle() override {
    if (multi != nullptr && easy != nullptr) curl_multi_remove_handle(multi, easy);
    if (easy != nullptr) curl_easy_cleanup(easy);
    if (multi != nullptr) curl_multi_cleanup(multi);
    if (headerList != nullptr) curl_slist_free_all(headerList);
  }

  Target target;
  std::string object;
  DWORD flags = 0;

  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  bool sent = false;

  // Progress of the transfer.
  bool done = false;
  DWORD error = ERROR_SUCCESS;     // set when the transfer failed
  bool headersDone = false;        // the final response's headers have come
  bool anyResponse = false;        // a byte of a response has come
  long lineStatus = 0;             // status of the response whose headers are coming
  bool lineHasLocation = false;
  long status = 0;                 // the final response's status
  bool tooLarge = false;
  bool paused = false;
  uint64_t lastActivityMs = 0;
  int64_t bodyBytes = 0;
  // Body bytes received and not yet read, from pendingOffset on; bounded by
  // wininet::kMaxPendingBytes plus one write of the library.
  std::string pending;
  size_t pendingOffset = 0;

  size_t PendingSize() const { return pending.size() - pendingOffset; }
};

std::mutex gHandlesLock;
std::unordered_map<void*, std::unique_ptr<Handle>> gHandles;

HINTERNET Keep(std::unique_ptr<Handle> handle) {
  void* key = handle.get();
  std::lock_guard<std::mutex> lock(gHandlesLock);
  gHandles.emplace(key, std::move(handle));
  return key;
}

template <class T>
T* Find(HINTERNET h, Kind kind) {
  std::lock_guard<std::mutex> lock(gHandlesLock);
  auto it = gHandles.find(h);
  if (it == gHandles.end() || it->second->kind != kind) return nullptr;
  return static_cast<T*>(it->second.get());
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool HasBlankOrControl(const char* s) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p != 0; ++p)
    if (*p <= 0x20 || *p == 0x7F) return true;
  return false;
}

bool ValidServerName(const char* s) {
  if (s == nullptr || *s == 0 || HasBlankOrControl(s)) return false;
  return std::strpbrk(s, "/?#@\\") == nullptr;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<RequestHandle*>(user);
  size_t n = size * count;
  if (r->PendingSize() >= wininet::kMaxPendingBytes) {
    r->paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (r->bodyBytes + static_cast<int64_t>(n) > wininet::kMaxBodyBytes) {
    r->tooLarge = true;
    return 0;
  }
  if (r->pendingOffset > 0 && r->pendingOffset == r->pending.size()) {
    r->pending.clear();
    r->pendingOffset = 0;
  }
  r->pending.append(data, n);
  r->bodyBytes += static_cast<int64_t>(n);
  r->lastActivityMs = sim::NowMs();
  r->headersDone = true;
  return n;
}

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<RequestHandle*>(user);
  size_t n = size * count;
  std::string line(data, n);
  r->anyResponse = true;
  r->lastActivityMs = sim::NowMs();
  if (line.rfind("HTTP/", 0) == 0) {
    size_t sp = line.find(' ');
    r->lineStatus = sp == std::string::npos ? 0 : std::strtol(line.c_str() + sp + 1, nullptr, 10);
    r->lineHasLocation = false;
  } else if (line.size() >= 9 && strncasecmp(line.c_str(), "location:", 9) == 0) {
    r->lineHasLocation = true;
  } else if (line == "\r\n" || line == "\n") {
    // The end of one response's headers: the final one unless the library goes on
    // to another (an interim 1xx, or a redirection it follows).
    bool interim = r->lineStatus >= 100 && r->lineStatus < 200;
    bool followed = IsRedirect(r->lineStatus) && r->lineHasLocation;
    if (!interim && !followed) {
      r->status = r->lineStatus;
      r->headersDone = true;
    }
  }
  return n;
}

DWORD ErrorOf(const RequestHandle& r, CURLcode code) {
  if (r.tooLarge) return ERROR_INTERNET_BODY_TOO_LARGE;
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_INTERNET_TIMEOUT;
    case CURLE_TOO_MANY_REDIRECTS:
      return ERROR_HTTP_REDIRECT_FAILURE;
    case CURLE_UNSUPPORTED_PROTOCOL:
      // After a response: a redirection to another scheme; before: no HTTP at all.
      return r.anyResponse ? ERROR_HTTP_REDIRECT_FAILURE : ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
      return r.anyResponse ? ERROR_INTERNET_CONNECTION_RESET : ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    default:
      return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

// Runs the transfer until stop() holds or it has ended. The limit is measured from
// the last byte that came (or from the send): kConnectTimeoutMs until a response
// begins, kReceiveTimeoutMs after.
template <class Stop>
void Drive(RequestHandle& r, Stop stop) {
  while (!r.done && !stop()) {
    int running = 0;
    curl_multi_perform(r.multi, &running);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(r.multi, &queued)) {
      if (msg->msg != CURLMSG_DONE) continue;
      r.done = true;
      if (msg->data.result != CURLE_OK) r.error = ErrorOf(r, msg->data.result);
      if (r.status == 0) curl_easy_getinfo(r.easy, CURLINFO_RESPONSE_CODE, &r.status);
    }
    if (r.done || stop()) break;
    uint64_t limit = r.anyResponse ? wininet::kReceiveTimeoutMs : wininet::kConnectTimeoutMs;
    if (sim::NowMs() - r.lastActivityMs > limit) {
      r.done = true;
      r.error = ERROR_INTERNET_TIMEOUT;
      break;
    }
    // Short waits, so that a moved clock is seen soon.
    curl_multi_poll(r.multi, nullptr, 0, 100, nullptr);
  }
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

HINTERNET InternetOpen(const char* agent, DWORD accessType, const char* proxy,
                       const char* /*proxyBypass*/, DWORD /*flags*/) {
  auto h = std::make_unique<InternetHandle>();
  h->agent = agent != nullptr ? agent : "";
  if (accessType == INTERNET_OPEN_TYPE_PROXY) {
    if (proxy == nullptr || *proxy == 0 || HasBlankOrControl(proxy)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    h->proxy = proxy;
  } else if (accessType != INTERNET_OPEN_TYPE_DIRECT && accessType != INTERNET_OPEN_TYPE_PRECONFIG) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GlobalInit();
  return Keep(std::move(h));
}

HINTERNET InternetConnect(HINTERNET internet, const char* serverName, INTERNET_PORT port,
                          const char* userName, const char* password, DWORD service,
                          DWORD /*flags*/, DWORD_PTR /*context*/) {
  auto* parent = Find<InternetHandle>(internet, Kind::Internet);
  if (parent == nullptr || service != INTERNET_SERVICE_HTTP) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  if (!ValidServerName(serverName) || (userName != nullptr && HasBlankOrControl(userName))) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  auto h = std::make_unique<ConnectionHandle>();
  Target& t = h->target;
  t.agent = parent->agent;
  t.proxy = parent->proxy;
  t.server = serverName;
  t.port = port == INTERNET_INVALID_PORT_NUMBER ? INTERNET_DEFAULT_HTTP_PORT : port;
  t.hasUser = userName != nullptr && *userName != 0;
  if (t.hasUser) t.user = userName;
  if (password != nullptr) t.password = password;
  return Keep(std::move(h));
}

HINTERNET HttpOpenRequest(HINTERNET connection, const char* verb, const char* objectName,
                          const char* version, const char* /*referrer*/,
                          const char** /*acceptTypes*/, DWORD flags, DWORD_PTR /*context*/) {
  auto* parent = Find<ConnectionHandle>(connection, Kind::Connection);
  if (parent == nullptr) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  if ((verb != nullptr && std::strcmp(verb, "GET") != 0) ||
      (version != nullptr && std::strcmp(version, "HTTP/1.1") != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string object = objectName != nullptr && *objectName != 0 ? objectName : "/";
  if (object[0] != '/' || HasBlankOrControl(object.c_str())) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  auto h = std::make_unique<RequestHandle>();
  h->target = parent->target;
  h->object = object;
  h->flags = flags;
  return Keep(std::move(h));
}

BOOL HttpSendRequest(HINTERNET request, const char* headers, DWORD headersLength,
                     void* /*optional*/, DWORD /*optionalLength*/) {
  auto* r = Find<RequestHandle>(request, Kind::Request);
  if (r == nullptr) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  if (r->sent || (headers != nullptr && headersLength != 0)) return Fail(ERROR_INVALID_PARAMETER);
  r->sent = true;

  r->multi = curl_multi_init();
  r->easy = curl_easy_init();
  if (r->multi == nullptr || r->easy == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  CURL* e = r->easy;
  const Target& t = r->target;
  std::string url = "http://" + t.server;
  if (t.port != INTERNET_DEFAULT_HTTP_PORT) url += ":" + std::to_string(t.port);
  url += r->object;
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, wininet::kMaxRedirects);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(wininet::kConnectTimeoutMs));
  if (!t.agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, t.agent.c_str());
  // The proxy is only ever the one given: never one from the environment.
  curl_easy_setopt(e, CURLOPT_PROXY, t.proxy.c_str());
  if (!t.proxy.empty()) {
    curl_easy_setopt(e, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    if (t.hasUser) {
      curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
      curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, t.user.c_str());
      curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, t.password.c_str());
    }
  } else if (t.hasUser) {
    curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(e, CURLOPT_USERNAME, t.user.c_str());
    curl_easy_setopt(e, CURLOPT_PASSWORD, t.password.c_str());
  }
  if ((r->flags & INTERNET_FLAG_RELOAD) != 0) {
    r->headerList = curl_slist_append(r->headerList, "Cache-Control: no-cache");
    r->headerList = curl_slist_append(r->headerList, "Pragma: no-cache");
  }
  if ((r->flags & INTERNET_FLAG_KEEP_CONNECTION) != 0)
    r->headerList = curl_slist_append(r->headerList, "Connection: Keep-Alive");
  if (r->headerList != nullptr) curl_easy_setopt(e, CURLOPT_HTTPHEADER, r->headerList);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, r);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, r);
  curl_multi_add_handle(r->multi, e);

  r->lastActivityMs = sim::NowMs();
  Drive(*r, [r] { return r->headersDone; });
  if (!r->headersDone && r->error == ERROR_SUCCESS && r->done && r->status == 0)
    r->error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
  if (!r->headersDone && r->error != ERROR_SUCCESS) return Fail(r->error);
  return TRUE;
}

BOOL HttpQueryInfo(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength,
                   DWORD* /*index*/) {
  auto* r = Find<RequestHandle>(request, Kind::Request);
  if (r == nullptr) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  if ((infoLevel & 0xFFFF) != HTTP_QUERY_STATUS_CODE || bufferLength == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  if (!r->headersDone || r->status == 0) return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
  if ((infoLevel & HTTP_QUERY_FLAG_NUMBER) != 0) {
    if (*bufferLength < sizeof(DWORD) || buffer == nullptr) {
      *bufferLength = sizeof(DWORD);
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    DWORD value = static_cast<DWORD>(r->status);
    std::memcpy(buffer, &value, sizeof value);
    *bufferLength = sizeof(DWORD);
    return TRUE;
  }
  std::string text = std::to_string(r->status);
  if (*bufferLength < text.size() + 1 || buffer == nullptr) {
    *bufferLength = static_cast<DWORD>(text.size() + 1);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *bufferLength = static_cast<DWORD>(text.size());
  return TRUE;
}

BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD toRead, DWORD* read) {
  if (read != nullptr) *read = 0;
  auto* r = Find<RequestHandle>(request, Kind::Request);
  if (r == nullptr) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  if (read == nullptr || (buffer == nullptr && toRead != 0)) return Fail(ERROR_INVALID_PARAMETER);
  if (!r->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  auto* out = static_cast<char*>(buffer);
  DWORD copied = 0;
  while (copied < toRead) {
    if (r->PendingSize() > 0) {
      size_t n = std::min<size_t>(r->PendingSize(), toRead - copied);
      std::memcpy(out + copied, r->pending.data() + r->pendingOffset, n);
      r->pendingOffset += n;
      copied += static_cast<DWORD>(n);
      continue;
    }
    if (r->done) break;
    if (r->paused) {
      r->paused = false;
      curl_easy_pause(r->easy, CURLPAUSE_CONT);
    }
    // Hand out what has come once something has: a read need not fill the buffer.
    if (copied > 0) break;
    Drive(*r, [r] { return r->PendingSize() > 0 || r->paused; });
  }
  *read = copied;
  if (copied == 0 && r->done && r->error != ERROR_SUCCESS) return Fail(r->error);
  return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  std::unique_ptr<Handle> gone;
  {
    std::lock_guard<std::mutex> lock(gHandlesLock);
    auto it = gHandles.find(handle);
    if (it == gHandles.end()) return Fail(ERROR_INVALID_HANDLE);
    gone = std::move(it->second);
    gHandles.erase(it);
  }
  return TRUE;
}
