// The clipboard: opening by one thread at a time, ownership of the blocks put on
// it, and emptying.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/win/Clipboard.h"

namespace {

HGLOBAL Block(const char* text) {
  const size_t n = std::strlen(text) + 1;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, n);
  std::memcpy(GlobalLock(mem), text, n);
  GlobalUnlock(mem);
  return mem;
}

// Leaves the clipboard closed and empty.
void Reset() {
  while (CloseClipboard()) {
  }
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  CloseClipboard();
}

}  // namespace

TEST(WinClipboard, BlocksBelongToTheClipboardUntilReplacedOrEmptied) {
  Reset();
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  // Nothing works without opening it.
  HGLOBAL first = Block("one");
  EXPECT_EQ(SetClipboardData(CF_DIB, first), 0u);
  EXPECT_EQ(GetClipboardData(CF_DIB), 0u);
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_FALSE(CloseClipboard());

  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(SetClipboardData(CF_DIB, first), first);
  EXPECT_EQ(SetClipboardData(CF_TEXT, 0), 0u);  // not a block: refused
  EXPECT_TRUE(CloseClipboard());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));

  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_EQ(GetClipboardData(CF_DIB), first);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(first)), "one");
  GlobalUnlock(first);
  HGLOBAL second = Block("two");
  EXPECT_EQ(SetClipboardData(CF_DIB, second), second);
  EXPECT_EQ(GlobalSize(first), 0u);  // the replaced block was freed
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_EQ(GlobalSize(second), 0u);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_TRUE(CloseClipboard());
}

TEST(WinClipboard, OneThreadAtATime) {
  Reset();
  ASSERT_TRUE(OpenClipboard(0));
  EXPECT_TRUE(OpenClipboard(0));  // again on the same thread
  bool otherOpened = true, otherClosed = true;
  std::thread other([&] {
    otherOpened = OpenClipboard(0) != FALSE;
    otherClosed = CloseClipboard() != FALSE;
  });
  other.join();
  EXPECT_FALSE(otherOpened);
  EXPECT_FALSE(otherClosed);
  EXPECT_TRUE(CloseClipboard());
  std::thread later([&] {
    otherOpened = OpenClipboard(0) != FALSE;
    otherClosed = CloseClipboard() != FALSE;
  });
  later.join();
  EXPECT_TRUE(otherOpened);
  EXPECT_TRUE(otherClosed);
}
