// The playing pipeline on GStreamer's playbin. The bus is not given a GLib main loop:
// its descriptor, readable while messages wait, is watched by the owning thread's
// message loop, which pops them there.
#include "platform/media/MediaInternal.h"

#include <sys/epoll.h>

#include <atomic>
#include <mutex>

#include "platform/media/MediaPlayers.h"
#include "platform/media/SimHooks.h"
#include "platform/win/Messages.h"

// Last: GLib defines TRUE and FALSE as macros, which would break the platform's
// constants of those names.
#include <gst/gst.h>

namespace {

std::atomic<bool> gFakeSinks{false};
std::atomic<bool> gFakeSync{false};

void StartFramework() {
  static std::once_flag once;
  static bool started = false;
  static std::string problem;
  std::call_once(once, [] {
    GError* error = nullptr;
    started = gst_init_check(nullptr, nullptr, &error) != FALSE;
    if (error != nullptr) {
      problem = error->message;
      g_error_free(error);
    }
  });
  if (!started) throw EMediaError("The media framework cannot be started: " + problem);
}

GstElement* FakeSink(bool sync) {
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink != nullptr) g_object_set(sink, "sync", sync ? TRUE : FALSE, nullptr);
  return sink;
}

GstElement* AsElement(void* p) { return static_cast<GstElement*>(p); }

}  // namespace

namespace sim {

void UseFakeMediaSinks(bool sync) {
  gFakeSync = sync;
  gFakeSinks = true;
}
void UseRealMediaSinks() { gFakeSinks = false; }
bool FakeMediaSinks() { return gFakeSinks; }

}  // namespace sim

namespace larkmedia {

Pipeline::Pipeline() {
  StartFramework();
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  if (playbin == nullptr) throw EMediaError("The media framework has no player (playbin)");
  playbin_ = gst_object_ref_sink(playbin);
  // Pictures are not shown: they are decoded and dropped.
  if (GstElement* video = FakeSink(false)) g_object_set(playbin, "video-sink", video, nullptr);
  if (gFakeSinks) {
    if (GstElement* audio = FakeSink(gFakeSync)) g_object_set(playbin, "audio-sink", audio, nullptr);
  }
  bus_ = gst_element_get_bus(playbin);
  GPollFD pfd{};
  gst_bus_get_pollfd(static_cast<GstBus*>(bus_), &pfd);
  busFd_ = pfd.fd;
  LoopWatchFd(busFd_, EPOLLIN, [this](uint32_t) { HandleBusMessages(); });
}

Pipeline::~Pipeline() {
  LoopUnwatchFd(busFd_);
  gst_element_set_state(AsElement(playbin_), GST_STATE_NULL);
  gst_object_unref(bus_);
  gst_object_unref(playbin_);
}

void Pipeline::Open(const std::string& address) {
  gst_element_set_state(AsElement(playbin_), GST_STATE_NULL);
  std::string uri = address;
  if (address.find("://") == std::string::npos) {
    gchar* made = gst_filename_to_uri(address.c_str(), nullptr);
    uri = made != nullptr ? made : "";
    g_free(made);
  }
  g_object_set(playbin_, "uri", uri.c_str(), nullptr);
  // Messages of the earlier address must not speak for this one.
  DropBusMessages();
  opened_ = true;
  error_.clear();
  SetState(PipelineState::Stopped);
}

void Pipeline::Play() {
  if (!opened_) return;
  if (state_ == PipelineState::Ended || state_ == PipelineState::Failed) {
    // From the start again.
    gst_element_set_state(AsElement(playbin_), GST_STATE_NULL);
    error_.clear();
  }
  wantPause_ = false;
  if (gst_element_set_state(AsElement(playbin_), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE &&
      error_.empty()) {
    // The error message itself arrives on the bus and says more.
    HandleBusMessages();
    if (state_ != PipelineState::Failed) {
      error_ = "Cannot play this address";
      SetState(PipelineState::Failed);
    }
  }
}

void Pipeline::Pause() {
  if (!opened_ || state_ == PipelineState::Ended || state_ == PipelineState::Failed ||
      state_ == PipelineState::Stopped)
    return;
  wantPause_ = true;
  gst_element_set_state(AsElement(playbin_), GST_STATE_PAUSED);
}

void Pipeline::Stop() {
  if (!opened_) return;
  wantPause_ = false;
  gst_element_set_state(AsElement(playbin_), GST_STATE_NULL);
  // A "playing" still queued from before must not take the stop back.
  DropBusMessages();
  if (state_ != PipelineState::Failed) SetState(PipelineState::Stopped);
}

void Pipeline::Close() {
  Stop();
  opened_ = false;
  error_.clear();
  SetState(PipelineState::Idle);
}

void Pipeline::DropBusMessages() {
  gst_bus_set_flushing(static_cast<GstBus*>(bus_), TRUE);
  gst_bus_set_flushing(static_cast<GstBus*>(bus_), FALSE);
}

void Pipeline::SetState(PipelineState state) {
  if (state == state_) return;
  state_ = state;
  if (OnChange) OnChange();
}

void Pipeline::HandleBusMessages() {
  GstBus* bus = static_cast<GstBus*>(bus_);
  while (GstMessage* msg = gst_bus_pop(bus)) {
    switch (GST_MESSAGE_TYPE(msg)) {
      case GST_MESSAGE_STATE_CHANGED:
        if (GST_MESSAGE_SRC(msg) == GST_OBJECT(playbin_) && opened_ && state_ != PipelineState::Ended &&
            state_ != PipelineState::Failed) {
          GstState oldState, newState, pending;
          gst_message_parse_state_changed(msg, &oldState, &newState, &pending);
          if (newState == GST_STATE_PLAYING) SetState(PipelineState::Playing);
          else if (newState == GST_STATE_PAUSED && wantPause_) SetState(PipelineState::Paused);
        }
        break;
      case GST_MESSAGE_EOS:
        if (opened_) {
          gst_element_set_state(AsElement(playbin_), GST_STATE_READY);
          SetState(PipelineState::Ended);
        }
        break;
      case GST_MESSAGE_ERROR:
        if (opened_ && state_ != PipelineState::Failed) {
          GError* error = nullptr;
          gst_message_parse_error(msg, &error, nullptr);
          error_ = error != nullptr && error->message != nullptr ? error->message : "Cannot play this address";
          if (error != nullptr) g_error_free(error);
          gst_element_set_state(AsElement(playbin_), GST_STATE_NULL);
          SetState(PipelineState::Failed);
        }
        break;
      default:
        break;
    }
    gst_message_unref(msg);
  }
}

}  // namespace larkmedia
