// File and folder functions with the framework's rules, on '/'-separated paths.
#pragma once

#include "platform/rtl/Types.h"

inline constexpr char PathDelim = '/';

// True for an existing file that is not a folder.
bool FileExists(const AnsiString& fileName);
bool DirectoryExists(const AnsiString& directory);
bool DeleteFile(const AnsiString& fileName);
// Never replaces an existing newName; false when it exists or the rename fails.
bool RenameFile(const AnsiString& oldName, const AnsiString& newName);
// Copies the bytes and permission bits. The copy is written under a temporary name
// in the target folder and renamed into place, so a failure leaves no partial file.
// With failIfExists, an existing target is left alone and the call fails.
BOOL CopyFile(const char* existingFileName, const char* newFileName, BOOL failIfExists);

// Path parts. The delimiters are '/', '\' and the drive delimiter ':'.
// Up to and including the last delimiter.
AnsiString ExtractFilePath(const AnsiString& fileName);
// After the last delimiter.
AnsiString ExtractFileName(const AnsiString& fileName);
// Like ExtractFilePath without the trailing delimiter, unless that would leave a
// root ("/a" gives "/", "c:\" stays).
AnsiString ExtractFileDir(const AnsiString& fileName);
// From the last '.' that has no '\' or ':' after it; "" when there is none. As the
// framework does it, '/' does not end the search: "a.b/c" gives ".b/c".
AnsiString ExtractFileExt(const AnsiString& fileName);
// Replaces what ExtractFileExt finds (or appends when it finds nothing).
AnsiString ChangeFileExt(const AnsiString& fileName, const AnsiString& extension);
AnsiString IncludeTrailingPathDelimiter(const AnsiString& path);
AnsiString ExcludeTrailingPathDelimiter(const AnsiString& path);

// Creates every missing folder of dir; false when one cannot be made.
bool ForceDirectories(const AnsiString& dir);
bool CreateDir(const AnsiString& dir);
bool RemoveDir(const AnsiString& dir);
// The working folder, without a trailing delimiter.
AnsiString GetCurrentDir();

// The running program's full file name, and its folder with a trailing '/'.
AnsiString ParamStr0();
AnsiString ProgramFileName();
AnsiString ProgramFolder();
