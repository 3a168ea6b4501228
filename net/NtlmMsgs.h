// The three messages of NTLM authentication as the HTTP client exchanges them,
// Base64-encoded: negotiate (type 1), challenge (type 2) and authenticate (type 3)
// with 24-byte LM and NT responses.
#pragma once

#include <array>

#include "platform/rtl/Types.h"

// What is read from a challenge (type 2) message.
struct TNTLM_Msg2_Info {
  bool ServerOk = false;   // the Base64 text was not empty
  WideString TargetName;
  WideString ServerName;   // value of the last target-information entry of type 1
  WideString DomainName;   // value of the last entry of type 2
  std::array<Byte, 8> Challenge{};
};

// A security buffer: where a field lies in a message, counted from its start.
struct TNTLM_SecurityBuffer {
  Word Length = 0;
  Word MaxLength = 0;
  Cardinal Offset = 0;
};

// The 64-byte header of the authenticate message; its data follow it. It is sent
// field by field, little-endian, in this order.
struct TNTLM_Message3 {
  char Protocol[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', '\0'};
  Cardinal MsgType = 3;
  TNTLM_SecurityBuffer LM;
  TNTLM_SecurityBuffer NT;
  TNTLM_SecurityBuffer Domain;
  TNTLM_SecurityBuffer User;
  TNTLM_SecurityBuffer Host;
  TNTLM_SecurityBuffer SessionKey;
  Cardinal Flags = 0x8205;
};
static_assert(sizeof(TNTLM_Message3) == 64, "the header is 64 bytes on the wire");

// Base64 of the negotiate message for host and domain (both sent in upper case,
// each cut to 65535 bytes so that its 16-bit length describes it).
AnsiString NtlmGetMessage1(const AnsiString& host, const AnsiString& domain);
// Reads a Base64 challenge message. Offsets and lengths come from the server: every
// field is read only inside the decoded message, and anything that points outside
// it is cut at the end of the message or left empty.
TNTLM_Msg2_Info NtlmGetMessage2(const AnsiString& base64);
// Base64 of the authenticate message answering the 8-byte challenge. Domain, user
// and host keep their case and are sent widened (each byte followed by a zero byte);
// each is cut to 32767 characters so that its 16-bit length describes it.
AnsiString NtlmGetMessage3(const AnsiString& domain, const AnsiString& host, const AnsiString& user,
                           const AnsiString& password, const Byte* challenge);
