// The framework's lists: TList of pointers, the abstract TStrings and TStringList,
// a list of strings with an object per string.
#pragma once

#include <functional>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"

class TStream;

// Orders two items: <0, 0 or >0.
using TListSortCompare = std::function<Integer(void* item1, void* item2)>;

// An ordered list of untyped pointers. The list never owns what they point to.
// A bad index raises EListError "List index out of bounds (N)".
class TList : public TObject {
 public:
  LARK_CLASS_NAME(TList)
  // The largest count or capacity a list accepts.
  static constexpr Integer MaxListSize = 0x7FFFFFFF / 16;

  TList() = default;
  ~TList() override = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;

  Integer Add(void* item);
  void Insert(Integer index, void* item);
  void Delete(Integer index);
  // Deletes the first occurrence of item; answers its former index or -1.
  Integer Remove(void* item);
  // Like Remove, but answers the item (null when absent).
  void* Extract(void* item);
  Integer IndexOf(void* item) const;
  void* Items(Integer index) const;
  void SetItems(Integer index, void* item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(GetCount() - 1); }

  Integer GetCount() const noexcept { return static_cast<Integer>(items_.size()); }
  // Growing adds null items; shrinking drops the last ones.
  void SetCount(Integer newCount);
  Integer GetCapacity() const noexcept { return capacity_; }
  // Below the count raises EListError "List capacity out of bounds (N)".
  void SetCapacity(Integer newCapacity);
  // Grows the capacity when the list is full; answers the list.
  TList* Expand();
  virtual void Clear();
  void Exchange(Integer index1, Integer index2);
  // Takes the item at curIndex out and puts it at newIndex.
  void Move(Integer curIndex, Integer newIndex);
  // Removes every null item.
  void Pack();
  // Stable sort with compare.
  void Sort(const TListSortCompare& compare);

 private:
  void CheckIndex(Integer index) const;
  void Grow();

  std::vector<void*> items_;
  Integer capacity_ = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };
using enum TDuplicates;

// An ordered list of strings with an object per string (not owned). Descendants
// store the strings; everything else is built on their primitives.
class TStrings : public TPersistent {
 public:
  LARK_CLASS_NAME(TStrings)
  TStrings() = default;
  ~TStrings() override = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  // Storage primitives.
  virtual Integer GetCount() const = 0;
  virtual AnsiString Strings(Integer index) const = 0;
  virtual void SetStrings(Integer index, const AnsiString& s);
  virtual TObject* Objects(Integer index) const;
  virtual void SetObjects(Integer index, TObject* object);
  virtual void Insert(Integer index, const AnsiString& s) = 0;
  virtual void Delete(Integer index) = 0;
  virtual void Clear() = 0;

  virtual Integer Add(const AnsiString& s);
  virtual Integer AddObject(const AnsiString& s, TObject* object);
  virtual void InsertObject(Integer index, const AnsiString& s, TObject* object);
  virtual void AddStrings(TStrings* strings);
  // From another TStrings: its strings, objects, delimiters and separator.
  void Assign(TPersistent* source) override;
  virtual void Exchange(Integer index1, Integer index2);
  virtual void Move(Integer curIndex, Integer newIndex);

  // Without regard to case unless the list says otherwise (see CompareStrings).
  virtual Integer IndexOf(const AnsiString& s) const;
  Integer IndexOfName(const AnsiString& name) const;
  Integer IndexOfObject(TObject* object) const;

  // The part of string i before the first NameValueSeparator ("" when there is none).
  AnsiString Names(Integer index) const;
  // The value of the first "name=value" string with that name; "" when none.
  AnsiString Values(const AnsiString& name) const;
  // Sets the value of name, adding "name=value" when absent; an empty value
  // deletes the entry.
  void SetValues(const AnsiString& name, const AnsiString& value);
  // The part of string i after the first NameValueSeparator ("" when there is none).
  AnsiString ValueFromIndex(Integer index) const;

  // Every string followed by CR LF.
  virtual AnsiString GetText() const;
  // Splits at CR, LF or CR LF; a last line without a break counts too.
  virtual void SetText(const AnsiString& text);
  // Strings joined by ',', each one that holds a blank, control character, comma or
  // quote double-quoted with its quotes doubled.
  AnsiString GetCommaText() const;
  // Splits at commas and at blanks outside double quotes.
  void SetCommaText(const AnsiString& text);
  // As CommaText with Delimiter and QuoteChar.
  AnsiString GetDelimitedText() const;
  void SetDelimitedText(const AnsiString& text);
  char GetDelimiter() const noexcept { return delimiter_; }
  void SetDelimiter(char value) noexcept { delimiter_ = value; }
  char GetQuoteChar() const noexcept { return quoteChar_; }
  void SetQuoteChar(char value) noexcept { quoteChar_ = value; }
  char GetNameValueSeparator() const noexcept { return nameValueSeparator_; }
  void SetNameValueSeparator(char value) noexcept { nameValueSeparator_ = value; }

  // Nested calls: only the outermost pair tells the list (SetUpdateState).
  void BeginUpdate();
  void EndUpdate();

  // Replaces the strings with the lines of the stream from its position to its end.
  virtual void LoadFromStream(TStream* stream);
  virtual void LoadFromFile(const AnsiString& fileName);
  // Writes Text (lines end in CR LF).
  virtual void SaveToStream(TStream* stream) const;
  virtual void SaveToFile(const AnsiString& fileName) const;

 protected:
  // Called with true when the first BeginUpdate starts and false when the last EndUpdate ends.
  virtual void SetUpdateState(bool updating);
  Integer UpdateCount() const noexcept { return updateCount_; }
  virtual Integer CompareStrings(const AnsiString& s1, const AnsiString& s2) const;
  [[noreturn]] void Error(const AnsiString& message, Integer data) const;

 private:
  AnsiString JoinDelimited(char delimiter, char quote) const;
  void ParseDelimited(const AnsiString& text, char delimiter, char quote);

  Integer updateCount_ = 0;
  char delimiter_ = ',';
  char quoteChar_ = '"';
  char nameValueSeparator_ = '=';
};

class TStringList;
// Orders the strings at index1 and index2 of list: <0, 0 or >0.
using TStringListSortCompare =
    std::function<Integer(TStringList* list, Integer index1, Integer index2)>;

// The framework's string list. Index errors raise EStringListError "List index out
// of bounds (N)". OnChanging fires before and OnChange after each change, except
// between BeginUpdate and EndUpdate, where the outermost pair fires them once.
class TStringList : public TStrings {
 public:
  LARK_CLASS_NAME(TStringList)
  TStringList() = default;
  // Frees nothing but the strings; fires no event.
  ~TStringList() override;

  Integer GetCount() const override { return static_cast<Integer>(items_.size()); }
  AnsiString Strings(Integer index) const override;
  // Not allowed on a sorted list (EStringListError).
  void SetStrings(Integer index, const AnsiString& s) override;
  TObject* Objects(Integer index) const override;
  void SetObjects(Integer index, TObject* object) override;
  // Sorted lists put the string in its place and follow Duplicates.
  Integer Add(const AnsiString& s) override;
  Integer AddObject(const AnsiString& s, TObject* object) override;
  // Not allowed on a sorted list (EStringListError).
  void Insert(Integer index, const AnsiString& s) override;
  void InsertObject(Integer index, const AnsiString& s, TObject* object) override;
  void Delete(Integer index) override;
  void Clear() override;
  void Exchange(Integer index1, Integer index2) override;
  Integer IndexOf(const AnsiString& s) const override;

  // Binary search of a sorted list: true when found. index is where s is, or where
  // it would go (with dupAccept, the first of equal strings).
  virtual bool Find(const AnsiString& s, Integer& index) const;
  // Sorts with CompareStrings (stable).
  virtual void Sort();
  // Sorts with compare (stable); does nothing on a sorted list, which keeps its own order.
  virtual void CustomSort(const TStringListSortCompare& compare);

  bool GetSorted() const noexcept { return sorted_; }
  void SetSorted(bool value);
  TDuplicates GetDuplicates() const noexcept { return duplicates_; }
  void SetDuplicates(TDuplicates value) noexcept { duplicates_ = value; }
  bool GetCaseSensitive() const noexcept { return caseSensitive_; }
  // A sorted list sorts itself again by the new rule.
  void SetCaseSensitive(bool value);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  Integer CompareStrings(const AnsiString& s1, const AnsiString& s2) const override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    AnsiString string;
    TObject* object = nullptr;
  };
  void CheckIndex(Integer index) const;
  void InsertItem(Integer index, const AnsiString& s, TObject* object);
  void SortBy(const TStringListSortCompare& compare);

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};
