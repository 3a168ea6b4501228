// Program entry: initialises the application object and runs its message loop
// until it is told to quit (the end of the session: SIGTERM, SIGINT or SIGHUP).
//
// Text is drawn with real faces when they are installed (the built-in bitmap font
// otherwise), and windows appear on the X display named by DISPLAY unless
// LARK_DISPLAY=headless keeps the program off it.
#include "platform/vcl/Application.h"
#include "platform/win/GdiText.h"
#include "platform/x11/X11Display.h"

int main() {
  SetFontEngine(FontEngine::FreeType);
  larkx11::ChooseDisplayBackend();
  Application->Initialize();
  Application->SetTitle("Larkspool");
  Application->Run();
  return 0;
}
