#include "net/WSockBuf.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/rtl/Exceptions.h"

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// A block of size bytes, not zeroed. Blocks of whole huge pages (large sends queue
// such blocks) are aligned to them and ask for huge pages, so that filling one
// faults once rather than once per 4 KiB page.
Byte* AllocateBlock(size_t size) {
  void* p = nullptr;
  if (size >= kHugePage && size % kHugePage == 0) {
    p = std::aligned_alloc(kHugePage, size);
    if (p != nullptr) madvise(p, size, MADV_HUGEPAGE);
  } else {
    p = std::malloc(size);
  }
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<Byte*>(p);
}

}  // namespace

void TBuffer::FreeBlock::operator()(Byte* p) const noexcept { std::free(p); }

TBuffer::TBuffer(Integer size) { SetBufSize(size); }

TBuffer::~TBuffer() = default;

void TBuffer::SetBufSize(Integer size) {
  if (size <= 0) size = kDefaultSize;
  if (size == bufSize_) return;
  if (size < wrCount_)
    throw EInvalidOperation("TBuffer.SetBufSize: the new size is smaller than the data held");
  std::unique_ptr<Byte, FreeBlock> block(AllocateBlock(static_cast<size_t>(size)));
  if (wrCount_ > rdCount_) std::memcpy(block.get(), buf_.get(), static_cast<size_t>(wrCount_));
  buf_ = std::move(block);
  bufSize_ = size;
}

Integer TBuffer::Write(const void* data, Integer len) {
  if (len <= 0 || data == nullptr) return 0;
  const Integer count = std::min(len, bufSize_ - wrCount_);
  if (count <= 0) return 0;
  std::memcpy(buf_.get() + wrCount_, data, static_cast<size_t>(count));
  wrCount_ += count;
  return count;
}

Integer TBuffer::Read(void* data, Integer len) {
  if (len <= 0 || data == nullptr) return 0;
  const Integer count = std::min(len, wrCount_ - rdCount_);
  if (count <= 0) return 0;
  std::memcpy(data, buf_.get() + rdCount_, static_cast<size_t>(count));
  Consume(count);
  return count;
}

const Byte* TBuffer::Peek(Integer& len) const noexcept {
  len = wrCount_ - rdCount_;
  if (len <= 0) {
    len = 0;
    return nullptr;
  }
  return buf_.get() + rdCount_;
}

Integer TBuffer::Remove(Integer len) {
  if (len <= 0) return 0;
  const Integer count = std::min(len, wrCount_ - rdCount_);
  if (count <= 0) return 0;
  Consume(count);
  return count;
}

void TBuffer::Consume(Integer count) noexcept {
  rdCount_ += count;
  if (rdCount_ >= wrCount_) {
    rdCount_ = 0;
    wrCount_ = 0;
  }
}
