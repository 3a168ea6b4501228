#include "platform/rtl/Lists.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Strings.h"
#include "tests/support/Peers.h"

namespace {

using Strings = std::vector<std::string>;

Strings Items(const TStrings& list) {
  Strings items;
  for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.Strings(i));
  return items;
}

void Fill(TStrings& list, const Strings& items) {
  list.Clear();
  for (const auto& s : items) list.Add(s);
}

// Runs op and answers the message of the exception of type E it raised ("" if none).
template <class E>
std::string MessageOf(const std::function<void()>& op) {
  try {
    op();
  } catch (const E& e) {
    return e.Message();
  }
  return "";
}

// --- TList ---------------------------------------------------------------------

int v[6];

TEST(List, AddInsertDeleteAndMoveKeepOrder) {
  TList list;
  list.Add(&v[0]);
  list.Add(&v[1]);
  list.Insert(0, &v[2]);  // 2 0 1
  list.Insert(3, &v[3]);  // 2 0 1 3
  EXPECT_EQ(list.GetCount(), 4);
  EXPECT_EQ(list.First(), &v[2]);
  EXPECT_EQ(list.Last(), &v[3]);
  list.Move(0, 2);  // 0 1 2 3
  list.Exchange(0, 3);  // 3 1 2 0
  list.Delete(1);  // 3 2 0
  EXPECT_EQ(list.Items(0), &v[3]);
  EXPECT_EQ(list.Items(1), &v[2]);
  EXPECT_EQ(list.Items(2), &v[0]);
  EXPECT_EQ(list.IndexOf(&v[0]), 2);
  EXPECT_EQ(list.IndexOf(&v[5]), -1);
  list.SetItems(1, &v[4]);
  EXPECT_EQ(list.Items(1), &v[4]);
}

TEST(List, RemoveExtractAndPack) {
  TList list;
  for (void* p : {static_cast<void*>(&v[0]), static_cast<void*>(nullptr),
                  static_cast<void*>(&v[1]), static_cast<void*>(&v[0]),
                  static_cast<void*>(nullptr)})
    list.Add(p);
  EXPECT_EQ(list.Remove(&v[0]), 0);  // the first of two
  EXPECT_EQ(list.IndexOf(&v[0]), 2);
  EXPECT_EQ(list.Remove(&v[5]), -1);
  EXPECT_EQ(list.Extract(&v[1]), &v[1]);
  EXPECT_EQ(list.Extract(&v[1]), nullptr);
  list.Pack();
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.Items(0), &v[0]);
}

TEST(List, BadIndexRaisesWithTheIndex) {
  TList list;
  list.Add(&v[0]);
  list.Add(&v[1]);
  struct Case {
    std::function<void()> op;
    const char* message;
  } cases[] = {
      {[&] { list.Items(2); }, "List index out of bounds (2)"},
      {[&] { list.Items(-1); }, "List index out of bounds (-1)"},
      {[&] { list.SetItems(5, nullptr); }, "List index out of bounds (5)"},
      {[&] { list.Delete(2); }, "List index out of bounds (2)"},
      {[&] { list.Insert(3, nullptr); }, "List index out of bounds (3)"},
      {[&] { list.Exchange(0, 7); }, "List index out of bounds (7)"},
      {[&] { list.Move(0, 2); }, "List index out of bounds (2)"},
      {[&] { list.SetCount(-1); }, "List count out of bounds (-1)"},
      {[&] { list.SetCapacity(1); }, "List capacity out of bounds (1)"},
      {[&] { TList().First(); }, "List index out of bounds (0)"},
      {[&] { TList().Last(); }, "List index out of bounds (-1)"},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageOf<EListError>(c.op), c.message);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list.Items(1), &v[1]);
}

TEST(List, CountAndCapacity) {
  TList list;
  list.SetCount(3);
  EXPECT_EQ(list.Items(2), nullptr);
  EXPECT_GE(list.GetCapacity(), 3);
  list.Expand();
  EXPECT_GT(list.GetCapacity(), 3);
  list.SetCount(1);
  EXPECT_EQ(list.GetCount(), 1);
  list.Clear();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetCapacity(), 0);
}

TEST(List, SortIsStableAndSurvivesACarelessCompare) {
  struct Rec {
    int key;
    int order;
  };
  std::vector<Rec> recs;
  for (int i = 0; i < 100; ++i) recs.push_back({(i * 7) % 3, i});
  TList list;
  for (Rec& r : recs) list.Add(&r);
  list.Sort([](void* a, void* b) {
    return static_cast<Rec*>(a)->key - static_cast<Rec*>(b)->key;
  });
  for (Integer i = 1; i < list.GetCount(); ++i) {
    auto* prev = static_cast<Rec*>(list.Items(i - 1));
    auto* cur = static_cast<Rec*>(list.Items(i));
    ASSERT_TRUE(prev->key < cur->key || (prev->key == cur->key && prev->order < cur->order)) << i;
  }

  // A compare that answers at random must not take the sort outside the list.
  TList big;
  for (int i = 0; i < 1000; ++i) big.Add(&recs[static_cast<size_t>(i % 100)]);
  big.Sort([](void*, void*) { return std::rand() % 3 - 1; });
  EXPECT_EQ(big.GetCount(), 1000);
}

// --- TStringList ---------------------------------------------------------------

TEST(StringList, IndexOfIgnoresCaseUnlessCaseSensitive) {
  TStringList list;
  Fill(list, {"Alpha", "beta", "\xC9t\xE9"});  // "Été" in Windows-1252
  EXPECT_EQ(list.IndexOf("ALPHA"), 0);
  EXPECT_EQ(list.IndexOf("Beta"), 1);
  EXPECT_EQ(list.IndexOf("\xE9T\xC9"), 2);  // "éTÉ"
  EXPECT_EQ(list.IndexOf("gamma"), -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("ALPHA"), -1);
  EXPECT_EQ(list.IndexOf("Alpha"), 0);

  list.SetCaseSensitive(false);
  list.SetSorted(true);  // the binary search ignores case as well
  EXPECT_EQ(list.IndexOf("BETA"), list.IndexOf("beta"));
  EXPECT_GE(list.IndexOf("BETA"), 0);
}

TEST(StringList, SortedAddFollowsDuplicates) {
  struct Case {
    TDuplicates mode;
    Strings expected;
    bool raises;
  } cases[] = {
      {dupIgnore, {"a", "B", "c"}, false},
      {dupAccept, {"a", "b", "B", "c"}, false},  // before its equals
      {dupError, {"a", "B", "c"}, true},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.mode);
    list.Add("c");
    list.Add("B");
    list.Add("a");
    if (c.raises) {
      EXPECT_EQ(MessageOf<EStringListError>([&] { list.Add("b"); }),
                "String list does not allow duplicates");
    } else {
      Integer index = list.Add("b");
      EXPECT_EQ(list.Strings(index), c.mode == dupIgnore ? "B" : "b");
    }
    EXPECT_EQ(Items(list), c.expected) << static_cast<int>(c.mode);
  }
}

TEST(StringList, FindAnswersPositionOrInsertionPoint) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  Fill(list, {"d", "b", "b", "f", "b"});  // b b b d f
  Integer index = -5;
  EXPECT_TRUE(list.Find("B", index));
  EXPECT_EQ(index, 0);  // the first of the equal ones
  EXPECT_FALSE(list.Find("c", index));
  EXPECT_EQ(index, 3);
  EXPECT_FALSE(list.Find("z", index));
  EXPECT_EQ(index, 5);
  EXPECT_FALSE(list.Find("", index));
  EXPECT_EQ(index, 0);
}

TEST(StringList, SortedListRefusesPlacedChanges) {
  TStringList list;
  list.SetSorted(true);
  Fill(list, {"b", "a"});
  const char* refused = "Operation not allowed on sorted list";
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.Insert(0, "z"); }), refused);
  EXPECT_EQ(MessageOf<EStringListError>([&] { list.SetStrings(0, "z"); }), refused);
  EXPECT_EQ(Items(list), (Strings{"a", "b"}));
  // Unsorting keeps the order; sorting again sorts.
  list.SetSorted(false);
  list.Insert(0, "z");
  list.SetSorted(true);
  EXPECT_EQ(Items(list), (Strings{"a", "b", "z"}));
}

TEST(StringList, SortCustomSortAndCaseSensitivity) {
  TStringList list;
  Fill(list, {"b", "B", "a", "C", "A"});
  list.Sort();  // stable: equal strings keep their order
  EXPECT_EQ(Items(list), (Strings{"a", "A", "b", "B", "C"}));
  list.CustomSort([](TStringList* l, Integer i, Integer j) {
    return static_cast<Integer>(l->Strings(j).compare(l->Strings(i)));  // descending bytes
  });
  EXPECT_EQ(Items(list), (Strings{"b", "a", "C", "B", "A"}));
  list.SetSorted(true);
  list.SetCaseSensitive(true);  // sorts again by the new rule
  Integer index = 0;
  for (Integer i = 1; i < list.GetCount(); ++i)
    EXPECT_LT(AnsiCompareStr(list.Strings(i - 1), list.Strings(i)), 0) << i;
  EXPECT_TRUE(list.Find("B", index));
  EXPECT_EQ(list.Strings(index), "B");
}

TEST(StringList, TextSplitsAtAnyLineBreakAndJoinsWithCrLf) {
  struct Case {
    std::string text;
    Strings items;
    std::string back;
  } cases[] = {
      {"", {}, ""},
      {"one", {"one"}, "one\r\n"},
      {"one\r\ntwo\r\n", {"one", "two"}, "one\r\ntwo\r\n"},
      {"a\nb\rc\r\nd", {"a", "b", "c", "d"}, "a\r\nb\r\nc\r\nd\r\n"},
      {"a\n\nb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
      {"a\n\r", {"a", ""}, "a\r\n\r\n"},  // LF then CR: two breaks
      {"\r\n", {""}, "\r\n"},
      {" x \t\r\n", {" x \t"}, " x \t\r\n"},
      {"\xE9t\xE9\r\n", {"\xE9t\xE9"}, "\xE9t\xE9\r\n"},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(Items(list), c.items) << c.text;
    EXPECT_EQ(list.GetText(), c.back) << c.text;
  }
}

TEST(StringList, CommaTextQuotesWhatItMustAndRoundTrips) {
  struct Case {
    Strings items;
    std::string commaText;
  } cases[] = {
      {{}, ""},
      {{""}, "\"\""},
      {{"a", "b"}, "a,b"},
      {{"a b", "c"}, "\"a b\",c"},
      {{"x,y"}, "\"x,y\""},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"a", "", "b"}, "a,,b"},
      {{"a", ""}, "a,"},
      {{"tab\there"}, "\"tab\there\""},
      {{"\xE9t\xE9", "na\xEFve"}, "\xE9t\xE9,na\xEFve"},
      {{"'single'"}, "'single'"},
  };
  for (const Case& c : cases) {
    TStringList list;
    Fill(list, c.items);
    EXPECT_EQ(list.GetCommaText(), c.commaText);
    TStringList back;
    back.SetCommaText(c.commaText);
    EXPECT_EQ(Items(back), c.items) << c.commaText;
  }
}

TEST(StringList, CommaTextParsingSplitsAtCommasAndBlanks) {
  struct Case {
    std::string text;
    Strings items;
  } cases[] = {
      {"a b,c", {"a", "b", "c"}},
      {"  a ,  b  ", {"a", "b"}},
      {"\"a, b\" c", {"a, b", "c"}},
      {"\"open", {"open"}},
      {"\"a\"b", {"a", "b"}},
      {"a,,,b", {"a", "", "", "b"}},
      {",a", {"", "a"}},
      {"a, ", {"a"}},
      {"\"\"\"\"", {"\""}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetCommaText(c.text);
    EXPECT_EQ(Items(list), c.items) << c.text;
  }
}

TEST(StringList, DelimitedTextUsesDelimiterAndQuoteChar) {
  TStringList list;
  list.SetDelimiter(';');
  list.SetQuoteChar('\'');
  Fill(list, {"a;b", "it's", "c,d", "e"});
  EXPECT_EQ(list.GetDelimitedText(), "'a;b';'it''s';c,d;e");
  TStringList back;
  back.SetDelimiter(';');
  back.SetQuoteChar('\'');
  back.SetDelimitedText(list.GetDelimitedText());
  EXPECT_EQ(Items(back), Items(list));
  // CommaText keeps its own delimiter and quote whatever the list's are.
  EXPECT_EQ(list.GetCommaText(), "a;b,it's,\"c,d\",e");
}

TEST(StringList, NamesAndValues) {
  TStringList list;
  Fill(list, {"Host=example.org", "port=80", "plain line", "empty=", "eq=a=b"});
  EXPECT_EQ(list.Values("HOST"), "example.org");
  EXPECT_EQ(list.Values("eq"), "a=b");
  EXPECT_EQ(list.Values("empty"), "");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.Names(1), "port");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.ValueFromIndex(4), "a=b");
  EXPECT_EQ(list.ValueFromIndex(2), "");
  EXPECT_EQ(list.ValueFromIndex(-1), "");
  EXPECT_EQ(list.IndexOfName("PORT"), 1);
  EXPECT_EQ(list.IndexOfName("plain line"), -1);

  list.SetValues("Port", "8080");  // replaces in place
  EXPECT_EQ(list.Strings(1), "Port=8080");
  list.SetValues("user", "me");  // adds
  EXPECT_EQ(list.Strings(list.GetCount() - 1), "user=me");
  list.SetValues("host", "");  // removes
  EXPECT_EQ(list.IndexOfName("host"), -1);
  EXPECT_EQ(list.GetCount(), 5);

  list.SetNameValueSeparator(':');
  list.Add("key:value");
  EXPECT_EQ(list.Values("KEY"), "value");
}

TEST(StringList, ChangeEventsFireAroundEachChangeAndOncePerUpdate) {
  TStringList list;
  std::string events;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    events += "<";
  };
  list.OnChange = [&](TObject*) { events += ">"; };
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(events, "<><>");
  events.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("c");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(events, "<");
  list.EndUpdate();
  EXPECT_EQ(events, "<>");
  events.clear();
  list.SetText("x\r\ny\r\nz");  // one change for the whole text
  EXPECT_EQ(events, "<>");
  events.clear();
  list.Clear();
  list.Clear();  // nothing to clear: no event
  EXPECT_EQ(events, "<>");

  // A handler may replace the event while it runs.
  list.OnChange = [&](TObject*) { list.OnChange = nullptr; };
  list.Add("q");
  EXPECT_FALSE(list.OnChange);
}

TEST(StringList, ObjectsTravelWithTheirStrings) {
  TObject one, two, three;
  TStringList list;
  list.AddObject("c", &one);
  list.AddObject("a", &two);
  list.InsertObject(1, "b", &three);  // c b a
  list.Move(0, 2);  // b a c
  EXPECT_EQ(list.Objects(2), &one);
  list.Exchange(0, 1);  // a b c
  EXPECT_EQ(list.Objects(0), &two);
  list.Sort();
  EXPECT_EQ(list.Objects(2), &one);
  EXPECT_EQ(list.IndexOfObject(&three), 1);

  TStringList copy;
  copy.Assign(&list);
  EXPECT_EQ(Items(copy), Items(list));
  EXPECT_EQ(copy.Objects(0), &two);
  copy.SetObjects(0, nullptr);
  EXPECT_EQ(list.Objects(0), &two);

  list.AddStrings(&list);  // appending itself doubles it once
  EXPECT_EQ(list.GetCount(), 6);
  EXPECT_EQ(list.Objects(5), &one);
}

TEST(StringList, AssignFromAnotherClassRaises) {
  TStringList list;
  TComponent component(nullptr);
  EXPECT_EQ(MessageOf<EConvertError>([&] { list.Assign(&component); }),
            "Cannot assign a TComponent to a TStringList");
}

TEST(StringList, IndexErrorsRaiseAndLoseNothing) {
  TStringList list;
  Fill(list, {"a", "b"});
  struct Case {
    std::function<void()> op;
    const char* message;
  } cases[] = {
      {[&] { list.Strings(2); }, "List index out of bounds (2)"},
      {[&] { list.Strings(-1); }, "List index out of bounds (-1)"},
      {[&] { list.SetStrings(2, "x"); }, "List index out of bounds (2)"},
      {[&] { list.Objects(3); }, "List index out of bounds (3)"},
      {[&] { list.SetObjects(-2, nullptr); }, "List index out of bounds (-2)"},
      {[&] { list.Insert(3, "x"); }, "List index out of bounds (3)"},
      {[&] { list.Delete(2); }, "List index out of bounds (2)"},
      {[&] { list.Exchange(0, 2); }, "List index out of bounds (2)"},
      {[&] { list.Move(0, 2); }, "List index out of bounds (2)"},
      {[&] { list.Move(5, 0); }, "List index out of bounds (5)"},
      {[&] { list.Names(2); }, "List index out of bounds (2)"},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageOf<EStringListError>(c.op), c.message);
  EXPECT_EQ(Items(list), (Strings{"a", "b"}));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StringList, SaveWritesCrLfAndLoadTakesAnyBreak) {
  larktest::TempDir dir;
  const std::string path = dir.Path() + "lines.txt";
  TStringList list;
  Fill(list, {"first", "", "\xE9t\xE9"});
  list.SaveToFile(path);
  EXPECT_EQ(ReadFile(path), "first\r\n\r\n\xE9t\xE9\r\n");

  std::ofstream(path, std::ios::binary) << "a\nb\r\nc\rd";
  list.LoadFromFile(path);
  EXPECT_EQ(Items(list), (Strings{"a", "b", "c", "d"}));

  // From the stream's position on.
  TStringStream stream("skip|x\ny");
  stream.SetPosition(5);
  list.LoadFromStream(&stream);
  EXPECT_EQ(Items(list), (Strings{"x", "y"}));
  TStringStream out;
  list.SaveToStream(&out);
  EXPECT_EQ(out.GetDataString(), "x\r\ny\r\n");

  EXPECT_THROW(list.LoadFromFile(dir.Path() + "missing.txt"), EFOpenError);
  EXPECT_EQ(Items(list), (Strings{"x", "y"}));
}

}  // namespace
