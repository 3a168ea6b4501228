// NTLM challenge messages and Base64 text come from servers: reading them must stay
// inside the input whatever its bytes, and never fail.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/MimeUtil.h"
#include "net/NtlmMsgs.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "ntlm invariant broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  // The input as Base64 text (what the server's header carries).
  const std::string decoded = Base64Decode(input);
  Check(decoded.size() <= (size + 3) / 4 * 3, "Base64 decodes to at most 3 bytes per group");
  const TNTLM_Msg2_Info fromText = NtlmGetMessage2(input);
  Check(fromText.ServerOk == !input.empty(), "ServerOk says whether the text was empty");
  Check(fromText.TargetName.size() <= decoded.size() && fromText.ServerName.size() <= decoded.size() &&
            fromText.DomainName.size() <= decoded.size(),
        "names come from inside the message");

  // The input as the decoded message itself.
  const std::string text = Base64Encode(input);
  Check(Base64Decode(text) == input, "Base64 round trip");
  const TNTLM_Msg2_Info fromBytes = NtlmGetMessage2(text);
  Check(fromBytes.TargetName.size() <= size && fromBytes.ServerName.size() <= size &&
            fromBytes.DomainName.size() <= size,
        "names come from inside the message");
  for (size_t i = 0; i < 8; ++i)
    Check(fromBytes.Challenge[i] == (24 + i < size ? data[24 + i] : 0), "challenge from offset 24");
  return 0;
}
