// The named mutex, shared between processes. A named mutex exists while a handle made
// by CreateMutex for it is open in some process; when that process ends, however it
// ends, the mutex goes with it, as an abandoned mutex does.
#pragma once

#include <string>

#include "platform/win/WinTypes.h"

inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD MUTEX_MODIFY_STATE = 0x0001;
inline constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;

// Answers a new handle. When a mutex of that name already exists (made by this or
// another process) the handle refers to it, the caller does not own it and
// GetLastError answers ERROR_ALREADY_EXISTS; otherwise it is ERROR_SUCCESS and the
// caller owns the new mutex if initialOwner is set. attrs is ignored. A null or
// empty name makes a mutex private to the handle.
HANDLE CreateMutex(void* attrs, BOOL initialOwner, const char* name);
// A handle to an existing named mutex, or 0 with ERROR_FILE_NOT_FOUND. The handle
// does not keep the mutex in existence.
HANDLE OpenMutex(DWORD desiredAccess, BOOL inheritHandle, const char* name);
// Gives up ownership; FALSE with ERROR_NOT_OWNER when the handle does not own it.
BOOL ReleaseMutex(HANDLE mutex);
// Closes a handle made by CreateMutex or OpenMutex; FALSE with ERROR_INVALID_HANDLE
// for anything else.
BOOL CloseHandle(HANDLE object);

// The per-user folder where the user's processes meet (the named mutexes' lock files,
// the sockets of DDE services): $XDG_RUNTIME_DIR, else a private folder under /tmp,
// with a trailing '/'. "" when it cannot be used.
std::string UserRuntimeFolder();
// name as part of a file name there: letters, digits, '-', '_' and '.' stay, every
// other byte becomes %XX; a long name is shortened and told apart by a hash.
std::string RuntimeSafeName(const std::string& name);
