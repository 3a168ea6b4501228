// The clipboard: one process-wide set of blocks of global memory, one per format.
// A caller opens it, may empty it and put blocks on it (the clipboard then owns
// them and frees them when they are replaced or emptied), reads blocks, and closes
// it. Only one thread has it open at a time.
#pragma once

#include "platform/win/GlobalMemory.h"
#include "platform/win/WinTypes.h"

inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT CF_BITMAP = 2;
inline constexpr UINT CF_DIB = 8;

// Opens the clipboard for the calling thread (owner may be 0). FALSE while another
// thread has it open (ERROR_ACCESS_DENIED); opening it again on the same thread
// succeeds.
BOOL OpenClipboard(HWND owner);
// FALSE unless the calling thread has it open.
BOOL CloseClipboard();
// Frees every block on it; FALSE unless the calling thread has it open.
BOOL EmptyClipboard();
// Puts mem on the clipboard for format, replacing (and freeing) what was there; the
// clipboard owns mem from then on. Answers mem, or 0 when the clipboard is not open
// by the calling thread or mem is not a block of global memory (the caller keeps it).
HANDLE SetClipboardData(UINT format, HANDLE mem);
// The block for format, still owned by the clipboard; 0 when there is none or the
// clipboard is not open by the calling thread.
HANDLE GetClipboardData(UINT format);
// Whether a block for format is on the clipboard; needs no opening.
BOOL IsClipboardFormatAvailable(UINT format);
