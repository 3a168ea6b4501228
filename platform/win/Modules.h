// Run-time loading of modules: LoadLibrary / GetProcAddress / FreeLibrary over export
// tables registered in the process (no shared objects are opened).
//
// Names are compared without regard to case and a name without an extension gets
// ".dll" ("WSOCK32" is "wsock32.dll"); a folder before the name is ignored. Each
// LoadLibrary of a module counts once and each FreeLibrary uncounts once; the module
// is unloaded when its count reaches 0. Its handle then goes for good: loading it
// again gives a new handle (handles are never reused).
//
// Built in: "wsock32.dll" (the Winsock 1.1 functions of platform/winsock, everything
// but WSAIoctl) and "ws2_32.dll" (the same functions and WSAIoctl), which
// platform/winsock registers when the program starts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win/WinTypes.h"

// The address of an export; cast to the function's real type before calling.
using FARPROC = void (*)();

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

// Loads (or counts again) a module: its handle, or 0 with ERROR_MOD_NOT_FOUND for a
// name no table is registered under (or that sim::FailModuleLoad refuses), or
// ERROR_INVALID_PARAMETER for a null or empty name.
HMODULE LoadLibrary(const char* name);
// The address of an export of a loaded module; null with ERROR_PROC_NOT_FOUND when
// the module has no such export (or sim::HideExport hides it), ERROR_MOD_NOT_FOUND
// when the handle is not a loaded module. Export names are compared exactly.
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Uncounts a load; FALSE with ERROR_MOD_NOT_FOUND for a handle that is not loaded.
BOOL FreeLibrary(HMODULE module);

// Makes an export table known under a module name (replacing one of the same name;
// a loaded module keeps its handle and count and answers from the new table).
using ModuleExports = std::vector<std::pair<std::string, FARPROC>>;
void RegisterModuleExports(const std::string& moduleName, ModuleExports exports);
