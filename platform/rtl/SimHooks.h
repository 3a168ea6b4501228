// Where the runtime library asks the simulated world. Nothing is installed in the
// shipped program, so every hook gives the real answer (no operation fails, the
// program lives where /proc/self/exe says). Tests drive these hooks through
// platform/sim; the system's own code never includes this header.
#pragma once

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

}  // namespace sim
