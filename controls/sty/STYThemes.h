#pragma once
// The built-in looks of the sty controls: five styles, each a table of the
// same 48 skin elements (integers, colours, flags and bitmap resource
// names), the lookups over them, and how a control chooses between a
// built-in table and a theme file.
#include <cstdint>

#include "platform/forms/Components.h"
#include "platform/forms/Graphics.h"
#include "platform/rtl/Resources.h"

namespace controls {

extern const rtl::ResourceTable controlsResources;

enum TstyUIStyle : uint8_t { FromThemeFile = 0, MacOS = 1, WinXP = 2, DeepBlue = 3, Protein = 4, BlueGlass = 5 };

// Kinds of skin element.
inline constexpr uint8_t styKindInt = 0, styKindColor = 1, styKindBitmap = 2, styKindFlag = 3;
inline constexpr int styElementCount = 48;

// Element indexes the controls of this library read.
inline constexpr int styTitleBarButtonImage = 5;
inline constexpr int styFormBackgroundColor = 15;
inline constexpr int styControlBorderColor = 25;

class TstyFileTheme;

// What a control that takes a look from UIStyle and FileTheme offers, so a
// frame can hand its style on to the controls on it.
class IstyStyled {
public:
  virtual ~IstyStyled() = default;
  virtual void SetFileTheme(TstyFileTheme* theme) = 0;
  virtual void SetUIStyle(TstyUIStyle style) = 0;
};

// The element's name (also its entry name in theme files); empty outside
// 1..48.
const char* StyElementName(int index);

// The raw lookup: for styles 1-5 and indexes 1-48 the element's kind and
// value (for a bitmap element the value is the address of its resource
// name); anything else gives kind 0 and -1.
intptr_t GetStyThemeEntry(TstyUIStyle style, int index, uint8_t& kind);
// The value when the element is an integer, else -1.
int32_t GetStyThemeInt(TstyUIStyle style, int index);
// The value when the element is a colour, else 0.
forms::TColor GetStyThemeColor(TstyUIStyle style, int index);
// The value when the element is a flag, else 0.
int32_t GetStyThemeFlag(TstyUIStyle style, int index);
// The resource name of a bitmap element, else null.
const char* GetStyThemeBitmapName(TstyUIStyle style, int index);
// Loads a bitmap element's resource into `bitmap` (when given and the
// element is a bitmap); a missing resource, the empty names included,
// raises rtl::EResNotFound.
void GetStyThemeBitmap(TstyUIStyle style, int index, forms::TBitmap* bitmap);
// Slice `sliceIndex` (1-based) of `sliceCount` equal-width slices of the
// element; a count of 0 loads the whole bitmap.
void GetStyThemeBitmapSlice(TstyUIStyle style, int index, forms::TBitmap* bitmap, int sliceCount, int sliceIndex);

// Loads one of the library's bitmap resources by name.
void LoadStyBitmap(forms::TBitmap* bitmap, const char* name);

// True when the elements are to be read from `fileTheme`; `builtIn`
// receives the built-in style to use otherwise (DeepBlue when a theme file
// was asked for but none valid is attached).
bool ResolveUIStyle(TstyFileTheme* fileTheme, TstyUIStyle uiStyle, TstyUIStyle& builtIn);

// The style a control made with `owner` starts with: the UIStyle of the
// first frame among the owner form's own child controls, else DeepBlue.
TstyUIStyle OwnerFormUIStyle(forms::TComponent* owner);

}  // namespace controls
