// The scanner world of a test: a program folder of its own whose "windows" folder
// holds the data source manager's library (removed for "no manager"), the scripted
// sources the manager lists, and raw capability containers.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/SimHooks.h"
#include "platform/sim/Twain.h"
#include "tests/support/Peers.h"

namespace larktest {

class ScannerWorld {
 public:
  ScannerWorld() {
    sim::SetProgramPath(dir_.Path() + "larkspool");
    const std::string windows = dir_.Path() + "windows";
    ::mkdir(windows.c_str(), 0700);
    InstallManager();
  }
  ~ScannerWorld() {
    sim::SetTwainSources({});
    sim::UseSaneSources(false);
    sim::SetProgramPath("");
  }
  ScannerWorld(const ScannerWorld&) = delete;
  ScannerWorld& operator=(const ScannerWorld&) = delete;

  std::string ManagerPath() const { return dir_.Path() + "windows/TWAIN_32.DLL"; }
  void InstallManager() {
    if (FILE* f = std::fopen(ManagerPath().c_str(), "w")) {
      std::fputs("data source manager\n", f);
      std::fclose(f);
    }
  }
  void RemoveManager() { std::remove(ManagerPath().c_str()); }
  const std::string& Dir() const { return dir_.Path(); }

  // Scripted sources, listed in this order.
  std::shared_ptr<sim::ScriptedTwainSource> Add(sim::TwainScript script = {}) {
    auto source = sim::MakeTwainSource(std::move(script));
    sources_.push_back(source);
    std::vector<std::shared_ptr<larktwain::Source>> all(sources_.begin(), sources_.end());
    sim::SetTwainSources(all);
    return source;
  }

 private:
  TempDir dir_;
  std::vector<std::shared_ptr<sim::ScriptedTwainSource>> sources_;
};

inline sim::TwainScript Named(const std::string& name) {
  sim::TwainScript script;
  script.ProductName = name;
  return script;
}

// A page of the given size and depth (1 black and white, 8 grey, 24 colour; other
// depths announced as grey).
inline sim::TwainPage Page(int32_t width, int32_t length, int16_t bits) {
  sim::TwainPage page;
  page.Width = width;
  page.Length = length;
  page.BitsPerPixel = bits;
  page.PixelType = bits == 1 ? TWPT_BW : bits == 24 || bits == 48 ? TWPT_RGB : TWPT_GRAY;
  return page;
}

// The skip-th and following calls of the triplet answer code, times times (-1: for ever).
inline sim::TwainFault Fault(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 code = TWRC_FAILURE,
                             int skip = 0, int times = 1) {
  sim::TwainFault f;
  f.DG = dg;
  f.DAT = dat;
  f.MSG = msg;
  f.Code = code;
  f.Skip = skip;
  f.Times = times;
  return f;
}

// Container bytes, little-endian.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u16(uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  Bytes& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& fix(double v) { return u32(larktwain::Fix32Word(v)); }
};

// A global memory block holding the bytes (the caller frees it).
inline HGLOBAL Container(const std::vector<uint8_t>& bytes) {
  HGLOBAL h = GlobalAlloc(GHND, bytes.size());
  if (!bytes.empty()) std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
  GlobalUnlock(h);
  return h;
}

}  // namespace larktest
