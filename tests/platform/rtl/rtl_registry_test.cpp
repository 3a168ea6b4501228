#include "platform/rtl/Registry.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"
#include "platform/sim/Faults.h"
#include "platform/sim/Registry.h"
#include "tests/support/Peers.h"
#include "tests/support/Sweep.h"

namespace {

using Strings = std::vector<std::string>;

Strings Items(const TStrings& list) {
  Strings items;
  for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.Strings(i));
  return items;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

Strings FolderEntries(const std::string& dir) {
  Strings names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

template <class F>
std::string RaisedMessage(F&& f) {
  try {
    f();
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

TEST(Registry, KeysAreFoundByAbsoluteAndRelativePathsWithoutRegardToCase) {
  TRegistry reg;
  EXPECT_EQ(reg.GetRootKey(), HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.KeyExists("\\Software\\Larkspool"));
  EXPECT_FALSE(reg.OpenKey("\\Software\\Larkspool", false));
  ASSERT_TRUE(reg.OpenKey("\\Software\\Larkspool", true));
  EXPECT_NE(reg.GetCurrentKey(), 0u);
  EXPECT_EQ(reg.GetCurrentPath(), "Software\\Larkspool");
  // Relative to the open key.
  ASSERT_TRUE(reg.OpenKey("Feeds\\", true));
  EXPECT_EQ(reg.GetCurrentPath(), "Software\\Larkspool\\Feeds");
  EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\larkspool\\FEEDS"));
  EXPECT_TRUE(reg.KeyExists(""));  // the open key itself
  reg.CloseKey();
  EXPECT_EQ(reg.GetCurrentKey(), 0u);
  EXPECT_EQ(reg.GetCurrentPath(), "");
  // Without an open key a relative path starts at the root.
  EXPECT_TRUE(reg.KeyExists("software\\LARKSPOOL"));

  for (const char* bad : {"\\a\\\\b", "a\\\\", "\\\\"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(reg.OpenKey(bad, true));
    EXPECT_FALSE(reg.KeyExists(bad));
  }
  EXPECT_FALSE(reg.OpenKey(std::string(256, 'k'), true));
  EXPECT_TRUE(reg.OpenKey(std::string(255, 'k'), true));

  // Each root is a tree of its own; changing the root closes the key.
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg.GetCurrentKey(), 0u);
  EXPECT_FALSE(reg.KeyExists("\\Software\\Larkspool"));
  EXPECT_THROW(reg.SetRootKey(0x80000003u), ERegistryException);

  EXPECT_TRUE(reg.CreateKey("\\A\\B\\C"));
  EXPECT_TRUE(reg.CreateKey("\\a\\b"));  // exists: still a success
  ASSERT_TRUE(reg.OpenKey("\\A", false));
  EXPECT_TRUE(reg.HasSubKeys());
  reg.CreateKey("zeta");
  reg.CreateKey("Alpha");
  TStringList names;
  reg.GetKeyNames(&names);
  EXPECT_EQ(Items(names), (Strings{"Alpha", "B", "zeta"}));
  EXPECT_TRUE(reg.DeleteKey("B"));  // with everything below it
  EXPECT_FALSE(reg.KeyExists("\\A\\B\\C"));
  EXPECT_FALSE(reg.DeleteKey("B"));
  EXPECT_FALSE(reg.DeleteKey("\\"));
}

TEST(Registry, ValuesKeepTheirTypes) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Values", true));
  reg.WriteString("Text", "caf\xE9");
  reg.WriteExpandString("Path", "%HOME%\\x");
  reg.WriteInteger("Count", -5);
  reg.WriteBool("Flag", true);
  reg.WriteFloat("Ratio", 1.25);
  reg.WriteDateTime("When", 36526.5);
  const unsigned char bytes[] = {3, 0, 0, 0};
  reg.WriteBinaryData("IEFontSize", bytes, 4);
  reg.WriteBinaryData("Nothing", nullptr, 0);

  struct Row {
    const char* name;
    TRegDataType type;
    Integer size;
  };
  const Row rows[] = {
      {"text", rdString, 5},     {"PATH", rdExpandString, 9}, {"Count", rdInteger, 4},
      {"Flag", rdInteger, 4},    {"Ratio", rdBinary, 8},      {"When", rdBinary, 8},
      {"IEFontSize", rdBinary, 4}, {"Nothing", rdBinary, 0},  {"Missing", rdUnknown, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(reg.GetDataType(r.name), r.type);
    EXPECT_EQ(reg.GetDataSize(r.name), r.size);
    EXPECT_EQ(reg.ValueExists(r.name), r.size >= 0);
  }
  EXPECT_EQ(reg.ReadString("TEXT"), "caf\xE9");
  EXPECT_EQ(reg.ReadString("Path"), "%HOME%\\x");
  EXPECT_EQ(reg.ReadInteger("Count"), -5);
  EXPECT_TRUE(reg.ReadBool("Flag"));
  EXPECT_EQ(reg.ReadFloat("Ratio"), 1.25);
  EXPECT_EQ(reg.ReadDateTime("When"), 36526.5);
  unsigned char buffer[8] = {};
  EXPECT_EQ(reg.ReadBinaryData("IEFontSize", buffer, sizeof buffer), 4);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(reg.ReadBinaryData("Missing", buffer, sizeof buffer), 0);
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_EQ(reg.ReadString("Nothing"), "");

  // The framework's failures.
  EXPECT_EQ(RaisedMessage([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
  EXPECT_EQ(RaisedMessage([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
  EXPECT_EQ(RaisedMessage([&] { reg.ReadString("Count"); }), "Invalid data type for 'Count'");
  EXPECT_EQ(RaisedMessage([&] { reg.ReadFloat("IEFontSize"); }), "Invalid data type for 'IEFontSize'");
  EXPECT_EQ(RaisedMessage([&] { reg.ReadBinaryData("IEFontSize", buffer, 2); }), "Invalid data type for 'IEFontSize'");
  EXPECT_EQ(RaisedMessage([&] { reg.ReadBinaryData("Text", buffer, 8); }), "Invalid data type for 'Text'");

  // Rewriting a value may change its type; names keep their first spelling and order.
  reg.WriteString("count", "five");
  EXPECT_EQ(reg.GetDataType("Count"), rdString);
  TStringList names;
  reg.GetValueNames(&names);
  EXPECT_EQ(Items(names), (Strings{"Text", "Path", "Count", "Flag", "Ratio", "When", "IEFontSize", "Nothing"}));
  EXPECT_TRUE(reg.DeleteValue("PATH"));
  EXPECT_FALSE(reg.DeleteValue("Path"));
  EXPECT_FALSE(reg.ValueExists("Path"));

  reg.CloseKey();
  EXPECT_FALSE(reg.ValueExists("Text"));
  EXPECT_EQ(RaisedMessage([&] { reg.WriteString("Text", "x"); }), "Failed to set data for 'Text'");
  EXPECT_EQ(RaisedMessage([&] { reg.ReadInteger("Count"); }), "Failed to get data for 'Count'");
  reg.GetValueNames(&names);
  EXPECT_EQ(names.GetCount(), 0);
}

TEST(Registry, RenameValueKeepsDataAndRefusesAnExistingName) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  const AnsiString key = "\\Installer\\Features\\904000001E872D116BF00006799C897E";
  ASSERT_TRUE(reg.OpenKey(key, true));
  reg.WriteString("HTMLSourceEditing", "feature");
  reg.RenameValue("HTMLSourceEditing", "_HTMLSourceEditing");
  EXPECT_FALSE(reg.ValueExists("HTMLSourceEditing"));
  EXPECT_EQ(reg.ReadString("_HTMLSourceEditing"), "feature");
  EXPECT_EQ(reg.GetDataType("_HTMLSourceEditing"), rdString);
  reg.RenameValue("_htmlsourceediting", "_HTMLSourceEditing");  // spelling only
  reg.RenameValue("_HTMLSourceEditing", "HTMLSourceEditing");
  EXPECT_EQ(reg.ReadString("HTMLSourceEditing"), "feature");

  reg.WriteInteger("_HTMLSourceEditing", 1);
  EXPECT_EQ(RaisedMessage([&] { reg.RenameValue("HTMLSourceEditing", "_HTMLSourceEditing"); }),
            "Failed to set data for '_HTMLSourceEditing'");
  EXPECT_EQ(reg.ReadString("HTMLSourceEditing"), "feature");  // both untouched
  EXPECT_EQ(reg.ReadInteger("_HTMLSourceEditing"), 1);
  EXPECT_EQ(RaisedMessage([&] { reg.RenameValue("Absent", "Other"); }), "Failed to get data for 'Absent'");
  EXPECT_FALSE(reg.ValueExists("Other"));

  TRegistry readOnly;
  readOnly.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(readOnly.OpenKeyReadOnly(key));
  EXPECT_EQ(readOnly.ReadString("HTMLSourceEditing"), "feature");
  EXPECT_THROW(readOnly.RenameValue("HTMLSourceEditing", "x"), ERegistryException);
  EXPECT_THROW(readOnly.WriteString("y", "z"), ERegistryException);
  EXPECT_FALSE(readOnly.DeleteValue("HTMLSourceEditing"));
  EXPECT_FALSE(readOnly.OpenKeyReadOnly("\\Installer\\Absent"));
}

TEST(Registry, RefusedAccessActsAsThePlatformDoes) {
  {
    TRegistry setup;
    setup.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(setup.OpenKey("\\Installer\\Features\\P", true));
    setup.WriteString("HTMLSourceEditing", "");
  }
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);

  sim::DenyRegistryAccess(HKEY_CLASSES_ROOT, "installer", sim::RegistryDenial::All);
  EXPECT_FALSE(reg.KeyExists("\\Installer\\Features\\P"));
  EXPECT_FALSE(reg.OpenKey("\\Installer\\Features\\P", true));
  EXPECT_FALSE(reg.OpenKeyReadOnly("\\Installer"));
  EXPECT_EQ(RaisedMessage([&] { reg.CreateKey("\\Installer\\New"); }), "Failed to create key \\Installer\\New");
  EXPECT_FALSE(reg.DeleteKey("\\Installer\\Features"));
  EXPECT_TRUE(reg.OpenKey("\\Other", true));  // other keys stay open to us
  sim::AllowRegistryAccess();

  sim::DenyRegistryAccess(0, "Installer\\Features", sim::RegistryDenial::Write);
  EXPECT_TRUE(reg.KeyExists("\\Installer\\Features\\P"));
  EXPECT_FALSE(reg.OpenKey("\\Installer\\Features\\P", true));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Installer\\Features\\P"));
  EXPECT_TRUE(reg.ValueExists("HTMLSourceEditing"));
  EXPECT_THROW(reg.RenameValue("HTMLSourceEditing", "_HTMLSourceEditing"), ERegistryException);
  EXPECT_FALSE(reg.DeleteKey("\\Installer\\Features\\P"));
  EXPECT_TRUE(reg.OpenKey("\\Installer", true));  // above the refused keys
  sim::AllowRegistryAccess();
  EXPECT_TRUE(reg.OpenKey("\\Installer\\Features\\P", true));
  reg.RenameValue("HTMLSourceEditing", "_HTMLSourceEditing");

  // Every root.
  sim::DenyRegistryAccess(0, "");
  EXPECT_FALSE(reg.KeyExists("\\Installer"));
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.OpenKey("\\Software", true));
  sim::AllowRegistryAccess();
}

TEST(Registry, EveryObjectSharesOneTreeAcrossThreads) {
  constexpr int kThreads = 4;
  constexpr int kValues = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kValues; ++i) {
        TRegistry reg;
        if (!reg.OpenKey("\\Shared", true)) return;
        std::string name = "v";
        name += std::to_string(t);
        name += '_';
        name += std::to_string(i);
        reg.WriteInteger(name, t * 1000 + i);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Shared"));
  TStringList names;
  reg.GetValueNames(&names);
  EXPECT_EQ(names.GetCount(), kThreads * kValues);
  EXPECT_EQ(reg.ReadInteger("v3_49"), 3049);
}

class RegistryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ForceDirectories(dir_.Path() + "conf");
    sim::UseRegistryFile(File());
  }
  std::string File() const { return dir_.Path() + "conf/registry"; }
  // As a new process would: the tree in memory goes, the file is read again.
  void Restart() { sim::UseRegistryFile(File()); }
  larktest::TempDir dir_;
};

TEST_F(RegistryFile, EverythingComesBackFromTheFile) {
  const std::string oddName = std::string("a b%c\\d\x01\xFF=") + '\0' + "z";
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Internet Explorer\\International\\Scripts\\3", true));
    const unsigned char size[] = {4};
    reg.WriteBinaryData("IEFontSize", size, 1);
    reg.WriteString("", "default value");
    reg.WriteString(oddName, std::string("x\0y", 3));
    reg.WriteInteger("Int", 0x7FFFFFFF);
    reg.WriteExpandString("Exp", "");
    ASSERT_TRUE(reg.OpenKey("\\Empty Key", true));
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKey("\\Installer\\Features\\K", true));
    reg.WriteString("_HTMLSourceEditing", "");
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("", false));
    reg.WriteInteger("AtTheRoot", 1);
  }
  EXPECT_EQ(FolderEntries(dir_.Path() + "conf"), Strings{"registry"});  // no temporary file left
  Restart();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\software\\microsoft\\internet explorer\\international\\scripts\\3"));
  unsigned char size[4] = {};
  EXPECT_EQ(reg.ReadBinaryData("IEFontSize", size, 4), 1);
  EXPECT_EQ(size[0], 4);
  EXPECT_EQ(reg.ReadString(""), "default value");
  EXPECT_EQ(reg.GetDataSize(oddName), 4);
  EXPECT_EQ(reg.ReadString(oddName), "x");
  EXPECT_EQ(reg.ReadInteger("Int"), 0x7FFFFFFF);
  EXPECT_EQ(reg.GetDataType("Exp"), rdExpandString);
  TStringList names;
  reg.GetValueNames(&names);
  EXPECT_EQ(Items(names), (Strings{"IEFontSize", "", oddName, "Int", "Exp"}));
  EXPECT_TRUE(reg.KeyExists("\\Empty Key"));
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_TRUE(reg.OpenKeyReadOnly("\\Installer\\Features\\K"));
  EXPECT_TRUE(reg.ValueExists("_HTMLSourceEditing"));
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly(""));
  EXPECT_EQ(reg.ReadInteger("AtTheRoot"), 1);

  // A registry in memory alone starts empty and writes nothing.
  sim::UseMemoryRegistry();
  EXPECT_FALSE(reg.KeyExists("\\"  "Installer"));
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.KeyExists("\\Empty Key"));
  EXPECT_EQ(sim::RegistryFilePath(), "");
}

TEST_F(RegistryFile, LazyWritesReachTheFileWhenTheKeyCloses) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Lazy", true));
  reg.WriteInteger("A", 1);
  EXPECT_EQ(ReadFile(File()), "");  // not yet
  reg.CloseKey();
  EXPECT_NE(ReadFile(File()).find("Lazy"), std::string::npos);

  reg.SetLazyWrite(false);
  ASSERT_TRUE(reg.OpenKey("\\Eager", true));
  EXPECT_NE(ReadFile(File()).find("Eager"), std::string::npos);
  reg.WriteInteger("B", 2);
  const std::string afterWrite = ReadFile(File());
  Restart();
  TRegistry other;
  ASSERT_TRUE(other.OpenKeyReadOnly("\\Eager"));
  EXPECT_EQ(other.ReadInteger("B"), 2);
}

TEST_F(RegistryFile, AFailedWriteKeepsTheOldFileAndTheChanges) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Keep", true));
    reg.WriteString("Old", "1");
  }
  const std::string before = ReadFile(File());
  ASSERT_FALSE(before.empty());
  larktest::SweepFaults({sim::Fault::FileCreate, sim::Fault::FileWrite, sim::Fault::FileRename}, [&](int) {
    {
      TRegistry reg;
      EXPECT_TRUE(reg.OpenKey("\\Keep", false));
      reg.WriteString("New", "2");
    }  // the write of the file fails here
    const bool reached = larktest::FaultReached();
    if (reached) {
      EXPECT_EQ(ReadFile(File()), before);
      EXPECT_EQ(FolderEntries(dir_.Path() + "conf"), Strings{"registry"});
      // The change is still there, and the next write takes it along.
      TRegistry reg;
      EXPECT_TRUE(reg.OpenKey("\\Keep", false));
      EXPECT_EQ(reg.ReadString("New"), "2");
      reg.WriteString("Later", "3");
      reg.CloseKey();
      Restart();
      EXPECT_TRUE(reg.OpenKeyReadOnly("\\Keep"));
      EXPECT_EQ(reg.ReadString("New"), "2");
      // Back to the old file for the next round.
      WriteFile(File(), before);
      Restart();
    }
    return reached;
  });

  // Without lazy writing the caller learns of the failure at once.
  const std::string current = ReadFile(File());
  TRegistry reg;
  reg.SetLazyWrite(false);
  ASSERT_TRUE(reg.OpenKey("\\Keep", false));
  sim::FailNext(sim::Fault::FileWrite);
  EXPECT_THROW(reg.WriteString("Now", "4"), ERegistryException);
  EXPECT_EQ(ReadFile(File()), current);
}

TEST_F(RegistryFile, ADamagedFileIsSetAsideAndTheRegistryStartsEmpty) {
  const std::string good = "LARKSPOOL REGISTRY 1\nK HKCU :Software\nV 1 :Name :6100\n";
  std::string deep = "LARKSPOOL REGISTRY 1\nK HKCU :";
  for (int i = 0; i < 600; ++i) deep += (i ? "\\k" : "k");
  deep += "\n";
  struct Damage {
    const char* what;
    std::string content;
  };
  const Damage cases[] = {
      {"another format", "[Section]\nkey=value\n"},
      {"cut off", good.substr(0, good.size() - 3)},
      {"bad hex", "LARKSPOOL REGISTRY 1\nK HKCU :A\nV 1 :N :6g\n"},
      {"odd hex", "LARKSPOOL REGISTRY 1\nK HKCU :A\nV 1 :N :610\n"},
      {"unknown root", "LARKSPOOL REGISTRY 1\nK HKXX :A\n"},
      {"value before key", "LARKSPOOL REGISTRY 1\nV 1 :N :\n"},
      {"bad type", "LARKSPOOL REGISTRY 1\nK HKCU :A\nV -1 :N :\n"},
      {"empty key name", "LARKSPOOL REGISTRY 1\nK HKCU :A\\\\B\n"},
      {"bad escape", "LARKSPOOL REGISTRY 1\nK HKCU :A%4\n"},
      {"blank in a name", "LARKSPOOL REGISTRY 1\nK HKCU :A B\n"},
      {"too deep", deep},
      {"empty", ""},
      {"binary", std::string("\0\xFF\x01\n", 4)},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    ::testing::internal::CaptureStderr();
    WriteFile(File(), d.content);
    Restart();
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists("\\Software"));
    EXPECT_FALSE(sim::RegistryLoadProblem().empty());
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("is damaged"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(File() + ".damaged"), d.content);
    // The registry works on, and its next write makes a sound file.
    ASSERT_TRUE(reg.OpenKey("\\Software", true));
    reg.WriteString("Name", "a");
    reg.CloseKey();
    Restart();
    EXPECT_EQ(sim::RegistryLoadProblem(), "");
    EXPECT_TRUE(reg.OpenKeyReadOnly("\\Software"));
    EXPECT_EQ(reg.ReadString("Name"), "a");
  }
  WriteFile(File(), good);
  Restart();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software"));
  EXPECT_EQ(reg.ReadString("Name"), "a");
}

TEST(RegistryDefaultFile, LivesInTheUsersConfigurationFolder) {
  larktest::TempDir dir;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  sim::UseDefaultRegistryFile();
  EXPECT_EQ(sim::RegistryFilePath(), dir.Path() + "larkspool/registry");
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Larkspool", true));
  }
  EXPECT_EQ(FolderEntries(dir.Path() + "larkspool"), Strings{"registry"});
  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  sim::UseMemoryRegistry();
}

}  // namespace
