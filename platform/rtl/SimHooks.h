// Where the runtime library asks the simulated world. Nothing is installed in the
// shipped program, so every hook gives the real answer (no operation fails, the
// program lives where /proc/self/exe says). Tests drive these hooks through
// platform/sim; the system's own code never includes this header.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Kinds of operation that can be made to fail on cue.
enum class Fault {
  FileCreate,     // creating or opening a file for writing
  FileWrite,      // writing to a file
  FileRename,     // renaming or replacing a file
  FileDelete,
  SocketConnect,  // starting a connection
  SocketSend,     // sending on a connected socket
  SocketRecv,     // receiving on a connected socket
  WindowCreate,   // creating a window (the system's window resources run out)
};

// Asked by the platform before it performs an operation of that kind: true means
// "fail this one". False unless a fault check is installed. Thread-safe.
bool ShouldFail(Fault fault);

// The function ShouldFail asks; null (the default) never fails.
using FaultCheck = bool (*)(Fault fault);
void SetFaultCheck(FaultCheck check);

// Where the running program seems to live (ParamStr0, ProgramFolder); an empty path
// goes back to the real executable.
void SetProgramPath(const std::string& path);

// --- The registry (platform/rtl/Registry.h) ---

// Where the process's registry lives. Each call drops the tree in memory without
// writing it; the next use reads it again from the new place.
// The registry file at path (its folder is made when first written).
void UseRegistryFile(const std::string& path);
// An empty registry in memory alone: nothing is read or written.
void UseMemoryRegistry();
// The user's configuration folder, as in the shipped program.
void UseDefaultRegistryFile();
// The path of the registry file in use; empty for the registry in memory alone.
std::string RegistryFilePath();
// What was wrong with the file the registry was last read from; empty when it was
// sound or missing.
std::string RegistryLoadProblem();

enum class RegistryDenial {
  All,    // the keys can be neither opened nor seen
  Write,  // the keys can be read, not opened for writing, changed or deleted
};
// Refuses access to the keys at and below path (names separated by '', matched
// without regard to case; empty: the whole root) under root (0: every root), as the
// platform refuses a user without rights.
void DenyRegistryAccess(uintptr_t root, const std::string& path, RegistryDenial what = RegistryDenial::All);
// Forgets every refusal.
void AllowRegistryAccess();

}  // namespace sim
