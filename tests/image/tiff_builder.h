// Builds small TIFF files by hand, in either byte order, for the tag, reader, page
// and EXIF tests: directories of entries whose values go inline when they fit in
// four bytes and after the header otherwise, strips and other data placed after
// the header, directories chained in order (or as a test bends the chain) or
// reached as sub-directories, and raw entries whose counts or offsets the file
// cannot hold. The position of every directory and entry is known, so that a test
// can damage the built file on purpose.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace larktest {

class TiffBuilder {
 public:
  explicit TiffBuilder(bool intel) : intel_(intel) { data_.assign(8, 0); }

  // Raw bytes placed in the file; answers their offset.
  uint32_t AddData(const std::string& bytes) {
    const uint32_t off = static_cast<uint32_t>(data_.size());
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    if (data_.size() % 2) data_.push_back(0);
    return off;
  }

  // Entries of the directory being built.
  void ByteArray(uint16_t tag, const std::string& bytes) {
    Entry(tag, 1, static_cast<uint32_t>(bytes.size()), bytes);
  }
  void Short(uint16_t tag, const std::vector<uint16_t>& v) {
    std::string b;
    for (uint16_t x : v) Put16(b, x);
    Entry(tag, 3, static_cast<uint32_t>(v.size()), b);
  }
  void Long(uint16_t tag, const std::vector<uint32_t>& v) {
    std::string b;
    for (uint32_t x : v) Put32(b, x);
    Entry(tag, 4, static_cast<uint32_t>(v.size()), b);
  }
  void Rational(uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& v) {
    std::string b;
    for (const auto& r : v) {
      Put32(b, r.first);
      Put32(b, r.second);
    }
    Entry(tag, 5, static_cast<uint32_t>(v.size()), b);
  }
  // The text as given: add the NUL yourself when the file should have one.
  void Ascii(uint16_t tag, const std::string& text) {
    Entry(tag, 2, static_cast<uint32_t>(text.size()), text);
  }
  void Undefined(uint16_t tag, const std::string& bytes) {
    Entry(tag, 7, static_cast<uint32_t>(bytes.size()), bytes);
  }
  // An entry with a Value field given as it stands in the file (offset or inline).
  void RawEntry(uint16_t tag, uint16_t type, uint32_t count, uint32_t valueField) {
    std::string e;
    Put16(e, tag);
    Put16(e, type);
    Put32(e, count);
    Put32(e, valueField);
    Add({tag, e});
  }
  // Data placed in the file and a LONG entry holding its offset.
  void Blob(uint16_t tag, const std::string& bytes) { Long(tag, {AddData(bytes)}); }

  // Strips placed one after another, with their StripOffsets (LONG, or SHORT with
  // shortOffsets) and, unless withByteCounts is false, StripByteCounts entries.
  void Strips(const std::vector<std::string>& strips, bool shortOffsets = false,
              bool withByteCounts = true) {
    std::vector<uint32_t> offsets, counts;
    for (const std::string& s : strips) {
      offsets.push_back(static_cast<uint32_t>(data_.size()));
      counts.push_back(static_cast<uint32_t>(s.size()));
      data_.insert(data_.end(), s.begin(), s.end());
    }
    if (data_.size() % 2) data_.push_back(0);
    if (shortOffsets)
      Short(273, std::vector<uint16_t>(offsets.begin(), offsets.end()));
    else
      Long(273, offsets);
    if (withByteCounts) Long(279, counts);
  }

  // The entries and strips of an uncompressed 8-bit grey page of width x height
  // (pixels top-down), its rows split into strips of rowsPerStrip rows.
  void GreyPage(uint32_t width, uint32_t height, const std::string& pixels, uint32_t rowsPerStrip,
                bool shortOffsets = false) {
    Long(256, {width});
    Long(257, {height});
    Short(258, {8});
    Short(259, {1});
    Short(262, {1});
    Short(277, {1});
    Long(278, {rowsPerStrip});
    std::vector<std::string> strips;
    for (uint32_t y = 0; y < height; y += rowsPerStrip) {
      const uint32_t rows = std::min(rowsPerStrip, height - y);
      strips.push_back(pixels.substr(size_t{y} * width, size_t{rows} * width));
    }
    Strips(strips, shortOffsets);
  }

  // Ends the directory being built. A directory outside the chain is a
  // sub-directory (EXIF), reached through PageOffset.
  void EndPage(bool chained = true) {
    std::stable_sort(page_.begin(), page_.end(), [](const Item& a, const Item& b) { return a.tag < b.tag; });
    pages_.push_back(page_);
    chained_.push_back(chained);
    page_.clear();
  }
  // A LONG entry holding the offset of directory `page` (resolved when the file is
  // built).
  void PageOffset(uint16_t tag, size_t page) {
    std::string e;
    Put16(e, tag);
    Put16(e, 4);
    Put32(e, 1);
    Put32(e, 0);
    Add({tag, e, static_cast<int>(page)});
  }
  // Makes the next offset of directory `from` point at directory `to` (-1: at none,
  // which ends the chain).
  void LinkPage(size_t from, int to) { links_.push_back({from, to}); }

  std::string Build() const {
    std::vector<unsigned char> out = data_;
    out[0] = out[1] = intel_ ? 'I' : 'M';
    std::string h;
    Put16(h, 42);
    out[2] = static_cast<unsigned char>(h[0]);
    out[3] = static_cast<unsigned char>(h[1]);
    const std::vector<uint32_t> at = DirOffsets();
    uint32_t firstChained = 0;
    for (size_t i = 0; i < pages_.size(); ++i)
      if (chained_[i]) {
        firstChained = at[i];
        break;
      }
    std::string first;
    Put32(first, firstChained);
    std::copy(first.begin(), first.end(), out.begin() + 4);
    for (size_t i = 0; i < pages_.size(); ++i) {
      std::string d;
      Put16(d, static_cast<uint16_t>(pages_[i].size()));
      for (const auto& e : pages_[i]) {
        std::string bytes = e.bytes;
        if (e.page >= 0) {
          std::string v;
          Put32(v, at[static_cast<size_t>(e.page)]);
          bytes.replace(8, 4, v);
        }
        d += bytes;
      }
      uint32_t next = 0;
      for (size_t j = i + 1; j < pages_.size() && chained_[i]; ++j)
        if (chained_[j]) {
          next = at[j];
          break;
        }
      for (const auto& l : links_)
        if (l.first == i) next = l.second < 0 ? 0 : at[static_cast<size_t>(l.second)];
      Put32(d, next);
      out.insert(out.end(), d.begin(), d.end());
    }
    return std::string(out.begin(), out.end());
  }

  // Positions in the built file, by directory in the order they were ended
  // (sub-directories included): the directory, its next-directory offset, and the
  // entry of a tag.
  uint32_t DirAt(size_t page) const { return DirOffsets().at(page); }
  size_t NextAt(size_t page) const { return DirAt(page) + 2 + 12 * pages_.at(page).size(); }
  size_t EntryAt(size_t page, uint16_t tag) const {
    const std::vector<Item>& entries = pages_.at(page);
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].tag == tag) return DirAt(page) + 2 + 12 * i;
    return SIZE_MAX;
  }

  // Overwrites a value of the built file in its byte order.
  void Patch16(std::string& file, size_t at, uint16_t v) const {
    for (size_t i = 0; i < 2; ++i) file.at(at + (intel_ ? i : 1 - i)) = static_cast<char>(v >> (8 * i));
  }
  void Patch32(std::string& file, size_t at, uint32_t v) const {
    for (size_t i = 0; i < 4; ++i) file.at(at + (intel_ ? i : 3 - i)) = static_cast<char>(v >> (8 * i));
  }

  void Put16(std::string& s, uint16_t v) const {
    if (intel_) {
      s += static_cast<char>(v & 0xFF);
      s += static_cast<char>(v >> 8);
    } else {
      s += static_cast<char>(v >> 8);
      s += static_cast<char>(v & 0xFF);
    }
  }
  void Put32(std::string& s, uint32_t v) const {
    if (intel_) {
      Put16(s, static_cast<uint16_t>(v & 0xFFFF));
      Put16(s, static_cast<uint16_t>(v >> 16));
    } else {
      Put16(s, static_cast<uint16_t>(v >> 16));
      Put16(s, static_cast<uint16_t>(v & 0xFFFF));
    }
  }

 private:
  struct Item {
    uint16_t tag;
    std::string bytes;
    int page = -1;  // PageOffset: the directory whose offset goes in the value
  };

  // Directories follow the data, in the order they were ended.
  std::vector<uint32_t> DirOffsets() const {
    std::vector<uint32_t> at;
    uint32_t pos = static_cast<uint32_t>(data_.size());
    for (const auto& p : pages_) {
      at.push_back(pos);
      pos += 2 + 12 * static_cast<uint32_t>(p.size()) + 4;
    }
    return at;
  }

  void Entry(uint16_t tag, uint16_t type, uint32_t count, const std::string& bytes) {
    std::string e;
    Put16(e, tag);
    Put16(e, type);
    Put32(e, count);
    if (bytes.size() <= 4) {
      std::string v = bytes;
      v.resize(4, '\0');
      e += v;
    } else {
      Put32(e, AddData(bytes));
    }
    Add({tag, e});
  }

  // A tag given again replaces the directory's earlier entry.
  void Add(const Item& item) {
    for (Item& i : page_)
      if (i.tag == item.tag) {
        i = item;
        return;
      }
    page_.push_back(item);
  }

  bool intel_;
  std::vector<unsigned char> data_;
  std::vector<Item> page_;
  std::vector<std::vector<Item>> pages_;
  std::vector<bool> chained_;
  std::vector<std::pair<size_t, int>> links_;
};

}  // namespace larktest
