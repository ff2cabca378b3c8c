// The frame controller, the settings-location component and the small
// table of published properties the controller sets by name.
#include <algorithm>
#include <array>

#include "controls/fc/FcCommon.h"
#include "platform/rtl/StringUtils.h"

namespace controls {

using forms::String;
using forms::TComponent;

// ---- published properties ----

void TFcPublishedProperties::AddOrdinal(const String& name, std::function<int64_t()> get,
                                        std::function<void(int64_t)> set) {
  ordinals_[rtl::UpperCase(name)] = {std::move(get), std::move(set)};
}

void TFcPublishedProperties::AddSet(const String& name, std::function<String()> get,
                                    std::function<void(const String&)> set) {
  sets_[rtl::UpperCase(name)] = {std::move(get), std::move(set)};
}

bool TFcPublishedProperties::Has(const String& name) const {
  const String key = rtl::UpperCase(name);
  return ordinals_.count(key) || sets_.count(key);
}

std::optional<int64_t> TFcPublishedProperties::GetOrdinal(const String& name) const {
  auto it = ordinals_.find(rtl::UpperCase(name));
  if (it == ordinals_.end() || !it->second.get) return std::nullopt;
  return it->second.get();
}

bool TFcPublishedProperties::SetOrdinal(const String& name, int64_t value) const {
  auto it = ordinals_.find(rtl::UpperCase(name));
  if (it == ordinals_.end() || !it->second.set) return false;
  it->second.set(value);
  return true;
}

std::optional<String> TFcPublishedProperties::GetSetText(const String& name) const {
  auto it = sets_.find(rtl::UpperCase(name));
  if (it == sets_.end() || !it->second.get) return std::nullopt;
  return it->second.get();
}

bool TFcPublishedProperties::SetSetText(const String& name, const String& text) const {
  auto it = sets_.find(rtl::UpperCase(name));
  if (it == sets_.end() || !it->second.set) return false;
  it->second.set(text);
  return true;
}

namespace {
constexpr std::array<const char*, 4> kSideNames = {"sdLeft", "sdTop", "sdRight", "sdBottom"};
}

String SidesToText(TSides sides) {
  String out = "[";
  for (size_t i = 0; i < kSideNames.size(); ++i) {
    if (!sides.Contains(static_cast<TSide>(i))) continue;
    if (out.size() > 1) out += ",";
    out += kSideNames[i];
  }
  return out + "]";
}

TSides TextToSides(const String& text) {
  TSides sides;
  String body = rtl::Trim(text);
  if (!body.empty() && body.front() == '[') body.erase(0, 1);
  if (!body.empty() && body.back() == ']') body.pop_back();
  size_t start = 0;
  while (start <= body.size()) {
    size_t comma = body.find(',', start);
    if (comma == String::npos) comma = body.size();
    const String item = rtl::Trim(body.substr(start, comma - start));
    for (size_t i = 0; i < kSideNames.size(); ++i)
      if (rtl::SameText(item, kSideNames[i])) sides.Include(static_cast<TSide>(i));
    start = comma + 1;
  }
  return sides;
}

// ---- settings location ----

TFcRegIniFile::TFcRegIniFile(TComponent* owner) : TComponent(owner) {}
TFcRegIniFile::~TFcRegIniFile() = default;

void TFcRegIniFile::SetPath(const String& v) {
  if (path_ == v) return;
  path_ = v;
  reopen_ = true;
}
void TFcRegIniFile::SetPathType(TFcPathType v) {
  if (pathType_ == v) return;
  pathType_ = v;
  reopen_ = true;
}
void TFcRegIniFile::SetRegKey(TFcRegKey v) {
  if (regKey_ == v) return;
  regKey_ = v;
  reopen_ = true;
}
void TFcRegIniFile::SetRegAccess(TFcRegAccess v) {
  if (regAccess_ == v) return;
  regAccess_ = v;
  reopen_ = true;
}
void TFcRegIniFile::SetSpecialFolder(TFcSpecialFolder v) {
  if (specialFolder_ == v) return;
  specialFolder_ = v;
  reopen_ = true;
}

// ---- frame controller ----

TFcFrameController::TFcFrameController(TComponent* owner) : TComponent(owner) {}

TFcFrameController::~TFcFrameController() { SetRegIniFile(nullptr); }

void TFcFrameController::AddControl(TComponent* control) {
  if (!control) return;
  if (!controls_) controls_ = std::make_unique<std::vector<TComponent*>>();
  if (std::find(controls_->begin(), controls_->end(), control) != controls_->end()) return;
  controls_->push_back(control);
  UpdateControlFrame(control, fcpAll);
}

void TFcFrameController::RemoveControl(TComponent* control) {
  if (!controls_) return;
  std::erase(*controls_, control);
  if (controls_->empty()) controls_.reset();
}

void TFcFrameController::EndUpdate() {
  if (--updateCount_ > 0) return;
  updateCount_ = 0;
  UpdateControls(fcpAll);
}

void TFcFrameController::UpdateControls(TFcFrameControllerProperty property) {
  if (updateCount_ > 0 || !controls_) return;
  for (TComponent* c : std::vector<TComponent*>(*controls_)) UpdateControlFrame(c, property);
}

void TFcFrameController::UpdateControlFrame(TComponent* control, TFcFrameControllerProperty property) {
  if (!dynamic_cast<forms::TControl*>(control)) return;
  if (auto* notify = dynamic_cast<IFcFrameControllerNotify*>(control)) {
    notify->UpdateFrameControllerSettings(property);
    return;
  }
  auto* published = dynamic_cast<IFcPublished*>(control);
  if (!published) return;
  const TFcPublishedProperties& props = published->PublishedProperties();
  TFcFrameControllerNotifications notify = AllFrameControllerNotifications();
  if (auto bits = props.GetOrdinal("FrameControllerNotifications")) {
    notify = {};
    for (int p = fcpColor; p <= fcpFramingPreference; ++p)
      if (*bits & (int64_t{1} << p)) notify.Include(static_cast<TFcFrameControllerProperty>(p));
  }
  if (property != fcpAll) {
    SetByName(props, notify, property);
    return;
  }
  static constexpr TFcFrameControllerProperty kOrder[] = {
      fcpParentColor,  fcpColor,         fcpDisabledColor, fcpReadOnlyColor,  fcpReadOnlyColorOnFocus,
      fcpFocusColor,   fcpFlatButtonColor, fcpFlatButtons, fcpFrameColor,     fcpFrameHotColor,
      fcpFrameHotTrack, fcpFrameHotStyle, fcpFrameSides,   fcpFrameStyle,     fcpFrameVisible,
      fcpFramingPreference};
  for (TFcFrameControllerProperty p : kOrder) {
    if (p == fcpColor && parentColor_) continue;
    SetByName(props, notify, p);
  }
}

void TFcFrameController::SetByName(const TFcPublishedProperties& props, TFcFrameControllerNotifications notify,
                                   TFcFrameControllerProperty p) {
  if (!notify.Contains(p)) return;
  // A control that publishes no property of the name is skipped.
  switch (p) {
    case fcpColor: props.SetOrdinal("Color", color_); break;
    case fcpFocusColor: props.SetOrdinal("FocusColor", focusColor_); break;
    case fcpDisabledColor: props.SetOrdinal("DisabledColor", disabledColor_); break;
    case fcpReadOnlyColor: props.SetOrdinal("ReadOnlyColor", readOnlyColor_); break;
    case fcpReadOnlyColorOnFocus: props.SetOrdinal("ReadOnlyColorOnFocus", readOnlyColorOnFocus_); break;
    case fcpParentColor: props.SetOrdinal("ParentColor", parentColor_); break;
    case fcpFlatButtonColor: props.SetOrdinal("FlatButtonColor", flatButtonColor_); break;
    case fcpFlatButtons: props.SetOrdinal("FlatButtons", flatButtons_); break;
    case fcpFrameColor: props.SetOrdinal("FrameColor", frameColor_); break;
    case fcpFrameHotColor: props.SetOrdinal("FrameHotColor", frameHotColor_); break;
    case fcpFrameHotTrack: props.SetOrdinal("FrameHotTrack", frameHotTrack_); break;
    case fcpFrameHotStyle: props.SetOrdinal("FrameHotStyle", frameHotStyle_); break;
    case fcpFrameSides: props.SetSetText("FrameSides", SidesToText(frameSides_)); break;
    case fcpFrameStyle: props.SetOrdinal("FrameStyle", frameStyle_); break;
    case fcpFrameVisible: props.SetOrdinal("FrameVisible", frameVisible_); break;
    case fcpFramingPreference: props.SetOrdinal("FramingPreference", framingPreference_); break;
    default: break;
  }
}

void TFcFrameController::SetColor(TColor v) {
  if (color_ == v) return;
  if (color_ == focusColor_) focusColor_ = v;
  color_ = v;
  parentColor_ = false;
  UpdateControls(fcpColor);
}

void TFcFrameController::SetParentColor(bool v) {
  if (parentColor_ == v) return;
  parentColor_ = v;
  UpdateControls(fcpParentColor);
  if (!v) UpdateControls(fcpColor);
}

#define FC_SETTER(Name, Type, field, prop) \
  void TFcFrameController::Set##Name(Type v) { \
    if (field == v) return;                    \
    field = v;                                 \
    UpdateControls(prop);                      \
  }
FC_SETTER(FocusColor, TColor, focusColor_, fcpFocusColor)
FC_SETTER(DisabledColor, TColor, disabledColor_, fcpDisabledColor)
FC_SETTER(ReadOnlyColor, TColor, readOnlyColor_, fcpReadOnlyColor)
FC_SETTER(ReadOnlyColorOnFocus, bool, readOnlyColorOnFocus_, fcpReadOnlyColorOnFocus)
FC_SETTER(FlatButtonColor, TColor, flatButtonColor_, fcpFlatButtonColor)
FC_SETTER(FlatButtons, bool, flatButtons_, fcpFlatButtons)
FC_SETTER(FrameColor, TColor, frameColor_, fcpFrameColor)
FC_SETTER(FrameHotColor, TColor, frameHotColor_, fcpFrameHotColor)
FC_SETTER(FrameHotStyle, TFrameStyle, frameHotStyle_, fcpFrameHotStyle)
FC_SETTER(FrameSides, TSides, frameSides_, fcpFrameSides)
FC_SETTER(FrameStyle, TFrameStyle, frameStyle_, fcpFrameStyle)
FC_SETTER(FrameVisible, bool, frameVisible_, fcpFrameVisible)
FC_SETTER(FramingPreference, TFramingPreference, framingPreference_, fcpFramingPreference)
#undef FC_SETTER

void TFcFrameController::SetFrameHotTrack(bool v) {
  if (frameHotTrack_ == v) return;
  frameHotTrack_ = v;
  if (v) {
    SetFrameVisible(true);
    if (!ComponentState().Contains(forms::csLoading)) SetFrameSides(sdAllSides);
  }
  UpdateControls(fcpFrameHotTrack);
}

void TFcFrameController::SetRegIniFile(TFcRegIniFile* v) {
  if (regIniFile_ == v) return;
  if (regIniFile_) regIniFile_->RemoveFreeNotification(this);
  regIniFile_ = v;
  if (v) v->FreeNotification(this);
}

void TFcFrameController::ReadFrameFlat(bool flat) {
  SetFrameHotTrack(flat);
  if (flat) {
    SetFrameStyle(fsStatus);
    SetFrameHotStyle(fsLowered);
  }
}

void TFcFrameController::ReadFrameFocusStyle(const String& ident) {
  static constexpr const char* kNames[] = {"fsNone",   "fsFlat",   "fsGroove",     "fsBump",
                                           "fsLowered", "fsButtonDown", "fsRaised", "fsButtonUp",
                                           "fsStatus", "fsPopup",  "fsFlatBold",   "fsFlatRounded"};
  for (int i = 0; i < static_cast<int>(std::size(kNames)); ++i)
    if (rtl::SameText(ident, kNames[i])) SetFrameHotStyle(static_cast<TFrameStyle>(i));
}

void TFcFrameController::Assign(forms::TPersistent* source) {
  auto* other = dynamic_cast<TFcFrameController*>(source);
  if (!other) {
    TComponent::Assign(source);
    return;
  }
  BeginUpdate();
  color_ = other->color_;
  focusColor_ = other->focusColor_;
  disabledColor_ = other->disabledColor_;
  readOnlyColor_ = other->readOnlyColor_;
  readOnlyColorOnFocus_ = other->readOnlyColorOnFocus_;
  parentColor_ = other->parentColor_;
  flatButtonColor_ = other->flatButtonColor_;
  flatButtons_ = other->flatButtons_;
  frameColor_ = other->frameColor_;
  frameHotColor_ = other->frameHotColor_;
  frameHotTrack_ = other->frameHotTrack_;
  frameHotStyle_ = other->frameHotStyle_;
  frameSides_ = other->frameSides_;
  frameStyle_ = other->frameStyle_;
  frameVisible_ = other->frameVisible_;
  framingPreference_ = other->framingPreference_;
  EndUpdate();
}

void TFcFrameController::Loaded() {
  TComponent::Loaded();
  UpdateControls(fcpAll);
}

void TFcFrameController::Notification(TComponent* component, forms::TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != forms::opRemove) return;
  if (component == regIniFile_) regIniFile_ = nullptr;
  if (controls_) RemoveControl(component);
}

void AttachFrameController(TComponent* control, TFcFrameController*& field, TFcFrameController* v) {
  if (field) {
    field->RemoveControl(control);
    field->RemoveFreeNotification(control);
  }
  field = v;
  if (v) {
    v->FreeNotification(control);
    v->AddControl(control);
  }
}

}  // namespace controls
