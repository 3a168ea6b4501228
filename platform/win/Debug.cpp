#include "platform/win/Debug.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "platform/win/SimHooks.h"

namespace {

constexpr size_t kMaxDebugLines = 10000;  // older entries are dropped

std::mutex gMutex;
std::deque<std::string> gLines;

bool EchoToStderr() {
  static const bool echo = std::getenv("LARK_DEBUG_OUTPUT") != nullptr;
  return echo;
}

}  // namespace

void OutputDebugString(const char* outputString) {
  if (outputString == nullptr) return;
  std::lock_guard<std::mutex> lock(gMutex);
  if (gLines.size() == kMaxDebugLines) gLines.pop_front();
  gLines.emplace_back(outputString);
  if (EchoToStderr()) {
    std::fputs(outputString, stderr);
    if (gLines.back().empty() || gLines.back().back() != '\n') std::fputc('\n', stderr);
  }
}

namespace sim {

std::vector<std::string> DebugLines() {
  std::lock_guard<std::mutex> lock(gMutex);
  return {gLines.begin(), gLines.end()};
}

void ClearDebugLines() {
  std::lock_guard<std::mutex> lock(gMutex);
  gLines.clear();
}

}  // namespace sim
