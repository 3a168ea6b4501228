// Builds small TIFF files by hand, in either byte order, for the tag and reader
// tests: pages of entries whose values go inline when they fit in four bytes and
// after the header otherwise, chained in order (or as a test bends the chain).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tifftest {

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

  // Entries of the page being built.
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

  // Ends the page being built. A page outside the chain is a sub-directory (EXIF),
  // reached through PageOffset.
  void EndPage(bool chained = true) {
    std::stable_sort(page_.begin(), page_.end(), [](const Item& a, const Item& b) { return a.tag < b.tag; });
    pages_.push_back(page_);
    chained_.push_back(chained);
    page_.clear();
  }
  // A LONG entry holding the offset of page `page` (resolved when the file is built).
  void PageOffset(uint16_t tag, size_t page) {
    std::string e;
    Put16(e, tag);
    Put16(e, 4);
    Put32(e, 1);
    Put32(e, 0);
    Add({tag, e, static_cast<int>(page)});
  }
  // Makes the next offset of page `from` point at page `to` (-1: at no page, 0 ends).
  void LinkPage(size_t from, int to) { links_.push_back({from, to}); }

  std::string Build() const {
    std::vector<unsigned char> out = data_;
    out[0] = out[1] = intel_ ? 'I' : 'M';
    std::string h;
    Put16(h, 42);
    out[2] = static_cast<unsigned char>(h[0]);
    out[3] = static_cast<unsigned char>(h[1]);
    std::vector<uint32_t> at;
    uint32_t pos = static_cast<uint32_t>(out.size());
    for (const auto& p : pages_) {
      at.push_back(pos);
      pos += 2 + 12 * static_cast<uint32_t>(p.size()) + 4;
    }
    std::string first;
    Put32(first, pages_.empty() ? 0 : at[0]);
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
    int page = -1;  // PageOffset: the page whose offset goes in the value
  };

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

  // A tag given again replaces the page's earlier entry.
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

}  // namespace tifftest
