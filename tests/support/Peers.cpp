#include "tests/support/Peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace larktest {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto PollInterval = std::chrono::milliseconds(20);

std::vector<char*> CStrings(const std::vector<std::string>& strings) {
  std::vector<char*> result;
  result.reserve(strings.size() + 1);
  for (const std::string& s : strings) result.push_back(const_cast<char*>(s.c_str()));
  result.push_back(nullptr);
  return result;
}

// The test's environment with env laid over it.
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& env) {
  std::vector<std::string> result;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    const std::string key = eq ? std::string(*e, static_cast<size_t>(eq - *e)) : std::string(*e);
    if (env.count(key) == 0) result.emplace_back(*e);
  }
  for (const auto& [key, value] : env) result.push_back(key + "=" + value);
  return result;
}

// Children start with default signal handling and nothing blocked, whatever the
// test process has set up.
void ResetSignals(posix_spawnattr_t& attr, short extraFlags) {
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGTERM, SIGINT, SIGPIPE, SIGCHLD, SIGHUP}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | extraFlags);
}

bool CanConnect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

uint16_t FreeTcpPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    ADD_FAILURE() << "socket: " << std::strerror(errno);
    return 0;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof addr;
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
    port = ntohs(addr.sin_port);
  else
    ADD_FAILURE() << "cannot find a free port: " << std::strerror(errno);
  close(fd);
  return port;
}

TempDir::TempDir() {
  std::string pattern = "/tmp/larktest-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

PeerProcess::~PeerProcess() { Stop(); }

bool PeerProcess::Start(const std::vector<std::string>& argv, const std::string& workDir,
                        const std::map<std::string, std::string>& env) {
  Stop();
  if (argv.empty()) {
    ADD_FAILURE() << "PeerProcess::Start needs a program";
    return false;
  }
  logPath_ = logDir_.Path() + "peer.log";
  std::vector<char*> args = CStrings(argv);
  const std::vector<std::string> envStrings = MergedEnvironment(env);
  std::vector<char*> envp = CStrings(envStrings);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group, so that Stop reaches whatever it starts in turn.
  posix_spawnattr_setpgroup(&attr, 0);
  ResetSignals(attr, POSIX_SPAWN_SETPGROUP);

  pid_t pid = -1;
  const int err = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(err);
    return false;
  }
  pid_ = pid;
  status_ = -1;
  running_ = true;
  return true;
}

bool PeerProcess::Reap(bool block) {
  if (!running_) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  running_ = false;
  status_ = r == pid_ ? status : -1;
  return true;
}

bool PeerProcess::Running() { return !Reap(false); }

bool PeerProcess::WaitForTcpPort(uint16_t port, uint32_t timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (CanConnect(port)) return true;
    if (!Running() || Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(PollInterval);
  }
}

bool PeerProcess::WaitForOutput(const std::string& text, uint32_t timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // Read the state before the log, so that output written just before the end counts.
    const bool running = Running();
    if (Log().find(text) != std::string::npos) return true;
    if (!running || Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(PollInterval);
  }
}

void PeerProcess::Stop(uint32_t graceMs) {
  if (Reap(false)) return;
  kill(-pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::milliseconds(graceMs);
  while (Clock::now() < deadline) {
    if (Reap(false)) return;
    std::this_thread::sleep_for(PollInterval);
  }
  kill(-pid_, SIGKILL);
  Reap(true);
}

void PeerProcess::Kill() {
  if (Reap(false)) return;
  kill(-pid_, SIGKILL);
  Reap(true);
}

std::string PeerProcess::Log() const {
  std::ifstream in(logPath_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string RequireProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) {
    if (IsExecutableFile(name)) return name;
  } else {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("PATH")) {
      std::stringstream list(path);
      for (std::string folder; std::getline(list, folder, ':');)
        if (!folder.empty()) folders.push_back(folder);
    }
    for (const char* folder : {"/usr/local/sbin", "/usr/local/bin", "/usr/sbin", "/usr/bin", "/sbin", "/bin"})
      folders.emplace_back(folder);
    for (const std::string& folder : folders) {
      const std::string candidate = folder + "/" + name;
      if (IsExecutableFile(candidate)) return candidate;
    }
  }
  ADD_FAILURE() << "peer program " << name << " is not installed; run scripts/install-deps";
  return {};
}

std::string RunCommand(const std::vector<std::string>& argv, int* exitCode) {
  if (exitCode != nullptr) *exitCode = -1;
  if (argv.empty()) return {};
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  std::vector<char*> args = CStrings(argv);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  ResetSignals(attr, 0);
  pid_t pid = -1;
  const int err = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (err != 0) {
    close(fds[0]);
    return {};
  }

  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (exitCode != nullptr) *exitCode = ExitCodeOf(status);
  return output;
}

}  // namespace larktest
