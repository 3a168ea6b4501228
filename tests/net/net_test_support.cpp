// The system's socket headers come before the Winsock stand-in's.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/net/net_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

namespace nettest {

namespace {

const char* const Prelude =
    "import socket, sys, time, os, hashlib\n"
    "def recv_exactly(c, n):\n"
    "    data = b''\n"
    "    while len(data) < n:\n"
    "        piece = c.recv(n - len(data))\n"
    "        if not piece: break\n"
    "        data += piece\n"
    "    return data\n";

std::string Indent(const std::string& body) {
  std::string out = "    ";
  for (char ch : body) {
    out += ch;
    if (ch == '\n') out += "    ";
  }
  return out + "\n";
}

}  // namespace

bool PythonServer::Start(const std::string& body, const std::vector<std::string>& args) {
  if (larktest::RequireProgram(Python).empty()) return false;
  const std::string script = std::string(Prelude) +
                             "srv = socket.socket()\n"
                             "srv.bind(('127.0.0.1', 0))\n"
                             "srv.listen(5)\n"
                             "print('ready %d' % srv.getsockname()[1], flush=True)\n"
                             "c, _ = srv.accept()\n"
                             "if True:\n" +
                             Indent(body);
  std::vector<std::string> argv = {Python, "-u", "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  if (!process_.Start(argv)) return false;
  if (!process_.WaitForOutput("ready ")) {
    ADD_FAILURE() << "the python peer did not start:\n" << process_.Log();
    return false;
  }
  const std::string log = process_.Log();
  port_ = static_cast<uint16_t>(std::stoi(log.substr(log.find("ready ") + 6)));
  return true;
}

RefusingPort::RefusingPort() {
  fd_ = ::socket(winsock::AF_INET, winsock::SOCK_STREAM | SOCK_CLOEXEC, 0);
  ::sockaddr_in addr{};
  addr.sin_family = winsock::AF_INET;
  addr.sin_addr.s_addr = ::htonl(winsock::INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<::sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd_, reinterpret_cast<::sockaddr*>(&addr), &length) != 0) {
    ADD_FAILURE() << "cannot reserve a port";
    return;
  }
  port_ = ::ntohs(addr.sin_port);
}

RefusingPort::~RefusingPort() {
  if (fd_ >= 0) ::close(fd_);
}

bool StartPythonClient(larktest::PeerProcess& process, uint16_t port, const std::string& body) {
  if (larktest::RequireProgram(Python).empty()) return false;
  const std::string script = std::string(Prelude) +
                             "c = socket.create_connection(('127.0.0.1', int(sys.argv[1])))\n"
                             "if True:\n" +
                             Indent(body);
  return process.Start({Python, "-u", "-c", script, std::to_string(port)});
}

std::string StateName(TSocketState state) {
  switch (state) {
    case wsInvalidState:
      return "invalid";
    case wsOpened:
      return "opened";
    case wsBound:
      return "bound";
    case wsConnecting:
      return "connecting";
    case wsSocksConnected:
      return "socksconnected";
    case wsConnected:
      return "connected";
    case wsAccepting:
      return "accepting";
    case wsListening:
      return "listening";
    case wsClosed:
      return "closed";
  }
  return "?";
}

EventLog::EventLog(TCustomWSocket& socket) : socket_(socket) {
  socket.OnChangeState = [this](TObject*, TSocketState from, TSocketState to) {
    Events.push_back("state " + StateName(from) + ">" + StateName(to));
  };
  socket.OnSessionConnected = [this](TObject*, Word error) {
    Events.push_back("connected " + std::to_string(error));
  };
  socket.OnSessionClosed = [this](TObject*, Word error) {
    Events.push_back("closed " + std::to_string(error));
  };
  socket.OnSessionAvailable = [this](TObject*, Word error) {
    Events.push_back("available " + std::to_string(error));
  };
  socket.OnDataSent = [this](TObject*, Word error) { Events.push_back("sent " + std::to_string(error)); };
  socket.OnSendData = [this](TObject*, Integer count) {
    if (LogSendData) Events.push_back("senddata " + std::to_string(count));
  };
  socket.OnDnsLookupDone = [this](TObject*, Word error) {
    Events.push_back("dns " + std::to_string(error));
  };
  socket.OnDataAvailable = [this](TObject*, Word error) {
    if (Events.empty() || Events.back() != "data") Events.push_back("data");
    if (error != 0) Events.push_back("data error " + std::to_string(error));
    if (!ReadOnData) return;
    char buffer[65536];
    for (;;) {
      const Integer n = socket_.Receive(buffer, sizeof buffer);
      if (n <= 0) break;
      Received.append(buffer, static_cast<size_t>(n));
    }
  };
  socket.OnBgException = [this](TObject*, Exception* e, bool&) {
    Events.push_back("bg " + e->Message());
  };
}

EventLog::~EventLog() {
  socket_.OnChangeState = nullptr;
  socket_.OnSessionConnected = nullptr;
  socket_.OnSessionClosed = nullptr;
  socket_.OnSessionAvailable = nullptr;
  socket_.OnDataSent = nullptr;
  socket_.OnSendData = nullptr;
  socket_.OnDnsLookupDone = nullptr;
  socket_.OnDataAvailable = nullptr;
  socket_.OnBgException = nullptr;
}

bool EventLog::Has(const std::string& event) const {
  return std::find(Events.begin(), Events.end(), event) != Events.end();
}

int EventLog::Count(const std::string& event) const {
  return static_cast<int>(std::count(Events.begin(), Events.end(), event));
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string data(n, '\0');
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint32_t value = generator();
    data[i] = static_cast<char>(value);
    data[i + 1] = static_cast<char>(value >> 8);
    data[i + 2] = static_cast<char>(value >> 16);
    data[i + 3] = static_cast<char>(value >> 24);
  }
  for (; i < n; ++i) data[i] = static_cast<char>(generator());
  return data;
}

std::string Sha256Hex(const std::string& data) {
  larktest::TempDir dir;
  const std::string path = dir.Path() + "data.bin";
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
  const std::string out = larktest::RunCommand({"sha256sum", path});
  return out.substr(0, out.find(' '));
}

}  // namespace nettest
