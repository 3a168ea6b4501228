// Test hooks of the COM library (platform/ole/Com.h): the calling thread's
// initialisation counts and the class objects registered for a while (ComInitCount,
// OleInitCount, RegisteredClassObjects, ResetCom, in platform/ole/SimHooks.h).
// ResetWorld resets the calling thread's counts and revokes those registrations.
#pragma once

#include "platform/ole/SimHooks.h"
