// The temporary-file folder and temporary file names, with the platform's rules.
#pragma once

#include "platform/rtl/Types.h"
#include "platform/win/WinTypes.h"

// Copies the folder for temporary files ($TMPDIR, else /tmp, with a trailing '/')
// into buffer and answers its length. When bufferLength is too small the buffer is
// left alone and the answer is the size needed, terminator included.
DWORD GetTempPath(DWORD bufferLength, char* buffer);
AnsiString GetTempPathStr();

// Forms <path>/<first 3 characters of prefix><hex number>.tmp into tempFileName
// (MAX_PATH characters) and answers the number used. With unique 0 the number is
// chosen so that the file is new, and the file is created (empty); with any other
// unique the name is only formed from its low 16 bits. Answers 0 on failure
// (GetLastError tells why).
UINT GetTempFileName(const char* pathName, const char* prefixString, UINT unique,
                     char* tempFileName);

// Renames a file. With MOVEFILE_REPLACE_EXISTING an existing newFileName is replaced
// in one step (readers see the old file or the new one, never a mix); without it an
// existing newFileName makes the call fail with ERROR_ALREADY_EXISTS. FALSE with the
// error when the rename fails; the old file is then untouched.
inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
BOOL MoveFileEx(const char* existingFileName, const char* newFileName, DWORD flags);
