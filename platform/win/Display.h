// The display seam: what the window layer tells a display backend, and the one entry
// through which a person's input comes back.
//
// The window layer draws every window itself (GDI on each top-level window's
// surface); a backend only shows the result. It learns of top-level windows when they
// are first shown (hidden utility windows never reach it), of their changes, and of
// each painted rectangle. The null backend, the default, shows nothing: it keeps the
// screen's surface (what GetDC(0) draws on, with the windows composed onto it in
// z-order) and the last frame presented for each window, which sim writes to PNG
// files. Another backend (an X11 display) derives from it or replaces it and turns
// its events into InjectInput calls on the GUI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace gdi {
struct BitmapObj;
}

namespace larkwin {

// The screen's format.
struct ScreenMode {
  Integer width = 1024;
  Integer height = 768;
  Integer bitsPerPixel = 32;
  Integer dpiX = 96;
  Integer dpiY = 96;
  // The screen's top-left in screen coordinates: a virtual screen spread over
  // monitors left of or above the primary one starts below 0.
  Integer originX = 0;
  Integer originY = 0;
};

// What a backend knows of a top-level window.
struct TopLevelState {
  RECT rect;             // screen coordinates, frame included
  bool visible = false;
  bool minimized = false;
  bool maximized = false;
  bool topmost = false;
  bool active = false;
  HWND owner = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string caption;   // Windows-1252
};

// Pixels of a window's surface: 32-bit rows (blue, green, red, unused), top row
// first, stride bytes apart.
struct PixelView {
  const uint8_t* bits = nullptr;
  Integer width = 0;
  Integer height = 0;
  Integer stride = 0;
};

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;

  // A top-level window is shown for the first time.
  virtual void WindowCreated(HWND hWnd, const TopLevelState& state) = 0;
  // Shown or hidden, moved or resized, restacked, re-captioned, (de)activated.
  virtual void WindowChanged(HWND hWnd, const TopLevelState& state) = 0;
  virtual void WindowDestroyed(HWND hWnd) = 0;
  // The stacking of the shown top-level windows changed (topFirst: top of the z-order
  // first).
  virtual void Restack(const std::vector<HWND>& topFirst) = 0;
  // The rectangle dirty (window coordinates) of the window's surface was painted.
  virtual void Present(HWND hWnd, const RECT& dirty, const PixelView& surface) = 0;

  virtual ScreenMode Mode() = 0;
  // False when the backend cannot take the mode (the null backend takes any size from
  // 1 to 16384 at 8, 16, 24 or 32 bits).
  virtual bool SetMode(const ScreenMode& mode) = 0;
  // The surface GetDC(0) draws on.
  virtual std::shared_ptr<gdi::BitmapObj> ScreenBitmap() = 0;
  // Called before the screen's surface is read (a blit from a DC of the screen):
  // a backend whose screen shows other programs' windows too copies the area
  // (screen coordinates) of what a person sees into that surface. The null backend's
  // surface already is what it shows.
  virtual void RefreshScreen(const RECT& /*area*/) {}

  // The cursor to show (0: none).
  virtual void SetCursorShape(HCURSOR cursor) = 0;
  // The pointer is held by hWnd (0: released).
  virtual void GrabPointer(HWND hWnd) = 0;
  virtual void Beep(UINT type) = 0;
};

// The null backend: the default, and a base for backends that keep its screen.
class NullDisplay : public DisplayBackend {
 public:
  NullDisplay();
  ~NullDisplay() override;
  void WindowCreated(HWND hWnd, const TopLevelState& state) override;
  void WindowChanged(HWND hWnd, const TopLevelState& state) override;
  void WindowDestroyed(HWND hWnd) override;
  void Restack(const std::vector<HWND>& topFirst) override;
  void Present(HWND hWnd, const RECT& dirty, const PixelView& surface) override;
  ScreenMode Mode() override;
  bool SetMode(const ScreenMode& mode) override;
  std::shared_ptr<gdi::BitmapObj> ScreenBitmap() override;
  void SetCursorShape(HCURSOR cursor) override;
  void GrabPointer(HWND hWnd) override;
  void Beep(UINT type) override;

  // The last frame presented for a window: 32-bit pixels, top row first. False when
  // the window never reached the backend.
  bool Frame(HWND hWnd, std::vector<uint32_t>* pixels, Integer* width, Integer* height);
  // The windows composed in z-order over the desktop colour, as a person would see
  // the screen (0x00RRGGBB pixels, top row first).
  void ComposeScreen(std::vector<uint32_t>* pixels, Integer* width, Integer* height);
  HCURSOR ShownCursor();
  HWND PointerGrab();
  Integer Beeps();
  // Back to the default mode with a new screen of the desktop colour, no beeps, no
  // cursor or grab.
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The backend in use (the null backend unless another was installed).
DisplayBackend& Display();
// The null backend (always there, installed or not).
NullDisplay& NullBackend();
// Installs a backend; null goes back to the null backend. Windows already shown are
// announced to the new backend.
void SetDisplayBackend(std::unique_ptr<DisplayBackend> backend);

// Top-level windows from the top of the z-order down that have reached the backend.
std::vector<HWND> ShownTopLevelWindows();
TopLevelState TopLevelStateOf(HWND hWnd);

// ---------------------------------------------------------------------------------
// The one entry of a person's input. Coordinates are screen pixels; time is the sim
// clock's unless given.

enum class InputKind : uint8_t {
  MouseMove,
  ButtonDown,
  ButtonUp,
  Wheel,
  KeyDown,
  KeyUp,
  Character,  // a Windows-1252 character typed by whatever means (VK_PACKET)
};

enum class MouseButton : uint8_t { Left, Right, Middle };

struct InputEvent {
  InputKind kind = InputKind::MouseMove;
  POINT pt;                        // mouse events
  MouseButton button = MouseButton::Left;
  Integer wheelDelta = 0;          // multiples of WHEEL_DELTA, positive away from the person
  UINT vk = 0;                     // key events
  UINT scanCode = 0;               // 0: the layout's scan code of vk
  bool extended = false;
  Byte character = 0;              // InputKind::Character
};

// Processes one event on the calling thread: updates the cursor and key states,
// hit-tests, sends WM_NCHITTEST, WM_SETCURSOR and WM_MOUSEACTIVATE where the platform
// does, activates, and posts the mouse or keyboard message to the target's queue.
void InjectInput(const InputEvent& event);

}  // namespace larkwin
