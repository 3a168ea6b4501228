// TBuffer: one fixed-size block of the socket's send queue.
//
// Bytes are written at the write count and taken out at the read count
// (read count <= write count <= capacity). Space is reused only once everything
// written has been read: both counts then return to 0.
#pragma once

#include <memory>

#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"

class TBuffer : public TObject {
 public:
  LARK_CLASS_NAME(TBuffer)
  // The block size used when none (or a size <= 0) is given.
  static constexpr Integer kDefaultSize = 1514;

  explicit TBuffer(Integer size);
  ~TBuffer() override;
  TBuffer(const TBuffer&) = delete;
  TBuffer& operator=(const TBuffer&) = delete;

  // Size <= 0 means kDefaultSize; the same size changes nothing. The bytes written so
  // far are kept. A size smaller than the write count would lose data and raises
  // EInvalidOperation, leaving the block as it was.
  void SetBufSize(Integer size);
  Integer GetBufSize() const noexcept { return bufSize_; }

  // Copies min(len, free space) bytes after those written; answers that number
  // (0 when the block is full, or for len <= 0).
  Integer Write(const void* data, Integer len);
  // Copies min(len, unread) bytes out; answers that number. Both counts return to 0
  // once everything written has been read.
  Integer Read(void* data, Integer len);
  // The unread bytes and their number in len; null and 0 when there are none.
  const Byte* Peek(Integer& len) const noexcept;
  // Drops min(len, unread) bytes as Read would; answers that number.
  Integer Remove(Integer len);

  Integer GetWrCount() const noexcept { return wrCount_; }
  Integer GetRdCount() const noexcept { return rdCount_; }
  // Bytes written and not yet read.
  Integer DataCount() const noexcept { return wrCount_ - rdCount_; }

 private:
  void Consume(Integer count) noexcept;

  struct FreeBlock {
    void operator()(Byte* p) const noexcept;
  };
  std::unique_ptr<Byte, FreeBlock> buf_;
  Integer bufSize_ = 0;
  Integer wrCount_ = 0;
  Integer rdCount_ = 0;
};
