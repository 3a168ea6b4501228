#include "platform/mshtml/HtmlClipboard.h"

#include <cstring>
#include <mutex>

#include "platform/rtl/CodePage.h"
#include "platform/win/Clipboard.h"

namespace mshtml {

namespace {

struct Store {
  std::mutex Mutex;
  std::optional<ClipboardFragment> Fragment;
  // The text the engine put on the platform's clipboard with the fragment: while
  // the platform's text is still this, the fragment is the newer content.
  AnsiString PlatformText;
};

Store& TheStore() {
  static Store store;
  return store;
}

// The platform's CF_TEXT, or nothing.
std::optional<AnsiString> PlatformText() {
  if (!OpenClipboard(0)) return std::nullopt;
  std::optional<AnsiString> text;
  if (HANDLE block = GetClipboardData(CF_TEXT)) {
    const auto* p = static_cast<const char*>(GlobalLock(block));
    if (p) {
      text = AnsiString(p, strnlen(p, GlobalSize(block)));
      GlobalUnlock(block);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

bool PutClipboardFragment(const ClipboardFragment& fragment) {
  const AnsiString text = WideToAnsi(fragment.Text);
  {
    Store& s = TheStore();
    std::lock_guard<std::mutex> lock(s.Mutex);
    s.Fragment = fragment;
    s.PlatformText = text;
  }
  if (!OpenClipboard(0)) return false;
  bool ok = false;
  if (EmptyClipboard()) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (block) {
      auto* to = static_cast<char*>(GlobalLock(block));
      std::memcpy(to, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      ok = SetClipboardData(CF_TEXT, block) != 0;
      if (!ok) GlobalFree(block);
    }
  }
  CloseClipboard();
  return ok;
}

std::optional<ClipboardFragment> GetClipboardFragment() {
  const std::optional<AnsiString> platform = PlatformText();
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.Mutex);
  if (s.Fragment && (!platform || *platform == s.PlatformText)) return s.Fragment;
  if (platform) return ClipboardFragment{WideString(), AnsiToWide(*platform)};
  return std::nullopt;
}

bool ClipboardHasFragment() { return GetClipboardFragment().has_value(); }

void ClearClipboardFragment() {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.Mutex);
  s.Fragment.reset();
  s.PlatformText.clear();
}

}  // namespace mshtml
