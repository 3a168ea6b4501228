// A person at the keyboard and the mouse, entering through the one input entry.
#include "platform/sim/Input.h"

#include "platform/win/WindowInternal.h"

namespace sim {

namespace {

larkwin::MouseButton ToButton(Button b) {
  switch (b) {
    case Button::Right: return larkwin::MouseButton::Right;
    case Button::Middle: return larkwin::MouseButton::Middle;
    default: return larkwin::MouseButton::Left;
  }
}

void Key(UINT vk, bool down) {
  larkwin::InputEvent e;
  e.kind = down ? larkwin::InputKind::KeyDown : larkwin::InputKind::KeyUp;
  e.vk = vk;
  larkwin::InjectInput(e);
}

void Modifiers(unsigned modifiers, bool down) {
  if (modifiers & kShift) Key(VK_SHIFT, down);
  if (modifiers & kCtrl) Key(VK_CONTROL, down);
  if (modifiers & kAlt) Key(VK_MENU, down);
}

POINT Cursor() {
  POINT p;
  GetCursorPos(&p);
  return p;
}

void Mouse(larkwin::InputKind kind, Button button, POINT at) {
  larkwin::InputEvent e;
  e.kind = kind;
  e.button = ToButton(button);
  e.pt = at;
  larkwin::InjectInput(e);
}

// The US layout's key and shift for a character, if it has one.
bool KeyOf(unsigned char c, UINT* vk, bool* shift) {
  *shift = false;
  if (c >= 'a' && c <= 'z') {
    *vk = c - 'a' + 'A';
    return true;
  }
  if (c >= 'A' && c <= 'Z') {
    *vk = c;
    *shift = true;
    return true;
  }
  if (c >= '0' && c <= '9') {
    *vk = c;
    return true;
  }
  static const char* const kShifted = ")!@#$%^&*(";
  for (int d = 0; d < 10; ++d) {
    if (kShifted[d] == c) {
      *vk = '0' + static_cast<UINT>(d);
      *shift = true;
      return true;
    }
  }
  struct Oem {
    UINT vk;
    char plain, shifted;
  };
  static const Oem kOem[] = {{VK_OEM_1, ';', ':'},     {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'},
                             {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
                             {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},
                             {VK_OEM_6, ']', '}'},     {VK_OEM_7, '\'', '"'},     {VK_SPACE, ' ', 0}};
  for (const Oem& o : kOem) {
    if (static_cast<char>(c) == o.plain) {
      *vk = o.vk;
      return true;
    }
    if (o.shifted != 0 && static_cast<char>(c) == o.shifted) {
      *vk = o.vk;
      *shift = true;
      return true;
    }
  }
  switch (c) {
    case '\n':
    case '\r': *vk = VK_RETURN; return true;
    case '\t': *vk = VK_TAB; return true;
    case '\b': *vk = VK_BACK; return true;
    default: return false;
  }
}

}  // namespace

POINT ScreenPoint(HWND hWnd, int clientX, int clientY) {
  POINT p{clientX, clientY};
  ClientToScreen(hWnd, &p);
  return p;
}

void MoveMouse(int screenX, int screenY) { Mouse(larkwin::InputKind::MouseMove, Button::Left, POINT{screenX, screenY}); }

void MoveMouse(HWND hWnd, int clientX, int clientY) {
  const POINT p = ScreenPoint(hWnd, clientX, clientY);
  MoveMouse(p.x, p.y);
}

void ButtonDown(Button button, unsigned modifiers) {
  Modifiers(modifiers, true);
  Mouse(larkwin::InputKind::ButtonDown, button, Cursor());
}

void ButtonUp(Button button, unsigned modifiers) {
  Mouse(larkwin::InputKind::ButtonUp, button, Cursor());
  Modifiers(modifiers, false);
}

void Click(int screenX, int screenY, Button button, unsigned modifiers) {
  MoveMouse(screenX, screenY);
  ButtonDown(button, modifiers);
  ButtonUp(button, modifiers);
}

void Click(HWND hWnd, int clientX, int clientY, Button button, unsigned modifiers) {
  const POINT p = ScreenPoint(hWnd, clientX, clientY);
  Click(p.x, p.y, button, modifiers);
}

void RightClick(HWND hWnd, int clientX, int clientY) { Click(hWnd, clientX, clientY, Button::Right); }

void DoubleClick(HWND hWnd, int clientX, int clientY) {
  Click(hWnd, clientX, clientY);
  Click(hWnd, clientX, clientY);
}

void DragScreen(int fromX, int fromY, int toX, int toY, int steps) {
  MoveMouse(fromX, fromY);
  ButtonDown();
  if (steps < 1) steps = 1;
  for (int i = 1; i <= steps; ++i) MoveMouse(fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps);
  ButtonUp();
}

void Drag(HWND hWnd, int fromX, int fromY, int toX, int toY, int steps) {
  const POINT a = ScreenPoint(hWnd, fromX, fromY), b = ScreenPoint(hWnd, toX, toY);
  DragScreen(a.x, a.y, b.x, b.y, steps);
}

void Wheel(int notches, unsigned modifiers) {
  Modifiers(modifiers, true);
  larkwin::InputEvent e;
  e.kind = larkwin::InputKind::Wheel;
  e.pt = Cursor();
  e.wheelDelta = notches * WHEEL_DELTA;
  larkwin::InjectInput(e);
  Modifiers(modifiers, false);
}

void KeyDown(UINT vk) { Key(vk, true); }

void KeyUp(UINT vk) { Key(vk, false); }

void PressKey(UINT vk, unsigned modifiers) {
  Modifiers(modifiers, true);
  Key(vk, true);
  Key(vk, false);
  Modifiers(modifiers, false);
}

void TypeText(const std::string& text) {
  for (unsigned char c : text) {
    UINT vk = 0;
    bool shift = false;
    if (KeyOf(c, &vk, &shift)) {
      PressKey(vk, shift ? kShift : 0);
      continue;
    }
    larkwin::InputEvent e;
    e.kind = larkwin::InputKind::Character;
    e.character = c;
    larkwin::InjectInput(e);
  }
}

void ResetInput() {
  larkwin::Registry& reg = larkwin::Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  reg.asyncKeys.fill(0);
  for (auto& [id, t] : reg.threads) {
    t.keys.fill(0);
    t.capture = 0;
  }
  reg.cursor = POINT{};
  reg.doubleClickTime = 500;
  reg.lastClick = larkwin::Registry::LastClick{};
  reg.track = larkwin::ScrollTrack{};
}

}  // namespace sim
