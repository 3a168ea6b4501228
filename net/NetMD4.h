// MD4 message digest (RFC 1320), as used for the NT response of NTLM.
#pragma once

#include <array>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"

// Raised with "MD4 not initialized" by MD4Update (and so MD4UpdateStr) and MD4Final
// on a context that MD4Init has not set up (or that MD4Final or MD4Burn has cleared).
LARK_DECLARE_EXCEPTION(MD4Exception, Exception);

// The state of one MD4 computation.
struct TMD4Context {
  bool Initialized;
  Cardinal BitCountHi;    // bits added so far, high word
  Cardinal BitCountLo;    // and low word
  Cardinal BufferedBytes; // bytes waiting in Buffer (0..63)
  Cardinal A, B, C, D;    // chaining values
  Byte Buffer[64];
};

using TMD4Digest = std::array<Byte, 16>;
using PMD4Digest = TMD4Digest*;

// Burns the context, sets the chaining values to RFC 1320's and marks it initialised.
void MD4Init(TMD4Context& context);
// Adds count bytes from data.
void MD4Update(TMD4Context& context, const void* data, Cardinal count);
// Adds the bytes of s (nothing for an empty string).
void MD4UpdateStr(TMD4Context& context, const AnsiString& s);
// Pads, writes the digest (A..D, little-endian) to *digest, then burns the context.
void MD4Final(TMD4Context& context, PMD4Digest digest);
// Zeroes every field, so the context counts as not initialised.
void MD4Burn(TMD4Context& context);
// The 16-byte digest of s as an 8-bit string.
AnsiString MD4String(const AnsiString& s);
