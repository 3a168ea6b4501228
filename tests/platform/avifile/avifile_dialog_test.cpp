// The compression dialog on screen: its look, kept as a picture, and the keys a
// person presses on it (Enter confirms full frames, Escape cancels).
#include <gtest/gtest.h>

#include "platform/avifile/AVIFile.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/win/Window.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace {

// Every message handled as the application does (dialog keys included), then the
// rest until the loop is idle.
void Pump() {
  Application->ProcessMessages();
  larktest::PumpUntilIdle();
  Application->ProcessMessages();
}

std::string Png(const char* name) { return std::string(LARK_TEST_BINARY_DIR) + "/" + name; }

class AVIDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)Application->GetHandle();  // the framework hosts the dialogs
    sim::SetDialogEcho(false);
    AVIFileInit();
    ASSERT_EQ(AVIFileOpenA(&file_, (dir_.Path() + "dialog.avi").c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    AVISTREAMINFOA info;
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 25;
    ASSERT_EQ(AVIFileCreateStreamA(file_, &stream_, &info), AVIERR_OK);
  }
  void TearDown() override {
    AVIStreamRelease(stream_);
    AVIFileRelease(file_);
    AVIFileExit();
    sim::SetDialogEcho(true);
  }
  BOOL Ask() {
    options_ = AVICOMPRESSOPTIONS{};
    AVICOMPRESSOPTIONS* list[1] = {&options_};
    return AVISaveOptions(0, 0, 1, &stream_, list);
  }

  larktest::TempDir dir_;
  PAVIFILE file_ = nullptr;
  PAVISTREAM stream_ = nullptr;
  AVICOMPRESSOPTIONS options_;
};

TEST_F(AVIDialogTest, EnterConfirmsFullFramesEscapeCancels) {
  char caption[64] = {};
  bool saved = false;
  sim::QueueDialogAction("Video Compression", [&](HWND dialog) {
    Pump();
    GetWindowText(dialog, caption, sizeof caption);
    saved = sim::SaveWindowPng(dialog, Png("avi_compression_dialog.png"));
    sim::PressKey(VK_RETURN);
    Pump();
  });
  EXPECT_TRUE(Ask());
  EXPECT_STREQ(caption, "Video Compression");
  EXPECT_TRUE(saved) << Png("avi_compression_dialog.png");
  EXPECT_EQ(options_.fccHandler, comptypeDIB);

  sim::QueueDialogAction("Video Compression", [&](HWND) {
    Pump();
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(Ask());
  EXPECT_EQ(options_.fccHandler, 0u);
}

}  // namespace
