// The item lists: TIEList and its double, integer and record descendants.
#include <cstring>

#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"

namespace {

// The largest block a list keeps.
constexpr Int64 kMaxBlock = INT32_MAX;

}  // namespace

// The base constructor reaches only the base Clear; each descendant's constructor
// calls its own.
TIEList::TIEList() { TIEList::Clear(); }

void TIEList::Clear() {
  count_ = 0;
  data_.clear();
  data_.shrink_to_fit();
  Changed = {};
}

void TIEList::SetCount(Integer value) {
  if (value < 0) return;
  const Int64 bytes = static_cast<Int64>(value) * itemSize_;
  if (bytes > kMaxBlock) throw EOutOfMemory("List too large");
  data_.resize(static_cast<size_t>(bytes), 0);
  count_ = value;
  Changed.Include(ielItems);
}

void TIEList::Delete(Integer index) {
  if (index < 0 || index >= count_) return;
  const auto at = data_.begin() + static_cast<ptrdiff_t>(index) * itemSize_;
  data_.erase(at, at + itemSize_);
  --count_;
  Changed.Include(ielItems);
}

void TIEList::Assign(const TIEList* source) {
  if (source == nullptr || source == this) return;
  count_ = source->count_;
  itemSize_ = source->itemSize_;
  Changed = source->Changed;
  data_ = source->data_;
}

Integer TIEList::AddItem(const void* item) {
  if (count_ == INT32_MAX) throw EOutOfMemory("List too large");
  // Copied first: item may point into this list, which SetCount moves.
  const auto* bytes = static_cast<const Byte*>(item);
  const std::vector<Byte> copy(bytes, bytes + itemSize_);
  SetCount(count_ + 1);
  if (itemSize_ > 0) std::memcpy(BaseGetItem(count_ - 1), copy.data(), copy.size());
  return count_ - 1;
}

void TIEList::InsertItem(Integer index, const void* item) {
  if (index < 0) return;
  if (index >= count_) {
    AddItem(item);
    return;
  }
  if ((static_cast<Int64>(count_) + 1) * itemSize_ > kMaxBlock)
    throw EOutOfMemory("List too large");
  const auto* bytes = static_cast<const Byte*>(item);
  // Copied first: item may point into this list.
  const std::vector<Byte> copy(bytes, bytes + itemSize_);
  data_.insert(data_.begin() + static_cast<ptrdiff_t>(index) * itemSize_, copy.begin(),
               copy.end());
  ++count_;
  Changed.Include(ielItems);
}

Integer TIEList::IndexOfItem(const void* item) const {
  if (itemSize_ == 0) return count_ > 0 ? 0 : -1;
  for (Integer i = 0; i < count_; ++i)
    if (std::memcmp(BaseGetItem(i), item, static_cast<size_t>(itemSize_)) == 0) return i;
  return -1;
}

void* TIEList::BaseGetItem(Integer index) {
  if (index < 0 || index >= count_ || itemSize_ == 0) return nullptr;
  return data_.data() + static_cast<size_t>(index) * static_cast<size_t>(itemSize_);
}

const void* TIEList::BaseGetItem(Integer index) const {
  return const_cast<TIEList*>(this)->BaseGetItem(index);
}

void TIEList::BaseSetItem(Integer index, const void* item) {
  void* target = BaseGetItem(index);
  if (target == nullptr) return;
  std::memmove(target, item, static_cast<size_t>(itemSize_));
  Changed.Include(ielItems);
}

// --- TIERecordList ---------------------------------------------------------------

TIERecordList::TIERecordList(Integer recordSize) { itemSize_ = recordSize > 0 ? recordSize : 0; }
