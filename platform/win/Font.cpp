// Font objects, face resolution through the substitution table and
// fontconfig, and rendered faces with their glyph caches.
#include "platform/win/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <numbers>

#include "platform/rtl/Text.h"
#include "platform/win/Dc.h"
#include "platform/win/FontInternal.h"
#include "platform/win/PenBrush.h"

namespace win {

namespace gdi {

namespace {

std::recursive_mutex& FontMutex() {
  static std::recursive_mutex m;
  return m;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    FT_Init_FreeType(&l);
    return l;
  }();
  return library;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Names programs ask for, and the families shipped here that stand in for
// them. Arial and its relatives keep their metrics through Liberation.
const char* SubstituteFamily(const std::string& face) {
  static const std::map<std::string, const char*> table = {
      {"arial", "Liberation Sans"},
      {"helvetica", "Liberation Sans"},
      {"ms sans serif", "Liberation Sans"},
      {"microsoft sans serif", "Liberation Sans"},
      {"ms shell dlg", "Liberation Sans"},
      {"ms shell dlg 2", "DejaVu Sans"},
      {"tahoma", "DejaVu Sans"},
      {"verdana", "DejaVu Sans"},
      {"segoe ui", "DejaVu Sans"},
      {"system", "DejaVu Sans"},
      {"small fonts", "DejaVu Sans"},
      {"times new roman", "Liberation Serif"},
      {"times", "Liberation Serif"},
      {"ms serif", "Liberation Serif"},
      {"courier new", "Liberation Mono"},
      {"courier", "Liberation Mono"},
      {"fixedsys", "DejaVu Sans Mono"},
      {"terminal", "DejaVu Sans Mono"},
      {"lucida console", "DejaVu Sans Mono"},
  };
  const auto it = table.find(Lower(face));
  return it == table.end() ? nullptr : it->second;
}

constexpr const char* kDefaultFamily = "DejaVu Sans";

// Asks fontconfig for a family; empty when it only offers something else.
std::string MatchFile(const std::string& family, bool bold, bool italic, bool exactFamily) {
  static bool ready = [] {
    const bool ok = FcInit();
    // Fontconfig's configuration lives until it is told to go; this is
    // its only user in the process.
    if (ok) std::atexit(FcFini);
    return ok;
  }();
  if (!ready) return {};
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  if (match) {
    FcChar8* matchedFamily = nullptr;
    FcChar8* path = nullptr;
    bool familyOk = !exactFamily;
    for (int i = 0; !familyOk && FcPatternGetString(match, FC_FAMILY, i, &matchedFamily) == FcResultMatch; ++i)
      familyOk = Lower(reinterpret_cast<const char*>(matchedFamily)) == Lower(family);
    if (familyOk && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = reinterpret_cast<const char*>(path);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return file;
}

}  // namespace

class FaceInstance {
public:
  FT_Face face = nullptr;
  std::string file;
  int ppem = 0;
  bool syntheticBold = false, syntheticItalic = false, mono = false;
  double angle = 0;  // radians
  int cellHeight = 0;  // when the font asked for one
  FaceMetrics metrics;
  std::map<char32_t, Glyph> glyphs;
  std::map<char32_t, int> advances;

  ~FaceInstance() {
    if (face) FT_Done_Face(face);
  }
};

namespace {

double Scale(const FaceInstance& fi) { return static_cast<double>(fi.ppem) / fi.face->units_per_EM; }

void ApplyTransform(FaceInstance& fi) {
  FT_Matrix m;
  const double c = std::cos(fi.angle), s = std::sin(fi.angle);
  double shear = fi.syntheticItalic ? 0.2 : 0.0;
  // Rotation (y up in FreeType) times a shear for synthetic italics.
  m.xx = static_cast<FT_Fixed>(c * 0x10000L);
  m.xy = static_cast<FT_Fixed>((c * shear - s) * 0x10000L);
  m.yx = static_cast<FT_Fixed>(s * 0x10000L);
  m.yy = static_cast<FT_Fixed>((s * shear + c) * 0x10000L);
  FT_Set_Transform(fi.face, &m, nullptr);
}

bool LoadGlyph(FaceInstance& fi, char32_t ch, bool render) {
  FT_UInt index = FT_Get_Char_Index(fi.face, ch);
  if (!index && ch >= 0xF020 && ch <= 0xF0FF) index = FT_Get_Char_Index(fi.face, ch - 0xF000);  // symbol fonts
  FT_Int32 flags = FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP;
  flags |= fi.mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT;
  if (FT_Load_Glyph(fi.face, index, flags) != 0) return false;
  if (fi.syntheticBold) FT_GlyphSlot_Embolden(fi.face->glyph);
  if (render && FT_Render_Glyph(fi.face->glyph, fi.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
    return false;
  return true;
}

void ComputeMetrics(FaceInstance& fi) {
  FaceMetrics& m = fi.metrics;
  const double k = Scale(fi);
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(fi.face, FT_SFNT_OS2));
  const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(fi.face, FT_SFNT_HHEA));
  const TT_Postscript* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(fi.face, FT_SFNT_POST));
  const double winAscent = os2 && os2->version != 0xFFFF ? os2->usWinAscent : fi.face->ascender;
  const double winDescent = os2 && os2->version != 0xFFFF ? os2->usWinDescent : -fi.face->descender;
  m.ascent = static_cast<int>(std::lround(winAscent * k));
  m.descent = static_cast<int>(std::lround(winDescent * k));
  if (fi.cellHeight > 0) {
    m.ascent = static_cast<int>(std::lround(winAscent * fi.cellHeight / (winAscent + winDescent)));
    m.descent = fi.cellHeight - m.ascent;
  }
  m.internalLeading = std::max(0, m.ascent + m.descent - fi.ppem);
  if (hhea) {
    const double gap = hhea->Line_Gap - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
    m.externalLeading = std::max(0, static_cast<int>(std::lround(gap * k)));
  }
  m.aveCharWidth = os2 && os2->xAvgCharWidth ? static_cast<int>(std::lround(os2->xAvgCharWidth * k)) : fi.ppem / 2;
  m.maxCharWidth = static_cast<int>(std::lround(fi.face->max_advance_width * k));
  m.fixedPitch = FT_IS_FIXED_WIDTH(fi.face);
  m.underlineThickness = std::max(1, static_cast<int>(std::lround((post ? post->underlineThickness : fi.face->underline_thickness) * k)));
  m.underlinePos = std::max(1, static_cast<int>(std::lround(-(post ? post->underlinePosition : fi.face->underline_position) * k)));
  m.strikeThickness = os2 && os2->yStrikeoutSize ? std::max(1, static_cast<int>(std::lround(os2->yStrikeoutSize * k))) : m.underlineThickness;
  m.strikePos = os2 && os2->yStrikeoutPosition ? static_cast<int>(std::lround(os2->yStrikeoutPosition * k)) : m.ascent / 3;
  if (fi.syntheticBold) {
    m.aveCharWidth += 1;
    m.maxCharWidth += 1;
  }
}

std::shared_ptr<FaceInstance> MakeInstance(const LOGFONTW& lf) {
  const std::string name = rtl::WideToUtf8(std::u16string(lf.lfFaceName, std::find(lf.lfFaceName, lf.lfFaceName + LF_FACESIZE, u'\0')));
  const bool bold = lf.lfWeight >= FW_SEMIBOLD;
  const bool italic = lf.lfItalic != 0;
  auto fi = std::make_shared<FaceInstance>();
  fi->file = ResolveFontFile(name, bold, italic);
  if (fi->file.empty() || FT_New_Face(Library(), fi->file.c_str(), 0, &fi->face) != 0) return nullptr;
  fi->syntheticBold = bold && !(fi->face->style_flags & FT_STYLE_FLAG_BOLD);
  fi->syntheticItalic = italic && !(fi->face->style_flags & FT_STYLE_FLAG_ITALIC);
  fi->mono = lf.lfQuality == NONANTIALIASED_QUALITY;
  fi->angle = lf.lfEscapement / 10.0 * std::numbers::pi / 180.0;

  // Cell height (positive) maps through the Windows ascent and descent;
  // character height (negative) is the em size itself.
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(fi->face, FT_SFNT_OS2));
  const double cellUnits = os2 && os2->version != 0xFFFF ? os2->usWinAscent + os2->usWinDescent
                                                          : fi->face->ascender - fi->face->descender;
  LONG height = lf.lfHeight == 0 ? -12 : lf.lfHeight;
  if (height < 0) {
    fi->ppem = -height;
  } else {
    // A cell height is met exactly: the em follows from it and the
    // descent takes what the rounded ascent leaves.
    fi->ppem = std::max(1, static_cast<int>(std::lround(height * fi->face->units_per_EM / cellUnits)));
    fi->cellHeight = height;
  }
  int ppemX = fi->ppem;
  if (lf.lfWidth > 0 && os2 && os2->xAvgCharWidth)
    ppemX = std::max(1, static_cast<int>(std::lround(static_cast<double>(lf.lfWidth) * fi->face->units_per_EM / os2->xAvgCharWidth)));
  FT_Set_Pixel_Sizes(fi->face, static_cast<FT_UInt>(ppemX), static_cast<FT_UInt>(fi->ppem));
  ComputeMetrics(*fi);
  ApplyTransform(*fi);
  return fi;
}

}  // namespace

std::shared_ptr<FaceInstance> Font::Instance() {
  std::lock_guard lock(FontMutex());
  if (!instance_) {
    // Fonts with equal records share one rendered face and its cache.
    static std::map<std::vector<uint8_t>, std::weak_ptr<FaceInstance>> shared;
    std::vector<uint8_t> key(reinterpret_cast<const uint8_t*>(&log), reinterpret_cast<const uint8_t*>(&log) + sizeof log);
    if (auto existing = shared[key].lock()) {
      instance_ = existing;
    } else {
      instance_ = MakeInstance(log);
      if (!instance_) {
        LOGFONTW fallback = log;
        std::fill(std::begin(fallback.lfFaceName), std::end(fallback.lfFaceName), u'\0');
        instance_ = MakeInstance(fallback);
      }
      shared[key] = instance_;
    }
  }
  return instance_;
}

const FaceMetrics& MetricsOf(FaceInstance& face) { return face.metrics; }

const Glyph& GlyphOf(FaceInstance& fi, char32_t ch) {
  std::lock_guard lock(FontMutex());
  auto it = fi.glyphs.find(ch);
  if (it != fi.glyphs.end()) return it->second;
  Glyph g;
  if (LoadGlyph(fi, ch, true)) {
    const FT_GlyphSlot slot = fi.face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = -slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.height = static_cast<int>(bm.rows);
    g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
    for (int y = 0; y < g.height; ++y) {
      const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      for (int x = 0; x < g.width; ++x) {
        uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0) : row[x];
        g.coverage[static_cast<size_t>(y) * static_cast<size_t>(g.width) + static_cast<size_t>(x)] = v;
      }
    }
    g.advanceX26 = slot->advance.x;
    g.advanceY26 = -slot->advance.y;  // y down
  }
  g.advance = AdvanceOf(fi, ch);
  return fi.glyphs.emplace(ch, std::move(g)).first->second;
}

int AdvanceOf(FaceInstance& fi, char32_t ch) {
  std::lock_guard lock(FontMutex());
  auto it = fi.advances.find(ch);
  if (it != fi.advances.end()) return it->second;
  int advance = 0;
  // Advances are measured unrotated so extents do not depend on the angle.
  FT_Set_Transform(fi.face, nullptr, nullptr);
  if (LoadGlyph(fi, ch, false)) advance = static_cast<int>((fi.face->glyph->advance.x + 32) >> 6);
  ApplyTransform(fi);
  fi.advances.emplace(ch, advance);
  return advance;
}

bool IsRotated(const FaceInstance& fi) { return fi.angle != 0; }
double AngleOf(const FaceInstance& fi) { return fi.angle; }

std::u16string AnsiToWide(const char* text, int length) {
  if (!text || length <= 0) return {};
  return rtl::AnsiToWide(std::string(text, static_cast<size_t>(length)));
}

HFONT CreateStockFont(int index) {
  LOGFONTW lf;
  auto setFace = [&](const char16_t* name) {
    for (int i = 0; name[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = name[i];
  };
  switch (index) {
    case SYSTEM_FONT:
      lf.lfHeight = 16;
      lf.lfWeight = FW_BOLD;
      setFace(u"System");
      break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
      lf.lfHeight = 12;
      lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
      setFace(u"Courier");
      break;
    default:  // ANSI_VAR_FONT, DEVICE_DEFAULT_FONT, DEFAULT_GUI_FONT
      lf.lfHeight = -11;
      setFace(u"MS Shell Dlg");
      break;
  }
  return CreateFontIndirectW(&lf);
}

}  // namespace gdi

using namespace gdi;

std::string ResolveFontFile(const std::string& faceName, bool bold, bool italic) {
  std::lock_guard lock(FontMutex());
  static std::map<std::tuple<std::string, bool, bool>, std::string> cache;
  const auto key = std::make_tuple(Lower(faceName), bold, italic);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  std::string file;
  if (const char* family = SubstituteFamily(faceName)) file = MatchFile(family, bold, italic, true);
  if (file.empty() && !faceName.empty()) file = MatchFile(faceName, bold, italic, true);
  if (file.empty()) file = MatchFile(kDefaultFamily, bold, italic, true);
  if (file.empty()) file = MatchFile(kDefaultFamily, bold, italic, false);
  cache.emplace(key, file);
  return file;
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) return nullptr;
  auto f = std::make_shared<Font>();
  f->log = *font;
  f->log.lfFaceName[LF_FACESIZE - 1] = 0;
  return static_cast<HFONT>(AddGdiObject(f));
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) return nullptr;
  LOGFONTW w;
  std::memcpy(static_cast<void*>(&w), font, offsetof(LOGFONTA, lfFaceName));
  const std::u16string name = AnsiToWide(font->lfFaceName, static_cast<int>(strnlen(font->lfFaceName, LF_FACESIZE)));
  for (size_t i = 0; i < name.size() && i < LF_FACESIZE - 1; ++i) w.lfFaceName[i] = name[i];
  return CreateFontIndirectW(&w);
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const WCHAR* face) {
  LOGFONTW lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic != 0);
  lf.lfUnderline = static_cast<BYTE>(underline != 0);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  for (int i = 0; face && face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&lf);
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* face) {
  const std::u16string name = face ? rtl::AnsiToWide(face) : std::u16string();
  return CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                     outPrecision, clipPrecision, quality, pitchAndFamily, name.c_str());
}

}  // namespace win
