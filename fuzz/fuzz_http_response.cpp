// Server responses are outside input: arbitrary bytes go through the HTTP client's
// receive buffer, header parser, length rules and chunk decoder exactly as if they
// came from its socket, in pieces of a size the input picks. Nothing may fail, and
// the client keeps its contract: every body byte it counts reaches OnDocData and
// RcvdStream, a document that began ends at most once, the buffer and the header
// keep their bounds. No socket is opened: the client believes it is connected.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/HttpProt.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Messages.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "http response invariant broken: %s\n", what);
  std::abort();
}

// A client whose socket reads come from the input and whose logins (a relocation's
// new request) go to the same pretend connection.
class FuzzCli : public THttpCli {
 public:
  using THttpCli::THttpCli;

  void Start(THttpRequest kind, bool http11, bool follow) {
    SetRequestVer(http11 ? "1.1" : "1.0");
    SetFollowRelocation(follow);
    SetURL("http://fuzz.invalid/dir/page.html");
    RequestKind = kind;
    InternalClear();
    RequestHost = ConnectHost = ConnectedHost = "fuzz.invalid";
    RequestPort = ConnectPort = ConnectedPort = "80";
    Scheme = ConnectedScheme = "http";
    RequestUri = "/dir/page.html";
    DocName = "page.html";
    NextLineHandler = TNextLineHandler::Header;
    State = httpWaitingHeader;
  }
  // Offers data to the client until it has taken all of it.
  void Offer(const uint8_t* data, size_t size) {
    input_ = data;
    left_ = size;
    while (left_ > 0) SocketDataAvailable(nullptr, 0);
  }
  Integer BufferFill() const { return RcvdCnt; }
  Integer HeaderBytes() const { return HeaderSize; }

 protected:
  Integer ReceiveRaw(void* buffer, Integer len) override {
    if (left_ == 0) return -1;
    const size_t n = left_ < static_cast<size_t>(len) ? left_ : static_cast<size_t>(len);
    std::memcpy(buffer, input_, n);
    input_ += n;
    left_ -= n;
    return static_cast<Integer>(n);
  }
  void Login() override {
    if (WSocket->GetState() == wsClosed) SocketSessionConnected(nullptr, 0);
  }

 private:
  const uint8_t* input_ = nullptr;
  size_t left_ = 0;
};

void PumpMessages() {
  MSG msg;
  while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const size_t pieceSizes[] = {1, 2, 3, 7, 64, 512, 4096, 65536};
  const uint8_t options = data[0];
  const size_t piece = pieceSizes[(options >> 2) & 7];

  FuzzCli cli(nullptr);
  TMemoryStream stream;
  cli.SetRcvdStream(&stream);
  Int64 delivered = 0;
  int begun = 0;
  int ended = 0;
  cli.OnDocBegin = [&](TObject*) { ++begun; };
  cli.OnDocEnd = [&](TObject*) {
    ++ended;
    Check(ended <= begun, "a document ends only after it began");
  };
  cli.OnDocData = [&](TObject*, const void*, Integer len) {
    Check(len > 0, "pieces are not empty");
    delivered += len;
  };
  cli.Start((options & 1) != 0 ? httpHEAD : httpGET, (options & 2) != 0, (options & 32) != 0);

  for (size_t at = 1; at < size; at += piece) {
    const size_t n = size - at < piece ? size - at : piece;
    cli.Offer(data + at, n);
    PumpMessages();
    Check(cli.BufferFill() >= 0 && cli.BufferFill() <= THttpCli::kReceiveBufferSize + 1,
          "receive buffer within its bound");
    Check(cli.HeaderBytes() <= THttpCli::kMaxHeaderSize, "header within its bound");
    Check(cli.GetRcvdCount() >= 0, "count not negative");
  }
  Check(delivered <= static_cast<Int64>(size), "no byte delivered twice");
  Check(begun - ended >= 0 && begun - ended <= 1, "documents begin and end in pairs");
  // Every counted byte of the last document reached OnDocData and RcvdStream (the
  // stream keeps no byte of a document that was relocated away from).
  Check(cli.GetRcvdCount() <= stream.GetSize(), "RcvdStream holds the counted bytes");
  Check(stream.GetSize() <= delivered, "RcvdStream holds only delivered bytes");
  if (cli.GetContentLength() >= 0 && cli.GetTransferCoding().empty())
    Check(cli.GetRcvdCount() <= cli.GetContentLength(), "no more than the announced length");
  PumpMessages();
  return 0;
}
