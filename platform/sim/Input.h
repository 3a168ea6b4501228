// A person at the keyboard and the mouse, for tests: each call enters through the same
// input entry a display does (larkwin::InjectInput), on the calling thread. Nothing
// is dispatched here; the test pumps its loop afterwards.
#pragma once

#include <string>

#include "platform/win/Input.h"

namespace sim {

// Modifier keys held around a click or a key press.
inline constexpr unsigned kShift = 1;
inline constexpr unsigned kCtrl = 2;
inline constexpr unsigned kAlt = 4;

enum class Button { Left, Right, Middle };

// A point on the screen, or a point in a window's client area.
POINT ScreenPoint(HWND hWnd, int clientX, int clientY);

void MoveMouse(int screenX, int screenY);
void MoveMouse(HWND hWnd, int clientX, int clientY);
void ButtonDown(Button button = Button::Left, unsigned modifiers = 0);
void ButtonUp(Button button = Button::Left, unsigned modifiers = 0);
// Moves there, presses and releases.
void Click(int screenX, int screenY, Button button = Button::Left, unsigned modifiers = 0);
void Click(HWND hWnd, int clientX, int clientY, Button button = Button::Left,
           unsigned modifiers = 0);
void RightClick(HWND hWnd, int clientX, int clientY);
// Two clicks at once, within the double-click time and distance.
void DoubleClick(HWND hWnd, int clientX, int clientY);
// Presses at the first point, moves in steps to the second, releases there.
void Drag(HWND hWnd, int fromX, int fromY, int toX, int toY, int steps = 4);
void DragScreen(int fromX, int fromY, int toX, int toY, int steps = 4);
// Turns the wheel by notches (positive away from the person) where the cursor is.
void Wheel(int notches, unsigned modifiers = 0);
// Presses and releases a key with the modifiers held.
void PressKey(UINT vk, unsigned modifiers = 0);
void KeyDown(UINT vk);
void KeyUp(UINT vk);
// Types Windows-1252 text: the keys of the US layout for what it has (shift
// included), the character itself (VK_PACKET) for the rest. '\n' and '\r' press
// Enter, '\t' Tab, '\b' Backspace.
void TypeText(const std::string& text);

// Every key up, no button down, the cursor at (0, 0), the double-click time back to
// its default, no capture.
void ResetInput();

}  // namespace sim
