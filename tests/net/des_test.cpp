// Single-block DES (FIPS 46): published known answers, agreement with pycryptodome,
// decryption, and the parity bits of the key.
#include <gtest/gtest.h>

#include <string>

#include "net/NetDES.h"
#include "ntlm_vectors.h"

using ntlmtest::FromHex;
using ntlmtest::ToHex;

namespace {

std::string DesBlock(const std::string& keyHex, const std::string& inHex, bool encrypt) {
  const std::string key = FromHex(keyHex), in = FromHex(inHex);
  std::string out(8, '\0');
  DES(in.data(), out.data(), key.data(), encrypt);
  return ToHex(out);
}

TEST(NetDES, PublishedKnownAnswers) {
  const struct {
    const char *key, *plain, *cipher;
  } kat[] = {
      {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      {"0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
      {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},  // "Now is t"
      // variable plaintext, variable key, permutation and substitution tests
      {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
      {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
      {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
      {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
      {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
      {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
      {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
      {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
  };
  for (const auto& c : kat) {
    EXPECT_EQ(DesBlock(c.key, c.plain, true), c.cipher) << "key " << c.key << " plain " << c.plain;
    EXPECT_EQ(DesBlock(c.key, c.cipher, false), c.plain) << "key " << c.key << " cipher " << c.cipher;
  }
}

TEST(NetDES, AgreesWithPycryptodome) {
  for (const auto& row : ntlmtest::ReadVectors("des")) {
    ASSERT_EQ(row.size(), 3u);
    EXPECT_EQ(DesBlock(row[0], row[1], true), row[2]) << "key " << row[0];
    EXPECT_EQ(DesBlock(row[0], row[2], false), row[1]) << "key " << row[0];
  }
}

TEST(NetDES, ParityBitsOfTheKeyAreIgnored) {
  const std::string plain = FromHex("0123456789ABCDEF");
  const std::string key = FromHex("133457799BBCDFF1");
  std::string flipped = key;
  for (char& c : flipped) c = static_cast<char>(c ^ 1);
  std::string a(8, '\0'), b(8, '\0');
  DES(plain.data(), a.data(), key.data(), true);
  DES(plain.data(), b.data(), flipped.data(), true);
  EXPECT_EQ(ToHex(a), ToHex(b));
  flipped[0] = static_cast<char>(flipped[0] ^ 2);  // a key bit, not a parity bit
  DES(plain.data(), b.data(), flipped.data(), true);
  EXPECT_NE(ToHex(a), ToHex(b));
}

TEST(NetDES, InputAndOutputMayBeTheSameBlock) {
  const std::string key = FromHex("133457799BBCDFF1");
  std::string block = FromHex("0123456789ABCDEF");
  DES(block.data(), block.data(), key.data(), true);
  EXPECT_EQ(ToHex(block), "85E813540F0AB405");
  DES(block.data(), block.data(), key.data(), false);
  EXPECT_EQ(ToHex(block), "0123456789ABCDEF");
}

}  // namespace
