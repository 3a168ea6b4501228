// Outline faces as a face provider: fontconfig finds the face file for a LOGFONT's
// name, weight and slant, FreeType scales it and renders anti-aliased glyphs.
//
// One FreeType library serves the process, started on first use. FreeType's objects
// are not safe to share between threads, and GDI is called from worker threads too,
// so every call into FreeType or fontconfig happens under one lock; glyph images leave
// the lock as shared, immutable copies.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <unordered_map>

#include "platform/win/GdiFaceInternal.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/GdiText.h"

namespace gdi {

namespace {

// Bounds of what this provider keeps, whatever sizes and texts callers ask for.
constexpr size_t kMaxFaceFiles = 16;           // open face files
constexpr size_t kMaxSizedFonts = 32;          // faces at a size and style
constexpr size_t kMaxChoices = 64;             // remembered fontconfig answers
constexpr size_t kMaxGlyphBytesPerFont = 1 << 20;  // coverage kept per sized font
constexpr Integer kMaxPixelSize = 2048;        // largest em, in pixels

// The framework's usual faces and the DejaVu face that stands for each; an empty
// name is the framework's default UI face.
struct Alias {
  const char* Name;
  const char* Family;
};
constexpr Alias kAliases[] = {
    {"", "DejaVu Sans"},
    {"MS Sans Serif", "DejaVu Sans"},
    {"MS Shell Dlg", "DejaVu Sans"},
    {"MS Shell Dlg 2", "DejaVu Sans"},
    {"Tahoma", "DejaVu Sans"},
    {"Arial", "DejaVu Sans"},
    {"Verdana", "DejaVu Sans"},
    {"Times New Roman", "DejaVu Serif"},
    {"Courier New", "DejaVu Sans Mono"},
};
constexpr const char* kFallbackFamily = "DejaVu Sans";

// What fontconfig chose: a face in a file, and the styles FreeType has to make up
// because the family has no such face.
struct Choice {
  std::string File;
  int Index = 0;
  bool Embolden = false;
  bool Oblique = false;
  auto Key() const { return std::tie(File, Index, Embolden, Oblique); }
};

class Engine;

// An open face file, shared by the sizes made from it.
struct FaceFile {
  FT_Face Face = nullptr;
  ~FaceFile();
};

class FtFont final : public RealFont {
 public:
  FtFont(std::shared_ptr<FaceFile> file, FT_Size size, const Choice& choice, Integer ppem, Integer weight);
  ~FtFont() override;
  const FontMetrics& Metrics() const override { return m_; }
  Integer Advance(char32_t c) const override;
  std::shared_ptr<const GlyphImage> Glyph(char32_t c, Integer cellWidth) const override;

 private:
  struct Entry {
    Integer Advance = 0;
    std::shared_ptr<const GlyphImage> Image;
  };
  // Loads (and renders) c into the cache; under the engine's lock.
  const Entry& Load(char32_t c) const;

  std::shared_ptr<FaceFile> file_;
  FT_Size size_;
  bool embolden_;
  bool oblique_;
  FontMetrics m_;
  mutable std::unordered_map<char32_t, Entry> glyphs_;
  mutable size_t glyphBytes_ = 0;
};

class Engine {
 public:
  static Engine& Get() {
    static Engine* e = new Engine;  // never destroyed: fonts may outlive static destruction
    return *e;
  }
  std::recursive_mutex& Lock() { return lock_; }

  // Starts FreeType and fontconfig once; false when either fails.
  bool Start() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!tried_) {
      tried_ = true;
      ok_ = FT_Init_FreeType(&lib_) == 0 && FcInit() == FcTrue;
      // fontconfig's configuration is freed at exit (only answers copied out of it
      // are kept here), so that leak checkers see a clean process.
      if (ok_) std::atexit([] { FcFini(); });
    }
    return ok_;
  }

  bool Available() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!Start()) return false;
    Choice c;
    return Match(kFallbackFamily, FW_NORMAL, false, c) && OpenFile(c) != nullptr;
  }

  std::shared_ptr<const RealFont> Font(const LOGFONT& lf) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!Start()) return nullptr;
    const Integer weight = lf.lfWeight == 0 ? FW_NORMAL : std::clamp<Integer>(lf.lfWeight, 1, 1000);
    const bool italic = lf.lfItalic != 0;
    Choice choice;
    std::shared_ptr<FaceFile> file;
    if (Resolve(lf.lfFaceName, weight, italic, choice)) file = OpenFile(choice);
    if (!file && Match(kFallbackFamily, weight, italic, choice)) file = OpenFile(choice);
    if (!file) return nullptr;
    const Integer ppem = PixelSize(file->Face, lf.lfHeight);

    auto key = std::make_tuple(choice.File, choice.Index, choice.Embolden, choice.Oblique, ppem, lf.lfWidth, weight);
    ++tick_;
    if (auto it = fonts_.find(key); it != fonts_.end()) {
      it->second.Used = tick_;
      return it->second.Font;
    }
    FT_Size size = nullptr;
    if (FT_New_Size(file->Face, &size) != 0) return nullptr;
    FT_Activate_Size(size);
    if (FT_Set_Pixel_Sizes(file->Face, static_cast<FT_UInt>(WidthPixels(file->Face, ppem, lf.lfWidth)),
                           static_cast<FT_UInt>(ppem)) != 0) {
      FT_Done_Size(size);
      return nullptr;
    }
    auto font = std::make_shared<FtFont>(file, size, choice, ppem, weight);
    if (fonts_.size() >= kMaxSizedFonts) EvictOldest(fonts_);
    fonts_[key] = Cached<FtFont>{font, tick_};
    return font;
  }

  FT_Library Library() const { return lib_; }

 private:
  template <class T>
  struct Cached {
    std::shared_ptr<T> Font;
    uint64_t Used = 0;
  };
  template <class Map>
  static void EvictOldest(Map& map) {
    auto oldest = map.begin();
    for (auto it = map.begin(); it != map.end(); ++it)
      if (it->second.Used < oldest->second.Used) oldest = it;
    map.erase(oldest);  // users keep their copy alive
  }

  // The face for a LOGFONT name: the framework's faces by the table, others by
  // fontconfig's own matching.
  bool Resolve(const char* name, Integer weight, bool italic, Choice& out) {
    const char* family = name;
    for (const Alias& a : kAliases)
      if (strcasecmp(a.Name, name) == 0) family = a.Family;
    return Match(family, weight, italic, out);
  }

  bool Match(const std::string& family, Integer weight, bool italic, Choice& out) {
    auto key = std::make_tuple(family, weight, italic);
    if (auto it = choices_.find(key); it != choices_.end()) {
      out = it->second;
      return true;
    }
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    const int fcWeight = FcWeightFromOpenType(weight);
    FcPatternAddInteger(pattern, FC_WEIGHT, fcWeight);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    int index = 0, gotWeight = FC_WEIGHT_REGULAR, gotSlant = FC_SLANT_ROMAN;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found) {
      out.File = reinterpret_cast<const char*>(file);
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      FcPatternGetInteger(match, FC_WEIGHT, 0, &gotWeight);
      FcPatternGetInteger(match, FC_SLANT, 0, &gotSlant);
      out.Index = index;
      out.Embolden = fcWeight >= FC_WEIGHT_DEMIBOLD && gotWeight < FC_WEIGHT_DEMIBOLD;
      out.Oblique = italic && gotSlant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    if (!found) return false;
    if (choices_.size() >= kMaxChoices) choices_.clear();
    choices_[key] = out;
    return true;
  }

  std::shared_ptr<FaceFile> OpenFile(const Choice& c) {
    auto key = std::make_pair(c.File, c.Index);
    ++tick_;
    if (auto it = files_.find(key); it != files_.end()) {
      it->second.Used = tick_;
      return it->second.Font;
    }
    auto file = std::make_shared<FaceFile>();
    if (FT_New_Face(lib_, c.File.c_str(), c.Index, &file->Face) != 0 || !FT_IS_SCALABLE(file->Face)) return nullptr;
    if (files_.size() >= kMaxFaceFiles) EvictOldest(files_);
    files_[key] = Cached<FaceFile>{file, tick_};
    return file;
  }

  // The em in pixels for a LOGFONT height: a negative height is the character height
  // (the em), a positive one the cell (the face's Windows ascent and descent), 0 the
  // 8-point size at the screen's resolution.
  static Integer PixelSize(FT_Face face, Integer height) {
    if (height == 0) height = -MulDiv(8, CurrentScreen().DpiY, 72);
    int64_t ppem = height < 0 ? -int64_t{height} : 0;
    if (height > 0) {
      int64_t cell = 0;
      auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      cell = os2 ? int64_t{os2->usWinAscent} + os2->usWinDescent : int64_t{face->ascender} - face->descender;
      if (cell <= 0) cell = face->units_per_EM;
      ppem = (int64_t{height} * face->units_per_EM + cell / 2) / cell;
      // The cell at that size must not pass the height asked for.
      while (ppem > 1 && std::lround(static_cast<double>(cell) * ppem / face->units_per_EM) > height) --ppem;
    }
    return static_cast<Integer>(std::clamp<int64_t>(ppem, 1, kMaxPixelSize));
  }

  // The horizontal em for a width asked for: the face's average width scaled to it.
  static Integer WidthPixels(FT_Face face, Integer ppem, Integer width) {
    if (width <= 0) return ppem;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    int64_t average = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : face->units_per_EM / 2;
    int64_t x = (int64_t{width} * face->units_per_EM + average / 2) / average;
    return static_cast<Integer>(std::clamp<int64_t>(x, 1, kMaxPixelSize));
  }

  std::recursive_mutex lock_;
  bool tried_ = false;
  bool ok_ = false;
  FT_Library lib_ = nullptr;
  uint64_t tick_ = 0;
  std::map<std::tuple<std::string, Integer, bool>, Choice> choices_;
  std::map<std::pair<std::string, int>, Cached<FaceFile>> files_;
  std::map<std::tuple<std::string, int, bool, bool, Integer, Integer, Integer>, Cached<FtFont>> fonts_;
};

FaceFile::~FaceFile() {
  std::lock_guard<std::recursive_mutex> hold(Engine::Get().Lock());
  if (Face) FT_Done_Face(Face);
}

Integer Round26(FT_Pos v) { return static_cast<Integer>((v + 32) >> 6); }

FtFont::FtFont(std::shared_ptr<FaceFile> file, FT_Size size, const Choice& choice, Integer ppem, Integer weight)
    : file_(std::move(file)), size_(size), embolden_(choice.Embolden), oblique_(choice.Oblique) {
  FT_Face face = file_->Face;
  const double upem = face->units_per_EM;
  const double sy = ppem / upem;
  const double sx = static_cast<double>(size->metrics.x_ppem) / upem;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  const double winAscent = os2 ? os2->usWinAscent : face->ascender;
  const double winDescent = os2 ? os2->usWinDescent : -face->descender;
  m_.Ascent = static_cast<Integer>(std::lround(winAscent * sy));
  const Integer descent = static_cast<Integer>(std::lround(winDescent * sy));
  m_.Height = m_.Ascent + descent;
  m_.InternalLeading = std::max<Integer>(0, m_.Height - ppem);
  if (hhea) {
    const double gap = static_cast<double>(hhea->Ascender) - hhea->Descender + hhea->Line_Gap - winAscent - winDescent;
    m_.ExternalLeading = std::max<Integer>(0, static_cast<Integer>(std::lround(gap * sy)));
  }
  m_.AveCharWidth = os2 && os2->xAvgCharWidth > 0 ? static_cast<Integer>(std::lround(os2->xAvgCharWidth * sx)) : 0;
  m_.MaxCharWidth = static_cast<Integer>(std::lround(face->max_advance_width * sx));
  m_.Weight = weight;
  m_.FixedPitch = FT_IS_FIXED_WIDTH(face);
  m_.Outline = true;
  const std::string family = face->family_name ? face->family_name : "";
  m_.Family = m_.FixedPitch ? FF_MODERN
              : (family.find("Serif") != std::string::npos && family.find("Sans") == std::string::npos) ? FF_ROMAN
                                                                                                        : FF_SWISS;
  // The underline's position is the middle of its stroke; the strike-out's the top.
  m_.UnderlineSize = std::max<Integer>(1, static_cast<Integer>(std::lround(face->underline_thickness * sy)));
  m_.UnderlineTop = m_.Ascent + static_cast<Integer>(std::lround(-face->underline_position * sy)) - m_.UnderlineSize / 2;
  m_.UnderlineTop = std::max<Integer>(m_.Ascent, std::min(m_.UnderlineTop, m_.Height - m_.UnderlineSize));
  if (os2 && os2->yStrikeoutSize > 0) {
    m_.StrikeSize = std::max<Integer>(1, static_cast<Integer>(std::lround(os2->yStrikeoutSize * sy)));
    m_.StrikeTop = m_.Ascent - static_cast<Integer>(std::lround(os2->yStrikeoutPosition * sy));
  } else {
    m_.StrikeSize = m_.UnderlineSize;
    m_.StrikeTop = m_.Ascent - static_cast<Integer>(std::lround(ppem * 0.3));
  }
  if (m_.AveCharWidth <= 0) m_.AveCharWidth = std::max<Integer>(1, Load('x').Advance);
}

FtFont::~FtFont() {
  std::lock_guard<std::recursive_mutex> hold(Engine::Get().Lock());
  FT_Done_Size(size_);
}

const FtFont::Entry& FtFont::Load(char32_t c) const {
  if (auto it = glyphs_.find(c); it != glyphs_.end()) return it->second;
  Entry e;
  FT_Face face = file_->Face;
  FT_Activate_Size(size_);
  const FT_UInt index = FT_Get_Char_Index(face, c);
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0) {
    FT_GlyphSlot slot = face->glyph;
    if (oblique_) FT_GlyphSlot_Oblique(slot);
    if (embolden_) FT_GlyphSlot_Embolden(slot);
    e.Advance = Round26(slot->advance.x);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0 && slot->bitmap.width > 0 && slot->bitmap.rows > 0 &&
        slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      auto g = std::make_shared<GlyphImage>();
      const FT_Bitmap& b = slot->bitmap;
      g->Left = slot->bitmap_left;
      g->Top = m_.Ascent - slot->bitmap_top;
      g->Width = static_cast<Integer>(b.width);
      g->Height = static_cast<Integer>(b.rows);
      g->Coverage.resize(static_cast<size_t>(b.width) * b.rows);
      for (unsigned y = 0; y < b.rows; ++y) {
        const unsigned char* src = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
        std::copy(src, src + b.width, g->Coverage.begin() + static_cast<ptrdiff_t>(y) * b.width);
      }
      e.Image = std::move(g);
    }
  }
  const size_t bytes = e.Image ? e.Image->Coverage.size() + sizeof(GlyphImage) : 0;
  if (glyphBytes_ + bytes > kMaxGlyphBytesPerFont) {
    glyphs_.clear();
    glyphBytes_ = 0;
  }
  glyphBytes_ += bytes;
  return glyphs_[c] = std::move(e);
}

Integer FtFont::Advance(char32_t c) const {
  std::lock_guard<std::recursive_mutex> hold(Engine::Get().Lock());
  return Load(c).Advance;
}

std::shared_ptr<const GlyphImage> FtFont::Glyph(char32_t c, Integer) const {
  std::lock_guard<std::recursive_mutex> hold(Engine::Get().Lock());
  return Load(c).Image;
}

}  // namespace

std::shared_ptr<const RealFont> FreeTypeFont(const LOGFONT& lf) { return Engine::Get().Font(lf); }

bool FreeTypeAvailable() { return Engine::Get().Available(); }

}  // namespace gdi
