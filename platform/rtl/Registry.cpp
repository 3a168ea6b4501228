#include "platform/rtl/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <utility>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/NoDestructor.h"
#include "platform/rtl/SimHooks.h"
#include "platform/rtl/Strings.h"

namespace {

// Limits of the platform: a key name of 255 characters, 512 levels of keys. The file
// is read only up to kMaxFileSize.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxDepth = 512;
constexpr size_t kMaxFileSize = 64 * 1024 * 1024;
constexpr const char* kHeader = "LARKSPOOL REGISTRY 1";

struct Value {
  AnsiString name;
  DWORD type = REG_NONE;
  std::vector<Byte> data;
};

struct Key {
  AnsiString name;
  std::map<AnsiString, std::unique_ptr<Key>> children;  // by upper-cased name
  std::vector<Value> values;                            // in the order they were made

  Value* FindValue(const AnsiString& valueName) {
    for (Value& v : values)
      if (AnsiSameText(v.name, valueName)) return &v;
    return nullptr;
  }
  Key* Child(const AnsiString& childName) {
    auto it = children.find(AnsiUpperCase(childName));
    return it == children.end() ? nullptr : it->second.get();
  }
  Key* AddChild(const AnsiString& childName) {
    auto& slot = children[AnsiUpperCase(childName)];
    if (!slot) {
      slot = std::make_unique<Key>();
      slot->name = childName;
    }
    return slot.get();
  }
};

struct Denial {
  HKEY root;
  std::vector<AnsiString> prefix;  // upper-cased
  sim::RegistryDenial what;
};

enum class Place { Default, File, Memory };

struct Store {
  std::mutex mutex;      // the tree and everything below
  std::mutex saveMutex;  // one file write at a time, in order
  Place place = Place::Default;
  std::string file;
  bool loaded = false;
  bool dirty = false;
  std::string loadProblem;
  Key roots[3];
  std::vector<Denial> denials;
  std::atomic<uintptr_t> nextHandle{0x1000};
};

Store& GetStore() {
  static NoDestructor<Store> store;
  return *store;
}

int RootIndex(HKEY root) {
  switch (root) {
    case HKEY_CLASSES_ROOT: return 0;
    case HKEY_CURRENT_USER: return 1;
    case HKEY_LOCAL_MACHINE: return 2;
    default: return -1;
  }
}

const char* const kRootNames[3] = {"HKCR", "HKCU", "HKLM"};
const HKEY kRoots[3] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

std::string DefaultFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") + "/.config";
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder + "/larkspool/registry";
}

std::string FileOf(const Store& s) {
  switch (s.place) {
    case Place::Default: return DefaultFile();
    case Place::File: return s.file;
    case Place::Memory: break;
  }
  return {};
}

// --- The file ---

bool Printable(unsigned char c) { return c > 0x20 && c < 0x7F && c != '%' && c != '\\'; }

std::string Escape(const AnsiString& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (Printable(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& text, AnsiString& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '%') {
      if (i + 2 >= text.size()) return false;
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else if (Printable(c)) {
      out.push_back(text[i]);
    } else {
      return false;
    }
  }
  return true;
}

void WriteKey(std::string& out, int root, const std::string& path, const Key& key) {
  out += "K ";
  out += kRootNames[root];
  out += " :";
  out += path;
  out += '\n';
  static const char hex[] = "0123456789abcdef";
  for (const Value& v : key.values) {
    out += "V " + std::to_string(v.type) + " :" + Escape(v.name) + " :";
    for (const Byte b : v.data) {
      out.push_back(hex[b >> 4]);
      out.push_back(hex[b & 15]);
    }
    out += '\n';
  }
  for (const auto& [folded, child] : key.children)
    WriteKey(out, root, path.empty() ? Escape(child->name) : path + '\\' + Escape(child->name), *child);
}

std::string Serialize(const Store& s) {
  std::string out = std::string(kHeader) + '\n';
  for (int r = 0; r < 3; ++r) WriteKey(out, r, "", s.roots[r]);
  return out;
}

// Splits on single blanks.
std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t blank = line.find(' ', start);
    out.push_back(line.substr(start, blank - start));
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  return out;
}

// Reads the file's text into roots; answers what is wrong with it, or "".
std::string Parse(const std::string& text, Key (&roots)[3]) {
  size_t at = 0;
  size_t lineNumber = 0;
  Key* current = nullptr;
  auto problem = [&](const std::string& what) { return "line " + std::to_string(lineNumber) + ": " + what; };
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) {
      ++lineNumber;
      return problem("the last line is cut off");
    }
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    if (lineNumber == 1) {
      if (line != kHeader) return problem("not a registry file");
      continue;
    }
    const std::vector<std::string> t = Tokens(line);
    if (t[0] == "K") {
      if (t.size() != 3 || t[2].empty() || t[2][0] != ':') return problem("a key line is malformed");
      int root = -1;
      for (int r = 0; r < 3; ++r)
        if (t[1] == kRootNames[r]) root = r;
      if (root < 0) return problem("unknown root \"" + t[1].substr(0, 16) + "\"");
      current = &roots[root];
      const std::string path = t[2].substr(1);
      if (!path.empty()) {
        size_t start = 0;
        size_t depth = 0;
        for (;;) {
          const size_t sep = path.find('\\', start);
          AnsiString name;
          if (!Unescape(path.substr(start, sep - start), name) || name.empty() || name.size() > kMaxKeyName ||
              name.find('\\') != AnsiString::npos)
            return problem("a key name is malformed");
          if (++depth > kMaxDepth) return problem("keys nested too deeply");
          current = current->AddChild(name);
          if (sep == std::string::npos) break;
          start = sep + 1;
        }
      }
    } else if (t[0] == "V") {
      if (current == nullptr) return problem("a value before any key");
      if (t.size() != 4 || t[2].empty() || t[2][0] != ':' || t[3].empty() || t[3][0] != ':')
        return problem("a value line is malformed");
      char* stop = nullptr;
      errno = 0;
      const unsigned long type = std::strtoul(t[1].c_str(), &stop, 10);
      if (t[1].empty() || *stop != '\0' || errno != 0 || type > 0xFFFFFFFFul || t[1][0] == '-' || t[1][0] == '+')
        return problem("a value type is malformed");
      Value v;
      v.type = static_cast<DWORD>(type);
      if (!Unescape(t[2].substr(1), v.name)) return problem("a value name is malformed");
      const std::string& hex = t[3];
      if ((hex.size() - 1) % 2 != 0) return problem("value data is malformed");
      v.data.reserve((hex.size() - 1) / 2);
      for (size_t i = 1; i < hex.size(); i += 2) {
        const int hi = HexValue(hex[i]);
        const int lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) return problem("value data is malformed");
        v.data.push_back(static_cast<Byte>(hi * 16 + lo));
      }
      if (Value* existing = current->FindValue(v.name))
        *existing = std::move(v);
      else
        current->values.push_back(std::move(v));
    } else {
      return problem("unknown line");
    }
  }
  if (lineNumber == 0) return "the file is empty";
  return {};
}

AnsiString TempSuffix() {
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  thread_local std::mt19937 rng{std::random_device{}()};
  AnsiString suffix;
  for (int i = 0; i < 8; ++i) suffix += digits[rng() % 36];
  return suffix;
}

// Replaces the file with content: a temporary file beside it, flushed, then renamed
// over it. Answers what went wrong, or "" (the old file stays whole on failure).
std::string WriteFileAtomically(const std::string& fileName, const std::string& content) {
  const size_t slash = fileName.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
  if (!DirectoryExists(dir) && !ForceDirectories(dir)) return "cannot make the folder " + dir;
  if (sim::ShouldFail(sim::Fault::FileCreate)) return std::string("cannot create a temporary file (") + std::strerror(EIO) + ")";
  std::string tempName;
  ScopedFd fd;
  for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
    tempName = fileName + ".~" + TempSuffix();
    fd.Reset(RetryOnEintr([&] { return ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }));
    if (!fd && errno != EEXIST) break;
  }
  if (!fd) return std::string("cannot create a temporary file (") + std::strerror(errno) + ")";
  auto abandon = [&](const std::string& why) {
    fd.Reset();
    ::unlink(tempName.c_str());
    return why;
  };
  size_t written = 0;
  while (written < content.size()) {
    if (sim::ShouldFail(sim::Fault::FileWrite)) return abandon(std::string("cannot write (") + std::strerror(EIO) + ")");
    const ssize_t n =
        RetryOnEintr([&] { return ::write(fd.Get(), content.data() + written, content.size() - written); });
    if (n <= 0) return abandon(std::string("cannot write (") + std::strerror(n < 0 ? errno : EIO) + ")");
    written += static_cast<size_t>(n);
  }
  if (::fsync(fd.Get()) != 0) return abandon(std::string("cannot flush (") + std::strerror(errno) + ")");
  if (fd.Close() != 0) return abandon(std::string("cannot write (") + std::strerror(errno) + ")");
  if (sim::ShouldFail(sim::Fault::FileRename)) return abandon(std::string("cannot replace it (") + std::strerror(EIO) + ")");
  if (::rename(tempName.c_str(), fileName.c_str()) != 0)
    return abandon(std::string("cannot replace it (") + std::strerror(errno) + ")");
  const ScopedFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd) ::fsync(dirFd.Get());
  return {};
}

// Reads the file, up to kMaxFileSize; answers what went wrong, or "" (also for a
// missing file, which reads as absent).
std::string ReadFile(const std::string& fileName, std::string& content, bool& exists) {
  content.clear();
  exists = false;
  ScopedFd fd(RetryOnEintr([&] { return ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!fd) return errno == ENOENT ? std::string() : std::string("cannot open it (") + std::strerror(errno) + ")";
  exists = true;
  char buffer[65536];
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return ::read(fd.Get(), buffer, sizeof buffer); });
    if (n < 0) return std::string("cannot read it (") + std::strerror(errno) + ")";
    if (n == 0) break;
    if (content.size() + static_cast<size_t>(n) > kMaxFileSize)
      return "it is larger than " + std::to_string(kMaxFileSize) + " bytes";
    content.append(buffer, static_cast<size_t>(n));
  }
  return {};
}

void ClearTree(Store& s) {
  for (Key& root : s.roots) {
    root.children.clear();
    root.values.clear();
  }
}

// Reads the tree from the file on first use. Called with the tree locked.
void EnsureLoaded(Store& s) {
  if (s.loaded) return;
  s.loaded = true;
  s.dirty = false;
  s.loadProblem.clear();
  ClearTree(s);
  const std::string file = FileOf(s);
  if (file.empty()) return;
  std::string content;
  bool exists = false;
  std::string problem = ReadFile(file, content, exists);
  if (problem.empty() && exists) problem = Parse(content, s.roots);
  if (problem.empty()) return;
  ClearTree(s);
  s.loadProblem = problem;
  // Keep the damaged file for whoever wants to look at it, out of the way of the next write.
  const std::string aside = file + ".damaged";
  const bool kept = exists && ::rename(file.c_str(), aside.c_str()) == 0;
  std::fprintf(stderr, "larkspool: the registry file %s is damaged (%s)%s; the registry starts empty.\n",
               file.c_str(), problem.c_str(), kept ? (", kept as " + aside).c_str() : "");
}

// Writes the tree when it changed. Answers what went wrong, or "".
std::string Save() {
  Store& s = GetStore();
  std::lock_guard<std::mutex> saving(s.saveMutex);
  std::string content;
  std::string file;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.dirty) return {};
    file = FileOf(s);
    s.dirty = false;
    if (file.empty()) return {};
    content = Serialize(s);
  }
  std::string why = WriteFileAtomically(file, content);
  if (!why.empty()) {
    std::lock_guard<std::mutex> lock(s.mutex);
    // Only when the place is still the same: the changes are kept for the next write.
    if (FileOf(s) == file) s.dirty = true;
    std::fprintf(stderr, "larkspool: cannot write the registry file %s: %s\n", file.c_str(), why.c_str());
    return "cannot write the registry file " + file + ": " + why;
  }
  return {};
}

bool Denied(const Store& s, HKEY root, const std::vector<AnsiString>& path, bool write) {
  for (const Denial& d : s.denials) {
    if (d.root != 0 && d.root != root) continue;
    if (d.what == sim::RegistryDenial::Write && !write) continue;
    if (d.prefix.size() > path.size()) continue;
    bool match = true;
    for (size_t i = 0; i < d.prefix.size() && match; ++i) match = AnsiUpperCase(path[i]) == d.prefix[i];
    if (match) return true;
  }
  return false;
}

bool WantsWrite(DWORD access) { return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK)) != 0; }

// The key at path, or null. Called with the tree locked.
Key* Find(Store& s, HKEY root, const std::vector<AnsiString>& path) {
  EnsureLoaded(s);
  const int r = RootIndex(root);
  if (r < 0) return nullptr;
  Key* key = &s.roots[r];
  for (const AnsiString& name : path) {
    key = key->Child(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

AnsiString JoinPath(const std::vector<AnsiString>& path) {
  AnsiString out;
  for (const AnsiString& name : path) {
    if (!out.empty()) out += '\\';
    out += name;
  }
  return out;
}

[[noreturn]] void ReadError(const AnsiString& name) {
  throw ERegistryException("Invalid data type for '" + name + "'");
}

}  // namespace

// --- TRegistry ---

TRegistry::TRegistry(DWORD access) : access_(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  if (RootIndex(root) < 0) throw ERegistryException("Invalid root key");
  CloseKey();
  rootKey_ = root;
}

AnsiString TRegistry::GetCurrentPath() const { return open_ ? JoinPath(currentPath_) : AnsiString(); }

bool TRegistry::Resolve(const AnsiString& key, std::vector<AnsiString>& path) const {
  path.clear();
  size_t start = 0;
  if (!key.empty() && key[0] == '\\') {
    start = 1;
  } else if (open_) {
    path = currentPath_;
  }
  AnsiString rest = key.substr(start);
  if (!rest.empty() && rest[0] == '\\') return false;  // an empty name after the root
  if (!rest.empty() && rest.back() == '\\') rest.pop_back();
  if (rest.empty()) return true;
  size_t from = 0;
  for (;;) {
    const size_t sep = rest.find('\\', from);
    AnsiString name = rest.substr(from, sep == AnsiString::npos ? AnsiString::npos : sep - from);
    if (name.empty() || name.size() > kMaxKeyName) return false;
    path.push_back(std::move(name));
    if (path.size() > kMaxDepth) return false;
    if (sep == AnsiString::npos) break;
    from = sep + 1;
  }
  return true;
}

void TRegistry::ChangeKey(std::vector<AnsiString> path, DWORD access) {
  CloseKey();
  currentPath_ = std::move(path);
  currentAccess_ = access;
  currentKey_ = GetStore().nextHandle.fetch_add(4);
  open_ = true;
}

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate) {
  std::vector<AnsiString> path;
  if (!Resolve(key, path)) return false;
  Store& s = GetStore();
  bool created = false;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (Denied(s, rootKey_, path, WantsWrite(access_))) return false;
    if (Find(s, rootKey_, path) == nullptr) {
      if (!canCreate || Denied(s, rootKey_, path, true)) return false;
      Key* k = &s.roots[RootIndex(rootKey_)];
      for (const AnsiString& name : path) k = k->AddChild(name);
      s.dirty = true;
      created = true;
    }
  }
  ChangeKey(std::move(path), access_);
  if (created) Changed();
  return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& key) {
  std::vector<AnsiString> path;
  if (!Resolve(key, path)) return false;
  Store& s = GetStore();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (Denied(s, rootKey_, path, false) || Find(s, rootKey_, path) == nullptr) return false;
  }
  ChangeKey(std::move(path), KEY_READ);
  return true;
}

void TRegistry::CloseKey() {
  open_ = false;
  currentPath_.clear();
  currentKey_ = 0;
  currentAccess_ = 0;
  if (changed_) {
    changed_ = false;
    Save();
  }
}

void TRegistry::Changed() {
  changed_ = true;
  if (!lazyWrite_) {
    changed_ = false;
    const std::string why = Save();
    if (!why.empty()) throw ERegistryException("Failed to write the registry: " + why);
  }
}

bool TRegistry::CreateKey(const AnsiString& key) {
  std::vector<AnsiString> path;
  bool ok = Resolve(key, path);
  bool created = false;
  if (ok) {
    Store& s = GetStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (Find(s, rootKey_, path) == nullptr) {
      if (Denied(s, rootKey_, path, true)) {
        ok = false;
      } else {
        Key* k = &s.roots[RootIndex(rootKey_)];
        for (const AnsiString& name : path) k = k->AddChild(name);
        s.dirty = true;
        created = true;
      }
    } else if (Denied(s, rootKey_, path, false)) {
      ok = false;
    }
  }
  if (!ok) throw ERegistryException("Failed to create key " + key);
  if (created) Changed();
  return true;
}

bool TRegistry::DeleteKey(const AnsiString& key) {
  std::vector<AnsiString> path;
  if (!Resolve(key, path) || path.empty()) return false;
  Store& s = GetStore();
  std::unique_ptr<Key> doomed;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (Denied(s, rootKey_, path, true)) return false;
    const AnsiString last = path.back();
    path.pop_back();
    Key* parent = Find(s, rootKey_, path);
    if (parent == nullptr) return false;
    auto it = parent->children.find(AnsiUpperCase(last));
    if (it == parent->children.end()) return false;
    doomed = std::move(it->second);
    parent->children.erase(it);
    s.dirty = true;
  }
  Changed();
  return true;
}

bool TRegistry::KeyExists(const AnsiString& key) {
  std::vector<AnsiString> path;
  if (!Resolve(key, path)) return false;
  Store& s = GetStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return !Denied(s, rootKey_, path, false) && Find(s, rootKey_, path) != nullptr;
}

bool TRegistry::HasSubKeys() {
  if (!open_) return false;
  Store& s = GetStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Key* k = Find(s, rootKey_, currentPath_);
  return k != nullptr && !k->children.empty();
}

void TRegistry::GetKeyNames(TStrings* strings) {
  strings->Clear();
  if (!open_) return;
  std::vector<AnsiString> names;
  {
    Store& s = GetStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    Key* k = Find(s, rootKey_, currentPath_);
    if (k == nullptr) return;
    for (const auto& [folded, child] : k->children) names.push_back(child->name);
  }
  for (const AnsiString& name : names) strings->Add(name);
}

void TRegistry::GetValueNames(TStrings* strings) {
  strings->Clear();
  if (!open_) return;
  std::vector<AnsiString> names;
  {
    Store& s = GetStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    Key* k = Find(s, rootKey_, currentPath_);
    if (k == nullptr) return;
    for (const Value& v : k->values) names.push_back(v.name);
  }
  for (const AnsiString& name : names) strings->Add(name);
}

bool TRegistry::ValueExists(const AnsiString& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

bool TRegistry::GetDataInfo(const AnsiString& name, TRegDataInfo& info) {
  info = TRegDataInfo{};
  if (!open_) return false;
  Store& s = GetStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Key* k = Find(s, rootKey_, currentPath_);
  Value* v = k ? k->FindValue(name) : nullptr;
  if (v == nullptr) return false;
  switch (v->type) {
    case REG_SZ: info.RegData = rdString; break;
    case REG_EXPAND_SZ: info.RegData = rdExpandString; break;
    case REG_DWORD: info.RegData = rdInteger; break;
    case REG_BINARY: info.RegData = rdBinary; break;
    default: info.RegData = rdUnknown; break;
  }
  info.DataSize = static_cast<Integer>(v->data.size());
  return true;
}

Integer TRegistry::GetDataSize(const AnsiString& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const AnsiString& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

std::vector<Byte> TRegistry::GetData(const AnsiString& name, DWORD* type) {
  if (open_) {
    Store& s = GetStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    Key* k = Find(s, rootKey_, currentPath_);
    if (Value* v = k ? k->FindValue(name) : nullptr) {
      *type = v->type;
      return v->data;
    }
  }
  throw ERegistryException("Failed to get data for '" + name + "'");
}

void TRegistry::PutData(const AnsiString& name, const void* data, size_t size, DWORD type) {
  bool ok = false;
  if (open_ && (currentAccess_ & KEY_SET_VALUE) != 0) {
    Store& s = GetStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    Key* k = Find(s, rootKey_, currentPath_);
    if (k != nullptr && !Denied(s, rootKey_, currentPath_, true)) {
      Value* v = k->FindValue(name);
      if (v == nullptr) {
        k->values.push_back(Value{name, type, {}});
        v = &k->values.back();
      }
      v->type = type;
      const auto* bytes = static_cast<const Byte*>(data);
      v->data.assign(bytes, bytes + size);
      s.dirty = true;
      ok = true;
    }
  }
  if (!ok) throw ERegistryException("Failed to set data for '" + name + "'");
  Changed();
}

bool TRegistry::DeleteValue(const AnsiString& name) {
  if (!open_ || (currentAccess_ & KEY_SET_VALUE) == 0) return false;
  {
    Store& s = GetStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    Key* k = Find(s, rootKey_, currentPath_);
    if (k == nullptr || Denied(s, rootKey_, currentPath_, true)) return false;
    Value* v = k->FindValue(name);
    if (v == nullptr) return false;
    k->values.erase(k->values.begin() + (v - k->values.data()));
    s.dirty = true;
  }
  Changed();
  return true;
}

void TRegistry::RenameValue(const AnsiString& oldName, const AnsiString& newName) {
  {
    Store& s = GetStore();
    std::lock_guard<std::mutex> lock(s.mutex);
    Key* k = open_ ? Find(s, rootKey_, currentPath_) : nullptr;
    Value* v = k ? k->FindValue(oldName) : nullptr;
    if (v == nullptr) throw ERegistryException("Failed to get data for '" + oldName + "'");
    // Renaming to the same name (in any case) changes the spelling only.
    if ((!AnsiSameText(oldName, newName) && k->FindValue(newName) != nullptr) ||
        (currentAccess_ & KEY_SET_VALUE) == 0 || Denied(s, rootKey_, currentPath_, true))
      throw ERegistryException("Failed to set data for '" + newName + "'");
    v->name = newName;
    s.dirty = true;
  }
  Changed();
}

AnsiString TRegistry::ReadString(const AnsiString& name) {
  if (GetDataSize(name) <= 0) return {};
  DWORD type = REG_NONE;
  const std::vector<Byte> data = GetData(name, &type);
  if (type != REG_SZ && type != REG_EXPAND_SZ) ReadError(name);
  AnsiString text(data.begin(), data.end());
  const size_t nul = text.find('\0');
  if (nul != AnsiString::npos) text.resize(nul);
  return text;
}

Integer TRegistry::ReadInteger(const AnsiString& name) {
  DWORD type = REG_NONE;
  const std::vector<Byte> data = GetData(name, &type);
  if (type != REG_DWORD || data.size() != 4) ReadError(name);
  Integer value;
  std::memcpy(&value, data.data(), 4);
  return value;
}

bool TRegistry::ReadBool(const AnsiString& name) { return ReadInteger(name) != 0; }

double TRegistry::ReadFloat(const AnsiString& name) {
  DWORD type = REG_NONE;
  const std::vector<Byte> data = GetData(name, &type);
  if (type != REG_BINARY || data.size() != sizeof(double)) ReadError(name);
  double value;
  std::memcpy(&value, data.data(), sizeof value);
  return value;
}

TDateTime TRegistry::ReadDateTime(const AnsiString& name) { return ReadFloat(name); }

Integer TRegistry::ReadBinaryData(const AnsiString& name, void* buffer, Integer bufSize) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return 0;
  if ((info.RegData != rdBinary && info.RegData != rdUnknown) || info.DataSize > bufSize) ReadError(name);
  DWORD type = REG_NONE;
  const std::vector<Byte> data = GetData(name, &type);
  if (static_cast<Integer>(data.size()) > bufSize) ReadError(name);  // changed meanwhile
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return static_cast<Integer>(data.size());
}

void TRegistry::WriteString(const AnsiString& name, const AnsiString& value) {
  PutData(name, value.c_str(), value.size() + 1, REG_SZ);
}

void TRegistry::WriteExpandString(const AnsiString& name, const AnsiString& value) {
  PutData(name, value.c_str(), value.size() + 1, REG_EXPAND_SZ);
}

void TRegistry::WriteInteger(const AnsiString& name, Integer value) { PutData(name, &value, 4, REG_DWORD); }

void TRegistry::WriteBool(const AnsiString& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TRegistry::WriteFloat(const AnsiString& name, double value) {
  PutData(name, &value, sizeof value, REG_BINARY);
}

void TRegistry::WriteDateTime(const AnsiString& name, TDateTime value) { WriteFloat(name, value); }

void TRegistry::WriteBinaryData(const AnsiString& name, const void* buffer, Integer bufSize) {
  if (bufSize < 0 || (bufSize > 0 && buffer == nullptr)) throw ERegistryException("Failed to set data for '" + name + "'");
  PutData(name, buffer, static_cast<size_t>(bufSize), REG_BINARY);
}

// --- The simulated world's hooks ---

namespace sim {

namespace {

void Relocate(Place place, const std::string& file) {
  Store& s = GetStore();
  std::lock_guard<std::mutex> saving(s.saveMutex);
  std::lock_guard<std::mutex> lock(s.mutex);
  s.place = place;
  s.file = file;
  s.loaded = false;
  s.dirty = false;
  s.loadProblem.clear();
  ClearTree(s);
}

}  // namespace

void UseRegistryFile(const std::string& path) { Relocate(Place::File, path); }
void UseMemoryRegistry() { Relocate(Place::Memory, {}); }
void UseDefaultRegistryFile() { Relocate(Place::Default, {}); }

std::string RegistryFilePath() {
  Store& s = GetStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return FileOf(s);
}

std::string RegistryLoadProblem() {
  Store& s = GetStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.loadProblem;
}

void DenyRegistryAccess(uintptr_t root, const std::string& path, RegistryDenial what) {
  Denial d{root, {}, what};
  size_t from = 0;
  while (from < path.size()) {
    size_t sep = path.find('\\', from);
    if (sep == std::string::npos) sep = path.size();
    if (sep > from) d.prefix.push_back(AnsiUpperCase(path.substr(from, sep - from)));
    from = sep + 1;
  }
  Store& s = GetStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.denials.push_back(std::move(d));
}

void AllowRegistryAccess() {
  Store& s = GetStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.denials.clear();
}

}  // namespace sim
