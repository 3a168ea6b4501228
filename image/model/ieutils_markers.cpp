// TIEMarkerList: the raw JPEG markers of an image and their stream form.
#include <cstring>

#include "image/model/ieutils.h"
#include "image/model/ieutils_internal.h"

using namespace ieutils_detail;

TIEMarkerList::~TIEMarkerList() = default;

TIEMarkerList::Marker TIEMarkerList::MakeMarker(Byte type, const void* data, Integer length) {
  Marker marker{type, std::make_unique<TMemoryStream>()};
  if (length > 0) {
    marker.data->SetSize(length);
    if (data != nullptr) std::memcpy(marker.data->Memory(), data, static_cast<size_t>(length));
  }
  return marker;
}

void TIEMarkerList::CheckIndex(Integer index, bool allowCount) const {
  if (index < 0 || index > GetCount() || (index == GetCount() && !allowCount))
    ListIndexError(index);
}

TMemoryStream* TIEMarkerList::GetMarkerStream(Integer index) {
  CheckIndex(index);
  TMemoryStream* stream = markers_[index].data.get();
  stream->SetPosition(0);
  return stream;
}

void* TIEMarkerList::GetMarkerData(Integer index) {
  CheckIndex(index);
  return markers_[index].data->Memory();
}

Byte TIEMarkerList::GetMarkerType(Integer index) const {
  CheckIndex(index);
  return markers_[index].type;
}

Integer TIEMarkerList::GetMarkerLength(Integer index) const {
  CheckIndex(index);
  return static_cast<Integer>(markers_[index].data->GetSize());
}

Integer TIEMarkerList::IndexOf(Byte markerType) const {
  for (Integer i = 0; i < GetCount(); ++i)
    if (markers_[i].type == markerType) return i;
  return -1;
}

void TIEMarkerList::AddMarker(Byte markerType, const void* data, Word length) {
  markers_.push_back(MakeMarker(markerType, data, length));
}

void TIEMarkerList::SetMarker(Integer index, Byte markerType, const void* data, Word length) {
  CheckIndex(index);
  markers_[index] = MakeMarker(markerType, data, length);
}

void TIEMarkerList::InsertMarker(Integer index, const void* data, Byte markerType, Word length) {
  CheckIndex(index, true);
  markers_.insert(markers_.begin() + index, MakeMarker(markerType, data, length));
}

void TIEMarkerList::DeleteMarker(Integer index) {
  CheckIndex(index);
  markers_.erase(markers_.begin() + index);
}

void TIEMarkerList::Clear() { markers_.clear(); }

void TIEMarkerList::Assign(const TIEMarkerList* source) {
  if (source == nullptr || source == this) return;
  std::vector<Marker> copy;
  copy.reserve(source->markers_.size());
  for (const Marker& marker : source->markers_)
    copy.push_back(MakeMarker(marker.type, marker.data->Memory(),
                              static_cast<Integer>(marker.data->GetSize())));
  markers_ = std::move(copy);
}

void TIEMarkerList::SaveToStream(TStream* stream) const {
  const Byte zero = 0;
  stream->WriteBuffer(&zero, 1);
  WriteInt32(stream, GetCount());
  for (const Marker& marker : markers_) {
    const auto length = static_cast<Integer>(marker.data->GetSize());
    stream->WriteBuffer(&marker.type, 1);
    WriteInt32(stream, length);
    stream->WriteBuffer(marker.data->Memory(), length);
  }
}

bool TIEMarkerList::LoadFromStream(TStream* stream) {
  Clear();
  Byte zero = 0;
  Integer count = 0;
  if (stream->Read(&zero, 1) != 1 || !ReadInt32(stream, count) || count < 0) return false;
  // Every marker takes at least 5 bytes, so the loop ends with the stream.
  for (Integer i = 0; i < count; ++i) {
    Byte type = 0;
    Integer length = 0;
    if (stream->Read(&type, 1) != 1 || !ReadInt32(stream, length)) return false;
    if (length < 0 || length > Remaining(stream)) return false;
    Marker marker = MakeMarker(type, nullptr, length);
    if (length > 0 && stream->Read(marker.data->Memory(), length) != length) return false;
    markers_.push_back(std::move(marker));
  }
  return true;
}
