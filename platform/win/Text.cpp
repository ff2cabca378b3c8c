// Text output and measurement: glyph runs along the baseline (rotated by
// the font's escapement), backgrounds, underline and strike-out, and
// DrawText's layout of lines, words, tabs, prefixes and ellipses.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/rtl/Text.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/FontInternal.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/ShapeGeometry.h"

namespace win {

using namespace gdi;

namespace {

constexpr BYTE TMPF_FIXED_PITCH = 0x01;  // set for variable pitch, as the platform has it
constexpr BYTE TMPF_VECTOR = 0x02;
constexpr BYTE TMPF_TRUETYPE = 0x04;

std::u32string ToCodePoints(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(c);
  }
  return out;
}

std::shared_ptr<FaceInstance> FaceOf(DeviceContext& dc) { return dc.s.font ? dc.s.font->Instance() : nullptr; }

int CharAdvance(DeviceContext& dc, FaceInstance& face, char32_t c) {
  if (c == u'\r' || c == u'\n') return 0;
  return AdvanceOf(face, c) + dc.s.textCharExtra;
}

// Draws a run with its reference point at device (x, y) as TA_LEFT |
// TA_BASELINE would; `advances` give each character's step.
struct RunStyle {
  bool opaque = false;           // fill the cell with the background colour
  const RECT* clip = nullptr;    // device coordinates
  bool underline = false, strikeOut = false;
};

void BlendGlyph(Raster& raster, const Glyph& g, int ox, int oy, uint32_t colour, bool mono, const RECT* clip) {
  for (int row = 0; row < g.height; ++row) {
    const int y = oy + g.top + row;
    if (clip && (y < clip->top || y >= clip->bottom)) continue;
    int x0 = ox + g.left, x1 = x0 + g.width;
    if (clip) {
      x0 = std::max(x0, static_cast<int>(clip->left));
      x1 = std::min(x1, static_cast<int>(clip->right));
    }
    const uint8_t* cov = g.coverage.data() + static_cast<size_t>(row) * static_cast<size_t>(g.width);
    raster.ForEachSpan(y, x0, x1, [&](uint32_t* d, int n, int x, int) {
      const uint8_t* c = cov + (x - (ox + g.left));
      for (int i = 0; i < n; ++i) {
        const uint32_t a = c[i];
        if (!a) continue;
        if (mono) {
          if (a >= 128) d[i] = ToMono(colour);
          continue;
        }
        if (a == 255) {
          d[i] = colour;
          continue;
        }
        const uint32_t dv = d[i];
        uint32_t out = 0;
        for (int s = 0; s < 24; s += 8) {
          const uint32_t t = (colour >> s) & 0xFF, b = (dv >> s) & 0xFF;
          out |= ((t * a + b * (255 - a) + 127) / 255) << s;
        }
        d[i] = out;
      }
    });
  }
}

// Fills the rectangle u in [u0, u1), v in [v0, v1) of text space (u along
// the baseline, v down from it) at device origin o.
void FillTextBox(Raster& raster, FaceInstance& face, POINT o, double u0, double u1, double v0, double v1,
                 const Paint& paint, const RECT* clip) {
  const double a = AngleOf(face);
  if (a == 0) {
    RECT r{o.x + static_cast<int>(u0), o.y + static_cast<int>(v0), o.x + static_cast<int>(u1), o.y + static_cast<int>(v1)};
    if (clip) r = Intersect(r, *clip);
    raster.Rect(r, paint);
    return;
  }
  const double c = std::cos(a), s = std::sin(a);
  auto map = [&](double u, double v) { return PointF{o.x + u * c + v * s, o.y - u * s + v * c}; };
  ScanPolygons({{map(u0, v0), map(u1, v0), map(u1, v1), map(u0, v1)}}, 2, [&](int y, int x0, int x1) {
    if (clip) {
      if (y < clip->top || y >= clip->bottom) return;
      x0 = std::max(x0, static_cast<int>(clip->left));
      x1 = std::min(x1, static_cast<int>(clip->right));
    }
    raster.Span(y, x0, x1, paint);
  });
}

void DrawRun(DeviceContext& dc, Raster& raster, FaceInstance& face, POINT origin, std::u32string_view run,
             const std::vector<int>& advances, const RunStyle& style) {
  const FaceMetrics& m = MetricsOf(face);
  int total = 0;
  for (int v : advances) total += v;
  if (style.opaque)
    FillTextBox(raster, face, origin, 0, total, -m.ascent, m.descent, SolidPaint(dc, dc.s.bkColor), style.clip);
  const uint32_t colour = ToPixel(PlainColor(dc.s.textColor));
  const bool mono = dc.Monochrome();
  const double a = AngleOf(face), c = std::cos(a), s = std::sin(a);
  int pen = 0;
  for (size_t i = 0; i < run.size(); ++i) {
    const Glyph& g = GlyphOf(face, run[i]);
    const int gx = origin.x + static_cast<int>(std::lround(pen * c));
    const int gy = origin.y - static_cast<int>(std::lround(pen * s));
    if (g.width > 0) BlendGlyph(raster, g, gx, gy, colour, mono, style.clip);
    pen += advances[i];
  }
  const Paint ink = SolidPaint(dc, dc.s.textColor);
  if (style.underline)
    FillTextBox(raster, face, origin, 0, total, m.underlinePos, m.underlinePos + m.underlineThickness, ink, style.clip);
  if (style.strikeOut)
    FillTextBox(raster, face, origin, 0, total, -m.strikePos, -m.strikePos + m.strikeThickness, ink, style.clip);
}

BOOL TextOutImpl(HDC hdc, int x, int y, UINT options, const RECT* rect, std::u16string_view text, const INT* dx) {
  auto dc = FindDC(hdc);
  if (!dc) return FALSE;
  auto face = FaceOf(*dc);
  if (!face) return FALSE;
  DrawScope scope(*dc, true);
  Raster raster(scope);
  const std::u32string run = ToCodePoints(text);
  std::vector<int> advances;
  advances.reserve(run.size());
  for (size_t i = 0; i < run.size(); ++i)
    advances.push_back(dx ? dx[i] : CharAdvance(*dc, *face, run[i]));
  int width = 0;
  for (int v : advances) width += v;
  const FaceMetrics& m = MetricsOf(*face);

  RECT clipRect{};
  if (rect) clipRect = dc->ToDevice(*rect);
  if (rect && (options & ETO_OPAQUE)) raster.Rect(clipRect, SolidPaint(*dc, dc->s.bkColor));

  const UINT align = dc->s.textAlign;
  POINT ref = (align & TA_UPDATECP) ? dc->s.currentPos : POINT{x, y};
  const POINT dev = dc->ToDevice(ref.x, ref.y);
  double du = 0, dv = 0;  // reference point to the baseline start, text space
  if ((align & TA_CENTER) == TA_CENTER) du = -width / 2;
  else if (align & TA_RIGHT) du = -width;
  if ((align & TA_BASELINE) == TA_BASELINE) dv = 0;
  else if (align & TA_BOTTOM) dv = -m.descent;
  else dv = m.ascent;
  const double a = AngleOf(*face), c = std::cos(a), s = std::sin(a);
  const POINT origin{dev.x + static_cast<int>(std::lround(du * c + dv * s)), dev.y + static_cast<int>(std::lround(-du * s + dv * c))};

  RunStyle style;
  style.opaque = dc->s.bkMode == OPAQUE;
  style.clip = rect && (options & ETO_CLIPPED) ? &clipRect : nullptr;
  style.underline = dc->s.font->log.lfUnderline;
  style.strikeOut = dc->s.font->log.lfStrikeOut;
  DrawRun(*dc, raster, *face, origin, run, advances, style);
  if (align & TA_UPDATECP) {
    if ((align & TA_CENTER) == TA_CENTER) {
    } else if (align & TA_RIGHT) {
      dc->s.currentPos.x -= width;
    } else {
      dc->s.currentPos.x += width;
    }
  }
  return TRUE;
}

}  // namespace

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm) {
  auto dc = FindDC(hdc);
  if (!dc || !tm) return FALSE;
  auto face = FaceOf(*dc);
  if (!face) return FALSE;
  const FaceMetrics& m = MetricsOf(*face);
  const LOGFONTW& lf = dc->s.font->log;
  *tm = TEXTMETRICW{};
  tm->tmAscent = m.ascent;
  tm->tmDescent = m.descent;
  tm->tmHeight = m.ascent + m.descent;
  tm->tmInternalLeading = m.internalLeading;
  tm->tmExternalLeading = m.externalLeading;
  tm->tmAveCharWidth = m.aveCharWidth;
  tm->tmMaxCharWidth = m.maxCharWidth;
  tm->tmWeight = lf.lfWeight == FW_DONTCARE ? FW_NORMAL : lf.lfWeight;
  tm->tmItalic = lf.lfItalic ? 255 : 0;
  tm->tmUnderlined = lf.lfUnderline ? 255 : 0;
  tm->tmStruckOut = lf.lfStrikeOut ? 255 : 0;
  tm->tmPitchAndFamily = static_cast<BYTE>((m.fixedPitch ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE |
                                           (lf.lfPitchAndFamily & 0xF0));
  tm->tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
  return TRUE;
}

int GetTextFaceW(HDC hdc, int count, WCHAR* name) {
  auto dc = FindDC(hdc);
  if (!dc || !dc->s.font) return 0;
  const WCHAR* face = dc->s.font->log.lfFaceName;
  const int len = static_cast<int>(std::find(face, face + LF_FACESIZE, u'\0') - face);
  if (!name) return len + 1;
  const int n = std::min(len, count - 1);
  if (n < 0) return 0;
  std::copy(face, face + n, name);
  name[n] = 0;
  return n;
}

int GetTextFaceA(HDC hdc, int count, char* name) {
  WCHAR wide[LF_FACESIZE];
  if (!GetTextFaceW(hdc, LF_FACESIZE, wide)) return 0;
  const std::string a = rtl::WideToAnsi(wide);
  if (!name) return static_cast<int>(a.size()) + 1;
  const int n = std::min(static_cast<int>(a.size()), count - 1);
  if (n < 0) return 0;
  std::memcpy(name, a.data(), static_cast<size_t>(n));
  name[n] = 0;
  return n;
}

BOOL GetTextExtentExPointW(HDC hdc, const WCHAR* text, int length, int maxExtent, int* fit, int* dx, SIZE* size) {
  auto dc = FindDC(hdc);
  if (!dc || length < 0 || (!text && length > 0)) return FALSE;
  auto face = FaceOf(*dc);
  if (!face) return FALSE;
  const std::u32string run = ToCodePoints(std::u16string_view(text ? text : u"", static_cast<size_t>(length)));
  int w = 0, fits = 0;
  for (size_t i = 0; i < run.size(); ++i) {
    w += CharAdvance(*dc, *face, run[i]);
    if (dx) dx[i] = w;
    if (w <= maxExtent) fits = static_cast<int>(i) + 1;
  }
  if (fit) *fit = fits;
  if (size) *size = {w, MetricsOf(*face).ascent + MetricsOf(*face).descent};
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, const WCHAR* text, int length, SIZE* size) {
  return GetTextExtentExPointW(hdc, text, length, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int length, SIZE* size) {
  if (length < 0) return FALSE;
  const std::u16string w = AnsiToWide(text, length);
  return GetTextExtentPoint32W(hdc, w.c_str(), static_cast<int>(w.size()), size);
}

BOOL GetCharWidth32W(HDC hdc, UINT first, UINT last, int* widths) {
  auto dc = FindDC(hdc);
  if (!dc || !widths || last < first) return FALSE;
  auto face = FaceOf(*dc);
  if (!face) return FALSE;
  for (UINT c = first; c <= last; ++c) widths[c - first] = AdvanceOf(*face, c);
  return TRUE;
}

UINT SetTextAlign(HDC hdc, UINT align) {
  auto dc = FindDC(hdc);
  if (!dc) return 0xFFFFFFFFu;
  const UINT previous = dc->s.textAlign;
  dc->s.textAlign = align;
  return previous;
}

UINT GetTextAlign(HDC hdc) {
  auto dc = FindDC(hdc);
  return dc ? dc->s.textAlign : 0xFFFFFFFFu;
}

int SetTextCharacterExtra(HDC hdc, int extra) {
  auto dc = FindDC(hdc);
  if (!dc) return static_cast<int>(0x80000000u);
  const int previous = dc->s.textCharExtra;
  dc->s.textCharExtra = extra;
  return previous;
}

int GetTextCharacterExtra(HDC hdc) {
  auto dc = FindDC(hdc);
  return dc ? dc->s.textCharExtra : static_cast<int>(0x80000000u);
}

BOOL TextOutW(HDC hdc, int x, int y, const WCHAR* text, int length) {
  if (length < 0 || (!text && length > 0)) return FALSE;
  return TextOutImpl(hdc, x, y, 0, nullptr, std::u16string_view(text ? text : u"", static_cast<size_t>(length)), nullptr);
}

BOOL TextOutA(HDC hdc, int x, int y, const char* text, int length) {
  if (length < 0) return FALSE;
  const std::u16string w = AnsiToWide(text, length);
  return TextOutImpl(hdc, x, y, 0, nullptr, w, nullptr);
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, const WCHAR* text, UINT length, const INT* dx) {
  return TextOutImpl(hdc, x, y, options, rect, std::u16string_view(text ? text : u"", text ? length : 0), dx);
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length, const INT* dx) {
  const std::u16string w = AnsiToWide(text, static_cast<int>(length));
  // Per-character steps stay per byte only when the code page is single-byte.
  std::vector<INT> wideDx;
  if (dx && w.size() == length) wideDx.assign(dx, dx + length);
  return TextOutImpl(hdc, x, y, options, rect, w, dx && !wideDx.empty() ? wideDx.data() : nullptr);
}

// ---- DrawText ----

namespace {

struct Line {
  std::u32string text;
  int prefixAt = -1;  // index of the underlined character
};

// Removes "&" markers: "&&" is a literal "&", "&x" underlines x (the last
// such marker wins).
std::u32string StripPrefixes(const std::u32string& in, int* underlined) {
  std::u32string out;
  *underlined = -1;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == U'&' && i + 1 < in.size()) {
      ++i;
      if (in[i] != U'&') *underlined = static_cast<int>(out.size());
    } else if (in[i] == U'&') {
      continue;  // a trailing marker shows nothing
    }
    out.push_back(in[i]);
  }
  return out;
}

class Layout {
public:
  Layout(DeviceContext& dc, FaceInstance& face, UINT format, int tabChars)
      : dc_(dc), face_(face), format_(format) {
    const FaceMetrics& m = MetricsOf(face);
    tabWidth_ = std::max(1, tabChars * m.aveCharWidth);
  }

  // Width of a run as drawn from x = 0 (tabs expand to the next stop).
  int Width(std::u32string_view s) const {
    int w = 0;
    for (char32_t c : s) w = Step(w, c);
    return w;
  }
  int Step(int x, char32_t c) const {
    if (c == U'\t' && (format_ & DT_EXPANDTABS)) return (x / tabWidth_ + 1) * tabWidth_;
    return x + CharAdvance(dc_, face_, c);
  }
  std::vector<int> Advances(std::u32string_view s) const {
    std::vector<int> out;
    int x = 0;
    for (char32_t c : s) {
      const int next = Step(x, c);
      out.push_back(next - x);
      x = next;
    }
    return out;
  }

  // Splits paragraphs into lines no wider than `width` at spaces; a word
  // too long for a line is cut only in edit-control mode.
  std::vector<std::u32string> Wrap(const std::u32string& para, int width) const {
    std::vector<std::u32string> lines;
    size_t start = 0;
    while (start < para.size()) {
      size_t end = start, lastBreak = std::u32string::npos;
      int x = 0;
      while (end < para.size()) {
        const int next = Step(x, para[end]);
        if (next > width && end > start && para[end] != U' ') break;
        if (para[end] == U' ') lastBreak = end;
        x = next;
        ++end;
      }
      if (end < para.size()) {
        if (lastBreak != std::u32string::npos && lastBreak >= start) {
          end = lastBreak;
        } else if (!(format_ & DT_EDITCONTROL)) {
          // Overflow: the word stays whole, running past the edge.
          while (end < para.size() && para[end] != U' ') ++end;
        }
      }
      std::u32string line = para.substr(start, end - start);
      while (!line.empty() && line.back() == U' ') line.pop_back();
      lines.push_back(std::move(line));
      start = end;
      while (start < para.size() && para[start] == U' ') ++start;
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
  }

  std::u32string Ellipsize(const std::u32string& s, int width) const {
    static const std::u32string dots = U"...";
    if (Width(s) <= width) return s;
    if (format_ & DT_PATH_ELLIPSIS) {
      const size_t slash = s.find_last_of(U"\\/");
      if (slash != std::u32string::npos && slash > 0) {
        const std::u32string tail = s.substr(slash);
        for (size_t keep = slash; keep-- > 0;) {
          const std::u32string t = s.substr(0, keep) + dots + tail;
          if (Width(t) <= width) return t;
        }
        const std::u32string t = dots + tail;
        if (Width(t) <= width) return t;
        return EndEllipsis(t, width);
      }
    }
    if (format_ & DT_WORD_ELLIPSIS) {
      for (size_t end = s.size(); end > 0; --end) {
        if (end < s.size() && s[end] != U' ') continue;
        std::u32string head = s.substr(0, end);
        while (!head.empty() && head.back() == U' ') head.pop_back();
        if (Width(head + dots) <= width) return head + dots;
      }
      return dots;
    }
    return EndEllipsis(s, width);
  }

private:
  std::u32string EndEllipsis(const std::u32string& s, int width) const {
    static const std::u32string dots = U"...";
    for (size_t n = s.size(); n > 0; --n) {
      const std::u32string t = s.substr(0, n - 1) + dots;
      if (Width(t) <= width) return t;
    }
    return dots;
  }

  DeviceContext& dc_;
  FaceInstance& face_;
  UINT format_;
  int tabWidth_ = 8;
};

}  // namespace

int DrawTextW(HDC hdc, const WCHAR* text, int length, RECT* rect, UINT format) {
  auto dc = FindDC(hdc);
  if (!dc || !rect) return 0;
  auto face = FaceOf(*dc);
  if (!face) return 0;
  std::u16string_view view;
  if (text) {
    if (length < 0) length = static_cast<int>(std::char_traits<char16_t>::length(text));
    view = std::u16string_view(text, static_cast<size_t>(length));
  }
  int tabChars = 8;
  if (format & DT_TABSTOP) {
    tabChars = static_cast<int>((format >> 8) & 0xFF);
    format &= ~0xFF00u;
    if (tabChars == 0) tabChars = 8;
  }
  const FaceMetrics& m = MetricsOf(*face);
  const int lineHeight = m.ascent + m.descent + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
  Layout layout(*dc, *face, format, tabChars);
  const int boxWidth = rect->right - rect->left;

  // Paragraphs, then lines.
  const std::u32string all = ToCodePoints(view);
  std::vector<Line> lines;
  auto addParagraph = [&](const std::u32string& para) {
    std::u32string body = para;
    int prefix = -1;
    if (!(format & DT_NOPREFIX)) body = StripPrefixes(para, &prefix);
    std::vector<std::u32string> wrapped;
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) wrapped = layout.Wrap(body, boxWidth);
    else wrapped = {body};
    size_t offset = 0;
    for (auto& w : wrapped) {
      // Locate the line's text in the paragraph to carry the prefix mark.
      const size_t at = body.find(w, offset);
      Line line{w, -1};
      if (prefix >= 0 && at != std::u32string::npos && static_cast<size_t>(prefix) >= at &&
          static_cast<size_t>(prefix) < at + w.size())
        line.prefixAt = prefix - static_cast<int>(at);
      if (at != std::u32string::npos) offset = at + w.size();
      lines.push_back(std::move(line));
    }
  };
  if (format & DT_SINGLELINE) {
    // A single line shows each line-break character as a space.
    std::u32string one = all;
    for (char32_t& c : one)
      if (c == U'\r' || c == U'\n') c = U' ';
    addParagraph(one);
  } else {
    std::u32string para;
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i] == U'\r' || all[i] == U'\n') {
        addParagraph(para);
        para.clear();
        // CR LF and LF CR are one break; CR CR and LF LF are two.
        if (i + 1 < all.size() && (all[i + 1] == U'\r' || all[i + 1] == U'\n') && all[i + 1] != all[i]) ++i;
      } else {
        para.push_back(all[i]);
      }
    }
    addParagraph(para);
  }
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) {
    for (Line& l : lines) {
      std::u32string e = layout.Ellipsize(l.text, boxWidth);
      if (e != l.text) {
        if (l.prefixAt >= static_cast<int>(e.size()) - 3) l.prefixAt = -1;
        l.text = std::move(e);
      }
    }
  }

  int maxWidth = 0;
  for (const Line& l : lines) maxWidth = std::max(maxWidth, layout.Width(l.text));
  const int textHeight = static_cast<int>(lines.size()) * lineHeight;
  int top = rect->top;
  const bool single = format & DT_SINGLELINE;
  if (single && (format & DT_VCENTER)) top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;

  if (format & DT_CALCRECT) {
    rect->right = rect->left + maxWidth;
    rect->bottom = rect->top + textHeight;
    return textHeight;
  }

  DrawScope scope(*dc, true);
  Raster raster(scope);
  RECT clip = dc->ToDevice(*rect);
  const bool clipped = !(format & DT_NOCLIP);
  RunStyle style;
  style.opaque = dc->s.bkMode == OPAQUE && !(format & DT_PREFIXONLY);
  style.clip = clipped ? &clip : nullptr;
  style.underline = dc->s.font->log.lfUnderline;
  style.strikeOut = dc->s.font->log.lfStrikeOut;
  int y = top;
  for (const Line& l : lines) {
    // Edit controls never show a partly visible last line.
    if ((format & DT_EDITCONTROL) && y + lineHeight > rect->bottom && y != top) break;
    const int w = layout.Width(l.text);
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (boxWidth - w) / 2;
    else if (format & DT_RIGHT) x = rect->right - w;
    const POINT origin = dc->ToDevice(x, y + m.ascent);
    const std::vector<int> advances = layout.Advances(l.text);
    if (!(format & DT_PREFIXONLY)) {
      // Tabs draw as space.
      std::u32string shown = l.text;
      for (char32_t& c : shown)
        if (c == U'\t') c = U' ';
      DrawRun(*dc, raster, *face, origin, shown, advances, style);
    }
    if (l.prefixAt >= 0 && !(format & DT_HIDEPREFIX)) {
      int ux = 0;
      for (int i = 0; i < l.prefixAt; ++i) ux += advances[static_cast<size_t>(i)];
      const int uw = advances[static_cast<size_t>(l.prefixAt)] - dc->s.textCharExtra;
      RECT u{origin.x + ux, origin.y + 1, origin.x + ux + uw, origin.y + 2};
      if (clipped) u = Intersect(u, clip);
      raster.Rect(u, SolidPaint(*dc, dc->s.textColor));
    }
    y += lineHeight;
  }
  if (single && (format & (DT_VCENTER | DT_BOTTOM))) return top - rect->top + textHeight;
  return textHeight;
}

int DrawTextA(HDC hdc, const char* text, int length, RECT* rect, UINT format) {
  if (!text) return DrawTextW(hdc, nullptr, 0, rect, format);
  if (length < 0) length = static_cast<int>(std::strlen(text));
  const std::u16string w = AnsiToWide(text, length);
  return DrawTextW(hdc, w.c_str(), static_cast<int>(w.size()), rect, format);
}

}  // namespace win
