// TIEIPTCInfoList: IPTC items, their stream form and the IPTC-IIM block.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

namespace {

std::string Int32(Integer v) {
  const auto u = static_cast<DWORD>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

std::string Block(const TIEIPTCInfoList& list, bool writeHeader) {
  std::unique_ptr<Byte[]> buffer;
  Integer length = -1;
  list.SaveToStandardBuffer(buffer, length, writeHeader);
  return std::string(reinterpret_cast<const char*>(buffer.get()), static_cast<size_t>(length));
}

// From a heap block of exactly the block's size, so that a read past its end is seen.
void Load(TIEIPTCInfoList& list, const std::string& block) {
  const std::vector<Byte> exact(block.begin(), block.end());
  list.LoadFromStandardBuffer(exact.data(), static_cast<Integer>(exact.size()));
}

struct Item {
  Integer record, dataSet;
  std::string data;
  bool operator==(const Item&) const = default;
};

std::vector<Item> Items(const TIEIPTCInfoList& list) {
  std::vector<Item> items;
  for (Integer i = 0; i < list.GetCount(); ++i)
    items.push_back({list.GetRecordNumber(i), list.GetDataSet(i), list.GetStrings(i)});
  return items;
}

void PrintTo(const Item& item, std::ostream* os) {
  *os << item.record << ":" << item.dataSet << " (" << item.data.size() << " bytes)";
}

TEST(IPTC, EmptyListsBuildTheirFixedForms) {
  TIEIPTCInfoList list;
  TMemoryStream stream;
  list.SaveToStream(&stream);
  EXPECT_EQ(std::string(static_cast<const char*>(stream.Memory()), 8), std::string(8, '\0'));
  EXPECT_EQ(stream.GetSize(), 8);

  EXPECT_EQ(Block(list, false), std::string("\x1C\x02\x00\x00\x02\x00\x02\x00", 8));
  const std::string header = Block(list, true);
  EXPECT_EQ(header, std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0\0", 26));
}

TEST(IPTC, DatasetLengthsUseTheExtendedFormAbove0x7FFF) {
  TIEIPTCInfoList list;
  list.AddStringItem(2, 120, std::string(0x7FFF, 'a'));
  list.AddStringItem(2, 25, std::string(0x8000, 'b'));
  const std::string block = Block(list, false);
  EXPECT_EQ(block.substr(7, 5), std::string("\x1C\x02\x78\x7F\xFF", 5));
  const size_t second = 7 + 5 + 0x7FFF;
  EXPECT_EQ(block.substr(second, 9), std::string("\x1C\x02\x19\x80\x04\x00\x00\x80\x00", 9));
  EXPECT_EQ(block.size(), second + 9 + 0x8000);
  list.AddStringItem(2, 5, "odds");
  EXPECT_EQ(Block(list, false).size(), second + 9 + 0x8000 + 5 + 4 + 1)
      << "padded to an even length";
  list.DeleteItem(2);

  // With the Photoshop header, bytes 22..25 hold the size of the datasets.
  const std::string withHeader = Block(list, true);
  const DWORD datasets = 5 + 0x7FFF + 9 + 0x8000;
  EXPECT_EQ(withHeader.substr(22, 4),
            (std::string{static_cast<char>(datasets >> 24), static_cast<char>(datasets >> 16),
                         static_cast<char>(datasets >> 8), static_cast<char>(datasets)}));

  TIEIPTCInfoList loaded;
  Load(loaded, withHeader);
  EXPECT_EQ(Items(loaded), Items(list));
}

TEST(IPTC, RecordVersionItemIsWrittenOnlyByTheWriter) {
  TIEIPTCInfoList list;
  list.AddBufferItem(2, 0, "\x00\x04", 2);  // a record version from a file
  list.AddStringItem(2, 5, "Title");
  list.AddStringItem(2, 25, "keyword");

  TIEIPTCInfoList withHeader;
  Load(withHeader, Block(list, true));
  EXPECT_EQ(Items(withHeader), (std::vector<Item>{{2, 5, "Title"}, {2, 25, "keyword"}}));

  TIEIPTCInfoList plain;
  Load(plain, Block(list, false));
  EXPECT_EQ(Items(plain), (std::vector<Item>{{2, 0, std::string("\x00\x02", 2)},
                                             {2, 5, "Title"},
                                             {2, 25, "keyword"}}));
}

// The resource size in the Photoshop header is binary: when one of its bytes is the
// tag marker 0x1C, a parser that looks for the first 0x1C byte starts inside it.
TEST(IPTC, PhotoshopBlocksAreReadFromTheirIptcResource) {
  TIEIPTCInfoList list;
  list.AddStringItem(2, 120, std::string(23, 'c'));  // 5 + 23 = 0x1C bytes of datasets
  const std::string block = Block(list, true);
  ASSERT_EQ(block[25], '\x1C');
  TIEIPTCInfoList loaded;
  Load(loaded, block);
  EXPECT_EQ(Items(loaded), Items(list));

  // Another resource before the IPTC one, holding tag-marker bytes of its own.
  const std::string other = std::string("8BIM\x03\xED\0\0\0\0\0\x06", 12) + "\x1C\x1C\x1C\x1C\x1C\x1C";
  const std::string iptc = std::string("8BIM\x04\x04\0\0\0\0\0\x08", 12) +
                           std::string("\x1C\x02\x05\0\x03", 5) + "abc";
  Load(loaded, std::string("Photoshop 3.0\0", 14) + other + iptc);
  EXPECT_EQ(Items(loaded), (std::vector<Item>{{2, 5, "abc"}}));
  Load(loaded, std::string("Photoshop 3.0\0", 14) + other);
  EXPECT_EQ(loaded.GetCount(), 0) << "no IPTC resource, no items";
}

TEST(IPTC, ParsingStopsAtTheFirstIncompleteDataset) {
  const std::string first = std::string("\x1C\x02\x05\x00\x03", 5) + "one";
  const std::string second = std::string("\x1C\x02\x19\x00\x03", 5) + "two";
  struct Case {
    const char* what;
    std::string block;
    std::vector<Item> items;
  };
  const Case cases[] = {
      {"junk before the first marker", "junk" + first + second,
       {{2, 5, "one"}, {2, 25, "two"}}},
      {"last data cut short", first + second.substr(0, 7), {{2, 5, "one"}}},
      {"empty data field ending the buffer", first + std::string("\x1C\x02\x06\x00\x00", 5),
       {{2, 5, "one"}}},
      {"empty data field followed by a byte", first + std::string("\x1C\x02\x06\x00\x00\x00", 6),
       {{2, 5, "one"}, {2, 6, ""}}},
      {"no marker where a dataset should start", first + "x" + second, {{2, 5, "one"}}},
      // Extended headers need 9 bytes; fewer must not be read past.
      {"extended header cut to 6 bytes", first + std::string("\x1C\x02\x07\x80\x04\x00", 6),
       {{2, 5, "one"}}},
      {"extended header cut to 8 bytes",
       first + std::string("\x1C\x02\x07\x80\x04\x00\x00\x00", 8), {{2, 5, "one"}}},
      {"extended length beyond every buffer",
       first + std::string("\x1C\x02\x07\x80\x04\xFF\xFF\xFF\xF0zz", 11), {{2, 5, "one"}}},
      {"extended length with only its top bit",
       first + std::string("\x1C\x02\x07\x80\x04\x80\x00\x00\x00zz", 11), {{2, 5, "one"}}},
      {"extended length that fits", std::string("\x1C\x02\x07\x80\x04\x00\x00\x00\x02zz", 11),
       {{2, 7, "zz"}}},
  };
  for (const Case& c : cases) {
    TIEIPTCInfoList list;
    list.AddStringItem(9, 9, "stale");
    Load(list, c.block);
    EXPECT_EQ(Items(list), c.items) << c.what;
    EXPECT_FALSE(list.GetModified()) << c.what;
  }
  TIEIPTCInfoList list;
  list.LoadFromStandardBuffer(nullptr, 10);
  list.LoadFromStandardBuffer(first.data(), -1);
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(IPTC, ModifiedFollowsEveryChangeAndOnlyStandardLoadsClearIt) {
  TIEIPTCInfoList source;
  source.AddStringItem(2, 5, "x");
  TMemoryStream form;
  source.SaveToStream(&form);
  const std::string block = Block(source, true);

  struct Case {
    const char* what;
    std::function<void(TIEIPTCInfoList&)> change;
  };
  const Case cases[] = {
      {"SetStrings", [](TIEIPTCInfoList& l) { l.SetStrings(0, "new"); }},
      {"SetRecordNumber", [](TIEIPTCInfoList& l) { l.SetRecordNumber(0, 1); }},
      {"SetDataSet", [](TIEIPTCInfoList& l) { l.SetDataSet(0, 1); }},
      {"AddStringItem", [](TIEIPTCInfoList& l) { l.AddStringItem(2, 5, "a"); }},
      {"AddBufferItem", [](TIEIPTCInfoList& l) { l.AddBufferItem(2, 5, "a", 1); }},
      {"InsertStringItem", [](TIEIPTCInfoList& l) { l.InsertStringItem(0, 2, 5, "a"); }},
      {"DeleteItem", [](TIEIPTCInfoList& l) { l.DeleteItem(0); }},
      {"Clear", [](TIEIPTCInfoList& l) { l.Clear(); }},
      {"Assign", [&](TIEIPTCInfoList& l) { l.Assign(&source); }},
      {"LoadFromStream", [&](TIEIPTCInfoList& l) {
         form.SetPosition(0);
         EXPECT_TRUE(l.LoadFromStream(&form));
       }},
  };
  for (const Case& c : cases) {
    TIEIPTCInfoList list;
    EXPECT_FALSE(list.GetModified());
    Load(list, block);  // one item, not modified
    ASSERT_EQ(list.GetCount(), 1);
    c.change(list);
    EXPECT_TRUE(list.GetModified()) << c.what;
    Load(list, block);
    EXPECT_FALSE(list.GetModified()) << c.what;
  }
}

TEST(IPTC, ItemOperations) {
  TIEIPTCInfoList list;
  EXPECT_EQ(list.AddStringItem(2, 5, "Title"), 0);
  EXPECT_EQ(list.AddBufferItem(2, 25, "k\0w", 3), 1);
  list.InsertStringItem(0, 2, 80, "Author");
  list.InsertStringItem(list.GetCount(), 2, 116, "Copyright");
  EXPECT_EQ(Items(list), (std::vector<Item>{{2, 80, "Author"},
                                            {2, 5, "Title"},
                                            {2, 25, std::string("k\0w", 3)},
                                            {2, 116, "Copyright"}}));
  EXPECT_EQ(list.IndexOf(2, 25), 2);
  EXPECT_EQ(list.IndexOf(1, 25), -1);
  EXPECT_EQ(list.GetInfo(2).DataLength, 3);
  list.SetStrings(1, "Longer title");
  EXPECT_EQ(list.GetInfo(1).DataLength, 12);
  EXPECT_EQ(list.GetStrings(-1), "");
  EXPECT_EQ(list.GetStrings(4), "");
  EXPECT_THROW(list.GetRecordNumber(4), EListError);
  EXPECT_THROW(list.SetDataSet(-1, 0), EListError);
  EXPECT_THROW(list.DeleteItem(4), EListError);
  EXPECT_THROW(list.InsertStringItem(5, 2, 5, "x"), EListError);

  list.Assign(&list);
  EXPECT_EQ(list.GetCount(), 4) << "assigning a list to itself keeps it";
  TIEIPTCInfoList copy;
  copy.Assign(&list);
  EXPECT_EQ(Items(copy), Items(list));
}

TEST(IPTC, StreamFormRoundTripsAndDamagedFormsStop) {
  TIEIPTCInfoList list;
  list.AddStringItem(2, 5, "Title");
  list.AddBufferItem(3, 7, nullptr, 0);
  TMemoryStream stream;
  list.SaveToStream(&stream);
  const std::string whole(static_cast<const char*>(stream.Memory()),
                          static_cast<size_t>(stream.GetSize()));
  EXPECT_EQ(whole, Int32(0) + Int32(2) + Int32(2) + Int32(5) + Int32(5) + "Title" + Int32(3) +
                       Int32(7) + Int32(0));
  stream.SetPosition(0);
  TIEIPTCInfoList loaded;
  EXPECT_TRUE(loaded.LoadFromStream(&stream));
  EXPECT_EQ(Items(loaded), Items(list));

  for (size_t cut = 0; cut < whole.size(); ++cut) {
    TMemoryStream damaged;
    damaged.WriteBuffer(whole.data(), static_cast<Integer>(cut));
    damaged.SetPosition(0);
    EXPECT_FALSE(loaded.LoadFromStream(&damaged)) << cut;
    EXPECT_EQ(loaded.GetCount(), cut >= 8 + 17 ? 1 : 0) << cut;
    EXPECT_TRUE(loaded.GetModified());
  }
  const std::string hostile[] = {
      Int32(0) + Int32(-3),
      Int32(0) + Int32(1) + Int32(2) + Int32(5) + Int32(-1),
      Int32(0) + Int32(1) + Int32(2) + Int32(5) + Int32(0x7FFFFFFF) + "abc",
      Int32(0) + Int32(0x7FFFFFFF) + Int32(2) + Int32(5) + Int32(1) + "a",
  };
  for (const std::string& form : hostile) {
    TMemoryStream damaged;
    damaged.WriteBuffer(form.data(), static_cast<Integer>(form.size()));
    damaged.SetPosition(0);
    EXPECT_FALSE(loaded.LoadFromStream(&damaged));
    EXPECT_LE(loaded.GetCount(), 1);
  }
}

}  // namespace
