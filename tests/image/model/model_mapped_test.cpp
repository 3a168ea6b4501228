// TIEMemoryMapped on real temporary files, the temporary-folder helpers and the
// 64-bit arithmetic helpers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/sim/Faults.h"
#include "tests/support/Peers.h"

namespace {

constexpr DWORD MB = 1048576;

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

Byte Pattern(UInt64 i) { return static_cast<Byte>((i * 7 + i / 251) % 253); }

class MemoryMapped : public ::testing::Test {
 protected:
  void TearDown() override {
    DefTEMPPATH.clear();
    sim::ClearFaults();
  }
  larktest::TempDir dir_;
};

TEST_F(MemoryMapped, TemporaryFileIsMadeInAMissingFolderAndDeletedAgain) {
  DefTEMPPATH = dir_.Path() + "one/two/";  // neither level exists yet
  TIEMemoryMapped mapped;
  ASSERT_TRUE(mapped.AllocateFile("", 200000, 0));
  EXPECT_TRUE(mapped.IsAllocated());
  const std::string name = mapped.GetFileName();
  EXPECT_EQ(name.rfind(dir_.Path() + "one/two/dad", 0), 0u) << name;
  EXPECT_EQ(_getfilesize(name), 200000);
  EXPECT_FALSE(mapped.AllocateFile("", 10, 0)) << "already allocated";

  mapped.DeAllocate();
  EXPECT_FALSE(mapped.IsAllocated());
  EXPECT_FALSE(Exists(name));
  mapped.DeAllocate();  // harmless twice
  TIEMemoryMapped never;
  never.DeAllocate();
}

TEST_F(MemoryMapped, WithoutAFolderTheSystemTemporaryFolderIsUsed) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", dir_.Path().c_str(), 1);
  std::string name;
  {
    TIEMemoryMapped mapped;
    const bool made = mapped.AllocateFile("", 1000, 0);
    name = mapped.GetFileName();
    if (old != nullptr) {
      setenv("TMPDIR", saved.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    ASSERT_TRUE(made);
    EXPECT_EQ(name.rfind(dir_.Path() + "dad", 0), 0u) << name;
    EXPECT_TRUE(Exists(name));
  }
  EXPECT_FALSE(Exists(name)) << "the destructor deletes the file";
}

TEST_F(MemoryMapped, AllocationFailuresAnswerFalseAndLeaveNoFile) {
  TIEMemoryMapped mapped;
  EXPECT_FALSE(mapped.AllocateFile(dir_.Path() + "missing/x.tmp", 100, 0));
  EXPECT_FALSE(mapped.IsAllocated());

  DefTEMPPATH = dir_.Path();
  sim::FailNext(sim::Fault::FileCreate);
  EXPECT_FALSE(mapped.AllocateFile("", 100, 0));
  // Beyond what a file offset can hold.
  EXPECT_FALSE(mapped.AllocateFile("", 0, 0x80000000u));
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());
  EXPECT_EQ(mapped.Map(0, 0, 100), nullptr);
}

// A sparse file would defer "disk full" to a fault inside a mapped write: the space
// must be reserved when the file is made.
TEST_F(MemoryMapped, FileSpaceIsReservedWhenMade) {
  DefTEMPPATH = dir_.Path();
  TIEMemoryMapped mapped;
  ASSERT_TRUE(mapped.AllocateFile("", 8 * MB, 0));
  struct stat info {};
  ASSERT_EQ(stat(mapped.GetFileName().c_str(), &info), 0);
  EXPECT_GE(static_cast<UInt64>(info.st_blocks) * 512, 8u * MB);

  ASSERT_TRUE(mapped.ReAllocateFile(16 * MB, 0));
  ASSERT_EQ(stat(mapped.GetFileName().c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 16 * MB);
  EXPECT_GE(static_cast<UInt64>(info.st_blocks) * 512, 16u * MB);
}

// A file larger than the process may write is refused at once, and nothing is left.
TEST_F(MemoryMapped, FileLargerThanTheSizeLimitIsRefused) {
  DefTEMPPATH = dir_.Path();
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 2 * MB;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

  TIEMemoryMapped mapped;
  const bool tooLarge = mapped.AllocateFile("", 3 * MB, 0);
  const bool small = mapped.AllocateFile("", MB, 0);
  const bool grown = small && mapped.ReAllocateFile(4 * MB, 0);

  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(tooLarge);
  ASSERT_TRUE(small);
  EXPECT_FALSE(grown);
  EXPECT_EQ(mapped.GetSize(), MB) << "a refused growth keeps the old size";
  EXPECT_EQ(_getfilesize(mapped.GetFileName()), MB);
  mapped.DeAllocate();
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());
}

TEST_F(MemoryMapped, ViewsOfTheSameBytesSeeEachOthersWrites) {
  TIEMemoryMapped mapped;
  ASSERT_TRUE(mapped.AllocateFile(dir_.Path() + "shared.tmp", 3 * 65536, 0));
  auto* first = static_cast<Byte*>(mapped.Map(0, 65536, 65536));
  auto* whole = static_cast<Byte*>(mapped.Map(0, 0, 3 * 65536));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(whole, nullptr);
  std::memcpy(first + 10, "mapped", 6);
  EXPECT_EQ(std::memcmp(whole + 65536 + 10, "mapped", 6), 0);
  EXPECT_EQ(mapped.GetViewCount(), 2);
  mapped.UnMap(first);
  EXPECT_EQ(mapped.GetViewCount(), 1);
  mapped.UnMapAll();
  EXPECT_EQ(mapped.GetViewCount(), 0);
  // The bytes are in the file.
  auto* again = static_cast<Byte*>(mapped.Map(0, 65536, 16));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(std::memcmp(again + 10, "mapped", 6), 0);
}

TEST_F(MemoryMapped, RefusedViewsAreNullAndStillListed) {
  TIEMemoryMapped mapped;
  ASSERT_TRUE(mapped.AllocateFile(dir_.Path() + "views.tmp", 4 * 65536, 0));
  struct Case {
    DWORD offsetHigh, offsetLow, size;
    bool granted;
  };
  const Case cases[] = {
      {0, 0, 4 * 65536, true},      {0, 3 * 65536, 65536, true}, {0, 3 * 65536, 65537, false},
      {0, 4096, 100, false},         {0, 0, 0, false},            {0, 4 * 65536, 1, false},
      {1, 0, 16, false},             {0, 0xFFFF0000u, 0x20000u, false},
  };
  Integer listed = 0;
  for (const Case& c : cases) {
    void* view = mapped.Map(c.offsetHigh, c.offsetLow, c.size);
    EXPECT_EQ(view != nullptr, c.granted) << c.offsetHigh << ":" << c.offsetLow << " " << c.size;
    EXPECT_EQ(mapped.GetViewCount(), ++listed);
  }
  mapped.UnMap(nullptr);  // a listed null goes like any view
  EXPECT_EQ(mapped.GetViewCount(), listed - 1);
  int local = 0;
  EXPECT_THROW(mapped.UnMap(&local), EListError);
  mapped.UnMapAll();
  EXPECT_EQ(mapped.GetViewCount(), 0);
}

// Cutting a file under a live view makes reads through the view fault: resizing
// unmaps every view first.
TEST_F(MemoryMapped, ResizingUnmapsEveryView) {
  TIEMemoryMapped mapped;
  ASSERT_TRUE(mapped.AllocateFile(dir_.Path() + "resize.tmp", 4 * 65536, 0));
  ASSERT_NE(mapped.Map(0, 3 * 65536, 65536), nullptr);
  ASSERT_NE(mapped.Map(0, 0, 65536), nullptr);
  ASSERT_TRUE(mapped.ReAllocateFile(65536, 0));
  EXPECT_EQ(mapped.GetViewCount(), 0);
  EXPECT_EQ(mapped.GetSize(), 65536u);
  EXPECT_EQ(_getfilesize(mapped.GetFileName()), 65536);
  EXPECT_EQ(mapped.Map(0, 65536, 16), nullptr) << "beyond the new end";
  EXPECT_NE(mapped.Map(0, 0, 65536), nullptr);

  TIEMemoryMapped unallocated;
  EXPECT_FALSE(unallocated.ReAllocateFile(100, 0));
}

TEST_F(MemoryMapped, CopyToCopiesTheRangeInSteps) {
  TIEMemoryMapped source;
  TIEMemoryMapped dest;
  ASSERT_TRUE(source.AllocateFile(dir_.Path() + "src.tmp", 3 * MB, 0));
  ASSERT_TRUE(dest.AllocateFile(dir_.Path() + "dst.tmp", 3 * MB, 0));
  auto* bytes = static_cast<Byte*>(source.Map(0, 0, 3 * MB));
  ASSERT_NE(bytes, nullptr);
  for (UInt64 i = 0; i < 3 * MB; ++i) bytes[i] = Pattern(i);
  source.UnMapAll();

  // 2.5 MB from an offset that is no multiple of the granularity: three steps.
  const DWORD offset = 100001;
  const DWORD size = 5 * MB / 2;
  ASSERT_TRUE(source.CopyTo(&dest, 0, offset, size));
  EXPECT_EQ(source.GetViewCount(), 0);
  EXPECT_EQ(dest.GetViewCount(), 0);
  auto* copied = static_cast<const Byte*>(dest.Map(0, 0, 3 * MB));
  ASSERT_NE(copied, nullptr);
  for (UInt64 i = 0; i < 3 * MB; ++i) {
    const bool inside = i >= offset && i < UInt64{offset} + size;
    ASSERT_EQ(copied[i], inside ? Pattern(i) : 0) << i;
  }

  // Nothing for a size of 0; refusals for ranges past either end.
  EXPECT_TRUE(source.CopyTo(&dest, 0, 0, 0));
  EXPECT_FALSE(source.CopyTo(&dest, 0, 2 * MB, 2 * MB));
  EXPECT_FALSE(source.CopyTo(nullptr, 0, 0, 1));
  TIEMemoryMapped small;
  ASSERT_TRUE(small.AllocateFile(dir_.Path() + "small.tmp", MB, 0));
  EXPECT_FALSE(source.CopyTo(&small, 0, 0, 2 * MB));
}

// A copy that crosses 4 GiB must carry into the offset's high half, or the second
// step lands at the start of the files.
TEST_F(MemoryMapped, CopyToCarriesAcrossFourGigabytes) {
  struct statvfs fs {};
  ASSERT_EQ(statvfs(dir_.Path().c_str(), &fs), 0);
  const UInt64 fileSize = 0x100000000ull + MB;
  if (static_cast<UInt64>(fs.f_bavail) * fs.f_frsize < 2 * fileSize + 4 * 0x100000000ull)
    GTEST_SKIP() << "needs room for two files of 4 GiB in " << dir_.Path();

  TIEMemoryMapped source;
  TIEMemoryMapped dest;
  ASSERT_TRUE(source.AllocateFile(dir_.Path() + "big-src.tmp", MB, 1));
  ASSERT_TRUE(dest.AllocateFile(dir_.Path() + "big-dst.tmp", MB, 1));
  const DWORD start = 0xFFF00000u;  // 1 MB below 4 GiB
  auto* bytes = static_cast<Byte*>(source.Map(0, start, 2 * MB));
  ASSERT_NE(bytes, nullptr);
  for (UInt64 i = 0; i < 2 * MB; ++i) bytes[i] = static_cast<Byte>(Pattern(i) | 1);
  source.UnMapAll();

  ASSERT_TRUE(source.CopyTo(&dest, 0, start, 2 * MB));
  auto* above = static_cast<const Byte*>(dest.Map(1, 0, MB));
  auto* bottom = static_cast<const Byte*>(dest.Map(0, 0, MB));
  ASSERT_NE(above, nullptr);
  ASSERT_NE(bottom, nullptr);
  for (UInt64 i = 0; i < MB; ++i) {
    ASSERT_EQ(above[i], static_cast<Byte>(Pattern(MB + i) | 1)) << i;
    ASSERT_EQ(bottom[i], 0) << i;
  }
}

TEST_F(MemoryMapped, ForceDirectoriesMakesEveryMissingLevel) {
  const std::string upper = dir_.Path() + "a";
  const std::string lower = upper + "/b";
  IEForceDirectories(lower + "/");
  EXPECT_TRUE(IEDirectoryExists(upper));
  EXPECT_TRUE(IEDirectoryExists(lower));
  IEForceDirectories(lower);  // existing: nothing to do
  EXPECT_FALSE(IEDirectoryExists(lower + "/c"));
  EXPECT_FALSE(IEDirectoryExists(""));
  try {
    IEForceDirectories("");
    FAIL() << "an empty name raises";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot Create Directory");
  }
}

TEST(MemoryMapped64, HelpersOnHalves) {
  DWORD low = 9, high = 9;
  IEMul64(65536, 65536, low, high);
  EXPECT_EQ(low, 0u);
  EXPECT_EQ(high, 1u);
  IEMul64(0xFFFFFFFFu, 0xFFFFFFFFu, low, high);
  EXPECT_EQ(low, 1u);
  EXPECT_EQ(high, 0xFFFFFFFEu);

  EXPECT_FALSE(IEAdd64(0xFFFFFFFFu, 0, 1, 0, low, high));
  EXPECT_EQ(low, 0u);
  EXPECT_EQ(high, 1u);
  EXPECT_TRUE(IEAdd64(0xFFFFFFFFu, 0xFFFFFFFFu, 1, 0, low, high));
  EXPECT_EQ(low, 0u);
  EXPECT_EQ(high, 0u);

  struct Case {
    DWORD aLow, aHigh, bLow, bHigh;
    bool greater;
  };
  const Case cases[] = {{5, 1, 7, 0, true},  {5, 1, 5, 1, false}, {7, 0, 5, 1, false},
                        {6, 1, 5, 1, true},  {0, 0, 0, 0, false}, {0xFFFFFFFFu, 0, 0, 1, false}};
  for (const Case& c : cases)
    EXPECT_EQ(IEGreater64(c.aLow, c.aHigh, c.bLow, c.bHigh), c.greater)
        << c.aLow << "," << c.aHigh << " > " << c.bLow << "," << c.bHigh;

  EXPECT_GT(IEGetFreeMemory(), 0u);
}

}  // namespace
