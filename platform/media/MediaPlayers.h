// The two embedded media-player controls, on GStreamer: a Windows Media Player control
// (setting its URL starts playback, the empty URL stops it; its controls interface
// plays, pauses and stops) and a QuickTime control (created on demand; Stop, SetURL,
// Play, a background colour and a controller that can be hidden).
//
// Both stream the address themselves: an http:// or file:// address, or a path of a
// local file. They play the sound; pictures of video streams are decoded and dropped,
// the control shows its background colour. The pipeline's messages come to the thread
// that made the control through its message loop (the bus's descriptor is watched by
// the loop), so play-state events run on that thread.
#pragma once

#include <functional>
#include <memory>

#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Controls.h"

// Raised when a player cannot be made: the media framework or its playing element is
// missing.
LARK_DECLARE_EXCEPTION(EMediaError, Exception);

namespace larkmedia {
class Pipeline;
}

// Play states of the Windows Media Player control.
enum class WMPPlayState : Integer {
  wmppsUndefined = 0,
  wmppsStopped = 1,
  wmppsPaused = 2,
  wmppsPlaying = 3,
  wmppsMediaEnded = 8,
  wmppsTransitioning = 9,
  wmppsReady = 10,
};
using enum WMPPlayState;

class TWindowsMediaPlayer;

// The control's transport interface.
class TWMPControls {
 public:
  void play();
  void pause();
  void stop();

 private:
  friend class TWindowsMediaPlayer;
  explicit TWMPControls(TWindowsMediaPlayer* owner) : owner_(owner) {}
  TWindowsMediaPlayer* owner_;
};

using TWMPPlayStateChange = std::function<void(TObject* sender, WMPPlayState newState)>;

class TWindowsMediaPlayer : public TCustomControl {
 public:
  LARK_CLASS_NAME(TWindowsMediaPlayer)
  // EMediaError when no player can be made.
  explicit TWindowsMediaPlayer(TComponent* owner);
  ~TWindowsMediaPlayer() override;

  const AnsiString& GetURL() const noexcept { return url_; }
  // A new address starts playing it from the start; the empty address stops playback.
  void SetURL(const AnsiString& url);
  TWMPControls* Getcontrols() noexcept { return &controls_; }
  WMPPlayState GetplayState() const noexcept { return playState_; }
  // What went wrong with the last address (not found, not playable); empty when
  // nothing did. Playback then stands in wmppsReady.
  const AnsiString& GetErrorDescription() const noexcept { return error_; }
  TWMPPlayStateChange OnPlayStateChange;

 private:
  friend class TWMPControls;
  void Changed();

  AnsiString url_;
  AnsiString error_;
  WMPPlayState playState_ = wmppsUndefined;
  TWMPControls controls_{this};
  std::unique_ptr<larkmedia::Pipeline> pipeline_;
};

// The QuickTime control.
class TQTControl : public TCustomControl {
 public:
  LARK_CLASS_NAME(TQTControl)
  // EMediaError when no player can be made.
  explicit TQTControl(TComponent* owner);
  ~TQTControl() override;

  // Takes the address to play; playback starts with Play.
  void SetURL(const AnsiString& url);
  AnsiString GetURL() const { return url_; }
  void Play();
  void Stop();
  // "#RRGGBB": the colour of the control's area; other text is ignored.
  void SetBgColor(const AnsiString& color);
  void SetControllerVisible(bool visible) noexcept { controllerVisible_ = visible; }
  bool GetControllerVisible() const noexcept { return controllerVisible_; }
  // Whether the movie is playing, and whether it has played to its end.
  bool GetPlaying() const;
  bool GetEnded() const;
  // What went wrong with the address; empty when nothing did.
  AnsiString GetErrorDescription() const;
  // Called on this thread when playing starts, stops, ends or fails.
  TNotifyEvent OnStatusChange;

 protected:
  void Paint() override;

 private:
  AnsiString url_;
  bool controllerVisible_ = true;
  std::unique_ptr<larkmedia::Pipeline> pipeline_;
};
