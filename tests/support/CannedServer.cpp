#include "tests/support/CannedServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace larktest {

namespace {

using Clock = std::chrono::steady_clock;

// What one case file may make the server send in one fill.
constexpr uint64_t MaxFillBytes = 64u << 20;
// How long a graceful close waits for the client to close its side.
constexpr auto LingerTime = std::chrono::seconds(2);

const std::string DefaultMarker = "\r\n\r\n";

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char ch : bytes) {
    if (ch == '\r') out += "\\r";
    else if (ch == '\n') out += "\\n";
    else if (ch == '\\') out += "\\\\";
    else if (ch < 0x20 || ch >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", ch);
      out += hex;
    } else out += static_cast<char>(ch);
  }
  return out;
}

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Decodes \r \n \t \0 \\ \xHH; anything else after a backslash is an error.
bool Unescape(const std::string& in, std::string* out, std::string* error) {
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      *out += in[i];
      continue;
    }
    if (++i == in.size()) {
      *error = "a backslash ends the line (write \\\\ for one)";
      return false;
    }
    switch (in[i]) {
      case 'r': *out += '\r'; break;
      case 'n': *out += '\n'; break;
      case 't': *out += '\t'; break;
      case '0': *out += '\0'; break;
      case '\\': *out += '\\'; break;
      case 'x': {
        const int hi = i + 1 < in.size() ? HexDigit(in[i + 1]) : -1;
        const int lo = i + 2 < in.size() ? HexDigit(in[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
          *error = "\\x needs two hexadecimal digits";
          return false;
        }
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        *error = std::string("unknown escape \\") + in[i];
        return false;
    }
  }
  return true;
}

bool ParseNumber(const std::string& word, uint64_t max, uint64_t* value) {
  if (word.empty()) return false;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), *value);
  return ec == std::errc() && end == word.data() + word.size() && *value <= max;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
    text.replace(pos, from.size(), to);
}

bool IsDirective(const std::string& line) {
  for (const char* prefix : {"---", ">>>", "<<<", "...", "==="})
    if (line.compare(0, 3, prefix) == 0 && (line.size() == 3 || line[3] == ' ')) return true;
  return false;
}

}  // namespace

bool IsClientLine(const std::string& line) {
  return line.compare(0, 3, ":::") == 0 && (line.size() == 3 || line[3] == ' ');
}

bool UnescapeCaseText(const std::string& in, std::string* out, std::string* error) {
  return Unescape(in, out, error);
}

namespace {

// The script of a connection that was not expected: close it at once.
const CannedScript UnexpectedScript = {CannedStep{CannedStep::Close, {}, 0, 0, 0}};

}  // namespace

struct CannedServer::Connection {
  enum State { Running, Holding, Draining, Ended };
  int fd = -1;
  size_t index = 0;  // in the order of acceptance
  const CannedScript* script = nullptr;
  bool scripted = false;
  State state = Running;
  size_t step = 0;
  std::string pending;  // received and not yet consumed by an expect step
  size_t received = 0;
  bool peerClosed = false;
  uint64_t sent = 0;     // of the current send step
  bool waiting = false;  // for wakeAt: a delay step, or between pieces of a slow send
  bool wantWrite = false;
  Clock::time_point wakeAt{};
};

std::string CannedServer::LoadCase(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot be read";
  std::ostringstream text;
  text << in.rdbuf();
  return LoadCaseText(text.str(), path);
}

std::string CannedServer::LoadCaseText(const std::string& text, const std::string& name) {
  if (thread_.joinable()) return name + ": the server has started already";
  std::vector<CannedScript> scripts;
  CannedStep* dataStep = nullptr;  // the send step that data lines add to
  int lineNumber = 0;
  auto fail = [&](const std::string& what) { return name + ":" + std::to_string(lineNumber) + ": " + what; };

  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Comments, and the client's part of the case, which the test reads.
    if (line.empty() || line[0] == '#' || IsClientLine(line)) continue;
    ReplaceAll(line, "${PORT}", std::to_string(port_));
    std::string error;

    if (!IsDirective(line)) {
      if (dataStep == nullptr) return fail("data outside a send step: \"" + line + "\"");
      if (!Unescape(line, &dataStep->text, &error)) return fail(error);
      continue;
    }
    if (dataStep != nullptr && dataStep->text.empty()) return fail("the send step before has no data");
    dataStep = nullptr;

    const std::string kind = line.substr(0, 3);
    const std::vector<std::string> words = Words(line.substr(3));
    if (kind == "---") {
      if (words.size() != 1 || words[0] != "connection") return fail("expected \"--- connection\"");
      scripts.emplace_back();
      continue;
    }
    if (scripts.empty()) return fail("a step before the first \"--- connection\"");
    CannedStep step;
    step.line = lineNumber;
    uint64_t n = 0, ms = 0;
    const std::string verb = words.empty() ? std::string() : words[0];
    if (kind == ">>>" && verb == "expect") {
      step.kind = CannedStep::Expect;
      if (words.size() == 1) {
        step.text = DefaultMarker;
      } else if (words.size() == 3 && words[1] == "until") {
        if (!Unescape(words[2], &step.text, &error)) return fail(error);
      } else if (words.size() == 3 && words[1] == "bytes") {
        if (!ParseNumber(words[2], MaxRequestBytes, &n) || n == 0)
          return fail("expect bytes needs a count from 1 to " + std::to_string(MaxRequestBytes));
        step.kind = CannedStep::ExpectBytes;
        step.count = n;
      } else {
        return fail("expected \">>> expect\", \">>> expect until TEXT\" or \">>> expect bytes N\"");
      }
    } else if (kind == "<<<" && verb == "send") {
      step.kind = CannedStep::Send;
      if (words.size() == 4 && words[1] == "slowly") {
        if (!ParseNumber(words[2], MaxFillBytes, &n) || n == 0 || !ParseNumber(words[3], 60000, &ms))
          return fail("expected \"<<< send slowly BYTES MILLISECONDS\"");
        step.count = n;
        step.delayMs = static_cast<uint32_t>(ms);
      } else if (words.size() != 1) {
        return fail("expected \"<<< send\" or \"<<< send slowly BYTES MILLISECONDS\"");
      }
    } else if (kind == "<<<" && verb == "fill") {
      // The text is the rest of the line after the count, spaces and all.
      const size_t countAt = line.find("fill") + 5;
      const size_t textAt = line.find(' ', countAt);
      std::string pattern;
      if (textAt == std::string::npos || !ParseNumber(line.substr(countAt, textAt - countAt), MaxFillBytes, &n) ||
          !Unescape(line.substr(textAt + 1), &pattern, &error) || pattern.empty() ||
          n * pattern.size() > MaxFillBytes)
        return fail("expected \"<<< fill COUNT TEXT\" making at most " + std::to_string(MaxFillBytes) + " bytes" +
                    (error.empty() ? std::string() : ": " + error));
      step.kind = CannedStep::Send;
      step.text.reserve(static_cast<size_t>(n * pattern.size()));
      for (uint64_t i = 0; i < n; ++i) step.text += pattern;
    } else if (kind == "..." && verb == "delay") {
      if (words.size() != 2 || !ParseNumber(words[1], 60000, &ms))
        return fail("expected \"... delay MILLISECONDS\" (at most 60000)");
      step.kind = CannedStep::Delay;
      step.delayMs = static_cast<uint32_t>(ms);
    } else if (kind == "===" && words.size() == 1 && (verb == "close" || verb == "reset")) {
      step.kind = verb == "close" ? CannedStep::Close : CannedStep::Reset;
    } else {
      return fail("unknown step \"" + line + "\"");
    }
    if (!scripts.back().empty() && (scripts.back().back().kind == CannedStep::Close ||
                                    scripts.back().back().kind == CannedStep::Reset))
      return fail("a step after the connection has ended");
    scripts.back().push_back(step);
    if (step.kind == CannedStep::Send && verb == "send") dataStep = &scripts.back().back();
  }
  if (dataStep != nullptr && dataStep->text.empty()) return fail("the last send step has no data");
  if (scripts.empty()) return name + ": no \"--- connection\" in the case";
  scripts_ = std::move(scripts);
  return {};
}

CannedServer::CannedServer() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listenFd_, 64) != 0 || getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0 ||
      pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
    ADD_FAILURE() << "CannedServer cannot listen: " << std::strerror(errno);
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
    return;
  }
  port_ = ntohs(addr.sin_port);
}

CannedServer::~CannedServer() { Stop(); }

bool CannedServer::Start() {
  if (listenFd_ < 0 || thread_.joinable()) return false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void CannedServer::Stop() {
  if (thread_.joinable()) {
    const char byte = 1;
    while (write(wakeFds_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

std::string CannedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> CannedServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::string> CannedServer::Errors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return errors_;
}

bool CannedServer::Done() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_ == scripts_.size();
}

void CannedServer::AddError(const Connection& c, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  errors_.push_back("connection " + std::to_string(c.index + 1) + ": " + text);
}

void CannedServer::Finish(Connection& c, bool reset, bool byStop) {
  if (c.state == Connection::Ended) return;
  if (reset) {
    const linger abort{1, 0};
    setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }
  close(c.fd);
  c.fd = -1;
  c.state = Connection::Ended;
  if (c.scripted && !byStop) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++finished_;
  }
}

void CannedServer::ReadFrom(Connection& c) {
  char buffer[64 * 1024];
  while (c.state != Connection::Ended && !c.peerClosed) {
    const ssize_t n = recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {  // end of stream, or a reset from the client
      c.peerClosed = true;
      return;
    }
    const size_t count = static_cast<size_t>(n);
    if (c.received + count > MaxRequestBytes) {
      AddError(c, "the request is over " + std::to_string(MaxRequestBytes) + " bytes; connection reset");
      Finish(c, true);
      return;
    }
    c.received += count;
    if (c.state == Connection::Running) c.pending.append(buffer, count);
    std::lock_guard<std::mutex> lock(mutex_);
    requests_[c.index].append(buffer, count);
  }
}

// Runs the connection's steps as far as they go without waiting.
void CannedServer::Advance(Connection& c) {
  const auto now = Clock::now();
  c.wantWrite = false;
  if (c.state == Connection::Holding && c.peerClosed) Finish(c, false);
  if (c.state == Connection::Draining && (c.peerClosed || now >= c.wakeAt)) Finish(c, false);
  while (c.state == Connection::Running) {
    if (c.step == c.script->size()) {
      c.state = Connection::Holding;
      if (c.peerClosed) Finish(c, false);
      return;
    }
    const CannedStep& step = (*c.script)[c.step];
    switch (step.kind) {
      case CannedStep::Expect:
      case CannedStep::ExpectBytes: {
        const size_t end = step.kind == CannedStep::ExpectBytes
                               ? (c.pending.size() >= step.count ? static_cast<size_t>(step.count) : std::string::npos)
                               : c.pending.find(step.text);
        if (end == std::string::npos) {
          if (!c.peerClosed) return;
          AddError(c, "the client closed the connection before " +
                          (step.kind == CannedStep::ExpectBytes ? std::to_string(step.count) + " bytes"
                                                                : "\"" + Printable(step.text) + "\"") +
                          " (line " + std::to_string(step.line) + ")");
          Finish(c, false);
          return;
        }
        c.pending.erase(0, step.kind == CannedStep::ExpectBytes ? end : end + step.text.size());
        ++c.step;
        break;
      }
      case CannedStep::Send: {
        if (c.waiting) {
          if (now < c.wakeAt) return;
          c.waiting = false;
        }
        const uint64_t size = step.text.size();
        uint64_t piece = size - c.sent;
        if (step.count != 0 && step.count - c.sent % step.count < piece) piece = step.count - c.sent % step.count;
        const ssize_t n = send(c.fd, step.text.data() + c.sent, static_cast<size_t>(piece), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) break;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
          c.wantWrite = true;
          return;
        }
        if (n < 0) {
          AddError(c, std::string("send failed: ") + std::strerror(errno) + " (line " + std::to_string(step.line) + ")");
          Finish(c, false);
          return;
        }
        c.sent += static_cast<uint64_t>(n);
        if (c.sent == size) {
          c.sent = 0;
          ++c.step;
        } else if (step.count != 0 && c.sent % step.count == 0 && step.delayMs != 0) {
          c.waiting = true;
          c.wakeAt = now + std::chrono::milliseconds(step.delayMs);
          return;
        }
        break;
      }
      case CannedStep::Delay:
        if (!c.waiting) {
          c.waiting = true;
          c.wakeAt = now + std::chrono::milliseconds(step.delayMs);
        }
        if (now < c.wakeAt) return;
        c.waiting = false;
        ++c.step;
        break;
      case CannedStep::Close:
        // Keep reading until the client closes too: closing with unread input
        // would send a reset and could destroy the response in flight.
        shutdown(c.fd, SHUT_WR);
        ++c.step;
        c.state = Connection::Draining;
        c.wakeAt = now + LingerTime;
        if (c.peerClosed) Finish(c, false);
        return;
      case CannedStep::Reset:
        ++c.step;
        Finish(c, true);
        return;
    }
  }
}

void CannedServer::Serve() {
  std::vector<Connection> connections;
  std::vector<pollfd> fds;
  for (;;) {
    // Work out what each live connection waits for, and until when.
    fds.clear();
    fds.push_back({wakeFds_[0], POLLIN, 0});
    fds.push_back({listenFd_, POLLIN, 0});
    auto deadline = Clock::time_point::max();
    std::vector<Connection*> polled;
    for (Connection& c : connections) {
      if (c.state == Connection::Ended) continue;
      short events = 0;
      if (!c.peerClosed) events |= POLLIN;
      if (c.wantWrite) events |= POLLOUT;
      if ((c.waiting || c.state == Connection::Draining) && c.wakeAt < deadline) deadline = c.wakeAt;
      // poll skips a negative descriptor: nothing to wait for but the clock.
      fds.push_back({events != 0 ? c.fd : -1, events, 0});
      polled.push_back(&c);
    }
    int timeoutMs = -1;
    if (deadline != Clock::time_point::max()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      timeoutMs = left < 0 ? 0 : static_cast<int>(left) + 1;
    }
    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents != 0) break;  // Stop

    for (size_t i = 0; i < polled.size(); ++i) {
      Connection& c = *polled[i];
      if (fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) ReadFrom(c);
      Advance(c);
    }
    if (fds[1].revents & POLLIN) {
      for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) break;
        Connection c;
        c.fd = fd;
        c.index = connections.size();
        c.scripted = c.index < scripts_.size();
        c.script = c.scripted ? &scripts_[c.index] : &UnexpectedScript;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          requests_.emplace_back();
        }
        if (!c.scripted) AddError(c, "not in the script; closed");
        connections.push_back(std::move(c));
        Advance(connections.back());
      }
    }
  }
  for (Connection& c : connections)
    if (c.state != Connection::Ended) Finish(c, true, true);
}

}  // namespace larktest
