// Program entry: initialises the application object and runs its message loop
// until it is told to quit (the end of the session: SIGTERM, SIGINT or SIGHUP).
#include "platform/vcl/Application.h"

int main() {
  Application->Initialize();
  Application->SetTitle("Larkspool");
  Application->Run();
  return 0;
}
