// The HTTP client against every canned case in tests/data/http that has a client
// part (lines starting with ":::", described in tests/data/http/README): the test
// makes the request the case names, serves the case, and checks what the client
// sent and observed. A new case of this kind is a new file, with no code.
//
// Whatever the case says, a request ends exactly once, the client is ready again,
// every body byte counted reached OnDocData and the receive stream, and a document
// that began also ended, once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "net/HttpProt.h"
#include "platform/rtl/Streams.h"
#include "tests/net/httpCli_test_support.h"
#include "tests/support/CannedServer.h"

namespace {

using httpclitest::CliLog;
using httpclitest::MemoryText;
using httpclitest::WaitDone;
using larktest::CannedServer;

// The client's part of a case.
struct ClientCase {
  std::string name;  // the file's name
  std::string error;  // what is wrong with the client part, or ""
  std::string method = "GET";
  std::string path = "/doc";
  std::string version = "1.0";
  std::vector<std::string> sends;      // the first request starts with each (in order)
  std::vector<std::string> sendLines;  // lines the first request holds
  // Expectations on the client after the request, as (what, value).
  std::vector<std::pair<std::string, std::string>> expect;
};

void PrintTo(const ClientCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(by, from);
    std::string part = text.substr(from, at == std::string::npos ? std::string::npos : at - from);
    const size_t first = part.find_first_not_of(' ');
    const size_t last = part.find_last_not_of(' ');
    parts.push_back(first == std::string::npos ? std::string() : part.substr(first, last - first + 1));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

// Reads the ":::" lines of a case file; every line is "::: WORD REST".
ClientCase ReadClientCase(const std::string& name) {
  ClientCase c;
  c.name = name;
  const std::string text = httpclitest::ReadFile(httpclitest::DataPath("http/" + name));
  size_t lineStart = 0;
  int lineNumber = 0;
  while (lineStart < text.size() && c.error.empty()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    std::string line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!larktest::IsClientLine(line)) continue;
    const std::string rest = line.size() > 4 ? line.substr(4) : std::string();
    const size_t space = rest.find(' ');
    const std::string word = rest.substr(0, space);
    const std::string argument = space == std::string::npos ? std::string() : rest.substr(space + 1);
    std::string decoded, error;
    if (!larktest::UnescapeCaseText(argument, &decoded, &error)) {
      c.error = name + ":" + std::to_string(lineNumber) + ": " + error;
      break;
    }
    if (word == "request") {
      const std::vector<std::string> words = Split(argument, ' ');
      if (words.size() < 2 || words.size() > 3 || (words[0] != "GET" && words[0] != "HEAD")) {
        c.error = name + ":" + std::to_string(lineNumber) + ": expected \"::: request GET|HEAD PATH [VERSION]\"";
        break;
      }
      c.method = words[0];
      c.path = words[1];
      if (words.size() == 3) c.version = words[2];
    } else if (word == "sends") {
      c.sends.push_back(decoded);
    } else if (word == "sends-line") {
      c.sendLines.push_back(decoded);
    } else if (word == "status" || word == "content-length" || word == "content-type" ||
               word == "transfer-coding" || word == "body" || word == "done" || word == "count" ||
               word == "no-event" || word == "events" || word == "header-line" ||
               word == "header-lines-below" || word == "doc-data-count") {
      c.expect.emplace_back(word, decoded);
    } else {
      c.error = name + ":" + std::to_string(lineNumber) + ": unknown client line \"" + line + "\"";
    }
  }
  return c;
}

// Every case file with a client part, by name.
std::vector<ClientCase> ClientCases() {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(httpclitest::DataPath("http"), ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".case") continue;
    const std::string text = httpclitest::ReadFile(it->path().string());
    if (text.rfind("::: ", 0) == 0 || text.find("\n::: ") != std::string::npos)
      names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::vector<ClientCase> cases;
  for (const std::string& name : names) cases.push_back(ReadClientCase(name));
  return cases;
}

std::string Number(const std::string& text) { return text.empty() ? "0" : text; }

class HttpCliCase : public ::testing::TestWithParam<ClientCase> {};

TEST_P(HttpCliCase, ClientSendsAndObservesWhatTheCaseSays) {
  const ClientCase& c = GetParam();
  ASSERT_TRUE(c.error.empty()) << c.error;
  CannedServer server;
  ASSERT_TRUE(httpclitest::ServeCase(server, "http", c.name));
  THttpCli cli(nullptr);
  CliLog log(cli);
  TMemoryStream stream;
  cli.SetRcvdStream(&stream);
  cli.SetRequestVer(c.version);
  cli.SetURL(server.Url(c.path));
  if (c.method == "HEAD") cli.HeadASync();
  else cli.GetASync();
  ASSERT_TRUE(WaitDone(log, 1, 10000)) << ::testing::PrintToString(log.Events);

  // What every request keeps.
  EXPECT_TRUE(MemoryText(stream) == log.Body);
  EXPECT_EQ(cli.GetRcvdCount(), static_cast<Integer>(log.Body.size()));
  EXPECT_EQ(cli.GetState(), httpReady);
  EXPECT_EQ(log.Count("doc-begin"), log.Count("doc-end"));
  EXPECT_LE(log.Count("doc-end"), 1);

  bool bodyNamed = false;
  for (const auto& [what, value] : c.expect) {
    SCOPED_TRACE("::: " + what + " " + value);
    if (what == "status") {
      EXPECT_EQ(std::to_string(cli.GetStatusCode()), value);
    } else if (what == "content-length") {
      EXPECT_EQ(std::to_string(cli.GetContentLength()), value);
    } else if (what == "content-type") {
      EXPECT_EQ(cli.GetContentType(), value);
    } else if (what == "transfer-coding") {
      EXPECT_EQ(cli.GetTransferCoding(), value);
    } else if (what == "body") {
      bodyNamed = true;
      EXPECT_TRUE(log.Body == value) << "body: " << ::testing::PrintToString(log.Body);
    } else if (what == "done") {
      EXPECT_EQ(std::to_string(log.LastCode), Number(value));
    } else if (what == "doc-data-count") {
      EXPECT_EQ(std::to_string(log.DocDataCount), value);
    } else if (what == "count" || what == "no-event") {
      const size_t space = value.rfind(' ');
      const std::string event = what == "no-event" ? value : value.substr(0, space);
      const std::string count = what == "no-event" ? "0" : value.substr(space + 1);
      EXPECT_EQ(std::to_string(log.Count(event)), count) << event << " in " << ::testing::PrintToString(log.Events);
    } else if (what == "events") {
      // In this order, other events allowed between them.
      size_t at = 0;
      for (const std::string& event : Split(value, ',')) {
        while (at < log.Events.size() && log.Events[at] != event) ++at;
        EXPECT_LT(at, log.Events.size()) << event << " missing or out of order in "
                                         << ::testing::PrintToString(log.Events);
        if (at < log.Events.size()) ++at;
      }
    } else if (what == "header-line") {
      const size_t space = value.find(' ');
      const int index = std::stoi(value.substr(0, space));
      const std::string line = space == std::string::npos ? std::string() : value.substr(space + 1);
      TStrings* lines = cli.GetResponseHeaderLines();
      ASSERT_LT(index, lines->GetCount());
      EXPECT_TRUE(lines->Strings(index) == line) << ::testing::PrintToString(lines->Strings(index));
    } else if (what == "header-lines-below") {
      EXPECT_LT(cli.GetResponseHeaderLines()->GetCount(), std::stoi(value));
    }
  }
  // A case that names no body expects none.
  if (!bodyNamed) {
    EXPECT_EQ(log.Body, "");
  }

  if (!c.sends.empty() || !c.sendLines.empty()) {
    ASSERT_TRUE(larktest::PumpUntil([&] { return server.Done(); }));
    ASSERT_FALSE(server.Requests().empty());
    const std::string request = server.Requests()[0];
    const std::string port = std::to_string(server.Port());
    size_t at = 0;
    for (std::string expected : c.sends) {
      for (size_t p = 0; (p = expected.find("${PORT}", p)) != std::string::npos;) expected.replace(p, 7, port);
      EXPECT_EQ(request.substr(at, expected.size()), expected);
      at += expected.size();
    }
    for (std::string expected : c.sendLines) {
      for (size_t p = 0; (p = expected.find("${PORT}", p)) != std::string::npos;) expected.replace(p, 7, port);
      EXPECT_NE(("\r\n" + request).find("\r\n" + expected + "\r\n"), std::string::npos)
          << "no line \"" << expected << "\" in " << request;
    }
  }

  // Nothing more arrives later.
  httpclitest::Settle();
  EXPECT_EQ(log.Done, 1);
}

INSTANTIATE_TEST_SUITE_P(HttpCliCanned, HttpCliCase, ::testing::ValuesIn(ClientCases()),
                         [](const ::testing::TestParamInfo<ClientCase>& info) {
                           std::string name = info.param.name.substr(0, info.param.name.rfind('.'));
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
