#include "platform/win/GlobalMemory.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace {

struct Block {
  std::unique_ptr<Byte[]> data;
  size_t size = 0;
  UINT locks = 0;
};

struct Table {
  std::mutex mutex;
  std::map<HGLOBAL, Block> blocks;
  HGLOBAL next = 0x10000;
};

Table& GetTable() {
  static Table table;
  return table;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  Block block;
  // One byte at least, so a block of 0 bytes still has an address.
  block.data.reset(new (std::nothrow) Byte[bytes == 0 ? 1 : bytes]);
  if (!block.data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if ((flags & GMEM_ZEROINIT) != 0) std::fill_n(block.data.get(), bytes == 0 ? 1 : bytes, Byte{0});
  block.size = bytes;
  Table& table = GetTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const HGLOBAL handle = table.next;
  table.next += 4;
  table.blocks.emplace(handle, std::move(block));
  return handle;
}

void* GlobalLock(HGLOBAL mem) {
  Table& table = GetTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.blocks.find(mem);
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  ++it->second.locks;
  return it->second.data.get();
}

BOOL GlobalUnlock(HGLOBAL mem) {
  Table& table = GetTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.blocks.find(mem);
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (it->second.locks > 0) --it->second.locks;
  return it->second.locks > 0 ? TRUE : FALSE;
}

size_t GlobalSize(HGLOBAL mem) {
  Table& table = GetTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.blocks.find(mem);
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return it->second.size;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, UINT flags) {
  Table& table = GetTable();
  std::unique_ptr<Byte[]> old;  // freed outside the lock
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.blocks.find(mem);
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  Block& block = it->second;
  if (block.locks > 0 && (flags & GMEM_MOVEABLE) == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::unique_ptr<Byte[]> data(new (std::nothrow) Byte[bytes == 0 ? 1 : bytes]);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  const size_t kept = std::min(block.size, bytes);
  std::copy_n(block.data.get(), kept, data.get());
  if (bytes > kept) std::fill_n(data.get() + kept, bytes - kept, Byte{0});
  old = std::move(block.data);
  block.data = std::move(data);
  block.size = bytes;
  return mem;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  Table& table = GetTable();
  std::unique_ptr<Byte[]> doomed;  // freed outside the lock
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.blocks.find(mem);
  if (it == table.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  doomed = std::move(it->second.data);
  table.blocks.erase(it);
  return 0;
}
