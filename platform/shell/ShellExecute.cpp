#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rtl/Strings.h"
#include "platform/shell/ShellApi.h"
#include "platform/shell/SimHooks.h"

namespace {

struct Recorder {
  std::mutex mutex;
  bool recording = false;
  intptr_t result = 42;
  std::vector<sim::ShellExecuteCall> calls;
};

Recorder& TheRecorder() {
  static Recorder recorder;
  return recorder;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

// The full path of a program on PATH, or empty.
std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string folder = list.substr(start, end - start);
    if (!folder.empty()) {
      const std::string candidate = folder + "/" + program;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return {};
}

// Starts the program on the file, detached: it outlives us and leaves no zombie.
bool StartDetached(const std::string& program, const std::string& file,
                   const std::string& directory) {
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    setsid();
    if (fork() != 0) _exit(0);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    execl(program.c_str(), program.c_str(), file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return true;
}

}  // namespace

intptr_t ShellExecuteA(HWND hWnd, const char* operation, const char* file, const char* parameters,
                       const char* directory, Integer showCmd) {
  Recorder& recorder = TheRecorder();
  {
    std::lock_guard<std::mutex> lock(recorder.mutex);
    if (recorder.recording) {
      recorder.calls.push_back(sim::ShellExecuteCall{hWnd, Text(operation), Text(file), Text(parameters),
                                                     Text(directory), showCmd});
      return recorder.result;
    }
  }
  const std::string verb = Text(operation);
  if (!verb.empty() && !SameText(verb, "open")) return SE_ERR_NOASSOC;
  if (Text(file).empty()) return SE_ERR_FNF;
  const std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return SE_ERR_FNF;
  return StartDetached(opener, file, Text(directory)) ? 42 : SE_ERR_ACCESSDENIED;
}

namespace sim {

void RecordShellExecute(bool record, intptr_t result) {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> lock(recorder.mutex);
  recorder.recording = record;
  recorder.result = result;
}

std::vector<ShellExecuteCall> ShellExecuteCalls() {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> lock(recorder.mutex);
  return recorder.calls;
}

void ClearShellExecuteCalls() {
  Recorder& recorder = TheRecorder();
  std::lock_guard<std::mutex> lock(recorder.mutex);
  recorder.calls.clear();
}

}  // namespace sim
