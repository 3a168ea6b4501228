// Metafiles written record by record for the tests: placeable and plain WMF, and EMF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mf_test {

class Bytes {
 public:
  Bytes& u16(uint32_t v) {
    b_.push_back(static_cast<char>(v & 0xFF));
    b_.push_back(static_cast<char>((v >> 8) & 0xFF));
    return *this;
  }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& i16(int v) { return u16(static_cast<uint16_t>(static_cast<int16_t>(v))); }
  Bytes& i32(int v) { return u32(static_cast<uint32_t>(v)); }
  Bytes& raw(const std::string& s) {
    b_ += s;
    return *this;
  }
  const std::string& str() const { return b_; }
  size_t size() const { return b_.size(); }

 private:
  std::string b_;
};

// WMF records: function and 16-bit parameters as they are stored.
class Wmf {
 public:
  Wmf& Record(uint16_t fn, std::vector<int> params) {
    Bytes r;
    r.u32(static_cast<uint32_t>(3 + params.size())).u16(fn);
    for (int p : params) r.i16(p);
    records_ += r.str();
    return *this;
  }
  Wmf& Raw(const std::string& record) {
    records_ += record;
    return *this;
  }
  Wmf& WindowOrg(int x, int y) { return Record(0x020B, {y, x}); }
  Wmf& WindowExt(int x, int y) { return Record(0x020C, {y, x}); }
  // A solid brush of colour 0x00BBGGRR.
  Wmf& Brush(uint32_t color) { return Record(0x02FC, {0, static_cast<int>(color & 0xFFFF), static_cast<int>(color >> 16), 0}); }
  Wmf& NullBrush() { return Record(0x02FC, {1, 0, 0, 0}); }
  Wmf& Pen(int style, int width, uint32_t color) {
    return Record(0x02FA, {style, width, 0, static_cast<int>(color & 0xFFFF), static_cast<int>(color >> 16)});
  }
  Wmf& Select(int index) { return Record(0x012D, {index}); }
  Wmf& Delete(int index) { return Record(0x01F0, {index}); }
  Wmf& Rect(int l, int t, int r, int b) { return Record(0x041B, {b, r, t, l}); }
  Wmf& Ellipse(int l, int t, int r, int b) { return Record(0x0418, {b, r, t, l}); }
  Wmf& Polygon(std::vector<int> xy) {
    std::vector<int> p{static_cast<int>(xy.size() / 2)};
    p.insert(p.end(), xy.begin(), xy.end());
    return Record(0x0324, p);
  }
  Wmf& MoveTo(int x, int y) { return Record(0x0214, {y, x}); }
  Wmf& LineTo(int x, int y) { return Record(0x0213, {y, x}); }
  Wmf& Eof() { return Record(0x0000, {}); }

  // The standard header (objects: the object table's size) then the records.
  std::string Plain(int objects = 4) const {
    Bytes h;
    h.u16(1).u16(9).u16(0x0300).u32(static_cast<uint32_t>((18 + records_.size()) / 2)).u16(objects).u32(16).u16(0);
    return h.str() + records_;
  }
  // The placeable header (bounding box in units of `inch` per inch) before it.
  std::string Placeable(int l, int t, int r, int b, int inch, int objects = 4) const {
    Bytes p;
    p.u32(0x9AC6CDD7u).u16(0).i16(l).i16(t).i16(r).i16(b).u16(inch).u32(0);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
      sum ^= static_cast<uint16_t>(static_cast<uint8_t>(p.str()[i]) | (static_cast<uint8_t>(p.str()[i + 1]) << 8));
    p.u16(sum);
    return p.str() + Plain(objects);
  }

 private:
  std::string records_;
};

// EMF records; the header gives the frame in hundredths of a millimetre on a
// reference device of 96 DPI.
class Emf {
 public:
  Emf& Record(uint32_t type, std::vector<int32_t> params) {
    Bytes r;
    r.u32(type).u32(static_cast<uint32_t>(8 + 4 * params.size()));
    for (int32_t p : params) r.i32(p);
    records_ += r.str();
    ++count_;
    return *this;
  }
  Emf& Raw(const std::string& record) {
    records_ += record;
    ++count_;
    return *this;
  }
  Emf& Brush(uint32_t index, uint32_t color) { return Record(39, {static_cast<int32_t>(index), 0, static_cast<int32_t>(color), 0}); }
  Emf& Pen(uint32_t index, int style, int width, uint32_t color) {
    return Record(38, {static_cast<int32_t>(index), style, width, 0, static_cast<int32_t>(color)});
  }
  Emf& Select(uint32_t index) { return Record(37, {static_cast<int32_t>(index)}); }
  Emf& Rect(int l, int t, int r, int b) { return Record(43, {l, t, r, b}); }
  Emf& Ellipse(int l, int t, int r, int b) { return Record(42, {l, t, r, b}); }
  Emf& Polygon16(std::vector<int> xy) {
    Bytes r;
    r.u32(86).u32(static_cast<uint32_t>(28 + 2 * xy.size())).i32(0).i32(0).i32(0).i32(0).u32(static_cast<uint32_t>(xy.size() / 2));
    for (int v : xy) r.i16(v);
    while (r.size() % 4) r.u16(0);
    std::string s = r.str();
    const uint32_t size = static_cast<uint32_t>(s.size());
    for (int i = 0; i < 4; ++i) s[4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    return Raw(s);
  }
  Emf& Eof() { return Record(14, {0, 16, 20}); }

  // Frame (hundredths of a millimetre) and the reference device 960 x 960 pixels
  // over 254 x 254 mm (96 DPI).
  std::string File(int fl, int ft, int fr, int fb, int handles = 4) const {
    Bytes h;
    const uint32_t headerSize = 88;
    h.u32(1).u32(headerSize);
    // The bounds in reference-device pixels (96 DPI).
    h.i32(fl * 96 / 2540).i32(ft * 96 / 2540).i32(fr * 96 / 2540 - 1).i32(fb * 96 / 2540 - 1);
    h.i32(fl).i32(ft).i32(fr).i32(fb);
    h.u32(0x464D4520u).u32(0x10000);
    h.u32(static_cast<uint32_t>(headerSize + records_.size())).u32(static_cast<uint32_t>(count_ + 1));
    h.u16(handles).u16(0).u32(0).u32(0).u32(0);
    h.i32(960).i32(960).i32(254).i32(254);
    return h.str() + records_;
  }

 private:
  std::string records_;
  int count_ = 0;
};

}  // namespace mf_test
