// Line mode (lines split across receives, line ends, the length limit, echo and
// editing, switching the mode) and the synchronous waits (ReadLine, WaitUntilReady,
// Synchronize) against a python3 peer that sends its pieces one at a time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "net/WSocket.h"
#include "platform/sim/Clock.h"
#include "platform/vcl/Application.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "tests/net/net_test_support.h"
#include "tests/support/Pump.h"

namespace {

using larktest::PumpUntil;
using nettest::PythonServer;

// The peer sends the pieces given as hex arguments, each when the client asks for it
// with the byte 0xFF ("close" closes the connection instead, "*N:HH" sends the byte
// HH N times). Every other byte it
// receives is collected; the request after the last piece prints them in hex.
const char* const PiecePeer =
    "got = bytearray()\n"
    "def wait_request():\n"
    "    while True:\n"
    "        b = c.recv(1)\n"
    "        if not b: return False\n"
    "        if b == b'\\xff': return True\n"
    "        got.extend(b)\n"
    "for p in sys.argv[1:]:\n"
    "    if not wait_request(): sys.exit(0)\n"
    "    if p == 'close':\n"
    "        c.close()\n"
    "        sys.exit(0)\n"
    "    if p.startswith('*'):\n"
    "        n, b = p[1:].split(':')\n"
    "        c.sendall(bytes.fromhex(b) * int(n))\n"
    "    else:\n"
    "        c.sendall(bytes.fromhex(p))\n"
    "if wait_request(): print('got ' + got.hex() + '.', flush=True)\n"
    "while c.recv(65536): pass\n";

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

// Shows the held bytes and a few settings that have no public accessor.
class LineSocket : public TWSocket {
 public:
  using TWSocket::TWSocket;
  using TCustomLineWSocket::LineBufferMax;
  using TCustomSyncWSocket::Timeout;
  std::string Held() const {
    const auto* first = reinterpret_cast<const char*>(RcvdBuf.data()) + RcvdPos;
    return std::string(first, first + RcvdCnt);
  }
};

// A window whose messages run a function, to act from inside a wait.
class Poster {
 public:
  Poster() : window_(AllocateHWnd([this](TMessage& m) { Run(m); })) {}
  ~Poster() { DeallocateHWnd(window_); }
  Poster(const Poster&) = delete;
  Poster& operator=(const Poster&) = delete;
  // Runs action from the message loop; it answers true to run again with the next turn.
  void Post(std::function<bool()> action) {
    actions_.push_back(std::move(action));
    PostMessage(window_, WM_USER, actions_.size() - 1, 0);
  }

 private:
  void Run(TMessage& m) {
    if (m.Msg != WM_USER) return;
    if (actions_[m.WParam]()) PostMessage(window_, WM_USER, m.WParam, 0);
  }
  std::vector<std::function<bool()>> actions_;
  HWND window_;
};

// Moves the virtual clock from inside a wait: first to one millisecond short of
// total, then, from a message posted by another thread once that is done (so the
// wait has had its chance to end early), the last millisecond.
class ClockDriver {
 public:
  ClockDriver(uint64_t total, const bool& inside)
      : window_(AllocateHWnd([this, total, &inside](TMessage& m) {
          if (m.Msg != WM_USER) return;
          if (m.WParam == 0) {
            sim::AdvanceClock(total - 1);
            phase_ = 1;
          } else {
            WaitedShortOfTheLimit = inside;
            sim::AdvanceClock(1);
          }
        })) {
    PostMessage(window_, WM_USER, 0, 0);
    thread_ = std::thread([this] {
      while (phase_.load() == 0) std::this_thread::yield();
      PostMessage(window_, WM_USER, 1, 0);
    });
  }
  ~ClockDriver() {
    phase_ = 1;
    thread_.join();
    DeallocateHWnd(window_);
  }
  ClockDriver(const ClockDriver&) = delete;
  ClockDriver& operator=(const ClockDriver&) = delete;
  bool WaitedShortOfTheLimit = false;

 private:
  HWND window_;
  std::atomic<int> phase_{0};
  std::thread thread_;
};

class LineTest : public ::testing::Test {
 protected:
  ~LineTest() override {
    socket.OnDataAvailable = nullptr;
    socket.OnSessionClosed = nullptr;
    socket.OnLineLimitExceeded = nullptr;
    if (sim::IsVirtualClock()) sim::UseRealClock();
  }

  // Starts the peer with its pieces, switches line mode on, connects, and records
  // every offer of OnDataAvailable in Offers.
  void Start(const std::vector<std::string>& pieces) {
    std::vector<std::string> args;
    for (const std::string& piece : pieces) {
      const bool command = piece == "close" || (!piece.empty() && piece[0] == '*');
      args.push_back(command ? piece : Hex(piece));
    }
    ASSERT_TRUE(peer.Start(PiecePeer, args));
    socket.OnDataAvailable = [this](TObject*, Word) {
      const AnsiString s = socket.ReceiveStr();
      if (!s.empty()) Offers.push_back(s);
    };
    socket.OnSessionClosed = [this](TObject*, Word error) {
      Offers.push_back("closed " + std::to_string(error));
    };
    socket.SetLineMode(true);
    socket.SetAddr("127.0.0.1");
    socket.SetPort(std::to_string(peer.Port()));
    socket.Connect();
    ASSERT_TRUE(PumpUntil([this] { return socket.GetState() == wsConnected; }));
  }
  // Asks the peer for its next piece.
  void Next() { socket.SendStr("\xff"); }
  // The bytes the peer received apart from the requests.
  std::string AtPeer() {
    Next();
    if (!peer.WaitFor(".\n")) return "<no answer>";
    const std::string log = peer.Log();
    const size_t at = log.find("got ") + 4;
    return Unhex(log.substr(at, log.find('.', at) - at));
  }

  PythonServer peer;
  LineSocket socket{nullptr};
  std::vector<std::string> Offers;
};

// ---- Splitting into lines -----------------------------------------------------------------

struct SplitCase {
  const char* name;
  const char* lineEnd;
  // After each piece: the lines offered so far and the bytes held.
  std::vector<std::string> pieces;
  std::vector<std::vector<std::string>> offers;
  std::vector<std::string> held;
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class LineSplit : public LineTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(LineSplit, OffersEachCompleteLineOnceAndHoldsTheRest) {
  const SplitCase& c = GetParam();
  socket.SetLineEnd(c.lineEnd);
  Start(c.pieces);
  for (size_t i = 0; i < c.pieces.size(); ++i) {
    Next();
    EXPECT_TRUE(PumpUntil([&] { return Offers == c.offers[i] && socket.Held() == c.held[i]; }))
        << "after piece " << i << ": " << Offers.size() << " offers, held '" << socket.Held()
        << "'";
  }
}

INSTANTIATE_TEST_SUITE_P(
    WSocketLineMode, LineSplit,
    ::testing::Values(
        SplitCase{"LineAndStartOfNextInOnePiece", "\r\n", {"ab\r\nc"}, {{"ab\r\n"}}, {"c"}},
        SplitCase{"CrLfSplitInTwo",
                  "\r\n",
                  {"ab\r", "\ncd\r", "\n"},
                  {{}, {"ab\r\n"}, {"ab\r\n", "cd\r\n"}},
                  {"ab\r", "cd\r", ""}},
        SplitCase{"LineAcrossThreePieces",
                  "\r\n",
                  {"on", "e t", "wo\r\nthree\r\n\r\n"},
                  {{}, {}, {"one two\r\n", "three\r\n", "\r\n"}},
                  {"on", "one t", ""}},
        SplitCase{"LoneCrAndLfAreText", "\r\n", {"a\rb\nc\r\n"}, {{"a\rb\nc\r\n"}}, {""}},
        SplitCase{"CustomSingleByteEnd",
                  "\n",
                  {"one\ntwo\nthr", "ee\n"},
                  {{"one\n", "two\n"}, {"one\n", "two\n", "three\n"}},
                  {"thr", ""}},
        SplitCase{"CustomEndSplitThreeWays",
                  "<EOL>",
                  {"x<E", "O", "L>y<EOL><EO"},
                  {{}, {}, {"x<EOL>", "y<EOL>"}},
                  {"x<E", "x<EO", "<EO"}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST_F(LineTest, HandlerThatReadsOnGetsLinesInOrder) {
  // A handler that reads until nothing is left must not take bytes that reach the
  // socket meanwhile ahead of the part of their line already held.
  Start({"one\r\ntw", "o\r\n"});
  std::string received;
  bool asked = false;
  socket.OnDataAvailable = [&](TObject*, Word) {
    char buffer[64];
    for (;;) {
      const Integer n = socket.Receive(buffer, sizeof buffer);
      if (n <= 0) break;
      received.append(buffer, static_cast<size_t>(n));
      received += '|';
      if (asked) continue;
      asked = true;
      Next();
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (socket.TCustomSocksWSocket::GetRcvdCount() < 3 &&
             std::chrono::steady_clock::now() < deadline) {
      }
    }
  };
  Next();
  ASSERT_TRUE(PumpUntil([&] { return received == "one\r\n|two\r\n|"; })) << received;
  EXPECT_EQ(socket.Held(), "");
}

TEST_F(LineTest, LineLeftUnreadIsOfferedAgainWithTheNextBytes) {
  Start({"a\r\nb", "c\r\n"});
  int calls = 0;
  bool read = false;
  socket.OnDataAvailable = [&](TObject*, Word) {
    ++calls;
    if (read) Offers.push_back(socket.ReceiveStr());
  };
  Next();
  ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(calls, 1);  // no endless offering
  EXPECT_EQ(socket.GetRcvdCount(), 3);
  read = true;
  Next();
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 2; }));
  EXPECT_EQ(Offers, (std::vector<std::string>{"a\r\n", "bc\r\n"}));
}

TEST_F(LineTest, WithoutAHandlerLinesAreDropped) {
  Start({"a\r\nb", "c\r\nd\r\n"});
  const TDataAvailable reader = socket.OnDataAvailable;
  socket.OnDataAvailable = nullptr;
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.Held() == "b"; }));
  socket.OnDataAvailable = reader;
  Next();
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 2; }));
  EXPECT_EQ(Offers, (std::vector<std::string>{"bc\r\n", "d\r\n"}));
}

TEST_F(LineTest, PeerClosingMidLineGivesTheRestAsALastLineBeforeTheClose) {
  Start({"ab\r\ncd", "close"});
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.Held() == "cd"; }));
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.GetState() == wsClosed; }));
  EXPECT_EQ(Offers, (std::vector<std::string>{"ab\r\n", "cd", "closed 0"}));
  EXPECT_EQ(socket.Held(), "");
}

// ---- The line limit -----------------------------------------------------------------------

struct LimitCase {
  const char* name;
  bool clear;
  std::string heldAfterLimit;
  std::string line;
};
void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class LineLimit : public LineTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(LineLimit, AnUnfinishedLineOverTheLimitIsReported) {
  const LimitCase& c = GetParam();
  socket.SetLineLimit(10);
  std::vector<Integer> reports;
  socket.OnLineLimitExceeded = [&](TObject*, Integer length, bool& clearData) {
    EXPECT_TRUE(clearData);
    reports.push_back(length);
    clearData = c.clear;
  };
  Start({"0123456789", "ab", "cd\r\n"});
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.Held() == "0123456789"; }));
  EXPECT_TRUE(reports.empty());  // at the limit is not over it
  Next();
  ASSERT_TRUE(PumpUntil([&] { return !reports.empty(); }));
  ASSERT_TRUE(PumpUntil([&] { return socket.Held() == c.heldAfterLimit; })) << socket.Held();
  EXPECT_EQ(reports, std::vector<Integer>{12});
  Next();
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 1; }));
  EXPECT_EQ(Offers[0], c.line);
}

INSTANTIATE_TEST_SUITE_P(WSocketLineMode, LineLimit,
                         ::testing::Values(LimitCase{"Cleared", true, "", "cd\r\n"},
                                           LimitCase{"Kept", false, "0123456789ab",
                                                     "0123456789abcd\r\n"}),
                         [](const ::testing::TestParamInfo<LimitCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(LineTest, SeventyThousandBytesWithoutALineEndAreReportedAndDropped) {
  std::vector<Integer> reports;
  socket.OnLineLimitExceeded = [&](TObject*, Integer length, bool&) { reports.push_back(length); };
  Start({"*70000:78", "end\r\n"});
  // Everything is on the socket before the first receive.
  socket.Pause();
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.TCustomSocksWSocket::GetRcvdCount() == 70000; }));
  socket.Resume();
  ASSERT_TRUE(PumpUntil([&] { return !reports.empty(); }));
  EXPECT_EQ(reports, std::vector<Integer>{70000});
  EXPECT_EQ(socket.Held(), "");
  Next();
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 1; }));
  EXPECT_EQ(Offers[0], "end\r\n");
}

TEST_F(LineTest, HeldBytesNeverGrowPastTheBufferBound) {
  // Without a limit, a handler that keeps everything still cannot make the held
  // bytes grow without bound.
  socket.SetLineLimit(0);
  socket.LineBufferMax = 16;
  std::vector<Integer> reports;
  socket.OnLineLimitExceeded = [&](TObject*, Integer length, bool& clearData) {
    reports.push_back(length);
    clearData = false;
  };
  Start({std::string(20, 'x'), "ok\r\n"});
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.Held() == "xxxx"; })) << socket.Held();
  EXPECT_EQ(reports, std::vector<Integer>{16});
  Next();
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 1; }));
  EXPECT_EQ(Offers[0], "xxxxok\r\n");
}

// ---- Echo and editing ---------------------------------------------------------------------

struct EditCase {
  const char* name;
  bool edit;
  bool echo;
  std::vector<std::string> pieces;
  std::string held;
  std::vector<std::string> offers;
  std::string echoed;
};
void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class LineEdit : public LineTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(LineEdit, EditsAndEchoesAsBytesArrive) {
  const EditCase& c = GetParam();
  socket.SetLineEdit(c.edit);
  socket.SetLineEcho(c.echo);
  Start(c.pieces);
  for (size_t i = 0; i < c.pieces.size(); ++i) {
    const std::string before = socket.Held();
    const size_t offers = Offers.size();
    Next();
    if (i + 1 < c.pieces.size()) {
      ASSERT_TRUE(PumpUntil([&] { return socket.Held() != before || Offers.size() != offers; }));
    }
  }
  EXPECT_TRUE(PumpUntil([&] { return Offers == c.offers && socket.Held() == c.held; }))
      << Offers.size() << " offers, held '" << socket.Held() << "'";
  EXPECT_EQ(Hex(AtPeer()), Hex(c.echoed));
}

INSTANTIATE_TEST_SUITE_P(
    WSocketLineMode, LineEdit,
    ::testing::Values(
        EditCase{"BackspaceRemovesTheLastCharacter", true, false, {"ab\bc"}, "ac", {}, ""},
        EditCase{"BackspaceAcrossPieces", true, false, {"abc", "\b\bd\r\n"}, "", {"ad\r\n"}, ""},
        EditCase{"EchoOnly", false, true, {"ab\r\nc"}, "c", {"ab\r\n"}, "ab\r\nc"},
        EditCase{"EchoKeepsControlBytesWithoutEdit", false, true, {"a\b\t"}, "a\b\t", {}, "a\b\t"},
        EditCase{"EditEchoesBackspaceAsRubOut", true, true, {"ab\bc"}, "ac", {}, "ab\b \bc"},
        EditCase{"BackspaceOnEmptyTextIsIgnored", true, true, {"\b\bx"}, "x", {}, "x"},
        EditCase{"TabFillsToTheNextMultipleOfEight",
                 true,
                 true,
                 {"a\tb", "cdefghi\t\r\n"},
                 "",
                 {"a       bcdefghi        \r\n"},
                 "a       bcdefghi        \r\n"},
        EditCase{"BackspaceUndoesAnEarlierCarriageReturn",
                 true,
                 false,
                 {"x\r", "\b\r\n"},
                 "",
                 {"x\r\n"},
                 ""}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

// ---- Switching the mode ---------------------------------------------------------------------

TEST_F(LineTest, HandlerSwitchingLineModeOffGetsTheRestAtOnce) {
  Start({"ab\r\ncd\r\nef"});
  socket.OnDataAvailable = [&](TObject*, Word) {
    Offers.push_back(socket.ReceiveStr());
    socket.SetLineMode(false);
  };
  Next();
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 2; }));
  EXPECT_EQ(Offers, (std::vector<std::string>{"ab\r\n", "cd\r\nef"}));
  EXPECT_EQ(socket.Held(), "");
}

TEST_F(LineTest, UnreadPartOfALineStaysFirstWhenTheModeGoesOff) {
  Start({"abcd\r\nef", "gh"});
  socket.OnDataAvailable = [&](TObject*, Word) {
    if (socket.GetLineMode()) {
      char two[2];
      ASSERT_EQ(socket.Receive(two, 2), 2);
      Offers.emplace_back(two, 2);
      socket.SetLineMode(false);
      return;
    }
    char buffer[3];  // small reads: the rest comes in several offers
    const Integer n = socket.Receive(buffer, sizeof buffer);
    if (n > 0) Offers.emplace_back(buffer, static_cast<size_t>(n));
  };
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.Held().empty() && Offers.size() == 3; }));
  EXPECT_EQ(Offers, (std::vector<std::string>{"ab", "cd\r", "\nef"}));
  Next();
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 4; }));
  EXPECT_EQ(Offers.back(), "gh");
}

TEST_F(LineTest, SwitchingOffFromOutsideOffersTheHeldBytesWithoutNewData) {
  Start({"ab\r\ncd"});
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.Held() == "cd"; }));
  socket.SetLineMode(false);
  EXPECT_EQ(socket.GetRcvdCount(), 2);
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 2; }));
  EXPECT_EQ(Offers, (std::vector<std::string>{"ab\r\n", "cd"}));
}

TEST_F(LineTest, SwitchingOnFindsLinesAmongHeldBytes) {
  // Held bytes of several lines (a handler switched the mode off without reading)
  // are split again once the mode comes back on.
  Start({"ab\r\ncd\r\nef\r\n"});
  socket.OnDataAvailable = [&](TObject*, Word) {
    if (socket.GetLineMode()) {
      Offers.push_back(socket.ReceiveStr());
      socket.SetLineMode(false);
    }
  };
  Next();
  ASSERT_TRUE(PumpUntil([&] { return socket.Held() == "cd\r\nef\r\n"; }));
  socket.OnDataAvailable = [&](TObject*, Word) { Offers.push_back(socket.ReceiveStr()); };
  socket.SetLineMode(true);
  ASSERT_TRUE(PumpUntil([&] { return Offers.size() == 3; }));
  EXPECT_EQ(Offers, (std::vector<std::string>{"ab\r\n", "cd\r\n", "ef\r\n"}));
}

// ---- SendLine -----------------------------------------------------------------------------

TEST_F(LineTest, SendLineAppendsTheLineEnd) {
  Start({});
  EXPECT_EQ(socket.SendLine("abc"), 5);
  EXPECT_EQ(socket.SendLine(""), 0);  // not even the line end
  socket.SetLineEnd("\n");
  EXPECT_EQ(socket.SendLine("d"), 2);
  socket.SetLineEnd("");
  EXPECT_EQ(socket.SendLine("e"), 1);
  EXPECT_EQ(AtPeer(), "abc\r\nd\ne");
}

TEST(WSocketLineSend, SendLineOnAClosedSocketFailsAndQueuesNothing) {
  TWSocket socket(nullptr);
  int errors = 0;
  socket.OnError = [&](TObject*) { ++errors; };
  EXPECT_EQ(socket.SendLine("abc"), -1);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(socket.GetLastError(), winsock::WSAENOTCONN);
}

// ---- ReadLine and the waits ------------------------------------------------------------------

TEST_F(LineTest, ReadLineReturnsOneLinePerCallAndRestoresTheSocket) {
  Start({"one\r\ntwo\r\nthr", "ee\r\n"});
  socket.SetLineMode(false);
  Next();
  AnsiString line;
  socket.ReadLine(5, line);
  EXPECT_EQ(line, "one\r\n");
  // The second line came in the same piece; it is kept for the next call.
  socket.ReadLine(5, line);
  EXPECT_EQ(line, "two\r\n");
  Next();
  socket.ReadLine(5, line);
  EXPECT_EQ(line, "three\r\n");
  EXPECT_FALSE(socket.GetLineMode());
  ASSERT_TRUE(socket.OnDataAvailable);
  EXPECT_TRUE(Offers.empty());
  EXPECT_EQ(socket.GetState(), wsConnected);
}

TEST_F(LineTest, ReadLineGivesWhatArrivedWhenThePeerClosesMidLine) {
  Start({"par", "close"});
  socket.SetLineMode(false);
  Next();
  Next();
  AnsiString line = "stale";
  socket.ReadLine(5, line);
  EXPECT_EQ(line, "par");
  EXPECT_EQ(socket.GetState(), wsClosed);
  EXPECT_EQ(Offers, std::vector<std::string>{"closed 0"});
}

TEST(WSocketReadLine, ReadLineOnAClosedSocketRaises) {
  TWSocket socket(nullptr);
  AnsiString line = "x";
  try {
    socket.ReadLine(1, line);
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "ReadLine failed: not connected");
  }
  EXPECT_EQ(line, "");
}

struct TimeoutCase {
  const char* name;
  Integer timeout;
  uint64_t ms;
  std::string sent;
};
void PrintTo(const TimeoutCase& c, std::ostream* os) { *os << c.name; }

class ReadLineTimeout : public LineTest, public ::testing::WithParamInterface<TimeoutCase> {};

// The virtual clock moves only from inside the wait: one millisecond short of the
// limit the call still waits, at the limit it returns what is held.
TEST_P(ReadLineTimeout, ReturnsWhatIsHeldWhenTimeRunsOut) {
  const TimeoutCase& c = GetParam();
  Start({c.sent});
  if (!c.sent.empty()) {
    Next();
    ASSERT_TRUE(PumpUntil([&] { return socket.Held() == c.sent; }));
  }
  sim::UseVirtualClock(1000);
  bool inside = false;
  ClockDriver clock(c.ms, inside);
  AnsiString line = "stale";
  inside = true;
  socket.ReadLine(c.timeout, line);
  inside = false;
  EXPECT_TRUE(clock.WaitedShortOfTheLimit);
  EXPECT_EQ(sim::NowMs(), 1000 + c.ms);
  EXPECT_EQ(line, c.sent);
  EXPECT_EQ(socket.Held(), "");
  EXPECT_TRUE(socket.GetLineMode());
  EXPECT_TRUE(Offers.empty());
}

INSTANTIATE_TEST_SUITE_P(WSocketReadLine, ReadLineTimeout,
                         ::testing::Values(TimeoutCase{"ZeroMeansSixtySeconds", 0, 60000, ""},
                                           TimeoutCase{"ZeroWithFiveBytesHeld", 0, 60000, "hello"},
                                           TimeoutCase{"PositiveIsSeconds", 2, 2000, "ab"},
                                           TimeoutCase{"NegativeIsMilliseconds", -1500, 1500, ""}),
                         [](const ::testing::TestParamInfo<TimeoutCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(WSocketWait, WaitUntilReadyAnswersZeroOnceTheFlagIsSet) {
  LineSocket socket(nullptr);
  Poster poster;
  bool done = false;
  int turns = 0;
  poster.Post([&] {
    done = ++turns == 3;
    return !done;
  });
  EXPECT_EQ(socket.WaitUntilReady(done), 0);
  EXPECT_EQ(turns, 3);
}

TEST(WSocketWait, SynchronizeClearsTheFlagAndRunsTheProcedureFirst) {
  LineSocket socket(nullptr);
  Poster poster;
  bool done = true;
  bool clearedBeforeProc = false;
  const Integer answer = socket.Synchronize(
      [&] {
        clearedBeforeProc = !done;
        poster.Post([&] {
          done = true;
          return false;
        });
      },
      done);
  EXPECT_EQ(answer, 0);
  EXPECT_TRUE(clearedBeforeProc);
}

TEST(WSocketWait, WaitUntilReadyFailsWhenItsTimeRunsOut) {
  LineSocket socket(nullptr);
  sim::UseVirtualClock(0xFFFFF000u);  // the tick count wraps during the wait
  socket.Timeout = 10000;
  bool inside = true;
  bool done = false;
  Integer answer = 0;
  {
    ClockDriver clock(10000, inside);
    answer = socket.WaitUntilReady(done);
    EXPECT_TRUE(clock.WaitedShortOfTheLimit);
  }
  EXPECT_EQ(answer, TCustomSyncWSocket::kWaitFailed);
  EXPECT_EQ(sim::NowMs(), uint64_t{0xFFFFF000u} + 10000);
  sim::UseRealClock();
}

TEST(WSocketWait, WaitUntilReadyFailsOnAQuitMessage) {
  LineSocket socket(nullptr);
  socket.SetMultiThreaded(true);  // its own pump notes the WM_QUIT
  PostQuitMessage(0);
  bool done = false;
  EXPECT_EQ(socket.WaitUntilReady(done), TCustomSyncWSocket::kWaitFailed);
  EXPECT_TRUE(socket.GetTerminated());
}

TEST(WSocketWaitDeathTest, WaitUntilReadyFailsWhenTheApplicationTerminates) {
  // In a child process: the application object stays terminated. The child runs
  // the test afresh, so it shares no message queue with this process.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        LineSocket socket(nullptr);
        Application->Terminate();
        bool done = false;
        std::_Exit(socket.WaitUntilReady(done) == TCustomSyncWSocket::kWaitFailed ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
