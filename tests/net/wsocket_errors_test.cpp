// The Winsock error texts, and how a socket reports a failure: an exception, or
// OnError when it is assigned.
#include <gtest/gtest.h>

#include <string>

#include "net/WSocket.h"

namespace {

struct ErrorTextCase {
  Integer code;
  const char* text;
};

void PrintTo(const ErrorTextCase& c, std::ostream* os) { *os << c.code; }

class SocketErrorsText : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(SocketErrorsText, DescribesTheNumber) {
  EXPECT_EQ(WSocketErrorDesc(GetParam().code), GetParam().text) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    SocketErrors, SocketErrorsText,
    ::testing::Values(
        ErrorTextCase{0, "No Error"}, ErrorTextCase{10004, "Interrupted system call"},
        ErrorTextCase{10009, "Bad file number"}, ErrorTextCase{10013, "Permission denied"},
        ErrorTextCase{10014, "Bad address"}, ErrorTextCase{10022, "Invalid argument"},
        ErrorTextCase{10024, "Too many open files"}, ErrorTextCase{10035, "Operation would block"},
        ErrorTextCase{10036, "Operation now in progress"},
        ErrorTextCase{10037, "Operation already in progress"},
        ErrorTextCase{10038, "Socket operation on non-socket"},
        ErrorTextCase{10039, "Destination address required"},
        ErrorTextCase{10040, "Message too long"}, ErrorTextCase{10041, "Protocol wrong type for socket"},
        ErrorTextCase{10042, "Protocol not available"}, ErrorTextCase{10043, "Protocol not supported"},
        ErrorTextCase{10044, "Socket type not supported"},
        ErrorTextCase{10045, "Operation not supported on socket"},
        ErrorTextCase{10046, "Protocol family not supported"},
        ErrorTextCase{10047, "Address family not supported by protocol family"},
        ErrorTextCase{10048, "Address already in use"}, ErrorTextCase{10049, "Address not available"},
        ErrorTextCase{10050, "Network is down"}, ErrorTextCase{10051, "Network is unreachable"},
        ErrorTextCase{10052, "Network dropped connection on reset"},
        ErrorTextCase{10053, "Connection aborted"}, ErrorTextCase{10054, "Connection reset by peer"},
        ErrorTextCase{10055, "No buffer space available"},
        ErrorTextCase{10056, "Socket is already connected"},
        ErrorTextCase{10057, "Socket is not connected"},
        ErrorTextCase{10058, "Can't send after socket shutdown"},
        ErrorTextCase{10059, "Too many references: can't splice"},
        ErrorTextCase{10060, "Connection timed out"}, ErrorTextCase{10061, "Connection refused"},
        ErrorTextCase{10062, "Too many levels of symbolic links"},
        ErrorTextCase{10063, "File name too long"}, ErrorTextCase{10064, "Host is down"},
        ErrorTextCase{10065, "No route to host"}, ErrorTextCase{10066, "Directory not empty"},
        ErrorTextCase{10067, "Too many processes"}, ErrorTextCase{10068, "Too many users"},
        ErrorTextCase{10069, "Disc quota exceeded"}, ErrorTextCase{10070, "Stale NFS file handle"},
        ErrorTextCase{10071, "Too many levels of remote in path"},
        ErrorTextCase{10091, "Network sub-system is unusable"},
        ErrorTextCase{10092, "WinSock DLL cannot support this application"},
        ErrorTextCase{10093, "WinSock not initialized"}, ErrorTextCase{11001, "Host not found"},
        ErrorTextCase{11002, "Non-authoritative host not found"},
        ErrorTextCase{11003, "Non-recoverable error"}, ErrorTextCase{11004, "No Data"},
        // Numbers between and around the listed ones are no Winsock errors.
        ErrorTextCase{12345, "Not a WinSock error"}, ErrorTextCase{10000, "Not a WinSock error"},
        ErrorTextCase{10005, "Not a WinSock error"}, ErrorTextCase{10072, "Not a WinSock error"},
        ErrorTextCase{11000, "Not a WinSock error"}, ErrorTextCase{-1, "Not a WinSock error"}));

TEST(SocketErrors, FailureRaisesWithoutOnErrorAndFiresItOtherwise) {
  TWSocket socket(nullptr);
  try {
    socket.SetSendFlags(static_cast<TSocketSendFlags>(7));
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Invalid SendFlags");
    EXPECT_STREQ(e.ClassName(), "ESocketException");
  }
  int errors = 0;
  socket.OnError = [&](TObject* sender) {
    EXPECT_EQ(sender, &socket);
    ++errors;
  };
  EXPECT_NO_THROW(socket.SetSendFlags(static_cast<TSocketSendFlags>(7)));
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(socket.GetSendFlags(), wsSendNormal);
  socket.SetSendFlags(wsSendUrgent);
  EXPECT_EQ(socket.GetSendFlags(), wsSendUrgent);
}

TEST(SocketErrors, InitialPropertiesAreTheDocumentedOnes) {
  TWSocket socket(nullptr);
  EXPECT_EQ(socket.GetState(), wsClosed);
  EXPECT_EQ(socket.GetProto(), "tcp");
  EXPECT_EQ(socket.GetLocalAddr(), "0.0.0.0");
  EXPECT_EQ(socket.GetLocalPort(), "0");
  EXPECT_EQ(socket.GetListenBacklog(), 5);
  EXPECT_EQ(socket.GetMultiCastIpTTL(), 1);
  EXPECT_EQ(socket.GetFlushTimeout(), 60);
  EXPECT_EQ(socket.GetLingerOnOff(), wsLingerOn);
  EXPECT_EQ(socket.GetLingerTimeout(), 0);
  EXPECT_EQ(socket.GetSendFlags(), wsSendNormal);
  EXPECT_TRUE(socket.GetComponentOptions().Empty());
  EXPECT_EQ(socket.GetXAddr(), "error");
  EXPECT_EQ(socket.GetSocksLevel(), "5");
  EXPECT_EQ(socket.GetLineLimit(), 65536);
  EXPECT_EQ(socket.GetLineEnd(), "\r\n");
  EXPECT_FALSE(socket.GetLineMode());
  EXPECT_STREQ(socket.ClassName(), "TWSocket");
}

}  // namespace
