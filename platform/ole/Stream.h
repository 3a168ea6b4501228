// IStream, the byte stream of COM, over a global memory block
// (CreateStreamOnHGlobal) and over a framework stream (TStreamAdapter).
#pragma once

#include <cstdint>

#include "platform/ole/OleAuto.h"
#include "platform/ole/Unknown.h"
#include "platform/rtl/Streams.h"
#include "platform/win/GlobalMemory.h"

inline constexpr IID IID_ISequentialStream = MakeGuid("{0C733A30-2A1C-11CE-ADE5-00AA0044773D}");
inline constexpr IID IID_IStream = MakeGuid("{0000000C-0000-0000-C000-000000000046}");

struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};

struct STATSTG {
  LPOLESTR pwcsName = nullptr;  // freed with CoTaskMemFree
  DWORD type = 0;
  uint64_t cbSize = 0;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode = 0;
  DWORD grfLocksSupported = 0;
  CLSID clsid;
  DWORD grfStateBits = 0;
  DWORD reserved = 0;
};

inline constexpr DWORD STGTY_STORAGE = 1;
inline constexpr DWORD STGTY_STREAM = 2;
inline constexpr DWORD STGTY_LOCKBYTES = 3;
inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;
inline constexpr DWORD STGM_READ = 0x0;
inline constexpr DWORD STGM_WRITE = 0x1;
inline constexpr DWORD STGM_READWRITE = 0x2;
inline constexpr DWORD STGC_DEFAULT = 0;

struct ISequentialStream : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_ISequentialStream; }
  // Reads up to count bytes; S_OK also at the end (*read tells how many; may be null).
  virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
  virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;
};

struct IStream : ISequentialStream {
  static constexpr const IID& Uuid() noexcept { return IID_IStream; }
  // STG_E_INVALIDFUNCTION for an unknown origin or a position before the start.
  virtual HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) = 0;
  virtual HRESULT SetSize(uint64_t newSize) = 0;
  virtual HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(uint64_t offset, uint64_t count, DWORD lockType) = 0;
  virtual HRESULT UnlockRegion(uint64_t offset, uint64_t count, DWORD lockType) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
  virtual HRESULT Clone(IStream** copy) = 0;
};

// A stream on the movable global block mem, or on a new empty block when mem is 0.
// Its size starts as the block's size; writing past the end and SetSize grow the
// block (its handle stays the same). With deleteOnRelease the block is freed with
// the last reference to the stream; otherwise it stays the caller's. Clones share the
// block and its size, each with its own position. STG_E_MEDIUMFULL when the block
// cannot grow; E_INVALIDARG for a handle that is not a global block.
HRESULT CreateStreamOnHGlobal(HGLOBAL mem, BOOL deleteOnRelease, IStream** stream);
// The block under a stream made by CreateStreamOnHGlobal; E_INVALIDARG for another stream.
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* mem);

// The framework's IStream over a TStream: soReference leaves the stream to its
// owner, soOwned frees it with the adapter. Read and Write go to the stream at its
// position; Stat gives its size; Clone, Commit's transactions, Revert and locks are
// not offered (STG_E_INVALIDFUNCTION / E_NOTIMPL, S_OK for Commit).
enum class TStreamOwnership { soReference, soOwned };
using enum TStreamOwnership;

class TStreamAdapter : public ComObject<IStream> {
 public:
  TStreamAdapter(TStream* stream, TStreamOwnership ownership = soReference)
      : stream_(stream), ownership_(ownership) {}
  TStream* Stream() const noexcept { return stream_; }

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override;
  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override;
  HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) override;
  HRESULT SetSize(uint64_t newSize) override;
  HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override;
  HRESULT Commit(DWORD flags) override;
  HRESULT Revert() override;
  HRESULT LockRegion(uint64_t offset, uint64_t count, DWORD lockType) override;
  HRESULT UnlockRegion(uint64_t offset, uint64_t count, DWORD lockType) override;
  HRESULT Stat(STATSTG* stat, DWORD flags) override;
  HRESULT Clone(IStream** copy) override;

 protected:
  ~TStreamAdapter() override;
  void* QueryInterfaceExtra(REFIID riid) override;

 private:
  TStream* stream_;
  TStreamOwnership ownership_;
};
