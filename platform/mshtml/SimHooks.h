// What the HTML editing component shows of itself to the simulated world. Tests drive
// these through platform/sim/Mshtml.h; the system's own code never includes this header.
#pragma once

#include <vector>

#include "platform/ole/Guid.h"
#include "platform/ole/OleAuto.h"
#include "platform/rtl/Types.h"

namespace sim {

// While held, a load that is asked for stays busy; releasing lets every load held
// complete on the following passes of the loop.
void HoldEditLoads(bool hold);
// Loads asked for from now on complete only after this many more passes of the loop.
void DelayEditLoads(int passes);
// Reading the property fails with the code (S_OK: reads work again).
void FailEditProperty(DISPID id, HRESULT code);
// Running the command (any group) fails with the code (S_OK: it runs again).
void FailEditCommand(DWORD id, HRESULT code);

// One command run through a component or its document, with its arguments.
struct EditExecRecord {
  bool HasGroup = false;
  GUID Group{};
  DWORD Id = 0;
  DWORD Option = 0;
  VARTYPE InType = VT_EMPTY;  // VT_EMPTY also when no argument was given
  WideString In;              // the argument as text, when it converts to one
};
const std::vector<EditExecRecord>& EditExecRecords();
void ClearEditExecRecords();

// No hold, no delay, no failures, no records.
void ResetEditComponent();

}  // namespace sim
