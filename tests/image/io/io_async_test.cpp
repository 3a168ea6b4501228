// Loads and saves on threads of their own: when they go to a thread, what runs on
// it, and how the component waits for them.
#include <atomic>
#include <mutex>

#include "platform/sim/DebugOutput.h"
#include "platform/win/Messages.h"
#include "tests/image/io_test_util.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Pump.h"

namespace {

using io_test::IOTest;
using io_test::Pixels;

class IOAsyncTest : public IOTest {
 protected:
  void SetUp() override {
    IOTest::SetUp();
    TDadirAvIO maker(nullptr);
    codec_test::Pattern(*maker.GetIEBitmap(), 40, 30, 6);
    gif = Dir() + "a.gif";
    bmp = Dir() + "a.bmp";
    maker.SaveToFile(gif);
    maker.SaveToFile(bmp);
    expected = Pixels(*maker.GetIEBitmap());
    io.OnFinishWork = [this](TObject*) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        finishThreads.push_back(GetCurrentThreadId());
        finishInside.push_back(io.IsInsideAsyncThreads());
      }
      if (onFinish) onFinish();
    };
  }
  void TearDown() override {
    io.WaitThreads(false);
    IOTest::TearDown();
  }
  bool WaitIdle() {
    return larktest::PumpUntil([this] { return io.GetAsyncRunning() == 0; });
  }

  std::string gif, bmp;
  std::vector<Byte> expected;
  TDadirAvIO io{nullptr};
  TIEBitmap outside;
  std::mutex mutex;
  std::vector<DWORD> finishThreads;
  std::vector<bool> finishInside;
  std::function<void()> onFinish;
};

TEST_F(IOAsyncTest, OwnStoreRunsOnTheCallersThread) {
  io.SetAsyncMode(true);
  EXPECT_EQ(io.LoadFromFileGif(gif), 1);
  EXPECT_EQ(io.GetAsyncRunning(), 0);
  ASSERT_EQ(finishThreads.size(), 1u);
  EXPECT_EQ(finishThreads[0], GetCurrentThreadId());
  EXPECT_FALSE(finishInside[0]);
  EXPECT_EQ(Pixels(*io.GetIEBitmap()), expected);
}

// A framework bitmap is worked on through a store of the component's own: also
// synchronous.
TEST_F(IOAsyncTest, FrameworkBitmapRunsOnTheCallersThread) {
  TBitmap bitmap;
  io.SetAttachedBitmap(&bitmap);
  io.SetAsyncMode(true);
  EXPECT_EQ(io.LoadFromFileGif(gif), 1);
  EXPECT_EQ(io.GetAsyncRunning(), 0);
  EXPECT_EQ(bitmap.GetWidth(), 40);
  EXPECT_TRUE(bitmap.GetModified());
  // Without any store the load fails, and says so.
  io.SetIEBitmap(nullptr);
  io.LoadFromFile(gif);
  EXPECT_TRUE(io.GetAborting());
  EXPECT_EQ(finishThreads.size(), 2u);
}

TEST_F(IOAsyncTest, OutsideStoreLoadsAndSavesOnThreads) {
  io.SetAttachedIEBitmap(&outside);
  io.SetAsyncMode(true);
  EXPECT_EQ(io.LoadFromFileGif(gif), -1);
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(Pixels(outside), expected);

  // The dispatchers, a stream load (detected on the caller's thread), a save and a
  // web load go the same way.
  outside.FreeImage();
  io.LoadFromFile(bmp);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Pixels(outside), expected);

  TMemoryStream s;
  codec_test::Fill(s, file_test::ReadFile(bmp));
  s.SetPosition(0);
  outside.FreeImage();
  io.LoadFromStream(&s);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Pixels(outside), expected);

  io.SaveToFile(Dir() + "copy.png");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(FindFileFormat(Dir() + "copy.png", true), iofnPNG);

  larktest::NginxServer nginx;
  ASSERT_TRUE(nginx.Start());
  nginx.WriteFile("a.gif", file_test::ReadFile(gif));
  outside.FreeImage();
  io.LoadFromURL(nginx.Url("/a.gif"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(Pixels(outside), expected);

  ASSERT_EQ(finishThreads.size(), 5u);
  for (size_t i = 0; i < finishThreads.size(); ++i) {
    EXPECT_NE(finishThreads[i], GetCurrentThreadId()) << i;
    EXPECT_TRUE(finishInside[i]) << i;
  }
}

TEST_F(IOAsyncTest, WorkStartedFromTheEndOfAThreadRunsOnThatThread) {
  io.SetAttachedIEBitmap(&outside);
  io.SetAsyncMode(true);
  std::atomic<int> count{-2};
  onFinish = [&] {
    if (finishThreads.size() != 1) return;
    outside.FreeImage();
    count = io.LoadFromFileGif(gif);  // no second thread: it runs here, now
  };
  io.LoadFromFileBMP(bmp);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(count.load(), 1);
  ASSERT_EQ(finishThreads.size(), 2u);
  EXPECT_EQ(finishThreads[0], finishThreads[1]);
  EXPECT_EQ(Pixels(outside), expected);
}

TEST_F(IOAsyncTest, AnExceptionOnAThreadSetsAborting) {
  io.SetAttachedIEBitmap(&outside);
  io.SetAsyncMode(true);
  sim::ClearDebugLines();
  io.LoadFromFileBMP(Dir() + "missing.bmp");  // the open error is raised on the thread
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(io.GetAborting());
  EXPECT_EQ(finishThreads.size(), 1u);
  std::vector<std::string> lines = sim::DebugLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("Exception in TIEIOThread.Execute"), std::string::npos);
}

TEST_F(IOAsyncTest, WaitThreadsStopsTheWorkAndWaits) {
  TDadirAvIO maker(nullptr);
  codec_test::Pattern(*maker.GetIEBitmap(), 1500, 1500);
  std::string big = Dir() + "big.png";
  maker.SaveToFile(big);
  codec_test::Pattern(outside, 5, 5);
  std::vector<Byte> before = Pixels(outside);
  io.SetAttachedIEBitmap(&outside);
  io.SetAsyncMode(true);
  io.LoadFromFilePNG(big);
  io.WaitThreads(true);
  EXPECT_EQ(io.GetAsyncRunning(), 0);
  EXPECT_TRUE(io.GetAborting());
  // Stopped before its end, or finished just before the request: either the old
  // image or the whole new one, never a part.
  EXPECT_TRUE(outside.GetWidth() == 5 ? Pixels(outside) == before : outside.GetWidth() == 1500);
}

}  // namespace
