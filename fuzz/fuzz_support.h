// What the image fuzz targets share: the check that ends the run when an invariant
// breaks, and the memory stream the fuzzed bytes are read from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/rtl/Streams.h"

namespace fuzzsupport {

// Check(condition, what) prints "<subject> invariant broken: <what>" and aborts the
// run when the condition is false.
class InvariantCheck {
 public:
  explicit constexpr InvariantCheck(const char* subject) : subject_(subject) {}

  void operator()(bool condition, const char* what) const {
    if (condition) return;
    std::fprintf(stderr, "%s invariant broken: %s\n", subject_, what);
    std::abort();
  }

 private:
  const char* subject_;
};

// Writes the bytes into stream and puts the position back at its start.
inline void Fill(TMemoryStream& stream, const uint8_t* data, size_t size) {
  if (size > 0) stream.WriteBuffer(data, static_cast<Integer>(size));
  stream.SetPosition(0);
}

}  // namespace fuzzsupport
