// NTLM messages: the negotiate and authenticate messages and the LM and NT responses
// against answers computed independently (tests/data/ntlm), their layouts, and the
// reading of challenge messages from hostile servers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "net/MimeUtil.h"
#include "net/NtlmMsgs.h"
#include "ntlm_vectors.h"

using ntlmtest::FromHex;
using ntlmtest::ToHex;

namespace {

std::string Le16(unsigned v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
unsigned GetLe16(const std::string& m, size_t at) {
  return static_cast<unsigned char>(m.at(at)) | (static_cast<unsigned char>(m.at(at + 1)) << 8);
}
unsigned GetLe32(const std::string& m, size_t at) { return GetLe16(m, at) | (GetLe16(m, at + 2) << 16); }

// A security buffer at `at` as (length, second length, offset).
struct SecBuf {
  unsigned Len, MaxLen, Offset;
};
SecBuf Buffer(const std::string& m, size_t at) { return {GetLe16(m, at), GetLe16(m, at + 2), GetLe32(m, at + 4)}; }

std::string Widened(const std::string& s) {
  std::string out;
  for (char c : s) out += std::string{c, '\0'};
  return out;
}

const Byte Challenge[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

TEST(Ntlm, Message1MatchesIndependentlyBuiltMessages) {
  for (const auto& row : ntlmtest::ReadVectors("message1")) {
    ASSERT_EQ(row.size(), 3u);
    EXPECT_EQ(NtlmGetMessage1(FromHex(row[0]), FromHex(row[1])), row[2])
        << "host '" << FromHex(row[0]) << "' domain '" << FromHex(row[1]) << "'";
  }
}

TEST(Ntlm, Message1WithoutHostOrDomainIsTheBareHeader) {
  const std::string m = Base64Decode(NtlmGetMessage1("", ""));
  ASSERT_EQ(m.size(), 32u);
  EXPECT_EQ(m.substr(0, 8), std::string("NTLMSSP\0", 8));
  EXPECT_EQ(GetLe32(m, 8), 1u);
  EXPECT_EQ(GetLe32(m, 12), 0x8207u);
  EXPECT_EQ(m.substr(16), std::string(16, '\0'));
}

TEST(Ntlm, Message1CarriesHostThenDomainInUpperCase) {
  const std::string m = Base64Decode(NtlmGetMessage1("pc", "Dom"));
  ASSERT_EQ(m.size(), 37u);
  EXPECT_EQ(GetLe32(m, 12), 0xB207u);
  const SecBuf domain = Buffer(m, 16), host = Buffer(m, 24);
  EXPECT_EQ(domain.Len, 3u);
  EXPECT_EQ(domain.MaxLen, 3u);
  EXPECT_EQ(domain.Offset, 34u);
  EXPECT_EQ(host.Len, 2u);
  EXPECT_EQ(host.Offset, 32u);
  EXPECT_EQ(m.substr(32), "PCDOM");
}

TEST(Ntlm, Message3MatchesIndependentlyBuiltMessages) {
  for (const auto& row : ntlmtest::ReadVectors("message3")) {
    ASSERT_EQ(row.size(), 6u);
    const std::string challenge = FromHex(row[4]);
    ASSERT_EQ(challenge.size(), 8u);
    EXPECT_EQ(NtlmGetMessage3(FromHex(row[0]), FromHex(row[1]), FromHex(row[2]), FromHex(row[3]),
                              reinterpret_cast<const Byte*>(challenge.data())),
              row[5])
        << "user '" << FromHex(row[2]) << "'";
  }
}

TEST(Ntlm, Message3Layout) {
  const std::string m = Base64Decode(NtlmGetMessage3("", "Host5", "User", "pw", Challenge));
  ASSERT_EQ(m.size(), 130u);
  EXPECT_EQ(m.substr(0, 8), std::string("NTLMSSP\0", 8));
  EXPECT_EQ(GetLe32(m, 8), 3u);
  const struct {
    size_t at;
    unsigned len, offset;
  } expected[] = {{12, 24, 82}, {20, 24, 106}, {28, 0, 64}, {36, 8, 64}, {44, 10, 72}, {52, 0, 0}};
  for (const auto& e : expected) {
    const SecBuf b = Buffer(m, e.at);
    EXPECT_EQ(b.Len, e.len) << "buffer at " << e.at;
    EXPECT_EQ(b.MaxLen, e.len) << "buffer at " << e.at;
    EXPECT_EQ(b.Offset, e.offset) << "buffer at " << e.at;
  }
  EXPECT_EQ(GetLe32(m, 60), 0x8205u);
  EXPECT_EQ(m.substr(64, 18), Widened("User") + Widened("Host5")) << "names keep their case";
}

// The LM and NT responses as they appear in an authenticate message.
struct Responses {
  std::string Lm, Nt;
};
Responses ResponsesFor(const std::string& password, const Byte* challenge) {
  const std::string m = Base64Decode(NtlmGetMessage3("", "", "", password, challenge));
  return {m.substr(Buffer(m, 12).Offset, 24), m.substr(Buffer(m, 20).Offset, 24)};
}

TEST(Ntlm, ResponsesMatchPublishedAnswer) {
  // The widely published example: password "SecREt01", challenge 0123456789ABCDEF.
  const Responses r = ResponsesFor("SecREt01", Challenge);
  EXPECT_EQ(ToHex(r.Lm), "C337CD5CBD44FC9782A667AF6D427C6DE67C20C2D3E77C56");
  EXPECT_EQ(ToHex(r.Nt), "25A98C1C31E81847466B29B2DF4680F39958FB8C213A9CC6");
}

TEST(Ntlm, ResponsesMatchIndependentImplementation) {
  for (const auto& row : ntlmtest::ReadVectors("responses")) {
    ASSERT_EQ(row.size(), 4u);
    const std::string challenge = FromHex(row[1]);
    const Responses r = ResponsesFor(FromHex(row[0]), reinterpret_cast<const Byte*>(challenge.data()));
    EXPECT_EQ(ToHex(r.Lm), row[2]) << "password '" << FromHex(row[0]) << "' challenge " << row[1];
    EXPECT_EQ(ToHex(r.Nt), row[3]) << "password '" << FromHex(row[0]) << "' challenge " << row[1];
  }
}

TEST(Ntlm, LMResponseIgnoresCaseAndCharactersPast14) {
  const Responses base = ResponsesFor("abcdefghijklmn", Challenge);
  const Responses upper = ResponsesFor("ABCDEFGHIJKLMN", Challenge);
  const Responses longer = ResponsesFor("abcdefghijklmnXYZ", Challenge);
  EXPECT_EQ(base.Lm, upper.Lm);
  EXPECT_EQ(base.Lm, longer.Lm);
  EXPECT_NE(base.Nt, upper.Nt);
  EXPECT_NE(base.Nt, longer.Nt);
}

TEST(Ntlm, OverlongNamesAreCutToWhatTheirLengthFieldsDescribe) {
  const std::string user(40000, 'u');
  const std::string m3 = Base64Decode(NtlmGetMessage3("", "h", user, "pw", Challenge));
  const SecBuf u = Buffer(m3, 36), h = Buffer(m3, 44), lm = Buffer(m3, 12);
  EXPECT_EQ(u.Len, 65534u);
  EXPECT_EQ(h.Offset, 64u + 65534u);
  EXPECT_EQ(lm.Offset, 64u + 65534u + 2u);
  EXPECT_EQ(m3.size(), lm.Offset + 48u);
  EXPECT_EQ(m3.substr(u.Offset, u.Len), Widened(user.substr(0, 32767)));

  const std::string m1 = Base64Decode(NtlmGetMessage1(std::string(70000, 'h'), "d"));
  const SecBuf host = Buffer(m1, 24), domain = Buffer(m1, 16);
  EXPECT_EQ(host.Len, 65535u);
  EXPECT_EQ(domain.Offset, 32u + 65535u);
  EXPECT_EQ(m1.size(), 32u + 65535u + 1u);
  EXPECT_EQ(m1.back(), 'D');
}

// ---- Challenge (type 2) messages --------------------------------------------------

std::string InfoEntry(unsigned type, const std::string& value) {
  return Le16(type) + Le16(static_cast<unsigned>(value.size())) + value;
}

// A challenge message as servers send it: header of 48 bytes, target name, target info.
std::string Challenge2(const std::string& target, const std::string& info) {
  std::string m("NTLMSSP\0", 8);
  m += Le32(2);
  m += Le16(target.size()) + Le16(target.size()) + Le32(48);
  m += Le32(0x00810201);
  m += FromHex("0123456789ABCDEF");
  m += std::string(8, '\0');
  m += Le16(info.size()) + Le16(info.size()) + Le32(48 + target.size());
  return m + target + info;
}

std::string With(std::string m, size_t at, const std::string& bytes) {
  if (m.size() < at + bytes.size()) m.resize(at + bytes.size());
  m.replace(at, bytes.size(), bytes);
  return m;
}

struct Msg2Case {
  const char* name;
  std::string message;  // before Base64
  bool serverOk;
  std::u16string target, server, domain;
  std::string challengeHex;
};

const std::string Info = InfoEntry(2, "CORP") + InfoEntry(1, "SRV") + InfoEntry(4, "corp.example") +
                         InfoEntry(0, "");
const std::string Wellformed = Challenge2("CORP", Info);

std::vector<Msg2Case> Msg2Cases() {
  using std::u16string;
  const std::string ch = "0123456789ABCDEF";
  return {
      {"WellFormed", Wellformed, true, u"CORP", u"SRV", u"CORP", ch},
      {"Utf16NamesKeepTheirZeroBytes",
       Challenge2(Widened("DOM"), InfoEntry(1, Widened("S")) + InfoEntry(0, "")), true,
       u16string(u"D\0O\0M\0", 6), u16string(u"S\0", 2), u"", ch},
      {"CodePageBytesAreWidened", Challenge2("Caf\xE9\x80", ""), true, u"Caf\u00E9\u20AC", u"", u"", ch},
      {"LastEntryOfEachTypeWins",
       Challenge2("", InfoEntry(1, "one") + InfoEntry(1, "two") + InfoEntry(2, "d1") + InfoEntry(2, "d2")),
       true, u"", u"two", u"d2", ch},
      {"WalkEndsAtTheTerminator",
       Challenge2("", InfoEntry(1, "A") + InfoEntry(0, "") + InfoEntry(1, "B")), true, u"", u"A", u"", ch},
      {"ZeroTypeWithLengthIsNoTerminator",
       Challenge2("", InfoEntry(0, "xx") + InfoEntry(1, "B")), true, u"", u"B", u"", ch},
      {"WalkEndsAtTheEndWithoutTerminator", Challenge2("", InfoEntry(1, "A")), true, u"", u"A", u"", ch},
      {"EmptyText", "", false, u"", u"", u"", "0000000000000000"},
      {"ThreeBytes", "NTL", true, u"", u"", u"", "0000000000000000"},
      {"ShortMessageCountsMissingBytesAsZero", Wellformed.substr(0, 30), true, u"", u"", u"",
       "0123456789AB0000"},
      {"HeaderOnly", Wellformed.substr(0, 48), true, u"", u"", u"", ch},
      {"TargetNameOffsetOutside", With(Wellformed, 16, Le32(0xFFFFFFFF)), true, u"", u"SRV", u"CORP", ch},
      {"TargetNameOffsetAtTheEnd", With(Wellformed, 16, Le32(Wellformed.size())), true, u"", u"SRV",
       u"CORP", ch},
      {"TargetNameLengthIsCutAtTheEnd",
       With(Challenge2("CORP", ""), 12, Le16(0xFFFF)), true, u"CORP", u"", u"", ch},
      {"TargetNameRunsOverTheEnd", With(Wellformed, 12, Le16(0xFFFF)).substr(0, 50), true, u"CO", u"", u"", ch},
      {"InfoOffsetOutside", With(Wellformed, 44, Le32(0xFFFFFFF0)), true, u"CORP", u"", u"", ch},
      {"InfoOffsetAtTheEnd", With(Wellformed, 44, Le32(Wellformed.size())), true, u"CORP", u"", u"", ch},
      {"InfoOffsetZeroWalksHarmlesslyOverTheHeader", With(Wellformed, 44, Le32(0)), true, u"CORP", u"", u"",
       ch},
      {"EntryLongerThanTheRestEndsTheWalkUnread",
       Challenge2("", InfoEntry(1, "SRV") + Le16(2) + Le16(0xFFFF) + "DOM"), true, u"", u"SRV", u"", ch},
      {"EntryOneBytePastTheEndIsNotRead",
       Challenge2("", InfoEntry(1, "SRV") + Le16(2) + Le16(4) + "DOM"), true, u"", u"SRV", u"", ch},
      {"EntryEndingExactlyAtTheEndIsRead",
       Challenge2("", InfoEntry(1, "SRV") + Le16(2) + Le16(3) + "DOM"), true, u"", u"SRV", u"DOM", ch},
      {"EntryHeaderCutOff", Challenge2("", InfoEntry(1, "SRV") + Le16(2) + "D"), true, u"", u"SRV", u"", ch},
  };
}

TEST(Ntlm, Message2ReadsOnlyInsideTheMessage) {
  for (const Msg2Case& c : Msg2Cases()) {
    SCOPED_TRACE(c.name);
    const TNTLM_Msg2_Info info = NtlmGetMessage2(Base64Encode(c.message));
    EXPECT_EQ(info.ServerOk, c.serverOk);
    EXPECT_TRUE(info.TargetName == c.target);
    EXPECT_TRUE(info.ServerName == c.server);
    EXPECT_TRUE(info.DomainName == c.domain);
    EXPECT_EQ(ToHex(std::string(info.Challenge.begin(), info.Challenge.end())), c.challengeHex);
  }
}

TEST(Ntlm, Message2SurvivesRandomAndMutatedMessages) {
  std::mt19937 rng(2142);
  for (int i = 0; i < 3000; ++i) {
    std::string m = i % 2 ? Wellformed : std::string();
    const size_t extra = rng() % 64;
    for (size_t j = 0; j < extra; ++j) m += static_cast<char>(rng());
    for (int flips = rng() % 6; flips > 0 && !m.empty(); --flips) m[rng() % m.size()] = static_cast<char>(rng());
    const std::string text = i % 7 ? Base64Encode(m) : m;  // now and then raw bytes instead of Base64
    const TNTLM_Msg2_Info info = NtlmGetMessage2(text);
    const size_t decoded = Base64Decode(text).size();
    EXPECT_LE(info.TargetName.size(), decoded);
    EXPECT_LE(info.ServerName.size(), decoded);
    EXPECT_LE(info.DomainName.size(), decoded);
  }
}

}  // namespace
