// Real HTTP servers for tests: Debian's nginx serving a folder the test fills, and
// httpbin under gunicorn. Both listen on 127.0.0.1 and a port chosen at run time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/Peers.h"

namespace larktest {

// size bytes of deterministic pseudo-random data, the same on every run; files of
// different sizes hold different data (the generator is seeded with the size).
std::string PatternBytes(uint64_t size);
// The path of a file holding PatternBytes(size), made on first use and kept under
// /tmp/larktest-http-cache/ so that later runs (and other test processes) reuse it.
// "" and a test failure when it cannot be written.
std::string PatternFile(uint64_t size);

// nginx in the foreground, one process, everything it writes (configuration, logs,
// pid, temporary files) inside a folder of its own, serving Root() with keep-alive
// on. Works whether the test runs as root or not.
class NginxServer {
 public:
  NginxServer();
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // Writes the configuration and starts nginx, then waits until it accepts
  // connections. extraConfig is placed inside the server block, before the default
  // location, e.g. "location = /old { return 301 /new; }". Records a test failure
  // and answers false when nginx cannot be started or the configuration is refused
  // (the error log is in the failure message).
  bool Start(const std::string& extraConfig = {});
  void Stop();
  bool Running();

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path; path starts with '/'.
  std::string Url(const std::string& path) const;
  // The document root, with a trailing '/'. Files may be added while it runs.
  const std::string& Root() const { return root_; }
  // nginx's own folder, with a trailing '/': a place for files the configuration
  // names (an auth_basic_user_file, for instance: lines "user:{PLAIN}password").
  const std::string& Dir() const { return dir_.Path(); }

  // Writes content to Root() + name (folders made as needed); answers the path.
  std::string WriteFile(const std::string& name, const std::string& content);
  // Puts PatternFile(size) at Root() + name (a hard link to the cached file, a copy
  // when linking fails); answers the path, "" with a test failure when it cannot.
  std::string AddPatternFile(const std::string& name, uint64_t size);

  // One line per finished request: `CONNECTION REQUESTS "REQUEST LINE" STATUS BYTES`,
  // where CONNECTION numbers the TCP connection and REQUESTS counts the requests
  // served on it so far (2 and more means keep-alive reuse). nginx writes the line
  // when the response has been sent, so it may lag the client by a moment.
  std::string AccessLog() const;
  std::string ErrorLog() const;

 private:
  TempDir dir_;
  std::string root_;
  uint16_t port_ = 0;
  std::unique_ptr<PeerProcess> process_;
};

// httpbin (Debian's python3-httpbin) under gunicorn with two workers of several
// threads each: redirects (/redirect/N, /relative-redirect/N, /absolute-redirect/N,
// /redirect-to?url=), /status/CODE, chunked /stream-bytes/N?chunk_size=C, slow
// /drip, /basic-auth/USER/PASS and the rest of httpbin's API.
class HttpbinServer {
 public:
  HttpbinServer() = default;
  ~HttpbinServer();
  HttpbinServer(const HttpbinServer&) = delete;
  HttpbinServer& operator=(const HttpbinServer&) = delete;

  // Starts it and waits until it accepts connections; records a test failure and
  // answers false when it cannot.
  bool Start();
  void Stop();
  bool Running();

  uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const;
  // gunicorn's log, with one access line per request.
  std::string Log() const;

 private:
  TempDir dir_;
  uint16_t port_ = 0;
  std::unique_ptr<PeerProcess> process_;
};

// Writes an htpasswd file at path with Debian's `htpasswd` (apache2-utils), one line
// per user with the password hashed as htpasswd does by default (nginx's
// auth_basic_user_file reads it). Records a test failure and answers false when it
// cannot.
bool WriteHtpasswd(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& users);

// tinyproxy in the foreground with a configuration of its own in a folder of its own,
// listening on 127.0.0.1 and a port chosen at run time, serving 127.0.0.1 only.
class TinyproxyServer {
 public:
  TinyproxyServer() = default;
  ~TinyproxyServer();
  TinyproxyServer(const TinyproxyServer&) = delete;
  TinyproxyServer& operator=(const TinyproxyServer&) = delete;

  // Starts it and waits until it accepts connections. With a user, every request
  // must carry that user and password in Proxy-Authorization (Basic), or tinyproxy
  // answers 407. Records a test failure and answers false when it cannot start.
  bool Start(const std::string& user = {}, const std::string& password = {});
  void Stop();
  bool Running();

  uint16_t Port() const { return port_; }
  // "127.0.0.1:PORT".
  std::string HostPort() const;
  // tinyproxy's log: one "Request (file descriptor N): LINE" per request received.
  std::string Log() const;
  // The request lines it received, in order.
  std::vector<std::string> RequestLines() const;

 private:
  TempDir dir_;
  uint16_t port_ = 0;
  std::unique_ptr<PeerProcess> process_;
};

}  // namespace larktest
