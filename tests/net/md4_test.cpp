// MD4 (RFC 1320): the RFC's test suite, agreement with pycryptodome across block
// boundaries, updates in pieces, the bit count and the initialised state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/NetMD4.h"
#include "ntlm_vectors.h"

using ntlmtest::FromHex;
using ntlmtest::ToHex;

namespace {

std::string DigestHex(const TMD4Digest& d) {
  return ToHex(std::string(reinterpret_cast<const char*>(d.data()), d.size()));
}

TEST(NetMD4, RFC1320TestSuite) {
  const struct {
    const char* text;
    const char* digest;
  } suite[] = {
      {"", "31D6CFE0D16AE931B73C59D7E0C089C0"},
      {"a", "BDE52CB31DE33E46245E05FBDBD6FB24"},
      {"abc", "A448017AAF21D8525FC10AE87AA6729D"},
      {"message digest", "D9130A8164549FE818874806E1C7014B"},
      {"abcdefghijklmnopqrstuvwxyz", "D79E1C308AA5BBCDEEA8ED63DF412DA9"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "043F8582F241DB351CE627E153E7F0E4"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "E33B4DDC9C38F2199C3E7B164FCC0536"},
  };
  for (const auto& c : suite) {
    EXPECT_EQ(ToHex(MD4String(c.text)), c.digest) << '"' << c.text << '"';
    TMD4Context ctx;
    MD4Init(ctx);
    MD4UpdateStr(ctx, c.text);
    TMD4Digest d;
    MD4Final(ctx, &d);
    EXPECT_EQ(DigestHex(d), c.digest) << '"' << c.text << '"';
  }
}

TEST(NetMD4, AgreesWithPycryptodomeAcrossBlockBoundaries) {
  for (const auto& row : ntlmtest::ReadVectors("md4")) {
    ASSERT_EQ(row.size(), 2u);
    const std::string data = FromHex(row[0]);
    EXPECT_EQ(ToHex(MD4String(data)), row[1]) << data.size() << " bytes";
  }
}

TEST(NetMD4, UpdatesInPiecesGiveTheDigestOfTheWhole) {
  std::string data;
  for (int i = 0; i < 200; ++i) data += static_cast<char>(i * 37 + 11);
  const std::string whole = MD4String(data);
  for (size_t a = 0; a <= data.size(); ++a) {
    const size_t b = a + (data.size() - a) / 2;
    TMD4Context ctx;
    MD4Init(ctx);
    MD4Update(ctx, data.data(), static_cast<Cardinal>(a));
    MD4Update(ctx, data.data() + a, static_cast<Cardinal>(b - a));
    MD4UpdateStr(ctx, data.substr(b));
    TMD4Digest d;
    MD4Final(ctx, &d);
    ASSERT_EQ(DigestHex(d), ToHex(whole)) << "cut at " << a << " and " << b;
  }
}

TEST(NetMD4, BitCountCarriesIntoTheHighWord) {
  TMD4Context ctx;
  MD4Init(ctx);
  MD4Update(ctx, "abc", 3);
  EXPECT_EQ(ctx.BitCountLo, 24u);
  EXPECT_EQ(ctx.BitCountHi, 0u);
  EXPECT_EQ(ctx.BufferedBytes, 3u);

  ctx.BitCountLo = 0xFFFFFFF0u;
  MD4Update(ctx, "defg", 4);
  EXPECT_EQ(ctx.BitCountLo, 0x10u);
  EXPECT_EQ(ctx.BitCountHi, 1u);
  EXPECT_EQ(ctx.BufferedBytes, 7u);
}

TEST(NetMD4, InitSetsTheRFCValuesAndFinalBurnsTheContext) {
  TMD4Context ctx;
  std::memset(&ctx, 0xA5, sizeof(ctx));
  MD4Init(ctx);
  EXPECT_TRUE(ctx.Initialized);
  EXPECT_EQ(ctx.A, 0x67452301u);
  EXPECT_EQ(ctx.B, 0xEFCDAB89u);
  EXPECT_EQ(ctx.C, 0x98BADCFEu);
  EXPECT_EQ(ctx.D, 0x10325476u);
  EXPECT_EQ(ctx.BitCountLo, 0u);
  EXPECT_EQ(ctx.BufferedBytes, 0u);

  MD4UpdateStr(ctx, "secret");
  TMD4Digest d;
  MD4Final(ctx, &d);
  TMD4Context zero;
  std::memset(&zero, 0, sizeof(zero));
  EXPECT_EQ(std::memcmp(&ctx, &zero, sizeof(ctx)), 0) << "Final leaves key material behind";
}

TEST(NetMD4, UninitialisedContextRaises) {
  const auto expectRaise = [](auto call) {
    try {
      call();
      ADD_FAILURE() << "no MD4Exception";
    } catch (const MD4Exception& e) {
      EXPECT_EQ(e.Message(), "MD4 not initialized");
    }
  };
  TMD4Context ctx;
  MD4Init(ctx);
  TMD4Digest d;
  MD4Final(ctx, &d);
  expectRaise([&] { MD4Update(ctx, "x", 1); });
  expectRaise([&] { MD4UpdateStr(ctx, "x"); });
  expectRaise([&] { MD4Final(ctx, &d); });

  MD4Init(ctx);
  MD4Burn(ctx);
  expectRaise([&] { MD4Update(ctx, "x", 0); });

  // An empty string adds nothing, so it does not reach the check.
  EXPECT_NO_THROW(MD4UpdateStr(ctx, ""));
}

}  // namespace
