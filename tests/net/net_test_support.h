// Helpers of the socket tests: python3 peers on 127.0.0.1 and a recorder of a
// socket's events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/WSocket.h"
#include "tests/support/Peers.h"

namespace nettest {

inline const char* const Python = "/usr/bin/python3";

// A python3 program that listens on 127.0.0.1 (a port of its choosing) and runs
// body with `c`, the first accepted connection, and `srv`, the listening socket.
// The modules socket, sys, time, os and hashlib are imported.
class PythonServer {
 public:
  // Starts the peer and waits until it listens; records a failure otherwise.
  bool Start(const std::string& body, const std::vector<std::string>& args = {});
  uint16_t Port() const { return port_; }
  // Waits until the peer has printed text (and flushed it).
  bool WaitFor(const std::string& text, uint32_t timeoutMs = 10000) {
    return process_.WaitForOutput(text, timeoutMs);
  }
  std::string Log() const { return process_.Log(); }
  larktest::PeerProcess& Process() { return process_; }

 private:
  larktest::PeerProcess process_;
  uint16_t port_ = 0;
};

// A port on 127.0.0.1 that is bound but does not listen, held for the object's life:
// connections to it are refused, and no other program can take it meanwhile.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A python3 program that connects to 127.0.0.1:port and runs body with `c`.
bool StartPythonClient(larktest::PeerProcess& process, uint16_t port, const std::string& body);

// Names a socket state as the log shows it.
std::string StateName(TSocketState state);

// Records the events of a socket as short texts, in the order they fire:
//   "state connecting>connected", "connected 0", "data", "sent 0", "closed 0",
//   "available 0", "dns 0", "error", "senddata 1460", "bg <message>".
// Data offered by OnDataAvailable is read (all of it) into Received unless
// ReadOnData is false.
class EventLog {
 public:
  explicit EventLog(TCustomWSocket& socket);
  // Unhooks the handlers (the socket may fire events while it is freed later).
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;
  std::vector<std::string> Events;
  std::string Received;
  bool ReadOnData = true;
  bool LogSendData = false;
  bool Has(const std::string& event) const;
  int Count(const std::string& event) const;

 private:
  TCustomWSocket& socket_;
};

// A buffer of n pseudo-random bytes (the same for the same seed).
std::string RandomBytes(size_t n, uint32_t seed);
// The SHA-256 of data in hex, as python's hashlib prints it.
std::string Sha256Hex(const std::string& data);

}  // namespace nettest
