// Per-thread message queues and the message loop's wait.
//
// Each thread that calls a queue function gets its own queue. The wait inside
// GetMessage / MsgWaitForMultipleObjects sleeps in one epoll set that holds:
//  - an eventfd, signalled when another thread posts to this queue;
//  - file descriptors that other layers watch through LoopWatchFd (the socket layer);
//  - the deadline of the thread's next timer, read from the sim clock.
// Retrieval order matches the platform: sent messages from other threads first,
// then posted messages in posting order, then WM_QUIT (from PostQuitMessage), then
// WM_TIMER (generated only when nothing else is waiting, at most one pending per
// timer). The queue is made on a thread's first queue call and goes when the thread
// ends, with the windows of that thread.
#pragma once

#include <functional>

#include "platform/win/WinTypes.h"

// PeekMessage options.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;
inline constexpr UINT PM_NOYIELD = 0x0002;

// MsgWaitForMultipleObjects wake masks and results.
inline constexpr DWORD QS_KEY = 0x0001;
inline constexpr DWORD QS_MOUSEMOVE = 0x0002;
inline constexpr DWORD QS_MOUSEBUTTON = 0x0004;
inline constexpr DWORD QS_POSTMESSAGE = 0x0008;
inline constexpr DWORD QS_TIMER = 0x0010;
inline constexpr DWORD QS_PAINT = 0x0020;
inline constexpr DWORD QS_SENDMESSAGE = 0x0040;
inline constexpr DWORD QS_HOTKEY = 0x0080;
inline constexpr DWORD QS_ALLPOSTMESSAGE = 0x0100;
inline constexpr DWORD QS_MOUSE = QS_MOUSEMOVE | QS_MOUSEBUTTON;
inline constexpr DWORD QS_INPUT = QS_MOUSE | QS_KEY;
inline constexpr DWORD QS_ALLEVENTS = QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY;
inline constexpr DWORD QS_ALLINPUT = QS_ALLEVENTS | QS_SENDMESSAGE;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_ABANDONED_0 = 0x80;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Posts to the queue of the thread that owns hWnd (hWnd 0: the calling thread's queue,
// as a thread message). Safe from any thread. FALSE with ERROR_INVALID_WINDOW_HANDLE
// when hWnd is not a live window, ERROR_NOT_ENOUGH_QUOTA when the queue already holds
// 10,000 posted messages.
BOOL PostMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
// FALSE with ERROR_INVALID_THREAD_ID when the thread has no queue (any more).
BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure at once on the owning thread; from another thread the
// caller waits while the owner delivers it in its next GetMessage/PeekMessage (or
// while the owner itself waits in SendMessage), and meanwhile answers messages sent
// to it. 0 for a dead window or when the owner ends before delivering it.
LRESULT SendMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Retrieves the next message; blocks until one arrives. FALSE for WM_QUIT, -1 on error.
// hWnd 0 takes any message of the thread, a window takes its own and its descendants'
// messages, (HWND)-1 takes thread messages only; filterMin = filterMax = 0 takes every
// number. WM_QUIT is returned whatever the filter.
BOOL GetMessage(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax);
// As GetMessage without waiting: ready watched fds get their turn (a zero-timeout
// poll) before it answers FALSE. PM_NOREMOVE leaves the message queued.
BOOL PeekMessage(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg);
// Keyboard translation is not done here; answers FALSE.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure of msg->hwnd; a message for a destroyed window is dropped.
// WM_TIMER with a timer procedure in lParam calls that procedure.
LRESULT DispatchMessage(const MSG* msg);
void PostQuitMessage(Integer exitCode);
// Waits until input of the kinds in wakeMask is in the calling thread's queue, or the
// timeout (milliseconds on the sim clock, INFINITE for none) passes. Input already
// queued counts. Watched-fd callbacks run during the wait. Handles are not supported:
// a count above 0 answers WAIT_FAILED (ERROR_INVALID_PARAMETER). Answers
// WAIT_OBJECT_0 + count or WAIT_TIMEOUT.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);
// The kinds (QS_ flags, limited to flags) of input in the calling thread's queue, in
// both the high word (present) and the low word.
DWORD GetQueueStatus(UINT flags);

// Registered message numbers: the same name gives the same number (0xC000..0xFFFF)
// within the process, compared without regard to case.
UINT RegisterWindowMessage(const char* name);

// Timers deliver WM_TIMER to hWnd with wParam = id (or call proc). With hWnd 0 a new
// id is made and returned, unless idEvent names a timer of this thread, which is
// reset. Setting an existing timer again resets it. Deadlines follow the sim clock;
// intervals are held to 10 ms at least. A timer belongs to the thread that owns its
// window: another thread gets 0 and ERROR_ACCESS_DENIED. Destroying the window kills
// its timers.
using TIMERPROC = void (*)(HWND hWnd, UINT msg, uintptr_t idEvent, DWORD time);
uintptr_t SetTimer(HWND hWnd, uintptr_t idEvent, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hWnd, uintptr_t idEvent);

// Milliseconds on the sim clock (wraps like the platform's 32-bit tick count).
DWORD GetTickCount();
UInt64 GetTickCount64();
// Sleep(0) yields the processor; other values sleep in real time.
void Sleep(DWORD milliseconds);
// Small numbers from 1 up, given to threads in the order they first ask (or when a
// TThread is made); never the kernel's thread id, never reused.
DWORD GetCurrentThreadId();
// The thread that ran the platform's static initialisation: the process's first
// thread (the GUI thread).
DWORD MainThreadID();

// File descriptors watched by the calling thread's loop. The callback runs on this
// thread, from inside the loop's wait, with the epoll events that were ready; it may
// post messages, change or remove any registration (including its own). Watching a
// watched fd again replaces its registration; an fd epoll refuses leaves nothing
// registered and sets ERROR_INVALID_HANDLE. Unwatching an unknown fd does nothing.
using LoopFdCallback = std::function<void(uint32_t epollEvents)>;
void LoopWatchFd(int fd, uint32_t epollEvents, LoopFdCallback callback);
void LoopChangeFd(int fd, uint32_t epollEvents);
void LoopUnwatchFd(int fd);

// Waits, for at most maxRealMs of real time whatever the sim clock says, until the
// calling thread's queue has input (a post, a sent message, a ready watched fd,
// a due timer), running watched-fd callbacks on the way. Used by helpers that pump
// the loop with a real time limit (tests), never by the system's code.
void LoopWaitReal(uint32_t maxRealMs);
