#include "controls/sty/STYThemes.h"

#include <array>
#include <string>

#include "controls/sty/STYForm.h"
#include "controls/sty/STYMgr.h"
#include "controls/sty/STYPublic.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Streams.h"

namespace controls {
namespace {

using forms::TBitmap;

constexpr uint8_t I = styKindInt, C = styKindColor, B = styKindBitmap, F = styKindFlag;

struct Element {
  const char* name;
  uint8_t kind;
  // Numbers by style (MacOS, WinXP, DeepBlue, Protein, BlueGlass); for a
  // bitmap the resource name after the style's prefix ("BUTTON" in
  // "DEEPBLUE_BUTTON"), empty for the elements no built-in style has.
  std::array<int32_t, 5> values;
  const char* bitmap;
};

// clang-format off
const std::array<Element, styElementCount> kElements{{
    {"ButtonImage", B, {}, "BUTTON"},
    {"ButtonTransparentBool", F, {1, 0, 0, 0, 1}, nullptr},
    {"CheckBoxImage", B, {}, "CHECKBOX"},
    {"RadioButtonImage", B, {}, "RADIOBUTTON"},
    {"TitleBarButtonImage", B, {}, "TITLEBTN"},
    {"TitleBarButtonTransparentBool", F, {0, 0, 0, 1, 1}, nullptr},
    {"TitleBarButtonLeftOffsetInt", I, {3, 2, 0, 0, 4}, nullptr},
    {"TitleBarButtonRightOffsetInt", I, {-2, -2, 0, 0, -3}, nullptr},
    {"TitleBarButtonTopInt", I, {4, 5, 2, 2, 6}, nullptr},
    {"TitleBarLeftImage", B, {}, "TITLE_LEFT"},
    {"TitleBarClientImage", B, {}, "TITLE_CLIENT"},
    {"TitleBarRightImage", B, {}, "TITLE_RIGHT"},
    {"FormMinWidthInt", I, {130, 150, 130, 130, 270}, nullptr},
    {"FormRoundCornerInt", I, {0, 13, 0, 0, 11}, nullptr},
    {"FormBackgroundColor", C, {0x00E7E7E7, 0x00DEEBEF, 0x00E8E8E8, 0x00FBFBFB, 0x00E7E7E7}, nullptr},
    {"FormBorderColor", C, {0x007F7F7F, 0x00C82C00, 0x00000000, 0x00000000, 0x00000000}, nullptr},
    {"FormBorderWidthInt", I, {1, 3, 1, 1, 1}, nullptr},
    {"MenuSelectedBorderColor", C, {0x00C47339, 0x00C66931, 0x00A04A44, 0x00C4302D, 0x00EC5E5E}, nullptr},
    {"MenuSelectedBackgroundColor", C, {0x00C47339, 0x00EFD3C6, 0x00A04A44, 0x00C4302D, 0x00EC5E5E}, nullptr},
    {"MenuSelectedFontColor", C, {0x00FFFFFF, 0x00000000, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}, nullptr},
    {"MenuBackgroundColor", C, {0x00000000, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00E7E7E7}, nullptr},
    {"MenuFontColor", C, {0, 0, 0, 0, 0}, nullptr},
    {"MenuBarColor", C, {0x00000000, 0x00CED3D6, 0x00CED3D6, 0x00CED3D6, 0x00CED3D6}, nullptr},
    {"ProgressBarImage", B, {}, "PROGRESSBAR"},
    {"ControlBorderColor", C, {0x007F7F7F, 0x00686868, 0x00000000, 0x00000000, 0x00000000}, nullptr},
    {"ControlBackgroundColor", C, {0x00E7E7E7, 0x00DEEBEF, 0x00E8E8E8, 0x00FBFBFB, 0x00E7E7E7}, nullptr},
    {"ControlFontColor", C, {0x00000000, 0x00CF4602, 0x00000000, 0x00000000, 0x00000000}, nullptr},
    {"TrackBarBarImage", B, {}, "TRACKBAR_BAR"},
    {"TrackBarSliderImage", B, {}, "TRACKBAR_SLIDER"},
    {"TrackBarSliderVImage", B, {}, "TRACKBAR_SLIDER_V"},
    {"ScrollBarBackgroundColor", C, {0x00C9C9C9, 0x00F9F9F9, 0x00F5F5F5, 0x00F5F5F5, 0x00F4F4F4}, nullptr},
    {"ScrollBarButtonImage", B, {}, "SCROLLBAR_BUTTON"},
    {"ScrollBarSliderImage", B, {}, "SCROLLBAR_TRACK"},
    {"CheckListBoxImage", B, {}, "CHECKLIST"},
    {"ToolBarButtonBorderColor", C, {0x00474747, 0x00C66931, 0x00474747, 0x00474747, 0x00474747}, nullptr},
    {"ToolBarButtonBackgroundColor", C, {0x00EFEFEF, 0x00EFD3C6, 0x00EFEFEF, 0x00EFEFEF, 0x00EFEFEF}, nullptr},
    {"ToolBarButtonDownBackgroundColor", C, {0x00D8D8D8, 0x00E1AC93, 0x00D8D8D8, 0x00D8D8D8, 0x00D8D8D8}, nullptr},
    {"ScrollButtonImage", B, {}, "SCROLLBUTTON"},
    {"TabControlTabImage", B, {}, "TAB"},
    {"TabControlBarImage", B, {}, "TAB_LINE"},
    {"SideChannelHandleImage", B, {}, "SIDECHENNEL_HANDLE"},
    {"SideChannelBarImage", B, {}, "SIDECHENNEL_BAR"},
    {"TitleBarMinimizedImage", B, {}, ""},
    {"TitleBarFontColor", C, {0x00000000, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}, nullptr},
    {"FormLeftBorderImage", B, {}, ""},
    {"FormBottomBorderImage", B, {}, ""},
    {"FormBottomRoundCornerInt", I, {0, 0, 0, 0, 0}, nullptr},
    {"MenuMenuBarColor", C, {0x00E7E7E7, 0x00DEEBEF, 0x00E8E8E8, 0x00FBFBFB, 0x00E7E7E7}, nullptr},
}};
// clang-format on

constexpr int kScrollButtonIndex = 38;
constexpr std::array<const char*, 5> kPrefixes{"MACOS_", "WINXP_", "DEEPBLUE_", "PROTEIN_", "BLUEGLASS_"};

// The resource names of every style's bitmap elements, made once; the
// strings stay put, so their addresses can serve as the elements' values.
const std::array<std::array<std::string, styElementCount>, 5>& BitmapNames() {
  static const auto names = [] {
    std::array<std::array<std::string, styElementCount>, 5> n;
    for (size_t s = 0; s < 5; ++s) {
      for (size_t i = 0; i < kElements.size(); ++i) {
        const Element& e = kElements[i];
        if (e.kind != B || !*e.bitmap) continue;
        n[s][i] = std::string(kPrefixes[s]) + e.bitmap;
      }
      // The scroll button of three styles is one shared picture.
      const TstyUIStyle style = static_cast<TstyUIStyle>(s + 1);
      if (style == DeepBlue || style == Protein || style == BlueGlass) {
        n[s][kScrollButtonIndex - 1] = "MORE_SCROLLBUTTON";
      }
    }
    return n;
  }();
  return names;
}

bool BuiltIn(TstyUIStyle style) { return style >= MacOS && style <= BlueGlass; }
bool InRange(int index) { return index >= 1 && index <= styElementCount; }

}  // namespace

const char* StyElementName(int index) { return InRange(index) ? kElements[index - 1].name : ""; }

intptr_t GetStyThemeEntry(TstyUIStyle style, int index, uint8_t& kind) {
  kind = styKindInt;
  if (!BuiltIn(style) || !InRange(index)) return -1;
  const Element& e = kElements[index - 1];
  kind = e.kind;
  if (e.kind == B) return reinterpret_cast<intptr_t>(BitmapNames()[style - 1][index - 1].c_str());
  return e.values[style - 1];
}

int32_t GetStyThemeInt(TstyUIStyle style, int index) {
  uint8_t kind;
  const intptr_t v = GetStyThemeEntry(style, index, kind);
  return kind == styKindInt ? static_cast<int32_t>(v) : -1;
}

forms::TColor GetStyThemeColor(TstyUIStyle style, int index) {
  uint8_t kind;
  const intptr_t v = GetStyThemeEntry(style, index, kind);
  return kind == styKindColor ? static_cast<forms::TColor>(v) : 0;
}

int32_t GetStyThemeFlag(TstyUIStyle style, int index) {
  uint8_t kind;
  const intptr_t v = GetStyThemeEntry(style, index, kind);
  return kind == styKindFlag ? static_cast<int32_t>(v) : 0;
}

const char* GetStyThemeBitmapName(TstyUIStyle style, int index) {
  uint8_t kind;
  const intptr_t v = GetStyThemeEntry(style, index, kind);
  return kind == styKindBitmap ? reinterpret_cast<const char*>(v) : nullptr;
}

void LoadStyBitmap(TBitmap* bitmap, const char* name) {
  const rtl::ResourceEntry& res = rtl::GetResource(controlsResources, name ? name : "");
  rtl::TMemoryStream stream;
  stream.Write(res.Data, static_cast<int64_t>(res.Size));
  stream.Seek(0, rtl::soBeginning);
  bitmap->LoadFromStream(&stream);
}

void GetStyThemeBitmap(TstyUIStyle style, int index, TBitmap* bitmap) {
  if (!bitmap) return;
  if (const char* name = GetStyThemeBitmapName(style, index)) LoadStyBitmap(bitmap, name);
}

void GetStyThemeBitmapSlice(TstyUIStyle style, int index, TBitmap* bitmap, int sliceCount, int sliceIndex) {
  if (!bitmap) return;
  if (sliceCount == 0) {
    GetStyThemeBitmap(style, index, bitmap);
    return;
  }
  TBitmap whole;
  GetStyThemeBitmap(style, index, &whole);
  CopyBitmapSlice(&whole, bitmap, sliceCount, sliceIndex);
}

bool ResolveUIStyle(TstyFileTheme* fileTheme, TstyUIStyle uiStyle, TstyUIStyle& builtIn) {
  builtIn = uiStyle;
  if (uiStyle != FromThemeFile) return false;
  if (fileTheme && fileTheme->IsValid()) return true;
  builtIn = DeepBlue;
  return false;
}

TstyUIStyle OwnerFormUIStyle(forms::TComponent* owner) {
  auto* form = dynamic_cast<forms::TCustomForm*>(owner);
  if (!form) return DeepBlue;
  for (int i = 0; i < form->ControlCount(); ++i) {
    if (auto* frame = dynamic_cast<TstyForm*>(form->Controls(i))) return frame->UIStyle();
  }
  return DeepBlue;
}

}  // namespace controls
