// Program entry: text is drawn with real faces when they are installed (the built-in
// bitmap font otherwise), and windows appear on the X display named by DISPLAY
// unless LARK_DISPLAY=headless keeps the program off it. The rest is RunProgram's.
#include "app/Program.h"
#include "platform/win/GdiText.h"
#include "platform/x11/X11Display.h"

int main() {
  SetFontEngine(FontEngine::FreeType);
  larkx11::ChooseDisplayBackend();
  return RunProgram();
}
