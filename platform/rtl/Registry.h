// TRegistry: the framework's access to the system registry, a tree of keys under a
// few roots, each key holding named, typed values.
//
// The registry is one tree per process, shared by every TRegistry object and safe to
// use from any thread. It is kept in a file in the user's configuration folder
// ($XDG_CONFIG_HOME/larkspool/registry, else ~/.config/larkspool/registry), read on
// first use and written back, whole and atomically (a temporary file beside it, then
// renamed over it), after changes: when the TRegistry that made them closes its key
// (CloseKey, another key opened, the object freed) or, with LazyWrite false, after
// each change. A failed write keeps the old file whole and the changes in memory for
// the next write. A damaged file is set aside as "registry.damaged" with a message on
// standard error, and the registry starts empty.
//
// Key names are paths of names separated by '\'; a path that starts with '\' is
// taken from the root, any other from the current key when one is open. Key and
// value names are matched without regard to case. Text is Windows-1252; strings are
// stored with their terminating 0, as the platform stores them.
//
// Failures follow the framework: the Open/Delete/Exists calls answer false, reads of
// a value that is missing or of another type and every failed write raise
// ERegistryException ("Failed to get data for 'X'", "Invalid data type for 'X'",
// "Failed to set data for 'X'", "Failed to create key X").
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"

class TStrings;

LARK_DECLARE_EXCEPTION(ERegistryException, Exception);

using HKEY = uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights of an open key.
inline constexpr DWORD KEY_QUERY_VALUE = 0x0001;
inline constexpr DWORD KEY_SET_VALUE = 0x0002;
inline constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr DWORD KEY_NOTIFY = 0x0010;
inline constexpr DWORD KEY_CREATE_LINK = 0x0020;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD KEY_WRITE = 0x20006;
inline constexpr DWORD KEY_EXECUTE = KEY_READ;
inline constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };
using enum TRegDataType;

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  Integer DataSize = 0;
};

class TRegistry : public TObject {
 public:
  LARK_CLASS_NAME(TRegistry)
  // Root HKEY_CURRENT_USER, no key open, LazyWrite true.
  explicit TRegistry(DWORD access = KEY_ALL_ACCESS);
  // Closes the key (writing the changes made).
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY GetRootKey() const noexcept { return rootKey_; }
  // Closes the current key first. A root other than the three kept raises.
  void SetRootKey(HKEY root);
  DWORD GetAccess() const noexcept { return access_; }
  void SetAccess(DWORD access) noexcept { access_ = access; }
  bool GetLazyWrite() const noexcept { return lazyWrite_; }
  void SetLazyWrite(bool lazy) noexcept { lazyWrite_ = lazy; }
  // A non-zero number while a key is open, 0 otherwise.
  HKEY GetCurrentKey() const noexcept { return open_ ? currentKey_ : 0; }
  // The open key's path below the root, without a leading '\'.
  AnsiString GetCurrentPath() const;

  // Opens the key with the object's Access, creating it (and the keys on the way)
  // when canCreate. False when it does not exist, access is refused, or the name is
  // not valid (empty names between separators, names over 255 characters).
  bool OpenKey(const AnsiString& key, bool canCreate);
  // Opens the key for reading only (writes then fail).
  bool OpenKeyReadOnly(const AnsiString& key);
  // Closes the current key; the changes made through this object are written.
  void CloseKey();
  // Creates the key (and the keys on the way) without opening it; true, also when it
  // exists already. Raises "Failed to create key X" when it cannot be made.
  bool CreateKey(const AnsiString& key);
  // Deletes the key with everything below it; false when it does not exist or access is refused.
  bool DeleteKey(const AnsiString& key);
  bool KeyExists(const AnsiString& key);
  bool HasSubKeys();
  // Replaces strings with the names of the current key's subkeys (alphabetical) or
  // values (in the order they were made). Nothing when no key is open.
  void GetKeyNames(TStrings* strings);
  void GetValueNames(TStrings* strings);

  bool ValueExists(const AnsiString& name);
  bool DeleteValue(const AnsiString& name);
  // Gives the value oldName the name newName, keeping its data and type. Raises
  // ERegistryException when oldName does not exist ("Failed to get data for 'old'"),
  // newName exists already ("Failed to set data for 'new'") or the key is not open
  // for writing.
  void RenameValue(const AnsiString& oldName, const AnsiString& newName);
  bool GetDataInfo(const AnsiString& name, TRegDataInfo& info);
  // The size of the value's data in bytes; -1 when it does not exist.
  Integer GetDataSize(const AnsiString& name);
  // rdUnknown when it does not exist.
  TRegDataType GetDataType(const AnsiString& name);

  // The text up to its first 0; empty when the value does not exist or is empty.
  AnsiString ReadString(const AnsiString& name);
  Integer ReadInteger(const AnsiString& name);
  bool ReadBool(const AnsiString& name);
  double ReadFloat(const AnsiString& name);
  TDateTime ReadDateTime(const AnsiString& name);
  // Copies the binary value into buffer and answers its size; 0 when it does not
  // exist; raises when it is not binary or larger than bufSize.
  Integer ReadBinaryData(const AnsiString& name, void* buffer, Integer bufSize);

  void WriteString(const AnsiString& name, const AnsiString& value);
  void WriteExpandString(const AnsiString& name, const AnsiString& value);
  void WriteInteger(const AnsiString& name, Integer value);
  void WriteBool(const AnsiString& name, bool value);
  void WriteFloat(const AnsiString& name, double value);
  void WriteDateTime(const AnsiString& name, TDateTime value);
  void WriteBinaryData(const AnsiString& name, const void* buffer, Integer bufSize);

 private:
  // The data of a value, raising as the framework's reads do.
  std::vector<Byte> GetData(const AnsiString& name, DWORD* type);
  void PutData(const AnsiString& name, const void* data, size_t size, DWORD type);
  // The path a key name means, from the root; false for an invalid name.
  bool Resolve(const AnsiString& key, std::vector<AnsiString>& path) const;
  void ChangeKey(std::vector<AnsiString> path, DWORD access);
  // Writes the registry when this object changed it (now, or at close with LazyWrite).
  void Changed();

  HKEY rootKey_ = HKEY_CURRENT_USER;
  DWORD access_;
  bool lazyWrite_ = true;
  bool open_ = false;
  HKEY currentKey_ = 0;
  DWORD currentAccess_ = 0;
  std::vector<AnsiString> currentPath_;
  bool changed_ = false;
};
