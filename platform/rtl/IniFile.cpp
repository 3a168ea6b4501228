#include "platform/rtl/Descriptors.h"
#include "platform/rtl/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SimHooks.h"

namespace {

constexpr const char* kNewLine = "\r\n";

struct Line {
  AnsiString text;
  AnsiString eol;  // "\r\n", "\n", "\r", or "" for a last line without a break
};
using Lines = std::vector<Line>;

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  AnsiString name;       // section or key name, trimmed
  AnsiString value;      // trimmed, quotes removed
  size_t valueStart = 0; // where the value's text begins in the line (keys only)
};

// s without the blanks and control characters around it.
AnsiString Trimmed(std::string_view s) {
  size_t first = 0;
  size_t last = s.size();
  while (first < last && static_cast<unsigned char>(s[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
  return AnsiString(s.substr(first, last - first));
}

ParsedLine Parse(std::string_view text) {
  ParsedLine parsed;
  size_t first = 0;
  while (first < text.size() && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  if (first == text.size() || text[first] == ';') return parsed;
  if (text[first] == '[') {
    size_t close = text.find(']', first + 1);
    size_t end = close == std::string_view::npos ? text.size() : close;
    parsed.kind = LineKind::Section;
    parsed.name = Trimmed(text.substr(first + 1, end - first - 1));
    return parsed;
  }
  size_t eq = text.find('=');
  if (eq == std::string_view::npos) return parsed;
  parsed.kind = LineKind::Key;
  parsed.name = Trimmed(text.substr(0, eq));
  parsed.valueStart = eq + 1;
  while (parsed.valueStart < text.size() &&
         static_cast<unsigned char>(text[parsed.valueStart]) <= ' ')
    ++parsed.valueStart;
  AnsiString value = Trimmed(text.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  parsed.value = std::move(value);
  return parsed;
}

// Calls visit(text, eol) for each line of content, in order; eol is "\r\n", "\n",
// "\r", or empty for a last line without a break.
template <class Visit>
void ForEachLine(const AnsiString& content, Visit visit) {
  const std::string_view all(content);
  size_t start = 0;
  const size_t n = all.size();
  while (start < n) {
    size_t p = all.find_first_of("\r\n", start);
    if (p == std::string_view::npos) p = n;
    const size_t textEnd = p;
    if (p < n && all[p] == '\r') ++p;
    if (p < n && all[p] == '\n') ++p;
    visit(all.substr(start, textEnd - start), all.substr(textEnd, p - textEnd));
    start = p;
  }
}

Lines SplitLines(const AnsiString& content) {
  Lines lines;
  lines.reserve(static_cast<size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
  ForEachLine(content, [&](std::string_view text, std::string_view eol) {
    lines.push_back(Line{AnsiString(text), AnsiString(eol)});
  });
  return lines;
}

AnsiString JoinLines(const Lines& lines) {
  AnsiString content;
  for (const Line& line : lines) {
    content += line.text;
    content += line.eol;
  }
  return content;
}

// Names as they are matched: a line break would end the line, and blanks around
// them are not part of them.
AnsiString CleanName(const AnsiString& name) {
  AnsiString clean = name;
  for (char& c : clean) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return Trim(clean);
}

bool IsSection(const Line& line, const AnsiString& section) {
  ParsedLine parsed = Parse(line.text);
  return parsed.kind == LineKind::Section && AnsiSameText(parsed.name, section);
}

// Index of the first "[section]" line, or -1.
long FindSection(const Lines& lines, const AnsiString& section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (IsSection(lines[i], section)) return static_cast<long>(i);
  }
  return -1;
}

// The index after the last line of the section whose header is at `header`.
size_t SectionEnd(const Lines& lines, size_t header) {
  size_t i = header + 1;
  while (i < lines.size() && Parse(lines[i].text).kind != LineKind::Section) ++i;
  return i;
}

[[noreturn]] void Fail(const AnsiString& fileName, const AnsiString& why) {
  throw EIniFileException("Cannot write the ini file \"" + fileName + "\": " + why);
}

// The file's content. A missing file is empty. Other failures give an empty
// content for a read, and raise for a write, which must not replace what it could
// not read.
AnsiString ReadContent(const AnsiString& fileName, bool forWrite) {
  ScopedFd fd(RetryOnEintr([&] { return ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!fd) {
    if (errno == ENOENT || !forWrite) return AnsiString();
    Fail(fileName, AnsiString("cannot read it (") + std::strerror(errno) + ")");
  }
  AnsiString content;
  AnsiString why;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    why = std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    why = std::strerror(EISDIR);
  } else {
    // The whole file in one allocation when its size is what fstat said.
    if (st.st_size > 0) content.reserve(std::min(static_cast<size_t>(st.st_size), TIniFile::kMaxFileSize) + 1);
    char buffer[65536];
    for (;;) {
      const ssize_t n = RetryOnEintr([&] { return ::read(fd.Get(), buffer, sizeof buffer); });
      if (n < 0) {
        why = std::strerror(errno);
        break;
      }
      if (n == 0) break;
      if (content.size() + static_cast<size_t>(n) > TIniFile::kMaxFileSize) {
        why = "larger than " + std::to_string(TIniFile::kMaxFileSize) + " bytes";
        break;
      }
      content.append(buffer, static_cast<size_t>(n));
    }
  }
  fd.Reset();
  if (why.empty()) return content;
  if (forWrite) Fail(fileName, "cannot read it (" + why + ")");
  return AnsiString();
}

// True when the file holds exactly content, compared piece by piece as it is read.
bool FileHolds(const AnsiString& fileName, const AnsiString& content) {
  const ScopedFd fd(RetryOnEintr([&] { return ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!fd) return false;
  char buffer[65536];
  size_t at = 0;
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return ::read(fd.Get(), buffer, sizeof buffer); });
    if (n < 0) return false;
    if (n == 0) return at == content.size();
    const size_t got = static_cast<size_t>(n);
    if (got > content.size() - at || std::memcmp(buffer, content.data() + at, got) != 0) return false;
    at += got;
  }
}

AnsiString TempSuffix() {
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  thread_local std::mt19937 rng{std::random_device{}()};
  AnsiString suffix;
  for (int i = 0; i < 8; ++i) suffix += digits[rng() % 36];
  return suffix;
}

// Replaces the file with content: a temporary file beside it, flushed, then renamed
// over it. On any failure the temporary file is removed and the old file stays.
void Save(const AnsiString& fileName, const AnsiString& content) {
  struct stat old {};
  const bool existed = ::stat(fileName.c_str(), &old) == 0;
  if (sim::ShouldFail(sim::Fault::FileCreate))
    Fail(fileName, AnsiString("cannot create a temporary file (") + std::strerror(EIO) + ")");

  AnsiString tempName;
  ScopedFd fd;
  for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
    tempName = fileName + ".~" + TempSuffix();
    fd.Reset(RetryOnEintr(
        [&] { return ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }));
    if (!fd && errno != EEXIST) break;
  }
  if (!fd)
    Fail(fileName, AnsiString("cannot create a temporary file (") + std::strerror(errno) + ")");

  auto abandon = [&](const AnsiString& why) {
    fd.Reset();
    ::unlink(tempName.c_str());
    Fail(fileName, why);
  };
  if (existed) ::fchmod(fd.Get(), old.st_mode & 07777);

  size_t written = 0;
  while (written < content.size()) {
    if (sim::ShouldFail(sim::Fault::FileWrite))
      abandon(AnsiString("cannot write (") + std::strerror(EIO) + ")");
    const ssize_t n = RetryOnEintr(
        [&] { return ::write(fd.Get(), content.data() + written, content.size() - written); });
    if (n <= 0) abandon(AnsiString("cannot write (") + std::strerror(n < 0 ? errno : EIO) + ")");
    written += static_cast<size_t>(n);
  }
  if (::fsync(fd.Get()) != 0) abandon(AnsiString("cannot flush (") + std::strerror(errno) + ")");
  if (fd.Close() != 0) abandon(AnsiString("cannot write (") + std::strerror(errno) + ")");
  if (sim::ShouldFail(sim::Fault::FileRename))
    abandon(AnsiString("cannot replace it (") + std::strerror(EIO) + ")");
  if (::rename(tempName.c_str(), fileName.c_str()) != 0)
    abandon(AnsiString("cannot replace it (") + std::strerror(errno) + ")");

  // Make the rename itself durable.
  size_t slash = fileName.find_last_of('/');
  AnsiString dir = slash == AnsiString::npos ? AnsiString(".")
                   : slash == 0              ? AnsiString("/")
                                             : fileName.substr(0, slash);
  const ScopedFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd) ::fsync(dirFd.Get());
}

void SaveIfChanged(const AnsiString& fileName, const AnsiString& before, const Lines& lines) {
  AnsiString after = JoinLines(lines);
  if (after != before) Save(fileName, after);
}

// Replaces the content of strings with list, keeping strings' own settings.
void ReplaceStrings(TStrings* strings, TStringList& list) {
  strings->BeginUpdate();
  try {
    strings->Clear();
    strings->AddStrings(&list);
  } catch (...) {
    strings->EndUpdate();
    throw;
  }
  strings->EndUpdate();
}

// Gives the line before position `at` a line break, so a line inserted there starts a line.
void EndLineBefore(Lines& lines, size_t at) {
  if (at > 0 && lines[at - 1].eol.empty()) lines[at - 1].eol = kNewLine;
}

// ---- The parsed file that reads use ------------------------------------------------

// Names are matched without regard to case: two names are the same when their upper
// case is (as AnsiSameText and the string lists compare them).
using NameIndex = std::unordered_map<AnsiString, size_t>;

struct ParsedSection {
  AnsiString name;                                    // as the file first spells it
  std::vector<std::pair<AnsiString, AnsiString>> keys;  // first of each name, in file order
  NameIndex keyIndex;                                 // upper-case name -> index in keys
};

// What reads need of the file: for each section name the first section of that name
// (later ones are never read), with the first key of each name in it.
struct Snapshot {
  std::vector<ParsedSection> sections;  // in file order
  NameIndex sectionIndex;               // upper-case name -> index in sections
  const ParsedSection* Find(const AnsiString& name) const {
    const auto it = sectionIndex.find(AnsiUpperCase(CleanName(name)));
    return it == sectionIndex.end() ? nullptr : &sections[it->second];
  }
};

std::shared_ptr<const Snapshot> ParseSnapshot(const AnsiString& content) {
  auto snapshot = std::make_shared<Snapshot>();
  // The section keys go to: the last one added (taken again after each addition),
  // null before the first section and in a repeated one.
  ParsedSection* current = nullptr;
  ForEachLine(content, [&](std::string_view text, std::string_view) {
    ParsedLine parsed = Parse(text);
    if (parsed.kind == LineKind::Section) {
      current = nullptr;
      const auto added = snapshot->sectionIndex.emplace(AnsiUpperCase(parsed.name), snapshot->sections.size());
      if (!added.second) return;
      snapshot->sections.push_back(ParsedSection{std::move(parsed.name), {}, {}});
      current = &snapshot->sections.back();
    } else if (parsed.kind == LineKind::Key && current != nullptr) {
      const auto added = current->keyIndex.emplace(AnsiUpperCase(parsed.name), current->keys.size());
      if (added.second) current->keys.emplace_back(std::move(parsed.name), std::move(parsed.value));
    }
  });
  return snapshot;
}

// A file's identity and the stamps that change with its content.
struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{};
  timespec ctime{};
  bool operator==(const FileStamp& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

// A change made this close after another may leave the file's times as they were
// (file systems keep times in steps of up to 2 s): within it, bytes are compared.
constexpr Int64 kRacyNanoseconds = Int64{2} * 1000 * 1000 * 1000;

Int64 Nanoseconds(const timespec& t) { return Int64{t.tv_sec} * 1000 * 1000 * 1000 + t.tv_nsec; }

}  // namespace

// The last snapshot with the stamp and the bytes it was made from.
struct TIniFile::Cache {
  std::mutex mutex;
  std::shared_ptr<const Snapshot> snapshot;
  AnsiString content;
  FileStamp stamp;
  bool racy = true;  // changed so recently that its stamp may hide another change

  // The file as it is now, parsed: the kept snapshot while the file is unchanged.
  std::shared_ptr<const Snapshot> Current(const AnsiString& fileName);
};

namespace {

std::shared_ptr<const Snapshot> EmptySnapshot() {
  static const std::shared_ptr<const Snapshot> empty = std::make_shared<Snapshot>();
  return empty;
}

}  // namespace

TIniFile::TIniFile(const AnsiString& fileName) : fileName_(fileName), cache_(std::make_unique<Cache>()) {}

TIniFile::~TIniFile() = default;

std::shared_ptr<const Snapshot> TIniFile::Cache::Current(const AnsiString& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return EmptySnapshot();
  const FileStamp now{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  std::lock_guard<std::mutex> lock(mutex);
  if (snapshot && !racy && now == stamp) return snapshot;

  timespec clock{};
  ::clock_gettime(CLOCK_REALTIME, &clock);
  // A file whose stamp is as it was but may hide a change is compared with the kept
  // bytes as it is read, without a copy; any other is read anew, and parsed again
  // when its bytes differ.
  if (!snapshot || now != stamp || !FileHolds(fileName, content)) {
    AnsiString bytes = ReadContent(fileName, false);
    if (!snapshot || bytes != content) {
      snapshot = ParseSnapshot(bytes);
      content = std::move(bytes);
    }
  }
  stamp = now;
  // Only a stamp older than the step of the file system's times tells every later
  // change apart. Any change, a write or a change of times, sets the status-change
  // time.
  racy = Nanoseconds(clock) - Nanoseconds(now.ctime) < kRacyNanoseconds;
  return snapshot;
}

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& ident,
                                const AnsiString& defaultValue) const {
  const std::shared_ptr<const Snapshot> snapshot = cache_->Current(fileName_);
  const ParsedSection* found = snapshot->Find(section);
  if (found == nullptr) return defaultValue;
  const auto key = found->keyIndex.find(AnsiUpperCase(CleanName(ident)));
  return key == found->keyIndex.end() ? defaultValue : found->keys[key->second].second;
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& ident,
                           const AnsiString& value) {
  const AnsiString sectionName = CleanName(section);
  const AnsiString key = CleanName(ident);
  // A CR or LF would end the line and let the rest pass for another key or section.
  AnsiString cleanValue = value;
  for (char& c : cleanValue) {
    if (c == '\r' || c == '\n') c = ' ';
  }

  const AnsiString before = ReadContent(fileName_, true);
  Lines lines = SplitLines(before);
  long header = FindSection(lines, sectionName);
  if (header < 0) {
    EndLineBefore(lines, lines.size());
    if (!lines.empty() && !Trim(lines.back().text).empty()) lines.push_back({"", kNewLine});
    lines.push_back({"[" + sectionName + "]", kNewLine});
    lines.push_back({key + "=" + cleanValue, kNewLine});
    SaveIfChanged(fileName_, before, lines);
    return;
  }

  const size_t end = SectionEnd(lines, static_cast<size_t>(header));
  size_t lastFilled = static_cast<size_t>(header);
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    ParsedLine parsed = Parse(lines[i].text);
    if (parsed.kind == LineKind::Key && AnsiSameText(parsed.name, key)) {
      // Only the value changes; the key and the spacing around '=' stay as they were.
      lines[i].text = lines[i].text.substr(0, parsed.valueStart) + cleanValue;
      SaveIfChanged(fileName_, before, lines);
      return;
    }
    if (!Trim(lines[i].text).empty()) lastFilled = i;
  }
  // After the section's last line that is not blank.
  const size_t at = lastFilled + 1;
  EndLineBefore(lines, at);
  lines.insert(lines.begin() + static_cast<long>(at), Line{key + "=" + cleanValue, kNewLine});
  SaveIfChanged(fileName_, before, lines);
}

Integer TIniFile::ReadInteger(const AnsiString& section, const AnsiString& ident,
                              Integer defaultValue) const {
  return StrToIntDef(ReadString(section, ident, AnsiString()), defaultValue);
}

void TIniFile::WriteInteger(const AnsiString& section, const AnsiString& ident, Integer value) {
  WriteString(section, ident, IntToStr(value));
}

bool TIniFile::ReadBool(const AnsiString& section, const AnsiString& ident,
                        bool defaultValue) const {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const AnsiString& section, const AnsiString& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::ReadSection(const AnsiString& section, TStrings* strings) const {
  if (strings == nullptr) return;
  TStringList keys;
  const std::shared_ptr<const Snapshot> snapshot = cache_->Current(fileName_);
  if (const ParsedSection* found = snapshot->Find(section)) {
    for (const auto& key : found->keys) keys.Add(key.first);
  }
  ReplaceStrings(strings, keys);
}

void TIniFile::ReadSections(TStrings* strings) const {
  if (strings == nullptr) return;
  TStringList names;
  for (const ParsedSection& section : cache_->Current(fileName_)->sections) names.Add(section.name);
  ReplaceStrings(strings, names);
}

void TIniFile::ReadSectionValues(const AnsiString& section, TStrings* strings) const {
  if (strings == nullptr) return;
  TStringList values;
  const std::shared_ptr<const Snapshot> snapshot = cache_->Current(fileName_);
  if (const ParsedSection* found = snapshot->Find(section)) {
    for (const auto& key : found->keys) values.Add(key.first + "=" + key.second);
  }
  ReplaceStrings(strings, values);
}

bool TIniFile::SectionExists(const AnsiString& section) const {
  return cache_->Current(fileName_)->Find(section) != nullptr;
}

bool TIniFile::ValueExists(const AnsiString& section, const AnsiString& ident) const {
  const std::shared_ptr<const Snapshot> snapshot = cache_->Current(fileName_);
  const ParsedSection* found = snapshot->Find(section);
  return found != nullptr && found->keyIndex.count(AnsiUpperCase(CleanName(ident))) != 0;
}

void TIniFile::EraseSection(const AnsiString& section) {
  const AnsiString sectionName = CleanName(section);
  const AnsiString before = ReadContent(fileName_, true);
  Lines lines = SplitLines(before);
  Lines kept;
  bool erasing = false;
  for (Line& line : lines) {
    ParsedLine parsed = Parse(line.text);
    if (parsed.kind == LineKind::Section) erasing = AnsiSameText(parsed.name, sectionName);
    if (!erasing) kept.push_back(std::move(line));
  }
  SaveIfChanged(fileName_, before, kept);
}

void TIniFile::DeleteKey(const AnsiString& section, const AnsiString& ident) {
  const AnsiString key = CleanName(ident);
  const AnsiString before = ReadContent(fileName_, true);
  Lines lines = SplitLines(before);
  long header = FindSection(lines, CleanName(section));
  if (header < 0) return;
  const size_t end = SectionEnd(lines, static_cast<size_t>(header));
  Lines kept(lines.begin(), lines.begin() + header + 1);
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    ParsedLine parsed = Parse(lines[i].text);
    if (parsed.kind == LineKind::Key && AnsiSameText(parsed.name, key)) continue;
    kept.push_back(lines[i]);
  }
  kept.insert(kept.end(), lines.begin() + static_cast<long>(end), lines.end());
  SaveIfChanged(fileName_, before, kept);
}
