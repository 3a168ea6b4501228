#include "tests/support/HttpPeers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace larktest {

namespace {

namespace fs = std::filesystem;

const char* const NginxProgram = "/usr/sbin/nginx";
const char* const Python = "/usr/bin/python3";
const char* const PatternCacheDir = "/tmp/larktest-http-cache";

// A peer may lose its port to another process between FreeTcpPort and its bind.
constexpr int StartAttempts = 3;

// How one kind of peer is started on a port and why it did not listen.
struct PeerLaunch {
  // Writes the peer's configuration for port and starts it in process.
  std::function<bool(PeerProcess& process, uint16_t port)> start;
  // What the peer said, once it failed to listen.
  std::function<std::string(const PeerProcess& process)> log;
  // In that log when another process took the port meanwhile: the next port is tried.
  std::string portTaken;
  uint32_t waitMs = 10000;  // as PeerProcess::WaitForTcpPort waits by default
  // The test failure when it did not listen, before its log.
  std::string notStarted;
  // The stopped process stays after that failure, so that its log can still be read.
  bool keepProcess = false;
};

// Starts the peer on free ports until it listens, StartAttempts times at most. False
// when it does not: a test failure with its log, unless no port was free or the
// process could not be started at all.
bool StartOnFreePort(std::unique_ptr<PeerProcess>& process, uint16_t& port, const PeerLaunch& peer) {
  std::string failure;
  for (int attempt = 0; attempt < StartAttempts; ++attempt) {
    port = FreeTcpPort();
    if (port == 0) return false;
    process = std::make_unique<PeerProcess>();
    if (!peer.start(*process, port)) return false;
    if (process->WaitForTcpPort(port, peer.waitMs)) return true;
    failure = peer.log(*process);
    process->Stop();
    if (failure.find(peer.portTaken) == std::string::npos) break;
  }
  if (!peer.keepProcess) process.reset();
  port = 0;
  ADD_FAILURE() << peer.notStarted << ":\n" << failure;
  return false;
}

// splitmix64: small, fast, and good enough to make every byte position differ.
class PatternGenerator {
 public:
  explicit PatternGenerator(uint64_t seed) : state_(seed) {}
  void Fill(char* out, size_t count) {
    while (count > 0) {
      uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      z ^= z >> 31;
      const size_t n = count < 8 ? count : 8;
      std::memcpy(out, &z, n);  // byte order of the host; fine, both sides use it
      out += n;
      count -= n;
    }
  }

 private:
  uint64_t state_;
};

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Writes PatternBytes(size) to path through a temporary file and a rename, so that
// a reader never sees a half-written file.
bool WritePatternFile(const std::string& path, uint64_t size, std::string* error) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    *error = "mkstemp " + temp + ": " + std::strerror(errno);
    return false;
  }
  fchmod(fd, 0644);
  PatternGenerator generator(size);
  constexpr size_t BlockSize = 1 << 20;
  std::vector<char> block(BlockSize);
  bool ok = true;
  for (uint64_t left = size; left > 0 && ok;) {
    const size_t n = left < BlockSize ? static_cast<size_t>(left) : BlockSize;
    // Blocks of 8-byte words: only the last block may end inside a word, so the
    // stream equals what PatternBytes makes in one go.
    generator.Fill(block.data(), n);
    ok = WriteAll(fd, block.data(), n);
    left -= n;
  }
  if (!ok) *error = "write " + temp + ": " + std::strerror(errno);
  if (close(fd) != 0 && ok) {
    ok = false;
    *error = "close " + temp + ": " + std::strerror(errno);
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    *error = "rename " + temp + ": " + std::strerror(errno);
  }
  if (!ok) unlink(temp.c_str());
  return ok;
}

std::string NginxConfig(const std::string& dir, const std::string& root, uint16_t port,
                        const std::string& extraConfig) {
  std::ostringstream c;
  c << "# Written by the tests; nginx runs in the foreground as one process.\n"
       "daemon off;\n"
       "master_process off;\n"
       "worker_processes 1;\n"
       "pid "
    << dir << "nginx.pid;\n"
    << "error_log " << dir << "logs/error.log info;\n"
    << "events { worker_connections 256; }\n"
       "http {\n"
       "  log_format lark '$connection $connection_requests \"$request\" $status $body_bytes_sent';\n"
       "  access_log "
    << dir << "logs/access.log lark;\n"
    << "  client_body_temp_path " << dir << "temp/body;\n"
    << "  proxy_temp_path " << dir << "temp/proxy;\n"
    << "  fastcgi_temp_path " << dir << "temp/fastcgi;\n"
    << "  uwsgi_temp_path " << dir << "temp/uwsgi;\n"
    << "  scgi_temp_path " << dir << "temp/scgi;\n"
    << "  types {\n"
       "    text/html html htm;\n"
       "    text/plain txt;\n"
       "    text/xml xml;\n"
       "    application/rss+xml rss;\n"
       "    application/json json;\n"
       "    image/jpeg jpg jpeg;\n"
       "    image/png png;\n"
       "    audio/mpeg mp3;\n"
       "  }\n"
       "  default_type application/octet-stream;\n"
       "  sendfile on;\n"
       "  keepalive_timeout 60s;\n"
       "  keepalive_requests 10000;\n"
       "  server {\n"
       "    listen 127.0.0.1:"
    << port << ";\n"
    << "    server_name localhost;\n"
       "    root "
    << root << ";\n"
    << extraConfig << "\n"
    << "  }\n"
       "}\n";
  return c.str();
}

}  // namespace

std::string PatternBytes(uint64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  PatternGenerator(size).Fill(bytes.data(), bytes.size());
  return bytes;
}

std::string PatternFile(uint64_t size) {
  const std::string path = std::string(PatternCacheDir) + "/bytes-" + std::to_string(size) + ".bin";
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) == size)
    return path;
  // Shared by every user who runs the tests, like /tmp itself.
  if (mkdir(PatternCacheDir, 0777) == 0) chmod(PatternCacheDir, 01777);
  std::string error;
  if (!WritePatternFile(path, size, &error)) {
    ADD_FAILURE() << "cannot write the pattern file of " << size << " bytes: " << error;
    return {};
  }
  return path;
}

NginxServer::NginxServer() : root_(dir_.Path() + "root/") {
  std::error_code ec;
  for (const char* sub : {"root", "logs", "temp"}) fs::create_directories(dir_.Path() + sub, ec);
}

NginxServer::~NginxServer() { Stop(); }

bool NginxServer::Start(const std::string& extraConfig) {
  Stop();
  if (RequireProgram(NginxProgram).empty()) return false;
  const std::string& dir = dir_.Path();
  const std::string confPath = dir + "nginx.conf";
  const std::string errorLogPath = dir + "logs/error.log";
  PeerLaunch nginx;
  nginx.start = [&](PeerProcess& process, uint16_t port) {
    std::ofstream(confPath, std::ios::trunc) << NginxConfig(dir, root_, port, extraConfig);
    std::error_code ec;
    fs::remove(errorLogPath, ec);
    // -e: the error log before the configuration is read, instead of the system's.
    return process.Start({NginxProgram, "-p", dir, "-c", confPath, "-e", errorLogPath});
  };
  nginx.log = [&](const PeerProcess& process) { return process.Log() + ErrorLog(); };
  nginx.portTaken = "Address already in use";
  nginx.notStarted = "nginx did not start";
  return StartOnFreePort(process_, port_, nginx);
}

void NginxServer::Stop() {
  if (process_) process_->Stop();
  process_.reset();
}

bool NginxServer::Running() { return process_ && process_->Running(); }

std::string NginxServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string NginxServer::WriteFile(const std::string& name, const std::string& content) {
  const std::string path = root_ + name;
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  // Unlink first: the old file may be a link to a cached pattern file.
  fs::remove(path, ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
  return path;
}

std::string NginxServer::AddPatternFile(const std::string& name, uint64_t size) {
  const std::string source = PatternFile(size);
  if (source.empty()) return {};
  const std::string path = root_ + name;
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  fs::remove(path, ec);
  fs::create_hard_link(source, path, ec);
  if (ec) {
    ec.clear();
    fs::copy_file(source, path, ec);
  }
  if (ec) {
    ADD_FAILURE() << "cannot place " << source << " at " << path << ": " << ec.message();
    return {};
  }
  return path;
}

std::string NginxServer::AccessLog() const { return ReadWholeFile(dir_.Path() + "logs/access.log"); }

std::string NginxServer::ErrorLog() const { return ReadWholeFile(dir_.Path() + "logs/error.log"); }

HttpbinServer::~HttpbinServer() { Stop(); }

bool HttpbinServer::Start() {
  Stop();
  if (RequireProgram(Python).empty()) return false;
  PeerLaunch httpbin;
  httpbin.start = [&](PeerProcess& process, uint16_t port) {
    // Threads let one worker hold a slow /drip while it answers other requests;
    // a short graceful timeout keeps Stop quick.
    return process.Start(
        {Python, "-m", "gunicorn", "--bind", "127.0.0.1:" + std::to_string(port), "--workers", "2",
         "--threads", "8", "--keep-alive", "30", "--graceful-timeout", "1", "--worker-tmp-dir", dir_.Path(),
         "--access-logfile", "-", "--error-logfile", "-", "httpbin:app"},
        dir_.Path(), {{"PYTHONDONTWRITEBYTECODE", "1"}});
  };
  httpbin.log = [](const PeerProcess& process) { return process.Log(); };
  httpbin.portTaken = "in use";
  httpbin.waitMs = 20000;
  httpbin.notStarted =
      "httpbin under gunicorn did not start (scripts/install-deps installs python3-httpbin and gunicorn)";
  httpbin.keepProcess = true;
  return StartOnFreePort(process_, port_, httpbin);
}

void HttpbinServer::Stop() {
  // The stopped process stays, so that its log can still be read.
  if (process_) process_->Stop();
}

bool HttpbinServer::Running() { return process_ && process_->Running(); }

std::string HttpbinServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string HttpbinServer::Log() const { return process_ ? process_->Log() : std::string(); }

bool WriteHtpasswd(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& users) {
  const std::string program = RequireProgram("htpasswd");
  if (program.empty()) return false;
  std::string text;
  for (const auto& user : users) {
    // -n prints the line instead of writing a file; -b takes the password from the
    // command line.
    int exitCode = -1;
    const std::string line = RunCommand({program, "-nb", user.first, user.second}, &exitCode);
    if (exitCode != 0 || line.find(':') == std::string::npos) {
      ADD_FAILURE() << "htpasswd failed for " << user.first << " (exit " << exitCode << ")";
      return false;
    }
    // Without the empty line htpasswd ends its output with.
    text += line.substr(0, line.find('\n')) + "\n";
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    ADD_FAILURE() << "cannot write " << path;
    return false;
  }
  return true;
}

TinyproxyServer::~TinyproxyServer() { Stop(); }

bool TinyproxyServer::Start(const std::string& user, const std::string& password) {
  Stop();
  const std::string program = RequireProgram("tinyproxy");
  if (program.empty()) return false;
  const std::string& dir = dir_.Path();
  const std::string confPath = dir + "tinyproxy.conf";
  PeerLaunch tinyproxy;
  tinyproxy.start = [&](PeerProcess& process, uint16_t port) {
    std::error_code ec;
    fs::remove(dir + "tinyproxy.log", ec);
    std::ofstream conf(confPath, std::ios::trunc);
    conf << "# Written by the tests; tinyproxy runs in the foreground (-d).\n"
         << "Port " << port << "\n"
         << "Listen 127.0.0.1\n"
         << "Timeout 30\n"
         << "MaxClients 50\n"
         << "LogLevel Info\n"
         << "LogFile \"" << dir << "tinyproxy.log\"\n"
         << "PidFile \"" << dir << "tinyproxy.pid\"\n"
         << "Allow 127.0.0.1\n"
         << "DisableViaHeader Yes\n";
    if (!user.empty()) conf << "BasicAuth " << user << " " << password << "\n";
    conf.close();
    return process.Start({program, "-d", "-c", confPath}, dir);
  };
  tinyproxy.log = [&](const PeerProcess& process) { return process.Log() + Log(); };
  tinyproxy.portTaken = "in use";
  tinyproxy.notStarted = "tinyproxy did not start";
  return StartOnFreePort(process_, port_, tinyproxy);
}

void TinyproxyServer::Stop() {
  if (process_) process_->Stop();
  process_.reset();
}

bool TinyproxyServer::Running() { return process_ && process_->Running(); }

std::string TinyproxyServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TinyproxyServer::Log() const { return ReadWholeFile(dir_.Path() + "tinyproxy.log"); }

std::vector<std::string> TinyproxyServer::RequestLines() const {
  static const std::string mark = "): ";
  std::vector<std::string> lines;
  std::istringstream log(Log());
  std::string line;
  while (std::getline(log, line)) {
    const size_t at = line.find("Request (file descriptor ");
    if (at == std::string::npos) continue;
    const size_t text = line.find(mark, at);
    if (text != std::string::npos) lines.push_back(line.substr(text + mark.size()));
  }
  return lines;
}

}  // namespace larktest
