#pragma once
// What the Fc controls share: colour arithmetic on a 0-240 hue, saturation
// and lightness scale, the frame styles and the routines that draw them,
// the custom check glyph, and the frame controller that pushes one set of
// frame and colour settings to every control that names it.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/forms/Components.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/StdCtrls.h"
#include "platform/win/Types.h"

namespace controls {

using forms::TCanvas;
using forms::TColor;
using forms::TRect;

// ---- types ----

enum TFrameStyle {
  fsNone,
  fsFlat,
  fsGroove,
  fsBump,
  fsLowered,
  fsButtonDown,
  fsRaised,
  fsButtonUp,
  fsStatus,
  fsPopup,
  fsFlatBold,
  fsFlatRounded
};
// The frame styles a control's inner and outer frames take; the rounded
// flat frame is only drawn by the combined frame routine.
using TFrameStyleEx = TFrameStyle;

enum TSide { sdLeft, sdTop, sdRight, sdBottom };
using TSides = forms::SetOf<TSide>;
inline constexpr TSides sdAllSides{sdLeft, sdTop, sdRight, sdBottom};

enum TFramingPreference { fpCustomFraming, fpXPThemes };
using forms::TCheckBoxState;
using forms::cbUnchecked;
using forms::cbChecked;
using forms::cbGrayed;
enum TFcButtonHotTrackStyle { htsInterior, htsFrame };

enum TFcFrameControllerProperty {
  fcpColor,
  fcpFocusColor,
  fcpDisabledColor,
  fcpReadOnlyColor,
  fcpReadOnlyColorOnFocus,
  fcpParentColor,
  fcpFlatButtonColor,
  fcpFlatButtons,
  fcpFrameColor,
  fcpFrameHotColor,
  fcpFrameHotTrack,
  fcpFrameHotStyle,
  fcpFrameSides,
  fcpFrameStyle,
  fcpFrameVisible,
  fcpFramingPreference,
  fcpAll
};
using TFcFrameControllerPropertyConnection = TFcFrameControllerProperty;
using TFcFrameControllerNotifications = forms::SetOf<TFcFrameControllerProperty>;
// Every member from fcpColor to fcpFramingPreference: a control's default.
TFcFrameControllerNotifications AllFrameControllerNotifications();

// Visual styles are off on this platform, so the classic drawings apply.
bool FcThemesEnabled();

// ---- colours ----

struct THsl {
  uint8_t hue = 0, saturation = 0, lightness = 0;
};
THsl SplitColorHSL(TColor color);
uint8_t HueOfColor(TColor color);
TColor ColorFromHSL(uint8_t hue, uint8_t saturation, uint8_t lightness);
TColor DarkenColor(TColor color, uint8_t amount);
TColor LightenColor(TColor color, uint8_t amount);
TColor AdjustColorLevel(TColor color, int amount);
TColor MixColors(TColor c1, TColor c2, uint8_t weight);
TColor ComplementaryColor(TColor color, uint8_t lightness);

// More than 256 colours on the display: measured at start; the highlight
// ring is drawn only then. Tests may pretend otherwise.
bool IsHighColorDisplay();
void SetHighColorDisplay(bool high);

int FcMin(int a, int b);
int FcMax(int a, int b);

// ---- frames ----
// Rectangles are left/top inclusive, right/bottom exclusive; each routine
// returns the rectangle inside what it drew.

TRect PaintSides(TCanvas* canvas, TRect rect, TColor upperLeft, TColor lowerRight, TSides sides);
TRect PaintBevel(TCanvas* canvas, TRect rect, TColor upperLeft, TColor lowerRight, int width, TSides sides);
TRect PaintBox(TCanvas* canvas, TRect rect, TColor color);
TRect PaintBorderSides(TCanvas* canvas, TRect rect, TFrameStyle style, TSides sides);
TRect PaintColorBorderSides(TCanvas* canvas, TRect rect, TColor base, TFrameStyle style, TSides sides);
TRect PaintColorButtonSides(TCanvas* canvas, TRect rect, TColor base, TSides sides, bool down);
TRect PaintRoundedFlatFrame(TCanvas* canvas, TRect rect, TColor color, TSides sides);

struct TInnerOuterFrame {
  TFrameStyleEx outer = fsNone;
  TFrameStyleEx inner = fsNone;
  int borderWidth = 0;
  TSides sides = sdAllSides;
  int bevelWidth = 1;
  TColor borderColor = forms::clBtnFace;
  TColor highlightColor = forms::clBtnHighlight;
  TColor shadowColor = forms::clBtnShadow;
  TColor flatColor = forms::clBtnShadow;
  int flatAdjustment = 0;
  TColor interiorColor = forms::clWindow;
  TColor parentColor = forms::clBtnFace;
  bool transparent = false;
  bool outlineOnly = false;
};
TRect PaintInnerOuterFrames(TCanvas* canvas, TRect rect, const TInnerOuterFrame& frame);

void PaintControlFrame(TCanvas* canvas, int width, int height, bool keepEdge, TSides sides, TColor frameColor,
                       TColor controlColor, TFrameStyle style);
TRect PaintDottedFocusFrame(TCanvas* canvas, TRect rect);

// Look: 0 normal, 1 pressed, 2 hot, 3 disabled.
struct TCheckGlyphColors {
  TColor frame = forms::clBtnShadow;
  TColor mark = forms::clHighlight;
  TColor fill = forms::clWindow;
  TColor focus = forms::clWindow;
  TColor disabled = forms::clBtnFace;
  TColor hot1 = forms::clWhite;
  TColor hot2 = forms::clBtnShadow;
  bool readOnly = false;
  bool readOnlyColorOnFocus = false;
  TColor readOnlyColor = forms::clInfoBk;
};
void PaintCheckGlyph(TCanvas* canvas, TRect rect, TCheckBoxState state, int look, bool focused,
                     TFcButtonHotTrackStyle hotStyle, const TCheckGlyphColors& colors);
void PaintHighlightRing(TCanvas* canvas, TRect rect, uint8_t kind, TColor first, TColor second);
void RedrawNonClientFrame(win::HWND hwnd, const TRect& rect);

// ---- published properties ----
// The class library finds a control's published properties by name; the Fc
// controls that want to be set that way list theirs here.
class TFcPublishedProperties {
public:
  void AddOrdinal(const forms::String& name, std::function<int64_t()> get, std::function<void(int64_t)> set);
  void AddSet(const forms::String& name, std::function<forms::String()> get,
              std::function<void(const forms::String&)> set);
  bool Has(const forms::String& name) const;
  std::optional<int64_t> GetOrdinal(const forms::String& name) const;
  bool SetOrdinal(const forms::String& name, int64_t value) const;
  std::optional<forms::String> GetSetText(const forms::String& name) const;
  bool SetSetText(const forms::String& name, const forms::String& text) const;

private:
  struct Ordinal {
    std::function<int64_t()> get;
    std::function<void(int64_t)> set;
  };
  struct SetProp {
    std::function<forms::String()> get;
    std::function<void(const forms::String&)> set;
  };
  std::map<forms::String, Ordinal> ordinals_;
  std::map<forms::String, SetProp> sets_;
};

class IFcPublished {
public:
  virtual ~IFcPublished() = default;
  virtual const TFcPublishedProperties& PublishedProperties() const = 0;
};

// "[sdLeft,sdTop]" and back; unknown names are skipped.
forms::String SidesToText(TSides sides);
TSides TextToSides(const forms::String& text);

// ---- frame controller ----

class TFcFrameController;

// A control that takes a frame controller's settings itself.
class IFcFrameControllerNotify {
public:
  virtual ~IFcFrameControllerNotify() = default;
  virtual void UpdateFrameControllerSettings(TFcFrameControllerProperty property) = 0;
};

enum TFcPathType { ptIniFile, ptRegistry };
enum TFcRegKey {
  hkeyClassesRoot,
  hkeyCurrentUser,
  hkeyLocalMachine,
  hkeyUsers,
  hkeyPerformanceData,
  hkeyCurrentConfig,
  hkeyDynData
};
enum TFcRegAccessKey {
  keyQueryValue,
  keySetValue,
  keyCreateSubKey,
  keyEnumerateSubKeys,
  keyNotify,
  keyCreateLink,
  keyRead,
  keyWrite,
  keyExecute,
  keyAllAccess
};
using TFcRegAccess = forms::SetOf<TFcRegAccessKey>;
enum TFcSpecialFolder { sfNone, sfUserAppDataRoaming, sfUserAppDataLocal, sfUserDocuments, sfProgramData };

// Where settings would be kept (an INI file or a registry key). Nothing in
// the program reads or writes through it; it holds its configuration.
class TFcRegIniFile : public forms::TComponent {
public:
  explicit TFcRegIniFile(forms::TComponent* owner);
  ~TFcRegIniFile() override;

  const forms::String& Path() const { return path_; }
  virtual void SetPath(const forms::String& v);
  TFcPathType PathType() const { return pathType_; }
  virtual void SetPathType(TFcPathType v);
  TFcRegKey RegKey() const { return regKey_; }
  virtual void SetRegKey(TFcRegKey v);
  TFcRegAccess RegAccess() const { return regAccess_; }
  virtual void SetRegAccess(TFcRegAccess v);
  TFcSpecialFolder SpecialFolder() const { return specialFolder_; }
  virtual void SetSpecialFolder(TFcSpecialFolder v);
  bool ReopenNeeded() const { return reopen_; }

private:
  forms::String path_;
  TFcPathType pathType_ = ptIniFile;
  TFcRegKey regKey_ = hkeyCurrentUser;
  TFcRegAccess regAccess_{keyAllAccess};
  TFcSpecialFolder specialFolder_ = sfNone;
  bool reopen_ = true;
};

class TFcFrameController : public forms::TComponent {
public:
  explicit TFcFrameController(forms::TComponent* owner);
  ~TFcFrameController() override;

  // Called by a control's FrameController setter and its destructor.
  void AddControl(forms::TComponent* control);
  void RemoveControl(forms::TComponent* control);
  bool HasControlList() const { return controls_ != nullptr; }
  int ControlCount() const { return controls_ ? static_cast<int>(controls_->size()) : 0; }

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  virtual void UpdateControlFrame(forms::TComponent* control, TFcFrameControllerProperty property);
  virtual void UpdateControls(TFcFrameControllerProperty property);

  TColor Color() const { return color_; }
  virtual void SetColor(TColor v);
  TColor FocusColor() const { return focusColor_; }
  virtual void SetFocusColor(TColor v);
  TColor DisabledColor() const { return disabledColor_; }
  virtual void SetDisabledColor(TColor v);
  TColor ReadOnlyColor() const { return readOnlyColor_; }
  virtual void SetReadOnlyColor(TColor v);
  bool ReadOnlyColorOnFocus() const { return readOnlyColorOnFocus_; }
  virtual void SetReadOnlyColorOnFocus(bool v);
  bool ParentColor() const { return parentColor_; }
  virtual void SetParentColor(bool v);
  TColor FlatButtonColor() const { return flatButtonColor_; }
  virtual void SetFlatButtonColor(TColor v);
  bool FlatButtons() const { return flatButtons_; }
  virtual void SetFlatButtons(bool v);
  TColor FrameColor() const { return frameColor_; }
  virtual void SetFrameColor(TColor v);
  TColor FrameHotColor() const { return frameHotColor_; }
  virtual void SetFrameHotColor(TColor v);
  bool FrameHotTrack() const { return frameHotTrack_; }
  virtual void SetFrameHotTrack(bool v);
  TFrameStyle FrameHotStyle() const { return frameHotStyle_; }
  virtual void SetFrameHotStyle(TFrameStyle v);
  TSides FrameSides() const { return frameSides_; }
  virtual void SetFrameSides(TSides v);
  TFrameStyle FrameStyle() const { return frameStyle_; }
  virtual void SetFrameStyle(TFrameStyle v);
  bool FrameVisible() const { return frameVisible_; }
  virtual void SetFrameVisible(bool v);
  TFramingPreference FramingPreference() const { return framingPreference_; }
  virtual void SetFramingPreference(TFramingPreference v);
  TFcRegIniFile* RegIniFile() const { return regIniFile_; }
  virtual void SetRegIniFile(TFcRegIniFile* v);

  // Old forms' properties, read and turned into today's.
  void ReadFrameFlat(bool flat);
  void ReadFrameFocusStyle(const forms::String& ident);
  void ReadFrameFlatStyle(const forms::String&) {}

  void Assign(forms::TPersistent* source) override;

protected:
  void Loaded() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;

private:
  void SetByName(const TFcPublishedProperties& props, TFcFrameControllerNotifications notify,
                 TFcFrameControllerProperty property);

  TColor color_ = forms::clWindow;
  TColor focusColor_ = forms::clWindow;
  TColor disabledColor_ = forms::clBtnFace;
  TColor readOnlyColor_ = forms::clInfoBk;
  bool readOnlyColorOnFocus_ = false;
  bool parentColor_ = false;
  TColor flatButtonColor_ = forms::clBtnFace;
  bool flatButtons_ = true;
  TColor frameColor_ = forms::clBtnShadow;
  TColor frameHotColor_ = forms::clBtnShadow;
  bool frameHotTrack_ = false;
  TFrameStyle frameHotStyle_ = fsFlatBold;
  TSides frameSides_ = sdAllSides;
  TFrameStyle frameStyle_ = fsFlat;
  bool frameVisible_ = false;
  TFramingPreference framingPreference_ = fpXPThemes;
  TFcRegIniFile* regIniFile_ = nullptr;
  int updateCount_ = 0;
  std::unique_ptr<std::vector<forms::TComponent*>> controls_;
};

// Moves `control` from the controller in `field` to `v` (either may be
// none), with the free notifications that keep `field` valid. The setters
// and destructors of every framed control go through here.
void AttachFrameController(forms::TComponent* control, TFcFrameController*& field, TFcFrameController* v);

}  // namespace controls
