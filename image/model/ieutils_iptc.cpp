// TIEIPTCInfoList: IPTC items, their stream form and the IPTC-IIM block.
#include <algorithm>
#include <cstring>

#include "image/model/ieutils.h"
#include "image/model/ieutils_internal.h"

using namespace ieutils_detail;

namespace {

constexpr Byte kTagMarker = 0x1C;
constexpr char kPhotoshopSignature[] = "Photoshop 3.0";  // followed by a 0 byte
constexpr Integer kPhotoshopSignatureLength = 14;
constexpr Word kIptcResource = 0x0404;

DWORD BigEndian32(const Byte* p) {
  return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) |
         (static_cast<DWORD>(p[2]) << 8) | p[3];
}

Word BigEndian16(const Byte* p) { return static_cast<Word>((p[0] << 8) | p[1]); }

void PutBigEndian32(Byte* p, DWORD v) {
  p[0] = static_cast<Byte>(v >> 24);
  p[1] = static_cast<Byte>(v >> 16);
  p[2] = static_cast<Byte>(v >> 8);
  p[3] = static_cast<Byte>(v);
}

// In a Photoshop block, the IIM datasets are the data of image resource 0x0404; the
// other resources hold binary data in which a tag marker byte means nothing. Finds
// that resource and narrows [start, end) to it; false when the block has none.
bool FindIptcResource(const Byte* p, Int64& start, Int64& end) {
  Int64 pos = kPhotoshopSignatureLength;
  while (pos + 12 <= end && std::memcmp(p + pos, "8BIM", 4) == 0) {
    const Word id = BigEndian16(p + pos + 4);
    const Int64 nameLength = (p[pos + 6] + 2) & ~1;  // Pascal string padded to even
    const Int64 sizeAt = pos + 6 + nameLength;
    if (sizeAt + 4 > end) return false;
    const Int64 size = BigEndian32(p + sizeAt);
    const Int64 dataAt = sizeAt + 4;
    if (id == kIptcResource) {
      start = dataAt;
      end = std::min(end, dataAt + size);
      return true;
    }
    pos = dataAt + size + (size & 1);
  }
  return false;
}

}  // namespace

TIEIPTCInfoList::~TIEIPTCInfoList() = default;

TIEIPTCInfoList::Item TIEIPTCInfoList::MakeItem(Integer recordNumber, Integer dataSet,
                                                const void* data, Integer length) {
  Item item;
  item.info = {recordNumber, dataSet, length > 0 ? length : 0};
  if (length > 0) {
    item.data.resize(static_cast<size_t>(length));
    if (data != nullptr) std::memcpy(item.data.data(), data, item.data.size());
  }
  return item;
}

void TIEIPTCInfoList::CheckIndex(Integer index, bool allowCount) const {
  if (index < 0 || index > GetCount() || (index == GetCount() && !allowCount))
    ListIndexError(index);
}

AnsiString TIEIPTCInfoList::GetStrings(Integer index) const {
  if (index < 0 || index >= GetCount()) return {};
  const std::vector<Byte>& data = items_[index].data;
  return AnsiString(data.begin(), data.end());
}

void TIEIPTCInfoList::SetStrings(Integer index, const AnsiString& value) {
  CheckIndex(index);
  Item& item = items_[index];
  item = MakeItem(item.info.RecordNumber, item.info.DataSet, value.data(),
                  static_cast<Integer>(value.size()));
  modified_ = true;
}

Integer TIEIPTCInfoList::GetRecordNumber(Integer index) const {
  CheckIndex(index);
  return items_[index].info.RecordNumber;
}

void TIEIPTCInfoList::SetRecordNumber(Integer index, Integer value) {
  CheckIndex(index);
  items_[index].info.RecordNumber = value;
  modified_ = true;
}

Integer TIEIPTCInfoList::GetDataSet(Integer index) const {
  CheckIndex(index);
  return items_[index].info.DataSet;
}

void TIEIPTCInfoList::SetDataSet(Integer index, Integer value) {
  CheckIndex(index);
  items_[index].info.DataSet = value;
  modified_ = true;
}

const TIPTCInfo& TIEIPTCInfoList::GetInfo(Integer index) const {
  CheckIndex(index);
  return items_[index].info;
}

const Byte* TIEIPTCInfoList::GetData(Integer index) const {
  CheckIndex(index);
  return items_[index].data.data();
}

Integer TIEIPTCInfoList::AddStringItem(Integer recordNumber, Integer dataSet,
                                       const AnsiString& value) {
  return AddBufferItem(recordNumber, dataSet, value.data(), static_cast<Integer>(value.size()));
}

Integer TIEIPTCInfoList::AddBufferItem(Integer recordNumber, Integer dataSet, const void* buffer,
                                       Integer bufferLength) {
  items_.push_back(MakeItem(recordNumber, dataSet, buffer, bufferLength));
  modified_ = true;
  return GetCount() - 1;
}

void TIEIPTCInfoList::InsertStringItem(Integer index, Integer recordNumber, Integer dataSet,
                                       const AnsiString& value) {
  CheckIndex(index, true);
  items_.insert(items_.begin() + index, MakeItem(recordNumber, dataSet, value.data(),
                                                 static_cast<Integer>(value.size())));
  modified_ = true;
}

Integer TIEIPTCInfoList::IndexOf(Integer recordNumber, Integer dataSet) const {
  for (Integer i = 0; i < GetCount(); ++i)
    if (items_[i].info.RecordNumber == recordNumber && items_[i].info.DataSet == dataSet)
      return i;
  return -1;
}

void TIEIPTCInfoList::DeleteItem(Integer index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  modified_ = true;
}

void TIEIPTCInfoList::Clear() {
  items_.clear();
  modified_ = true;
}

void TIEIPTCInfoList::Assign(const TIEIPTCInfoList* source) {
  if (source == nullptr || source == this) return;
  items_ = source->items_;
  modified_ = true;
}

void TIEIPTCInfoList::SaveToStream(TStream* stream) const {
  WriteInt32(stream, 0);
  WriteInt32(stream, GetCount());
  for (const Item& item : items_) {
    WriteInt32(stream, item.info.RecordNumber);
    WriteInt32(stream, item.info.DataSet);
    WriteInt32(stream, item.info.DataLength);
    stream->WriteBuffer(item.data.data(), item.info.DataLength);
  }
}

bool TIEIPTCInfoList::LoadFromStream(TStream* stream) {
  Clear();
  Integer ignored = 0;
  Integer count = 0;
  if (!ReadInt32(stream, ignored) || !ReadInt32(stream, count) || count < 0) return false;
  // Every item takes at least 12 bytes, so the loop ends with the stream.
  for (Integer i = 0; i < count; ++i) {
    TIPTCInfo info;
    if (!ReadInt32(stream, info.RecordNumber) || !ReadInt32(stream, info.DataSet) ||
        !ReadInt32(stream, info.DataLength))
      return false;
    if (info.DataLength < 0 || info.DataLength > Remaining(stream)) return false;
    Item item = MakeItem(info.RecordNumber, info.DataSet, nullptr, info.DataLength);
    if (info.DataLength > 0 && stream->Read(item.data.data(), info.DataLength) != info.DataLength)
      return false;
    items_.push_back(std::move(item));
  }
  return true;
}

void TIEIPTCInfoList::SaveToStandardBuffer(std::unique_ptr<Byte[]>& buffer,
                                           Integer& bufferLength, bool writeHeader) const {
  std::vector<Byte> out;
  if (writeHeader) {
    out.assign(kPhotoshopSignature, kPhotoshopSignature + kPhotoshopSignatureLength);
    const Byte resource[] = {'8', 'B', 'I', 'M', 0x04, 0x04, 0x00, 0x00, 0, 0, 0, 0};
    out.insert(out.end(), resource, resource + sizeof resource);
  } else {
    // The record version: record 2, dataset 0, length 2, value 2.
    const Byte version[] = {kTagMarker, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};
    out.assign(version, version + sizeof version);
  }
  Int64 resourceSize = 0;
  for (const Item& item : items_) {
    if (item.info.RecordNumber == 2 && item.info.DataSet == 0) continue;
    const auto length = static_cast<DWORD>(item.info.DataLength);
    out.push_back(kTagMarker);
    out.push_back(static_cast<Byte>(item.info.RecordNumber));
    out.push_back(static_cast<Byte>(item.info.DataSet));
    if (length <= 0x7FFF) {
      out.push_back(static_cast<Byte>(length >> 8));
      out.push_back(static_cast<Byte>(length));
      resourceSize += 5 + Int64{length};
    } else {
      // Extended dataset: bit 15 set and the number of length bytes (4), then the length.
      out.push_back(0x80);
      out.push_back(0x04);
      Byte big[4];
      PutBigEndian32(big, length);
      out.insert(out.end(), big, big + 4);
      resourceSize += 9 + Int64{length};
    }
    out.insert(out.end(), item.data.begin(), item.data.end());
    if (out.size() >= static_cast<size_t>(INT32_MAX))
      throw EOutOfMemory("IPTC block too large");
  }
  if (out.size() % 2 != 0) out.push_back(0);
  if (writeHeader) PutBigEndian32(out.data() + 22, static_cast<DWORD>(resourceSize));
  buffer = std::make_unique<Byte[]>(out.size());
  std::memcpy(buffer.get(), out.data(), out.size());
  bufferLength = static_cast<Integer>(out.size());
}

void TIEIPTCInfoList::LoadFromStandardBuffer(const void* buffer, Integer bufferLength) {
  items_.clear();
  modified_ = false;
  if (buffer == nullptr || bufferLength <= 0) return;
  const auto* p = static_cast<const Byte*>(buffer);
  Int64 i = 0;
  Int64 end = bufferLength;
  if (end >= kPhotoshopSignatureLength &&
      std::memcmp(p, kPhotoshopSignature, kPhotoshopSignatureLength) == 0 &&
      !FindIptcResource(p, i, end))
    return;
  while (i < end && p[i] != kTagMarker) ++i;
  while (i < end) {
    if (p[i] != kTagMarker || i + 5 >= end) break;
    const Byte record = p[i + 1];
    const Byte dataSet = p[i + 2];
    Int64 length = 0;
    Int64 dataStart = 0;
    if (p[i + 3] & 0x80) {
      // Extended dataset: four length bytes are assumed.
      if (i + 9 > end) break;
      length = BigEndian32(p + i + 5);
      dataStart = i + 9;
    } else {
      length = BigEndian16(p + i + 3);
      dataStart = i + 5;
    }
    if (length > end - dataStart) break;
    items_.push_back(MakeItem(record, dataSet, p + dataStart, static_cast<Integer>(length)));
    i = dataStart + length;
  }
}
