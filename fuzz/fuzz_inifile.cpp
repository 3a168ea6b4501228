// Ini files come from disk, where anything may have been written into them. Reads
// must not fail, and a write must leave every other section's values as they were.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/rtl/IniFile.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Strings.h"

namespace {

const std::string& FuzzFile() {
  static const std::string path = "/tmp/lark-fuzz-ini-" + std::to_string(getpid()) + ".ini";
  return path;
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "ini invariant broken: %s\n", what);
  std::abort();
}

struct Entry {
  AnsiString Section, Key, Value;
};

const char kSection[] = "Fuzz Section";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  TIniFile ini(path);
  TStringList sections;
  ini.ReadSections(&sections);
  std::vector<Entry> before;
  for (Integer i = 0; i < sections.GetCount() && i < 16; ++i) {
    const AnsiString section = sections.Strings(i);
    if (SameText(section, kSection)) continue;
    TStringList keys;
    ini.ReadSection(section, &keys);
    for (Integer j = 0; j < keys.GetCount() && j < 64; ++j)
      before.push_back({section, keys.Strings(j), ini.ReadString(section, keys.Strings(j), "")});
  }

  ini.WriteString(kSection, "FuzzKey", "  value with = sign\r\nand a break ");
  Check(ini.ReadString(kSection, "FuzzKey", "?") == "value with = sign  and a break",
        "the written value reads back");
  for (const Entry& e : before)
    Check(ini.ReadString(e.Section, e.Key, "") == e.Value, "other values are unchanged");

  std::remove(path.c_str());
  return 0;
}
