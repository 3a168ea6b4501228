// The media players against real files: WAV and MP3 made by sox and lame at run time,
// served by nginx or read from disk, played through fake sinks.
#include "platform/media/MediaPlayers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Media.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace {

constexpr uint32_t kPlayLimitMs = 30000;

class Media : public ::testing::Test {
 protected:
  // A tone of the given length written into the test's folder; answers its path.
  std::string MakeWav(const std::string& name, const std::string& seconds) {
    larktest::MakeToneWav(dir_.Path() + name, seconds);
    return dir_.Path() + name;
  }
  std::string MakeMp3(const std::string& name, const std::string& wav) {
    larktest::MakeMp3(wav, dir_.Path() + name);
    return dir_.Path() + name;
  }
  static std::string ReadAll(const std::string& path) { return larktest::ReadFileBytes(path); }

  larktest::TempDir dir_;
};

// Records each play state the control announces.
struct StateLog {
  std::vector<WMPPlayState> states;
  void Attach(TWindowsMediaPlayer& player) {
    player.OnPlayStateChange = [this](TObject*, WMPPlayState s) { states.push_back(s); };
  }
  bool Saw(WMPPlayState s) const { return std::find(states.begin(), states.end(), s) != states.end(); }
};

TEST_F(Media, EnclosuresFromAWebServerPlayToTheirEnd) {
  larktest::NginxServer nginx;
  ASSERT_TRUE(nginx.Start());
  nginx.WriteFile("tone.wav", ReadAll(MakeWav("tone.wav", "0.5")));
  nginx.WriteFile("tone.mp3", ReadAll(MakeMp3("tone.mp3", dir_.Path() + "tone.wav")));
  for (const char* name : {"/tone.wav", "/tone.mp3"}) {
    SCOPED_TRACE(name);
    TWindowsMediaPlayer wmp(nullptr);
    StateLog log;
    log.Attach(wmp);
    wmp.SetURL(nginx.Url(name));
    EXPECT_EQ(wmp.GetURL(), nginx.Url(name));
    ASSERT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsMediaEnded; }, kPlayLimitMs))
        << "state " << static_cast<int>(wmp.GetplayState()) << ": " << wmp.GetErrorDescription();
    EXPECT_TRUE(log.Saw(wmppsPlaying));
    EXPECT_EQ(wmp.GetErrorDescription(), "");
    EXPECT_NE(nginx.AccessLog().find(std::string("GET ") + name), std::string::npos) << nginx.AccessLog();
  }
}

TEST_F(Media, ALocalFileByPathOrFileAddressPlays) {
  const std::string wav = MakeWav("tone.wav", "0.3");
  const std::string mp3 = MakeMp3("tone.mp3", wav);
  for (const std::string& address : {mp3, "file://" + wav}) {
    SCOPED_TRACE(address);
    TWindowsMediaPlayer wmp(nullptr);
    wmp.SetURL(address);
    EXPECT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsMediaEnded; }, kPlayLimitMs))
        << wmp.GetErrorDescription();
  }
}

// Paused and stopped mid-stream: a long tone played at the stream's pace.
TEST_F(Media, PauseResumeAndStopMidStream) {
  sim::UseFakeMediaSinks(true);
  const std::string wav = MakeWav("long.wav", "60");
  TWindowsMediaPlayer wmp(nullptr);
  wmp.SetURL(wav);
  ASSERT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsPlaying; }, kPlayLimitMs))
      << wmp.GetErrorDescription();
  wmp.Getcontrols()->pause();
  ASSERT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsPaused; }, kPlayLimitMs));
  wmp.Getcontrols()->play();
  ASSERT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsPlaying; }, kPlayLimitMs));
  wmp.Getcontrols()->stop();
  EXPECT_EQ(wmp.GetplayState(), wmppsStopped);
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(wmp.GetplayState(), wmppsStopped);  // no late message takes it back
  // Pausing what is stopped changes nothing; the empty address stops and forgets.
  wmp.Getcontrols()->pause();
  EXPECT_EQ(wmp.GetplayState(), wmppsStopped);
  wmp.Getcontrols()->play();
  ASSERT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsPlaying; }, kPlayLimitMs));
  wmp.SetURL("");
  EXPECT_EQ(wmp.GetplayState(), wmppsUndefined);
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(wmp.GetplayState(), wmppsUndefined);
}

TEST_F(Media, AddressesThatCannotBePlayedEndInAnError) {
  larktest::NginxServer nginx;
  ASSERT_TRUE(nginx.Start());
  nginx.WriteFile("text.mp3", std::string(20000, 'x'));
  const std::string cases[] = {nginx.Url("/missing.mp3"), dir_.Path() + "missing.wav", nginx.Url("/text.mp3")};
  for (const std::string& address : cases) {
    SCOPED_TRACE(address);
    TWindowsMediaPlayer wmp(nullptr);
    wmp.SetURL(address);
    EXPECT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsReady; }, kPlayLimitMs))
        << static_cast<int>(wmp.GetplayState());
    EXPECT_NE(wmp.GetErrorDescription(), "");
    // A good address afterwards plays.
    wmp.SetURL(MakeWav("after.wav", "0.2"));
    EXPECT_EQ(wmp.GetErrorDescription(), "");
    EXPECT_TRUE(larktest::PumpUntil([&] { return wmp.GetplayState() == wmppsMediaEnded; }, kPlayLimitMs))
        << wmp.GetErrorDescription();
  }
}

TEST_F(Media, QuickTimeControlPlaysWhenToldAndTakesItsColour) {
  larktest::NginxServer nginx;
  ASSERT_TRUE(nginx.Start());
  nginx.WriteFile("tone.wav", ReadAll(MakeWav("tone.wav", "0.4")));
  TQTControl qt(nullptr);
  int changes = 0;
  qt.OnStatusChange = [&](TObject*) { ++changes; };
  qt.SetControllerVisible(false);
  EXPECT_FALSE(qt.GetControllerVisible());
  qt.Stop();  // before any address: nothing happens
  qt.SetURL(nginx.Url("/tone.wav"));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(qt.GetPlaying());
  EXPECT_EQ(nginx.AccessLog(), "");  // nothing is fetched before Play
  qt.Play();
  EXPECT_TRUE(larktest::PumpUntil([&] { return qt.GetEnded(); }, kPlayLimitMs)) << qt.GetErrorDescription();
  EXPECT_GT(changes, 0);
  qt.Play();  // again from the start
  EXPECT_TRUE(larktest::PumpUntil([&] { return qt.GetEnded() || !qt.GetErrorDescription().empty(); }, kPlayLimitMs));
  EXPECT_EQ(qt.GetErrorDescription(), "");

  qt.SetBgColor("#102030");
  EXPECT_EQ(qt.GetColor(), 0x302010);
  for (const char* bad : {"102030", "#1020", "#10203040", "#GG0000", ""}) {
    qt.SetBgColor(bad);
    EXPECT_EQ(qt.GetColor(), 0x302010) << bad;
  }
}

}  // namespace
