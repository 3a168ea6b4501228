#include "platform/rtl/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/Faults.h"
#include "platform/sim/Program.h"
#include "platform/win/WinTypes.h"
#include "tests/support/Peers.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Names in a folder, sorted.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Files : public ::testing::Test {
 protected:
  void TearDown() override { sim::ClearFaults(); }
  std::string At(const std::string& name) const { return dir_.Path() + name; }

  larktest::TempDir dir_;
};

TEST_F(Files, PathPartsFollowTheFrameworksRules) {
  struct Case {
    const char* name;
    const char* path;
    const char* file;
    const char* dir;
    const char* ext;
    const char* changed;  // ChangeFileExt(name, ".x")
  };
  const Case cases[] = {
      {"/usr/lib/file.txt", "/usr/lib/", "file.txt", "/usr/lib", ".txt", "/usr/lib/file.x"},
      {"c:\\dir\\file.txt", "c:\\dir\\", "file.txt", "c:\\dir", ".txt", "c:\\dir\\file.x"},
      {"a.tar.gz", "", "a.tar.gz", "", ".gz", "a.tar.x"},
      {"file.", "", "file.", "", ".", "file.x"},
      {".hidden", "", ".hidden", "", ".hidden", ".x"},
      {"/home/u/.hidden", "/home/u/", ".hidden", "/home/u", ".hidden", "/home/u/.x"},
      {"noext", "", "noext", "", "", "noext.x"},
      {"/a/noext", "/a/", "noext", "/a", "", "/a/noext.x"},
      // '/' does not end the search for the extension; '\' and ':' do.
      {"a.b/c", "a.b/", "c", "a.b", ".b/c", "a.x"},
      {"/dir.d/file", "/dir.d/", "file", "/dir.d", ".d/file", "/dir.x"},
      {"/dir.d/file.txt", "/dir.d/", "file.txt", "/dir.d", ".txt", "/dir.d/file.x"},
      {"dir.d\\file", "dir.d\\", "file", "dir.d", "", "dir.d\\file.x"},
      {"x.y:file", "x.y:", "file", "x.y:", "", "x.y:file.x"},
      {"c:file", "c:", "file", "c:", "", "c:file.x"},
      {"/", "/", "", "/", "", "/.x"},
      {"/a", "/", "a", "/", "", "/a.x"},
      {"a/", "a/", "", "a", "", "a/.x"},
      {"a//b", "a//", "b", "a//", "", "a//b.x"},
      {"c:\\", "c:\\", "", "c:\\", "", "c:\\.x"},
      {"", "", "", "", "", ".x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExtractFilePath(c.name), c.path);
    EXPECT_EQ(ExtractFileName(c.name), c.file);
    EXPECT_EQ(ExtractFileDir(c.name), c.dir);
    EXPECT_EQ(ExtractFileExt(c.name), c.ext);
    EXPECT_EQ(ChangeFileExt(c.name, ".x"), c.changed);
  }
  EXPECT_EQ(ChangeFileExt("/a/b.txt", ""), "/a/b");
}

TEST_F(Files, TrailingDelimiterIsAddedOrRemovedOnce) {
  struct Case {
    const char* path;
    const char* included;
    const char* excluded;
  };
  for (const Case& c : {Case{"", "/", ""}, Case{"/", "/", ""}, Case{"/a", "/a/", "/a"},
                        Case{"/a/", "/a/", "/a"}, Case{"a//", "a//", "a/"}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IncludeTrailingPathDelimiter(c.path), c.included);
    EXPECT_EQ(ExcludeTrailingPathDelimiter(c.path), c.excluded);
  }
}

TEST_F(Files, FileExistsIsTrueForFilesOnly) {
  WriteFile(At("f"), "x");
  ASSERT_TRUE(CreateDir(At("d")));
  EXPECT_TRUE(FileExists(At("f")));
  EXPECT_FALSE(FileExists(At("d")));
  EXPECT_FALSE(FileExists(At("missing")));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(DirectoryExists(At("d")));
  EXPECT_TRUE(DirectoryExists(At("d/")));
  EXPECT_FALSE(DirectoryExists(At("f")));
  EXPECT_FALSE(DirectoryExists(At("missing")));
}

TEST_F(Files, RenameFileNeverReplacesAnExistingTarget) {
  WriteFile(At("old"), "old bytes");
  WriteFile(At("taken"), "target bytes");
  EXPECT_FALSE(RenameFile(At("old"), At("taken")));
  EXPECT_EQ(ReadFile(At("taken")), "target bytes");
  EXPECT_EQ(ReadFile(At("old")), "old bytes");

  EXPECT_TRUE(RenameFile(At("old"), At("free")));
  EXPECT_FALSE(FileExists(At("old")));
  EXPECT_EQ(ReadFile(At("free")), "old bytes");

  EXPECT_FALSE(RenameFile(At("missing"), At("other")));
  EXPECT_FALSE(FileExists(At("other")));
}

TEST_F(Files, RenameFileMovesFoldersToFreeNamesOnly) {
  ASSERT_TRUE(ForceDirectories(At("a/inner")));
  ASSERT_TRUE(CreateDir(At("b")));
  EXPECT_FALSE(RenameFile(At("a"), At("b")));
  EXPECT_TRUE(DirectoryExists(At("a/inner")));
  EXPECT_TRUE(RenameFile(At("a"), At("c")));
  EXPECT_TRUE(DirectoryExists(At("c/inner")));
}

TEST_F(Files, FailedRenameOrDeleteLeavesTheFile) {
  WriteFile(At("f"), "bytes");
  sim::FailNext(sim::Fault::FileRename);
  EXPECT_FALSE(RenameFile(At("f"), At("g")));
  EXPECT_EQ(ReadFile(At("f")), "bytes");
  EXPECT_FALSE(FileExists(At("g")));

  sim::FailNext(sim::Fault::FileDelete);
  EXPECT_FALSE(DeleteFile(At("f")));
  EXPECT_TRUE(FileExists(At("f")));
  EXPECT_TRUE(DeleteFile(At("f")));
  EXPECT_FALSE(FileExists(At("f")));
  EXPECT_FALSE(DeleteFile(At("f")));
}

// Bigger than one copy buffer, with every byte value.
std::string SampleBytes() {
  std::string bytes;
  for (int i = 0; i < 200 * 1024; ++i) bytes += static_cast<char>((i * 31 + i / 256) & 0xFF);
  return bytes;
}

TEST_F(Files, CopyFileCopiesBytesAndPermissions) {
  const std::string bytes = SampleBytes();
  WriteFile(At("src"), bytes);
  ASSERT_EQ(chmod(At("src").c_str(), 0750), 0);
  EXPECT_EQ(CopyFile(At("src").c_str(), At("dst").c_str(), 1), 1);
  EXPECT_EQ(ReadFile(At("dst")), bytes);
  struct stat st;
  ASSERT_EQ(stat(At("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
  EXPECT_EQ(Listing(dir_.Path()), (std::vector<std::string>{"dst", "src"}));
}

TEST_F(Files, CopyFileFailIfExistsKeepsTheTarget) {
  WriteFile(At("src"), "new");
  WriteFile(At("dst"), "old");
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(CopyFile(At("src").c_str(), At("dst").c_str(), 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadFile(At("dst")), "old");

  EXPECT_EQ(CopyFile(At("src").c_str(), At("dst").c_str(), 0), 1);
  EXPECT_EQ(ReadFile(At("dst")), "new");
  EXPECT_EQ(Listing(dir_.Path()), (std::vector<std::string>{"dst", "src"}));
}

TEST_F(Files, CopyFileFailuresLeaveNoPartialFile) {
  const std::string bytes = SampleBytes();
  WriteFile(At("src"), bytes);
  struct Case {
    const char* what;
    sim::Fault fault;
    int skip;
  };
  for (const Case& c : {Case{"create", sim::Fault::FileCreate, 0}, Case{"second write", sim::Fault::FileWrite, 1},
                        Case{"rename", sim::Fault::FileRename, 0}}) {
    SCOPED_TRACE(c.what);
    for (const bool targetExists : {false, true}) {
      if (targetExists) WriteFile(At("dst"), "old");
      sim::FailNext(c.fault, c.skip);
      EXPECT_EQ(CopyFile(At("src").c_str(), At("dst").c_str(), 0), 0);
      if (targetExists) {
        EXPECT_EQ(ReadFile(At("dst")), "old");
        EXPECT_EQ(Listing(dir_.Path()), (std::vector<std::string>{"dst", "src"}));
        std::filesystem::remove(At("dst"));
      } else {
        EXPECT_EQ(Listing(dir_.Path()), (std::vector<std::string>{"src"}));
      }
      sim::ClearFaults();
    }
  }
}

TEST_F(Files, CopyFileFailsForAMissingSourceOrTargetFolder) {
  ASSERT_TRUE(CreateDir(At("folder")));
  EXPECT_EQ(CopyFile(At("missing").c_str(), At("dst").c_str(), 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CopyFile(At("folder").c_str(), At("dst").c_str(), 0), 0);
  EXPECT_EQ(CopyFile(At("folder").c_str(), nullptr, 0), 0);
  WriteFile(At("src"), "x");
  EXPECT_EQ(CopyFile(At("src").c_str(), At("nofolder/dst").c_str(), 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(FileExists(At("dst")));
}

TEST_F(Files, ForceDirectoriesCreatesEveryMissingLevel) {
  EXPECT_TRUE(ForceDirectories(At("a/b/c/")));
  EXPECT_TRUE(DirectoryExists(At("a/b/c")));
  EXPECT_TRUE(ForceDirectories(At("a/b/c")));  // already there
  EXPECT_TRUE(ForceDirectories(At("a/x:y")));  // ':' is part of a name here
  EXPECT_TRUE(DirectoryExists(At("a/x:y")));

  WriteFile(At("file"), "x");
  EXPECT_FALSE(ForceDirectories(At("file/sub")));
  EXPECT_FALSE(ForceDirectories(""));

  EXPECT_FALSE(CreateDir(At("a")));  // exists
  EXPECT_FALSE(RemoveDir(At("a")));  // not empty
  EXPECT_TRUE(RemoveDir(At("a/b/c")));
  EXPECT_FALSE(DirectoryExists(At("a/b/c")));
}

TEST_F(Files, ProgramPathIsTheRunningExecutableUnlessATestMovesIt) {
  const std::string exe = std::filesystem::canonical("/proc/self/exe").string();
  EXPECT_EQ(ProgramFileName(), exe);
  EXPECT_EQ(ParamStr0(), exe);
  EXPECT_EQ(ProgramFolder(), exe.substr(0, exe.rfind('/') + 1));

  sim::SetProgramPath("/opt/lark/larkspool");
  EXPECT_EQ(ParamStr0(), "/opt/lark/larkspool");
  EXPECT_EQ(ProgramFolder(), "/opt/lark/");
  sim::SetProgramPath("");
  EXPECT_EQ(ProgramFileName(), exe);
}

TEST_F(Files, GetCurrentDirIsTheWorkingFolder) {
  EXPECT_EQ(GetCurrentDir(), std::filesystem::current_path().string());
}

}  // namespace
