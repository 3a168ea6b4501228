// The ID3v2.3 tag head of enclosures: files tagged by mutagen with covers made by
// ImageMagick, fed in chunks as a download delivers them, and hand-made hostile tags.
#include "app/Id3Tag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/MediaFiles.h"
#include "tests/support/Peers.h"

namespace {

using larktest::ReadFileBytes;

class Id3 : public ::testing::Test {
 protected:
  void SetUp() override {
    larktest::MakeToneWav(dir_.Path() + "tone.wav", "0.2");
    larktest::MakeMp3(dir_.Path() + "tone.wav", dir_.Path() + "plain.mp3");
  }

  std::string MakeCover(const std::string& name, const std::string& size, bool noisy) {
    larktest::MakeJpeg(dir_.Path() + name, size, noisy);
    return dir_.Path() + name;
  }
  std::string Tag(const std::string& name, const std::vector<std::string>& options) {
    return larktest::TagMp3(dir_.Path() + "plain.mp3", dir_.Path() + name, options);
  }

  larktest::TempDir dir_;
};

// Feeds file in chunks of the given sizes (the last size repeats) until the reader stops.
struct Fed {
  std::vector<TId3ChunkResult> results;  // one per chunk given
  const TId3ChunkResult& Last() const { return results.back(); }
};
Fed Feed(TId3TagReader& reader, const std::string& file, std::vector<size_t> sizes) {
  Fed fed;
  size_t at = 0, k = 0;
  while (at < file.size() && reader.ReadingId3) {
    const size_t n = std::min(sizes[std::min(k++, sizes.size() - 1)], file.size() - at);
    fed.results.push_back(reader.DocData(reinterpret_cast<const BYTE*>(file.data() + at), static_cast<Integer>(n)));
    at += n;
  }
  return fed;
}

TEST_F(Id3, ATagInTheFirstChunkGivesEncoderAndCover) {
  const std::string cover = MakeCover("cover.jpg", "40x30", false);
  const std::string file = Tag("tagged.mp3", {"--version", "3", "--encoder", "Larks Encoder 1.0", "--cover", cover,
                                              "--title", "Episode T"});
  ASSERT_LT(file.size(), 64000u);
  TId3TagReader reader;
  EXPECT_EQ(reader.DocBegin(), "Encoded By:");
  const TId3ChunkResult r = reader.DocData(reinterpret_cast<const BYTE*>(file.data()), static_cast<Integer>(file.size()));
  EXPECT_TRUE(r.AbortDownload);
  EXPECT_TRUE(r.CaptionChanged);
  EXPECT_EQ(r.Caption, "Encoded By: Larks Encoder 1.0");
  ASSERT_TRUE(r.HasPicture);
  EXPECT_EQ(r.Picture, ReadFileBytes(cover));
  EXPECT_FALSE(reader.ReadingId3);
  EXPECT_TRUE(reader.Id3Buffer.empty());
  // Later chunks of the same download are not looked at.
  const TId3ChunkResult after = reader.DocData(reinterpret_cast<const BYTE*>(file.data()), 100);
  EXPECT_FALSE(after.AbortDownload);
  EXPECT_FALSE(after.CaptionChanged);
}

// However the download cuts the file (a header in pieces too), the result is the same
// and comes with the chunk that completes the tag.
TEST_F(Id3, ATagSpreadOverChunksIsReadWhenComplete) {
  const std::string cover = MakeCover("big.jpg", "150x150", true);
  const std::string file = Tag("big.mp3", {"--version", "3", "--encoder", "chunky", "--cover", cover});
  const size_t tagSize = 10 + ((file[6] & 0x7F) << 21 | (file[7] & 0x7F) << 14 | (file[8] & 0x7F) << 7 | (file[9] & 0x7F));
  ASSERT_GT(tagSize, 16000u) << "the cover came out too small to spread the tag";
  const std::vector<std::vector<size_t>> chunkings = {{7000}, {1, 2, 3, 4, 8192}, {10, 4096}, {11, 1460}, {3, 1}};
  for (const auto& sizes : chunkings) {
    SCOPED_TRACE(::testing::PrintToString(sizes));
    TId3TagReader reader;
    reader.DocBegin();
    const Fed fed = Feed(reader, file, sizes);
    for (size_t k = 0; k + 1 < fed.results.size(); ++k) {
      EXPECT_FALSE(fed.results[k].AbortDownload) << "chunk " << k;
      EXPECT_FALSE(fed.results[k].CaptionChanged) << "chunk " << k;
    }
    EXPECT_TRUE(fed.Last().AbortDownload);
    EXPECT_EQ(fed.Last().Caption, "Encoded By: chunky");
    EXPECT_EQ(fed.Last().Picture, ReadFileBytes(cover));
  }
}

TEST_F(Id3, FilesWithoutAnId3v23TagStopTheReading) {
  const std::string v24 = Tag("v24.mp3", {"--version", "4", "--encoder", "four"});
  const std::string cases[] = {v24, ReadFileBytes(dir_.Path() + "plain.mp3"), "ID", "ID4"};
  for (const std::string& file : cases) {
    TId3TagReader reader;
    reader.DocBegin();
    const TId3ChunkResult r = reader.DocData(reinterpret_cast<const BYTE*>(file.data()), static_cast<Integer>(file.size()));
    if (file == "ID") {
      // Too little to tell: wait for more.
      EXPECT_FALSE(r.AbortDownload);
      EXPECT_TRUE(reader.ReadingId3);
      continue;
    }
    EXPECT_TRUE(r.AbortDownload) << file.substr(0, 4);
    EXPECT_EQ(r.Caption, "ID3v2 tag not found") << file.substr(0, 4);
    EXPECT_FALSE(reader.ReadingId3);
  }
}

TEST_F(Id3, ANewDownloadStartsANewTag) {
  const std::string first = Tag("a.mp3", {"--version", "3", "--encoder", "first", "--padding", "3000"});
  const std::string second = Tag("b.mp3", {"--version", "3", "--encoder", "second"});
  TId3TagReader reader;
  reader.DocBegin();
  EXPECT_FALSE(reader.DocData(reinterpret_cast<const BYTE*>(first.data()), 1000).AbortDownload);
  EXPECT_GT(reader.Id3Received, 0);
  reader.DocBegin();
  EXPECT_EQ(reader.Id3Received, 0);
  EXPECT_EQ(Feed(reader, second, {500}).Last().Caption, "Encoded By: second");
  // Without DocBegin nothing is read.
  TId3TagReader idle;
  EXPECT_FALSE(idle.DocData(reinterpret_cast<const BYTE*>(second.data()), static_cast<Integer>(second.size())).AbortDownload);
}

// Tags made by hand: a header of the given flags and size, then the frames.
std::string Header(BYTE flags, const std::vector<BYTE>& size) {
  std::string h = "ID3";
  h += '\x03';
  h += '\0';
  h += static_cast<char>(flags);
  for (BYTE b : size) h += static_cast<char>(b);
  return h;
}
std::vector<BYTE> Syncsafe(uint32_t n) {
  return {static_cast<BYTE>((n >> 21) & 0x7F), static_cast<BYTE>((n >> 14) & 0x7F), static_cast<BYTE>((n >> 7) & 0x7F),
          static_cast<BYTE>(n & 0x7F)};
}
std::string Frame(const std::string& id, uint32_t size, const std::string& body) {
  std::string f = id;
  for (int i = 3; i >= 0; --i) f += static_cast<char>((size >> (8 * i)) & 0xFF);
  f += std::string(2, '\0');
  return f + body;
}
std::string TagOf(const std::string& frames, BYTE flags = 0) {
  return Header(flags, Syncsafe(static_cast<uint32_t>(frames.size()))) + frames;
}
std::string Apic(const std::string& picture) {
  return Frame("APIC", static_cast<uint32_t>(14 + picture.size()), std::string("\0image/jpeg\0\x03\0", 14) + picture);
}

TEST(Id3Hostile, SizesAndFramesThatDoNotFit) {
  const struct Case {
    const char* name;
    std::string tag;
    const char* caption;  // nullptr: no caption change
    const char* picture;  // nullptr: no picture
  } cases[] = {
      {"size byte with its top bit", Header(0, {0x00, 0x00, 0x80, 0x00}) + std::string(100, 'x'),
       "ID3 tag too large or corrupted (-16374 bytes)", nullptr},
      {"size of a million bytes", Header(0, Syncsafe(999990)), "ID3 tag too large or corrupted (1000000 bytes)", nullptr},
      {"largest syncsafe size", Header(0, {0x7F, 0x7F, 0x7F, 0x7F}), "ID3 tag too large or corrupted (268435465 bytes)",
       nullptr},
      {"header alone", Header(0, Syncsafe(0)), nullptr, nullptr},
      {"size shorter than the header", Header(0, {0x00, 0x00, 0x00, 0xFB}) + "TENC" + std::string(20, 'x'), nullptr,
       nullptr},
      {"encoder", TagOf(Frame("TENC", 5, std::string("\0abcd", 5)) + "pad"), "Encoded By: abcd", nullptr},
      {"encoder text stops at NUL", TagOf(Frame("TENC", 6, std::string("\0ab\0cd", 6)) + "pad"), "Encoded By: ab",
       nullptr},
      {"encoder size byte 128 or more", TagOf(Frame("TENC", 0x80, "\0" + std::string(200, 'e'))), "Encoded By: ?",
       nullptr},
      {"encoder text past the end of the tag", TagOf(Frame("TENC", 40, std::string("\0abc", 4))), "Encoded By: ?",
       nullptr},
      {"encoder text ending two bytes past the tag", TagOf(Frame("TENC", 6, std::string("\0abc", 4))),
       "Encoded By: ?", nullptr},
      {"empty encoder", TagOf(Frame("TENC", 1, std::string("\0", 1)) + "pad"), "Encoded By: ?", nullptr},
      {"a frame id after its own first letter is passed over",
       TagOf(Frame("TIT2", 3, std::string("\0sT", 3)) + Frame("TENC", 5, std::string("\0abcd", 5)) + "pad"), nullptr, nullptr},
      {"the last encoder wins",
       TagOf(Frame("TENC", 3, std::string("\0ab", 3)) + Frame("TENC", 3, std::string("\0cd", 3)) + "pad"),
       "Encoded By: cd", nullptr},
      {"picture", TagOf(Apic("JPEGDATA")), nullptr, "JPEGDATA"},
      {"picture larger than the tag", TagOf(Frame("APIC", 5000, std::string("\0image/jpeg\0\x03\0", 14) + "xy")),
       nullptr, nullptr},
      {"picture frame smaller than its fixed part", TagOf(Frame("APIC", 3, std::string(30, 'z'))), nullptr, nullptr},
      {"picture of exactly the fixed part", TagOf(Frame("APIC", 14, std::string(14, 'z'))), nullptr, nullptr},
      {"frame id at the very end", TagOf("TENC"), nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TId3TagReader reader;
    reader.DocBegin();
    const TId3ChunkResult r = reader.DocData(reinterpret_cast<const BYTE*>(c.tag.data()), static_cast<Integer>(c.tag.size()));
    EXPECT_TRUE(r.AbortDownload);
    EXPECT_FALSE(reader.ReadingId3);
    EXPECT_EQ(r.CaptionChanged, c.caption != nullptr);
    if (c.caption) {
      EXPECT_EQ(r.Caption, c.caption);
    }
    EXPECT_EQ(r.HasPicture, c.picture != nullptr);
    if (c.picture) {
      EXPECT_EQ(r.Picture, c.picture);
    }
  }
}

// With unsynchronisation the writer put a 0 after every 0xFF; the picture comes back
// as it was before.
TEST(Id3Hostile, UnsynchronisedTagGivesThePictureBack) {
  const std::string picture("\xFF\xD8\xFF\xE0\x00\x10JFIF\xFF\x00\xFF\xD9", 15);
  std::string frames = Apic(picture) + "pad";
  std::string stuffed;
  for (size_t i = 0; i < frames.size(); ++i) {
    stuffed += frames[i];
    if (static_cast<BYTE>(frames[i]) == 0xFF) stuffed += '\0';
  }
  const std::string tag = Header(0x80, Syncsafe(static_cast<uint32_t>(stuffed.size()))) + stuffed;
  TId3TagReader reader;
  reader.DocBegin();
  const TId3ChunkResult r = reader.DocData(reinterpret_cast<const BYTE*>(tag.data()), static_cast<Integer>(tag.size()));
  ASSERT_TRUE(r.HasPicture);
  EXPECT_EQ(r.Picture, picture);
}

}  // namespace
