// The program's entry.
#include "app/Program.h"

#include "app/About.h"
#include "app/Main.h"
#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Application.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Sync.h"

namespace {
TMn* Mn = nullptr;
}  // namespace

int RunProgram() {
  if (const HANDLE running = OpenMutex(MUTEX_ALL_ACCESS, FALSE, kInstanceMutexName)) {
    CloseHandle(running);
    MessageBox(0, kAlreadyRunning, "Larkspool", MB_OK);
    return 0;
  }
  const HANDLE mutex = CreateMutex(nullptr, TRUE, kInstanceMutexName);
  try {
    Application->Initialize();
    Application->SetTitle("Larkspool");
    Application->CreateForm(Mn);
    Application->CreateForm(About);
    Application->CreateForm(Form1);
    Application->Run();
  } catch (Exception& e) {
    Application->ShowException(&e);
  }
  // The forms end with the loop, in the order they were made, while everything
  // they use is still there (not among the program's last static clean-ups).
  delete Mn;
  Mn = nullptr;
  delete About;
  About = nullptr;
  delete Form1;
  Form1 = nullptr;
  if (mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
  return 0;
}
