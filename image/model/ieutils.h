// Shared helpers of the image library: the hash set of colour counters, row
// lengths and bit helpers, memory-mapped temporary storage, the JPEG
// marker and IPTC lists with their stream forms, the word lookup, small item lists,
// geometry, CIELAB, string streams, system queries and the scrolling parameters;
// at the end, the few that need the drawing layer (framework pixel formats,
// rectangle copies with framework bitmaps and pixel stores, DrawDib fallbacks).
//
// Index rules. The metadata lists (TIEMarkerList, TIEIPTCInfoList) raise EListError
// "List index out of bounds (N)" for an index outside the list, as the framework's
// lists they are built on do; TIEIPTCInfoList::GetStrings answers "" instead. The
// item lists (TIEList family) never raise for an index: reads outside the list
// answer 0 (or null), writes and deletes outside it change nothing.
#pragma once

#include <cstring>

#include <initializer_list>
#include <memory>
#include <vector>

#include "image/model/iedefs.h"
#include "platform/rtl/Descriptors.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/GdiDrawDib.h"
#include "platform/win/WinTypes.h"

// ===========================================================================
// Hash set of 32-bit keys (colour counters)

// 2^N buckets chosen by the low N bits of a key. A bucket holds nothing, one key, or
// a chain of keys in insertion order.
class THash1 : public TObject {
 public:
  LARK_CLASS_NAME(THash1)
  // N from 0 to 24; anything else raises ERangeError.
  explicit THash1(Integer bits);
  ~THash1() override;
  THash1(const THash1&) = delete;
  THash1& operator=(const THash1&) = delete;

  DWORD HashFunc(DWORD key) const noexcept { return key & (bucketCount_ - 1); }
  // False when the key is present already; otherwise stores it.
  bool Insert(DWORD key);
  bool KeyPresent(DWORD key) const;

  Integer GetBits() const noexcept { return bits_; }
  DWORD GetBucketCount() const noexcept { return bucketCount_; }
  // Distinct keys inserted.
  Integer GetCount() const noexcept { return count_; }

 private:
  enum : Byte { Empty = 0, Single = 1, Chained = 2 };

  std::vector<Byte> states_;
  std::vector<DWORD> singles_;                             // the key of a Single bucket
  std::vector<std::unique_ptr<std::vector<DWORD>>> chains_;  // the keys of a Chained bucket
  Integer bits_ = 0;
  DWORD bucketCount_ = 1;
  Integer count_ = 0;
};

// ===========================================================================
// Row lengths, bits and bytes

// Bytes of one row padded to 32 bits: ((width x bits + 31) shr 5) shl 2. Computed in
// 64 bits; a negative argument or a row longer than an Integer holds raises
// EOutOfMemory, which readers turn into their abort flag.
Integer _BitmapRowLen(Integer width, Integer bits);

// The length of the lowest run of set bits of a colour mask (BMP bit fields): 5 for
// 0x7C00, 6 for 0x07E0, 32 for 0xFFFFFFFF, 1 for 0x80000000, 0 for 0.
Integer _GetBitCount(DWORD mask);

// Bits needed for count colours: the exponent of a power of two, else the index of
// the highest set bit plus one (1 gives 0, 3 gives 2, 257 gives 9); 0 gives -1. A
// negative count is taken as its 32-bit pattern.
Integer _NColToBitsPixel(Integer count);

// Reverses the bit order of a byte (bit 7 becomes bit 0) or of a 32-bit value.
void ReverseBitsB(Byte& b);
void ReverseBits(DWORD& v);
// Byte order reversed (big-endian file fields).
Word IESwapWord(Word w);
DWORD IESwapDWord(DWORD d);

// base raised to exponent in extended precision: 1 for exponent 0, 0 for base 0
// with a positive exponent, whole exponents of magnitude up to 2147483647 by
// repeated squaring, anything else as 2^(exponent x log2(base)) (NaN for a negative
// base).
long double IEPower(long double base, long double exponent);

// ===========================================================================
// Files and streams

bool IEDirectoryExists(const AnsiString& name);
// Creates dir and every missing folder above it. An empty name raises Exception
// "Cannot Create Directory"; a trailing '/' is ignored; a folder that cannot be made
// is not reported (the caller finds out when it uses it).
void IEForceDirectories(const AnsiString& dir);

// Writes count bytes; when the stream takes fewer, sets aborting (never clears it).
void SafeStreamWrite(TStream* stream, bool& aborting, const void* buffer, Integer count);

// ===========================================================================
// TIFF directories

// One 12-byte directory entry, each field in the machine's byte order. A big-endian
// file's entry is swapped field by field as a whole, so an inline SHORT of an "MM"
// file lies in the upper 16 bits of Value and one of an "II" file in the lower.
struct TTIFFTag {
  Word Tag = 0;
  Word Type = 0;
  DWORD Count = 0;    // values, or bytes for ASCII and UNDEFINED
  DWORD Value = 0;    // the value itself when it fits in 4 bytes, else its offset
};

// The tags of one loaded directory and where they come from. The tag functions of
// the TIFF codec (image/formats/tiffilt.h) load and read it.
struct TTIFFEnv {
  bool Intel = true;           // "II"; false for "MM"
  TStream* Stream = nullptr;   // not owned
  std::vector<TTIFFTag> Entries;  // the loaded entries; empty when nothing is loaded
  Word EntryCount = 0;
  Integer Base = 0;            // added to every offset read from the directory
};

// ===========================================================================
// Memory-mapped temporary storage

// The folder for the library's temporary files; empty means the system's temporary
// folder. (It belongs to the input/output layer, which sets it; the storage below
// is its one reader.)
extern AnsiString DefTEMPPATH;

// One temporary file of a fixed 64-bit size whose bytes are reached through views
// mapped read/write a part at a time. Every view is remembered and unmapped before
// the file is closed and deleted. Offsets of views are multiples of
// IEAllocationGranularity.
//
// The file's space is reserved when it is made or grown, so a full disk (or a file
// size limit) makes AllocateFile or ReAllocateFile answer false instead of failing
// later inside a mapped write.
class TIEMemoryMapped : public TObject {
 public:
  LARK_CLASS_NAME(TIEMemoryMapped)
  static constexpr DWORD IEAllocationGranularity = 65536;
  static constexpr DWORD kCopyStep = 1048576;

  TIEMemoryMapped() = default;
  // DeAllocate.
  ~TIEMemoryMapped() override;
  TIEMemoryMapped(const TIEMemoryMapped&) = delete;
  TIEMemoryMapped& operator=(const TIEMemoryMapped&) = delete;

  bool IsAllocated() const noexcept { return allocated_; }
  // Creates the file (name, or a new "dad....tmp" file in DefTEMPPATH or the system's
  // temporary folder, made with its parents when missing) with the 64-bit size, and
  // readies it for mapping. False on every failure (and on an object already
  // allocated); a file made for the call is deleted again.
  bool AllocateFile(const AnsiString& name, DWORD sizeLow, DWORD sizeHigh);
  // Unmaps every view, then sets the file's size (growing or cutting it). False when
  // the object is not allocated or the size cannot be had; the file then keeps its
  // old size.
  bool ReAllocateFile(DWORD sizeLow, DWORD sizeHigh);
  // A read/write view of size bytes at the 64-bit offset, listed until UnMap. Null
  // when refused: an offset that is no multiple of IEAllocationGranularity, a size
  // of 0, a range beyond the end of the file, or the system's refusal. A refused
  // view is listed all the same (as null) on an allocated object.
  void* Map(DWORD offsetHigh, DWORD offsetLow, DWORD size);
  // Unmaps a listed view. An address that is not listed raises EListError and
  // unmaps nothing.
  void UnMap(void* view);
  // Unmaps every listed view, the latest first.
  void UnMapAll();
  // Unmaps every view, closes the file and deletes it. Nothing when not allocated.
  void DeAllocate();
  // Copies the bytes [offset, offset + size) of this file to the same range of dest,
  // kCopyStep bytes at a time; offsets carry into their high half. A size of 0 copies
  // nothing. False (after copying what it could) when either object is not
  // allocated, the range passes the end of either file, or a view is refused.
  bool CopyTo(TIEMemoryMapped* dest, DWORD offsetHigh, DWORD offsetLow, UInt64 size);

  const AnsiString& GetFileName() const noexcept { return fileName_; }
  UInt64 GetSize() const noexcept { return size_; }
  Integer GetViewCount() const noexcept { return static_cast<Integer>(views_.size()); }

 private:
  struct View {
    void* address;
    size_t length;
  };
  void CloseFile(bool deleteFile);

  ScopedFd fd_;
  bool allocated_ = false;
  AnsiString fileName_;
  UInt64 size_ = 0;
  std::vector<View> views_;
};

// The physical memory available now, in bytes (the measure a pixel store halves for
// its memory limit); 0 when it cannot be told.
UInt64 IEGetFreeMemory();

// 64-bit arithmetic on pairs of 32-bit halves.
void IEMul64(DWORD a, DWORD b, DWORD& low, DWORD& high);
// True when the sum overflows 64 bits.
bool IEAdd64(DWORD aLow, DWORD aHigh, DWORD bLow, DWORD bHigh, DWORD& low, DWORD& high);
// a > b as unsigned 64-bit numbers.
bool IEGreater64(DWORD aLow, DWORD aHigh, DWORD bLow, DWORD bHigh);

// ===========================================================================
// JPEG markers

// The raw markers (APPn and COM segments) of a JPEG file in file order: a code and
// the data bytes without the 0xFF, code and length of the segment.
//
// Stream form (little-endian): a 0 byte, int32 count, then per marker its code
// byte, int32 length and the data.
class TIEMarkerList : public TObject {
 public:
  LARK_CLASS_NAME(TIEMarkerList)
  TIEMarkerList() = default;
  ~TIEMarkerList() override;
  TIEMarkerList(const TIEMarkerList&) = delete;
  TIEMarkerList& operator=(const TIEMarkerList&) = delete;

  Integer GetCount() const noexcept { return static_cast<Integer>(markers_.size()); }
  // The marker's data as a stream, positioned at 0.
  TMemoryStream* GetMarkerStream(Integer index);
  // The marker's data bytes; valid until the marker is changed or removed.
  void* GetMarkerData(Integer index);
  Byte GetMarkerType(Integer index) const;
  // The number of data bytes (beyond 65535 only for markers from a stream form).
  Integer GetMarkerLength(Integer index) const;
  // The first marker with that code; -1 when none.
  Integer IndexOf(Byte markerType) const;

  // Appends a copy of length bytes of data.
  void AddMarker(Byte markerType, const void* data, Word length);
  // Replaces code and data of marker index.
  void SetMarker(Integer index, Byte markerType, const void* data, Word length);
  // Inserts a copy before index (0..Count). Data comes before the code here.
  void InsertMarker(Integer index, const void* data, Byte markerType, Word length);
  void DeleteMarker(Integer index);
  void Clear();
  // Copies every marker of source at its full length. Null, or the list itself,
  // changes nothing.
  void Assign(const TIEMarkerList* source);

  void SaveToStream(TStream* stream) const;
  // Replaces the markers by those of the stream form. Reads never pass the end of
  // the stream: a negative count or length ends the load, and a marker that the
  // stream cuts short is dropped. Answers whether the whole form was there; the
  // markers read before a fault stay.
  bool LoadFromStream(TStream* stream);

 private:
  struct Marker {
    Byte type;
    std::unique_ptr<TMemoryStream> data;
  };
  void CheckIndex(Integer index, bool allowCount = false) const;
  static Marker MakeMarker(Byte type, const void* data, Integer length);

  std::vector<Marker> markers_;
};

// ===========================================================================
// IPTC-IIM items

// One item's header.
struct TIPTCInfo {
  Integer RecordNumber = 0;  // IIM record, 2 for the application record
  Integer DataSet = 0;       // dataset within the record
  Integer DataLength = 0;    // data bytes
};
using PIPTCInfo = TIPTCInfo*;

// The IPTC items of an image (captions, keywords, credits...). Modified is set by
// every change made through the list and cleared only by LoadFromStandardBuffer, so
// IPTC data read from a file is written back unchanged unless the program edited it.
//
// Stream form (little-endian): int32 0, int32 count, then per item RecordNumber,
// DataSet and DataLength as int32 and the data.
class TIEIPTCInfoList : public TObject {
 public:
  LARK_CLASS_NAME(TIEIPTCInfoList)
  TIEIPTCInfoList() = default;
  ~TIEIPTCInfoList() override;
  TIEIPTCInfoList(const TIEIPTCInfoList&) = delete;
  TIEIPTCInfoList& operator=(const TIEIPTCInfoList&) = delete;

  Integer GetCount() const noexcept { return static_cast<Integer>(items_.size()); }
  // The item's data as text; "" for an index outside the list.
  AnsiString GetStrings(Integer index) const;
  void SetStrings(Integer index, const AnsiString& value);
  Integer GetRecordNumber(Integer index) const;
  void SetRecordNumber(Integer index, Integer value);
  Integer GetDataSet(Integer index) const;
  void SetDataSet(Integer index, Integer value);
  // The item's header and data bytes.
  const TIPTCInfo& GetInfo(Integer index) const;
  const Byte* GetData(Integer index) const;

  // Each answers the new item's index.
  Integer AddStringItem(Integer recordNumber, Integer dataSet, const AnsiString& value);
  // A negative length adds an empty item.
  Integer AddBufferItem(Integer recordNumber, Integer dataSet, const void* buffer,
                        Integer bufferLength);
  // Inserts before index (0..Count).
  void InsertStringItem(Integer index, Integer recordNumber, Integer dataSet,
                        const AnsiString& value);
  // The first item with both numbers; -1 when none.
  Integer IndexOf(Integer recordNumber, Integer dataSet) const;
  void DeleteItem(Integer index);
  void Clear();
  // Copies every item of source. Null, or the list itself, changes nothing.
  void Assign(const TIEIPTCInfoList* source);

  void SaveToStream(TStream* stream) const;
  // Replaces the items by those of the stream form, with the rules of
  // TIEMarkerList::LoadFromStream. Ends with Modified set.
  bool LoadFromStream(TStream* stream);

  // Builds the IPTC-IIM block of the items (under the Photoshop resource header
  // "Photoshop 3.0", "8BIM", 0x0404 with writeHeader, else after a record-version
  // dataset) in a new buffer of even length. A block beyond 2 GB raises EOutOfMemory.
  void SaveToStandardBuffer(std::unique_ptr<Byte[]>& buffer, Integer& bufferLength,
                            bool writeHeader) const;
  // Replaces the items by the datasets of an IPTC-IIM block (anything before the
  // first tag marker is skipped), stopping quietly at the first dataset that the
  // buffer does not hold whole. Ends with Modified cleared.
  void LoadFromStandardBuffer(const void* buffer, Integer bufferLength);

  bool GetModified() const noexcept { return modified_; }
  void SetModified(bool value) noexcept { modified_ = value; }

 private:
  struct Item {
    TIPTCInfo info;
    std::vector<Byte> data;
  };
  void CheckIndex(Integer index, bool allowCount = false) const;
  static Item MakeItem(Integer recordNumber, Integer dataSet, const void* data, Integer length);

  std::vector<Item> items_;
  bool modified_ = false;
};

// ===========================================================================
// User-interface words

// The word of one language. msSystem takes the row of the user's locale (LC_ALL,
// LC_MESSAGES or LANG: German, Greek, English, Spanish, French, Italian, Dutch,
// Portuguese or Russian; any other gives English) and answers its entry as it is,
// even when empty. Any other language falls back to the English word when its own
// entry is empty.
AnsiString iemsg(TMsgLanguageWords word, TMsgLanguage language);

// ===========================================================================
// Item lists

enum class TIEListChange : Byte { ielItems, ielRange, ielCurrentValue };
using enum TIEListChange;

// A set of TIEListChange; as bits (Bits()) ielItems is 1, ielRange 2, ielCurrentValue 4.
using TIEListChanges = TSet<TIEListChange>;

// Items of ItemSize bytes each in one block. Changed records what kind of change was
// made since the last Clear; the program may also write it.
//
// Indexes: BaseGetItem outside the list answers null (typed GetItem answers 0);
// BaseSetItem and Delete outside it change nothing; InsertItem at or beyond Count
// appends, and a negative index inserts nothing. New items of SetCount are zero.
class TIEList : public TObject {
 public:
  LARK_CLASS_NAME(TIEList)
  TIEList();
  ~TIEList() override = default;
  TIEList(const TIEList&) = delete;
  TIEList& operator=(const TIEList&) = delete;

  // Keeps the first min(Count, value) items; a negative value changes nothing. A
  // block beyond 2 GB raises EOutOfMemory. Adds ielItems.
  virtual void SetCount(Integer value);
  virtual void Delete(Integer index);
  // Empties the list and Changed.
  virtual void Clear();
  // Count, ItemSize, Changed and items of source. Null, or the list itself, changes
  // nothing.
  virtual void Assign(const TIEList* source);

  Integer AddItem(const void* item);
  void InsertItem(Integer index, const void* item);
  // The first item whose bytes equal those at item; -1 when none.
  Integer IndexOfItem(const void* item) const;
  void* BaseGetItem(Integer index);
  const void* BaseGetItem(Integer index) const;
  void BaseSetItem(Integer index, const void* item);

  Integer GetCount() const noexcept { return count_; }
  Integer GetItemSize() const noexcept { return itemSize_; }

  TIEListChanges Changed;

 protected:
  Integer itemSize_ = 0;

 private:
  Integer count_ = 0;
  std::vector<Byte> data_;
};

// Numbers of one type with a range and a current value: the base of TIEDoubleList
// and TIEIntegerList.
template <class T>
class TIEValueList : public TIEList {
 public:
  void Clear() override {
    TIEList::Clear();
    itemSize_ = sizeof(T);
    rangeMin_ = rangeMax_ = rangeStep_ = currentValue_ = 0;
  }
  // Also copies the range and current value; a source of another class raises
  // EInvalidCast before anything is copied.
  void Assign(const TIEList* source) override {
    if (source == nullptr || source == this) return;
    const auto* other = dynamic_cast<const TIEValueList<T>*>(source);
    if (other == nullptr) throw EInvalidCast("Invalid class typecast");
    TIEList::Assign(source);
    rangeMin_ = other->rangeMin_;
    rangeMax_ = other->rangeMax_;
    rangeStep_ = other->rangeStep_;
    currentValue_ = other->currentValue_;
  }

  Integer Add(T value) { return AddItem(&value); }
  void Insert(Integer index, T value) { InsertItem(index, &value); }
  T GetItem(Integer index) const {
    T value = 0;
    if (const void* item = BaseGetItem(index)) std::memcpy(&value, item, sizeof value);
    return value;
  }
  void SetItem(Integer index, T value) { BaseSetItem(index, &value); }
  // Byte comparison: for doubles 0.0 and -0.0 differ.
  Integer IndexOf(T value) const { return IndexOfItem(&value); }

  T GetRangeMin() const noexcept { return rangeMin_; }
  T GetRangeMax() const noexcept { return rangeMax_; }
  T GetRangeStep() const noexcept { return rangeStep_; }
  T GetCurrentValue() const noexcept { return currentValue_; }
  // Each stores the value, even an equal one, and adds its flag.
  void SetRangeMin(T value) { SetRange(rangeMin_, value); }
  void SetRangeMax(T value) { SetRange(rangeMax_, value); }
  void SetRangeStep(T value) { SetRange(rangeStep_, value); }
  void SetCurrentValue(T value) {
    currentValue_ = value;
    Changed.Include(ielCurrentValue);
  }

 private:
  void SetRange(T& field, T value) {
    field = value;
    Changed.Include(ielRange);
  }

  T rangeMin_ = 0;
  T rangeMax_ = 0;
  T rangeStep_ = 0;
  T currentValue_ = 0;
};

// Doubles with a range and a current value.
class TIEDoubleList : public TIEValueList<double> {
 public:
  LARK_CLASS_NAME(TIEDoubleList)
  TIEDoubleList() { Clear(); }
};

// 32-bit integers with a range and a current value.
class TIEIntegerList : public TIEValueList<Integer> {
 public:
  LARK_CLASS_NAME(TIEIntegerList)
  TIEIntegerList() { Clear(); }
};

// Records of a size chosen at creation (a negative size counts as 0); Clear keeps it.
class TIERecordList : public TIEList {
 public:
  LARK_CLASS_NAME(TIERecordList)
  explicit TIERecordList(Integer recordSize);

  Integer Add(const void* rec) { return AddItem(rec); }
  void Insert(Integer index, const void* rec) { InsertItem(index, rec); }
  void* GetItem(Integer index) { return BaseGetItem(index); }
  const void* GetItem(Integer index) const { return BaseGetItem(index); }
  void SetItem(Integer index, const void* rec) { BaseSetItem(index, rec); }
  Integer IndexOf(const void* rec) const { return IndexOfItem(rec); }
};

// ===========================================================================
// Geometry (integer pixels, y growing downwards)

// Snaps the new polygon point (X2, Y2) after (X1, Y1) onto the vertical, the
// horizontal or a diagonal through (X1, Y1), with a 30-pixel threshold.
void _CastPolySelCC(Integer X1, Integer Y1, Integer& X2, Integer& Y2);
// The rectangles touch or overlap; the first may come in any corner order, the
// second must be ordered.
bool _RectXRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer XX1, Integer YY1,
                Integer XX2, Integer YY2);
// 2 when the second (ordered) rectangle lies inside the first (ordered) one, 1 when
// its edges cross the first, 0 otherwise.
Integer _RectPRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer XX1, Integer YY1,
                   Integer XX2, Integer YY2);
// Edges included; _InRectO takes the corners in any order.
bool _InRect(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2);
bool _InRectO(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2);
double _DistPoint2Point(Integer X1, Integer Y1, Integer X2, Integer Y2);
// Distance to the infinite line through the two points; the point distance when
// they are equal.
double _DistPoint2Line(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2);
// Distance to the segment; 1000000 for a point beyond an end by more than 45000
// pixels in either axis.
double _DistPoint2Seg(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2);
// Smallest distance to the polyline after mapping each point to view coordinates
// (round((P - Base) x Zoom + Offset), halves to even); 1000000 below two points.
double _DistPoint2Polyline(Integer X, Integer Y, const POINT* points, Integer count,
                           Integer baseX, Integer baseY, Integer offsetX, Integer offsetY,
                           double zoomX, double zoomY);
// The largest integer not above X, limited to the Integer range (NaN gives 0).
Integer IEFloor(long double X);

// ===========================================================================
// CIELAB in the library's byte scaling (two separate approximations, not exact
// inverses)

TIELAB IERGB2CIELAB(TRGB rgb);
// An a or b of -128 counts as +128.
TRGB IECIELAB2RGB(TIELAB lab);

// ===========================================================================
// String streams (int32 lengths, little-endian)

// The length, then the characters. A stream that takes fewer bytes raises
// EWriteError.
void SaveStringToStream(TStream* stream, const AnsiString& s);
// Reads a length and that many characters. A negative length gives "", a length
// beyond the end of the stream the characters that are there; both answer false.
bool LoadStringFromStream(TStream* stream, AnsiString& s);
// The number of strings, then each one (their objects are not saved).
void SaveStringListToStream(TStream* stream, TStrings* list);
// Clears list and adds the strings read, stopping at the first damaged one (answer
// false; the strings before it stay).
bool LoadStringListFromStream(TStream* stream, TStrings* list);

// A growable byte array that reallocates only when its size leaves the window
// [Capacity - BlockSize, Capacity].
class TIEByteArray : public TObject {
 public:
  LARK_CLASS_NAME(TIEByteArray)
  static constexpr Integer kDefaultBlockSize = 8192;

  TIEByteArray();
  ~TIEByteArray() override = default;
  TIEByteArray(const TIEByteArray&) = delete;
  TIEByteArray& operator=(const TIEByteArray&) = delete;

  // A negative size raises ERangeError, one whose block would pass 2 GB EOutOfMemory.
  void SetSize(Integer newSize);
  void AddByte(Byte b);
  void Clear();
  // Grows by count, reads up to count bytes of the stream into the new room, shrinks
  // to what came; answers the bytes read (0 for count <= 0).
  Integer AppendFromStream(TStream* stream, Integer count);

  Integer GetSize() const noexcept { return size_; }
  Integer GetCapacity() const noexcept { return capacity_; }
  Integer GetBlockSize() const noexcept { return blockSize_; }
  Byte* GetData() noexcept { return data_.get(); }
  const Byte* GetData() const noexcept { return data_.get(); }

 private:
  void Reallocate(Integer newCapacity, Integer keep);

  Integer size_ = 0;
  Integer capacity_ = 0;
  Integer blockSize_ = kDefaultBlockSize;
  std::unique_ptr<Byte[]> data_;
};

// A stream that keeps nothing and only counts: reads and writes move the position
// and grow the size. It measures how many bytes an encoder writes.
class TNulStream : public TStream {
 public:
  LARK_CLASS_NAME(TNulStream)
  TNulStream() = default;

  using TStream::Seek;
  // Touch no memory; a count <= 0 changes nothing. Answer count.
  Integer Read(void* buffer, Integer count) override;
  Integer Write(const void* buffer, Integer count) override;
  // From the beginning or the current position, the size grows to the new position;
  // from the end, the position is Size + offset. A position before 0 (or past the
  // Int64 range) is refused: the answer is -1 and nothing changes.
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 GetSize() override { return size_; }
  // Has no effect, as for a plain stream.
  void SetSize(Int64) override {}

 private:
  Int64 position_ = 0;
  Int64 size_ = 0;
};

// ===========================================================================
// System queries

// The size of the named file in bytes; -1 when it does not exist or is no file.
Int64 _getfilesize(const AnsiString& fileName);
// (2 to the power bitsPerSample, the shift taken modulo 32) to the power
// samplesPerPixel, in 32-bit arithmetic; 1 when samplesPerPixel <= 0.
Integer _GetNumCol(Integer bitsPerSample, Integer samplesPerPixel);
// Windows version tests: false on this system, which is none of them.
bool IEIs_Win2000_ME_XP();
bool IEIs_XP();
bool IEIs_98();
// s as a number; else s with its first ',' made '.' (or its first '.' made ','); else
// def.
long double IEStrToFloatDef(const AnsiString& s, long double def);
// The processor reports MMX (CPUID function 1, EDX bit 23); false off x86.
bool IEMMXSupported();

// ===========================================================================
// Scrolling parameters of the views

class TIEScrollBarParams : public TObject {
 public:
  LARK_CLASS_NAME(TIEScrollBarParams)
  Integer LineStep = -1;  // -1: the view's own step
  Integer PageStep = -1;  // -1: the view's client extent
  bool Tracking = true;   // scroll while the thumb is dragged
};

enum class TIEMouseWheelParamsAction : Byte { iemwNone, iemwVScroll, iemwZoom };
using enum TIEMouseWheelParamsAction;

enum class TIEMouseWheelParamsVariation : Byte { iemwAbsolute, iemwPercentage };
inline constexpr TIEMouseWheelParamsVariation iemwAbsolute =
    TIEMouseWheelParamsVariation::iemwAbsolute;
inline constexpr TIEMouseWheelParamsVariation iemwPercentage =
    TIEMouseWheelParamsVariation::iemwPercentage;

enum class TIEMouseWheelParamsZoomPosition : Byte { iemwCenter, iemwMouse };
inline constexpr TIEMouseWheelParamsZoomPosition iemwCenter =
    TIEMouseWheelParamsZoomPosition::iemwCenter;
inline constexpr TIEMouseWheelParamsZoomPosition iemwMouse =
    TIEMouseWheelParamsZoomPosition::iemwMouse;

class TIEMouseWheelParams : public TObject {
 public:
  LARK_CLASS_NAME(TIEMouseWheelParams)
  bool InvertDirection = false;
  TIEMouseWheelParamsAction Action = iemwZoom;
  TIEMouseWheelParamsVariation Variation = iemwPercentage;
  Integer Value = 8;  // per wheel notch
  TIEMouseWheelParamsZoomPosition ZoomPosition = iemwCenter;
};

// ===========================================================================
// Framework pixel formats, rectangle copies and DrawDib fallbacks
// (ieutils_graphics.cpp; the helpers that need the drawing layer)

enum class TPixelFormat : Byte;  // platform/vcl/Graphics.h
class TBitmap;                   // platform/vcl/Graphics.h
class TIEBitmap;                 // image/model/iebitmap.h

// Bits per pixel of a framework format: 1, 4, 8, 15, 16, 24 or 32; 0 for pfDevice
// and pfCustom.
Integer _Pixelformat2BitCount(TPixelFormat format);
// The length of a scan line of a framework bitmap of that width and format:
// _BitmapRowLen of its bit count, of 16 bits for pf15bit (whose pixels are 16-bit
// words); 0 for pfDevice and pfCustom.
Integer _PixelFormat2RowLen(Integer width, TPixelFormat format);
// The framework format of 1, 4, 8, 15, 16, 24 or 32 bits; pfCustom for any other
// count.
TPixelFormat _Bitcount2Pixelformat(Integer bits);

// Copies a width x height rectangle between a bottom-up DIB buffer (rows of
// dstRowLen bytes and dstBitCount bits per pixel; the rectangle starts at column
// dstX of memory row dstY) and a framework bitmap (the rectangle at srcX, srcY, row
// 0 at the top). Buffer row dstY + k pairs with bitmap row srcY + height - 1 - k, so
// the picture keeps its way up. direction 1 copies the bitmap into the buffer, 0
// the buffer into the bitmap; other values copy nothing.
//
// Depths: pf1bit with a 1-bit buffer bit for bit, and (direction 1 only) into a
// 24-bit buffer as white (bit 1) or black; pf8bit with an 8-bit buffer by bytes; pf24bit with a 24-bit
// buffer by TRGB. Any other pairing copies nothing.
//
// Clipping: only pixels that lie inside the bitmap, at buffer columns that fit in
// dstRowLen and at buffer rows and columns not below 0 are copied; the others of
// the rectangle are left alone on both sides. The buffer must hold the memory rows
// the rectangle reaches.
void IEBitmapMapXCopy(void* dst, Integer dstRowLen, Integer dstBitCount, TBitmap* bitmap,
                      Integer dstX, Integer dstY, Integer srcX, Integer srcY, Integer width,
                      Integer height, Integer direction);
// The same copy with a pixel store: ie1g as pf1bit, ie8p and ie8g as pf8bit, ie24RGB
// as pf24bit; ie16g and empty stores copy nothing. A copy into the store clears its
// Full flag.
void IEBitmapMapXCopy(void* dst, Integer dstRowLen, Integer dstBitCount, TIEBitmap* bitmap,
                      Integer dstX, Integer dstY, Integer srcX, Integer srcY, Integer width,
                      Integer height, Integer direction);

// DrawDib fallbacks, with DrawDibDraw's arguments and answer. The source rectangle
// counts from the top of the picture on every path, as DrawDibDraw counts it.
//
// DrawDibDrawEmu: with a DrawDib handle, DrawDibDraw; without one, a 24-bit DIB is
// drawn through a DrawDib handle opened for the call, any other through
// DrawDibDraw2.
BOOL DrawDibDrawEmu(HDRAWDIB hdd, HDC hdc, Integer xDst, Integer yDst, Integer dxDst,
                    Integer dyDst, const BITMAPINFOHEADER* header, const void* bits, Integer xSrc,
                    Integer ySrc, Integer dxSrc, Integer dySrc, UINT flags);
// StretchDIBits with SRCCOPY and the DC's stretch mode, whatever the handle and the
// flags. Null bits and sizes of -1 mean what they mean to DrawDibDraw. FALSE when
// nothing could be drawn: no header or a bad one, a bad DC, no source rows.
BOOL DrawDibDraw2(HDRAWDIB hdd, HDC hdc, Integer xDst, Integer yDst, Integer dxDst,
                  Integer dyDst, const BITMAPINFOHEADER* header, const void* bits, Integer xSrc,
                  Integer ySrc, Integer dxSrc, Integer dySrc, UINT flags);

// ===========================================================================
// Drawing helpers shared by the views

enum class TIEShadowType : Byte { iestNone, iestSolid, iestSmooth1, iestSmooth2 };
using enum TIEShadowType;

class TFont;
class TBrush;
class TCanvas;

// Shadow strips along the right and bottom edges of an image; the strip is the
// rectangle (X1, Y1)-(X2, Y2), corners included. The smooth kinds use the grey ramp
// Trunc(255 x e^(t - 1)); a strip without pixels draws nothing.
void IERightShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2,
                   TIEShadowType ShadowType);
void IEBottomShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2,
                    TIEShadowType ShadowType);
// A raised frame: highlight on the left and top, shadow on the bottom and right.
void IEDraw3DRect(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2,
                  TColor HighlightColor, TColor ShadowColor);
// A hint box kept inside Width x Height; X and Y return where it went. Background
// receives a copy of the area the box covers, for restoring it later.
void IEDrawHint(TCanvas* Canvas, Integer& X, Integer& Y, const AnsiString& Text, TFont* Font,
                TBrush* Brush, TBitmap*& Background, Integer Width, Integer Height,
                TColor HighlightColor, TColor ShadowColor);
HDRAWDIB IEDrawDibOpen();
bool IEDrawDibClose(HDRAWDIB Handle);
Integer IEDrawDibRealize(HDRAWDIB Handle, HDC DC, bool Background);
bool IEDrawDibDraw(HDRAWDIB Handle, HDC DC, Integer XDst, Integer YDst, Integer DxDst,
                   Integer DyDst, const BITMAPINFOHEADER& Header, const void* Bits, Integer XSrc,
                   Integer YSrc, Integer DxSrc, Integer DySrc, UINT Flags);

// The pixel stores and the mask belong to this unit too.
#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
