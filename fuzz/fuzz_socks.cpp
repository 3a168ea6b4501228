// Replies of a SOCKS server are outside input: whatever bytes arrive, in whatever
// pieces, the negotiation must end (connected or failed) without reading or writing
// outside its reply area, and it must take something from every piece it is
// offered, or the socket's receive loop would spin.
//
// The first input byte chooses the level and the authentication, the second the
// size of the pieces; the rest is what the server sends.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/WSocket.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "socks invariant broken: %s\n", what);
  std::abort();
}

// A socket without a connection: the server's bytes come from Offer, requests are
// dropped.
class FedSocket : public TCustomSocksWSocket {
 public:
  using TCustomSocksWSocket::TCustomSocksWSocket;

  void Begin(const char* level, bool authenticate) {
    SetSocksLevel(level);
    SetSocksAuthentication(authenticate ? socksAuthenticateUsercode : socksNoAuthentication);
    SetSocksUsercode("user");
    SetSocksPassword("password");
    SetAddr("127.0.0.1");
    SocksServerAssigned = true;
    State = wsConnected;
    SocksState = socksNegociateMethods;
    TriggerSessionConnectedSpecial(0);
  }

  // Offers one piece as the receive loop does: again and again while bytes wait
  // and the connection lives.
  void Offer(const uint8_t* data, size_t size) {
    pending_.assign(reinterpret_cast<const char*>(data), size);
    at_ = 0;
    while (at_ < pending_.size() && State == wsConnected) {
      const size_t before = at_;
      const Integer leftoverBefore = SocksLeftover;
      TriggerDataAvailable(0);
      Check(SocksRcvdCnt >= 0 && SocksRcvdCnt < kSocksReplyAreaSize, "reply count inside the area");
      Check(SocksLeftover >= 0 && SocksRcvdPtr >= 0 && SocksRcvdPtr + SocksLeftover <= kSocksReplyAreaSize,
            "leftover bytes inside the area");
      if (State != wsConnected) break;
      Check(at_ > before || SocksLeftover < leftoverBefore, "every pass takes bytes");
    }
  }

  Integer Send(const void*, Integer len) override { return len; }

  bool Negotiating() const { return SocksState != socksData; }

 protected:
  Integer DoRecv(void* buffer, Integer size, Integer flags) override {
    if (SocksLeftover > 0) return TCustomSocksWSocket::DoRecv(buffer, size, flags);
    const size_t n = std::min(static_cast<size_t>(size), pending_.size() - at_);
    if (n == 0) return -1;
    std::memcpy(buffer, pending_.data() + at_, n);
    at_ += n;
    return static_cast<Integer>(n);
  }

 private:
  std::string pending_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const char* const levels[] = {"4", "4A", "5", "5"};
  const char* level = levels[data[0] & 3];
  const bool authenticate = (data[0] & 4) != 0;
  const size_t piece = data[1] == 0 ? size : 1 + data[1] % 16;
  data += 2;
  size -= 2;

  FedSocket socket(nullptr);
  std::string received;
  socket.OnDataAvailable = [&](TObject*, Word) {
    char buffer[64];
    for (;;) {
      const Integer n = socket.Receive(buffer, sizeof buffer);
      if (n <= 0) break;
      received.append(buffer, static_cast<size_t>(n));
    }
  };
  socket.Begin(level, authenticate);
  for (size_t at = 0; at < size && socket.GetState() == wsConnected; at += piece)
    socket.Offer(data + at, std::min(piece, size - at));
  Check(received.size() <= size, "data delivered came from the input");
  // A SOCKS 4 reply is 8 bytes: everything behind it is data, whatever the pieces.
  if (level[0] == '4' && socket.GetState() == wsConnected && !socket.Negotiating())
    Check(received == std::string(reinterpret_cast<const char*>(data) + 8, size - 8),
          "data behind a SOCKS 4 reply delivered whole");
  Check(socket.GetProxyBoundAddress().size() <= 255, "bound address within a reply");
  socket.OnDataAvailable = nullptr;
  return 0;
}
