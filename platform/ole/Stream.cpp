#include "platform/ole/Stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/ole/Com.h"

namespace {

// The block under one or more HGLOBAL streams (a stream and its clones).
struct SharedBlock {
  HGLOBAL mem = 0;
  uint64_t size = 0;
  bool deleteOnRelease = false;
  ~SharedBlock() {
    if (deleteOnRelease) GlobalFree(mem);
  }
};

// The largest stream: the global block's size is a size_t, the stream's positions
// are written into 32-bit fields by callers; 2 GiB is more than any caller needs.
constexpr uint64_t kMaxStream = 0x7FFFFFFFu;

class HGlobalStream final : public ComObject<IStream> {
 public:
  explicit HGlobalStream(std::shared_ptr<SharedBlock> block) : block_(std::move(block)) {}
  HGLOBAL Handle() const noexcept { return block_->mem; }

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (read) *read = 0;
    if (buffer == nullptr && count > 0) return STG_E_INVALIDPOINTER;
    const uint64_t available = position_ < block_->size ? block_->size - position_ : 0;
    const ULONG n = static_cast<ULONG>(std::min<uint64_t>(count, available));
    if (n > 0) {
      auto* data = static_cast<Byte*>(GlobalLock(block_->mem));
      if (data == nullptr) return E_HANDLE;
      std::memcpy(buffer, data + position_, n);
      GlobalUnlock(block_->mem);
      position_ += n;
    }
    if (read) *read = n;
    return S_OK;
  }

  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (written) *written = 0;
    if (count == 0) return S_OK;
    if (buffer == nullptr) return STG_E_INVALIDPOINTER;
    const uint64_t end = position_ + count;
    if (end > block_->size) {
      const HRESULT hr = SetSize(end);
      if (FAILED(hr)) return hr;
    }
    auto* data = static_cast<Byte*>(GlobalLock(block_->mem));
    if (data == nullptr) return E_HANDLE;
    std::memcpy(data + position_, buffer, count);
    GlobalUnlock(block_->mem);
    position_ = end;
    if (written) *written = count;
    return S_OK;
  }

  HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) override {
    int64_t base = 0;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<int64_t>(position_); break;
      case STREAM_SEEK_END: base = static_cast<int64_t>(block_->size); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    int64_t target = 0;
    if (__builtin_add_overflow(base, move, &target) || target < 0 || static_cast<uint64_t>(target) > kMaxStream) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<uint64_t>(target);
    if (newPosition) *newPosition = position_;
    return S_OK;
  }

  HRESULT SetSize(uint64_t newSize) override {
    if (newSize == block_->size) return S_OK;
    if (newSize > kMaxStream) return STG_E_MEDIUMFULL;
    if (GlobalReAlloc(block_->mem, static_cast<size_t>(newSize), GMEM_MOVEABLE) == 0)
      return GlobalSize(block_->mem) == 0 && block_->size != 0 ? E_HANDLE : STG_E_MEDIUMFULL;
    block_->size = newSize;
    return S_OK;
  }

  HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override {
    if (read) *read = 0;
    if (written) *written = 0;
    if (target == nullptr) return STG_E_INVALIDPOINTER;
    uint64_t copied = 0;
    uint64_t stored = 0;
    Byte chunk[4096];
    while (copied < count) {
      ULONG got = 0;
      const HRESULT hr = Read(chunk, static_cast<ULONG>(std::min<uint64_t>(sizeof chunk, count - copied)), &got);
      if (FAILED(hr)) return hr;
      if (got == 0) break;
      copied += got;
      ULONG put = 0;
      const HRESULT wr = target->Write(chunk, got, &put);
      stored += put;
      if (FAILED(wr)) {
        if (read) *read = copied;
        if (written) *written = stored;
        return wr;
      }
    }
    if (read) *read = copied;
    if (written) *written = stored;
    return S_OK;
  }

  HRESULT Commit(DWORD /*flags*/) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(uint64_t, uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(uint64_t, uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Stat(STATSTG* stat, DWORD /*flags*/) override {
    if (stat == nullptr) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize = block_->size;
    stat->grfMode = STGM_READWRITE;
    return S_OK;
  }

  HRESULT Clone(IStream** copy) override {
    if (copy == nullptr) return STG_E_INVALIDPOINTER;
    auto clone = MakeComObject<HGlobalStream>(block_);
    clone->position_ = position_;
    *copy = clone.Detach();
    return S_OK;
  }

 protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    return riid == IID_ISequentialStream ? static_cast<ISequentialStream*>(this) : nullptr;
  }

 private:
  std::shared_ptr<SharedBlock> block_;
  uint64_t position_ = 0;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL mem, BOOL deleteOnRelease, IStream** stream) {
  if (stream == nullptr) return E_INVALIDARG;
  *stream = nullptr;
  auto block = std::make_shared<SharedBlock>();
  if (mem == 0) {
    mem = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (mem == 0) return E_OUTOFMEMORY;
    block->mem = mem;
    // Without deleteOnRelease the caller learns the block through
    // GetHGlobalFromStream and frees it.
    block->deleteOnRelease = deleteOnRelease != FALSE;
  } else {
    if (GlobalLock(mem) == nullptr) return E_INVALIDARG;
    GlobalUnlock(mem);
    block->mem = mem;
    block->size = GlobalSize(mem);
    block->deleteOnRelease = deleteOnRelease != FALSE;
  }
  *stream = MakeComObject<HGlobalStream>(std::move(block)).Detach();
  return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* mem) {
  if (mem == nullptr) return E_INVALIDARG;
  *mem = 0;
  // Only our own streams answer; the object is recognised by its class.
  auto* ours = dynamic_cast<HGlobalStream*>(stream);
  if (ours == nullptr) return E_INVALIDARG;
  *mem = ours->Handle();
  return S_OK;
}

// --- TStreamAdapter ---

TStreamAdapter::~TStreamAdapter() {
  if (ownership_ == soOwned) delete stream_;
}

void* TStreamAdapter::QueryInterfaceExtra(REFIID riid) {
  return riid == IID_ISequentialStream ? static_cast<ISequentialStream*>(this) : nullptr;
}

HRESULT TStreamAdapter::Read(void* buffer, ULONG count, ULONG* read) {
  if (read) *read = 0;
  if (buffer == nullptr && count > 0) return STG_E_INVALIDPOINTER;
  try {
    const ULONG n = static_cast<ULONG>(stream_->Read(buffer, static_cast<Integer>(std::min<ULONG>(count, 0x7FFFFFFF))));
    if (read) *read = n;
    return S_OK;
  } catch (const Exception&) {
    return S_FALSE;
  }
}

HRESULT TStreamAdapter::Write(const void* buffer, ULONG count, ULONG* written) {
  if (written) *written = 0;
  if (buffer == nullptr && count > 0) return STG_E_INVALIDPOINTER;
  try {
    const ULONG n = static_cast<ULONG>(stream_->Write(buffer, static_cast<Integer>(std::min<ULONG>(count, 0x7FFFFFFF))));
    if (written) *written = n;
    return n == count ? S_OK : STG_E_CANTSAVE;
  } catch (const Exception&) {
    return STG_E_CANTSAVE;
  }
}

HRESULT TStreamAdapter::Seek(int64_t move, DWORD origin, uint64_t* newPosition) {
  TSeekOrigin from;
  switch (origin) {
    case STREAM_SEEK_SET: from = soBeginning; break;
    case STREAM_SEEK_CUR: from = soCurrent; break;
    case STREAM_SEEK_END: from = soEnd; break;
    default: return STG_E_INVALIDFUNCTION;
  }
  try {
    const Int64 at = stream_->Seek(move, from);
    if (at < 0) return STG_E_INVALIDFUNCTION;
    if (newPosition) *newPosition = static_cast<uint64_t>(at);
    return S_OK;
  } catch (const Exception&) {
    return STG_E_INVALIDPOINTER;
  }
}

HRESULT TStreamAdapter::SetSize(uint64_t newSize) {
  if (newSize > static_cast<uint64_t>(std::numeric_limits<Int64>::max())) return STG_E_INVALIDFUNCTION;
  try {
    stream_->SetSize(static_cast<Int64>(newSize));
    return S_OK;
  } catch (const Exception&) {
    return E_UNEXPECTED;
  }
}

HRESULT TStreamAdapter::CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) {
  if (read) *read = 0;
  if (written) *written = 0;
  if (target == nullptr) return STG_E_INVALIDPOINTER;
  uint64_t copied = 0;
  uint64_t stored = 0;
  Byte chunk[4096];
  while (copied < count) {
    ULONG got = 0;
    Read(chunk, static_cast<ULONG>(std::min<uint64_t>(sizeof chunk, count - copied)), &got);
    if (got == 0) break;
    copied += got;
    ULONG put = 0;
    const HRESULT hr = target->Write(chunk, got, &put);
    stored += put;
    if (FAILED(hr)) break;
  }
  if (read) *read = copied;
  if (written) *written = stored;
  return S_OK;
}

HRESULT TStreamAdapter::Commit(DWORD /*flags*/) { return S_OK; }
HRESULT TStreamAdapter::Revert() { return STG_E_REVERTED; }
HRESULT TStreamAdapter::LockRegion(uint64_t, uint64_t, DWORD) { return STG_E_INVALIDFUNCTION; }
HRESULT TStreamAdapter::UnlockRegion(uint64_t, uint64_t, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TStreamAdapter::Stat(STATSTG* stat, DWORD /*flags*/) {
  if (stat == nullptr) return STG_E_INVALIDPOINTER;
  *stat = STATSTG{};
  stat->type = STGTY_STREAM;
  try {
    stat->cbSize = static_cast<uint64_t>(stream_->GetSize());
  } catch (const Exception&) {
    return E_UNEXPECTED;
  }
  return S_OK;
}

HRESULT TStreamAdapter::Clone(IStream** copy) {
  if (copy) *copy = nullptr;
  return E_NOTIMPL;
}
