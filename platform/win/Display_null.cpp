// The null display backend: no display at all. It keeps the screen's surface, with
// the shown top-level windows composed onto it in z-order, and the last frame of each
// window, so that tests can look at what a person would have seen.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"

namespace larkwin {

namespace {

struct WindowFrame {
  Integer width = 0;
  Integer height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  TopLevelState state;
};

std::shared_ptr<gdi::BitmapObj> NewScreenBitmap(const ScreenMode& m) {
  auto b = std::make_shared<gdi::BitmapObj>();
  b->Surf = std::make_shared<gdi::Surface>();
  if (!gdi::AllocateSurface(*b->Surf, m.width, m.height, m.bitsPerPixel, true)) return nullptr;
  if (m.bitsPerPixel == 16) {
    b->Surf->Masks[0] = 0xF800;
    b->Surf->Masks[1] = 0x07E0;
    b->Surf->Masks[2] = 0x001F;
  } else {
    gdi::SetDefaultMasks(*b->Surf);
  }
  gdi::SetStandardColors(*b->Surf);
  b->Stock = true;
  // The desktop's colour until windows are shown on it.
  gdi::ColorEncoder enc(*b->Surf);
  std::vector<uint32_t> row(static_cast<size_t>(m.width), enc(gdi::RgbOf(GetSysColor(COLOR_BACKGROUND))));
  for (Integer y = 0; y < m.height; ++y) gdi::WriteValues(*b->Surf, y, 0, m.width, row.data());
  b->Stock = true;
  return b;
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool Shows(const WindowFrame& f) { return f.state.visible && !f.state.minimized && f.width > 0; }

}  // namespace

struct NullDisplay::State {
  std::mutex mutex;
  ScreenMode mode;
  std::shared_ptr<gdi::BitmapObj> screen;
  std::map<HWND, WindowFrame> frames;
  HCURSOR cursor = 0;
  HWND grab = 0;
  Integer beeps = 0;
};

NullDisplay::NullDisplay() : state_(std::make_unique<State>()) {}
NullDisplay::~NullDisplay() = default;

namespace {

// Composes the screen area `area` (screen coordinates) from the desktop colour and
// the frames, bottom first, into rows of 0x00RRGGBB pixels.
void ComposeInto(const std::map<HWND, WindowFrame>& frames, const std::vector<HWND>& topFirst, const RECT& area,
                 std::vector<uint32_t>& out) {
  const Integer w = area.right - area.left, h = area.bottom - area.top;
  out.assign(static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0)),
             gdi::RgbOf(GetSysColor(COLOR_BACKGROUND)));
  for (auto it = topFirst.rbegin(); it != topFirst.rend(); ++it) {
    auto f = frames.find(*it);
    if (f == frames.end() || !Shows(f->second)) continue;
    const WindowFrame& fr = f->second;
    const RECT at{fr.state.rect.left, fr.state.rect.top, fr.state.rect.left + fr.width, fr.state.rect.top + fr.height};
    const RECT r = Intersect(at, area);
    for (Integer y = r.top; y < r.bottom; ++y) {
      const uint32_t* src = fr.pixels.data() + static_cast<size_t>(y - at.top) * fr.width + (r.left - at.left);
      uint32_t* dst = out.data() + static_cast<size_t>(y - area.top) * w + (r.left - area.left);
      std::memcpy(dst, src, static_cast<size_t>(r.right - r.left) * 4);
    }
  }
}

// The screen's area in screen coordinates.
RECT ScreenArea(const ScreenMode& m) {
  return RECT{m.originX, m.originY, m.originX + m.width, m.originY + m.height};
}

}  // namespace

void NullDisplay::WindowCreated(HWND hWnd, const TopLevelState& state) { WindowChanged(hWnd, state); }

void NullDisplay::WindowChanged(HWND hWnd, const TopLevelState& state) {
  const std::vector<HWND> order = ShownTopLevelWindows();
  std::lock_guard<std::mutex> lock(state_->mutex);
  WindowFrame& f = state_->frames[hWnd];
  const bool moved = f.state.visible != state.visible || f.state.minimized != state.minimized ||
                     std::memcmp(&f.state.rect, &state.rect, sizeof(RECT)) != 0;
  const RECT before = f.state.rect;
  const bool showedBefore = Shows(f);
  f.state = state;
  // Compose what the change uncovered or covered, in the order windows are stacked now.
  if (!moved) return;
  RECT area = ScreenArea(state_->mode);
  if (showedBefore && Shows(f)) {
    area = RECT{std::min(before.left, state.rect.left), std::min(before.top, state.rect.top),
                std::max(before.right, state.rect.right), std::max(before.bottom, state.rect.bottom)};
  } else if (showedBefore) {
    area = before;
  } else {
    area = state.rect;
  }
  area = Intersect(area, ScreenArea(state_->mode));
  if (area.right <= area.left || area.bottom <= area.top || !state_->screen) return;
  std::vector<uint32_t> pixels;
  ComposeInto(state_->frames, order, area, pixels);
  gdi::Surface& s = *state_->screen->Surf;
  gdi::ColorEncoder enc(s);
  const Integer w = area.right - area.left;
  std::vector<uint32_t> row(static_cast<size_t>(w));
  for (Integer y = area.top; y < area.bottom; ++y) {
    enc.EncodeRow(pixels.data() + static_cast<size_t>(y - area.top) * w, row.data(), w);
    gdi::WriteValues(s, y - state_->mode.originY, area.left - state_->mode.originX, w, row.data());
  }
}

void NullDisplay::Restack(const std::vector<HWND>& topFirst) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->screen) return;
  // Only where shown windows are can the stacking change what is seen.
  RECT area{0, 0, 0, 0};
  for (HWND h : topFirst) {
    auto it = state_->frames.find(h);
    if (it == state_->frames.end() || !Shows(it->second)) continue;
    const RECT& r = it->second.state.rect;
    if (area.right <= area.left) {
      area = r;
    } else {
      area = RECT{std::min(area.left, r.left), std::min(area.top, r.top), std::max(area.right, r.right),
                  std::max(area.bottom, r.bottom)};
    }
  }
  area = Intersect(area, ScreenArea(state_->mode));
  if (area.right <= area.left || area.bottom <= area.top) return;
  std::vector<uint32_t> pixels;
  ComposeInto(state_->frames, topFirst, area, pixels);
  gdi::Surface& s = *state_->screen->Surf;
  gdi::ColorEncoder enc(s);
  const Integer w = area.right - area.left;
  std::vector<uint32_t> row(static_cast<size_t>(w));
  for (Integer y = area.top; y < area.bottom; ++y) {
    enc.EncodeRow(pixels.data() + static_cast<size_t>(y - area.top) * w, row.data(), w);
    gdi::WriteValues(s, y - state_->mode.originY, area.left - state_->mode.originX, w, row.data());
  }
}

void NullDisplay::WindowDestroyed(HWND hWnd) {
  TopLevelState gone;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto it = state_->frames.find(hWnd);
    if (it == state_->frames.end()) return;
    gone = it->second.state;
  }
  gone.visible = false;
  WindowChanged(hWnd, gone);
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->frames.erase(hWnd);
}

void NullDisplay::Present(HWND hWnd, const RECT& dirty, const PixelView& surface) {
  RECT screenArea;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    WindowFrame& f = state_->frames[hWnd];
    if (f.width != surface.width || f.height != surface.height) {
      std::vector<uint32_t> resized(static_cast<size_t>(surface.width) * static_cast<size_t>(surface.height), 0);
      for (Integer y = 0; y < std::min(f.height, surface.height); ++y)
        std::memcpy(resized.data() + static_cast<size_t>(y) * surface.width,
                    f.pixels.data() + static_cast<size_t>(y) * f.width,
                    static_cast<size_t>(std::min(f.width, surface.width)) * 4);
      f.pixels.swap(resized);
      f.width = surface.width;
      f.height = surface.height;
    }
    const RECT r = Intersect(dirty, RECT{0, 0, surface.width, surface.height});
    for (Integer y = r.top; y < r.bottom; ++y) {
      std::memcpy(f.pixels.data() + static_cast<size_t>(y) * f.width + r.left,
                  surface.bits + static_cast<size_t>(y) * surface.stride + static_cast<size_t>(r.left) * 4,
                  static_cast<size_t>(r.right - r.left) * 4);
    }
    screenArea = RECT{r.left + f.state.rect.left, r.top + f.state.rect.top, r.right + f.state.rect.left,
                      r.bottom + f.state.rect.top};
  }
  const std::vector<HWND> order = ShownTopLevelWindows();
  std::lock_guard<std::mutex> lock(state_->mutex);
  const RECT area = Intersect(screenArea, ScreenArea(state_->mode));
  if (area.right <= area.left || area.bottom <= area.top || !state_->screen) return;
  std::vector<uint32_t> pixels;
  ComposeInto(state_->frames, order, area, pixels);
  gdi::Surface& s = *state_->screen->Surf;
  gdi::ColorEncoder enc(s);
  const Integer w = area.right - area.left;
  std::vector<uint32_t> row(static_cast<size_t>(w));
  for (Integer y = area.top; y < area.bottom; ++y) {
    enc.EncodeRow(pixels.data() + static_cast<size_t>(y - area.top) * w, row.data(), w);
    gdi::WriteValues(s, y - state_->mode.originY, area.left - state_->mode.originX, w, row.data());
  }
}

ScreenMode NullDisplay::Mode() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->mode;
}

bool NullDisplay::SetMode(const ScreenMode& mode) {
  if (mode.width < 1 || mode.height < 1 || mode.width > 16384 || mode.height > 16384) return false;
  if (mode.bitsPerPixel != 8 && mode.bitsPerPixel != 16 && mode.bitsPerPixel != 24 && mode.bitsPerPixel != 32)
    return false;
  std::lock_guard<std::mutex> lock(state_->mutex);
  const ScreenMode& old = state_->mode;
  if (state_->screen && old.width == mode.width && old.height == mode.height &&
      old.bitsPerPixel == mode.bitsPerPixel) {
    state_->mode = mode;
    return true;
  }
  auto screen = NewScreenBitmap(mode);
  if (!screen) return false;
  state_->screen = screen;
  state_->mode = mode;
  return true;
}

std::shared_ptr<gdi::BitmapObj> NullDisplay::ScreenBitmap() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->screen) state_->screen = NewScreenBitmap(state_->mode);
  return state_->screen;
}

void NullDisplay::SetCursorShape(HCURSOR cursor) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->cursor = cursor;
}

void NullDisplay::GrabPointer(HWND hWnd) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->grab = hWnd;
}

void NullDisplay::Beep(UINT /*type*/) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  ++state_->beeps;
}

bool NullDisplay::Frame(HWND hWnd, std::vector<uint32_t>* pixels, Integer* width, Integer* height) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  auto it = state_->frames.find(hWnd);
  if (it == state_->frames.end() || it->second.width == 0) return false;
  if (pixels) *pixels = it->second.pixels;
  if (width) *width = it->second.width;
  if (height) *height = it->second.height;
  return true;
}

void NullDisplay::ComposeScreen(std::vector<uint32_t>* pixels, Integer* width, Integer* height) {
  const std::vector<HWND> order = ShownTopLevelWindows();
  std::lock_guard<std::mutex> lock(state_->mutex);
  const RECT all = ScreenArea(state_->mode);
  std::vector<uint32_t> out;
  ComposeInto(state_->frames, order, all, out);
  if (pixels) pixels->swap(out);
  if (width) *width = state_->mode.width;
  if (height) *height = state_->mode.height;
}

HCURSOR NullDisplay::ShownCursor() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->cursor;
}

HWND NullDisplay::PointerGrab() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->grab;
}

Integer NullDisplay::Beeps() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->beeps;
}

void NullDisplay::Reset() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->mode = ScreenMode{};
  state_->screen = NewScreenBitmap(state_->mode);
  state_->beeps = 0;
  state_->cursor = 0;
  state_->grab = 0;
}

}  // namespace larkwin
