// Loopback throughput of one TCP connection through the socket component (a TWSocket
// sending through its send queue, a TWSocket receiving in its receive loop, both on
// this thread), against socat moving the same bytes between two socat processes in
// the same run. Prints the ratio of the two throughputs at the end, and the process's
// peak memory (VmHWM) beside the payload's size: the payload itself, then what
// sending it one Send took beyond it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "net/WSocket.h"
#include "platform/win/Messages.h"

extern char** environ;

namespace {

constexpr size_t kBytes = 128u << 20;

double gWSocketBytesPerSecond = 0;
long gPayloadHwmKb = 0;
long gTransferHwmKb = 0;

// The process's peak resident memory in kB (VmHWM), -1 when unknown.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}
double gSocatBytesPerSecond = 0;

const std::string& Payload() {
  static const std::string data = [] {
    std::string bytes(kBytes, '\0');
    std::mt19937 generator(20240601);
    for (char& b : bytes) b = static_cast<char>(generator());
    return bytes;
  }();
  return data;
}

// Dispatches messages until done() holds.
template <class Done>
void PumpUntil(Done done) {
  MSG msg;
  while (!done()) {
    if (GetMessage(&msg, 0, 0, 0) <= 0) break;
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
}

// Seconds to move the payload from one TWSocket to another over 127.0.0.1.
double TransferThroughWSocket() {
  const std::string& data = Payload();
  TWSocket listener(nullptr);
  TWSocket server(nullptr);
  TWSocket client(nullptr);
  size_t received = 0;
  std::vector<char> buffer(1 << 16);
  server.OnDataAvailable = [&](TObject*, Word) {
    for (;;) {
      const Integer n = server.Receive(buffer.data(), static_cast<Integer>(buffer.size()));
      if (n <= 0) break;
      received += static_cast<size_t>(n);
    }
  };
  listener.OnSessionAvailable = [&](TObject*, Word) { server.Dup(listener.Accept()); };
  client.OnSessionConnected = [&](TObject*, Word error) {
    if (error == 0) client.Send(data.data(), static_cast<Integer>(data.size()));
  };
  listener.SetAddr("127.0.0.1");
  listener.SetPort("0");
  listener.Listen();
  client.SetAddr("127.0.0.1");
  client.SetPort(listener.GetXPort());

  const auto start = std::chrono::steady_clock::now();
  client.Connect();
  PumpUntil([&] { return received >= data.size() || client.GetState() == wsClosed; });
  const auto end = std::chrono::steady_clock::now();
  if (received != data.size()) return -1;
  return std::chrono::duration<double>(end - start).count();
}

pid_t Spawn(const std::vector<std::string>& args, int stderrFd) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool Waited(pid_t pid) {
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Seconds for socat to move the same payload from a file to a socat sink over
// 127.0.0.1 (the sender's start included, as the TWSocket run includes its connect).
double TransferThroughSocat(const std::string& path) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return -1;
  const pid_t sink = Spawn({"socat", "-d", "-d", "-u", "TCP-LISTEN:0,bind=127.0.0.1", "OPEN:/dev/null"},
                           pipeFds[1]);
  close(pipeFds[1]);
  // socat names its port on stderr: "... listening on AF=2 127.0.0.1:PORT".
  std::string log;
  char chunk[256];
  std::string port;
  while (port.empty()) {
    const ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
    if (n <= 0) break;
    log.append(chunk, static_cast<size_t>(n));
    const size_t at = log.find("listening on");
    const size_t eol = at == std::string::npos ? at : log.find('\n', at);
    if (eol != std::string::npos) port = log.substr(log.rfind(':', eol) + 1, eol - log.rfind(':', eol) - 1);
  }
  if (port.empty()) {
    close(pipeFds[0]);
    return -1;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t source = Spawn({"socat", "-u", "OPEN:" + path, "TCP:127.0.0.1:" + port}, -1);
  const bool ok = Waited(source) && Waited(sink);
  const auto end = std::chrono::steady_clock::now();
  close(pipeFds[0]);
  return ok ? std::chrono::duration<double>(end - start).count() : -1;
}

void BM_WSocketLoopback(benchmark::State& state) {
  Payload();
  gPayloadHwmKb = PeakResidentKb();
  double total = 0;
  for (auto _ : state) {
    const double seconds = TransferThroughWSocket();
    if (seconds < 0) {
      state.SkipWithError("the transfer did not complete");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  gTransferHwmKb = PeakResidentKb();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  gWSocketBytesPerSecond = static_cast<double>(state.iterations() * kBytes) / total;
}

void BM_SocatLoopback(benchmark::State& state) {
  char path[] = "/tmp/bench_socket_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  const std::string& data = Payload();
  if (write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) {
    close(fd);
    unlink(path);
    state.SkipWithError("cannot write the payload");
    return;
  }
  close(fd);
  double total = 0;
  for (auto _ : state) {
    const double seconds = TransferThroughSocat(path);
    if (seconds < 0) {
      unlink(path);
      state.SkipWithError("socat did not run (is it installed?)");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  unlink(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  gSocatBytesPerSecond = static_cast<double>(state.iterations() * kBytes) / total;
}

BENCHMARK(BM_WSocketLoopback)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SocatLoopback)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  if (gWSocketBytesPerSecond > 0 && gSocatBytesPerSecond > 0)
    std::printf("TWSocket / socat loopback throughput: %.2f (%.0f MB/s against %.0f MB/s)\n",
                gWSocketBytesPerSecond / gSocatBytesPerSecond, gWSocketBytesPerSecond / 1e6,
                gSocatBytesPerSecond / 1e6);
  if (gPayloadHwmKb > 0 && gTransferHwmKb > 0)
    std::printf("Peak memory: %ld kB with the payload made, %ld kB after the transfers "
                "(%.2f x the payload; %.2f x beyond it)\n",
                gPayloadHwmKb, gTransferHwmKb, gTransferHwmKb * 1024.0 / kBytes,
                (gTransferHwmKb - gPayloadHwmKb) * 1024.0 / kBytes);
  benchmark::Shutdown();
  return 0;
}
