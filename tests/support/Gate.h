// A gate that a test opens: threads waiting on it (a slow resolver, a slow worker)
// go on only once the test says so, so a test decides what happens first instead of
// guessing with a delay.
#pragma once

#include <condition_variable>
#include <mutex>

namespace larktest {

class Gate {
 public:
  Gate() = default;
  // Opens the gate, so that no thread waits for ever on a test that ended early.
  ~Gate() { Open(); }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  // Blocks until the gate is open.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
    --waiting_;
  }
  // Threads waiting at the moment.
  int Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  int waiting_ = 0;
};

}  // namespace larktest
