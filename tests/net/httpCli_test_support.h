// Helpers of the HTTP client tests: an event recorder for THttpCli, waits that
// pump the message loop, and canned cases served from tests/data.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "net/HttpProt.h"
#include "platform/rtl/Streams.h"
#include "tests/support/CannedServer.h"
#include "tests/support/Pump.h"

namespace httpclitest {

inline std::string StateName(THttpState state) {
  static const char* const names[] = {"ready",       "notconnected",     "connected",
                                      "dnslookup",   "dnslookupdone",    "waitingheader",
                                      "waitingbody", "bodyreceived",     "waitingproxyconnect",
                                      "closing",     "aborting"};
  return names[static_cast<int>(state)];
}

inline std::string KindName(THttpRequest kind) {
  static const char* const names[] = {"ABORT", "GET", "POST", "PUT", "HEAD", "CLOSE"};
  return names[static_cast<int>(kind)];
}

// Records the events of a client as short texts, in the order they fire:
//   "state <name>", "connected", "closed", "header-begin", "header-data",
//   "header-end", "doc-begin", "doc-data", "doc-end", "location", "cookie <value>",
//   "request-header-begin", "before-header-send", "request-header-end",
//   "send-begin", "send-data", "send-end", "push", "push2", "socket-error",
//   "done <kind> <code>".
// Every OnDocData byte is appended to Body. A hook runs after an event is recorded
// (for tests that act inside an event).
class CliLog {
 public:
  explicit CliLog(THttpCli& cli) : cli_(cli) {
    cli.OnStateChange = [this](TObject*) { Add("state " + StateName(cli_.GetState())); };
    cli.OnSessionConnected = [this](TObject*) { Add("connected"); };
    cli.OnSessionClosed = [this](TObject*) { Add("closed"); };
    cli.OnHeaderBegin = [this](TObject*) { Add("header-begin"); };
    cli.OnHeaderData = [this](TObject*) { Add("header-data"); };
    cli.OnHeaderEnd = [this](TObject*) { Add("header-end"); };
    cli.OnDocBegin = [this](TObject*) { Add("doc-begin"); };
    cli.OnDocData = [this](TObject*, const void* data, Integer len) {
      Body.append(static_cast<const char*>(data), static_cast<size_t>(len));
      ++DocDataCount;
      if (LogDocData) Add("doc-data");
      if (OnDocDataHook) OnDocDataHook(len);
    };
    cli.OnDocEnd = [this](TObject*) { Add("doc-end"); };
    cli.OnLocationChange = [this](TObject*) { Add("location"); };
    cli.OnCookie = [this](TObject*, const AnsiString& data, bool&) { Add("cookie " + data); };
    cli.OnRequestHeaderBegin = [this](TObject*) { Add("request-header-begin"); };
    cli.OnBeforeHeaderSend = [this](TObject*, const AnsiString&, TStrings*) {
      Add("before-header-send");
    };
    cli.OnRequestHeaderEnd = [this](TObject*) { Add("request-header-end"); };
    cli.OnSendBegin = [this](TObject*) { Add("send-begin"); };
    cli.OnSendData = [this](TObject*, const void*, Integer) { Add("send-data"); };
    cli.OnSendEnd = [this](TObject*) { Add("send-end"); };
    cli.OnDataPush = [this](TObject*, Word) { Add("push"); };
    cli.OnDataPush2 = [this](TObject*) { Add("push2"); };
    cli.OnSocketError = [this](TObject*) { Add("socket-error"); };
    cli.OnRequestDone = [this](TObject*, THttpRequest kind, Word code) {
      ++Done;
      LastKind = kind;
      LastCode = code;
      Add("done " + KindName(kind) + " " + std::to_string(code));
    };
  }
  ~CliLog() {
    cli_.OnStateChange = nullptr;
    cli_.OnSessionConnected = nullptr;
    cli_.OnSessionClosed = nullptr;
    cli_.OnHeaderBegin = nullptr;
    cli_.OnHeaderData = nullptr;
    cli_.OnHeaderEnd = nullptr;
    cli_.OnDocBegin = nullptr;
    cli_.OnDocData = nullptr;
    cli_.OnDocEnd = nullptr;
    cli_.OnLocationChange = nullptr;
    cli_.OnCookie = nullptr;
    cli_.OnRequestHeaderBegin = nullptr;
    cli_.OnBeforeHeaderSend = nullptr;
    cli_.OnRequestHeaderEnd = nullptr;
    cli_.OnSendBegin = nullptr;
    cli_.OnSendData = nullptr;
    cli_.OnSendEnd = nullptr;
    cli_.OnDataPush = nullptr;
    cli_.OnDataPush2 = nullptr;
    cli_.OnSocketError = nullptr;
    cli_.OnRequestDone = nullptr;
  }
  CliLog(const CliLog&) = delete;
  CliLog& operator=(const CliLog&) = delete;

  std::vector<std::string> Events;
  std::string Body;
  int DocDataCount = 0;
  int Done = 0;
  THttpRequest LastKind = httpABORT;
  Word LastCode = 0xFFFF;
  // Whether each OnDocData is recorded as an event ("doc-data").
  bool LogDocData = true;
  // Runs after an event has been recorded, with its text; and after each OnDocData
  // with its length.
  std::function<void(const std::string&)> Hook;
  std::function<void(Integer)> OnDocDataHook;

  bool Has(const std::string& event) const { return Index(event) >= 0; }
  int Count(const std::string& event) const {
    int n = 0;
    for (const std::string& e : Events) n += e == event ? 1 : 0;
    return n;
  }
  int Index(const std::string& event) const {
    for (size_t i = 0; i < Events.size(); ++i)
      if (Events[i] == event) return static_cast<int>(i);
    return -1;
  }
  // The events with runs of "doc-data" shown once.
  std::vector<std::string> Compact() const {
    std::vector<std::string> out;
    for (const std::string& e : Events)
      if (!(e == "doc-data" && !out.empty() && out.back() == "doc-data")) out.push_back(e);
    return out;
  }
  void Clear() {
    Events.clear();
    Body.clear();
    DocDataCount = 0;
    Done = 0;
  }

 private:
  void Add(const std::string& event) {
    Events.push_back(event);
    if (Hook) Hook(event);
  }
  THttpCli& cli_;
};

// Pumps until the log has seen count OnRequestDone in all.
inline bool WaitDone(CliLog& log, int count = 1, uint32_t timeoutMs = 20000) {
  return larktest::PumpUntil([&] { return log.Done >= count; }, timeoutMs);
}

// Lets every message that is already due run (a late, stale message included):
// pumps until the loop is idle.
inline void Settle() { EXPECT_TRUE(larktest::PumpUntilIdle()); }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline std::string DataPath(const std::string& name) { return std::string(LARK_TEST_DATA) + "/" + name; }

// Loads the case file tests/data/<folder>/<name>, with every key of replace
// replaced by its value, and starts serving it; false after a test failure.
inline bool ServeCase(larktest::CannedServer& server, const std::string& folder, const std::string& name,
                      const std::map<std::string, std::string>& replace = {}) {
  std::string text = ReadFile(DataPath(folder + "/" + name));
  if (text.empty()) {
    ADD_FAILURE() << "missing case " << name;
    return false;
  }
  for (const auto& entry : replace) {
    const std::string& key = entry.first;
    const std::string& value = entry.second;
    for (size_t at = 0; (at = text.find(key, at)) != std::string::npos; at += value.size())
      text.replace(at, key.size(), value);
  }
  const std::string error = server.LoadCaseText(text, name);
  if (!error.empty()) {
    ADD_FAILURE() << error;
    return false;
  }
  return server.Start();
}

inline std::string MemoryText(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

}  // namespace httpclitest
