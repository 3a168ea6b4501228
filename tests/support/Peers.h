// Outside programs for tests: free ports, temporary folders, peer processes and
// one-shot commands.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace larktest {

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
uint16_t FreeTcpPort();

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // With a trailing '/'.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A program running beside the test, with stdout and stderr going to a log file.
// The destructor stops it.
class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Starts argv[0] (a path, or a name looked up on PATH) in workDir (the test's
  // folder when empty) with env added to the test's environment. Records a test
  // failure and answers false when it cannot be started.
  bool Start(const std::vector<std::string>& argv, const std::string& workDir = {},
             const std::map<std::string, std::string>& env = {});
  // Polls until a connection to 127.0.0.1:port succeeds; false on timeout or when
  // the program has ended.
  bool WaitForTcpPort(uint16_t port, uint32_t timeoutMs = 10000);
  // Polls until the log contains text; false on timeout or when the program has
  // ended without writing it.
  bool WaitForOutput(const std::string& text, uint32_t timeoutMs = 10000);
  // True while the program runs.
  bool Running();
  // SIGTERM to its process group, SIGKILL after graceMs, then reaps it.
  void Stop(uint32_t graceMs = 3000);
  // SIGKILL at once, then reaps it.
  void Kill();
  // Everything it wrote so far.
  std::string Log() const;
  pid_t Pid() const { return pid_; }
  // The wait status once it has been reaped (-1 before).
  int Status() const { return status_; }

 private:
  bool Reap(bool block);

  TempDir logDir_;
  std::string logPath_;
  pid_t pid_ = -1;
  bool running_ = false;
  int status_ = -1;
};

// The full path of a peer program, looked up on PATH and the usual system folders
// (an absolute path is checked as it is). When it is missing the test fails with a
// message naming it and the answer is "".
std::string RequireProgram(const std::string& name);

// Runs argv to completion and answers its stdout. exitCode (when given) receives
// its exit status, 128 + the signal that ended it, or -1 when it could not start.
std::string RunCommand(const std::vector<std::string>& argv, int* exitCode = nullptr);

}  // namespace larktest
