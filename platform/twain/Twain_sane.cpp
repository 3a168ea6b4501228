// SANE devices as sources. libsane is loaded at run time (dlopen), so the program
// runs, with no SANE source, where it is not installed. Capabilities map onto the
// device's options: the pixel type onto "mode" (and "depth"), the resolutions onto
// "resolution", the image layout's frame onto the scan area, the feeder onto
// "source"; memory transfers read the frame with sane_read.
#include <dlfcn.h>
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <sstream>

#include "platform/twain/SimHooks.h"
#include "platform/twain/TwainInternal.h"

namespace larktwain {

bool SaneWanted();

namespace {

struct SaneApi {
  SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
  void (*exit)() = nullptr;
  SANE_Status (*get_devices)(const SANE_Device***, SANE_Bool) = nullptr;
  SANE_Status (*open)(SANE_String_Const, SANE_Handle*) = nullptr;
  void (*close)(SANE_Handle) = nullptr;
  const SANE_Option_Descriptor* (*get_option_descriptor)(SANE_Handle, SANE_Int) = nullptr;
  SANE_Status (*control_option)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) = nullptr;
  SANE_Status (*get_parameters)(SANE_Handle, SANE_Parameters*) = nullptr;
  SANE_Status (*start)(SANE_Handle) = nullptr;
  SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
  void (*cancel)(SANE_Handle) = nullptr;
};

struct SaneState {
  std::mutex mutex;
  std::string library = "libsane.so.1";
  void* module = nullptr;
  SaneApi api;
  bool loaded = false;
  bool initialised = false;
  int openDevices = 0;
};

SaneState& S() {
  static SaneState* state = new SaneState;  // libsane stays loaded to the end
  return *state;
}

template <class F>
bool Bind(void* module, const char* name, F& f) {
  f = reinterpret_cast<F>(dlsym(module, name));
  return f != nullptr;
}

// Loads libsane once; false when it is not there.
bool Load(SaneState& s) {
  if (s.loaded) return true;
  if (s.module == nullptr) s.module = dlopen(s.library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (s.module == nullptr) return false;
  SaneApi& a = s.api;
  s.loaded = Bind(s.module, "sane_init", a.init) && Bind(s.module, "sane_exit", a.exit) &&
             Bind(s.module, "sane_get_devices", a.get_devices) && Bind(s.module, "sane_open", a.open) &&
             Bind(s.module, "sane_close", a.close) &&
             Bind(s.module, "sane_get_option_descriptor", a.get_option_descriptor) &&
             Bind(s.module, "sane_control_option", a.control_option) &&
             Bind(s.module, "sane_get_parameters", a.get_parameters) && Bind(s.module, "sane_start", a.start) &&
             Bind(s.module, "sane_read", a.read) && Bind(s.module, "sane_cancel", a.cancel);
  return s.loaded;
}

void CopyName(char (&field)[34], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), 33));
}

double MmToInches(double mm) { return mm / 25.4; }

class SaneSource : public Source {
 public:
  SaneSource(std::string name, std::string vendor, std::string model)
      : name_(std::move(name)), vendor_(std::move(vendor)), model_(std::move(model)) {}
  ~SaneSource() override { Close(); }

  void Describe(TW_IDENTITY& id) override {
    id = TW_IDENTITY{};
    id.Version.MajorNum = 1;
    id.ProtocolMajor = 1;
    id.ProtocolMinor = 9;
    id.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyName(id.Manufacturer, vendor_);
    CopyName(id.ProductFamily, model_);
    CopyName(id.ProductName, name_);
  }

  bool Open() override {
    SaneState& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (handle_ != nullptr) return true;
    if (!s.loaded || s.api.open(name_.c_str(), &handle_) != SANE_STATUS_GOOD) {
      handle_ = nullptr;
      return false;
    }
    ++s.openDevices;
    ReadOptions();
    return true;
  }

  void Close() override {
    if (handle_ == nullptr) return;
    SaneState& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (scanning_) s.api.cancel(handle_);
    s.api.close(handle_);
    handle_ = nullptr;
    scanning_ = false;
    --s.openDevices;
  }

  bool Apply(TW_UINT16 cap, uint32_t value) override {
    switch (cap) {
      case ICAP_PIXELTYPE: return SetPixelType(value);
      case ICAP_XRESOLUTION:
      case ICAP_YRESOLUTION: return SetNumber(SANE_NAME_SCAN_RESOLUTION, WordFix32(value));
      case CAP_FEEDERENABLED: return SetFeeder(value != 0);
      default: return true;
    }
  }

  TW_UINT16 SetLayout(const TW_IMAGELAYOUT& layout) override {
    const TW_FRAME& f = layout.Frame;
    const double l = FIX32ToDouble(f.Left) * 25.4, t = FIX32ToDouble(f.Top) * 25.4;
    const double r = FIX32ToDouble(f.Right) * 25.4, b = FIX32ToDouble(f.Bottom) * 25.4;
    if (r <= l || b <= t) return TWRC_FAILURE;
    // The far corner first when the frame moves outwards, the near one otherwise.
    bool ok = SetNumber(SANE_NAME_SCAN_BR_X, r) && SetNumber(SANE_NAME_SCAN_BR_Y, b) &&
              SetNumber(SANE_NAME_SCAN_TL_X, l) && SetNumber(SANE_NAME_SCAN_TL_Y, t);
    ReadLayout();
    return ok ? TWRC_SUCCESS : TWRC_FAILURE;
  }

  std::vector<std::string> Modes() override {
    std::vector<std::string> modes;
    auto it = Caps.find(ICAP_PIXELTYPE);
    if (it == Caps.end()) return modes;
    for (uint32_t t : it->second.Items) modes.push_back(t == TWPT_BW ? "Lineart" : t == TWPT_GRAY ? "Gray" : "Color");
    return modes;
  }

  void SetSettings(const std::string& text) override {
    // Any other key than the mode, resolution and area names an option of the device
    // ("test-picture=Grid"). Those go first: one may switch the area or the modes on
    // or off (a hand-scanner has no length), and the common settings then meet the
    // device as it will scan.
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, ';')) {
      const size_t eq = part.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = part.substr(0, eq), value = part.substr(eq + 1);
      if (key == "mode" || key == "resolution" || key == "area") continue;
      SetOptionText(key, value);
    }
    ReadOptions();
    Source::SetSettings(text);
    ReadOptions();
  }

  bool StartPage(TW_IMAGEINFO& info) override {
    SaneState& s = S();
    if (handle_ == nullptr) return false;
    // A device answers no option while it scans (the later sheets of a feeder): the
    // resolution is read before the first sheet starts and kept for the batch.
    if (!scanning_) dpi_ = GetNumber(SANE_NAME_SCAN_RESOLUTION, 0);
    if (!started_) {
      if (s.api.start(handle_) != SANE_STATUS_GOOD) {
        s.api.cancel(handle_);
        scanning_ = false;
        return false;
      }
      scanning_ = true;
    }
    started_ = false;
    SANE_Parameters p;
    if (s.api.get_parameters(handle_, &p) != SANE_STATUS_GOOD) return false;
    info = TW_IMAGEINFO{};
    info.XResolution = DoubleToFIX32(dpi_);
    info.YResolution = DoubleToFIX32(dpi_);
    info.ImageWidth = p.pixels_per_line;
    info.ImageLength = p.lines < 0 ? -1 : p.lines;
    const bool rgb = p.format == SANE_FRAME_RGB;
    if (!rgb && p.format != SANE_FRAME_GRAY) return false;  // three-pass frames are not offered
    info.SamplesPerPixel = rgb ? 3 : 1;
    for (int i = 0; i < info.SamplesPerPixel; ++i) info.BitsPerSample[i] = static_cast<TW_INT16>(p.depth);
    info.BitsPerPixel = static_cast<TW_INT16>(p.depth * info.SamplesPerPixel);
    info.PixelType = rgb ? TWPT_RGB : p.depth == 1 ? TWPT_BW : TWPT_GRAY;
    bytesPerLine_ = p.bytes_per_line;
    const uint32_t packed = static_cast<uint32_t>((static_cast<uint64_t>(p.pixels_per_line) * info.BitsPerPixel + 7) / 8);
    // Rows are handed on packed; a device padding its lines is read row by row.
    rowPadding_ = p.bytes_per_line > static_cast<SANE_Int>(packed) ? p.bytes_per_line - packed : 0;
    packedRow_ = packed;
    rowDone_ = 0;
    invert_ = p.depth == 1 && Flavour() == TWPF_CHOCOLATE;
    return true;
  }

  long ReadPage(uint8_t* buffer, size_t max) override {
    SaneState& s = S();
    if (handle_ == nullptr || !scanning_) return -1;
    const SANE_Int want = static_cast<SANE_Int>(std::min<size_t>(max, 1 << 20));
    for (;;) {
      SANE_Int len = 0;
      SANE_Int ask = want;
      if (rowPadding_ > 0) ask = static_cast<SANE_Int>(std::min<size_t>(static_cast<size_t>(want), packedRow_ - rowDone_));
      const SANE_Status status = s.api.read(handle_, buffer, ask, &len);
      if (status == SANE_STATUS_EOF) return 0;
      if (status != SANE_STATUS_GOOD) return -1;
      if (len <= 0) continue;
      if (invert_)
        for (SANE_Int i = 0; i < len; ++i) buffer[i] = static_cast<uint8_t>(~buffer[i]);
      if (rowPadding_ > 0) {
        rowDone_ += static_cast<uint32_t>(len);
        if (rowDone_ == packedRow_) {
          rowDone_ = 0;
          SkipPadding();
        }
      }
      return len;
    }
  }

  void EndPage() override {}

  TW_UINT16 PagesLeft() override {
    SaneState& s = S();
    if (handle_ == nullptr || !scanning_) return 0;
    if (Caps.count(CAP_FEEDERENABLED) != 0 && Caps[CAP_FEEDERENABLED].CurrentValue() != 0) {
      if (s.api.start(handle_) == SANE_STATUS_GOOD) {
        started_ = true;
        return 0xFFFF;  // another sheet was fed; how many are left is not known
      }
    }
    s.api.cancel(handle_);
    scanning_ = false;
    return 0;
  }

  void CancelPages() override {
    SaneState& s = S();
    if (handle_ != nullptr && scanning_) s.api.cancel(handle_);
    scanning_ = false;
    started_ = false;
  }

 private:
  const SANE_Option_Descriptor* Find(const std::string& name, SANE_Int* index) {
    SaneState& s = S();
    for (SANE_Int i = 1;; ++i) {
      const SANE_Option_Descriptor* d = s.api.get_option_descriptor(handle_, i);
      if (d == nullptr) return nullptr;
      if (d->name != nullptr && name == d->name) {
        *index = i;
        return d;
      }
    }
  }

  bool Active(const SANE_Option_Descriptor* d) { return d != nullptr && SANE_OPTION_IS_ACTIVE(d->cap); }

  double GetNumber(const std::string& name, double fallback) {
    SANE_Int i = 0;
    const SANE_Option_Descriptor* d = Find(name, &i);
    if (!Active(d) || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED)) return fallback;
    SANE_Word w = 0;
    if (S().api.control_option(handle_, i, SANE_ACTION_GET_VALUE, &w, nullptr) != SANE_STATUS_GOOD) return fallback;
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : w;
  }

  bool SetNumber(const std::string& name, double value) {
    SANE_Int i = 0;
    const SANE_Option_Descriptor* d = Find(name, &i);
    if (!Active(d) || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED)) return false;
    SANE_Word w = d->type == SANE_TYPE_FIXED ? SANE_FIX(value) : static_cast<SANE_Word>(std::lround(value));
    return S().api.control_option(handle_, i, SANE_ACTION_SET_VALUE, &w, nullptr) == SANE_STATUS_GOOD;
  }

  std::string GetString(const std::string& name) {
    SANE_Int i = 0;
    const SANE_Option_Descriptor* d = Find(name, &i);
    if (!Active(d) || d->type != SANE_TYPE_STRING || d->size <= 0) return std::string();
    std::vector<char> buf(static_cast<size_t>(d->size) + 1, '\0');
    if (S().api.control_option(handle_, i, SANE_ACTION_GET_VALUE, buf.data(), nullptr) != SANE_STATUS_GOOD)
      return std::string();
    return std::string(buf.data());
  }

  std::vector<std::string> StringList(const std::string& name) {
    std::vector<std::string> list;
    SANE_Int i = 0;
    const SANE_Option_Descriptor* d = Find(name, &i);
    if (!Active(d) || d->constraint_type != SANE_CONSTRAINT_STRING_LIST) return list;
    for (const SANE_String_Const* p = d->constraint.string_list; *p != nullptr; ++p) list.emplace_back(*p);
    return list;
  }

  bool SetOptionText(const std::string& name, const std::string& value) {
    SANE_Int i = 0;
    const SANE_Option_Descriptor* d = Find(name, &i);
    if (!Active(d) || !SANE_OPTION_IS_SETTABLE(d->cap)) return false;
    switch (d->type) {
      case SANE_TYPE_BOOL: {
        SANE_Word w = value == "yes" || value == "1" || value == "true" ? SANE_TRUE : SANE_FALSE;
        return S().api.control_option(handle_, i, SANE_ACTION_SET_VALUE, &w, nullptr) == SANE_STATUS_GOOD;
      }
      case SANE_TYPE_INT:
      case SANE_TYPE_FIXED: {
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        return end != value.c_str() && SetNumber(name, v);
      }
      case SANE_TYPE_STRING: {
        if (d->size <= 0 || value.size() >= static_cast<size_t>(d->size)) return false;
        std::vector<char> buf(static_cast<size_t>(d->size), '\0');
        std::memcpy(buf.data(), value.data(), value.size());
        return S().api.control_option(handle_, i, SANE_ACTION_SET_VALUE, buf.data(), nullptr) == SANE_STATUS_GOOD;
      }
      default: return false;
    }
  }

  std::vector<SANE_Word> DepthList() {
    std::vector<SANE_Word> depths;
    SANE_Int i = 0;
    const SANE_Option_Descriptor* d = Find(SANE_NAME_BIT_DEPTH, &i);
    if (!Active(d) || d->constraint_type != SANE_CONSTRAINT_WORD_LIST) return depths;
    for (SANE_Word k = 1; k <= d->constraint.word_list[0]; ++k) depths.push_back(d->constraint.word_list[k]);
    return depths;
  }

  bool Has(const std::vector<std::string>& list, const std::string& v) {
    return std::find(list.begin(), list.end(), v) != list.end();
  }

  bool SetPixelType(uint32_t type) {
    const std::vector<std::string> modes = StringList(SANE_NAME_SCAN_MODE);
    const std::vector<SANE_Word> depths = DepthList();
    const auto depth = [&](SANE_Word d) {
      return std::find(depths.begin(), depths.end(), d) == depths.end() || SetNumber(SANE_NAME_BIT_DEPTH, d);
    };
    bool ok = false;
    if (type == TWPT_BW) {
      if (Has(modes, SANE_VALUE_SCAN_MODE_LINEART)) {
        ok = SetOptionText(SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_LINEART);
      } else {
        ok = SetOptionText(SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_GRAY) && depth(1);
      }
    } else if (type == TWPT_GRAY) {
      ok = SetOptionText(SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_GRAY) && depth(8);
    } else if (type == TWPT_RGB) {
      ok = SetOptionText(SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_COLOR) && depth(8);
    }
    return ok;
  }

  bool SetFeeder(bool on) {
    const std::vector<std::string> sources = StringList(SANE_NAME_SCAN_SOURCE);
    if (sources.empty()) return !on;
    for (const auto& s : sources) {
      const bool feeder = s.find("Feeder") != std::string::npos || s.find("ADF") != std::string::npos;
      if (feeder == on) return SetOptionText(SANE_NAME_SCAN_SOURCE, s);
    }
    return false;
  }

  uint32_t Flavour() {
    auto it = Caps.find(ICAP_PIXELFLAVOR);
    return it == Caps.end() ? TWPF_VANILLA : it->second.CurrentValue();
  }

  void SkipPadding() {
    std::vector<uint8_t> pad(static_cast<size_t>(rowPadding_));
    size_t got = 0;
    while (got < pad.size()) {
      SANE_Int len = 0;
      if (S().api.read(handle_, pad.data() + got, static_cast<SANE_Int>(pad.size() - got), &len) != SANE_STATUS_GOOD) return;
      got += static_cast<size_t>(std::max<SANE_Int>(len, 0));
    }
  }

  void ReadLayout() {
    Layout = TW_IMAGELAYOUT{};
    Layout.Frame.Left = DoubleToFIX32(MmToInches(GetNumber(SANE_NAME_SCAN_TL_X, 0)));
    Layout.Frame.Top = DoubleToFIX32(MmToInches(GetNumber(SANE_NAME_SCAN_TL_Y, 0)));
    Layout.Frame.Right = DoubleToFIX32(MmToInches(GetNumber(SANE_NAME_SCAN_BR_X, 0)));
    Layout.Frame.Bottom = DoubleToFIX32(MmToInches(GetNumber(SANE_NAME_SCAN_BR_Y, 0)));
  }

  // The capability table from the device's options as they are now.
  void ReadOptions() {
    const uint32_t flavour = Caps.count(ICAP_PIXELFLAVOR) != 0 ? Caps[ICAP_PIXELFLAVOR].CurrentValue() : TWPF_VANILLA;
    const bool undefined = Caps.count(ICAP_UNDEFINEDIMAGESIZE) != 0 && Caps[ICAP_UNDEFINEDIMAGESIZE].CurrentValue() != 0;
    const uint32_t mech = Caps.count(ICAP_XFERMECH) != 0 ? Caps[ICAP_XFERMECH].CurrentValue() : TWSX_NATIVE;
    Caps.clear();
    const std::vector<std::string> modes = StringList(SANE_NAME_SCAN_MODE);
    const std::vector<SANE_Word> depths = DepthList();
    std::vector<uint32_t> types;
    const bool oneBit = std::find(depths.begin(), depths.end(), 1) != depths.end();
    if (Has(modes, SANE_VALUE_SCAN_MODE_LINEART) || (Has(modes, SANE_VALUE_SCAN_MODE_GRAY) && oneBit)) types.push_back(TWPT_BW);
    if (Has(modes, SANE_VALUE_SCAN_MODE_GRAY)) types.push_back(TWPT_GRAY);
    if (Has(modes, SANE_VALUE_SCAN_MODE_COLOR)) types.push_back(TWPT_RGB);
    const std::string mode = GetString(SANE_NAME_SCAN_MODE);
    const double depth = GetNumber(SANE_NAME_BIT_DEPTH, 8);
    uint32_t current = mode == SANE_VALUE_SCAN_MODE_COLOR ? TWPT_RGB
                       : mode == SANE_VALUE_SCAN_MODE_LINEART || depth == 1 ? TWPT_BW
                                                                            : TWPT_GRAY;
    if (!types.empty()) {
      const auto at = std::find(types.begin(), types.end(), current);
      Caps[ICAP_PIXELTYPE] = CapValue::Enum(TWTY_UINT16, types, static_cast<uint32_t>(at == types.end() ? 0 : at - types.begin()));
    }
    SANE_Int ri = 0;
    const SANE_Option_Descriptor* res = Find(SANE_NAME_SCAN_RESOLUTION, &ri);
    if (Active(res)) {
      const double dpi = GetNumber(SANE_NAME_SCAN_RESOLUTION, 0);
      const bool fixed = res->type == SANE_TYPE_FIXED;
      const auto unfix = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : static_cast<double>(w); };
      CapValue c;
      if (res->constraint_type == SANE_CONSTRAINT_RANGE) {
        const SANE_Range* r = res->constraint.range;
        const double step = r->quant != 0 ? unfix(r->quant) : 1.0;
        c = CapValue::Range(TWTY_FIX32, Fix32Word(unfix(r->min)), Fix32Word(unfix(r->max)), Fix32Word(step), Fix32Word(dpi));
      } else if (res->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        std::vector<uint32_t> items;
        uint32_t index = 0;
        for (SANE_Word k = 1; k <= res->constraint.word_list[0]; ++k) {
          const double v = unfix(res->constraint.word_list[k]);
          if (std::fabs(v - dpi) < 1e-6) index = static_cast<uint32_t>(items.size());
          items.push_back(Fix32Word(v));
        }
        c = CapValue::Enum(TWTY_FIX32, items, index);
      } else {
        c = CapValue::One(TWTY_FIX32, Fix32Word(dpi));
      }
      Caps[ICAP_XRESOLUTION] = c;
      Caps[ICAP_YRESOLUTION] = c;
    }
    Caps[ICAP_UNITS] = CapValue::Enum(TWTY_UINT16, {TWUN_INCHES}, 0);
    Caps[ICAP_XFERMECH] = CapValue::Enum(TWTY_UINT16, {TWSX_NATIVE, TWSX_MEMORY}, mech == TWSX_MEMORY ? 1 : 0);
    Caps[ICAP_PIXELFLAVOR] = CapValue::Enum(TWTY_UINT16, {TWPF_CHOCOLATE, TWPF_VANILLA}, flavour);
    Caps[ICAP_PLANARCHUNKY] = CapValue::Enum(TWTY_UINT16, {TWPC_CHUNKY}, 0);
    Caps[ICAP_UNDEFINEDIMAGESIZE] = CapValue::Enum(TWTY_BOOL, {0, 1}, undefined ? 1 : 0);
    Caps[CAP_INDICATORS] = CapValue::Enum(TWTY_BOOL, {0, 1}, 1);
    Caps[CAP_DUPLEX] = CapValue::One(TWTY_UINT16, 0);
    Caps[CAP_DUPLEX].ReadOnly = true;
    Caps[CAP_DUPLEXENABLED] = CapValue::Enum(TWTY_BOOL, {0}, 0);
    const std::vector<std::string> sources = StringList(SANE_NAME_SCAN_SOURCE);
    const std::string source = GetString(SANE_NAME_SCAN_SOURCE);
    bool hasFeeder = false;
    for (const auto& s : sources) hasFeeder |= s.find("Feeder") != std::string::npos || s.find("ADF") != std::string::npos;
    const bool feederOn = source.find("Feeder") != std::string::npos || source.find("ADF") != std::string::npos;
    Caps[CAP_FEEDERENABLED] = hasFeeder ? CapValue::Enum(TWTY_BOOL, {0, 1}, feederOn ? 1 : 0) : CapValue::Enum(TWTY_BOOL, {0}, 0);
    Caps[CAP_FEEDERLOADED] = CapValue::One(TWTY_BOOL, feederOn ? 1 : 0);
    Caps[CAP_FEEDERLOADED].ReadOnly = true;
    Caps[CAP_AUTOFEED] = CapValue::Enum(TWTY_BOOL, {0, 1}, 1);
    SANE_Int bi = 0;
    if (const SANE_Option_Descriptor* br = Find(SANE_NAME_SCAN_BR_X, &bi); Active(br) && br->constraint_type == SANE_CONSTRAINT_RANGE) {
      const double mm = br->type == SANE_TYPE_FIXED ? SANE_UNFIX(br->constraint.range->max) : br->constraint.range->max;
      Caps[ICAP_PHYSICALWIDTH] = CapValue::One(TWTY_FIX32, Fix32Word(MmToInches(mm)));
      Caps[ICAP_PHYSICALWIDTH].ReadOnly = true;
    }
    if (const SANE_Option_Descriptor* br = Find(SANE_NAME_SCAN_BR_Y, &bi); Active(br) && br->constraint_type == SANE_CONSTRAINT_RANGE) {
      const double mm = br->type == SANE_TYPE_FIXED ? SANE_UNFIX(br->constraint.range->max) : br->constraint.range->max;
      Caps[ICAP_PHYSICALHEIGHT] = CapValue::One(TWTY_FIX32, Fix32Word(MmToInches(mm)));
      Caps[ICAP_PHYSICALHEIGHT].ReadOnly = true;
    }
    ReadLayout();
  }

  std::string name_, vendor_, model_;
  SANE_Handle handle_ = nullptr;
  bool scanning_ = false;
  bool started_ = false;
  double dpi_ = 0;  // the resolution of the sheets being scanned
  bool invert_ = false;
  SANE_Int bytesPerLine_ = 0;
  uint32_t rowPadding_ = 0;
  uint32_t packedRow_ = 0;
  uint32_t rowDone_ = 0;
};

}  // namespace

std::vector<std::shared_ptr<Source>> SaneSources() {
  std::vector<std::shared_ptr<Source>> list;
  SaneState& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!Load(s)) return list;
  // SANE is started once and kept for the process (its backends keep state that a
  // restart does not clear); the devices are asked for again each time.
  if (!s.initialised) {
    SANE_Int version = 0;
    if (s.api.init(&version, nullptr) != SANE_STATUS_GOOD) return list;
    s.initialised = true;
  }
  const SANE_Device** devices = nullptr;
  if (s.api.get_devices(&devices, SANE_TRUE) != SANE_STATUS_GOOD || devices == nullptr) return list;
  for (const SANE_Device** d = devices; *d != nullptr; ++d) {
    const SANE_Device* dev = *d;
    list.push_back(std::make_shared<SaneSource>(dev->name ? dev->name : "", dev->vendor ? dev->vendor : "",
                                                dev->model ? dev->model : ""));
  }
  return list;
}

}  // namespace larktwain

namespace sim {

void SetSaneLibrary(const std::string& name) {
  larktwain::SaneState& s = larktwain::S();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.module != nullptr) return;  // once loaded, libsane stays
  s.library = name;
}

}  // namespace sim
