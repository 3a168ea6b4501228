// The registry file comes from disk, where anything may have been written into it.
// Reading it must end in a registry (the file's, or an empty one with the file set
// aside), never a crash; and a registry read from a sound file must come back the
// same, with one more value, after it has been written and read again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/rtl/Lists.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SimHooks.h"

namespace {

const std::string& FuzzFile() {
  static const std::string path = "/tmp/lark-fuzz-registry-" + std::to_string(getpid());
  return path;
}

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "registry invariant broken: %s\n", what);
  std::abort();
}

// Every key and value below the open key, as lines of text.
void Walk(TRegistry& reg, const AnsiString& path, std::vector<std::string>& out, int depth) {
  TStringList values;
  reg.GetValueNames(&values);
  for (Integer i = 0; i < values.GetCount(); ++i) {
    const AnsiString name = values.Strings(i);
    TRegDataInfo info;
    Check(reg.GetDataInfo(name, info), "a listed value exists");
    out.push_back(path + " = " + name + " " + std::to_string(static_cast<int>(info.RegData)) + " " +
                  std::to_string(info.DataSize));
  }
  TStringList keys;
  reg.GetKeyNames(&keys);
  Check(depth <= 512, "keys nest at most 512 deep");
  for (Integer i = 0; i < keys.GetCount(); ++i) {
    const AnsiString child = path + "\\" + keys.Strings(i);
    out.push_back(child);
    Check(reg.OpenKeyReadOnly(child), "a listed key opens");
    Walk(reg, child, out, depth + 1);
  }
}

std::vector<std::string> Snapshot() {
  std::vector<std::string> out;
  for (const HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(root);
    out.push_back("root " + std::to_string(root));
    if (reg.OpenKeyReadOnly("\\")) Walk(reg, "", out, 0);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  sim::UseRegistryFile(path);
  const std::vector<std::string> before = Snapshot();
  const bool damaged = !sim::RegistryLoadProblem().empty();
  if (damaged) Check(before.size() == 3, "a damaged file gives an empty registry");

  // A key the file does not have.
  AnsiString marker = "\\Fuzz Check";
  {
    TRegistry reg;
    while (reg.KeyExists(marker)) marker += "+";
    Check(reg.OpenKey(marker, true), "a key can be made");
    reg.WriteString("Marker", "written");
  }
  sim::UseRegistryFile(path);
  Check(sim::RegistryLoadProblem().empty(), "the registry reads back what it wrote");
  TRegistry reg;
  Check(reg.OpenKeyReadOnly(marker), "the new key came back");
  Check(reg.ReadString("Marker") == "written", "the new value came back");
  reg.CloseKey();
  Check(reg.DeleteKey(marker), "the new key can be deleted");
  // Apart from the key added, the registry is what the file held.
  std::vector<std::string> after = Snapshot();
  Check(after == before, "the registry survives a write and a read");

  sim::UseMemoryRegistry();
  std::remove(path.c_str());
  std::remove((path + ".damaged").c_str());
  return 0;
}
