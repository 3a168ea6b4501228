// Failures on cue: a test asks for the next operation of a kind to fail, and the
// platform code that performs that kind of operation asks ShouldFail before doing it.
// Nothing fails unless a test asked.
#pragma once

namespace sim {

enum class Fault {
  FileCreate,  // creating or opening a file for writing
  FileWrite,   // writing to a file
  FileRename,  // renaming or replacing a file
  FileDelete,
};

// The operation of that kind after `skip` successful ones fails (once).
void FailNext(Fault fault, int skip = 0);
// Forgets every pending failure.
void ClearFaults();
// Asked by the platform before it performs an operation of that kind: true means
// "fail this one" (and the request is used up). Thread-safe.
bool ShouldFail(Fault fault);

}  // namespace sim
