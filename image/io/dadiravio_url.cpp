// Loading from a web address: the body is fetched through WinINet into memory and
// loaded by content.
#include <mutex>

#include "image/io/dadiravio.h"
#include "platform/rtl/Strings.h"
#include "platform/win/Modules.h"
#include "platform/wininet/WinInet.h"

namespace {

// The WinINet entry points, looked up once per process.
struct WinInetEntries {
  decltype(&InternetOpen) open = nullptr;
  decltype(&InternetConnect) connect = nullptr;
  decltype(&HttpOpenRequest) openRequest = nullptr;
  decltype(&HttpSendRequest) send = nullptr;
  decltype(&HttpQueryInfo) queryInfo = nullptr;
  decltype(&InternetReadFile) read = nullptr;
  decltype(&InternetCloseHandle) close = nullptr;
  bool loaded = false;
};

std::mutex gWinInetLock;
WinInetEntries gWinInet;
HMODULE gWinInetModule = 0;

// Loads "wininet.dll" on first use; false when it or one of its entries is missing
// (tried again on the next call).
bool BindWinInet(WinInetEntries& out) {
  std::lock_guard<std::mutex> lock(gWinInetLock);
  if (!gWinInet.loaded) {
    HMODULE module = LoadLibrary("wininet.dll");
    if (module == 0) return false;
    WinInetEntries e;
    e.open = reinterpret_cast<decltype(e.open)>(GetProcAddress(module, "InternetOpenA"));
    e.connect = reinterpret_cast<decltype(e.connect)>(GetProcAddress(module, "InternetConnectA"));
    e.openRequest = reinterpret_cast<decltype(e.openRequest)>(GetProcAddress(module, "HttpOpenRequestA"));
    e.send = reinterpret_cast<decltype(e.send)>(GetProcAddress(module, "HttpSendRequestA"));
    e.queryInfo = reinterpret_cast<decltype(e.queryInfo)>(GetProcAddress(module, "HttpQueryInfoA"));
    e.read = reinterpret_cast<decltype(e.read)>(GetProcAddress(module, "InternetReadFile"));
    e.close = reinterpret_cast<decltype(e.close)>(GetProcAddress(module, "InternetCloseHandle"));
    if (!e.open || !e.connect || !e.openRequest || !e.send || !e.queryInfo || !e.read || !e.close) {
      FreeLibrary(module);
      return false;
    }
    e.loaded = true;
    gWinInet = e;
    gWinInetModule = module;
  }
  out = gWinInet;
  return true;
}

// Closes the three handles, last made first.
struct InternetHandles {
  const WinInetEntries& api;
  HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
  ~InternetHandles() {
    if (request != nullptr) api.close(request);
    if (connection != nullptr) api.close(connection);
    if (internet != nullptr) api.close(internet);
  }
};

// The port of "host:port": the decimal number after the first ':', 80 when it is not
// one; -1 when it is a number outside 1..65535.
Integer PortOf(const AnsiString& text) {
  if (text.empty()) return INTERNET_DEFAULT_HTTP_PORT;
  Int64 value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return INTERNET_DEFAULT_HTTP_PORT;
    value = value * 10 + (c - '0');
    if (value > 65535) return -1;
  }
  return value >= 1 ? static_cast<Integer>(value) : -1;
}

}  // namespace

void TDadirAvIO::LoadFromURL(const AnsiString& URL) {
  WinInetEntries api;
  if (!BindWinInet(api)) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  if (ReIssue(ieLoadFromURL, [this, URL] { LoadFromURL(URL); })) return;
  DoLoadFromURL(URL);
}

void TDadirAvIO::DoLoadFromURL(const AnsiString& URL) {
  WinInetEntries api;
  BindWinInet(api);
  auto fail = [this] {
    aborting_ = true;
    DoFinishWork();
  };
  aborting_ = false;
  if (LowerCase(URL.substr(0, 7)) != "http://") return fail();
  // An address with a blank or a control character is refused whole: no part of it
  // may end up in a request line or be read as another port or host.
  for (unsigned char ch : URL)
    if (ch <= 0x20 || ch == 0x7F) return fail();
  AnsiString rest = URL.substr(7);
  size_t slash = rest.find('/');
  AnsiString hostPart = slash == AnsiString::npos ? rest : rest.substr(0, slash);
  AnsiString path = slash == AnsiString::npos ? AnsiString("/") : rest.substr(slash);
  AnsiString host = hostPart;
  Integer port = INTERNET_DEFAULT_HTTP_PORT;
  size_t colon = hostPart.find(':');
  if (colon != AnsiString::npos) {
    host = hostPart.substr(0, colon);
    port = PortOf(hostPart.substr(colon + 1));
    if (port < 0) return fail();
  }

  auto body = std::make_unique<TMemoryStream>();
  {
    InternetHandles h{api};
    bool proxy = !ProxyAddress.empty();
    h.internet = api.open("Mozilla/4.*", proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                          proxy ? ProxyAddress.c_str() : nullptr, nullptr, 0);
    if (h.internet == nullptr) return fail();
    h.connection = api.connect(h.internet, host.c_str(), static_cast<INTERNET_PORT>(port),
                               proxy ? ProxyUser.c_str() : nullptr, proxy ? ProxyPassword.c_str() : nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0);
    if (h.connection == nullptr) return fail();
    h.request = api.openRequest(h.connection, "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION,
                                1);
    if (h.request == nullptr) return fail();
    if (!api.send(h.request, nullptr, 0, nullptr, 0)) return fail();
    // Only a successful response is an image: an error page, even one that happens
    // to decode, leaves the image as it was.
    DWORD status = 0;
    DWORD length = sizeof status;
    if (!api.queryInfo(h.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) ||
        status < 200 || status > 299)
      return fail();
    constexpr DWORD kChunk = 65536;
    std::unique_ptr<Byte[]> buffer(new Byte[kChunk]);
    for (;;) {
      DWORD n = 0;
      if (!api.read(h.request, buffer.get(), kChunk, &n)) return fail();
      if (n == 0) break;
      if (body->GetSize() + n > IEMaxURLBytes) return fail();
      body->WriteBuffer(buffer.get(), static_cast<Integer>(n));
      if (aborting_) return fail();  // asked to stop
    }
  }
  body->SetPosition(0);
  LoadFromStream(body.get());
}
