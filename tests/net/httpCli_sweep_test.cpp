// Sweeps over the HTTP client: a download whose first, second, third, ... socket or
// file operation fails; and every event of every canned exchange (tests/data/http)
// with the request aborted, or a new one started, from inside its handler.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "net/HttpProt.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "tests/net/httpCli_test_support.h"
#include "tests/support/CannedServer.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"
#include "tests/support/Sweep.h"

namespace {

using httpclitest::CliLog;
using httpclitest::WaitDone;
using larktest::CannedServer;
using larktest::NginxServer;

const char kOkDocument[] = "the follow-up document\n";

// The client is ready and a plain download on it goes through, with one answer.
void ExpectUsable(THttpCli& cli, CliLog& log, NginxServer& nginx) {
  log.Clear();
  cli.SetRcvdStream(nullptr);
  // A Content-Range answer asks for the rest next time; the follow-up wants it all.
  cli.SetContentRangeBegin("");
  cli.SetContentRangeEnd("");
  cli.SetURL(nginx.Url("/ok.txt"));
  ASSERT_EQ(cli.GetState(), httpReady);
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log, 1, 20000)) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_EQ(log.LastCode, 0);
  EXPECT_EQ(log.Body, kOkDocument);
  httpclitest::Settle();
  EXPECT_EQ(log.Done, 1) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(cli.GetState(), httpReady);
}

// ---- A download with a failure in each of its operations ---------------------------

TEST(HttpCliSweep, DownloadReportsAFailureOfEachSocketAndFileOperation) {
  NginxServer nginx;
  ASSERT_TRUE(nginx.Start());
  nginx.WriteFile("ok.txt", kOkDocument);
  const std::string source = nginx.AddPatternFile("doc.bin", 48 * 1024);
  ASSERT_FALSE(source.empty());
  const std::string whole = httpclitest::ReadFile(source);
  larktest::TempDir dir;
  const std::string path = dir.Path() + "doc.bin";

  THttpCli cli(nullptr);
  CliLog log(cli);
  log.LogDocData = false;
  const int operations = larktest::SweepFaults(
      {sim::Fault::SocketConnect, sim::Fault::SocketSend, sim::Fault::SocketRecv, sim::Fault::FileWrite},
      [&](int) {
        log.Clear();
        bool done;
        bool reached;
        {
          TFileStream file(path, fmCreate);
          cli.SetRcvdStream(&file);
          cli.SetURL(nginx.Url("/doc.bin"));
          cli.GetASync();
          done = WaitDone(log, 1, 20000);
          reached = larktest::FaultReached();
          cli.SetRcvdStream(nullptr);
        }
        EXPECT_TRUE(done) << ::testing::PrintToString(log.Events);
        httpclitest::Settle();
        EXPECT_EQ(log.Done, 1) << ::testing::PrintToString(log.Events);
        EXPECT_EQ(cli.GetState(), httpReady);
        const bool whole200 = log.LastCode == 0 && cli.GetStatusCode() == 200;
        if (!reached) {
          EXPECT_TRUE(whole200) << cli.GetStatusCode() << " " << log.LastCode;
        }
        // A download reported whole is whole, on disk and in the events.
        if (whole200) {
          EXPECT_TRUE(httpclitest::ReadFile(path) == whole) << "a short document reported whole";
          EXPECT_TRUE(log.Body == whole);
        }
        ExpectUsable(cli, log, nginx);
        return reached;
      });
  EXPECT_GE(operations, 5);
}

// ---- Every event of every canned exchange, with an abort or a new request ----------

std::vector<std::string> CaseFiles() {
  std::vector<std::string> names;
  const std::string folder = std::string(LARK_TEST_DATA) + "/http";
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name.size() > 5 && name.compare(name.size() - 5, 5, ".case") == 0) names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

enum class Act { Abort, NewRequest };

class HttpCliEventSweep : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(nginx.Start());
    nginx.WriteFile("ok.txt", kOkDocument);
  }

  bool Serve(CannedServer& server) {
    return httpclitest::ServeCase(server, "http", GetParam(),
                                  {{"@LOCATION@", "/next"}, {"@CHALLENGE@", "TlRMTVNTUAACAAAAAAAAAAAAAAA="}});
  }

  // Runs the exchange once; `act` runs inside the handler of event number `at` (from
  // 0), or never for -1. Answers the events the exchange had up to its end.
  std::vector<std::string> Run(int at, Act act) {
    CannedServer server;
    if (!Serve(server)) return {};
    THttpCli cli(nullptr);
    CliLog log(cli);
    log.LogDocData = false;
    TMemoryStream body;
    cli.SetRcvdStream(&body);
    cli.SetUsername("user");
    cli.SetPassword("pass");
    int seen = 0;
    bool acted = false;
    bool started = false;
    bool abortedReady = false;  // an Abort on a ready client answers at once, once more
    size_t startedAt = 0;
    log.Hook = [&](const std::string&) {
      if (seen++ != at || acted) return;
      acted = true;
      if (act == Act::Abort) {
        abortedReady = cli.GetState() == httpReady;
        cli.Abort();
        return;
      }
      if (cli.GetState() != httpReady) return;  // a busy client refuses; nothing to see
      cli.SetRcvdStream(nullptr);
      cli.SetContentRangeBegin("");
      cli.SetContentRangeEnd("");
      cli.SetURL(nginx.Url("/ok.txt"));
      cli.GetASync();
      started = true;
      startedAt = log.Events.size();
    };
    cli.SetURL(server.Url("/doc"));
    cli.GetASync();
    // The exchange ends by itself, or (a silent or slow server) once the test aborts
    // it. An abort lets a pending relocation go on, whose request the test may have
    // to abort in turn.
    int testAborts = 0;
    while (!larktest::PumpUntil([&] { return cli.GetState() == httpReady && log.Done > 0; }, 1000) &&
           testAborts < 3) {
      log.Hook = nullptr;
      cli.Abort();
      ++testAborts;
    }
    log.Hook = nullptr;
    if (started) {
      EXPECT_TRUE(larktest::PumpUntil([&] {
        return cli.GetState() == httpReady && log.Events.size() > startedAt && log.Events.back().rfind("done ", 0) == 0;
      }, 20000)) << ::testing::PrintToString(log.Events);
      EXPECT_EQ(cli.GetStatusCode(), 200);
      EXPECT_EQ(log.Body.substr(log.Body.size() - std::min(log.Body.size(), sizeof kOkDocument - 1)),
                kOkDocument);
    }
    httpclitest::Settle();
    const std::vector<std::string> seenEvents = log.Events;
    const int events = static_cast<int>(log.Events.size());
    EXPECT_EQ(cli.GetState(), httpReady) << ::testing::PrintToString(log.Events);
    // One answer for the exchange, and one for the request started inside it.
    EXPECT_LE(log.Done, 1 + (started ? 1 : 0) + (abortedReady ? 1 : 0) + testAborts)
        << ::testing::PrintToString(log.Events);
    // A kept-alive connection closes with the server, and nothing else comes.
    server.Stop();
    EXPECT_TRUE(larktest::PumpUntil([&] { return cli.GetState() == httpReady; }));
    httpclitest::Settle();
    for (size_t i = static_cast<size_t>(events); i < log.Events.size(); ++i)
      EXPECT_EQ(log.Events[i], "closed") << "a stale event: " << ::testing::PrintToString(log.Events);
    ExpectUsable(cli, log, nginx);
    return seenEvents;
  }

  NginxServer nginx;
};

// The events where the sweep acts: all of them, except that of a run of the same
// event (40,000 header lines) the first two and the last stand for the rest.
std::vector<int> SweptEvents(const std::vector<std::string>& events) {
  std::vector<int> at;
  for (size_t i = 0; i < events.size(); ++i) {
    const bool sameAsBefore = i > 0 && events[i] == events[i - 1];
    const bool sameTwoBefore = i > 1 && events[i] == events[i - 2];
    const bool sameAfter = i + 1 < events.size() && events[i] == events[i + 1];
    if (!(sameAsBefore && sameTwoBefore && sameAfter)) at.push_back(static_cast<int>(i));
  }
  return at;
}

TEST_P(HttpCliEventSweep, AbortOrANewRequestInsideEveryEventEndsCleanly) {
  const std::vector<std::string> events = Run(-1, Act::Abort);
  ASSERT_FALSE(events.empty());
  for (const int at : SweptEvents(events)) {
    for (const Act act : {Act::Abort, Act::NewRequest}) {
      SCOPED_TRACE((act == Act::Abort ? "abort in event " : "new request in event ") + std::to_string(at));
      Run(at, act);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(HttpCliCanned, HttpCliEventSweep, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(0, info.param.size() - 5);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace

