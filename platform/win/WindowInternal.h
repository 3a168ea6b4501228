// What the window sources share: the window records, the registry that holds them,
// the per-thread input state, and the helpers that walk geometry and z-order. Not for
// use outside platform/win and platform/sim.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"

namespace larkwin {

using WindowMethod = std::function<void(TMessage&)>;

struct ClassRec {
  ATOM atom = 0;
  std::string name;  // as registered
  WNDCLASS wc;
  Integer windows = 0;
};

struct ScrollBarState {
  Integer min = 0;
  Integer max = 100;
  UINT page = 0;
  Integer pos = 0;
  Integer trackPos = 0;
  UINT disabledArrows = 0;  // ESB_DISABLE_* bits
};

struct WindowRec {
  HWND hwnd = 0;
  DWORD threadId = 0;
  std::weak_ptr<MessageQueue> queue;
  std::shared_ptr<ClassRec> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HWND parent = 0;  // 0 for top-level windows
  HWND owner = 0;   // top-level windows only
  std::vector<HWND> children;  // z-order, top first
  std::string text;
  std::vector<unsigned char> extra;
  RECT rect;         // the window, in the parent's client coordinates (screen for top-level)
  RECT client;       // the client area, same coordinates
  RECT normalRect;   // the rectangle SW_RESTORE goes back to
  bool needSize = true;  // no WM_SIZE yet: the first showing sends WM_SIZE and WM_MOVE
  bool destroying = false;
  // AllocateHWnd's method; shared so that a call in progress keeps it alive.
  std::shared_ptr<WindowMethod> method;

  // Painting: the update region in client coordinates, and what else is due.
  gdi::Region update;
  bool erase = false;          // WM_ERASEBKGND due at the next BeginPaint
  bool frame = false;          // WM_NCPAINT due
  bool internalPaint = false;  // a WM_PAINT asked for with nothing to paint
  bool ncActive = false;       // the caption is drawn active
  ScrollBarState bars[2];

  // Top-level windows only: the surface (made when first shown), the part of it
  // painted since the last present, and whether the backend knows the window.
  std::shared_ptr<gdi::BitmapObj> surface;
  RECT dirty;
  bool shown = false;
};

// Input state of one thread.
struct ThreadInput {
  HWND focus = 0;
  HWND active = 0;
  HWND capture = 0;
  std::array<Byte, 256> keys{};  // GetKeyState: as of the last input message taken
};

// Scroll bar tracking by the mouse (the platform's modal loop, made of state).
struct ScrollTrack {
  HWND hwnd = 0;
  Integer bar = SB_VERT;
  WPARAM request = SB_ENDSCROLL;  // the part pressed
  Integer grabOffset = 0;         // thumb: where in the thumb it was taken
};

// Everything here is guarded by the mutex. The mutex is never held while a window
// procedure runs, nor while a queue mutex is taken (queue code may take this one while
// holding its own).
struct Registry {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<ClassRec>> classes;  // by lower-case name
  std::unordered_map<HWND, std::shared_ptr<WindowRec>> windows;
  std::vector<HWND> topLevels;  // z-order, top first
  HWND nextHandle = 0x10010;
  HWND desktop = 0;
  // Input.
  std::unordered_map<DWORD, ThreadInput> threads;
  HWND foreground = 0;
  POINT cursor;
  std::array<Byte, 256> asyncKeys{};  // 0x80 down, 0x01 toggled
  HCURSOR cursorShape = 0;
  UINT doubleClickTime = 500;
  struct LastClick {
    HWND hwnd = 0;
    MouseButton button = MouseButton::Left;
    uint64_t time = 0;
    POINT pt;
    bool armed = false;  // the next matching down is a double click
  } lastClick;
  ScrollTrack track;
  bool altUsed = false;  // a key went down while Alt was held
  HWND hover = 0;  // the window the cursor was last over
};

Registry& Reg();

std::shared_ptr<WindowRec> FindLocked(Registry& reg, HWND hWnd);
std::shared_ptr<WindowRec> Find(HWND hWnd);
std::shared_ptr<ClassRec> FindClassLocked(Registry& reg, const char* name);

// ---- geometry (caller holds the registry mutex) ----

inline bool IsChildRec(const WindowRec& w) { return (w.style & WS_CHILD) != 0 && w.parent != 0; }
// The screen position of a window's client origin.
POINT ClientOriginLocked(Registry& reg, const WindowRec& w);
// The window rectangle in screen coordinates.
RECT ScreenRectLocked(Registry& reg, const WindowRec& w);
// The top-level window a window lives in (itself for a top-level window).
std::shared_ptr<WindowRec> TopLevelLocked(Registry& reg, const std::shared_ptr<WindowRec>& w);
// Whether the window and every ancestor have WS_VISIBLE.
bool VisibleLocked(Registry& reg, const WindowRec& w);
// The part of a window's client area (client = true) or of the whole window that
// can be seen, in the coordinates of its top-level window's surface; clipChildren
// and clipSiblings as a DC of that window clips.
gdi::Region VisibleRegionLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, bool client,
                                bool clipChildren, bool clipSiblings);
// Offset of the window's client (or window) origin in its top-level surface.
POINT SurfaceOffsetLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, bool client);
ThreadInput& ThreadInputLocked(Registry& reg, DWORD threadId);
// A rectangle's size.
inline Integer Width(const RECT& r) { return r.right - r.left; }
inline Integer Height(const RECT& r) { return r.bottom - r.top; }

// The defaults WM_GETMINMAXINFO starts from.
MINMAXINFO DefaultMinMaxInfo(DWORD style, DWORD exStyle);

// ---- non-client area (Window_frame.cpp) ----

// The client rectangle of a window rectangle for these styles and scroll bars.
RECT DefaultClientRect(const RECT& window, DWORD style, DWORD exStyle);
// The frame thickness and caption height of the styles.
Integer FrameThickness(DWORD style, DWORD exStyle);
Integer CaptionHeight(DWORD style, DWORD exStyle);
LRESULT DefaultHitTest(HWND hWnd, POINT screenPoint);
void PaintFrame(HWND hWnd);
// Rectangles of a standard scroll bar in window coordinates; false when not shown.
bool ScrollBarRect(HWND hWnd, Integer bar, RECT* rect);
// Which part of the bar the point (window coordinates) is in: SB_LINEUP, SB_PAGEUP,
// SB_THUMBTRACK, SB_PAGEDOWN, SB_LINEDOWN; SB_ENDSCROLL outside.
WPARAM ScrollBarPart(HWND hWnd, Integer bar, POINT windowPoint, Integer* thumbStart);
// Thumb position along the track for a mouse position, during a drag.
Integer ScrollPosFromPoint(HWND hWnd, Integer bar, POINT windowPoint, Integer grabOffset);
// A click on a scroll bar at a screen point (from DefWindowProc's WM_NCLBUTTONDOWN).
void StartScrollTracking(HWND hWnd, Integer bar, POINT screenPoint);

// ---- painting (Window_paint.cpp) ----

// Adds to a window's update region (client coordinates; null = whole client area),
// with its children where they overlap unless it clips them (or allChildren says).
void InvalidateLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, const gdi::Region* rgn,
                      bool erase, bool frame, int children /* -1 none, 0 default, 1 all */,
                      std::vector<HWND>* woken);
void WakeForPaint(const std::vector<HWND>& windows);
// Gives the top-level window a surface of its size (keeping what fits of the old one).
void EnsureSurfaceLocked(Registry& reg, const std::shared_ptr<WindowRec>& top);
// Marks a rectangle of a top-level surface (surface coordinates) as painted.
void MarkDirtyLocked(WindowRec& top, const RECT& r);
// Presents what the calling thread's top-level windows painted.
void PresentDirty();
// For GetMessage/PeekMessage: the window of the calling thread that WM_PAINT is due
// for, parents before children; 0 when none (or none passes the filter).
HWND NextPaintWindow(HWND filter);
// A window changed place or visibility: the parts of the parent (or the screen) it
// uncovered and the window itself are repainted.
void ExposeAfterMove(HWND hWnd, const RECT& oldScreenRect, bool wasVisible);

// ---- backend bookkeeping ----

void AnnounceTopLevel(HWND hWnd);       // shown for the first time or changed
void ForgetTopLevel(HWND hWnd);         // destroyed
void RecomposeScreen();                 // z-order or visibility changed

// ---- activation and focus (Window_activate.cpp) ----

// Activates a top-level window of the calling thread (0 deactivates the thread);
// clickActive for WA_CLICKACTIVE. Answers the previous active window.
HWND ActivateWindow(HWND hWnd, bool clickActive, bool setForeground);
// A window is hidden, disabled or destroyed: activation, focus and capture leave it.
void LeaveWindow(HWND hWnd, bool destroying);
// The top-level window to activate when hWnd stops being active.
HWND NextActiveCandidate(HWND leaving);

// The window under a screen point as WindowFromPoint finds it, with its hit code.
HWND HitTestPoint(POINT point, LRESULT* hit);

// ---- input (Window_input.cpp) ----

// Called by the queue when an input message is taken: GetKeyState follows it.
void NoteInputMessage(const MSG& msg);
// The character a key makes with the current key state (0 for none).
Byte CharacterOfKey(UINT vk, const std::array<Byte, 256>& keys);
UINT ScanCodeOf(UINT vk);
// Whether a scroll bar drag is under way and takes the mouse.
bool HandleScrollTrack(const InputEvent& event);

}  // namespace larkwin
