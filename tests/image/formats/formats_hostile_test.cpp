// Hostile, fuzzed and conformance images from Debian's gdk-pixbuf-tests package run
// through the BMP, GIF and PNG readers: every file loads or ends in the abort flag,
// no reader allocates beyond the pixel limit, and the GIF conformance cases decode
// to their reference pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/formats/bmpfilt.h"
#include "image/formats/giffilter.h"
#include "image/formats/giflzw.h"
#include "tests/image/gif_coders.h"
#include "image/formats/pngfilt.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"

namespace {

namespace fs = std::filesystem;

const char kDataDir[] = "/usr/libexec/installed-tests/gdk-pixbuf";
const char kMissing[] = "gdk-pixbuf-tests is not installed; run scripts/install-deps";

using file_test::ReadFile;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Every .bmp, .gif and .png file under the package's test directory, sorted.
std::vector<fs::path> PackageImages() {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(kDataDir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string ext = Lower(it->path().extension().string());
    if (ext == ".bmp" || ext == ".gif" || ext == ".png") files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

class HostileImages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_directory(kDataDir)) << kMissing;
  }

  // Checks that a reader kept to the pixel limit, loaded or not.
  static void ExpectWithinLimit(const TIEBitmap& bitmap, const std::unique_ptr<TIEMask>& mask,
                                const std::string& what) {
    EXPECT_LE(Int64{bitmap.GetWidth()} * bitmap.GetHeight(), IEMaxPixels) << what;
    if (mask) {
      EXPECT_LE(Int64{mask->GetWidth()} * mask->GetHeight(), IEMaxPixels) << what;
    }
  }

  // Reads GIF frame `index`; answers whether it loaded. Bitmap and mask stay for inspection.
  bool ReadGifFrame(const std::string& bytes, Integer index, TIEBitmap& bitmap, std::unique_ptr<TIEMask>& mask,
                    Integer& count) {
    TMemoryStream stream;
    Fill(stream, bytes);
    TIOParamsVals params(nullptr);
    params.GIF_ImageIndex = index;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    count = -1;
    ReadGifStream(&stream, &bitmap, count, params, progress, false, mask, false);
    ExpectWithinLimit(bitmap, mask, "GIF frame " + std::to_string(index));
    return !aborting;
  }

  // Runs one file through the reader its extension names (every frame of a GIF);
  // answers whether it loaded. *bytesRead, when given, receives how far a BMP or
  // PNG reader got into the file.
  bool ReadAny(const fs::path& path, Int64* bytesRead = nullptr) {
    const std::string bytes = ReadFile(path.string());
    const std::string ext = Lower(path.extension().string());
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    TIEBitmap bitmap;
    TMemoryStream stream;
    Fill(stream, bytes);
    if (ext == ".bmp") {
      BMPReadStream(&stream, &bitmap, 0, params, progress, false);
      ExpectWithinLimit(bitmap, nullptr, path.string());
      if (bytesRead != nullptr) *bytesRead = stream.GetPosition();
      return !aborting;
    }
    if (ext == ".png") {
      std::unique_ptr<TIEMask> mask;
      ReadPNGStream(&stream, &bitmap, params, progress, false, mask, false);
      ExpectWithinLimit(bitmap, mask, path.string());
      if (bytesRead != nullptr) *bytesRead = stream.GetPosition();
      return !aborting;
    }
    std::unique_ptr<TIEMask> mask;
    Integer count = -1;
    if (!ReadGifFrame(bytes, 0, bitmap, mask, count)) return false;
    bool all = true;
    for (Integer i = 1; i < std::min<Integer>(count, 256); ++i) all = ReadGifFrame(bytes, i, bitmap, mask, count) && all;
    return all;
  }

 private:
  larktest::ScopedGifCoders gifCoders_;
};

TEST_F(HostileImages, EveryFileLoadsOrAbortsWithinThePixelLimit) {
  const std::vector<fs::path> files = PackageImages();
  ASSERT_GE(files.size(), 100u) << kMissing;
  int loaded = 0, aborted = 0;
  std::string abortedNames;
  std::map<std::string, std::pair<int, int>> byExt;
  for (const fs::path& f : files) {
    const bool ok = ReadAny(f);
    (ok ? loaded : aborted)++;
    if (!ok) abortedNames += " " + fs::relative(f, kDataDir).string();
    auto& e = byExt[Lower(f.extension().string())];
    (ok ? e.first : e.second)++;
  }
  std::ostringstream summary;
  summary << files.size() << " files: " << loaded << " loaded, " << aborted << " aborted;";
  for (const auto& kv : byExt) summary << " " << kv.first << " " << kv.second.first << "/" << kv.second.second;
  std::cout << "[ hostile  ] " << summary.str() << " (loaded/aborted)\n";
  std::cout << "[ aborted  ]" << abortedNames << "\n";
  RecordProperty("summary", summary.str());
}

// A legal PNG of 25,200 x 33,300 pixels (839 million, 2.5 GB of picture and mask)
// from a 2.5 MB file is above the pixel limit: it is refused from its header, before
// the picture is allocated or its data read.
TEST_F(HostileImages, PictureAboveThePixelLimitIsRefusedFromItsHeader) {
  const fs::path p = fs::path(kDataDir) / "large.png";
  ASSERT_TRUE(fs::exists(p)) << p << ": " << kMissing;
  Int64 bytesRead = -1;
  EXPECT_FALSE(ReadAny(p, &bytesRead));
  EXPECT_GE(bytesRead, 0);
  EXPECT_LT(bytesRead, 64 * 1024) << "of " << fs::file_size(p) << " bytes";
}

// The files that exist to break a reader: none of them may read as a good image.
TEST_F(HostileImages, BrokenFilesEndInTheAbortFlag) {
  const char* const broken[] = {
      "test-images/fail/invalid.1.bmp",  "test-images/fail/invalid.1.png", "test-images/fail/invalid.2.png",
      "test-images/fail/invalid.3.png",  "test-images/fail/invalid.4.png", "test-images/fail/invalid.1.gif",
      "test-images/fail/invalid.2.gif",  "test-images/fail/invalid.3.gif", "test-images/fail/invalid.4.gif",
      "test-images/fail/bug793470-crasher.png",
  };
  for (const char* name : broken) {
    const fs::path p = fs::path(kDataDir) / name;
    ASSERT_TRUE(fs::exists(p)) << p << ": " << kMissing;
    EXPECT_FALSE(ReadAny(p)) << name << " read as a good image";
  }
}

// Well-formed files among them must read.
TEST_F(HostileImages, GoodFilesLoad) {
  const char* const good[] = {
      "test-images/randomly-modified/valid.1.bmp", "test-images/randomly-modified/valid.1.gif",
      "test-images/randomly-modified/valid.1.png", "test-images/reftests/mandatory-bitmasks.bmp",
      "test-image.png",                            "icc-profile.png",
      "aero.gif",                                  "test-animation.gif",
  };
  for (const char* name : good) {
    const fs::path p = fs::path(kDataDir) / name;
    ASSERT_TRUE(fs::exists(p)) << p << ": " << kMissing;
    EXPECT_TRUE(ReadAny(p)) << name << " did not read";
  }
}

// One conformance case: the .conf next to the input names the logical size and,
// per frame, a file of RGBA bytes (width * height * 4) of the expected picture.
struct GifCase {
  std::string Name;
  std::string Input;
  int Width = 0;
  int Height = 0;
  std::vector<std::string> Pixels;  // per frame
};

GifCase ParseConf(const fs::path& conf) {
  GifCase c;
  c.Name = conf.stem().string();
  std::ifstream in(conf);
  std::string line, section;
  std::vector<std::string> frames;
  std::map<std::string, std::string> framePixels;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const size_t eq = line.find(" = ");
    const std::string key = line.substr(0, line.find(' '));
    const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 3);
    if (section == "config") {
      if (key == "input") c.Input = value;
      if (key == "width") c.Width = std::stoi(value);
      if (key == "height") c.Height = std::stoi(value);
      if (key == "frames") {
        std::istringstream list(value);
        for (std::string f; std::getline(list, f, ',');)
          if (!f.empty()) frames.push_back(f);
      }
    } else if (key == "pixels") {
      framePixels[section] = value;
    }
  }
  for (const std::string& f : frames) c.Pixels.push_back(framePixels[f]);
  return c;
}

// Cases our reader does not match, each with why. A case listed here that starts
// matching fails the test so the list stays honest.
const std::map<std::string, std::string> kKnownGifMismatches = {
    {"4095-codes", "a code after a full table without a clear code is refused as damage (no deferred clear)"},
    {"max-codes", "a code after a full table without a clear code is refused as damage (no deferred clear)"},
    {"animation-multi-image", "frames are read at their own size, not composited onto the screen"},
    {"animation-multi-image-explicit-zero-delay", "frames are read at their own size, not composited"},
    {"dispose-keep", "frames are read at their own size, not composited (no disposal applied)"},
    {"dispose-none", "frames are read at their own size, not composited (no disposal applied)"},
    {"dispose-restore-background", "frames are read at their own size, not composited (no disposal applied)"},
    {"dispose-restore-previous", "frames are read alone, not composited (no disposal applied)"},
    {"high-color", "reference merges several sub-images into one picture; we read them as frames"},
    {"images-combine", "reference merges several sub-images into one picture; we read them as frames"},
    {"images-overlap", "reference merges several sub-images into one picture; we read them as frames"},
    {"image-inside-bg", "image smaller than the screen is read at its own size, not placed on the screen"},
    {"missing-pixels", "image smaller than the screen is read at its own size, not placed on the screen"},
    {"image-outside-bg", "image offset on the screen is read unplaced; reference shows screen positions"},
    {"image-overlap-bg", "image offset on the screen is read unplaced; reference shows screen positions"},
    {"image-zero-height", "a frame of no pixels aborts; reference expects an empty screen"},
    {"image-zero-width", "a frame of no pixels aborts; reference expects an empty screen"},
    {"image-zero-size", "a frame of no pixels aborts; reference expects an empty screen"},
    {"no-data", "a file with no image aborts; reference expects a blank screen"},
};

TEST_F(HostileImages, GifConformanceSuiteMatchesReferencePixels) {
  const fs::path dir = fs::path(kDataDir) / "test-images/gif-test-suite";
  ASSERT_TRUE(fs::is_directory(dir)) << kMissing;
  std::vector<fs::path> confs;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".conf") confs.push_back(e.path());
  std::sort(confs.begin(), confs.end());
  ASSERT_GE(confs.size(), 50u) << kMissing;

  int passed = 0, known = 0, noFrames = 0;
  for (const fs::path& conf : confs) {
    const GifCase c = ParseConf(conf);
    const std::string bytes = ReadFile((dir / c.Input).string());
    ASSERT_FALSE(bytes.empty()) << c.Name << ": missing " << c.Input;
    if (c.Pixels.empty()) {
      // No expected picture: the case only has to load or abort without harm.
      TIEBitmap bitmap;
      std::unique_ptr<TIEMask> mask;
      Integer count = -1;
      ReadGifFrame(bytes, 0, bitmap, mask, count);
      ++noFrames;
      continue;
    }
    std::string why;
    for (size_t i = 0; i < c.Pixels.size() && why.empty(); ++i) {
      const std::string ref = ReadFile((dir / c.Pixels[i]).string());
      if (ref.size() != static_cast<size_t>(c.Width) * static_cast<size_t>(c.Height) * 4) {
        why = "reference " + c.Pixels[i] + " has a wrong size";
        break;
      }
      TIEBitmap bitmap;
      std::unique_ptr<TIEMask> mask;
      Integer count = -1;
      const bool ok = ReadGifFrame(bytes, static_cast<Integer>(i), bitmap, mask, count);
      const std::string frame = "frame " + std::to_string(i) + ": ";
      if (!ok) {
        why = frame + "aborted";
      } else if (bitmap.GetWidth() != c.Width || bitmap.GetHeight() != c.Height) {
        why = frame + "size " + std::to_string(bitmap.GetWidth()) + "x" + std::to_string(bitmap.GetHeight()) +
              ", expected " + std::to_string(c.Width) + "x" + std::to_string(c.Height);
      } else {
        for (int y = 0; y < c.Height && why.empty(); ++y) {
          for (int x = 0; x < c.Width; ++x) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(ref.data()) +
                                     (static_cast<size_t>(y) * static_cast<size_t>(c.Width) + static_cast<size_t>(x)) * 4;
            const Byte alpha = mask ? mask->GetScanLine(y)[x] : Byte(255);
            TRGB px;
            if (bitmap.GetPixelFormat() == ie1g) {
              const Byte* row = static_cast<const Byte*>(bitmap.GetScanLine(y));
              const Byte v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
              px = TRGB{v, v, v};
            } else {
              px = static_cast<const TRGB*>(bitmap.GetScanLine(y))[x];
            }
            const bool same = p[3] == 0 ? alpha == 0 : (alpha == 255 && px == TRGB{p[2], p[1], p[0]});
            if (!same) {
              std::ostringstream s;
              s << frame << "pixel " << x << "," << y << " is " << int(px.r) << "," << int(px.g) << ","
                << int(px.b) << " alpha " << int(alpha) << ", expected " << int(p[0]) << "," << int(p[1]) << ","
                << int(p[2]) << "," << int(p[3]);
              why = s.str();
              break;
            }
          }
        }
      }
    }
    const auto listed = kKnownGifMismatches.find(c.Name);
    if (why.empty()) {
      ++passed;
      EXPECT_TRUE(listed == kKnownGifMismatches.end()) << c.Name << " now matches; remove it from the known list";
    } else if (listed != kKnownGifMismatches.end()) {
      ++known;
      std::cout << "[ known    ] " << c.Name << ": " << why << " (" << listed->second << ")\n";
    } else {
      ADD_FAILURE() << c.Name << ": " << why;
    }
  }
  std::cout << "[ gif-suite] " << confs.size() << " cases: " << passed << " match, " << known
            << " known mismatches, " << noFrames << " without expected frames\n";
}

}  // namespace
