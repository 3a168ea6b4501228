// Helpers of the socket tests.
#pragma once

#include <functional>
#include <string>

#include "net/WSocket.h"

namespace wsockettest {

// The message of the ESocketException that call raises, or "(nothing raised)".
inline std::string RaisedMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const ESocketException& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

}  // namespace wsockettest
