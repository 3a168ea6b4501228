// The one entry of a person's input, key states, keyboard translation and cursors.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/win/SimHooks.h"
#include "platform/win/WindowInternal.h"

namespace larkwin {

namespace {

constexpr LPARAM Pack(POINT p) { return MAKELPARAM(static_cast<Word>(p.x), static_cast<Word>(p.y)); }

struct ButtonMessages {
  UINT down, up, dblclk, ncDown, ncUp, ncDblclk;
  UINT vk;
  WPARAM mk;
};

ButtonMessages MessagesOf(MouseButton b) {
  switch (b) {
    case MouseButton::Right:
      return {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_NCRBUTTONDOWN, WM_NCRBUTTONUP, WM_NCRBUTTONDBLCLK,
              VK_RBUTTON, MK_RBUTTON};
    case MouseButton::Middle:
      return {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_NCMBUTTONDOWN, WM_NCMBUTTONUP, WM_NCMBUTTONDBLCLK,
              VK_MBUTTON, MK_MBUTTON};
    case MouseButton::Left:
    default:
      return {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCLBUTTONDBLCLK,
              VK_LBUTTON, MK_LBUTTON};
  }
}

WPARAM MouseFlags(const std::array<Byte, 256>& keys) {
  WPARAM mk = 0;
  if (keys[VK_LBUTTON] & 0x80) mk |= MK_LBUTTON;
  if (keys[VK_RBUTTON] & 0x80) mk |= MK_RBUTTON;
  if (keys[VK_MBUTTON] & 0x80) mk |= MK_MBUTTON;
  if (keys[VK_SHIFT] & 0x80) mk |= MK_SHIFT;
  if (keys[VK_CONTROL] & 0x80) mk |= MK_CONTROL;
  return mk;
}

// Keeps the generic and the left/right keys of Shift, Ctrl and Alt in step.
void SetKey(std::array<Byte, 256>& keys, UINT vk, bool down) {
  auto set = [&](UINT k) {
    if (down) {
      if (!(keys[k] & 0x80)) keys[k] ^= 0x01;  // the toggle flips on each press
      keys[k] |= 0x80;
    } else {
      keys[k] &= static_cast<Byte>(~0x80);
    }
  };
  set(vk & 0xFF);
  auto pair = [&](UINT generic, UINT left, UINT right) {
    if (vk == generic) set(left);
    if (vk == left || vk == right) {
      if (down) {
        set(generic);
      } else if (!(keys[vk == left ? right : left] & 0x80)) {
        set(generic);
      }
    }
  };
  pair(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
  pair(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
  pair(VK_MENU, VK_LMENU, VK_RMENU);
}

bool IsExtendedKey(UINT vk) {
  switch (vk) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME: case VK_LEFT: case VK_UP: case VK_RIGHT:
    case VK_DOWN: case VK_INSERT: case VK_DELETE: case VK_DIVIDE: case VK_RCONTROL: case VK_RMENU:
    case VK_LWIN: case VK_RWIN: case VK_APPS: case VK_NUMLOCK: case VK_SNAPSHOT:
      return true;
    default:
      return false;
  }
}

// The thread whose windows take the keyboard: the foreground window's, else the
// calling thread.
DWORD KeyboardThreadLocked(Registry& reg) {
  if (auto f = FindLocked(reg, reg.foreground)) return f->threadId;
  return GetCurrentThreadId();
}

HWND CaptureLocked(Registry& reg) {
  for (auto& [id, t] : reg.threads) {
    if (t.capture != 0) return t.capture;
  }
  return 0;
}

void PostMouse(HWND target, LRESULT hit, UINT clientMsg, UINT ncMsg, POINT screen, WPARAM mk) {
  if (hit == HTCLIENT) {
    POINT p = screen;
    ScreenToClient(target, &p);
    PostMessage(target, clientMsg, mk, Pack(p));
  } else {
    PostMessage(target, ncMsg, static_cast<WPARAM>(hit), Pack(screen));
  }
}

void InjectMouse(const InputEvent& e) {
  std::array<Byte, 256> keys;
  HWND capture;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    // A mouse that did not move makes no WM_MOUSEMOVE.
    if (e.kind == InputKind::MouseMove && reg.cursor.x == e.pt.x && reg.cursor.y == e.pt.y && reg.track.hwnd == 0)
      return;
    reg.cursor = e.pt;
    if (e.kind == InputKind::ButtonDown || e.kind == InputKind::ButtonUp)
      SetKey(reg.asyncKeys, MessagesOf(e.button).vk, e.kind == InputKind::ButtonDown);
    keys = reg.asyncKeys;
    capture = CaptureLocked(reg);
  }
  if (HandleScrollTrack(e)) return;
  const WPARAM mk = MouseFlags(keys);
  if (e.kind == InputKind::Wheel) {
    HWND target = 0;
    {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      ThreadInput& t = ThreadInputLocked(reg, KeyboardThreadLocked(reg));
      target = t.focus != 0 ? t.focus : t.active;
    }
    if (target == 0 || !IsWindowEnabled(GetAncestor(target, GA_ROOT))) return;
    PostMessage(target, WM_MOUSEWHEEL, MAKELPARAM(static_cast<Word>(mk), static_cast<Word>(e.wheelDelta)), Pack(e.pt));
    return;
  }
  HWND target;
  LRESULT hit = HTCLIENT;
  if (capture != 0) {
    target = capture;
  } else {
    target = HitTestPoint(e.pt, &hit);
    if (target == 0) return;
    // A disabled top-level window (the owner of a modal one) takes no input.
    if (!IsWindowEnabled(GetAncestor(target, GA_ROOT))) {
      if (e.kind == InputKind::ButtonDown) MessageBeep(0);
      return;
    }
  }
  const bool sameThread = GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId();
  if (e.kind == InputKind::MouseMove) {
    if (capture == 0 && sameThread)
      SendMessage(target, WM_SETCURSOR, target, MAKELPARAM(static_cast<Word>(hit), static_cast<Word>(WM_MOUSEMOVE)));
    PostMouse(target, hit, WM_MOUSEMOVE, WM_NCMOUSEMOVE, e.pt, mk);
    return;
  }
  const ButtonMessages m = MessagesOf(e.button);
  if (e.kind == InputKind::ButtonUp) {
    PostMouse(target, hit, m.up, m.ncUp, e.pt, mk);
    return;
  }
  // A button goes down.
  if (capture == 0 && sameThread) {
    const HWND top = GetAncestor(target, GA_ROOT);
    bool eat = false;
    if (top != GetActiveWindow() || top != GetForegroundWindow()) {
      const LRESULT ma = SendMessage(target, WM_MOUSEACTIVATE, top, MAKELPARAM(static_cast<Word>(hit), static_cast<Word>(m.down)));
      if (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT) ActivateWindow(top, true, true);
      eat = ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT;
    }
    if (!IsWindow(target)) return;
    SendMessage(target, WM_SETCURSOR, target, MAKELPARAM(static_cast<Word>(hit), static_cast<Word>(m.down)));
    if (eat) return;
  }
  // Double clicks: the same button on the same window, soon enough and near enough.
  bool dbl = false;
  {
    const bool classAllows =
        hit != HTCLIENT || (static_cast<UINT>(GetClassLongPtr(target, GCL_STYLE)) & CS_DBLCLKS) != 0;
    const uint64_t now = sim::NowMs();
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    Registry::LastClick& last = reg.lastClick;
    const Integer cx = std::max(GetSystemMetrics(SM_CXDOUBLECLK) / 2, 0);
    const Integer cy = std::max(GetSystemMetrics(SM_CYDOUBLECLK) / 2, 0);
    if (classAllows && last.armed && last.hwnd == target && last.button == e.button &&
        now - last.time <= reg.doubleClickTime && std::abs(e.pt.x - last.pt.x) <= cx &&
        std::abs(e.pt.y - last.pt.y) <= cy) {
      dbl = true;
      last.armed = false;
    } else {
      last.hwnd = target;
      last.button = e.button;
      last.time = now;
      last.pt = e.pt;
      last.armed = true;
    }
  }
  PostMouse(target, hit, dbl ? m.dblclk : m.down, dbl ? m.ncDblclk : m.ncDown, e.pt, mk);
}

void InjectKey(const InputEvent& e) {
  HWND target = 0;
  bool toActive = false;
  bool was = false;
  bool altAlone = false;  // Alt released with no other key pressed meanwhile
  std::array<Byte, 256> keys;
  const UINT vk = e.kind == InputKind::Character ? VK_PACKET : (e.vk & 0xFF);
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (e.kind != InputKind::Character) {
      was = (reg.asyncKeys[vk] & 0x80) != 0;
      const bool isAlt = vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
      if (e.kind == InputKind::KeyDown) {
        if (isAlt && !was) reg.altUsed = false;
        if (!isAlt && (reg.asyncKeys[VK_MENU] & 0x80)) reg.altUsed = true;
      } else if (isAlt) {
        altAlone = !reg.altUsed;
      }
      SetKey(reg.asyncKeys, vk, e.kind == InputKind::KeyDown);
    }
    keys = reg.asyncKeys;
    ThreadInput& t = ThreadInputLocked(reg, KeyboardThreadLocked(reg));
    target = t.focus;
    if (target == 0) {
      target = t.active;
      toActive = true;
    }
  }
  if (target == 0) return;
  if (!IsWindowEnabled(target) || !IsWindowEnabled(GetAncestor(target, GA_ROOT))) return;
  if (e.kind == InputKind::Character) {
    const LPARAM lp = 1 | (static_cast<LPARAM>(e.character) << 16);
    PostMessage(target, WM_KEYDOWN, VK_PACKET, lp);
    PostMessage(target, WM_KEYUP, VK_PACKET, lp | (LPARAM{1} << 30) | (LPARAM{1} << 31));
    return;
  }
  const bool alt = (keys[VK_MENU] & 0x80) != 0;
  const bool ctrl = (keys[VK_CONTROL] & 0x80) != 0;
  const bool down = e.kind == InputKind::KeyDown;
  const bool isAlt = vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
  // Alt itself is a system key, except its release after it served another key.
  const bool sys = toActive || vk == VK_F10 || (isAlt && (down || altAlone)) || (alt && !ctrl && !isAlt);
  const UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  const UINT scan = e.scanCode != 0 ? e.scanCode : ScanCodeOf(vk);
  LPARAM lp = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
  if (e.extended || IsExtendedKey(vk)) lp |= LPARAM{1} << 24;
  if (alt) lp |= LPARAM{1} << 29;
  if (down ? was : true) lp |= LPARAM{1} << 30;
  if (!down) lp |= LPARAM{1} << 31;
  PostMessage(target, msg, vk, lp);
}

}  // namespace

UINT ScanCodeOf(UINT vk) {
  static const std::map<UINT, UINT> table = [] {
    std::map<UINT, UINT> t;
    const char* rows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    const UINT starts[] = {2, 16, 30, 44};
    for (int r = 0; r < 4; ++r)
      for (int i = 0; rows[r][i]; ++i) t[static_cast<UINT>(rows[r][i])] = starts[r] + static_cast<UINT>(i);
    const std::pair<UINT, UINT> rest[] = {
        {VK_ESCAPE, 1}, {VK_OEM_MINUS, 12}, {VK_OEM_PLUS, 13}, {VK_BACK, 14}, {VK_TAB, 15},
        {VK_OEM_4, 26}, {VK_OEM_6, 27}, {VK_RETURN, 28}, {VK_CONTROL, 29}, {VK_LCONTROL, 29},
        {VK_RCONTROL, 29}, {VK_OEM_1, 39}, {VK_OEM_7, 40}, {VK_OEM_3, 41}, {VK_SHIFT, 42},
        {VK_LSHIFT, 42}, {VK_OEM_5, 43}, {VK_OEM_COMMA, 51}, {VK_OEM_PERIOD, 52}, {VK_OEM_2, 53},
        {VK_RSHIFT, 54}, {VK_MULTIPLY, 55}, {VK_MENU, 56}, {VK_LMENU, 56}, {VK_RMENU, 56},
        {VK_SPACE, 57}, {VK_CAPITAL, 58}, {VK_NUMLOCK, 69}, {VK_SCROLL, 70}, {VK_HOME, 71},
        {VK_UP, 72}, {VK_PRIOR, 73}, {VK_SUBTRACT, 74}, {VK_LEFT, 75}, {VK_RIGHT, 77}, {VK_ADD, 78},
        {VK_END, 79}, {VK_DOWN, 80}, {VK_NEXT, 81}, {VK_INSERT, 82}, {VK_DELETE, 83}, {VK_F11, 87},
        {VK_F12, 88}, {VK_DIVIDE, 53}, {VK_LWIN, 91}, {VK_RWIN, 92}, {VK_APPS, 93}};
    for (const auto& [k, v] : rest) t[k] = v;
    for (UINT f = 0; f < 10; ++f) t[VK_F1 + f] = 59 + f;
    const UINT pad[] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
    for (UINT n = 0; n < 10; ++n) t[VK_NUMPAD0 + n] = pad[n];
    return t;
  }();
  auto it = table.find(vk);
  return it == table.end() ? 0 : it->second;
}

Byte CharacterOfKey(UINT vk, const std::array<Byte, 256>& keys) {
  const bool shift = (keys[VK_SHIFT] & 0x80) != 0;
  const bool caps = (keys[VK_CAPITAL] & 0x01) != 0;
  const bool ctrl = (keys[VK_CONTROL] & 0x80) != 0;
  const bool alt = (keys[VK_MENU] & 0x80) != 0;
  if (ctrl && alt) return 0;
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return static_cast<Byte>(vk - 'A' + 1);
    return static_cast<Byte>((shift != caps) ? vk : vk - 'A' + 'a');
  }
  if (ctrl) {
    if (vk == VK_RETURN) return '\n';
    if (vk == VK_BACK) return 0x7F;
    if (vk == VK_OEM_4) return 0x1B;
    if (vk == VK_OEM_5) return 0x1C;
    if (vk == VK_OEM_6) return 0x1D;
    return 0;
  }
  if (vk >= '0' && vk <= '9') return static_cast<Byte>(shift ? ")!@#$%^&*("[vk - '0'] : vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<Byte>('0' + (vk - VK_NUMPAD0));
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    case VK_OEM_1: return shift ? ':' : ';';
    case VK_OEM_PLUS: return shift ? '+' : '=';
    case VK_OEM_COMMA: return shift ? '<' : ',';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    case VK_OEM_2: return shift ? '?' : '/';
    case VK_OEM_3: return shift ? '~' : '`';
    case VK_OEM_4: return shift ? '{' : '[';
    case VK_OEM_5: return shift ? '|' : '\\';
    case VK_OEM_6: return shift ? '}' : ']';
    case VK_OEM_7: return shift ? '"' : '\'';
    default: return 0;
  }
}

void NoteInputMessage(const MSG& msg) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  ThreadInput& t = ThreadInputLocked(reg, GetCurrentThreadId());
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (msg.wParam != VK_PACKET) SetKey(t.keys, static_cast<UINT>(msg.wParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (msg.wParam != VK_PACKET) SetKey(t.keys, static_cast<UINT>(msg.wParam), false);
      break;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: SetKey(t.keys, VK_LBUTTON, true); break;
    case WM_LBUTTONUP: SetKey(t.keys, VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: SetKey(t.keys, VK_RBUTTON, true); break;
    case WM_RBUTTONUP: SetKey(t.keys, VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: SetKey(t.keys, VK_MBUTTON, true); break;
    case WM_MBUTTONUP: SetKey(t.keys, VK_MBUTTON, false); break;
    default: break;
  }
}

void InjectInput(const InputEvent& event) {
  switch (event.kind) {
    case InputKind::KeyDown:
    case InputKind::KeyUp:
    case InputKind::Character:
      InjectKey(event);
      break;
    default:
      InjectMouse(event);
      break;
  }
}

namespace {

// Standard cursors drawn from pictures: 'X' black, '.' white, anything else clear.
struct CursorArt {
  uintptr_t id;
  Integer hotX, hotY;
  const char* rows[22];
};

constexpr CursorArt kArrow = {32512, 0, 0,
                              {"X", "XX", "X.X", "X..X", "X...X", "X....X", "X.....X", "X......X", "X.......X",
                               "X........X", "X.....XXXXX", "X..X..X", "X.X X..X", "XX  X..X", "X    X..X",
                               "     X..X", "      X..X", "      XX", nullptr}};
constexpr CursorArt kIBeam = {32513, 4, 8,
                              {"XXX XXX", "   X", "   X", "   X", "   X", "   X", "   X", "   X", "   X",
                               "   X", "   X", "   X", "   X", "   X", "   X", "   X", "XXX XXX", nullptr}};
constexpr CursorArt kCross = {32515, 7, 7,
                              {"       X", "       X", "       X", "       X", "       X", "       X", "       X",
                               "XXXXXXXXXXXXXXX", "       X", "       X", "       X", "       X", "       X",
                               "       X", "       X", nullptr}};
constexpr CursorArt kWait = {32514, 5, 8,
                             {"XXXXXXXXXXX", "X.........X", " X.......X", "  X.....X", "   X...X", "    X.X",
                              "     X", "    X.X", "   X...X", "  X.....X", " X.......X", "X.........X",
                              "XXXXXXXXXXX", nullptr}};
constexpr CursorArt kSizeWE = {32644, 8, 4,
                               {"   X       X", "  XX       XX", " X.XXXXXXXXX.X", "X.............X",
                                " X.XXXXXXXXX.X", "  XX       XX", "   X       X", nullptr}};
constexpr CursorArt kSizeNS = {32645, 3, 8,
                               {"   X", "  X.X", " X...X", "XXX.XXX", "  X.X", "  X.X", "  X.X", "  X.X", "  X.X",
                                "  X.X", "  X.X", "XXX.XXX", " X...X", "  X.X", "   X", nullptr}};
constexpr CursorArt kHand = {32649, 5, 0,
                             {"     XX", "    X..X", "    X..X", "    X..X", "    X..XXX", "    X..X..XXX",
                              "XXX X..X..X..XX", "X..XX........X", "X...X........X", " X...........X",
                              "  X..........X", "  X.........X", "   X........X", "    X......X", "    XXXXXXXX",
                              nullptr}};

const CursorArt& ArtOf(uintptr_t id) {
  switch (id) {
    case 32513: return kIBeam;
    case 32514: return kWait;
    case 32515: return kCross;
    case 32644: return kSizeWE;
    case 32645: return kSizeNS;
    case 32649: return kHand;
    default: return kArrow;
  }
}

HCURSOR MakeCursor(const CursorArt& art) {
  constexpr Integer kSize = 32;
  Byte mask[kSize * 4];  // 1 bit per pixel, rows of 32 bits: 1 keeps the screen
  uint32_t color[kSize * kSize] = {};
  std::fill(std::begin(mask), std::end(mask), Byte{0xFF});
  for (Integer y = 0; y < 22 && art.rows[y] != nullptr; ++y) {
    for (Integer x = 0; art.rows[y][x] != '\0' && x < kSize; ++x) {
      const char c = art.rows[y][x];
      if (c != 'X' && c != '.') continue;
      mask[y * 4 + x / 8] &= static_cast<Byte>(~(0x80 >> (x % 8)));
      color[y * kSize + x] = c == '.' ? 0xFFFFFF : 0;
    }
  }
  ICONINFO info;
  info.fIcon = FALSE;
  info.xHotspot = static_cast<DWORD>(art.hotX);
  info.yHotspot = static_cast<DWORD>(art.hotY);
  info.hbmMask = CreateBitmap(kSize, kSize, 1, 1, mask);
  info.hbmColor = CreateBitmap(kSize, kSize, 1, 32, color);
  const HICON icon = CreateIconIndirect(&info);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  return icon;
}

}  // namespace

}  // namespace larkwin

using larkwin::Reg;
using larkwin::Registry;

BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
    return (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP) ? TRUE : FALSE;
  }
  Byte ch;
  if (msg->wParam == VK_PACKET) {
    ch = static_cast<Byte>((msg->lParam >> 16) & 0xFF);
  } else {
    std::array<Byte, 256> keys;
    {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      keys = larkwin::ThreadInputLocked(reg, GetCurrentThreadId()).keys;
    }
    ch = larkwin::CharacterOfKey(static_cast<UINT>(msg->wParam), keys);
  }
  if (ch == 0) return TRUE;
  // The character comes next, before whatever was already queued (the key's release).
  MSG out = *msg;
  out.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  out.wParam = ch;
  auto q = larkwin::CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  q->posted.push_front(out);
  return TRUE;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  *point = reg.cursor;
  return TRUE;
}

BOOL SetCursorPos(Integer x, Integer y) {
  const larkwin::ScreenMode m = larkwin::Display().Mode();
  larkwin::InputEvent e;
  e.kind = larkwin::InputKind::MouseMove;
  e.pt = POINT{std::clamp(x, m.originX, m.originX + m.width - 1), std::clamp(y, m.originY, m.originY + m.height - 1)};
  larkwin::InjectInput(e);
  return TRUE;
}

SHORT GetKeyState(Integer vk) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const Byte k = larkwin::ThreadInputLocked(reg, GetCurrentThreadId()).keys[static_cast<size_t>(vk & 0xFF)];
  return static_cast<SHORT>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

SHORT GetAsyncKeyState(Integer vk) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const Byte k = reg.asyncKeys[static_cast<size_t>(vk & 0xFF)];
  return static_cast<SHORT>((k & 0x80) ? 0x8000 : 0);
}

BOOL GetKeyboardState(Byte* keys) {
  if (keys == nullptr) return FALSE;
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const auto& k = larkwin::ThreadInputLocked(reg, GetCurrentThreadId()).keys;
  std::copy(k.begin(), k.end(), keys);
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    old = reg.cursorShape;
    reg.cursorShape = cursor;
  }
  if (old != cursor) larkwin::Display().SetCursorShape(cursor);
  return old;
}

HCURSOR GetCursor() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return reg.cursorShape;
}

HCURSOR LoadCursor(HINSTANCE instance, const char* name) {
  const auto id = reinterpret_cast<uintptr_t>(name);
  if (instance != 0 || id >= 0x10000) return 0;
  static std::mutex mutex;
  static std::map<uintptr_t, HCURSOR>* cursors = new std::map<uintptr_t, HCURSOR>();
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cursors->find(id);
  if (it != cursors->end()) return it->second;
  switch (id) {
    case 32512: case 32513: case 32514: case 32515: case 32516: case 32642: case 32643: case 32644:
    case 32645: case 32646: case 32648: case 32649: case 32650: case 32651:
      break;
    default:
      return 0;
  }
  const HCURSOR c = larkwin::MakeCursor(larkwin::ArtOf(id));
  (*cursors)[id] = c;
  return c;
}

UINT GetDoubleClickTime() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return reg.doubleClickTime;
}

BOOL SetDoubleClickTime(UINT milliseconds) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  reg.doubleClickTime = milliseconds == 0 ? 500 : milliseconds;
  return TRUE;
}

void keybd_event(Byte vk, Byte scan, DWORD flags, uintptr_t /*extraInfo*/) {
  larkwin::InputEvent e;
  e.kind = (flags & KEYEVENTF_KEYUP) ? larkwin::InputKind::KeyUp : larkwin::InputKind::KeyDown;
  e.vk = vk;
  e.scanCode = scan;
  e.extended = (flags & KEYEVENTF_EXTENDEDKEY) != 0;
  larkwin::InjectInput(e);
}

void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, uintptr_t /*extraInfo*/) {
  POINT pt;
  GetCursorPos(&pt);
  if (flags & MOUSEEVENTF_MOVE) {
    if (flags & MOUSEEVENTF_ABSOLUTE) {
      const larkwin::ScreenMode m = larkwin::Display().Mode();
      pt.x = static_cast<Integer>((static_cast<int64_t>(dx) * m.width) / 65536);
      pt.y = static_cast<Integer>((static_cast<int64_t>(dy) * m.height) / 65536);
    } else {
      pt.x += static_cast<Integer>(dx);
      pt.y += static_cast<Integer>(dy);
    }
    larkwin::InputEvent e;
    e.kind = larkwin::InputKind::MouseMove;
    e.pt = pt;
    larkwin::InjectInput(e);
  }
  const struct {
    DWORD flag;
    larkwin::InputKind kind;
    larkwin::MouseButton button;
  } buttons[] = {
      {MOUSEEVENTF_LEFTDOWN, larkwin::InputKind::ButtonDown, larkwin::MouseButton::Left},
      {MOUSEEVENTF_LEFTUP, larkwin::InputKind::ButtonUp, larkwin::MouseButton::Left},
      {MOUSEEVENTF_RIGHTDOWN, larkwin::InputKind::ButtonDown, larkwin::MouseButton::Right},
      {MOUSEEVENTF_RIGHTUP, larkwin::InputKind::ButtonUp, larkwin::MouseButton::Right},
      {MOUSEEVENTF_MIDDLEDOWN, larkwin::InputKind::ButtonDown, larkwin::MouseButton::Middle},
      {MOUSEEVENTF_MIDDLEUP, larkwin::InputKind::ButtonUp, larkwin::MouseButton::Middle},
  };
  for (const auto& b : buttons) {
    if (!(flags & b.flag)) continue;
    larkwin::InputEvent e;
    e.kind = b.kind;
    e.button = b.button;
    e.pt = pt;
    larkwin::InjectInput(e);
  }
  if (flags & MOUSEEVENTF_WHEEL) {
    larkwin::InputEvent e;
    e.kind = larkwin::InputKind::Wheel;
    e.pt = pt;
    e.wheelDelta = static_cast<int32_t>(data);
    larkwin::InjectInput(e);
  }
}

UINT SendInput(UINT count, const INPUT* inputs, Integer size) {
  if (inputs == nullptr || size != static_cast<Integer>(sizeof(INPUT))) return 0;
  for (UINT i = 0; i < count; ++i) {
    const INPUT& in = inputs[i];
    if (in.type == INPUT_KEYBOARD) {
      if (in.ki.dwFlags & KEYEVENTF_UNICODE) {
        if (in.ki.dwFlags & KEYEVENTF_KEYUP) continue;
        larkwin::InputEvent e;
        e.kind = larkwin::InputKind::Character;
        e.character = in.ki.wScan < 0x100 ? static_cast<Byte>(in.ki.wScan) : '?';
        larkwin::InjectInput(e);
      } else {
        keybd_event(static_cast<Byte>(in.ki.wVk), static_cast<Byte>(in.ki.wScan), in.ki.dwFlags, 0);
      }
    } else {
      mouse_event(in.mi.dwFlags, static_cast<DWORD>(in.mi.dx), static_cast<DWORD>(in.mi.dy), in.mi.mouseData, 0);
    }
  }
  return count;
}

UINT MapVirtualKey(UINT code, UINT mapType) {
  if (mapType != MAPVK_VK_TO_VSC) return 0;
  return larkwin::ScanCodeOf(code);
}
