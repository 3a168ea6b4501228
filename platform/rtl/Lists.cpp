#include "platform/rtl/Lists.h"

#include <algorithm>
#include <exception>
#include <numeric>
#include <string>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Strings.h"

namespace {

// Stable bottom-up merge sort. Unlike std::sort it stays inside the vector whatever
// the comparison answers, so a careless compare function cannot corrupt memory.
template <class T, class Less>
void MergeSort(std::vector<T>& v, Less less) {
  const size_t n = v.size();
  if (n < 2) return;
  std::vector<T> merged(n);
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n);
      const size_t hi = std::min(lo + 2 * width, n);
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) merged[k++] = less(v[j], v[i]) ? v[j++] : v[i++];
      while (i < mid) merged[k++] = v[i++];
      while (j < hi) merged[k++] = v[j++];
    }
    v.swap(merged);
  }
}

AnsiString IndexMessage(const char* what, Integer index) {
  return AnsiString(what) + " (" + std::to_string(index) + ")";
}

bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= ' ';
}

// BeginUpdate/EndUpdate around a block. An OnChange raised from EndUpdate while
// another exception unwinds is dropped: the first error is the one that matters.
class UpdateScope {
 public:
  explicit UpdateScope(TStrings& strings)
      : strings_(strings), uncaught_(std::uncaught_exceptions()) {
    strings_.BeginUpdate();
  }
  ~UpdateScope() noexcept(false) {
    if (std::uncaught_exceptions() == uncaught_) {
      strings_.EndUpdate();
      return;
    }
    try {
      strings_.EndUpdate();
    } catch (...) {
    }
  }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  TStrings& strings_;
  int uncaught_;
};

}  // namespace

// --- TList ---------------------------------------------------------------------

void TList::CheckIndex(Integer index) const {
  if (index < 0 || index >= GetCount())
    throw EListError(IndexMessage("List index out of bounds", index));
}

void TList::Grow() {
  Integer delta = capacity_ > 64 ? capacity_ / 4 : (capacity_ > 8 ? 16 : 4);
  SetCapacity(std::min(capacity_ + delta, MaxListSize));
}

TList* TList::Expand() {
  if (GetCount() == capacity_) Grow();
  return this;
}

Integer TList::Add(void* item) {
  Expand();
  items_.push_back(item);
  return GetCount() - 1;
}

void TList::Insert(Integer index, void* item) {
  if (index < 0 || index > GetCount())
    throw EListError(IndexMessage("List index out of bounds", index));
  Expand();
  items_.insert(items_.begin() + index, item);
}

void TList::Delete(Integer index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

Integer TList::Remove(void* item) {
  Integer index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  Integer index = IndexOf(item);
  if (index < 0) return nullptr;
  items_.erase(items_.begin() + index);
  return item;
}

Integer TList::IndexOf(void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<Integer>(it - items_.begin());
}

void* TList::Items(Integer index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)];
}

void TList::SetItems(Integer index, void* item) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)] = item;
}

void TList::SetCount(Integer newCount) {
  if (newCount < 0 || newCount > MaxListSize)
    throw EListError(IndexMessage("List count out of bounds", newCount));
  if (newCount > capacity_) SetCapacity(newCount);
  items_.resize(static_cast<size_t>(newCount), nullptr);
}

void TList::SetCapacity(Integer newCapacity) {
  if (newCapacity < GetCount() || newCapacity > MaxListSize)
    throw EListError(IndexMessage("List capacity out of bounds", newCapacity));
  capacity_ = newCapacity;
}

void TList::Clear() {
  items_.clear();
  items_.shrink_to_fit();
  capacity_ = 0;
}

void TList::Exchange(Integer index1, Integer index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
}

void TList::Move(Integer curIndex, Integer newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  void* item = items_[static_cast<size_t>(curIndex)];
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, item);
}

void TList::Pack() { std::erase(items_, nullptr); }

void TList::Sort(const TListSortCompare& compare) {
  MergeSort(items_, [&](void* a, void* b) { return compare(a, b) < 0; });
}

// --- TStrings ------------------------------------------------------------------

void TStrings::Error(const AnsiString& message, Integer data) const {
  throw EStringListError(IndexMessage(message.c_str(), data));
}

void TStrings::SetStrings(Integer index, const AnsiString& s) {
  TObject* object = Objects(index);
  UpdateScope scope(*this);
  Delete(index);
  InsertObject(index, s, object);
}

TObject* TStrings::Objects(Integer) const { return nullptr; }

void TStrings::SetObjects(Integer, TObject*) {}

Integer TStrings::Add(const AnsiString& s) {
  Integer index = GetCount();
  Insert(index, s);
  return index;
}

Integer TStrings::AddObject(const AnsiString& s, TObject* object) {
  Integer index = Add(s);
  SetObjects(index, object);
  return index;
}

void TStrings::InsertObject(Integer index, const AnsiString& s, TObject* object) {
  Insert(index, s);
  SetObjects(index, object);
}

void TStrings::AddStrings(TStrings* strings) {
  if (strings == nullptr) return;
  UpdateScope scope(*this);
  // The count is taken first, so a list can append itself.
  const Integer count = strings->GetCount();
  for (Integer i = 0; i < count; ++i) AddObject(strings->Strings(i), strings->Objects(i));
}

void TStrings::Assign(TPersistent* source) {
  auto* strings = dynamic_cast<TStrings*>(source);
  if (strings == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (strings == this) return;
  UpdateScope scope(*this);
  Clear();
  delimiter_ = strings->delimiter_;
  quoteChar_ = strings->quoteChar_;
  nameValueSeparator_ = strings->nameValueSeparator_;
  AddStrings(strings);
}

void TStrings::Exchange(Integer index1, Integer index2) {
  UpdateScope scope(*this);
  AnsiString s1 = Strings(index1);
  TObject* o1 = Objects(index1);
  SetStrings(index1, Strings(index2));
  SetObjects(index1, Objects(index2));
  SetStrings(index2, s1);
  SetObjects(index2, o1);
}

void TStrings::Move(Integer curIndex, Integer newIndex) {
  if (curIndex == newIndex) return;
  // Both indexes are checked before anything is taken out, so a bad one loses nothing.
  AnsiString s = Strings(curIndex);
  TObject* object = Objects(curIndex);
  if (newIndex < 0 || newIndex >= GetCount()) Error("List index out of bounds", newIndex);
  UpdateScope scope(*this);
  Delete(curIndex);
  InsertObject(newIndex, s, object);
}

Integer TStrings::CompareStrings(const AnsiString& s1, const AnsiString& s2) const {
  return AnsiCompareText(s1, s2);
}

Integer TStrings::IndexOf(const AnsiString& s) const {
  const Integer count = GetCount();
  for (Integer i = 0; i < count; ++i) {
    if (CompareStrings(Strings(i), s) == 0) return i;
  }
  return -1;
}

Integer TStrings::IndexOfName(const AnsiString& name) const {
  const Integer count = GetCount();
  for (Integer i = 0; i < count; ++i) {
    AnsiString s = Strings(i);
    size_t sep = s.find(nameValueSeparator_);
    if (sep != AnsiString::npos && CompareStrings(s.substr(0, sep), name) == 0) return i;
  }
  return -1;
}

Integer TStrings::IndexOfObject(TObject* object) const {
  const Integer count = GetCount();
  for (Integer i = 0; i < count; ++i) {
    if (Objects(i) == object) return i;
  }
  return -1;
}

AnsiString TStrings::Names(Integer index) const {
  AnsiString s = Strings(index);
  size_t sep = s.find(nameValueSeparator_);
  return sep == AnsiString::npos ? AnsiString() : s.substr(0, sep);
}

AnsiString TStrings::Values(const AnsiString& name) const {
  Integer index = IndexOfName(name);
  return index < 0 ? AnsiString() : ValueFromIndex(index);
}

void TStrings::SetValues(const AnsiString& name, const AnsiString& value) {
  Integer index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  AnsiString line = name + nameValueSeparator_ + value;
  if (index < 0)
    Add(line);
  else
    SetStrings(index, line);
}

AnsiString TStrings::ValueFromIndex(Integer index) const {
  if (index < 0) return AnsiString();
  AnsiString s = Strings(index);
  size_t sep = s.find(nameValueSeparator_);
  return sep == AnsiString::npos ? AnsiString() : s.substr(sep + 1);
}

AnsiString TStrings::GetText() const {
  AnsiString text;
  const Integer count = GetCount();
  for (Integer i = 0; i < count; ++i) {
    text += Strings(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(const AnsiString& text) {
  UpdateScope scope(*this);
  Clear();
  const size_t n = text.size();
  size_t start = 0;
  while (start < n) {
    size_t p = start;
    while (p < n && text[p] != '\r' && text[p] != '\n') ++p;
    Add(text.substr(start, p - start));
    if (p < n && text[p] == '\r') ++p;
    if (p < n && text[p] == '\n') ++p;
    start = p;
  }
}

AnsiString TStrings::JoinDelimited(char delimiter, char quote) const {
  const Integer count = GetCount();
  if (count == 1 && Strings(0).empty()) return AnsiString(2, quote);
  AnsiString result;
  for (Integer i = 0; i < count; ++i) {
    AnsiString s = Strings(i);
    bool needsQuotes = std::any_of(s.begin(), s.end(), [&](char c) {
      return static_cast<unsigned char>(c) <= ' ' || c == quote || c == delimiter;
    });
    if (needsQuotes) {
      AnsiString quoted(1, quote);
      for (char c : s) {
        quoted += c;
        if (c == quote) quoted += c;
      }
      quoted += quote;
      s = std::move(quoted);
    }
    if (i > 0) result += delimiter;
    result += s;
  }
  return result;
}

void TStrings::ParseDelimited(const AnsiString& text, char delimiter, char quote) {
  UpdateScope scope(*this);
  Clear();
  // As in the framework, a NUL ends the text.
  const size_t n = std::min(text.find('\0'), text.size());
  size_t p = 0;
  while (p < n && IsBlank(text[p])) ++p;
  while (p < n) {
    AnsiString item;
    if (text[p] == quote) {
      // Up to the closing quote (or the end); doubled quotes stand for one.
      ++p;
      while (p < n) {
        if (text[p] != quote) {
          item += text[p++];
        } else if (p + 1 < n && text[p + 1] == quote) {
          item += quote;
          p += 2;
        } else {
          ++p;
          break;
        }
      }
    } else {
      size_t start = p;
      while (p < n && static_cast<unsigned char>(text[p]) > ' ' && text[p] != delimiter) ++p;
      item = text.substr(start, p - start);
    }
    Add(item);
    while (p < n && IsBlank(text[p])) ++p;
    if (p < n && text[p] == delimiter) {
      // A delimiter that ends the text stands before an empty last item.
      if (p + 1 == n) Add(AnsiString());
      do {
        ++p;
      } while (p < n && IsBlank(text[p]));
    }
  }
}

AnsiString TStrings::GetCommaText() const { return JoinDelimited(',', '"'); }

void TStrings::SetCommaText(const AnsiString& text) { ParseDelimited(text, ',', '"'); }

AnsiString TStrings::GetDelimitedText() const { return JoinDelimited(delimiter_, quoteChar_); }

void TStrings::SetDelimitedText(const AnsiString& text) {
  ParseDelimited(text, delimiter_, quoteChar_);
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  --updateCount_;
  if (updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::LoadFromStream(TStream* stream) {
  Int64 size = stream->GetSize() - stream->GetPosition();
  if (size > 0x7FFFFFFF) throw EReadError("Stream read error");
  AnsiString text(static_cast<size_t>(std::max<Int64>(size, 0)), '\0');
  Integer got = text.empty() ? 0 : stream->Read(text.data(), static_cast<Integer>(text.size()));
  text.resize(static_cast<size_t>(std::max(got, 0)));
  SetText(text);
}

void TStrings::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TStrings::SaveToStream(TStream* stream) const {
  AnsiString text = GetText();
  stream->WriteBuffer(text.data(), static_cast<Integer>(text.size()));
}

void TStrings::SaveToFile(const AnsiString& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

// --- TStringList ---------------------------------------------------------------

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
}

void TStringList::CheckIndex(Integer index) const {
  if (index < 0 || index >= GetCount()) Error("List index out of bounds", index);
}

AnsiString TStringList::Strings(Integer index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].string;
}

void TStringList::SetStrings(Integer index, const AnsiString& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index);
  Changing();
  CheckIndex(index);  // OnChanging may have changed the list
  items_[static_cast<size_t>(index)].string = s;
  Changed();
}

TObject* TStringList::Objects(Integer index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::SetObjects(Integer index, TObject* object) {
  CheckIndex(index);
  Changing();
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

Integer TStringList::Add(const AnsiString& s) { return AddObject(s, nullptr); }

Integer TStringList::AddObject(const AnsiString& s, TObject* object) {
  Integer index = GetCount();
  if (sorted_ && Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EStringListError("String list does not allow duplicates");
  }
  InsertItem(index, s, object);
  return index;
}

void TStringList::Insert(Integer index, const AnsiString& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(Integer index, const AnsiString& s, TObject* object) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > GetCount()) Error("List index out of bounds", index);
  InsertItem(index, s, object);
}

void TStringList::InsertItem(Integer index, const AnsiString& s, TObject* object) {
  Changing();
  if (index > GetCount()) Error("List index out of bounds", index);
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Delete(Integer index) {
  CheckIndex(index);
  Changing();
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Exchange(Integer index1, Integer index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  Changed();
}

Integer TStringList::IndexOf(const AnsiString& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  Integer index = -1;
  return Find(s, index) ? index : -1;
}

bool TStringList::Find(const AnsiString& s, Integer& index) const {
  bool found = false;
  Integer lo = 0;
  Integer hi = GetCount() - 1;
  while (lo <= hi) {
    Integer mid = lo + (hi - lo) / 2;
    Integer c = CompareStrings(items_[static_cast<size_t>(mid)].string, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::Sort() {
  SortBy([](TStringList* list, Integer a, Integer b) {
    return list->CompareStrings(list->items_[static_cast<size_t>(a)].string,
                                list->items_[static_cast<size_t>(b)].string);
  });
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (!sorted_) SortBy(compare);
}

void TStringList::SortBy(const TStringListSortCompare& compare) {
  if (GetCount() < 2) return;
  Changing();
  // Sort a permutation: compare sees the list unchanged while it runs.
  std::vector<Integer> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  MergeSort(order, [&](Integer a, Integer b) { return compare(this, a, b) < 0; });
  if (order.size() != items_.size())
    throw EStringListError("List changed while it was sorted");
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (Integer i : order) sorted.push_back(std::move(items_[static_cast<size_t>(i)]));
  items_ = std::move(sorted);
  Changed();
}

void TStringList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  if (sorted_) Sort();
}

Integer TStringList::CompareStrings(const AnsiString& s1, const AnsiString& s2) const {
  return caseSensitive_ ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating)
    Changing();
  else
    Changed();
}

void TStringList::Changing() {
  if (UpdateCount() != 0 || !OnChanging) return;
  TNotifyEvent handler = OnChanging;  // the handler may reassign the event
  handler(this);
}

void TStringList::Changed() {
  if (UpdateCount() != 0 || !OnChange) return;
  TNotifyEvent handler = OnChange;
  handler(this);
}
