// Start-up, errors, addresses, options and ioctls.
// The system's lookup errors; before the Winsock header, which removes the
// system's socket macros.
#include <netdb.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/sim/Winsock.h"
#include "tests/platform/winsock/winsock_fixture.h"

namespace wstest {
namespace {

using WinsockBasics = WinsockTest;

TEST(WinsockStartup, AcceptsVersionsFromOnePointOneToTwoPointTwo) {
  struct Case {
    WORD version;  // major in the low byte
    int result;
  };
  const Case cases[] = {
      {0x0101, 0},
      {0x0201, 0},  // 1.2
      {0x0002, 0},  // 2.0
      {0x0202, 0},
      {0x0001, ws::WSAVERNOTSUPPORTED},  // 1.0
      {0x0302, ws::WSAVERNOTSUPPORTED},  // 2.3
      {0x0003, ws::WSAVERNOTSUPPORTED},  // 3.0
      {0x0000, ws::WSAVERNOTSUPPORTED},
  };
  const int before = sim::WinsockStartupCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    ws::WSADATA data{};
    ASSERT_EQ(ws::WSAStartup(c.version, &data), c.result);
    if (c.result != 0) {
      EXPECT_EQ(sim::WinsockStartupCount(), before);
      continue;
    }
    EXPECT_EQ(sim::WinsockStartupCount(), before + 1);
    EXPECT_EQ(sim::WinsockLastRequestedVersion(), c.version);
    EXPECT_EQ(data.wVersion, c.version);
    EXPECT_EQ(data.wHighVersion, 0x0202);
    EXPECT_STRNE(data.szDescription, "");
    EXPECT_EQ(ws::WSACleanup(), 0);
  }
}

TEST(WinsockStartup, CleanupCountsDownAndEndsWinsockAtTheLastOne) {
  ws::WSADATA data;
  ASSERT_EQ(sim::WinsockStartupCount(), 0);
  ASSERT_EQ(ws::WSAStartup(0x0101, &data), 0);
  ASSERT_EQ(ws::WSAStartup(0x0101, &data), 0);
  const ws::SOCKET s = ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0);
  ASSERT_NE(s, ws::INVALID_SOCKET);
  EXPECT_EQ(ws::WSACleanup(), 0);
  EXPECT_EQ(sim::WinsockOpenSockets(), 1);  // one start-up is left
  EXPECT_EQ(ws::WSACleanup(), 0);
  // The last clean-up closed what was open, and nothing works until a new start.
  EXPECT_EQ(sim::WinsockOpenSockets(), 0);
  EXPECT_EQ(ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0), ws::INVALID_SOCKET);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSANOTINITIALISED);
  EXPECT_EQ(ws::gethostbyname("localhost"), nullptr);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSANOTINITIALISED);
  EXPECT_EQ(ws::WSACleanup(), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSANOTINITIALISED);
  // Byte order and address texts need no start-up.
  EXPECT_EQ(ws::htons(0x1234), 0x3412);
}

TEST(WinsockErrors, LastErrorBelongsToTheThread) {
  ws::WSASetLastError(ws::WSAECONNRESET);
  int other = -1;
  std::thread([&other] {
    other = ws::WSAGetLastError();
    ws::WSASetLastError(ws::WSAEINTR);
  }).join();
  EXPECT_EQ(other, 0);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAECONNRESET);
}

TEST(WinsockErrors, SystemErrorsMapToWinsockNumbers) {
  struct Case {
    int err;
    int wsa;
  };
  const Case cases[] = {
      {EWOULDBLOCK, 10035}, {EAGAIN, 10035},     {EINPROGRESS, 10035}, {EALREADY, 10037},
      {ENOTSOCK, 10038},    {EBADF, 10038},      {EINVAL, 10022},      {EMSGSIZE, 10040},
      {EADDRINUSE, 10048},  {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050}, {ENETUNREACH, 10051},
      {ECONNABORTED, 10053}, {ECONNRESET, 10054}, {EPIPE, 10054},      {ENOBUFS, 10055},
      {EISCONN, 10056},     {ENOTCONN, 10057},   {ESHUTDOWN, 10058},   {ETIMEDOUT, 10060},
      {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065}, {EINTR, 10004},    {EACCES, 10013},
      {EFAULT, 10014},      {EMFILE, 10024},     {EAFNOSUPPORT, 10047}, {ENOPROTOOPT, 10042},
      {EOPNOTSUPP, 10045},  {0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ws::WSAErrorFromErrno(c.err), c.wsa) << "errno " << c.err;
  }
}

TEST(WinsockErrors, LookupErrorsMapToWinsockNumbers) {
  EXPECT_EQ(ws::WSAErrorFromGai(EAI_NONAME), ws::WSAHOST_NOT_FOUND);
  EXPECT_EQ(ws::WSAErrorFromGai(EAI_AGAIN), ws::WSATRY_AGAIN);
  EXPECT_EQ(ws::WSAErrorFromGai(EAI_FAIL), ws::WSANO_RECOVERY);
  EXPECT_EQ(ws::WSAErrorFromGai(EAI_NODATA), ws::WSANO_DATA);
}

TEST(WinsockAddresses, InetAddrAndInetNtoaFollowWinsock) {
  struct Case {
    const char* text;
    const char* dotted;  // null: INADDR_NONE
  };
  const Case cases[] = {
      {"127.0.0.1", "127.0.0.1"},     {"10.0.0.255", "10.0.0.255"},
      {"255.255.255.255", "255.255.255.255"},
      {"10.1", "10.0.0.1"},           {"0x7f.1", "127.0.0.1"},
      {"256.1.1.1", nullptr},         {"1.2.3.4.5", nullptr},
      {"host.example", nullptr},      {"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ws::u_long a = ws::inet_addr(c.text);
    if (c.dotted == nullptr) {
      EXPECT_EQ(a, ws::INADDR_NONE);
      continue;
    }
    ws::in_addr in;
    in.S_un.S_addr = a;
    EXPECT_STREQ(ws::inet_ntoa(in), c.dotted);
  }
  EXPECT_EQ(ws::inet_addr(nullptr), ws::INADDR_NONE);
  ws::in_addr in;
  in.S_un.S_addr = ws::inet_addr("1.2.3.4");
  EXPECT_EQ(in.S_un.S_un_b.s_b1, 1);
  EXPECT_EQ(in.S_un.S_un_b.s_b4, 4);
  EXPECT_EQ(ws::ntohl(in.S_un.S_addr), 0x01020304u);
}

TEST_F(WinsockBasics, OptionsUseWinsocksLevelsAndNumbers) {
  const ws::SOCKET s = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, ws::IPPROTO_TCP));
  ASSERT_NE(s, ws::INVALID_SOCKET);
  struct Case {
    int level;
    int name;
  };
  const Case flags[] = {
      {ws::SOL_SOCKET, ws::SO_REUSEADDR},
      {ws::SOL_SOCKET, ws::SO_KEEPALIVE},
      {ws::SOL_SOCKET, ws::SO_BROADCAST},
      {ws::IPPROTO_TCP, ws::TCP_NODELAY},
  };
  for (const Case& c : flags) {
    SCOPED_TRACE(c.name);
    int32_t value = 0;
    int len = sizeof value;
    ASSERT_EQ(ws::getsockopt(s, c.level, c.name, reinterpret_cast<char*>(&value), &len), 0);
    EXPECT_EQ(value, 0);
    const int32_t on = -1;  // any non-zero value switches an option on
    ASSERT_EQ(ws::setsockopt(s, c.level, c.name, reinterpret_cast<const char*>(&on), sizeof on), 0);
    ASSERT_EQ(ws::getsockopt(s, c.level, c.name, reinterpret_cast<char*>(&value), &len), 0);
    EXPECT_NE(value, 0);
    EXPECT_EQ(len, 4);
  }
  int32_t type = 0;
  int len = sizeof type;
  ASSERT_EQ(ws::getsockopt(s, ws::SOL_SOCKET, ws::SO_TYPE, reinterpret_cast<char*>(&type), &len), 0);
  EXPECT_EQ(type, ws::SOCK_STREAM);

  const int32_t one = 1;
  // The system's own numbers mean nothing here (SO_REUSEADDR is 2 there, 4 here).
  EXPECT_EQ(ws::setsockopt(s, 1, 2, reinterpret_cast<const char*>(&one), 4), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOPROTOOPT);
  EXPECT_EQ(ws::setsockopt(s, ws::SOL_SOCKET, ws::SO_ERROR, reinterpret_cast<const char*>(&one), 4),
            ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOPROTOOPT);
  EXPECT_EQ(ws::setsockopt(s, ws::SOL_SOCKET, ws::SO_KEEPALIVE, nullptr, 4), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEFAULT);
}

TEST_F(WinsockBasics, MulticastOptionsOfADatagramSocket) {
  const ws::SOCKET s = Track(ws::socket(ws::AF_INET, ws::SOCK_DGRAM, ws::IPPROTO_UDP));
  ASSERT_NE(s, ws::INVALID_SOCKET);
  const int32_t ttl = 7;
  ASSERT_EQ(ws::setsockopt(s, ws::IPPROTO_IP, ws::IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), 4), 0);
  int32_t back = 0;
  int len = sizeof back;
  ASSERT_EQ(ws::getsockopt(s, ws::IPPROTO_IP, ws::IP_MULTICAST_TTL, reinterpret_cast<char*>(&back), &len), 0);
  EXPECT_EQ(back, 7);
  const ws::in_addr iface{{.S_addr = ws::htonl(ws::INADDR_LOOPBACK)}};
  EXPECT_EQ(ws::setsockopt(s, ws::IPPROTO_IP, ws::IP_MULTICAST_IF, reinterpret_cast<const char*>(&iface), 4), 0);
}

TEST_F(WinsockBasics, DatagramsTravelWithTheirAddresses) {
  const ws::SOCKET a = Track(ws::socket(ws::AF_INET, ws::SOCK_DGRAM, ws::IPPROTO_UDP));
  const ws::SOCKET b = Track(ws::socket(ws::AF_INET, ws::SOCK_DGRAM, ws::IPPROTO_UDP));
  ws::sockaddr_in where = Loopback(0);
  ASSERT_EQ(ws::bind(b, Sa(where), sizeof where), 0);
  int len = sizeof where;
  ASSERT_EQ(ws::getsockname(b, reinterpret_cast<ws::sockaddr*>(&where), &len), 0);
  ASSERT_EQ(ws::sendto(a, "hi", 2, 0, Sa(where), sizeof where), 2);
  char buf[8];
  ws::sockaddr_in from{};
  int fromLen = sizeof from;
  ASSERT_EQ(ws::recvfrom(b, buf, sizeof buf, 0, reinterpret_cast<ws::sockaddr*>(&from), &fromLen), 2);
  EXPECT_EQ(std::string(buf, 2), "hi");
  EXPECT_EQ(from.sin_family, ws::AF_INET);
  EXPECT_STREQ(ws::inet_ntoa(from.sin_addr), "127.0.0.1");
}

TEST_F(WinsockBasics, IoctlsCountWaitingBytesAndSwitchBlocking) {
  uint16_t port = 0;
  const ws::SOCKET listener = MakeListener(&port);
  const ws::SOCKET client = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0));
  const ws::sockaddr_in a = Loopback(port);
  ASSERT_EQ(ws::connect(client, Sa(a), sizeof a), 0);
  const ws::SOCKET server = Track(ws::accept(listener, nullptr, nullptr));
  ASSERT_NE(server, ws::INVALID_SOCKET);

  ws::u_long on = 1;
  ASSERT_EQ(ws::ioctlsocket(server, ws::FIONBIO, &on), 0);
  char buf[16];
  EXPECT_EQ(ws::recv(server, buf, sizeof buf, 0), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
  // A receive of 0 bytes probes: would block while open and empty.
  EXPECT_EQ(ws::recv(server, buf, 0, 0), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);

  ASSERT_EQ(ws::send(client, "12345", 5, 0), 5);
  ASSERT_TRUE(larktest::PumpUntil([&] { return Waiting(server) == 5; }));
  EXPECT_EQ(ws::recv(server, buf, 2, ws::MSG_PEEK), 2);
  EXPECT_EQ(Waiting(server), 5u);
  EXPECT_EQ(ws::recv(server, buf, sizeof buf, 0), 5);

  ASSERT_EQ(ws::shutdown(client, ws::SD_SEND), 0);
  EXPECT_EQ(ws::send(client, "x", 1, 0), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAESHUTDOWN);
  ASSERT_TRUE(larktest::PumpUntil([&] { return ws::recv(server, buf, 0, 0) == 0; }));

  EXPECT_EQ(ws::ioctlsocket(server, 0x12345678, &on), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEINVAL);
}

TEST_F(WinsockBasics, CallsOutOfStateAnswerWinsocksErrors) {
  const ws::SOCKET s = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0));
  EXPECT_EQ(ws::send(s, "x", 1, 0), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOTCONN);
  EXPECT_EQ(ws::accept(s, nullptr, nullptr), ws::INVALID_SOCKET);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEINVAL);
  const ws::sockaddr_in any{ws::AF_INET, ws::htons(80), {}, {}};
  EXPECT_EQ(ws::connect(s, Sa(any), sizeof any), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEADDRNOTAVAIL);
  ws::sockaddr_in small = Loopback(80);
  EXPECT_EQ(ws::connect(s, Sa(small), 8), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEFAULT);
  EXPECT_EQ(ws::socket(23, ws::SOCK_STREAM, 0), ws::INVALID_SOCKET);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEAFNOSUPPORT);

  // Two sockets on one address.
  uint16_t port = 0;
  MakeListener(&port);
  const ws::SOCKET other = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0));
  const ws::sockaddr_in taken = Loopback(port);
  EXPECT_EQ(ws::bind(other, Sa(taken), sizeof taken), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEADDRINUSE);
}

TEST_F(WinsockBasics, RawCaptureIsNotOffered) {
  const ws::SOCKET s = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0));
  int32_t in = 1, out = 0;
  DWORD returned = 99;
  EXPECT_EQ(ws::WSAIoctl(s, ws::SIO_RCVALL, &in, 4, &out, 4, &returned, nullptr, nullptr),
            ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEOPNOTSUPP);
  EXPECT_EQ(returned, 0u);
}

TEST_F(WinsockBasics, HostNameFitsOrIsRefused) {
  char name[256];
  ASSERT_EQ(ws::gethostname(name, sizeof name), 0);
  EXPECT_GT(std::strlen(name), 0u);
  EXPECT_EQ(ws::gethostname(name, 1), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEFAULT);
}

}  // namespace
}  // namespace wstest
