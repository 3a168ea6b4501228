#include "platform/rtl/IniFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/sim/Faults.h"
#include "tests/support/Sweep.h"
#include "tests/support/Peers.h"

namespace {

using Strings = std::vector<std::string>;
using Entry = std::tuple<std::string, std::string, std::string>;  // section, key, value

const char* const Python = "/usr/bin/python3";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

Strings Items(const TStrings& list) {
  Strings items;
  for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.Strings(i));
  return items;
}

Strings FolderEntries(const std::string& dir) {
  Strings names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

class IniFile : public ::testing::Test {
 protected:
  void TearDown() override { sim::ClearFaults(); }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }

  // Every (section, key, value) of the file as Python's configparser reads it,
  // with the case of keys kept and no interpolation.
  std::vector<Entry> PythonRead(const std::string& iniPath) {
    const std::string script = Path("dump.py");
    WriteFile(script,
              "import configparser, sys\n"
              "p = configparser.ConfigParser(interpolation=None)\n"
              "p.optionxform = str\n"
              "with open(sys.argv[1], encoding='cp1252') as f:\n"
              "    p.read_file(f)\n"
              "for s in p.sections():\n"
              "    for k, v in p.items(s, raw=True):\n"
              "        print('|'.join(x.encode('cp1252').hex() for x in (s, k, v)))\n");
    std::string program = larktest::RequireProgram(Python);
    if (program.empty()) return {};
    int exitCode = -1;
    std::string out = larktest::RunCommand({program, script, iniPath}, &exitCode);
    EXPECT_EQ(exitCode, 0) << out;
    std::vector<Entry> entries;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
      size_t a = line.find('|');
      size_t b = line.find('|', a + 1);
      entries.emplace_back(Unhex(line.substr(0, a)), Unhex(line.substr(a + 1, b - a - 1)),
                           Unhex(line.substr(b + 1)));
    }
    return entries;
  }

  larktest::TempDir dir_;
};

const char* const ReadFixture =
    "key0=before any section\r\n"
    "[Main]\r\n"
    "  Spaced Key   =   spaced value   \r\n"
    "Quoted=\"  keep inner  \"\r\n"
    "Single='x'\r\n"
    "Mismatch=\"x'\r\n"
    "Lone=\"\n"
    "Empty=\r\n"
    "NoEquals\r\n"
    ";Commented=1\r\n"
    "Dup=first\r\n"
    "Dup=second\r\n"
    "Eq=a=b\r\n"
    "Latin=\xC9t\xE9\r\n"
    "[ Padded ]\n"
    "k=v";

TEST_F(IniFile, ReadsTrimmedUnquotedValuesWithoutRegardToCase) {
  WriteFile(Path("read.ini"), ReadFixture);
  TIniFile ini(Path("read.ini"));
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"main", "spaced key", "spaced value"},
      {"MAIN", "Quoted", "  keep inner  "},
      {"Main", "Single", "x"},
      {"Main", "Mismatch", "\"x'"},
      {"Main", "Lone", "\""},
      {"Main", "Empty", ""},
      {"Main", "NoEquals", "DEF"},
      {"Main", ";Commented", "DEF"},
      {"Main", "Dup", "first"},
      {"Main", "Eq", "a=b"},
      {"Main", "LATIN", "\xC9t\xE9"},
      {"padded", "K", "v"},
      {"", "key0", "DEF"},  // lines before the first section belong to none
      {"Missing", "k", "DEF"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadString(c.section, c.key, "DEF"), c.expected) << c.section << "/" << c.key;

  TStringList list;
  ini.ReadSections(&list);
  EXPECT_EQ(Items(list), (Strings{"Main", "Padded"}));
  ini.ReadSection("MAIN", &list);
  EXPECT_EQ(Items(list), (Strings{"Spaced Key", "Quoted", "Single", "Mismatch", "Lone", "Empty",
                                  "Dup", "Eq", "Latin"}));
  ini.ReadSectionValues("Padded", &list);
  EXPECT_EQ(Items(list), (Strings{"k=v"}));
  ini.ReadSectionValues("Main", &list);
  EXPECT_EQ(list.Strings(0), "Spaced Key=spaced value");
  EXPECT_EQ(list.Values("dup"), "first");
  ini.ReadSection("Missing", &list);
  EXPECT_EQ(list.GetCount(), 0);

  EXPECT_TRUE(ini.SectionExists("padded"));
  EXPECT_FALSE(ini.SectionExists("Spaced Key"));
  EXPECT_TRUE(ini.ValueExists("main", "EMPTY"));
  EXPECT_FALSE(ini.ValueExists("main", "NoEquals"));
  EXPECT_FALSE(ini.ValueExists("Missing", "k"));
}

TEST_F(IniFile, IntegersUseTheStrictConversionAndBoolsAreNonZero) {
  WriteFile(Path("n.ini"),
            "[N]\r\nA=42\r\nB= 42 \r\nC=$1F\r\nD=0x1f\r\nE=-5\r\nF=12abc\r\nG=\r\n"
            "H=99999999999\r\nI=\"7\"\r\nJ=4 2\r\nZero=0\r\nYes=yes\r\n");
  TIniFile ini(Path("n.ini"));
  struct Case {
    const char* key;
    Integer expected;
  } cases[] = {{"A", 42}, {"B", 42}, {"C", 31}, {"D", 31}, {"E", -5},  {"F", 9},
               {"G", 9},  {"H", 9},  {"I", 7},  {"J", 9}, {"Missing", 9}};
  for (const Case& c : cases) EXPECT_EQ(ini.ReadInteger("n", c.key, 9), c.expected) << c.key;
  EXPECT_TRUE(ini.ReadBool("N", "A", false));
  EXPECT_FALSE(ini.ReadBool("N", "Zero", true));
  EXPECT_TRUE(ini.ReadBool("N", "Yes", true));
  EXPECT_FALSE(ini.ReadBool("N", "Yes", false));

  ini.WriteInteger("N", "A", -2147483647 - 1);
  ini.WriteBool("N", "Zero", true);
  ini.WriteBool("N", "New", false);
  EXPECT_EQ(ini.ReadInteger("N", "A", 0), -2147483647 - 1);
  EXPECT_EQ(ini.ReadString("N", "Zero", ""), "1");
  EXPECT_EQ(ini.ReadString("N", "New", ""), "0");
}

TEST_F(IniFile, CreatesTheFileAndSectionOnFirstWrite) {
  TIniFile ini(Path("new.ini"));
  EXPECT_EQ(ini.GetFileName(), Path("new.ini"));
  // Reads and removals of a missing file create nothing.
  EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
  ini.EraseSection("S");
  ini.DeleteKey("S", "K");
  EXPECT_EQ(FolderEntries(dir_.Path()), Strings{});

  ini.WriteString("Subscriptions", "Feed0", "http://a/");
  EXPECT_EQ(ReadFile(Path("new.ini")), "[Subscriptions]\r\nFeed0=http://a/\r\n");
  ini.WriteString("Subscriptions", "Title0", "A");
  ini.WriteString("Other", "x", "1");
  EXPECT_EQ(ReadFile(Path("new.ini")),
            "[Subscriptions]\r\nFeed0=http://a/\r\nTitle0=A\r\n\r\n[Other]\r\nx=1\r\n");
  ini.UpdateFile();
}

const char* const RewriteFixture =
    "; Larkspool settings\r\n"
    "orphan line before sections\r\n"
    "\r\n"
    "[General]\r\n"
    "  Name =  Old Value  \r\n"
    "Other=1\r\n"
    "just text without equals\r\n"
    "; comment = not a key\r\n"
    "\r\n"
    "[Subscriptions]\n"
    "Feed0=http://a/\n"
    "Title0 = \xC9t\xE9\r\n"
    "[Empty]";

TEST_F(IniFile, RewriteChangesOnlyTheLineConcerned) {
  const std::string path = Path("settings.ini");
  const std::string original = RewriteFixture;
  struct Case {
    std::function<void(TIniFile&)> op;
    std::string from;  // the part of the original that changes
    std::string to;
  } cases[] = {
      // In place: the key's spelling and the spacing before the value stay.
      {[](TIniFile& ini) { ini.WriteString("general", "NAME", "New"); },
       "  Name =  Old Value  \r\n", "  Name =  New\r\n"},
      // An LF-only line keeps its line end.
      {[](TIniFile& ini) { ini.WriteString("Subscriptions", "feed0", "http://b/"); },
       "Feed0=http://a/\n", "Feed0=http://b/\n"},
      // A new key goes after the section's last line that is not blank.
      {[](TIniFile& ini) { ini.WriteString("General", "Added", "x"); },
       "; comment = not a key\r\n", "; comment = not a key\r\nAdded=x\r\n"},
      {[](TIniFile& ini) { ini.WriteString("Empty", "K", "v"); }, "[Empty]",
       "[Empty]\r\nK=v\r\n"},
      {[](TIniFile& ini) { ini.WriteString("New", "A", "b"); }, "[Empty]",
       "[Empty]\r\n\r\n[New]\r\nA=b\r\n"},
      {[](TIniFile& ini) { ini.DeleteKey("GENERAL", "other"); }, "Other=1\r\n", ""},
      {[](TIniFile& ini) { ini.EraseSection("subscriptions"); },
       "[Subscriptions]\nFeed0=http://a/\nTitle0 = \xC9t\xE9\r\n", ""},
      // Nothing to do: the file is not touched.
      {[](TIniFile& ini) { ini.DeleteKey("General", "Missing"); }, "", ""},
      {[](TIniFile& ini) { ini.EraseSection("Missing"); }, "", ""},
      {[](TIniFile& ini) { ini.WriteString("General", "Other", "1"); }, "", ""},
  };
  for (const Case& c : cases) {
    WriteFile(path, original);
    TIniFile ini(path);
    c.op(ini);
    std::string expected = original;
    if (!c.from.empty()) {
      size_t at = expected.find(c.from);
      ASSERT_NE(at, std::string::npos) << c.from;
      expected.replace(at, c.from.size(), c.to);
    }
    EXPECT_EQ(ReadFile(path), expected) << "change of " << c.from;
    EXPECT_EQ(FolderEntries(dir_.Path()), Strings{"settings.ini"});
  }
}

TEST_F(IniFile, LineBreaksInValuesBecomeBlanks) {
  const std::string path = Path("breaks.ini");
  TIniFile ini(path);
  ini.WriteString("S", "K", "line1\r\n[Evil]\r\nx=y\rz\n");
  ini.WriteString("S", "After", "ok");
  EXPECT_EQ(ReadFile(path), "[S]\r\nK=line1  [Evil]  x=y z \r\nAfter=ok\r\n");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "line1  [Evil]  x=y z");
  EXPECT_FALSE(ini.SectionExists("Evil"));
  // Names are cleaned the same way, so what was written can be read back.
  ini.WriteString("Two\nLines", "k\r", "v");
  EXPECT_EQ(ini.ReadString("Two Lines", "k", ""), "v");
}

TEST_F(IniFile, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  const std::string path = Path("settings.ini");
  for (sim::Fault fault : {sim::Fault::FileCreate, sim::Fault::FileWrite, sim::Fault::FileRename}) {
    WriteFile(path, RewriteFixture);
    TIniFile ini(path);
    sim::FailNext(fault);
    try {
      ini.WriteString("General", "Name", "Changed");
      ADD_FAILURE() << "failure not reported, fault " << static_cast<int>(fault);
    } catch (const EIniFileException& e) {
      EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
    }
    EXPECT_EQ(ReadFile(path), RewriteFixture) << static_cast<int>(fault);
    EXPECT_EQ(FolderEntries(dir_.Path()), Strings{"settings.ini"}) << static_cast<int>(fault);
    // The next write goes through.
    ini.WriteString("General", "Name", "Changed");
    EXPECT_EQ(ini.ReadString("General", "Name", ""), "Changed");
  }

  // A file that did not exist still does not.
  const std::string fresh = Path("fresh.ini");
  sim::FailNext(sim::Fault::FileRename);
  EXPECT_THROW(TIniFile(fresh).WriteString("S", "K", "V"), EIniFileException);
  EXPECT_EQ(FolderEntries(dir_.Path()), Strings{"settings.ini"});

  // A file that cannot be read is not replaced by one made from nothing.
  mkdir(Path("folder.ini").c_str(), 0755);
  EXPECT_THROW(TIniFile(Path("folder.ini")).WriteString("S", "K", "V"), EIniFileException);
  EXPECT_THROW(TIniFile(Path("nofolder/x.ini")).WriteString("S", "K", "V"), EIniFileException);
}

// Every file operation of a rewrite fails in turn: each failure is reported, the old
// file stays whole with nothing beside it, and the same object writes afterwards.
TEST_F(IniFile, RewriteSurvivesAFailureOfEachOfItsFileOperations) {
  const std::string path = Path("settings.ini");
  const int operations = larktest::SweepFaults(
      {sim::Fault::FileCreate, sim::Fault::FileWrite, sim::Fault::FileRename, sim::Fault::FileDelete},
      [&](int) {
        WriteFile(path, RewriteFixture);
        TIniFile ini(path);
        bool failed = false;
        try {
          ini.WriteString("General", "Name", "Changed");
        } catch (const EIniFileException&) {
          failed = true;
        }
        const bool reached = larktest::FaultReached();
        EXPECT_EQ(failed, reached);
        EXPECT_EQ(FolderEntries(dir_.Path()), Strings{"settings.ini"});
        if (failed) {
          EXPECT_EQ(ReadFile(path), RewriteFixture);
          EXPECT_NE(ini.ReadString("General", "Name", ""), "Changed");
        } else {
          EXPECT_EQ(ini.ReadString("General", "Name", ""), "Changed");
        }
        ini.WriteString("General", "Name", "Again");
        EXPECT_EQ(TIniFile(path).ReadString("General", "Name", ""), "Again");
        return reached;
      });
  EXPECT_GE(operations, 3);  // create, write, replace at least
}

TEST_F(IniFile, RewriteKeepsThePermissions) {
  const std::string path = Path("private.ini");
  WriteFile(path, "[S]\r\nK=1\r\n");
  chmod(path.c_str(), 0600);
  TIniFile(path).WriteString("S", "K", "2");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(IniFile, SeesChangesMadeByOthersBetweenCalls) {
  const std::string path = Path("shared.ini");
  WriteFile(path, "[S]\r\nK=1\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("S", "K", ""), "1");
  WriteFile(path, "[S]\nK=2\nL=3\n");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "2");
  ini.WriteString("S", "M", "4");  // written over the other writer's version
  EXPECT_EQ(ReadFile(path), "[S]\nK=2\nL=3\nM=4\r\n");
}

// A change that keeps the file's size, made within the step of its times, or with
// its modification time put back, is seen all the same.
TEST_F(IniFile, SeesChangesThatKeepTheSizeAndTheModificationTime) {
  const std::string path = Path("same-size.ini");
  WriteFile(path, "[S]\r\nK=1\r\n");
  struct stat first {};
  ASSERT_EQ(stat(path.c_str(), &first), 0);
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("S", "K", ""), "1");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "1");
  WriteFile(path, "[S]\r\nK=2\r\n");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "2");

  // Put the times back to those of the first version, then change it again in place.
  const timespec times[2] = {first.st_atim, first.st_mtim};
  WriteFile(path, "[S]\r\nK=3\r\n");
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(ini.ReadString("S", "K", ""), "3");
  EXPECT_TRUE(ini.ValueExists("s", "k"));

  // Gone, then back.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_EQ(ini.ReadString("S", "K", "none"), "none");
  EXPECT_FALSE(ini.SectionExists("S"));
  WriteFile(path, "[S]\r\nK=4\r\n");
  EXPECT_EQ(ini.ReadString("S", "K", ""), "4");
}

// Thousands of sections and of keys in one section (the subscriptions are numbered
// keys): names repeated in another case count once, in their first spelling, and
// only the first section of a name is read.
TEST_F(IniFile, ManySectionsAndKeysReadWithTheirFirstSpelling) {
  const int count = 20000;
  std::string text = "[Subscriptions]\r\n";
  for (int i = 0; i < count; ++i) text += "Feed" + std::to_string(i) + "=http://example.org/" + std::to_string(i) + "\r\n";
  for (int i = 0; i < count; i += 2) text += "FEED" + std::to_string(i) + "=later\r\n";
  for (int i = 0; i < count; ++i) text += "[Section " + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
  for (int i = 0; i < count; i += 3) text += "[SECTION " + std::to_string(i) + "]\r\nk=again\r\nextra=1\r\n";
  text += "[subscriptions]\r\nFeed0=second section\r\nOther=1\r\n";
  const std::string path = Path("many.ini");
  WriteFile(path, text);
  TIniFile ini(path);

  TStringList sections;
  ini.ReadSections(&sections);
  ASSERT_EQ(sections.GetCount(), count + 1);
  EXPECT_EQ(sections.Strings(0), "Subscriptions");
  EXPECT_EQ(sections.Strings(1), "Section 0");
  EXPECT_EQ(sections.Strings(count), "Section " + std::to_string(count - 1));

  TStringList keys;
  ini.ReadSection("SUBSCRIPTIONS", &keys);
  ASSERT_EQ(keys.GetCount(), count);
  EXPECT_EQ(keys.Strings(0), "Feed0");
  EXPECT_EQ(keys.Strings(count - 1), "Feed" + std::to_string(count - 1));
  for (int i = 0; i < count; ++i)
    ASSERT_EQ(ini.ReadString("Subscriptions", "feed" + std::to_string(i), ""), "http://example.org/" + std::to_string(i));
  EXPECT_FALSE(ini.ValueExists("Subscriptions", "Other"));
  EXPECT_EQ(ini.ReadString("section 3", "K", ""), "3");
  EXPECT_FALSE(ini.ValueExists("Section 3", "extra"));

  TStringList values;
  ini.ReadSectionValues("Subscriptions", &values);
  ASSERT_EQ(values.GetCount(), count);
  EXPECT_EQ(values.Strings(2), "Feed2=http://example.org/2");
}

TEST_F(IniFile, FileWeWriteReadsTheSameInPythonConfigparser) {
  const std::string path = Path("ours.ini");
  TIniFile ini(path);
  ini.WriteString("Subscriptions", "Feed0", "http://example.org/feed?x=1&y=2");
  ini.WriteString("Subscriptions", "Title0", "Caf\xE9 \x80 Radio");
  ini.WriteInteger("Subscriptions", "Count", 2);
  ini.WriteBool("Window", "Maximized", true);
  ini.WriteString("Window", "Percent", "100% sure; really");
  ini.WriteString("Window", "Empty", "");
  ini.WriteString("Window", "Spaces", "a  b");
  ini.WriteString("Other Section", "Key With Spaces", "v");
  ini.WriteInteger("subscriptions", "COUNT", 3);  // updates "Count"
  const std::vector<Entry> expected = {
      {"Subscriptions", "Feed0", "http://example.org/feed?x=1&y=2"},
      {"Subscriptions", "Title0", "Caf\xE9 \x80 Radio"},
      {"Subscriptions", "Count", "3"},
      {"Window", "Maximized", "1"},
      {"Window", "Percent", "100% sure; really"},
      {"Window", "Empty", ""},
      {"Window", "Spaces", "a  b"},
      {"Other Section", "Key With Spaces", "v"},
  };
  EXPECT_EQ(PythonRead(path), expected);
}

TEST_F(IniFile, ReadsAFileWrittenByPythonConfigparser) {
  // Made by tests/data/ini/make-python-ini.py.
  TIniFile ini(std::string(LARK_TEST_DATA) + "/ini/python-written.ini");
  EXPECT_EQ(ini.ReadInteger("Subscriptions", "Count", 0), 2);
  EXPECT_EQ(ini.ReadString("Subscriptions", "Feed0", ""), "http://example.org/feed.xml");
  EXPECT_EQ(ini.ReadString("Subscriptions", "Title0", ""), "Caf\xE9 Radio \x80");
  EXPECT_EQ(ini.ReadString("Subscriptions", "Feed1", ""), "https://example.net/a?b=c&d=e");
  EXPECT_EQ(ini.ReadString("Subscriptions", "Title1", ""), "50% off; today");
  EXPECT_EQ(ini.ReadInteger("Window", "Left", 0), -12);
  EXPECT_TRUE(ini.ReadBool("Window", "Maximized", false));
  EXPECT_EQ(ini.ReadInteger("Window", "Mask", 0), 31);
  EXPECT_EQ(ini.ReadString("Window", "Empty", "d"), "");
  TStringList list;
  ini.ReadSections(&list);
  EXPECT_EQ(Items(list), (Strings{"Subscriptions", "Window"}));
  ini.ReadSection("window", &list);
  EXPECT_EQ(Items(list), (Strings{"Left", "Maximized", "Mask", "Empty"}));

  // And what Python reads of it is what we read.
  for (const auto& [section, key, value] : PythonRead(ini.GetFileName()))
    EXPECT_EQ(ini.ReadString(section, key, "<missing>"), value) << section << "/" << key;
}

}  // namespace
