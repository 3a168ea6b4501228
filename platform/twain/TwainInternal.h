// Inside the data source manager: what a source is to it. A source answers the
// capability and transfer calls the manager passes on; the manager keeps the
// protocol's states, the events posted to the application's window and the
// dialogs. The SANE devices (Twain_sane.cpp) and the scripted sources of tests
// (platform/sim/Twain.h) are sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/twain/Twain.h"

namespace larktwain {

// One capability as a source keeps it, and the form it answers MSG_GET in. Items and
// values are raw 32-bit words (a TW_FIX32 as its four bytes in memory); strings in Text.
struct CapValue {
  TW_UINT16 ConType = TWON_ONEVALUE;
  TW_UINT16 ItemType = TWTY_UINT16;
  std::vector<uint32_t> Items;  // array and enumeration
  uint32_t Current = 0;         // one value, range; the enumeration's current index
  uint32_t Default = 0;         // range default; the enumeration's default index
  uint32_t Min = 0, Max = 0, Step = 0;  // range
  std::string Text;             // string item types
  bool ReadOnly = false;

  // The value now in force (a one value's item, a range's current value, the
  // enumeration's current item, an array's first item).
  uint32_t CurrentValue() const;
  // Whether a set to value is allowed (among the items, or inside the range).
  bool Allows(uint32_t value) const;
  static CapValue One(TW_UINT16 itemType, uint32_t value);
  static CapValue Enum(TW_UINT16 itemType, std::vector<uint32_t> items, uint32_t currentIndex);
  static CapValue Range(TW_UINT16 itemType, uint32_t min, uint32_t max, uint32_t step, uint32_t current);
  static CapValue String(const std::string& text);
};

uint32_t Fix32Word(double value);
double WordFix32(uint32_t word);

// The container of value in a new global memory block (0 when it cannot be had).
HGLOBAL EncodeContainer(const CapValue& value);
// Reads a container the application sent: its form, item type and the value it
// asks for (an enumeration's item at CurrentIndex, a range's CurrentValue). False
// for a container whose counts or indexes leave its block, or an unknown item type.
bool DecodeContainer(TW_UINT16 conType, HGLOBAL container, TW_UINT16* itemType, uint32_t* value);

// A page being scanned: its description, and the rows read so far.
struct PageState {
  TW_IMAGEINFO Info;
  bool Active = false;
  bool Done = false;
  uint32_t RowsRead = 0;
  bool LengthUnknown = false;
};

class Source {
 public:
  virtual ~Source() = default;
  Source() = default;
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;

  // The identity the manager lists (it sets Id).
  virtual void Describe(TW_IDENTITY& identity) = 0;
  // The device is taken for an application (MSG_OPENDS) and let go (MSG_CLOSEDS).
  virtual bool Open() = 0;
  virtual void Close() = 0;

  // Capabilities. The defaults answer from Caps; a set that Allows the value stores
  // it and calls Apply, which may refuse it.
  virtual TW_UINT16 GetCapability(TW_CAPABILITY& cap);
  virtual TW_UINT16 SetCapability(TW_CAPABILITY& cap);
  virtual bool Apply(TW_UINT16 /*cap*/, uint32_t /*value*/) { return true; }
  virtual TW_UINT16 GetLayout(TW_IMAGELAYOUT& layout);
  virtual TW_UINT16 SetLayout(const TW_IMAGELAYOUT& layout);

  // The source's own dialog: its settings as text ("mode=Color;resolution=300;
  // area=0,0,8.5,11") and the modes it offers; SetSettings applies the dialog's text.
  virtual std::string Settings();
  virtual std::vector<std::string> Modes();
  virtual void SetSettings(const std::string& text);
  // Scan was pressed in the dialog, or the source was enabled without one: false
  // when it has nothing to give (it then asks to be closed).
  virtual bool Ready() { return true; }

  // Pages. StartPage begins the next page and describes it (false: no page, the
  // feeder is empty or the device failed); EndPage ends the page in hand (reading
  // what is left of it is not needed); PagesLeft after EndPage: 0 none, 0xFFFF
  // unknown but another was started, else how many.
  virtual bool StartPage(TW_IMAGEINFO& info) = 0;
  virtual void EndPage() = 0;
  virtual TW_UINT16 PagesLeft() = 0;
  virtual void CancelPages() = 0;
  // The page's rows, top to bottom, each (width x bits per pixel + 7) / 8 bytes,
  // red-green-blue for colour, 1 bit most significant first in the source's pixel
  // flavour. Up to max bytes (short reads allowed); 0 at the page's end, -1 when the
  // device failed.
  virtual long ReadPage(uint8_t* buffer, size_t max) = 0;
  virtual TW_UINT16 SetupMemXfer(TW_SETUPMEMXFER& setup);
  // One strip into the application's buffer; the default gathers whole rows from
  // ReadPage.
  virtual TW_UINT16 MemXfer(PageState& page, TW_IMAGEMEMXFER& xfer);
  // The whole page as a packed DIB in global memory.
  virtual TW_UINT16 NativeXfer(PageState& page, TW_HANDLE* dib);
  virtual std::string Caption() { return std::string(); }

  std::map<TW_UINT16, CapValue> Caps;
  TW_IMAGELAYOUT Layout;
};

// The sources the manager lists when it opens, in order: scripted ones first (set
// by tests), then the SANE devices when SANE is on.
std::vector<std::shared_ptr<Source>> CurrentSources();
std::vector<std::shared_ptr<Source>> SaneSources();
// The rows of a whole page read into memory (at most maxBytes); false on a failed
// read or a page over the bound.
bool ReadWholePage(Source& source, PageState& page, std::vector<uint8_t>& rows, size_t maxBytes);

}  // namespace larktwain
