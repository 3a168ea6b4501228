// The unit's start-up and shut-down: the installer-feature value hidden while the
// program runs, OLE initialised for the GUI thread, and pictures in pages loaded
// through the image library.
#include <memory>

#include "html/ProfDHTMLEdit.h"
#include "image/io/dadiravio.h"
#include "image/model/iebitmap.h"
#include "platform/ole/Com.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Registry.h"
#include "platform/vcl/Graphics.h"

namespace {

constexpr char kFeatureValue[] = "HTMLSourceEditing";
constexpr char kFeaturesKey[] = "\\Installer\\Features\\";

bool started = false;
bool stopped = false;

// The largest picture a page may show, per side: a bigger file is not drawn.
constexpr Integer kMaxPictureSide = 8192;

}  // namespace

const std::array<const char*, 10>& HTMLSourceEditingTemplates() {
  static const std::array<const char*, 10> templates = {
      "lang00001E872D116BF00006799C897E", "lang10001E872D116BF00006799C897E",
      "lang20001E872D116BF00006799C897E", "lang30001E872D116BF00006799C897E",
      "lang21001E872D116BF00006799C897E", "lang71001E872D116BF00006799C897E",
      "lang11001E872D116BF00006799C897E", "lang31001E872D116BF00006799C897E",
      "lang01001E872D116BF00006799C897E", "lang61001E872D116BF00006799C897E"};
  return templates;
}

const std::array<uint16_t, 171>& HTMLSourceEditingLocales() {
  static const std::array<uint16_t, 171> locales = {
    0x0436, 0x041C, 0x1401, 0x3C01, 0x0C01, 0x0801, 0x2C01, 0x3401, 0x3001, 0x1001, 0x1801, 0x2001, 
    0x4001, 0x0401, 0x2801, 0x1C01, 0x3801, 0x2401, 0x042B, 0x042C, 0x082C, 0x042D, 0x0423, 0x0402, 
    0x0403, 0x0804, 0x0C04, 0x1404, 0x1004, 0x0404, 0x041A, 0x0405, 0x0406, 0x0413, 0x0813, 0x0C09, 
    0x2809, 0x1009, 0x2409, 0x1809, 0x2009, 0x1409, 0x3409, 0x1C09, 0x2C09, 0x0809, 0x0409, 0x3009, 
    0x0425, 0x0438, 0x0429, 0x040B, 0x080C, 0x0C0C, 0x040C, 0x140C, 0x180C, 0x100C, 0x0437, 0x0C07, 
    0x0407, 0x1407, 0x1007, 0x0807, 0x0408, 0x040D, 0x0439, 0x040E, 0x040F, 0x0421, 0x0410, 0x0810, 
    0x0411, 0x043F, 0x0457, 0x0412, 0x0426, 0x0427, 0x042F, 0x083E, 0x043E, 0x044E, 0x0414, 0x0814, 
    0x0415, 0x0416, 0x0816, 0x0418, 0x0419, 0x044F, 0x0C1A, 0x081A, 0x041B, 0x0424, 0x2C0A, 0x400A, 
    0x340A, 0x240A, 0x140A, 0x1C0A, 0x300A, 0x440A, 0x100A, 0x480A, 0x080A, 0x4C0A, 0x180A, 0x3C0A, 
    0x280A, 0x500A, 0x040A, 0x0C0A, 0x380A, 0x200A, 0x0441, 0x041D, 0x081D, 0x0449, 0x0444, 0x041E, 
    0x041F, 0x0422, 0x0420, 0x0843, 0x0445, 0x0446, 0x0447, 0x0448, 0x044A, 0x044B, 0x044C, 0x044D, 
    0x0450, 0x0451, 0x0453, 0x0454, 0x0455, 0x0456, 0x045A, 0x045B, 0x045D, 0x045E, 0x0461, 0x0462, 
    0x0463, 0x0464, 0x0465, 0x0468, 0x046A, 0x0470, 0x0440, 0x0428, 0x0442, 0x043A, 0x043B, 0x043C, 
    0x083C, 0x0430, 0x0431, 0x0432, 0x0430, 0x0818, 0x0819, 0x101A, 0x141A, 0x0443, 0x0433, 0x042A, 
    0x0452, 0x0434, 0x0435};
  return locales;
}

AnsiString HTMLSourceEditingKey(const char* productTemplate, uint16_t lcid) {
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(lcid));
  const AnsiString reversed{digits[3], digits[2], digits[1], digits[0]};
  return AnsiString(kFeaturesKey) + reversed + AnsiString(productTemplate).substr(4);
}

void SetHTMLSourceEditingFeature(bool hide) {
  try {
    TRegistry registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    const AnsiString plain = kFeatureValue;
    const AnsiString hidden = "_" + plain;
    const AnsiString& oldName = hide ? plain : hidden;
    const AnsiString& newName = hide ? hidden : plain;
    for (const char* productTemplate : HTMLSourceEditingTemplates()) {
      for (uint16_t lcid : HTMLSourceEditingLocales()) {
        const AnsiString key = HTMLSourceEditingKey(productTemplate, lcid);
        if (!registry.KeyExists(key)) continue;
        if (!registry.OpenKey(key, true)) continue;
        if (registry.ValueExists(oldName)) registry.RenameValue(oldName, newName);
        registry.CloseKey();
      }
    }
  } catch (...) {
    // Refused access ends the toggle; the program starts all the same.
  }
}

void ProfDHTMLEditStartup() {
  if (started) return;
  started = true;
  SetHTMLSourceEditingFeature(true);
  OleInitialize(nullptr);
}

void ProfDHTMLEditShutdown() {
  if (!started || stopped) return;
  stopped = true;
  SetHTMLSourceEditingFeature(false);
  OleUninitialize();
}

bool ProfDHTMLEditStarted() { return started && !stopped; }

HBITMAP LoadPagePicture(const WideString& src) {
  AnsiString path = WideToAnsi(src);
  // file: addresses name local files: "file:///path", "file://localhost/path", "file:/path".
  auto startsWith = [&](const char* prefix) {
    const AnsiString p = prefix;
    if (path.size() < p.size()) return false;
    for (size_t i = 0; i < p.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(path[i])) != p[i]) return false;
    return true;
  };
  if (startsWith("file://localhost/")) path = path.substr(16);
  else if (startsWith("file:///")) path = path.substr(7);
  else if (startsWith("file:/")) path = path.substr(5);
  else if (path.find("://") != AnsiString::npos) return 0;  // nothing is fetched from the web
  if (path.empty()) return 0;
  try {
    TIEBitmap picture;
    TDadirAvIO io(nullptr);
    io.SetAttachedIEBitmap(&picture);
    io.LoadFromFile(path);
    if (io.GetAborting() || picture.GetWidth() <= 0 || picture.GetHeight() <= 0) return 0;
    if (picture.GetWidth() > kMaxPictureSide || picture.GetHeight() > kMaxPictureSide) return 0;
    TBitmap bitmap;
    picture.CopyToTBitmap(&bitmap);
    return bitmap.ReleaseHandle();
  } catch (...) {
    return 0;
  }
}
