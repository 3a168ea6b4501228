// The input/output component: the format registry, detection by content of files
// written by ImageMagick, Pillow and netpbm, loading and saving by name, stream and
// number, and what a failed load or save leaves behind.
#include <dirent.h>

#include <cstring>

#include "image/formats/bmpfilt.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/sim/Faults.h"
#include "tests/image/io_test_util.h"

namespace {

using io_test::CountingIO;
using io_test::IOTest;
using io_test::Pixels;

// ---------------------------------------------------------------------------
// Registry

TEST(IORegistry, BuiltInRecordsAndLookups) {
  EXPECT_EQ(IEFileFormatCount() >= 14, true);
  ASSERT_NE(IEFileFormatGetInfo2("Jpe"), nullptr);
  EXPECT_EQ(IEFileFormatGetInfo2("Jpe")->FileType, iofnJPEG);
  EXPECT_EQ(IEFileFormatGetInfo2("pix")->FileType, iofnTGA);
  EXPECT_EQ(IEFileFormatGetInfo2("xyz"), nullptr);
  EXPECT_EQ(IEFileFormatGetExt(iofnJPEG, 2), "JPE");
  EXPECT_EQ(IEFileFormatGetExt(iofnJPEG, 3), "");
  EXPECT_EQ(IEFileFormatGetExtCount(iofnJ2K), 3);
  EXPECT_EQ(IEFileFormatGetInfo(iofnTGA)->FullName, "Targa Bitmap");
  EXPECT_EQ(IEFileFormatGetInfo(iofnICO)->WriteFunction, nullptr);
  EXPECT_TRUE(IsKnownFormat("a/b.TIFF"));
  EXPECT_FALSE(IsKnownFormat("a/b"));

  // The placeholders never report success.
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TIOParamsVals params(nullptr);
  DummyReadImageStream(nullptr, nullptr, params, progress, false);
  EXPECT_TRUE(aborting);

  TGIFLZWDecompFunc d = DefGIF_LZWDECOMPFUNC;
  TGIFLZWCompFunc c = DefGIF_LZWCOMPFUNC;
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = nullptr;
  IEUpdateGIFStatus();
  EXPECT_NE(IEFileFormatGetInfo(iofnGIF)->ReadFunction, nullptr);
  EXPECT_EQ(IEFileFormatGetInfo(iofnGIF)->WriteFunction, nullptr);
  DefGIF_LZWDECOMPFUNC = d;
  DefGIF_LZWCOMPFUNC = c;
  IEFileFormatGetInfo(iofnGIF)->ReadFunction = DummyReadImageStream;
  IEFileFormatGetInfo(iofnGIF)->WriteFunction = DummyWriteImageStream;
}

TEST(IODetection, EdgesOfTheBuiltInTests) {
  struct Case {
    std::string bytes;
    Integer expected;
  } cases[] = {
      {std::string("GIF89a") + std::string(8, 'x'), iofnGIF},        // 14 bytes
      {std::string("GIF89a") + std::string(7, 'x'), iofnUnknown},    // 13: not greater than 13
      {std::string("JFIF\0", 5) + std::string(7, 'x'), iofnUnknown},  // exactly 12
      {std::string("JFIF\0", 5) + std::string(8, 'x'), iofnJPEG},
      {std::string("PCX2\0abc\x04\0\0\0", 12) + "z", iofnPCX},
      {std::string("II") + std::string(7, 'q'), iofnTIFF},
      {std::string("MM") + std::string(7, 'q'), iofnTIFF},
      {std::string("BM") + std::string(13, 'q'), iofnBMP},
      {std::string(200, 'z'), iofnUnknown},
      {"", iofnUnknown},
  };
  for (const Case& c : cases) {
    TMemoryStream s;
    codec_test::Fill(s, c.bytes);
    s.SetPosition(0);
    EXPECT_EQ(FindStreamFormat(&s), c.expected) << c.bytes.size() << " bytes";
    EXPECT_EQ(s.GetPosition(), 0);
  }
}

// A format of a program's own, detected, read and written through its record.
void ReadXyz(TStream* s, TIEBitmap* b, TIOParamsVals& p, TProgressRec& progress, bool) {
  char tag[4];
  if (s->Read(tag, 4) != 4 || std::memcmp(tag, "XYZ1", 4) != 0) return progress.Abort();
  b->Allocate(2, 3, ie24RGB);
  p.Width = 2;
  p.Height = 3;
}
void WriteXyz(TStream* s, TIEBitmap*, TIOParamsVals&, TProgressRec&) { s->WriteBuffer("XYZ1", 4); }
bool TryXyz(TStream* s) {
  char tag[4] = {};
  Int64 at = s->GetPosition();
  bool ok = s->Read(tag, 4) == 4 && std::memcmp(tag, "XYZ1", 4) == 0;
  s->SetPosition(at);
  return ok;
}

TEST_F(IOTest, AFormatAddedToTheRegistryIsDetectedReadAndWritten) {
  TIEFileFormatInfo info;
  info.FileType = 100;
  info.FullName = "Test format";
  info.Extensions = "XYZ";
  info.ReadFunction = ReadXyz;
  info.WriteFunction = WriteXyz;
  info.TryFunction = TryXyz;
  IEFileFormatAdd(info);
  CountingIO c;
  codec_test::Pattern(*c.io.GetIEBitmap(), 5, 5);
  std::string path = Dir() + "a.xyz";
  c.io.SaveToFile(path);
  EXPECT_FALSE(c.io.GetAborting());
  EXPECT_EQ(file_test::ReadFile(path), "XYZ1");
  EXPECT_EQ(FindFileFormat(path, true), 100);
  TFileStream file(path, fmOpenRead);
  c.io.LoadFromStream(&file);
  EXPECT_FALSE(c.io.GetAborting());
  EXPECT_EQ(c.io.GetIEBitmap()->GetHeight(), 3);
  EXPECT_EQ(c.io.GetParams()->FileType, 100);
  EXPECT_EQ(c.Finishes(), 2);
  IEFileFormatRemove(100);
  EXPECT_EQ(IEFileFormatGetInfo(100), nullptr);
}

// ---------------------------------------------------------------------------
// Files written by other programs

struct PeerFile {
  std::string tool;
  std::string ext;
  std::vector<std::string> argv;  // SRC, PNG and OUT are replaced
  Integer type;
};

TEST_F(IOTest, DetectsAndLoadsFilesWrittenByOtherPrograms) {
  const std::string src = Dir() + "src.ppm";
  const std::string png = Dir() + "src.png";
  larktest::RunCommand({"convert-im6.q16", "-size", "40x30", "gradient:red-blue", "-depth", "8", src});
  larktest::RunCommand({"convert-im6.q16", src, png});
  ASSERT_TRUE(FileExists(src));
  auto im = [](const std::string& ext, Integer type) {
    return PeerFile{"im", ext, {"convert-im6.q16", "SRC", "OUT"}, type};
  };
  auto pil = [](const std::string& ext, const std::string& mode, Integer type) {
    return PeerFile{"pil", ext,
                    {"/usr/bin/python3", "-c",
                     "import sys; from PIL import Image; Image.open(sys.argv[1]).convert('" + mode +
                         "').save(sys.argv[2])",
                     "SRC", "OUT"},
                    type};
  };
  auto netpbm = [](const std::string& ext, const std::string& tool, Integer type) {
    return PeerFile{"netpbm", ext, {"sh", "-c", tool + " SRC > OUT"}, type};
  };
  std::vector<PeerFile> files = {
      im("tif", iofnTIFF), im("gif", iofnGIF), im("jpg", iofnJPEG), im("pcx", iofnPCX),
      im("bmp", iofnBMP),  im("ico", iofnICO), im("png", iofnPNG),  im("tga", iofnTGA),
      im("ppm", iofnPXM),  im("pgm", iofnPXM), im("pbm", iofnPXM),  im("jp2", iofnJP2),
      im("j2k", iofnJ2K),
      pil("tif", "RGB", iofnTIFF), pil("gif", "P", iofnGIF),     pil("jpg", "RGB", iofnJPEG),
      pil("pcx", "RGB", iofnPCX),  pil("bmp", "RGB", iofnBMP),   pil("ico", "RGBA", iofnICO),
      pil("png", "RGBA", iofnPNG), pil("tga", "RGB", iofnTGA),   pil("ppm", "RGB", iofnPXM),
      pil("jp2", "RGB", iofnJP2),  pil("j2k", "RGB", iofnJ2K),
      netpbm("gif", "pamtogif", iofnGIF),   netpbm("pcx", "ppmtopcx", iofnPCX),
      netpbm("bmp", "ppmtobmp", iofnBMP),   netpbm("tif", "pnmtotiff", iofnTIFF),
      netpbm("png", "pnmtopng", iofnPNG),   netpbm("tga", "pamtotga", iofnTGA),
      netpbm("jpg", "pnmtojpeg", iofnJPEG),
      PeerFile{"icoutils", "cur", {"icotool", "-c", "--cursor", "-o", "OUT", "PNG"}, iofnCUR},
  };
  int index = 0;
  for (PeerFile& f : files) {
    const std::string path = Dir() + f.tool + std::to_string(index++) + "." + f.ext;
    for (std::string& a : f.argv) {
      for (auto [key, value] : {std::pair<std::string, std::string>{"SRC", src}, {"OUT", path}, {"PNG", png}}) {
        size_t at;
        while ((at = a.find(key)) != std::string::npos) a.replace(at, key.size(), value);
      }
    }
    int rc = -1;
    larktest::RunCommand(f.argv, &rc);
    ASSERT_EQ(rc, 0) << path;
    SCOPED_TRACE(path);
    EXPECT_EQ(FindFileFormat(path, true), f.type);

    CountingIO c;
    c.io.LoadFromFile(path);
    EXPECT_FALSE(c.io.GetAborting());
    EXPECT_EQ(c.io.GetParams()->FileType, f.type);
    EXPECT_EQ(c.io.GetParams()->FileName, path);
    EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), f.type == iofnICO || f.type == iofnCUR ? c.io.GetIEBitmap()->GetWidth() : 40);
    EXPECT_EQ(c.Finishes(), 1);

    // By content from a stream, and behind leading bytes: only JPEG data is looked
    // for past the start; anything else is then not recognised and changes nothing.
    std::string bytes = file_test::ReadFile(path);
    std::vector<Byte> before = Pixels(*c.io.GetIEBitmap());
    TMemoryStream junk;
    codec_test::Fill(junk, std::string(50, 'U') + bytes);
    junk.SetPosition(0);
    c.io.LoadFromStream(&junk);
    if (f.type == iofnJPEG) {
      EXPECT_FALSE(c.io.GetAborting());
      EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), 40);
    } else {
      EXPECT_TRUE(c.io.GetAborting());
      EXPECT_EQ(Pixels(*c.io.GetIEBitmap()), before);
    }
  }
}

// ---------------------------------------------------------------------------
// Saving by name and reading back by content

TEST_F(IOTest, SavesByExtensionAndReadsBackByContent) {
  struct Case {
    const char* ext;
    Integer type;
    bool lossless;
    bool pillowReads;
  } cases[] = {
      {"bmp", iofnBMP, true, true},  {"dib", iofnBMP, true, true},   {"png", iofnPNG, true, true},
      {"tif", iofnTIFF, true, true}, {"tga", iofnTGA, true, true},   {"ppm", iofnPXM, true, true},
      {"pcx", iofnPCX, true, true},  {"jpg", iofnJPEG, false, true}, {"gif", iofnGIF, false, true},
      {"jp2", iofnJP2, true, true},  {"j2k", iofnJ2K, true, true},   {"pix", iofnTGA, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    CountingIO w;
    codec_test::Pattern(*w.io.GetIEBitmap(), 37, 23, c.type == iofnGIF ? 5 : 0);
    std::vector<Byte> written = Pixels(*w.io.GetIEBitmap());
    std::string path = Dir() + "saved." + c.ext;
    w.io.SaveToFile(path);
    ASSERT_FALSE(w.io.GetAborting());
    ASSERT_GE(w.events.size(), 2u);
    EXPECT_EQ(w.events.back(), "finish");
    EXPECT_EQ(w.events[w.events.size() - 2], "p100");
    EXPECT_EQ(w.Finishes(), 1);
    EXPECT_EQ(FindFileFormat(path, false), c.type);

    CountingIO r;
    {
      TFileStream file(path, fmOpenRead | fmShareDenyWrite);
      r.io.LoadFromStream(&file);
    }
    ASSERT_FALSE(r.io.GetAborting());
    EXPECT_EQ(r.io.GetParams()->FileType, c.type);
    EXPECT_EQ(r.io.GetIEBitmap()->GetWidth(), 37);
    EXPECT_EQ(r.io.GetIEBitmap()->GetHeight(), 23);
    if (c.lossless || c.type == iofnGIF) {
      EXPECT_EQ(Pixels(*r.io.GetIEBitmap()), written);
    }
    // And by name: the extension chooses the reader (PIX is Targa's).
    CountingIO byName;
    byName.io.LoadFromFile(path);
    EXPECT_FALSE(byName.io.GetAborting());
    EXPECT_EQ(byName.io.GetParams()->FileType, c.type);
    EXPECT_EQ(byName.io.GetIEBitmap()->GetWidth(), 37);
    if (c.pillowReads && c.lossless) {
      codec_test::Rgba theirs = codec_test::PillowDecode(path);
      ASSERT_TRUE(theirs.ok());
      EXPECT_TRUE(codec_test::SameRgba(codec_test::OurPixels(*w.io.GetIEBitmap()), theirs));
    }
  }
}

TEST_F(IOTest, StreamsCarryTheTwelveByteHeaders) {
  CountingIO w;
  w.io.StreamHeaders = true;
  codec_test::Pattern(*w.io.GetIEBitmap(), 16, 16);
  TMemoryStream s;
  codec_test::Fill(s, std::string(100, 'x'));
  s.SetPosition(100);
  w.io.SaveToStreamJpeg(&s);
  ASSERT_FALSE(w.io.GetAborting());
  std::vector<Byte> all = codec_test::Contents(s);
  ASSERT_GT(all.size(), 112u);
  EXPECT_EQ(std::memcmp(all.data() + 100, "JFIF\0", 5), 0);
  uint32_t length = all[108] | (all[109] << 8) | (all[110] << 16) | (static_cast<uint32_t>(all[111]) << 24);
  EXPECT_EQ(length, all.size() - 112);
  EXPECT_EQ(all[112], 0xFF);
  s.Write("tail", 4);

  CountingIO r;
  s.SetPosition(100);
  r.io.LoadFromStream(&s);
  EXPECT_FALSE(r.io.GetAborting());
  EXPECT_EQ(r.io.GetIEBitmap()->GetWidth(), 16);
  EXPECT_EQ(s.GetPosition(), static_cast<Int64>(all.size()));

  // TIFF with headers expected but plain TIFF data: refused, image untouched.
  TMemoryStream plain;
  w.io.StreamHeaders = false;
  w.io.SaveToStreamTIFF(&plain);
  plain.SetPosition(0);
  r.io.StreamHeaders = true;
  std::vector<Byte> before = Pixels(*r.io.GetIEBitmap());
  r.io.LoadFromStreamTIFF(&plain);
  EXPECT_TRUE(r.io.GetAborting());
  EXPECT_EQ(Pixels(*r.io.GetIEBitmap()), before);

  // PCX and TIFF round trips with headers.
  for (Integer type : {iofnPCX, iofnTIFF}) {
    TMemoryStream h;
    w.io.StreamHeaders = true;
    w.io.SaveToStream(&h, type);
    ASSERT_FALSE(w.io.GetAborting());
    h.SetPosition(0);
    CountingIO back;
    back.io.StreamHeaders = true;
    back.io.LoadFromStreamFormat(&h, type);
    EXPECT_FALSE(back.io.GetAborting()) << type;
    EXPECT_EQ(Pixels(*back.io.GetIEBitmap()), Pixels(*w.io.GetIEBitmap())) << type;
  }
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(IOTest, FailedLoadsLeaveTheImageAndEndInFinishWork) {
  CountingIO c;
  codec_test::Pattern(*c.io.GetIEBitmap(), 9, 7);
  std::vector<Byte> before = Pixels(*c.io.GetIEBitmap());

  // A BMP that claims a huge size, a PNG cut short, text, nothing at all.
  std::string bmp(54, '\0');
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[14] = 40;
  bmp[18] = '\xff';
  bmp[19] = '\xff';
  bmp[20] = '\x0f';  // width 1048575
  bmp[22] = '\xff';
  bmp[23] = '\xff';
  bmp[24] = '\x0f';
  bmp[26] = 1;
  bmp[28] = 24;
  CountingIO pngMaker;
  codec_test::Pattern(*pngMaker.io.GetIEBitmap(), 64, 64);
  TMemoryStream png;
  pngMaker.io.SaveToStreamPNG(&png);
  std::vector<Byte> pngBytes = codec_test::Contents(png);
  std::string cutPng(pngBytes.begin(), pngBytes.begin() + static_cast<long>(pngBytes.size() / 2));

  for (const std::string& bytes : {bmp, cutPng, std::string("<html>404 Not Found</html>"), std::string()}) {
    TMemoryStream s;
    codec_test::Fill(s, bytes);
    s.SetPosition(0);
    int finishes = c.Finishes();
    c.io.LoadFromStream(&s);
    EXPECT_TRUE(c.io.GetAborting()) << bytes.size();
    EXPECT_EQ(c.Finishes(), finishes + 1);
    EXPECT_EQ(Pixels(*c.io.GetIEBitmap()), before);
    EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), 9);
  }

  // By name: no name, no extension, an unknown extension: failure with the
  // end-of-work notification; a missing file (a metafile too) raises after it.
  for (const std::string& name : {std::string(), Dir() + "noext", Dir() + "a.qqq"}) {
    int finishes = c.Finishes();
    c.io.SetAborting(false);
    c.io.LoadFromFile(name);
    EXPECT_TRUE(c.io.GetAborting()) << name;
    EXPECT_EQ(c.Finishes(), finishes + 1) << name;
  }
  for (const char* missing : {"missing.JPG", "a.wmf", "a.emf"}) {
    const int finishes = c.Finishes();
    c.io.SetAborting(false);
    EXPECT_THROW(c.io.LoadFromFile(Dir() + missing), EFOpenError) << missing;
    EXPECT_TRUE(c.io.GetAborting()) << missing;
    EXPECT_EQ(c.Finishes(), finishes + 1) << missing;
  }
  // The GIF and PCX loads report a missing file through the flag alone.
  EXPECT_EQ(c.io.LoadFromFileGif(Dir() + "missing.gif"), 0);
  EXPECT_TRUE(c.io.GetAborting());
  EXPECT_EQ(Pixels(*c.io.GetIEBitmap()), before);
}

// Names of the files in a folder.
std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    closedir(d);
  }
  return names;
}

TEST_F(IOTest, FailedSavesLeaveThePreviousFile) {
  CountingIO c;
  codec_test::Pattern(*c.io.GetIEBitmap(), 30, 20);
  std::string path = Dir() + "feed1.bmp";
  file_test::WriteFile(path, "the previous file");

  // A write that fails halfway, a rename that fails at the end.
  for (sim::Fault fault : {sim::Fault::FileWrite, sim::Fault::FileRename}) {
    sim::FailNext(fault);
    int finishes = c.Finishes();
    c.io.SaveToFile(path);
    EXPECT_TRUE(c.io.GetAborting());
    EXPECT_EQ(c.Finishes(), finishes + 1);
    EXPECT_EQ(file_test::ReadFile(path), "the previous file");
    EXPECT_EQ(Listing(Dir()), std::vector<std::string>{"feed1.bmp"});
  }
  // Formats nothing writes, an empty name, an empty image: no file at all.
  for (const std::string& name : {Dir() + "a.ico", Dir() + "a.cur", Dir() + "a.wmf", std::string()}) {
    int finishes = c.Finishes();
    c.io.SaveToFile(name);
    EXPECT_TRUE(c.io.GetAborting()) << name;
    EXPECT_EQ(c.Finishes(), finishes + 1) << name;
  }
  CountingIO empty;
  empty.io.SaveToFile(Dir() + "empty.png");
  EXPECT_TRUE(empty.io.GetAborting());
  EXPECT_EQ(Listing(Dir()), std::vector<std::string>{"feed1.bmp"});
  // A folder that does not exist: the error reaches the caller after the end.
  EXPECT_THROW(c.io.SaveToFile(Dir() + "no/such.bmp"), EFCreateError);
  EXPECT_TRUE(c.io.GetAborting());

  // Success replaces the file.
  c.io.SaveToFile(path);
  EXPECT_FALSE(c.io.GetAborting());
  EXPECT_EQ(FindFileFormat(path, true), iofnBMP);
  EXPECT_EQ(Listing(Dir()), std::vector<std::string>{"feed1.bmp"});
}

TEST_F(IOTest, SavingKeepsTheCallersImageWhereAConversionWouldLoseIt) {
  CountingIO c;
  TIEBitmap& b = *c.io.GetIEBitmap();
  b.Allocate(8, 8, ie16g);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) static_cast<Word*>(b.GetScanLine(y))[x] = static_cast<Word>(x * 1000 + y * 7);
  c.io.SaveToFile(Dir() + "grey.png");
  EXPECT_FALSE(c.io.GetAborting());
  EXPECT_EQ(b.GetPixelFormat(), ie16g);
  EXPECT_EQ(static_cast<Word*>(b.GetScanLine(3))[5], 5021);

  // A palette image loses nothing by the conversion, which stays in the image.
  b.Allocate(8, 8, ie8g);
  c.io.SaveToFile(Dir() + "grey.jpg");
  EXPECT_FALSE(c.io.GetAborting());
  EXPECT_EQ(b.GetPixelFormat(), ie24RGB);
  // A 1-bit image stays 1-bit.
  b.Allocate(8, 8, ie1g);
  c.io.SaveToFile(Dir() + "bw.tif");
  EXPECT_EQ(b.GetPixelFormat(), ie1g);
}

TEST_F(IOTest, AFrameworkBitmapIsMarkedModifiedExactlyWhenALoadSucceeded) {
  CountingIO maker;
  codec_test::Pattern(*maker.io.GetIEBitmap(), 12, 10);
  std::string path = Dir() + "same.bmp";
  maker.io.SaveToFile(path);

  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetWidth(12);
  bitmap.SetHeight(10);
  TDadirAvIO io(nullptr);
  io.SetAttachedBitmap(&bitmap);
  bitmap.SetModified(false);
  io.LoadFromFile(path);  // same size and format as before
  EXPECT_FALSE(io.GetAborting());
  EXPECT_TRUE(bitmap.GetModified());
  TRGB top = io.GetIEBitmap()->GetPixels_ie24RGB(3, 0);
  EXPECT_EQ(top.r, maker.io.GetIEBitmap()->GetPixels_ie24RGB(3, 0).r);

  file_test::WriteFile(Dir() + "broken.bmp", "BM and nothing else of a bitmap");
  io.LoadFromFile(Dir() + "broken.bmp");
  EXPECT_TRUE(io.GetAborting());
  EXPECT_FALSE(bitmap.GetModified());
  EXPECT_EQ(bitmap.GetWidth(), 12);
}

TEST_F(IOTest, HeaderReadsAndDpiAdjustment) {
  CountingIO maker;
  codec_test::Pattern(*maker.io.GetIEBitmap(), 33, 21);
  std::string bmp = Dir() + "a.bmp";
  maker.io.SaveToFile(bmp);
  std::string fake = Dir() + "bmp.jpg";
  file_test::WriteFile(fake, file_test::ReadFile(bmp));

  CountingIO c;
  codec_test::Pattern(*c.io.GetIEBitmap(), 4, 4);
  std::vector<Byte> before = Pixels(*c.io.GetIEBitmap());
  std::vector<std::string> seen;
  c.io.ParamsFromFile(bmp);
  EXPECT_EQ(c.io.GetParams()->FileType, iofnBMP);
  EXPECT_EQ(c.io.GetParams()->Width, 33);
  EXPECT_EQ(Pixels(*c.io.GetIEBitmap()), before);
  EXPECT_EQ(c.events, (std::vector<std::string>{"p100", "finish"}));  // nothing reported during the read
  c.io.ParamsFromFile(fake);  // the extension disagrees with the content
  EXPECT_EQ(c.io.GetParams()->FileType, iofnUnknown);
  c.io.ParamsFromFile(Dir() + "missing.png");
  EXPECT_EQ(c.io.GetParams()->FileType, iofnUnknown);

  // 300 x 100 at 100 x 200 dpi becomes 300 x 50 at 100 x 100.
  TDadirAvIO io(nullptr);
  io.GetIEBitmap()->Allocate(300, 100, ie24RGB);
  io.GetParams()->Width = 300;
  io.GetParams()->Height = 100;
  io.GetParams()->DpiX = 100;
  io.GetParams()->DpiY = 200;
  io.AdjustDPI();
  EXPECT_EQ(io.GetIEBitmap()->GetWidth(), 300);
  EXPECT_EQ(io.GetIEBitmap()->GetHeight(), 50);
  EXPECT_EQ(io.GetParams()->DpiY, 100);
  io.GetParams()->DpiX = 0;
  io.AdjustDPI();
  EXPECT_EQ(io.GetIEBitmap()->GetHeight(), 50);
}

}  // namespace
