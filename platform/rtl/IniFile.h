// TIniFile: settings in the Windows profile format ("[Section]" lines, then
// "key=value" lines), read from the file at each call and written at once.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"

class TStrings;

// Section and key names are matched without regard to case; names and values are
// trimmed, and a value in matching single or double quotes is read without them.
// Lines starting with ';' are comments; they, the lines before the first section
// and lines without '=' are kept as they are when the file is rewritten.
//
// Every write replaces the whole file atomically (a temporary file in the same
// folder, flushed, then renamed over it) and changes nothing but the line it is
// about; new lines end in CR LF. A failed write leaves the file as it was and
// raises EIniFileException. Reading a missing or unreadable file gives the defaults.
// The bytes are kept as they are (the content is Windows-1252).
//
// Every read sees the file as it is at that moment, also after another program
// changed it. Reads cost no more than a stat while the file stays as it was: the
// parsed file is kept, with hashed sections and keys, and used again while the
// file's identity, size and times are unchanged (and, for a file changed so
// recently that a second change could keep its times, while its bytes are).
class TIniFile : public TObject {
 public:
  LARK_CLASS_NAME(TIniFile)
  // The largest file read or rewritten; a write to a larger one raises.
  static constexpr size_t kMaxFileSize = 16 * 1024 * 1024;

  explicit TIniFile(const AnsiString& fileName);
  ~TIniFile() override;
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const AnsiString& GetFileName() const noexcept { return fileName_; }

  AnsiString ReadString(const AnsiString& section, const AnsiString& ident,
                        const AnsiString& defaultValue) const;
  // Updates the key in place, or adds it at the end of its section, or adds the
  // section at the end of the file (creating the file). A CR or LF in the value
  // would end the line: each becomes a blank.
  void WriteString(const AnsiString& section, const AnsiString& ident, const AnsiString& value);
  // The value by the strict integer conversion (decimal, '$' or '0x' hex), else the default.
  Integer ReadInteger(const AnsiString& section, const AnsiString& ident,
                      Integer defaultValue) const;
  void WriteInteger(const AnsiString& section, const AnsiString& ident, Integer value);
  // True for an integer other than 0.
  bool ReadBool(const AnsiString& section, const AnsiString& ident, bool defaultValue) const;
  // Writes "1" or "0".
  void WriteBool(const AnsiString& section, const AnsiString& ident, bool value);

  // Replaces strings with the key names of section.
  void ReadSection(const AnsiString& section, TStrings* strings) const;
  // Replaces strings with the names of every section.
  void ReadSections(TStrings* strings) const;
  // Replaces strings with "key=value" for every key of section (values as ReadString gives them).
  void ReadSectionValues(const AnsiString& section, TStrings* strings) const;
  // True when the file has the section, even with no keys.
  bool SectionExists(const AnsiString& section) const;
  bool ValueExists(const AnsiString& section, const AnsiString& ident) const;
  // Removes the section with all its lines.
  void EraseSection(const AnsiString& section);
  void DeleteKey(const AnsiString& section, const AnsiString& ident);
  // Nothing to do: every write is on disk already.
  void UpdateFile() {}

 private:
  struct Cache;
  AnsiString fileName_;
  std::unique_ptr<Cache> cache_;  // the last parsed content, for reads
};
