// A file replaced in one step: written under a temporary name in the target's
// folder, renamed over the target by Commit, and removed when it is never committed.
#pragma once

#include <memory>

#include "platform/rtl/Streams.h"

class IEReplacingFile {
 public:
  // Creates the temporary file; raises EFCreateError naming the target when the
  // folder takes no new file.
  explicit IEReplacingFile(const AnsiString& target);
  // Removes the temporary file unless it was committed.
  ~IEReplacingFile();
  IEReplacingFile(const IEReplacingFile&) = delete;
  IEReplacingFile& operator=(const IEReplacingFile&) = delete;

  TStream* Stream() const noexcept { return stream_.get(); }
  // Closes the temporary file, so that it can be rewritten by name (TempName) before
  // Commit; Stream is null afterwards.
  void Close() { stream_.reset(); }
  const AnsiString& TempName() const noexcept { return temp_; }
  // Closes the file and renames it over the target (keeping an existing target's
  // permission bits); false when that fails, the target then being untouched.
  bool Commit();

 private:
  AnsiString target_;
  AnsiString temp_;
  std::unique_ptr<TFileStream> stream_;
  bool committed_ = false;
};
