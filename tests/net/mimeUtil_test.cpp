// MIME utilities: Base64 of strings and files (checked against Python's base64),
// quoted-printable (checked against Python's quopri), dot-escaping and content types.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Peers.h"
#include "net/MimeUtil.h"
#include "ntlm_vectors.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

using ntlmtest::FromHex;
using ntlmtest::ToHex;

namespace {

const char* const Python = "/usr/bin/python3";

// Runs a Python snippet over hex arguments; one output line per argument.
std::vector<std::string> PythonLines(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {Python, "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  int exitCode = -1;
  std::istringstream out(larktest::RunCommand(argv, &exitCode));
  EXPECT_EQ(exitCode, 0) << "python3 failed";
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  EXPECT_EQ(lines.size(), args.size());
  lines.resize(args.size());
  return lines;
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(rng());
  return s;
}

std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

// ---- Base64 ---------------------------------------------------------------------

TEST(Base64, EncodeAndDecodeAgreeWithPython) {
  std::mt19937 rng(2045);
  std::vector<std::string> inputs = {"", "f", "fo", "foo", "foob", "fooba", "foobar",
                                     std::string("\0", 1), std::string("\0\0\0\0", 4), AllBytes(),
                                     "\xFF\xFE\xFD", "Man is distinguished"};
  for (size_t n : {1, 2, 3, 53, 54, 55, 57, 76, 1000}) inputs.push_back(RandomBytes(rng, n));
  std::vector<std::string> hex;
  for (const auto& s : inputs) hex.push_back(ToHex(s));
  const auto expected = PythonLines(
      "import base64, sys\n"
      "for h in sys.argv[1:]: print(base64.b64encode(bytes.fromhex(h)).decode())",
      hex);
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(Base64Encode(inputs[i]), expected[i]) << "input " << hex[i];
    EXPECT_EQ(ToHex(Base64Decode(expected[i])), hex[i]) << "text " << expected[i];
  }
}

struct DecodeCase {
  const char* name;
  std::string text;
  std::string bytes;
};

TEST(Base64, DecodeFollowsTheGroupRules) {
  const DecodeCase cases[] = {
      {"MissingPaddingCountsAsPadding", "QQ", "A"},
      {"MissingPaddingAfterThree", "QUI", "AB"},
      {"SingleCharacterGivesOneByte", "Q", "@"},
      {"PadOnly", "====", std::string("\0", 1)},
      {"PaddingInTheMiddleEndsOnlyItsGroup", "QQ==QUJD", "AABC"},
      {"ThirdPadSkipsTheFourth", "QUI=QUJD", "ABABC"},
      {"PadAsThirdIgnoresAFourthLetter", "QQ=QQUJD", "AABC"},
      {"LineBreakIsNotSkipped", "QUJD\r\nREVG", std::string("ABC\xFF\xF4\x44T", 7)},
      {"BytesAbove127CountAs255", "\x80\xFF==", "\xFF"},
      {"NulCountsAs255", std::string("\0\0\0\0", 4), "\xFF\xFF\xFF"},
      {"InvalidCharacterInLastPlace", "QUJ!", "AB\x7F"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToHex(Base64Decode(c.text)), ToHex(c.bytes)) << c.name;
}

TEST(Base64, DecodeOfAnyBytesStaysWithinItsGroups) {
  std::mt19937 rng(4648);
  for (int i = 0; i < 2000; ++i) {
    const std::string text = RandomBytes(rng, rng() % 40);
    const std::string bytes = Base64Decode(text);
    EXPECT_LE(bytes.size(), (text.size() + 3) / 4 * 3);
    EXPECT_GE(bytes.size(), (text.size() + 3) / 4);
  }
}

// ---- Base64 of files ------------------------------------------------------------

std::string WriteFile(const larktest::TempDir& dir, const std::string& content) {
  const std::string name = dir.Path() + "data.bin";
  std::ofstream(name, std::ios::binary | std::ios::trunc) << content;
  return name;
}

TEST(Base64, FileLinesOf72CharactersEndWithMoreFalse) {
  larktest::TempDir dir;
  std::mt19937 rng(72);
  for (size_t size : {0, 1, 2, 3, 53, 54, 55, 107, 108, 109, 500}) {
    SCOPED_TRACE(size);
    const std::string content = RandomBytes(rng, size);
    auto stream = InitFileEncBase64(WriteFile(dir, content), fmShareDenyWrite);
    std::string joined;
    std::vector<size_t> lengths;
    bool more = true;
    for (int calls = 0; more && calls < 100; ++calls) {
      const std::string line = DoFileEncBase64(stream, more);
      lengths.push_back(line.size());
      joined += line;
    }
    EXPECT_FALSE(more);
    EXPECT_EQ(joined, Base64Encode(content));
    // One call per full 54 bytes, then one for the rest (empty when nothing is left).
    ASSERT_EQ(lengths.size(), size / 54 + 1);
    for (size_t i = 0; i + 1 < lengths.size(); ++i) EXPECT_EQ(lengths[i], 72u);
    EXPECT_EQ(lengths.back(), (size % 54 + 2) / 3 * 4);
    EndFileEncBase64(stream);
    EXPECT_EQ(stream, nullptr);
  }
}

TEST(Base64, FileStaysOpenWithItsShareModeUntilEnd) {
  larktest::TempDir dir;
  const std::string name = WriteFile(dir, "hello");
  auto stream = InitFileEncBase64(name, fmShareDenyWrite);
  EXPECT_THROW(TFileStream(name, fmOpenWrite), EFOpenError);
  EXPECT_NO_THROW(TFileStream(name, fmOpenRead | fmShareDenyWrite));
  EndFileEncBase64(stream);
  EXPECT_EQ(stream, nullptr);
  EXPECT_NO_THROW(TFileStream(name, fmOpenWrite));
  EndFileEncBase64(stream);  // already null: nothing happens
  bool more = true;
  EXPECT_EQ(DoFileEncBase64(stream, more), "");
  EXPECT_FALSE(more);
}

TEST(Base64, MissingFileRaisesOpenError) {
  larktest::TempDir dir;
  EXPECT_THROW(InitFileEncBase64(dir.Path() + "missing.bin", fmShareDenyNone), EFOpenError);
}

// ---- Quoted-printable -----------------------------------------------------------

TEST(MimeUtil, EncodeQuotedPrintable) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"plain text, no change ~!", "plain text, no change ~!"},
      {"a=b", "a=3Db"},
      {"line\r\nnext", "line=0D=0Anext"},
      {"tab\there", "tab=09here"},
      {"trailing blanks  ", "trailing blanks  "},
      {"caf\xE9 \x7F\x80\xFF", "caf=E9 =7F=80=FF"},
      {std::string("\0", 1), "=00"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeQuotedPrintable(c.in), c.out) << ToHex(c.in);
}

TEST(MimeUtil, QuotedPrintableRoundTripsThroughPython) {
  std::mt19937 rng(1521);
  std::vector<std::string> inputs = {AllBytes(), "ends with blanks   ", "==="};
  for (size_t n : {10, 75, 76, 77, 150, 400}) inputs.push_back(RandomBytes(rng, n));
  std::vector<std::string> encodedHex;
  for (const auto& s : inputs) encodedHex.push_back(ToHex(SplitQuotedPrintableString(EncodeQuotedPrintable(s))));
  const auto decoded = PythonLines(
      "import quopri, sys\n"
      "for h in sys.argv[1:]: print(quopri.decodestring(bytes.fromhex(h)).hex().upper())",
      encodedHex);
  for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(decoded[i], ToHex(inputs[i])) << "input " << i;
}

TEST(MimeUtil, SplitQuotedPrintableNeverCutsAGroup) {
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"UpTo76Unchanged", std::string(76, 'a'), std::string(76, 'a')},
      {"EightyCharacters", std::string(80, 'a'), std::string(75, 'a') + "=\r\n" + std::string(5, 'a')},
      {"SeventySeven", std::string(75, 'a') + "bb", std::string(75, 'a') + "=\r\nbb"},
      {"GroupEndingAtTheCut", std::string(72, 'a') + "=3Dbbbb", std::string(72, 'a') + "=3D=\r\nbbbb"},
      {"GroupOneBeforeTheCut", std::string(73, 'a') + "=3Dbbbb", std::string(73, 'a') + "=\r\n=3Dbbbb"},
      {"GroupTwoBeforeTheCut", std::string(74, 'a') + "=3Dbbbb", std::string(74, 'a') + "=\r\n=3Dbbbb"},
      {"NextPiece75Later", std::string(200, 'c'),
       std::string(75, 'c') + "=\r\n" + std::string(75, 'c') + "=\r\n" + std::string(50, 'c')},
      {"LengthExactlyAtTheNextCut", std::string(151, 'c'),
       std::string(75, 'c') + "=\r\n" + std::string(75, 'c') + "=\r\nc"},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitQuotedPrintableString(c.in), c.out) << c.name;
}

TEST(MimeUtil, SplitLinesStayWithin76) {
  std::mt19937 rng(76);
  for (int i = 0; i < 200; ++i) {
    const std::string text = EncodeQuotedPrintable(RandomBytes(rng, rng() % 300));
    const std::string split = SplitQuotedPrintableString(text);
    std::string joined;
    size_t start = 0;
    for (;;) {
      const size_t end = split.find("=\r\n", start);
      const std::string line = split.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
      EXPECT_LE(line.size(), 76u);
      if (end == std::string::npos) {
        joined += line;
        break;
      }
      joined += line.substr(0, line.size() - 1);
      start = end + 3;
    }
    EXPECT_EQ(joined, text);
  }
}

TEST(MimeUtil, DecodeQuotedPrintable) {
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"NoEscapes", "plain", "plain"},
      {"Groups", "a=3Db=0D=0A=e9", "a=b\r\n\xE9"},
      {"SoftLineBreak", "abc=\r\ndef", "abcdef"},
      {"SoftLineBreakAtTheEnd", "abc=\r\n", "abc"},
      {"EqualsCRAtTheEnd", "abc=\r", "abc"},
      {"FinalEqualsDropped", "abc=", "abc"},
      {"OneDigitAtTheEnd", "abc=A", "abc\n"},
      {"Empty", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ToHex(DecodeQuotedPrintable(c.in)), ToHex(c.out)) << c.name;
}

TEST(MimeUtil, DecodeQuotedPrintableRaisesOnBadHex) {
  for (const std::string bad : {"a=ZZ", "=G0", "x=0G", "=\n", "= 1", "=-1"}) {
    EXPECT_THROW(DecodeQuotedPrintable(bad), EConvertError) << bad;
  }
  try {
    DecodeQuotedPrintable("=XY");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'$XY' is not a valid integer value");
  }
}

TEST(MimeUtil, DecodeQuotedPrintableReadsPythonEncoding) {
  std::mt19937 rng(205);
  std::vector<std::string> inputs;
  for (size_t n : {20, 76, 77, 300}) {
    std::string s = RandomBytes(rng, n);
    for (char& c : s)
      if (c == '\r' || c == '\n') c = 'z';  // Python leaves line ends literal
    inputs.push_back(s);
  }
  std::vector<std::string> hex;
  for (const auto& s : inputs) hex.push_back(ToHex(s));
  const auto encoded = PythonLines(
      "import quopri, sys\n"
      "for h in sys.argv[1:]:\n"
      "  e = quopri.encodestring(bytes.fromhex(h), quotetabs=True).replace(b'=\\n', b'=\\r\\n')\n"
      "  print(e.hex())",
      hex);
  for (size_t i = 0; i < inputs.size(); ++i)
    EXPECT_EQ(ToHex(DecodeQuotedPrintable(FromHex(encoded[i]))), hex[i]) << "input " << i;
}

// ---- Dot-escaping and content types ---------------------------------------------

TEST(MimeUtil, DotEscape) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {".", ".."},
      {".start", "..start"},
      {"a\r\n.b", "a\r\n..b"},
      {"a\r\n.", "a\r\n.."},
      {"a\r\n.\r\n.", "a\r\n..\r\n.."},
      {"a\n.b\r.c", "a\n.b\r.c"},
      {"a.b\r\n..c", "a.b\r\n...c"},
      {".\r\n.", "..\r\n.."},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    DotEscape(s);
    EXPECT_EQ(s, c.out) << ToHex(c.in);
  }
}

TEST(MimeUtil, FilenameToContentType) {
  const struct {
    const char *name, *type;
  } cases[] = {
      {"index.htm", "text/html"},     {"Index.HTML", "text/html"},   {"a.gif", "image/gif"},
      {"a.bmp", "image/bmp"},         {"photo.JPEG", "image/jpeg"},  {"photo.jpg", "image/jpeg"},
      {"notes.txt", "text/plain"},    {"archive.tar.gz", "application/octet-stream"},
      {"README", "application/octet-stream"},                         {"", "application/octet-stream"},
      {"dir.html/file", "application/octet-stream"},                  {"trailing.", "application/octet-stream"},
      {"/path/to/page.html", "text/html"},
  };
  for (const auto& c : cases) EXPECT_EQ(FilenameToContentType(c.name), c.type) << c.name;
}

}  // namespace
