// One GStreamer playing pipeline whose messages are handled on the thread that made
// it, through that thread's message loop. Internal to the players.
#pragma once

#include <functional>
#include <string>

namespace larkmedia {

enum class PipelineState { Idle, Playing, Paused, Stopped, Ended, Failed };

class Pipeline {
 public:
  // Throws EMediaError when the framework or its playing element is missing.
  Pipeline();
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Takes the address (http://, file:// or a local path); nothing plays yet.
  void Open(const std::string& address);
  void Play();
  void Pause();
  // Back to the start, nothing playing.
  void Stop();
  // Stops and forgets the address.
  void Close();

  PipelineState State() const { return state_; }
  const std::string& Error() const { return error_; }
  // Called on the owning thread after State() changed.
  std::function<void()> OnChange;

 private:
  void SetState(PipelineState state);
  void HandleBusMessages();
  void DropBusMessages();

  void* playbin_ = nullptr;  // GstElement*
  void* bus_ = nullptr;      // GstBus*
  int busFd_ = -1;
  bool opened_ = false;
  bool wantPause_ = false;
  PipelineState state_ = PipelineState::Idle;
  std::string error_;
};

}  // namespace larkmedia
