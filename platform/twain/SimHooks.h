// What tests drive of the data source manager (platform/twain/Twain.h): the scripted
// sources it lists, whether it looks for SANE devices, and the log of every call an
// application made to DSM_Entry. The system's own code never includes this header.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/twain/Twain.h"

namespace larktwain {
class Source;
}

namespace sim {

// Sources listed before any SANE device, in order. An empty list: none.
void SetTwainSources(std::vector<std::shared_ptr<larktwain::Source>> sources);
// Whether the manager lists the SANE devices libsane finds (on in the program; off
// after ResetWorld, so that a test reaches no scanner of the machine unless it asks,
// with SANE_CONFIG_DIR pointing at a folder of its own).
void UseSaneSources(bool on);
// The libsane the manager loads ("libsane.so.1" by default); a name that cannot be
// loaded leaves the manager without SANE devices.
void SetSaneLibrary(const std::string& name);

// One call to DSM_Entry. Cap and Value for capability calls (Value: the one value
// or current value sent with MSG_SET); Code the answer.
struct TwainCall {
  TW_UINT32 DG = 0;
  TW_UINT16 DAT = 0;
  TW_UINT16 MSG = 0;
  bool ToSource = false;
  TW_UINT16 Cap = 0;
  TW_UINT16 ConType = 0;
  uint32_t Value = 0;
  TW_UINT16 Code = 0;
};
std::vector<TwainCall> TwainCalls();
void ClearTwainCalls();
// The manager's state towards the most recent application session: 1 to 7 as the
// protocol counts (3 with the manager open and no source open).
int TwainState();
// Asks the enabled source named productName to be closed (MSG_CLOSEDSREQ posted to
// its application window); false when no such source is enabled.
bool RequestTwainClose(const std::string& productName);

}  // namespace sim

namespace sim {

// A misbehaving manager or source: the Skip-th and following calls of the triplet
// (and capability Cap, when not 0) are answered with Code without being carried
// out, Times times (-1: for ever), or raise an Exception when Throw is set. A
// process-event fault answers TWRC_DSEVENT with TWMessage instead.
struct TwainFault {
  TW_UINT32 DG = DG_CONTROL;
  TW_UINT16 DAT = 0;
  TW_UINT16 MSG = 0;
  TW_UINT16 Cap = 0;
  TW_UINT16 Code = TWRC_FAILURE;
  int Skip = 0;
  int Times = 1;
  bool Throw = false;
};
void AddTwainFault(const TwainFault& fault);
void ClearTwainFaults();
// Faults asked for and not used up.
int PendingTwainFaults();

}  // namespace sim

namespace sim {
// No scripted sources, SANE off, no faults, an empty log, no session open.
void ResetTwain();
}  // namespace sim
