#include "controls/sty/STYThemes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controls/sty/STYForm.h"
#include "controls/sty/STYMgr.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/tests/FormsTestUtil.h"

using namespace controls;
using namespace forms;

namespace {

constexpr TstyUIStyle kBuiltIn[] = {MacOS, WinXP, DeepBlue, Protein, BlueGlass};

struct NumberRow {
  int index;
  uint8_t kind;
  int32_t values[5];  // MacOS, WinXP, DeepBlue, Protein, BlueGlass
};

// Every element that is not a bitmap, with its value in each style.
const NumberRow kNumbers[] = {
    {2, styKindFlag, {1, 0, 0, 0, 1}},
    {6, styKindFlag, {0, 0, 0, 1, 1}},
    {7, styKindInt, {3, 2, 0, 0, 4}},
    {8, styKindInt, {-2, -2, 0, 0, -3}},
    {9, styKindInt, {4, 5, 2, 2, 6}},
    {13, styKindInt, {130, 150, 130, 130, 270}},
    {14, styKindInt, {0, 13, 0, 0, 11}},
    {15, styKindColor, {0x00E7E7E7, 0x00DEEBEF, 0x00E8E8E8, 0x00FBFBFB, 0x00E7E7E7}},
    {16, styKindColor, {0x007F7F7F, 0x00C82C00, 0, 0, 0}},
    {17, styKindInt, {1, 3, 1, 1, 1}},
    {18, styKindColor, {0x00C47339, 0x00C66931, 0x00A04A44, 0x00C4302D, 0x00EC5E5E}},
    {19, styKindColor, {0x00C47339, 0x00EFD3C6, 0x00A04A44, 0x00C4302D, 0x00EC5E5E}},
    {20, styKindColor, {0x00FFFFFF, 0, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}},
    {21, styKindColor, {0, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00E7E7E7}},
    {22, styKindColor, {0, 0, 0, 0, 0}},
    {23, styKindColor, {0, 0x00CED3D6, 0x00CED3D6, 0x00CED3D6, 0x00CED3D6}},
    {25, styKindColor, {0x007F7F7F, 0x00686868, 0, 0, 0}},
    {26, styKindColor, {0x00E7E7E7, 0x00DEEBEF, 0x00E8E8E8, 0x00FBFBFB, 0x00E7E7E7}},
    {27, styKindColor, {0, 0x00CF4602, 0, 0, 0}},
    {31, styKindColor, {0x00C9C9C9, 0x00F9F9F9, 0x00F5F5F5, 0x00F5F5F5, 0x00F4F4F4}},
    {35, styKindColor, {0x00474747, 0x00C66931, 0x00474747, 0x00474747, 0x00474747}},
    {36, styKindColor, {0x00EFEFEF, 0x00EFD3C6, 0x00EFEFEF, 0x00EFEFEF, 0x00EFEFEF}},
    {37, styKindColor, {0x00D8D8D8, 0x00E1AC93, 0x00D8D8D8, 0x00D8D8D8, 0x00D8D8D8}},
    {44, styKindColor, {0, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF}},
    {47, styKindInt, {0, 0, 0, 0, 0}},
    {48, styKindColor, {0x00E7E7E7, 0x00DEEBEF, 0x00E8E8E8, 0x00FBFBFB, 0x00E7E7E7}},
};

struct BitmapRow {
  int index;
  const char* deepBlue;
};

const BitmapRow kBitmaps[] = {
    {1, "DEEPBLUE_BUTTON"}, {3, "DEEPBLUE_CHECKBOX"}, {4, "DEEPBLUE_RADIOBUTTON"}, {5, "DEEPBLUE_TITLEBTN"},
    {10, "DEEPBLUE_TITLE_LEFT"}, {11, "DEEPBLUE_TITLE_CLIENT"}, {12, "DEEPBLUE_TITLE_RIGHT"},
    {24, "DEEPBLUE_PROGRESSBAR"}, {28, "DEEPBLUE_TRACKBAR_BAR"}, {29, "DEEPBLUE_TRACKBAR_SLIDER"},
    {30, "DEEPBLUE_TRACKBAR_SLIDER_V"}, {32, "DEEPBLUE_SCROLLBAR_BUTTON"}, {33, "DEEPBLUE_SCROLLBAR_TRACK"},
    {34, "DEEPBLUE_CHECKLIST"}, {39, "DEEPBLUE_TAB"}, {40, "DEEPBLUE_TAB_LINE"},
    {41, "DEEPBLUE_SIDECHENNEL_HANDLE"}, {42, "DEEPBLUE_SIDECHENNEL_BAR"},
};

const char* Prefix(TstyUIStyle s) {
  switch (s) {
    case MacOS: return "MACOS_";
    case WinXP: return "WINXP_";
    case Protein: return "PROTEIN_";
    case BlueGlass: return "BLUEGLASS_";
    default: return "DEEPBLUE_";
  }
}

TEST(StyThemes, EveryNumberOfEveryStyleWithItsKind) {
  for (const NumberRow& row : kNumbers) {
    for (int s = 0; s < 5; ++s) {
      SCOPED_TRACE(std::string(StyElementName(row.index)) + " style " + std::to_string(kBuiltIn[s]));
      uint8_t kind = 99;
      EXPECT_EQ(GetStyThemeEntry(kBuiltIn[s], row.index, kind), row.values[s]);
      EXPECT_EQ(kind, row.kind);
      EXPECT_EQ(GetStyThemeInt(kBuiltIn[s], row.index), row.kind == styKindInt ? row.values[s] : -1);
      EXPECT_EQ(GetStyThemeColor(kBuiltIn[s], row.index), row.kind == styKindColor ? row.values[s] : 0);
      EXPECT_EQ(GetStyThemeFlag(kBuiltIn[s], row.index), row.kind == styKindFlag ? row.values[s] : 0);
    }
  }
}

TEST(StyThemes, BitmapNamesFollowThePrefixRuleAndEveryOneIsCarried) {
  for (const BitmapRow& row : kBitmaps) {
    for (TstyUIStyle s : kBuiltIn) {
      const std::string expected = Prefix(s) + std::string(row.deepBlue).substr(std::strlen("DEEPBLUE_"));
      const char* name = GetStyThemeBitmapName(s, row.index);
      ASSERT_NE(name, nullptr) << row.index;
      EXPECT_EQ(name, expected);
      EXPECT_NE(rtl::FindResource(controlsResources, name), nullptr) << name;
      EXPECT_EQ(GetStyThemeInt(s, row.index), -1);
      EXPECT_EQ(GetStyThemeColor(s, row.index), 0);
    }
  }
  // The scroll button is shared by three styles.
  const std::pair<TstyUIStyle, const char*> scroll[] = {{MacOS, "MACOS_SCROLLBUTTON"},
                                                        {WinXP, "WINXP_SCROLLBUTTON"},
                                                        {DeepBlue, "MORE_SCROLLBUTTON"},
                                                        {Protein, "MORE_SCROLLBUTTON"},
                                                        {BlueGlass, "MORE_SCROLLBUTTON"}};
  for (auto [s, name] : scroll) {
    EXPECT_STREQ(GetStyThemeBitmapName(s, 38), name);
    EXPECT_NE(rtl::FindResource(controlsResources, name), nullptr) << name;
  }
  for (const char* extra : {"MACOS_COMBOBOX_BUTTON", "WINXP_COMBOBOX_BUTTON", "MACOS_MENU_BAR", "MACOS_MENU_SELECT",
                            "MACOS_FORM_BACKGROUND", "PROTEIN_FORM_BACKGROUND"}) {
    EXPECT_NE(rtl::FindResource(controlsResources, extra), nullptr) << extra;
  }
}

TEST(StyThemes, TheThreeUnnamedBitmapsFailToLoadFromABuiltInStyle) {
  for (int index : {43, 45, 46}) {
    TBitmap bitmap;
    EXPECT_STREQ(GetStyThemeBitmapName(DeepBlue, index), "");
    EXPECT_THROW(GetStyThemeBitmap(DeepBlue, index, &bitmap), rtl::EResNotFound) << index;
  }
}

TEST(StyThemes, LookupsOutsideTheBuiltInStylesOrTheIndexRange) {
  struct Case {
    TstyUIStyle style;
    int index;
  };
  for (Case c : {Case{FromThemeFile, 9}, Case{FromThemeFile, 25}, Case{static_cast<TstyUIStyle>(6), 15},
                 Case{DeepBlue, 0}, Case{DeepBlue, 49}}) {
    uint8_t kind = 99;
    EXPECT_EQ(GetStyThemeEntry(c.style, c.index, kind), -1);
    EXPECT_EQ(kind, styKindInt);
    EXPECT_EQ(GetStyThemeInt(c.style, c.index), -1);
    EXPECT_EQ(GetStyThemeColor(c.style, c.index), 0);
  }
  // Asking for a bitmap of a non-bitmap element leaves the bitmap alone.
  TBitmap bitmap;
  bitmap.SetSize(3, 2);
  GetStyThemeBitmap(DeepBlue, 15, &bitmap);
  EXPECT_EQ(bitmap.Width(), 3);
}

TEST(StyThemes, BitmapSliceIsThatThirdOfTheStrip) {
  TBitmap whole, slice;
  LoadStyBitmap(&whole, "WINXP_TITLEBTN");
  GetStyThemeBitmapSlice(WinXP, styTitleBarButtonImage, &slice, 3, 2);
  const int w = whole.Width() / 3;
  ASSERT_EQ(slice.Width(), w);
  ASSERT_EQ(slice.Height(), whole.Height());
  for (int y = 0; y < slice.Height(); ++y) {
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(slice.Canvas()->Pixels(x, y), whole.Canvas()->Pixels(w + x, y)) << x << "," << y;
    }
  }
  TBitmap all;
  GetStyThemeBitmapSlice(WinXP, styTitleBarButtonImage, &all, 0, 1);
  EXPECT_EQ(all.Width(), whole.Width());
}

class ValidTheme : public TstyFileTheme {
public:
  using TstyFileTheme::TstyFileTheme;
  bool IsValid() const override { return true; }
  int32_t GetInt(int index) const override { return index == styControlBorderColor ? 0x00123456 : 0; }
};

TEST(StyThemes, ResolveChoosesTheFileOnlyForAValidThemeAndFallsBackToDeepBlue) {
  TstyFileTheme invalid(nullptr);
  ValidTheme valid(nullptr);
  struct Case {
    TstyFileTheme* theme;
    TstyUIStyle asked;
    bool fromFile;
    TstyUIStyle builtIn;
  };
  for (Case c : {Case{nullptr, FromThemeFile, false, DeepBlue}, Case{&invalid, FromThemeFile, false, DeepBlue},
                 Case{&valid, FromThemeFile, true, FromThemeFile}, Case{&valid, MacOS, false, MacOS},
                 Case{nullptr, Protein, false, Protein}}) {
    TstyUIStyle out = WinXP;
    EXPECT_EQ(ResolveUIStyle(c.theme, c.asked, out), c.fromFile);
    EXPECT_EQ(out, c.builtIn);
  }
}

class StyOwnerStyle : public formstest::FormsFixture {};

TEST_F(StyOwnerStyle, TheFirstFrameAmongTheFormsOwnChildrenGivesTheStyle) {
  auto* form = new TForm(nullptr);
  EXPECT_EQ(OwnerFormUIStyle(form), DeepBlue) << "no frame";
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  auto* nested = new TstyForm(form);
  nested->SetParent(panel);
  nested->SetUIStyle(WinXP);
  EXPECT_EQ(OwnerFormUIStyle(form), DeepBlue) << "a frame inside a panel is not seen";
  auto* frame = new TstyForm(form);
  frame->SetParent(form);
  frame->SetUIStyle(Protein);
  auto* second = new TstyForm(form);
  second->SetParent(form);
  second->SetUIStyle(MacOS);
  EXPECT_EQ(OwnerFormUIStyle(form), Protein);
  EXPECT_EQ(OwnerFormUIStyle(panel), DeepBlue) << "an owner that is not a form";
  EXPECT_EQ(OwnerFormUIStyle(nullptr), DeepBlue);
}

}  // namespace
