// The X11 display backend: every top-level window shown on an X display, the
// display's input turned into the window layer's one input entry, the text
// clipboard on the CLIPBOARD selection.
//
// The window layer still draws everything itself; each painted rectangle of a
// top-level surface is put on the window's X window (through shared memory when the
// server offers MIT-SHM). The X connection's descriptor joins the message loop of the
// thread that opens the display, which must be the thread that owns the windows.
// Windows draw their own frame and caption, so the window manager is asked not to
// decorate them; dragging the caption or an edge asks the window manager to move or
// size the window. Nothing here includes Xlib.
#pragma once

#include <string>

namespace larkx11 {

// Opens the display (name empty: $DISPLAY) and makes it the display backend.
// False, with a warning on stderr, when it cannot be opened or has no true-colour
// visual: the headless backend stays.
bool UseX11Display(const std::string& name = {});
// Goes back to the headless backend and closes the connection.
void CloseX11Display();
// Waits until the server has carried out every request made so far (a picture taken
// by another client afterwards shows what was presented).
void SyncX11Display();
// True while the X11 backend is installed and its connection alive.
bool X11DisplayActive();
// The program's choice: the X display when DISPLAY is set and LARK_DISPLAY is not
// "headless"; headless otherwise. Answers whether the X display is in use.
bool ChooseDisplayBackend();

}  // namespace larkx11
