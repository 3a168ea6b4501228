// The zlib layer: round trips through every entry point, exchange with python3's zlib
// in both directions, damaged input raising the zlib exceptions, and the streams'
// positions in the streams they wrap.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/formats/pngfilt.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

const char kPython[] = "/usr/bin/python3";

// Text-like data: words from a small vocabulary with pseudo-random bytes mixed in, so
// that it compresses but not to nothing.
std::string SampleData(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"podcast ", "episode ", "feed ", "<item>", "</item>\n", "enclosure ",
                                       "Larkspool ", "title=\"", "\" "};
  std::string s;
  uint32_t x = seed;
  while (s.size() < size) {
    x = x * 1664525u + 1013904223u;
    if ((x >> 28) < 3) {
      s += static_cast<char>(x >> 8);
    } else {
      s += kWords[(x >> 16) % std::size(kWords)];
    }
  }
  s.resize(size);
  return s;
}

using file_test::ReadFile;
using file_test::WriteFile;

std::string Contents(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

std::string BufferCompress(const std::string& data, TZCompressionLevel level) {
  std::vector<Byte> out;
  Integer outBytes = -1;
  ZCompress(data.data(), static_cast<Integer>(data.size()), out, outBytes, level);
  EXPECT_EQ(static_cast<size_t>(outBytes), out.size());
  return std::string(out.begin(), out.end());
}

std::string BufferDecompress(const std::string& data, Integer estimate = 0) {
  std::vector<Byte> out;
  Integer outBytes = -1;
  ZDecompress(data.data(), static_cast<Integer>(data.size()), out, outBytes, estimate);
  EXPECT_EQ(static_cast<size_t>(outBytes), out.size());
  return std::string(out.begin(), out.end());
}

std::string StreamCompress(const std::string& data, TZCompressionLevel level) {
  TMemoryStream in, out;
  Fill(in, data);
  ZCompressStream(&in, &out, level);
  return Contents(out);
}

std::string StreamDecompress(const std::string& data) {
  TMemoryStream in, out;
  Fill(in, data);
  ZDecompressStream(&in, &out);
  return Contents(out);
}

// Writes through a compression stream in pieces of 1, 7, 49, ... bytes.
std::string ClassCompress(const std::string& data, TZCompressionLevel level) {
  TMemoryStream out;
  {
    TZCompressionStream z(&out, level);
    size_t at = 0, piece = 1;
    while (at < data.size()) {
      const size_t n = std::min(piece, data.size() - at);
      EXPECT_EQ(z.Write(data.data() + at, static_cast<Integer>(n)), static_cast<Integer>(n));
      at += n;
      piece = piece * 7 % 100003;
    }
  }
  return Contents(out);
}

std::string ClassDecompress(const std::string& data) {
  TMemoryStream in;
  Fill(in, data);
  TZDecompressionStream z(&in);
  std::string out;
  char buf[5000];
  for (Integer n; (n = z.Read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  return out;
}

struct Codec {
  const char* name;
  std::function<std::string(const std::string&, TZCompressionLevel)> compress;
  std::function<std::string(const std::string&)> decompress;
};

const Codec kCodecs[] = {
    {"buffer", BufferCompress, [](const std::string& s) { return BufferDecompress(s); }},
    {"string", ZCompressStr, ZDecompressStr},
    {"stream", StreamCompress, StreamDecompress},
    {"class", ClassCompress, ClassDecompress},
};

const TZCompressionLevel kLevels[] = {zcNone, zcFastest, zcDefault, zcMax};

// Inputs around the pieces and buffers: empty, one byte, 32 KiB and 64 KiB pieces,
// and data that shrinks to a few bytes.
const std::vector<std::string>& Inputs() {
  static const std::vector<std::string> inputs = {
      "",
      "x",
      SampleData(32768, 1),
      SampleData(65537, 2),
      SampleData(300000, 3),
      std::string(1 << 20, 'a'),
  };
  return inputs;
}

TEST(ZlibStream, EveryEntryPointRoundTripsAtEveryLevel) {
  for (const Codec& codec : kCodecs) {
    for (TZCompressionLevel level : kLevels) {
      for (const std::string& input : Inputs()) {
        const std::string packed = codec.compress(input, level);
        EXPECT_EQ(codec.decompress(packed), input)
            << codec.name << " level " << static_cast<int>(level) << " size " << input.size();
        // Every entry point reads what the others write.
        EXPECT_EQ(ClassDecompress(packed), input) << codec.name;
        EXPECT_EQ(BufferDecompress(packed), input) << codec.name;
      }
    }
  }
}

TEST(ZlibStream, DecompressionEstimateOnlyChangesTheFirstGuess) {
  const std::string input = SampleData(70000, 4);
  const std::string packed = BufferCompress(input, zcDefault);
  for (Integer estimate : {0, 1, 255, 70000, 70001, 1 << 20}) EXPECT_EQ(BufferDecompress(packed, estimate), input);
}

TEST(ZlibStream, EmptyStringGivesSmallValidStream) {
  const AnsiString packed = ZCompressStr("");
  EXPECT_GT(packed.size(), 0u);
  EXPECT_LE(packed.size(), 16u);
  EXPECT_EQ(ZDecompressStr(packed), "");
}

// python3's zlib compresses at several levels (and with a small window); every entry
// point decompresses all of it.
TEST(ZlibStream, DecompressesStreamsOfPythonZlib) {
  larktest::TempDir dir;
  const std::string data = SampleData(200000, 5);
  WriteFile(dir.Path() + "data", data);
  const char script[] =
      "import sys, zlib\n"
      "d = open(sys.argv[1] + 'data', 'rb').read()\n"
      "for level in range(10):\n"
      "    open(sys.argv[1] + 'z%d' % level, 'wb').write(zlib.compress(d, level))\n"
      "c = zlib.compressobj(6, zlib.DEFLATED, 9)\n"
      "open(sys.argv[1] + 'zw9', 'wb').write(c.compress(d) + c.flush())\n"
      "print('ok')\n";
  int exitCode = -1;
  ASSERT_EQ(larktest::RunCommand({kPython, "-c", script, dir.Path()}, &exitCode), "ok\n");
  std::vector<std::string> names = {"zw9"};
  for (int level = 0; level < 10; ++level) names.push_back("z" + std::to_string(level));
  for (const std::string& name : names) {
    const std::string packed = ReadFile(dir.Path() + name);
    ASSERT_FALSE(packed.empty()) << name;
    for (const Codec& codec : kCodecs) EXPECT_EQ(codec.decompress(packed), data) << name << " by " << codec.name;
  }
}

TEST(ZlibStream, PythonZlibDecompressesOurStreams) {
  larktest::TempDir dir;
  const std::string data = SampleData(150000, 6);
  WriteFile(dir.Path() + "data", data);
  std::vector<std::string> names;
  for (const Codec& codec : kCodecs) {
    for (TZCompressionLevel level : kLevels) {
      const std::string name = std::string(codec.name) + std::to_string(static_cast<int>(level));
      WriteFile(dir.Path() + name, codec.compress(data, level));
      names.push_back(name);
    }
  }
  const char script[] =
      "import sys, zlib\n"
      "d = open(sys.argv[1] + 'data', 'rb').read()\n"
      "for name in sys.argv[2:]:\n"
      "    got = zlib.decompress(open(sys.argv[1] + name, 'rb').read())\n"
      "    print(name, 'ok' if got == d else 'differs')\n";
  std::vector<std::string> argv = {kPython, "-c", script, dir.Path()};
  argv.insert(argv.end(), names.begin(), names.end());
  std::string expected;
  for (const std::string& name : names) expected += name + " ok\n";
  int exitCode = -1;
  EXPECT_EQ(larktest::RunCommand(argv, &exitCode), expected);
  EXPECT_EQ(exitCode, 0);
}

// ---------------------------------------------------------------------------
// Damaged input

struct DamageCase {
  const char* name;
  std::function<std::string(const std::string& packed)> damage;
  const char* message;  // zlib's text in the exception
};

std::string WithByte(std::string s, size_t at, char value) {
  s[at] = value;
  return s;
}

// A stream made with a preset dictionary: it cannot be decoded without one.
std::string DictionaryStream() {
  larktest::TempDir dir;
  const char script[] =
      "import sys, zlib\n"
      "c = zlib.compressobj(zdict=b'podcast episode feed')\n"
      "open(sys.argv[1] + 'z', 'wb').write(c.compress(b'podcast episode feed feed') + c.flush())\n";
  int exitCode = -1;
  larktest::RunCommand({kPython, "-c", script, dir.Path()}, &exitCode);
  EXPECT_EQ(exitCode, 0);
  return ReadFile(dir.Path() + "z");
}

TEST(ZlibStream, DamagedStreamsRaiseTheDecompressionError) {
  const std::string data = SampleData(100000, 7);
  const std::string packed = BufferCompress(data, zcDefault);
  const std::string dictionary = DictionaryStream();
  ASSERT_FALSE(dictionary.empty());
  const DamageCase cases[] = {
      {"empty", [](const std::string&) { return std::string(); }, "buffer error"},
      {"header only", [](const std::string& p) { return p.substr(0, 2); }, "buffer error"},
      {"cut in the middle", [](const std::string& p) { return p.substr(0, p.size() / 2); }, "buffer error"},
      {"checksum cut", [](const std::string& p) { return p.substr(0, p.size() - 2); }, "buffer error"},
      {"bad method", [](const std::string& p) { return WithByte(p, 0, 0x79); }, "data error"},
      {"bad header check", [](const std::string& p) { return WithByte(p, 1, static_cast<char>(p[1] ^ 1)); },
       "data error"},
      {"bad checksum", [](const std::string& p) { return WithByte(p, p.size() - 1, static_cast<char>(p.back() ^ 0x55)); },
       "data error"},
      {"bad block type", [](const std::string& p) { return WithByte(p, 2, static_cast<char>(0x07)); }, "data error"},
      {"preset dictionary", [&](const std::string&) { return dictionary; }, "data error"},
  };
  for (const DamageCase& c : cases) {
    const std::string bad = c.damage(packed);
    for (const Codec& codec : kCodecs) {
      if (std::string(codec.name) == "class") continue;  // the stream class reads short instead (below)
      try {
        codec.decompress(bad);
        ADD_FAILURE() << c.name << " by " << codec.name << ": no exception";
      } catch (const EZDecompressionError& e) {
        EXPECT_EQ(e.Message(), c.message) << c.name << " by " << codec.name;
        EXPECT_STREQ(e.ClassName(), "EZDecompressionError");
      }
    }
  }
}

TEST(ZlibStream, ExceptionsBelongToTheZlibFamily) {
  EXPECT_THROW(ZDecompressStr("nonsense!"), EZLibError);
  EXPECT_THROW(ZDecompressStr("nonsense!"), Exception);
  TMemoryStream out;
  TZCompressionStream z(&out);
  try {
    Byte b;
    z.Read(&b, 1);
    ADD_FAILURE() << "Read of a compression stream succeeded";
  } catch (const EZLibError& e) {
    EXPECT_STREQ(e.ClassName(), "EZCompressionError");
    EXPECT_EQ(e.Message(), "Invalid ZStream operation!");
  }
}

// The stream class reports a cut-off source as a short read, and corrupt data as
// the decompression error.
TEST(ZlibStream, DecompressionStreamReadsShortOnCutDataAndRaisesOnCorruptData) {
  const std::string data = SampleData(100000, 8);
  const std::string packed = BufferCompress(data, zcDefault);

  TMemoryStream cut;
  Fill(cut, packed.substr(0, packed.size() / 2));
  TZDecompressionStream fromCut(&cut);
  std::string got(data.size(), '\0');
  const Integer n = fromCut.Read(got.data(), static_cast<Integer>(got.size()));
  EXPECT_GT(n, 0);
  EXPECT_LT(n, static_cast<Integer>(data.size()));
  EXPECT_EQ(got.substr(0, static_cast<size_t>(n)), data.substr(0, static_cast<size_t>(n)));
  EXPECT_EQ(fromCut.Read(got.data(), 10), 0);

  for (const std::string& bad : {WithByte(packed, 0, 0x79), DictionaryStream(), WithByte(packed, 2, 0x07)}) {
    TMemoryStream source;
    Fill(source, bad);
    TZDecompressionStream z(&source);
    EXPECT_THROW(z.Read(got.data(), static_cast<Integer>(got.size())), EZDecompressionError);
  }
}

// ---------------------------------------------------------------------------
// Positions in the wrapped streams

TEST(ZlibStream, DecompressionStreamLeavesSourceRightAfterTheData) {
  const std::string data = SampleData(90000, 9);
  const std::string packed = BufferCompress(data, zcDefault);
  const std::string prefix = "HEAD";
  TMemoryStream source;
  Fill(source, prefix + packed + "TRAILER");
  source.SetPosition(static_cast<Int64>(prefix.size()));

  TZDecompressionStream z(&source);
  std::string got(data.size() + 100, '\0');
  EXPECT_EQ(z.Read(got.data(), static_cast<Integer>(got.size())), static_cast<Integer>(data.size()));
  EXPECT_EQ(got.substr(0, data.size()), data);
  EXPECT_EQ(source.GetPosition(), static_cast<Int64>(prefix.size() + packed.size()));
  char rest[7];
  source.ReadBuffer(rest, 7);
  EXPECT_EQ(std::string(rest, 7), "TRAILER");

  // Reading again yields nothing and puts Source back after the data.
  EXPECT_EQ(z.Read(got.data(), 10), 0);
  EXPECT_EQ(source.GetPosition(), static_cast<Int64>(prefix.size() + packed.size()));

  // Starting over goes back to where the compressed data began, not to offset 0.
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  std::string again(data.size(), '\0');
  EXPECT_EQ(z.Read(again.data(), static_cast<Integer>(again.size())), static_cast<Integer>(data.size()));
  EXPECT_EQ(again, data);
}

TEST(ZlibStream, DecompressionStreamSeeks) {
  const std::string data = SampleData(100000, 10);
  TMemoryStream source;
  Fill(source, BufferCompress(data, zcMax));
  TZDecompressionStream z(&source);

  EXPECT_EQ(z.Seek(0, soCurrent), 0);
  EXPECT_EQ(z.Seek(12345, soCurrent), 12345);
  char b[10];
  ASSERT_EQ(z.Read(b, 10), 10);
  EXPECT_EQ(std::string(b, 10), data.substr(12345, 10));
  EXPECT_EQ(z.Seek(50000, soBeginning), 50000);
  ASSERT_EQ(z.Read(b, 10), 10);
  EXPECT_EQ(std::string(b, 10), data.substr(50000, 10));
  EXPECT_EQ(z.GetPosition(), 50010);

  EXPECT_EQ(z.Seek(0, soEnd), static_cast<Int64>(data.size()));
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  EXPECT_EQ(z.Seek(0, soEnd), static_cast<Int64>(data.size()));
  // A forward move past the end stops at the end.
  EXPECT_EQ(z.Seek(10, soCurrent), static_cast<Int64>(data.size()));

  for (auto [offset, origin] : {std::pair<Int64, TSeekOrigin>{5, soBeginning}, {-1, soCurrent}, {-5, soEnd},
                                {3, soEnd}}) {
    try {
      z.Seek(offset, origin);
      ADD_FAILURE() << "Seek(" << offset << ", " << static_cast<int>(origin) << ") succeeded";
    } catch (const EZDecompressionError& e) {
      EXPECT_EQ(e.Message(), "Invalid ZStream operation!");
    }
  }
  EXPECT_THROW(z.Write("x", 1), EZDecompressionError);
}

TEST(ZlibStream, CompressionStreamKeepsItsPlaceInDestAndReportsProgress) {
  const std::string data = SampleData(400000, 11);
  TMemoryStream dest;
  dest.WriteBuffer("HEAD", 4);
  int progress = 0;
  float rate = -1;
  {
    TZCompressionStream z(&dest, zcFastest);
    z.OnProgress = [&](TObject* sender) {
      EXPECT_EQ(sender, &z);
      ++progress;
    };
    EXPECT_EQ(z.GetCompressionRate(), 0.0f);
    EXPECT_EQ(z.Write(data.data(), 150000), 150000);
    // Someone else moves Dest: the next buffer still goes where the last one ended.
    dest.SetPosition(0);
    EXPECT_EQ(z.Write(data.data() + 150000, static_cast<Integer>(data.size() - 150000)),
              static_cast<Integer>(data.size() - 150000));
    EXPECT_EQ(z.Seek(0, soCurrent), static_cast<Int64>(data.size()));
    EXPECT_THROW(z.Seek(1, soCurrent), EZCompressionError);
    EXPECT_THROW(z.Seek(0, soBeginning), EZCompressionError);
    rate = z.GetCompressionRate();
  }
  EXPECT_GT(progress, 0);
  EXPECT_GT(rate, 0.0f);
  EXPECT_LT(rate, 100.0f);
  const std::string written = Contents(dest);
  ASSERT_EQ(written.substr(0, 4), "HEAD");
  EXPECT_EQ(ZDecompressStr(written.substr(4)), data);
}

TEST(ZlibStream, DecompressionStreamReportsProgressPerBufferOfSource) {
  const std::string data = SampleData(300000, 12);
  TMemoryStream source;
  Fill(source, BufferCompress(data, zcNone));  // stored blocks: larger than 64 KiB
  TZDecompressionStream z(&source);
  int progress = 0;
  z.OnProgress = [&](TObject*) { ++progress; };
  EXPECT_EQ(z.Seek(0, soEnd), static_cast<Int64>(data.size()));
  EXPECT_EQ(progress, static_cast<int>((source.GetSize() + TCustomZStream::kBufferSize - 1) / TCustomZStream::kBufferSize));
}

}  // namespace
