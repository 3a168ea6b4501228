// Host lookups, blocking and asynchronous, through an injected resolver.
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/sim/Resolver.h"
#include "platform/sim/Winsock.h"
#include "tests/platform/winsock/winsock_fixture.h"

namespace wstest {
namespace {

uint32_t Addr(const char* dotted) { return ws::inet_addr(dotted); }

// Holds a lookup inside the resolver until the test lets it go.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  bool entered = false;

  void Open() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    cv.notify_all();
  }
  bool Entered() {
    std::lock_guard<std::mutex> lock(mutex);
    return entered;
  }
  void Pass() {
    std::unique_lock<std::mutex> lock(mutex);
    entered = true;
    cv.wait(lock, [this] { return open; });
  }
};

class WinsockLookup : public WinsockTest {
 protected:
  void SetUp() override {
    WinsockTest::SetUp();
    sim::SetNameResolver([](const std::string& name) {
      sim::ResolverAnswer a;
      if (name == "feeds.example") {
        a.name = "cdn.feeds.example";
        a.aliases = {"feeds.example", "www.feeds.example"};
        a.addresses = {Addr("192.0.2.10"), Addr("192.0.2.11")};
      } else {
        a.error = ws::WSAHOST_NOT_FOUND;
      }
      return a;
    });
    sim::SetAddressResolver([](uint32_t address) {
      sim::ResolverAnswer a;
      if (address == Addr("192.0.2.10")) {
        a.name = "cdn.feeds.example";
      } else {
        a.error = ws::WSANO_DATA;
      }
      return a;
    });
  }

  void TearDown() override {
    // No lookup thread may outlive the test's resolver.
    larktest::PumpUntil([] { return sim::WinsockLookupsInFlight() == 0; });
    sim::SetNameResolver({});
    sim::SetAddressResolver({});
    WinsockTest::TearDown();
  }

  const Note* ReplyFor(HANDLE task) const {
    for (const Note& n : notes_) {
      if ((n.msg == kHostByNameMsg || n.msg == kHostByAddrMsg) && n.wParam == task) return &n;
    }
    return nullptr;
  }

  const Note* WaitForReply(HANDLE task) {
    larktest::PumpUntil([&] { return ReplyFor(task) != nullptr; });
    return ReplyFor(task);
  }

  // Room for a reply, aligned as a hostent must be.
  alignas(ws::hostent) char buf_[ws::MAXGETHOSTSTRUCT + 1] = {};
};

bool Inside(const void* p, const char* buf, size_t size) {
  const char* c = static_cast<const char*>(p);
  return c >= buf && c < buf + size;
}

TEST_F(WinsockLookup, AsyncLookupWritesAHostentIntoTheCallersBuffer) {
  const HANDLE task =
      ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "feeds.example", buf_, sizeof buf_);
  ASSERT_NE(task, 0u);
  const Note* reply = WaitForReply(task);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->error, 0);
  EXPECT_GT(reply->event, sizeof(ws::hostent));  // the bytes used

  const auto* h = reinterpret_cast<const ws::hostent*>(buf_);
  EXPECT_STREQ(h->h_name, "cdn.feeds.example");
  EXPECT_EQ(h->h_addrtype, ws::AF_INET);
  EXPECT_EQ(h->h_length, 4);
  ASSERT_TRUE(Inside(h->h_name, buf_, reply->event));
  ASSERT_TRUE(Inside(h->h_aliases, buf_, reply->event));
  ASSERT_TRUE(Inside(h->h_addr_list, buf_, reply->event));
  EXPECT_STREQ(h->h_aliases[0], "feeds.example");
  EXPECT_STREQ(h->h_aliases[1], "www.feeds.example");
  EXPECT_EQ(h->h_aliases[2], nullptr);
  ws::in_addr a;
  ASSERT_TRUE(Inside(h->h_addr_list[0], buf_, reply->event));
  std::memcpy(&a, h->h_addr_list[0], 4);
  EXPECT_STREQ(ws::inet_ntoa(a), "192.0.2.10");
  std::memcpy(&a, h->h_addr_list[1], 4);
  EXPECT_STREQ(ws::inet_ntoa(a), "192.0.2.11");
  EXPECT_EQ(h->h_addr_list[2], nullptr);
}

TEST_F(WinsockLookup, AsyncReverseLookupAnswersTheName) {
  const uint32_t address = Addr("192.0.2.10");
  const HANDLE task = ws::WSAAsyncGetHostByAddr(window_, kHostByAddrMsg,
                                                reinterpret_cast<const char*>(&address), 4,
                                                ws::AF_INET, buf_, sizeof buf_);
  ASSERT_NE(task, 0u);
  const Note* reply = WaitForReply(task);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->msg, kHostByAddrMsg);
  EXPECT_EQ(reply->error, 0);
  const auto* h = reinterpret_cast<const ws::hostent*>(buf_);
  EXPECT_STREQ(h->h_name, "cdn.feeds.example");
  EXPECT_EQ(std::memcmp(h->h_addr_list[0], &address, 4), 0);
}

TEST_F(WinsockLookup, FailuresArriveAsTheReplysError) {
  struct Case {
    bool byAddress;
    const char* what;
    int error;
  };
  const Case cases[] = {
      {false, "nowhere.example", ws::WSAHOST_NOT_FOUND},
      {true, "198.51.100.7", ws::WSANO_DATA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t address = Addr(c.what);
    const HANDLE task =
        c.byAddress
            ? ws::WSAAsyncGetHostByAddr(window_, kHostByAddrMsg, reinterpret_cast<const char*>(&address),
                                        4, ws::AF_INET, buf_, sizeof buf_)
            : ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, c.what, buf_, sizeof buf_);
    ASSERT_NE(task, 0u);
    const Note* reply = WaitForReply(task);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->error, c.error);
  }
}

TEST_F(WinsockLookup, ABufferTooSmallGivesNoBufsWithTheSizeNeeded) {
  const HANDLE task =
      ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "feeds.example", buf_, 48);
  ASSERT_NE(task, 0u);
  const Note* reply = WaitForReply(task);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->error, ws::WSAENOBUFS);
  EXPECT_GT(reply->event, 48);
  // Nothing was written.
  for (size_t i = 0; i < sizeof buf_; ++i) ASSERT_EQ(buf_[i], 0) << "byte " << i;

  // With the room it asked for, the same lookup succeeds.
  const Word needed = reply->event;
  const HANDLE again =
      ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "feeds.example", buf_, needed);
  const Note* second = WaitForReply(again);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->error, 0);
  EXPECT_EQ(second->event, needed);
}

TEST_F(WinsockLookup, CancelDropsTheReplyAndLeavesTheBufferAlone) {
  auto gate = std::make_shared<Gate>();
  sim::SetNameResolver([gate](const std::string&) {
    gate->Pass();
    sim::ResolverAnswer a;
    a.addresses = {Addr("192.0.2.99")};
    return a;
  });
  const HANDLE task =
      ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "slow.example", buf_, sizeof buf_);
  ASSERT_NE(task, 0u);
  ASSERT_TRUE(larktest::PumpUntil([&] { return gate->Entered(); }));
  EXPECT_EQ(ws::WSACancelAsyncRequest(task), 0);
  gate->Open();
  ASSERT_TRUE(larktest::PumpUntil([] { return sim::WinsockLookupsInFlight() == 0; }));
  larktest::PumpPending();
  EXPECT_EQ(ReplyFor(task), nullptr);
  for (size_t i = 0; i < sizeof buf_; ++i) ASSERT_EQ(buf_[i], 0) << "byte " << i;
  // Cancelling again: the task is over.
  EXPECT_EQ(ws::WSACancelAsyncRequest(task), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEALREADY);
}

TEST_F(WinsockLookup, CancelOfAFinishedOrUnknownTaskFails) {
  const HANDLE task =
      ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "feeds.example", buf_, sizeof buf_);
  ASSERT_NE(WaitForReply(task), nullptr);
  EXPECT_EQ(ws::WSACancelAsyncRequest(task), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEALREADY);
  EXPECT_EQ(ws::WSACancelAsyncRequest(task + 1000000), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEINVAL);
}

TEST_F(WinsockLookup, TaskHandlesAreDistinctAndBadArgumentsAreRefused) {
  const HANDLE one = ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "feeds.example", buf_, sizeof buf_);
  ASSERT_NE(WaitForReply(one), nullptr);
  const HANDLE two = ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "feeds.example", buf_, sizeof buf_);
  ASSERT_NE(WaitForReply(two), nullptr);
  EXPECT_NE(one, two);

  EXPECT_EQ(ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, nullptr, buf_, sizeof buf_), 0u);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEFAULT);
  // A hostent must be able to sit at the start of the buffer.
  EXPECT_EQ(ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "feeds.example", buf_ + 1, 100), 0u);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEFAULT);
  const uint32_t address = Addr("192.0.2.10");
  EXPECT_EQ(ws::WSAAsyncGetHostByAddr(window_, kHostByAddrMsg, reinterpret_cast<const char*>(&address),
                                      4, 23, buf_, sizeof buf_), 0u);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEAFNOSUPPORT);
}

TEST_F(WinsockLookup, BlockingLookupsUseTheSameResolver) {
  ws::hostent* h = ws::gethostbyname("feeds.example");
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(h->h_name, "cdn.feeds.example");
  ws::in_addr a;
  std::memcpy(&a, h->h_addr_list[0], 4);
  EXPECT_STREQ(ws::inet_ntoa(a), "192.0.2.10");

  EXPECT_EQ(ws::gethostbyname("nowhere.example"), nullptr);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAHOST_NOT_FOUND);

  const uint32_t address = Addr("192.0.2.10");
  h = ws::gethostbyaddr(reinterpret_cast<const char*>(&address), 4, ws::AF_INET);
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(h->h_name, "cdn.feeds.example");
}

TEST_F(WinsockLookup, DottedAddressesAreAnsweredWithoutTheResolver) {
  std::atomic<int> asked{0};
  sim::SetNameResolver([&asked](const std::string&) {
    ++asked;
    sim::ResolverAnswer a;
    a.error = ws::WSANO_RECOVERY;
    return a;
  });
  ws::hostent* h = ws::gethostbyname("10.1.2.3");
  ASSERT_NE(h, nullptr);
  ws::in_addr a;
  std::memcpy(&a, h->h_addr_list[0], 4);
  EXPECT_STREQ(ws::inet_ntoa(a), "10.1.2.3");
  EXPECT_EQ(asked.load(), 0);
}

TEST_F(WinsockLookup, LocalhostResolvesWithoutAnyNameService) {
  sim::SetNameResolver({});
  ws::hostent* h = ws::gethostbyname("localhost");
  ASSERT_NE(h, nullptr);
  ws::in_addr a;
  std::memcpy(&a, h->h_addr_list[0], 4);
  EXPECT_STREQ(ws::inet_ntoa(a), "127.0.0.1");

  const HANDLE task = ws::WSAAsyncGetHostByName(window_, kHostByNameMsg, "LocalHost", buf_, sizeof buf_);
  const Note* reply = WaitForReply(task);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->error, 0);
  std::memcpy(&a, reinterpret_cast<const ws::hostent*>(buf_)->h_addr_list[0], 4);
  EXPECT_STREQ(ws::inet_ntoa(a), "127.0.0.1");
}

TEST_F(WinsockLookup, ServicesAndProtocolsComeFromTheSystemDatabases) {
  ws::servent* s = ws::getservbyname("http", "tcp");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ws::ntohs(static_cast<ws::u_short>(s->s_port)), 80);
  EXPECT_STREQ(s->s_proto, "tcp");
  EXPECT_EQ(ws::getservbyname("no-such-service", "tcp"), nullptr);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSANO_DATA);

  ws::protoent* p = ws::getprotobyname("udp");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->p_proto, 17);
  EXPECT_EQ(ws::getprotobyname("no-such-protocol"), nullptr);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSANO_DATA);
}

}  // namespace
}  // namespace wstest
