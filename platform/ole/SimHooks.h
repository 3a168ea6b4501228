// What the COM library shows of itself to the simulated world. Tests drive these
// through platform/sim; the system's own code never includes this header.
#pragma once

namespace sim {

// The calling thread's CoInitialize and OleInitialize counts.
int ComInitCount();
int OleInitCount();
// Puts the COM library back as a fresh thread finds it: the calling thread's counts
// to 0 and every class object registered with CoRegisterClassObject revoked (the
// engine's own classes stay registered).
void ResetCom();
// Class objects registered with CoRegisterClassObject and not revoked.
int RegisteredClassObjects();

}  // namespace sim
