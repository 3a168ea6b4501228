// The module registry: export tables known by name, loaded and counted like the
// platform's libraries.
#include "platform/win/Modules.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <set>

#include "platform/win/SimHooks.h"

namespace {

struct Module {
  ModuleExports exports;
  HMODULE handle = 0;  // 0 while not loaded
  int count = 0;
  int timesLoaded = 0;
};

struct Registry {
  std::recursive_mutex mutex;
  std::map<std::string, Module> modules;  // by normalised name
  std::set<std::string> failing;
  std::set<std::pair<std::string, std::string>> hidden;
  // Handles look like load addresses and are never given out twice.
  HMODULE nextHandle = 0x10000000;
};

Registry& Reg() {
  static Registry registry;
  return registry;
}

// Lower case, without a folder, with ".dll" when there is no extension.
std::string Normalise(const std::string& name) {
  std::string n = name;
  const size_t slash = n.find_last_of("/\\");
  if (slash != std::string::npos) n.erase(0, slash + 1);
  std::transform(n.begin(), n.end(), n.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (!n.empty() && n.find('.') == std::string::npos) n += ".dll";
  return n;
}

Module* FindLoaded(Registry& reg, HMODULE handle, std::string* name) {
  if (handle == 0) return nullptr;
  for (auto& [n, m] : reg.modules) {
    if (m.handle == handle) {
      if (name != nullptr) *name = n;
      return &m;
    }
  }
  return nullptr;
}

}  // namespace

void RegisterModuleExports(const std::string& moduleName, ModuleExports exports) {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  reg.modules[Normalise(moduleName)].exports = std::move(exports);
}

HMODULE LoadLibrary(const char* name) {
  if (name == nullptr || *name == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  const std::string key = Normalise(name);
  auto it = reg.modules.find(key);
  if (it == reg.modules.end() || reg.failing.count(key) != 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  Module& m = it->second;
  if (m.count == 0) {
    m.handle = reg.nextHandle;
    reg.nextHandle += 0x10000;
    ++m.timesLoaded;
  }
  ++m.count;
  return m.handle;
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  std::string name;
  Module* m = FindLoaded(reg, module, &name);
  if (m == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (procName == nullptr || reg.hidden.count({name, procName}) != 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  for (const auto& [exportName, address] : m->exports) {
    if (exportName == procName) return address;
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  Module* m = FindLoaded(reg, module, nullptr);
  if (m == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  if (--m->count == 0) m->handle = 0;
  return TRUE;
}

namespace sim {

void FailModuleLoad(const std::string& moduleName, bool fail) {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  if (fail) {
    reg.failing.insert(Normalise(moduleName));
  } else {
    reg.failing.erase(Normalise(moduleName));
  }
}

void HideExport(const std::string& moduleName, const std::string& procName, bool hide) {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  if (hide) {
    reg.hidden.insert({Normalise(moduleName), procName});
  } else {
    reg.hidden.erase({Normalise(moduleName), procName});
  }
}

void ResetModuleFaults() {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  reg.failing.clear();
  reg.hidden.clear();
}

int ModuleLoadCount(const std::string& moduleName) {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  auto it = reg.modules.find(Normalise(moduleName));
  return it == reg.modules.end() ? 0 : it->second.count;
}

int ModuleLoadTimes(const std::string& moduleName) {
  Registry& reg = Reg();
  std::lock_guard<std::recursive_mutex> lock(reg.mutex);
  auto it = reg.modules.find(Normalise(moduleName));
  return it == reg.modules.end() ? 0 : it->second.timesLoaded;
}

}  // namespace sim
