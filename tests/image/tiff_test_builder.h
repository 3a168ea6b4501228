// A small TIFF writer for tests: pages of hand-picked entries, strip data, EXIF
// sub-directories, either byte order, with the position of every directory and
// entry recorded so that a test can damage the file on purpose.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace larktest {

class TiffBuilder {
 public:
  struct Entry {
    uint16_t Tag = 0;
    uint16_t Type = 0;
    std::vector<uint32_t> Values;  // SHORT, LONG, RATIONAL (pairs) values
    std::string Bytes;             // BYTE, ASCII, UNDEFINED data (Count = size)
  };
  struct Dir {
    std::vector<Entry> Entries;
    std::vector<std::string> Strips;  // written first; 273/279 added for them
    uint16_t OffsetType = 4;          // type of the StripOffsets entry
    bool WithByteCounts = true;
    std::map<uint16_t, Dir> SubDirs;  // tag -> directory pointed to (LONG entry)
    std::map<uint16_t, std::string> Blobs;  // tag -> data pointed to (LONG entry)
  };

  explicit TiffBuilder(bool intel) : intel_(intel) {}

  // An 8-bit grey page of width x height whose rows are split into strips of
  // rowsPerStrip rows.
  static Dir GrayPage(uint32_t width, uint32_t height, const std::string& pixels,
                      uint32_t rowsPerStrip) {
    Dir d;
    d.Entries = {{256, 4, {width}, {}}, {257, 4, {height}, {}}, {258, 3, {8}, {}},
                 {259, 3, {1}, {}},     {262, 3, {1}, {}},      {277, 3, {1}, {}},
                 {278, 4, {rowsPerStrip}, {}}};
    for (uint32_t y = 0; y < height; y += rowsPerStrip) {
      const uint32_t rows = std::min(rowsPerStrip, height - y);
      d.Strips.push_back(pixels.substr(size_t(y) * width, size_t(rows) * width));
    }
    return d;
  }

  std::string Build(const std::vector<Dir>& pages) {
    out_.assign(intel_ ? "II" : "MM");
    Put16(42);
    Put32(0);
    size_t link = 4;
    dirAt_.clear();
    entryAt_.clear();
    nextAt_.clear();
    for (const Dir& d : pages) {
      const uint32_t at = WriteDir(d, true);
      Patch32(link, at);
      link = nextAt_.back();
    }
    return out_;
  }

  // Positions in the last built file.
  uint32_t DirAt(size_t page) const { return dirAt_.at(page); }
  size_t NextAt(size_t page) const { return nextAt_.at(page); }
  size_t EntryAt(size_t page, uint16_t tag) const { return entryAt_.at(page).at(tag); }

  void Patch16(std::string& file, size_t at, uint16_t v) const {
    for (int i = 0; i < 2; ++i) file[at + size_t(intel_ ? i : 1 - i)] = char(v >> (8 * i));
  }
  void Patch32(std::string& file, size_t at, uint32_t v) const {
    for (int i = 0; i < 4; ++i) file[at + size_t(intel_ ? i : 3 - i)] = char(v >> (8 * i));
  }

 private:
  static size_t TypeSize(uint16_t type) {
    switch (type) {
      case 3: return 2;
      case 4: return 4;
      case 5: return 8;
      default: return 1;
    }
  }

  void Put16(uint32_t v) { out_.append(2, '\0'); Patch16(out_, out_.size() - 2, uint16_t(v)); }
  void Put32(uint32_t v) { out_.append(4, '\0'); Patch32(out_, out_.size() - 4, v); }
  void Patch32(size_t at, uint32_t v) { Patch32(out_, at, v); }
  void Align() { if (out_.size() & 1) out_.push_back('\0'); }

  std::string Encode(const Entry& e) const {
    if (!e.Values.empty()) {
      std::string s;
      for (uint32_t v : e.Values) {
        const size_t n = e.Type == 3 ? 2 : 4;
        s.append(n, '\0');
        if (n == 2) Patch16(s, s.size() - 2, uint16_t(v)); else Patch32(s, s.size() - 4, v);
      }
      return s;
    }
    return e.Bytes;
  }

  uint32_t WriteDir(const Dir& d, bool page) {
    std::vector<Entry> entries = d.Entries;
    if (!d.Strips.empty()) {
      Entry offsets{273, d.OffsetType, {}, {}}, counts{279, 4, {}, {}};
      for (const std::string& s : d.Strips) {
        offsets.Values.push_back(uint32_t(out_.size()));
        counts.Values.push_back(uint32_t(s.size()));
        out_ += s;
      }
      entries.push_back(offsets);
      if (d.WithByteCounts) entries.push_back(counts);
    }
    for (const auto& [tag, blob] : d.Blobs) {
      Align();
      entries.push_back({tag, 4, {uint32_t(out_.size())}, {}});
      out_ += blob;
    }
    for (const auto& [tag, sub] : d.SubDirs) {
      entries.push_back({tag, 4, {WriteDir(sub, false)}, {}});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.Tag < b.Tag; });
    std::vector<std::string> data;
    std::vector<uint32_t> valueField;
    for (const Entry& e : entries) {
      std::string bytes = Encode(e);
      if (bytes.size() > 4) {
        Align();
        valueField.push_back(uint32_t(out_.size()));
        out_ += bytes;
      } else {
        bytes.resize(4, '\0');
        uint32_t raw = 0;
        for (int i = 0; i < 4; ++i) raw |= uint32_t(uint8_t(bytes[size_t(i)])) << (8 * i);
        valueField.push_back(raw);  // file order bytes, copied as they are below
      }
    }
    Align();
    const uint32_t at = uint32_t(out_.size());
    Put16(uint32_t(entries.size()));
    std::map<uint16_t, size_t> positions;
    for (size_t i = 0; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      positions[e.Tag] = out_.size();
      Put16(e.Tag);
      Put16(e.Type);
      const size_t count = e.Values.empty() ? e.Bytes.size() : e.Values.size() / (e.Type == 5 ? 2 : 1);
      Put32(uint32_t(count));
      if (Encode(e).size() > 4) {
        Put32(valueField[i]);
      } else {
        for (int b = 0; b < 4; ++b) out_.push_back(char(valueField[i] >> (8 * b)));
      }
    }
    if (page) {
      dirAt_.push_back(at);
      entryAt_.push_back(positions);
      nextAt_.push_back(out_.size());
    }
    Put32(0);
    return at;
  }

  bool intel_;
  std::string out_;
  std::vector<uint32_t> dirAt_;
  std::vector<std::map<uint16_t, size_t>> entryAt_;
  std::vector<size_t> nextAt_;
};

}  // namespace larktest
