// Single-block DES (FIPS 46), as used for the LM and NT responses of NTLM.
#pragma once

#include "platform/rtl/Types.h"

// Encrypts (encrypt = true) or decrypts the 8 bytes at input into the 8 bytes at
// output under the 8-byte key. Bit 1 is the most significant bit of the first byte;
// the lowest bit of each key byte (parity) is ignored. input and output may be the
// same block.
void DES(const void* input, void* output, const void* key, bool encrypt);
