// What the framework's threads (TThread, platform/rtl/Thread.h) need of the message
// queues, and the one call they get back: the main thread runs the work other threads
// left for it (Synchronize calls) whenever it works its queue.
#pragma once

#include "platform/win/WinTypes.h"

namespace larkwin {

// Reserves a thread id for a thread about to start; the thread adopts it first thing.
DWORD ReserveThreadId();
void AdoptThreadId(DWORD threadId);
// Makes the loop of the thread return from its wait, when the thread has a queue.
void WakeThread(DWORD threadId);

// Run by the main thread's queue functions (GetMessage, PeekMessage,
// MsgWaitForMultipleObjects, LoopWaitReal); answers whether any work ran. Null, the
// default, runs nothing.
using MainThreadWork = bool (*)();
void SetMainThreadWork(MainThreadWork work);

}  // namespace larkwin
