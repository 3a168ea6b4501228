// Metadata lists and string streams come from image files and parameter streams,
// where anything may have been written. Loads must stay inside the bytes given, and
// what loads must write back as it was read.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("image list");

struct Item {
  Integer record, dataSet;
  std::string data;
  bool operator==(const Item&) const = default;
};

std::vector<Item> Items(const TIEIPTCInfoList& list, bool withoutVersion) {
  std::vector<Item> items;
  for (Integer i = 0; i < list.GetCount(); ++i) {
    const Item item{list.GetRecordNumber(i), list.GetDataSet(i), list.GetStrings(i)};
    if (!(withoutVersion && item.record == 2 && item.dataSet == 0)) items.push_back(item);
  }
  return items;
}

std::string Saved(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.GetSize()));
}

void Markers(const std::string& bytes) {
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  in.SetPosition(0);
  TIEMarkerList list;
  const bool whole = list.LoadFromStream(&in);
  for (Integer i = 0; i < list.GetCount(); ++i)
    Check(list.GetMarkerLength(i) >= 0, "marker lengths are never negative");
  if (!whole) return;
  TMemoryStream out;
  list.SaveToStream(&out);
  const std::string saved = Saved(out);
  Check(static_cast<Int64>(saved.size()) == in.GetPosition(), "a loaded form saves at its size");
  Check(saved.compare(1, std::string::npos, bytes, 1, saved.size() - 1) == 0,
        "a loaded form saves as it was read");
  TIEMarkerList copy;
  copy.Assign(&list);
  Check(copy.GetCount() == list.GetCount(), "a copy has every marker");
}

void Iptc(const std::string& bytes) {
  const std::vector<Byte> exact(bytes.begin(), bytes.end());
  TIEIPTCInfoList list;
  list.LoadFromStandardBuffer(exact.data(), static_cast<Integer>(exact.size()));
  const std::vector<Item> items = Items(list, true);
  for (bool header : {false, true}) {
    std::unique_ptr<Byte[]> block;
    Integer length = 0;
    list.SaveToStandardBuffer(block, length, header);
    Check(length % 2 == 0, "blocks have an even length");
    TIEIPTCInfoList again;
    again.LoadFromStandardBuffer(block.get(), length);
    std::vector<Item> expected = items;
    if (!header) expected.insert(expected.begin(), Item{2, 0, std::string("\x00\x02", 2)});
    // A final dataset without data whose header ends the datasets exactly is not read.
    const std::vector<Item> read = Items(again, false);
    if (!expected.empty() && expected.back().data.empty() && read.size() + 1 == expected.size())
      expected.pop_back();
    Check(read == expected, "a written block reads back");
  }

  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  in.SetPosition(0);
  TIEIPTCInfoList loaded;
  if (!loaded.LoadFromStream(&in)) return;
  TMemoryStream out;
  loaded.SaveToStream(&out);
  const std::string saved = Saved(out);
  Check(static_cast<Int64>(saved.size()) == in.GetPosition(), "a loaded form saves at its size");
  Check(saved.compare(4, std::string::npos, bytes, 4, saved.size() - 4) == 0,
        "a loaded form saves as it was read");
}

void Strings(const std::string& bytes) {
  TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  in.SetPosition(0);
  TStringList list;
  if (!LoadStringListFromStream(&in, &list)) return;
  TMemoryStream out;
  SaveStringListToStream(&out, &list);
  Check(Saved(out) == bytes.substr(0, static_cast<size_t>(in.GetPosition())),
        "a loaded string list saves as it was read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  Markers(bytes);
  Iptc(bytes);
  Strings(bytes);
  return 0;
}
