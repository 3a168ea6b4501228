// The Windows Media Player and QuickTime controls over the playing pipeline.
#include "platform/media/MediaPlayers.h"

#include <cstdio>

#include "platform/media/MediaInternal.h"
#include "platform/vcl/Graphics.h"

using larkmedia::PipelineState;

// --- TWMPControls ---

void TWMPControls::play() {
  if (!owner_->url_.empty()) owner_->pipeline_->Play();
}
void TWMPControls::pause() { owner_->pipeline_->Pause(); }
void TWMPControls::stop() { owner_->pipeline_->Stop(); }

// --- TWindowsMediaPlayer ---

TWindowsMediaPlayer::TWindowsMediaPlayer(TComponent* owner)
    : TCustomControl(owner), pipeline_(std::make_unique<larkmedia::Pipeline>()) {
  SetColor(0x000000);
  pipeline_->OnChange = [this] { Changed(); };
}

TWindowsMediaPlayer::~TWindowsMediaPlayer() { pipeline_->OnChange = nullptr; }

void TWindowsMediaPlayer::SetURL(const AnsiString& url) {
  url_ = url;
  if (url.empty()) {
    pipeline_->Close();
    return;
  }
  pipeline_->Open(url);
  pipeline_->Play();
}

void TWindowsMediaPlayer::Changed() {
  WMPPlayState state = wmppsUndefined;
  switch (pipeline_->State()) {
    case PipelineState::Idle: state = wmppsUndefined; break;
    case PipelineState::Playing: state = wmppsPlaying; break;
    case PipelineState::Paused: state = wmppsPaused; break;
    case PipelineState::Stopped: state = wmppsStopped; break;
    case PipelineState::Ended: state = wmppsMediaEnded; break;
    case PipelineState::Failed: state = wmppsReady; break;
  }
  error_ = pipeline_->Error();
  if (state == playState_) return;
  playState_ = state;
  if (OnPlayStateChange) OnPlayStateChange(this, state);
}

// --- TQTControl ---

TQTControl::TQTControl(TComponent* owner)
    : TCustomControl(owner), pipeline_(std::make_unique<larkmedia::Pipeline>()) {
  pipeline_->OnChange = [this] {
    if (OnStatusChange) OnStatusChange(this);
  };
}

TQTControl::~TQTControl() { pipeline_->OnChange = nullptr; }

void TQTControl::SetURL(const AnsiString& url) {
  url_ = url;
  if (url.empty()) pipeline_->Close();
  else pipeline_->Open(url);
}

void TQTControl::Play() { pipeline_->Play(); }
void TQTControl::Stop() { pipeline_->Stop(); }

void TQTControl::SetBgColor(const AnsiString& color) {
  unsigned r = 0, g = 0, b = 0;
  char rest = 0;
  if (color.size() != 7 || std::sscanf(color.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &rest) != 3) return;
  SetColor(static_cast<TColor>(r | (g << 8) | (b << 16)));
}

bool TQTControl::GetPlaying() const { return pipeline_->State() == PipelineState::Playing; }
bool TQTControl::GetEnded() const { return pipeline_->State() == PipelineState::Ended; }
AnsiString TQTControl::GetErrorDescription() const { return pipeline_->Error(); }

void TQTControl::Paint() {
  TCanvas* canvas = GetCanvas();
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(GetClientRect());
}
