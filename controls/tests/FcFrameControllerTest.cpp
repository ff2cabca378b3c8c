// The frame controller: pushing settings by published name or through the
// notification interface, batching with BeginUpdate/EndUpdate, skipping
// what a control does not publish or does not want, and going away cleanly.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/fc/FcCommon.h"
#include "controls/fc/FcRadChk.h"

using namespace controls;

namespace {

// A control that publishes a few like-named properties and records every
// set, in order.
class Published : public forms::TCustomControl, public IFcPublished {
public:
  explicit Published(forms::TComponent* owner, bool withFocusColor = true, bool withNotifications = false)
      : TCustomControl(owner) {
    auto ord = [this](const char* name, int64_t* field) {
      props_.AddOrdinal(name, [field] { return *field; },
                        [this, name, field](int64_t v) {
                          *field = v;
                          log.push_back(name);
                        });
    };
    ord("Color", &color);
    ord("ParentColor", &parentColor);
    ord("FrameColor", &frameColor);
    ord("FrameStyle", &frameStyle);
    ord("FrameVisible", &frameVisible);
    if (withFocusColor) ord("FocusColor", &focusColor);
    if (withNotifications) ord("FrameControllerNotifications", &notifications);
    props_.AddSet("FrameSides", [this] { return sides; },
                  [this](const forms::String& v) {
                    sides = v;
                    log.push_back("FrameSides");
                  });
  }
  const TFcPublishedProperties& PublishedProperties() const override { return props_; }

  int64_t color = 0, parentColor = 1, frameColor = 0, frameStyle = 0, frameVisible = 0, focusColor = 0;
  int64_t notifications = 0;
  forms::String sides;
  std::vector<std::string> log;

private:
  TFcPublishedProperties props_;
};

int64_t Bits(std::initializer_list<TFcFrameControllerProperty> props) {
  int64_t b = 0;
  for (auto p : props) b |= int64_t{1} << p;
  return b;
}

TEST(FcFrameController, RegisteringPushesEverythingInOrder) {
  TFcFrameController fc(nullptr);
  fc.SetFrameColor(forms::clRed);
  fc.SetFrameSides(TSides{sdLeft, sdBottom});
  Published c(nullptr);
  EXPECT_FALSE(fc.HasControlList());
  fc.AddControl(&c);
  EXPECT_EQ(c.log, (std::vector<std::string>{"ParentColor", "Color", "FocusColor", "FrameColor", "FrameSides",
                                             "FrameStyle", "FrameVisible"}));
  EXPECT_EQ(c.frameColor, forms::clRed);
  EXPECT_EQ(c.parentColor, 0);
  EXPECT_EQ(c.sides, "[sdLeft,sdBottom]");
  // Registering twice is once.
  c.log.clear();
  fc.AddControl(&c);
  EXPECT_TRUE(c.log.empty());
  fc.RemoveControl(&c);
  EXPECT_FALSE(fc.HasControlList());
}

TEST(FcFrameController, BeginAndEndUpdatePushOnce) {
  TFcFrameController fc(nullptr);
  Published c(nullptr);
  fc.AddControl(&c);
  c.log.clear();
  fc.BeginUpdate();
  fc.BeginUpdate();
  fc.SetFrameColor(forms::clBlue);
  fc.SetFrameStyle(fsGroove);
  fc.EndUpdate();
  EXPECT_TRUE(c.log.empty()) << "still inside the outer update";
  fc.EndUpdate();
  EXPECT_EQ(std::count(c.log.begin(), c.log.end(), "FrameColor"), 1);
  EXPECT_EQ(std::count(c.log.begin(), c.log.end(), "FrameStyle"), 1);
  EXPECT_EQ(c.log.size(), 7u) << "all properties, once each";
  EXPECT_EQ(c.frameColor, forms::clBlue);
  EXPECT_EQ(c.frameStyle, fsGroove);
  // Outside an update a change pushes only its own property.
  c.log.clear();
  fc.SetFrameColor(forms::clGreen);
  EXPECT_EQ(c.log, std::vector<std::string>{"FrameColor"});
  fc.SetFrameColor(forms::clGreen);
  EXPECT_EQ(c.log.size(), 1u) << "an unchanged value pushes nothing";
}

TEST(FcFrameController, SkipsWhatAControlDoesNotPublishOrWant) {
  TFcFrameController fc(nullptr);
  Published noFocus(nullptr, /*withFocusColor=*/false);
  Published picky(nullptr, true, /*withNotifications=*/true);
  picky.notifications = Bits({fcpFrameColor, fcpFocusColor});
  fc.AddControl(&noFocus);
  fc.AddControl(&picky);
  noFocus.log.clear();
  picky.log.clear();

  fc.SetFocusColor(forms::clYellow);
  EXPECT_TRUE(noFocus.log.empty());
  EXPECT_EQ(picky.focusColor, forms::clYellow);

  picky.color = forms::clLime;
  fc.SetColor(forms::clMaroon);
  EXPECT_EQ(picky.color, forms::clLime) << "colour is not among its notifications";
  EXPECT_EQ(noFocus.color, forms::clMaroon);
}

TEST(FcFrameController, ColourDragsFocusColourAlongAndClearsParentColour) {
  TFcFrameController fc(nullptr);
  fc.SetParentColor(true);
  EXPECT_EQ(fc.FocusColor(), fc.Color());
  fc.SetColor(forms::clAqua);
  EXPECT_EQ(fc.FocusColor(), forms::clAqua);
  EXPECT_FALSE(fc.ParentColor());
  fc.SetFocusColor(forms::clRed);
  fc.SetColor(forms::clBlue);
  EXPECT_EQ(fc.FocusColor(), forms::clRed) << "a focus colour of its own stays";

  // With ParentColor the controller's colour is not pushed.
  Published c(nullptr);
  fc.SetParentColor(true);
  fc.AddControl(&c);
  EXPECT_EQ(std::count(c.log.begin(), c.log.end(), "Color"), 0);
  c.log.clear();
  fc.SetParentColor(false);
  EXPECT_EQ(c.log, (std::vector<std::string>{"ParentColor", "Color"}));
  fc.RemoveControl(&c);
}

TEST(FcFrameController, HotTrackShowsTheFrameOnAllSides) {
  TFcFrameController fc(nullptr);
  fc.SetFrameSides(TSides{sdTop});
  fc.SetFrameHotTrack(true);
  EXPECT_TRUE(fc.FrameVisible());
  EXPECT_EQ(fc.FrameSides(), sdAllSides);
  // Old forms' "FrameFlat" switch.
  TFcFrameController old(nullptr);
  old.ReadFrameFlat(true);
  EXPECT_TRUE(old.FrameHotTrack());
  EXPECT_EQ(old.FrameStyle(), fsStatus);
  EXPECT_EQ(old.FrameHotStyle(), fsLowered);
  old.ReadFrameFocusStyle("fsGroove");
  EXPECT_EQ(old.FrameHotStyle(), fsGroove);
}

TEST(FcFrameController, AssignCopiesEverySettingInOnePush) {
  TFcFrameController a(nullptr), b(nullptr);
  a.SetFrameColor(forms::clRed);
  a.SetFrameStyle(fsBump);
  a.SetFrameSides(TSides{sdLeft});
  a.SetReadOnlyColor(forms::clLime);
  Published c(nullptr);
  b.AddControl(&c);
  c.log.clear();
  b.Assign(&a);
  EXPECT_EQ(b.FrameColor(), forms::clRed);
  EXPECT_EQ(b.FrameStyle(), fsBump);
  EXPECT_EQ(b.FrameSides(), TSides{sdLeft});
  EXPECT_EQ(b.ReadOnlyColor(), forms::clLime);
  EXPECT_EQ(c.log.size(), 7u);
  b.RemoveControl(&c);
}

TEST(FcFrameController, SidesText) {
  EXPECT_EQ(SidesToText(sdAllSides), "[sdLeft,sdTop,sdRight,sdBottom]");
  EXPECT_EQ(SidesToText(TSides{}), "[]");
  EXPECT_EQ(TextToSides(" [ sdBottom , sdleft ] "), (TSides{sdLeft, sdBottom}));
  EXPECT_EQ(TextToSides("[sdNowhere]"), TSides{});
}

TEST(FcFrameController, CheckBoxTakesSettingsOnlyWhileTheFrameIsVisible) {
  TFcFrameController fc(nullptr);
  fc.SetColor(forms::clYellow);
  fc.SetFrameColor(forms::clRed);
  TFcCheckBox box(nullptr);
  box.SetFrameController(&fc);
  EXPECT_FALSE(box.HotTrack()) << "frame not visible";
  EXPECT_EQ(box.FillColor(), forms::clWindow);

  fc.SetFrameVisible(true);
  fc.BeginUpdate();
  fc.SetFrameHotTrack(true);
  fc.SetFrameHotColor(forms::clLime);
  fc.EndUpdate();
  EXPECT_TRUE(box.HotTrack());
  EXPECT_EQ(box.FillColor(), forms::clYellow);
  EXPECT_EQ(box.FrameColor(), forms::clRed);
  EXPECT_EQ(box.HotTrackStyle(), htsFrame);
  EXPECT_EQ(box.HotTrackColor(), forms::clLime);

  // A box that does not want the colour keeps its fill.
  TFcCheckBox picky(nullptr);
  picky.SetFrameControllerNotifications(TFcFrameControllerNotifications{fcpFrameColor});
  picky.SetFrameController(&fc);
  EXPECT_EQ(picky.FillColor(), forms::clWindow);
  EXPECT_EQ(picky.FrameColor(), forms::clRed);
}

TEST(FcFrameController, ControlsAndControllerForgetEachOther) {
  auto owner = std::make_unique<forms::TComponent>(nullptr);
  auto* fc = new TFcFrameController(owner.get());
  {
    TFcCheckBox box(nullptr);
    box.SetFrameController(fc);
    EXPECT_EQ(fc->ControlCount(), 1);
  }
  EXPECT_FALSE(fc->HasControlList()) << "the box left when it was destroyed";

  TFcCheckBox survivor(nullptr);
  survivor.SetFrameController(fc);
  auto* regs = new TFcRegIniFile(owner.get());
  fc->SetRegIniFile(regs);
  delete regs;
  EXPECT_EQ(fc->RegIniFile(), nullptr);
  delete fc;
  EXPECT_EQ(survivor.FrameController(), nullptr);
}

TEST(FcFrameController, SettingsLocationHoldsItsConfiguration) {
  TFcRegIniFile r(nullptr);
  EXPECT_EQ(r.PathType(), ptIniFile);
  EXPECT_EQ(r.RegKey(), hkeyCurrentUser);
  EXPECT_EQ(r.RegAccess(), TFcRegAccess{keyAllAccess});
  EXPECT_EQ(r.SpecialFolder(), sfNone);
  EXPECT_TRUE(r.ReopenNeeded());
  r.SetPath("Software/Vorix");
  r.SetPathType(ptRegistry);
  EXPECT_EQ(r.Path(), "Software/Vorix");
  EXPECT_EQ(r.PathType(), ptRegistry);
}

}  // namespace
