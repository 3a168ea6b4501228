// The ID3v2 tag head read from a real download: an MP3 tagged by mutagen, served by
// nginx at a limited rate so that the tag arrives in many chunks, fetched by the HTTP
// client and aborted as soon as the tag is known.
#include <gtest/gtest.h>

#include <string>

#include "app/Id3Tag.h"
#include "net/HttpProt.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace {

using larktest::ReadFileBytes;

struct Download {
  TId3TagReader reader;
  int chunks = 0;
  int64_t received = 0;
  int done = 0;
  TId3ChunkResult result;
  AnsiString caption;
};

void StartDownload(THttpCli& cli, Download& d, const std::string& url) {
  cli.OnDocBegin = [&](TObject*) { d.caption = d.reader.DocBegin(); };
  cli.OnDocData = [&](TObject*, const void* buffer, Integer len) {
    ++d.chunks;
    d.received += len;
    TId3ChunkResult r = d.reader.DocData(static_cast<const BYTE*>(buffer), len);
    if (r.CaptionChanged) d.caption = r.Caption;
    if (r.AbortDownload) {
      d.result = r;
      cli.Abort();
    }
  };
  cli.OnRequestDone = [&](TObject*, THttpRequest, Word) { ++d.done; };
  cli.SetURL(url);
  cli.GetASync();
}

TEST(Id3Download, TheTagArrivesInChunksAndTheDownloadIsAborted) {
  larktest::TempDir dir;
  larktest::MakeToneWav(dir.Path() + "tone.wav", "20", "22050");
  larktest::MakeMp3(dir.Path() + "tone.wav", dir.Path() + "plain.mp3");
  larktest::MakeJpeg(dir.Path() + "cover.jpg", "150x150", true);
  const std::string file = larktest::TagMp3(dir.Path() + "plain.mp3", dir.Path() + "show.mp3",
                                            {"--version", "3", "--encoder", "Lark Studio", "--cover", dir.Path() + "cover.jpg"});
  const std::string cover = ReadFileBytes(dir.Path() + "cover.jpg");
  ASSERT_FALSE(file.empty());

  larktest::NginxServer nginx;
  // Small pieces: the tag (over 16 KB) cannot come in one.
  ASSERT_TRUE(nginx.Start("location /slow/ { sendfile off; output_buffers 1 2k; limit_rate 400k; }"));
  nginx.WriteFile("slow/show.mp3", file);

  THttpCli cli(nullptr);
  Download d;
  StartDownload(cli, d, nginx.Url("/slow/show.mp3"));
  ASSERT_TRUE(larktest::PumpUntil([&] { return d.done > 0; }, 30000));
  EXPECT_TRUE(d.result.AbortDownload);
  EXPECT_EQ(d.caption, "Encoded By: Lark Studio");
  ASSERT_TRUE(d.result.HasPicture);
  EXPECT_EQ(d.result.Picture, cover);
  EXPECT_GT(d.chunks, 1);
  EXPECT_LT(d.received, static_cast<int64_t>(file.size())) << "the download was not cut short";
  EXPECT_FALSE(d.reader.ReadingId3);
}

TEST(Id3Download, AFileWithoutTagStopsAtItsFirstBytes) {
  larktest::NginxServer nginx;
  ASSERT_TRUE(nginx.Start());
  nginx.AddPatternFile("noise.mp3", 3 * 1024 * 1024);
  THttpCli cli(nullptr);
  Download d;
  StartDownload(cli, d, nginx.Url("/noise.mp3"));
  ASSERT_TRUE(larktest::PumpUntil([&] { return d.done > 0; }, 30000));
  EXPECT_EQ(d.caption, "ID3v2 tag not found");
  EXPECT_LT(d.received, 3 * 1024 * 1024);
}

}  // namespace
