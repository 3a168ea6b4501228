// A raw-bytes server for exchanges that real servers will not produce: it serves
// the connections it accepts, in order, from a script loaded from a case file in
// tests/data/http/ (the format is described in tests/data/http/README).
//
// It runs in a thread of its own with plain sockets and poll, never the message
// loop, so the test's thread is free to pump the client's messages. Connections are
// served side by side: a client may open the second before it closes the first.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace larktest {

struct CannedStep {
  enum Kind {
    Expect,       // read until text (included) has arrived
    ExpectBytes,  // read count more bytes
    Send,         // send text, in pieces of count bytes with delayMs after each but the last
    Delay,        // wait delayMs
    Close,        // shut down the sending side, read until the client closes, close
    Reset,        // close with SO_LINGER 0: the client sees a reset
  };
  Kind kind = Send;
  std::string text;
  uint64_t count = 0;
  uint32_t delayMs = 0;
  int line = 0;  // in the case file, for messages
};

// Whether a line of a case file belongs to the client's part (it starts with the
// mark ":::"): what the test makes the client do and what it must observe. The
// server skips these lines.
bool IsClientLine(const std::string& line);
// Decodes the escapes of case files (\r \n \t \0 \\ \xHH) and appends the text to
// *out; false with *error set for an unknown escape.
bool UnescapeCaseText(const std::string& in, std::string* out, std::string* error);

// The steps for one accepted connection. A script that runs out without Close or
// Reset keeps the connection open, recording what arrives, until the client closes
// it (a keep-alive client may hold it until the server stops).
using CannedScript = std::vector<CannedStep>;

class CannedServer {
 public:
  // Largest request recorded per connection; more ends the connection (reset).
  static constexpr size_t MaxRequestBytes = 1 << 20;

  // Opens the listening socket on 127.0.0.1 and a port chosen by the system (a
  // test failure when it cannot); nothing is served before Start.
  CannedServer();
  ~CannedServer();
  CannedServer(const CannedServer&) = delete;
  CannedServer& operator=(const CannedServer&) = delete;

  // Loads the case file at path, replacing any script loaded before; must come
  // before Start. Answers "" on success, else "path:line: what is wrong".
  std::string LoadCase(const std::string& path);
  // The same from text; name stands for the file name in messages.
  std::string LoadCaseText(const std::string& text, const std::string& name = "case");

  // Starts serving in the server's thread. False when the socket could not be opened.
  bool Start();
  // Ends every connection (reset), stops the thread and joins it. Idempotent.
  void Stop();

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path; path starts with '/'.
  std::string Url(const std::string& path) const;

  // Everything each accepted connection received, in the order of acceptance
  // (also connections beyond the script, which are closed at once).
  std::vector<std::string> Requests() const;
  // What went against the script: connections beyond it, a client that closed
  // before what a step expected, a send that failed (a client that hung up early),
  // a request over MaxRequestBytes. Empty when everything went as written.
  std::vector<std::string> Errors() const;
  // True once every scripted connection has been accepted and has ended by its
  // script or by the client (not by Stop).
  bool Done() const;
  // The loaded script, one entry per connection.
  const std::vector<CannedScript>& Scripts() const { return scripts_; }

 private:
  struct Connection;
  void Serve();
  void Advance(Connection& c);
  void ReadFrom(Connection& c);
  void Finish(Connection& c, bool reset, bool byStop = false);
  void AddError(const Connection& c, const std::string& text);

  std::vector<CannedScript> scripts_;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;  // guards the three below
  std::vector<std::string> requests_;
  std::vector<std::string> errors_;
  size_t finished_ = 0;
};

}  // namespace larktest
