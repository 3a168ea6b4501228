#include "platform/win/TempFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "platform/sim/Faults.h"
#include "tests/support/Peers.h"

namespace {

// Sets or clears an environment variable for one test and puts it back after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class TempFiles : public ::testing::Test {
 protected:
  void TearDown() override { sim::ClearFaults(); }
  larktest::TempDir dir_;
};

TEST_F(TempFiles, GetTempPathComesFromTmpdirWithATrailingDelimiter) {
  struct Case {
    const char* tmpdir;
    const char* expected;
  };
  for (const Case& c : {Case{"/var/tmp/lark", "/var/tmp/lark/"}, Case{"/var/tmp/lark/", "/var/tmp/lark/"},
                        Case{"", "/tmp/"}, Case{nullptr, "/tmp/"}}) {
    SCOPED_TRACE(c.tmpdir ? c.tmpdir : "(unset)");
    ScopedEnv env("TMPDIR", c.tmpdir);
    EXPECT_EQ(GetTempPathStr(), c.expected);
    char buffer[MAX_PATH];
    const DWORD length = static_cast<DWORD>(std::strlen(c.expected));
    EXPECT_EQ(GetTempPath(sizeof buffer, buffer), length);
    EXPECT_STREQ(buffer, c.expected);
  }
}

TEST_F(TempFiles, GetTempPathAsksForMoreRoomWithoutTouchingTheBuffer) {
  ScopedEnv env("TMPDIR", "/var/tmp/lark");  // 14 characters with the '/'
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetTempPath(14, buffer), 15u);  // no room for the terminator
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(GetTempPath(0, nullptr), 15u);
  EXPECT_EQ(GetTempPath(15, buffer), 14u);
  EXPECT_STREQ(buffer, "/var/tmp/lark/");
}

TEST_F(TempFiles, GetTempFileNameWithAUniqueNumberOnlyFormsTheName) {
  struct Case {
    const char* path;
    const char* prefix;
    UINT unique;
    const char* expected;
  };
  for (const Case& c : {Case{"/data", "lark", 0x1A2B, "/data/lar1A2B.tmp"},
                        Case{"/data/", "x", 0xF, "/data/xF.tmp"},
                        Case{"/data", "", 0x12345, "/data/2345.tmp"},
                        Case{"/data", nullptr, 0x10, "/data/10.tmp"}}) {
    SCOPED_TRACE(c.expected);
    char name[MAX_PATH] = {};
    EXPECT_EQ(GetTempFileName(c.path, c.prefix, c.unique, name), c.unique);
    EXPECT_STREQ(name, c.expected);
  }
  char name[MAX_PATH] = {};
  EXPECT_EQ(GetTempFileName(dir_.Path().c_str(), "abc", 7, name), 7u);
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST_F(TempFiles, GetTempFileNameMakesANewEmptyFileEachTime) {
  const std::regex pattern(dir_.Path() + "lrk([0-9A-F]{1,4})\\.tmp");
  std::set<std::string> names;
  for (int i = 0; i < 300; ++i) {
    char name[MAX_PATH] = {};
    const UINT number = GetTempFileName(dir_.Path().c_str(), "lrkspool", 0, name);
    ASSERT_NE(number, 0u);
    std::cmatch match;
    ASSERT_TRUE(std::regex_match(name, match, pattern)) << name;
    EXPECT_EQ(std::stoul(match[1].str(), nullptr, 16), number);
    EXPECT_TRUE(names.insert(name).second) << "repeated " << name;
    EXPECT_EQ(std::filesystem::file_size(name), 0u);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 300);
}

TEST_F(TempFiles, GetTempFileNameSkipsNamesThatAreTaken) {
  // Take the names right after the last one chosen; none of them may be reused.
  char name[MAX_PATH] = {};
  const UINT last = GetTempFileName(dir_.Path().c_str(), "tk", 0, name);
  ASSERT_NE(last, 0u);
  std::set<std::string> taken = {name};
  for (UINT n = last + 1; n <= last + 50; ++n) {
    char other[MAX_PATH] = {};
    GetTempFileName(dir_.Path().c_str(), "tk", n, other);
    std::ofstream(other) << "taken";
    taken.insert(other);
  }
  const UINT number = GetTempFileName(dir_.Path().c_str(), "tk", 0, name);
  ASSERT_NE(number, 0u);
  EXPECT_EQ(taken.count(name), 0u) << name;
  int untouched = 0;
  for (const std::string& t : taken) {
    std::ifstream in(t);
    std::stringstream s;
    s << in.rdbuf();
    if (s.str() == "taken") ++untouched;
  }
  EXPECT_EQ(untouched, 50);
}

TEST_F(TempFiles, GetTempFileNameFailsWhereNoFileCanBeMade) {
  char name[MAX_PATH] = {};
  EXPECT_EQ(GetTempFileName((dir_.Path() + "missing").c_str(), "abc", 0, name), 0u);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  sim::FailNext(sim::Fault::FileCreate);
  EXPECT_EQ(GetTempFileName(dir_.Path().c_str(), "abc", 0, name), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));

  const std::string tooLong(MAX_PATH, 'x');
  EXPECT_EQ(GetTempFileName(tooLong.c_str(), "abc", 1, name), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
