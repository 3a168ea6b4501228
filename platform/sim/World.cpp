#include "platform/sim/World.h"

#include "platform/mshtml/CommandSimHooks.h"
#include "platform/mshtml/SimHooks.h"
#include "platform/ole/SimHooks.h"
#include "platform/printer/SimHooks.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Faults.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/media/SimHooks.h"
#include "platform/rtl/SimHooks.h"
#include "platform/shell/SimHooks.h"
#include "platform/twain/SimHooks.h"
#include "platform/uxtheme/SimHooks.h"
#include "platform/win/SimHooks.h"
#include "platform/winsock/SimHooks.h"

namespace sim {

void ResetWorld() {
  ClearFaults();
  UseRealClock();
  InstallDialogResponder();
  ClearDialogs();
  SetDialogEcho(true);
  ClearHelpLog();
  ClearDebugLines();
  ResetModuleFaults();
  SetNameResolver({});
  SetAddressResolver({});
  ResetScreen();
  ResetInput();
  SetProgramPath({});
  SetRuntimeFolder({});
  UseMemoryRegistry();
  AllowRegistryAccess();
  ResetCom();
  ResetHtmlCommands();
  ResetEditComponent();
  ResetNotificationArea();
  RecordShellExecute(true);
  ClearShellExecuteCalls();
  ResetTheme();
  UseFakeMediaSinks();
  ResetPrinter();
  ResetTwain();
}

std::vector<std::string> WorldLeftovers() {
  std::vector<std::string> left;
  if (const int faults = PendingFaults(); faults > 0)
    left.push_back(std::to_string(faults) + " fault(s) asked for and never used");
  if (IsVirtualClock()) left.push_back("the virtual clock is still installed");
  if (const int objects = RegisteredClassObjects(); objects > 0)
    left.push_back(std::to_string(objects) + " class object(s) registered and never revoked");
  if (const int answers = QueuedHtmlDialogAnswers(); answers > 0)
    left.push_back(std::to_string(answers) + " HTML command dialog answer(s) queued and never used");
  if (const int faults = PendingTwainFaults(); faults > 0)
    left.push_back(std::to_string(faults) + " scanner fault(s) asked for and never used");
  if (const int answers = QueuedDialogAnswers(); answers > 0)
    left.push_back(std::to_string(answers) + " dialog answer(s) queued and never used");
  return left;
}

}  // namespace sim
