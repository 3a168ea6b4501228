// Global memory blocks: the movable, shareable memory the clipboard and packed DIBs
// are exchanged in. A handle is an opaque number, never reused; GlobalLock gives
// the block's address, which stays valid until the block is freed or reallocated.
#pragma once

#include <cstddef>

#include "platform/win/WinTypes.h"

using HGLOBAL = HANDLE;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GMEM_DDESHARE = 0x2000;
inline constexpr UINT GMEM_SHARE = GMEM_DDESHARE;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// A new block of bytes (zeroed with GMEM_ZEROINIT); 0 when the memory cannot be had
// (ERROR_NOT_ENOUGH_MEMORY). A block of 0 bytes is allowed.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// The block's address (non-null even for 0 bytes) and one more lock; nullptr for an
// unknown handle (ERROR_INVALID_HANDLE).
void* GlobalLock(HGLOBAL mem);
// One lock less; answers whether the block is still locked.
BOOL GlobalUnlock(HGLOBAL mem);
// The block's size in bytes; 0 for an unknown handle.
size_t GlobalSize(HGLOBAL mem);
// Gives the block a new size (new bytes are zero), keeping its handle
// and content; it may move, so a locked block is resized only with GMEM_MOVEABLE.
// Answers the handle, or 0 (the block unchanged) for an unknown handle or no memory.
HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, UINT flags);
// Frees the block: 0 on success, the handle itself for an unknown handle.
HGLOBAL GlobalFree(HGLOBAL mem);
