#include "app/frmAbout.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>

#include "app/ResStr.h"
#include "app/ShellOpen.h"
#include "app/tests/AppTestUtil.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Input.h"

namespace {

using namespace forms;
using app::TAboutForm;

struct OpenRequest {
  String operation, target;
  bool operator==(const OpenRequest&) const = default;
};

class AboutFormTest : public apptest::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    win::ResetInputState();
    app::SetShellOpener([this](const String& target) { opened.push_back({"Open", target}); });
  }
  void TearDown() override {
    app::SetShellOpener(nullptr);
    Application->OnIdle = nullptr;
    while (Screen->FormCount() > 0) delete Screen->Forms(0);
    win::ResetInputState();
    Application->ProcessMessages();
    AppTest::TearDown();
  }
  void CopyPictureIntoSkin() {
    std::filesystem::create_directories(app::SkinFolder);
    std::filesystem::copy_file(std::string(VORIX_SOURCE_DIR) + "/assets/skin/About.png",
                               app::SkinFolder + app::kAboutPictureFile);
  }
  static void ClickMiddle(TControl* c) {
    const win::POINT p = c->ClientToScreen(Point(c->Width() / 2, c->Height() / 2));
    win::InjectClick(p.x, p.y);
    Application->ProcessMessages();
  }
  std::vector<OpenRequest> opened;
};

TEST_F(AboutFormTest, DialogLayoutWithThePictureFromTheSkin) {
  CopyPictureIntoSkin();
  std::unique_ptr<TAboutForm> f(new TAboutForm(nullptr));
  EXPECT_EQ(f->ClientWidth(), 498);
  EXPECT_EQ(f->ClientHeight(), 347);
  EXPECT_EQ(f->BorderStyle(), bsDialog);
  EXPECT_EQ(f->Position(), poOwnerFormCenter);
  EXPECT_EQ(f->Color(), static_cast<TColor>(0xFFDBBF)) << "red 191, green 219, blue 255";

  TImage* img = f->ImgAbout();
  EXPECT_EQ(img->Width(), 125);
  EXPECT_EQ(img->Height(), 278);
  EXPECT_EQ(img->Picture()->Width(), 125);
  EXPECT_EQ(img->Picture()->Height(), 278);

  EXPECT_TRUE(f->lblWarning()->WordWrap());
  EXPECT_EQ(f->lblWarning()->Width(), 312);
  EXPECT_EQ(f->lblWarning()->Height(), 100);
  for (TLabel* link : {f->lblHomePage(), f->lblEmail()}) {
    EXPECT_EQ(link->Font()->Color(), clBlue) << link->Name();
    EXPECT_TRUE(link->Font()->Style().Contains(fsUnderline)) << link->Name();
    EXPECT_EQ(link->Cursor(), crHandPoint) << link->Name();
  }
  EXPECT_TRUE(f->btnOK()->Default());
  EXPECT_EQ(f->btnOK()->ModalResult(), mrOk);

  // Every control lies inside the window, and the text column clear of the
  // picture.
  for (const char* name : {"ImgAbout", "lblProductTitle", "lblWarning", "lblHomePage", "lblEmail", "btnOK",
                           "BevelTop", "BevelBottom1", "BevelBottom2"}) {
    auto* c = dynamic_cast<TControl*>(f->FindComponent(name));
    ASSERT_NE(c, nullptr) << name;
    const TRect r = c->BoundsRect();
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 498 && r.bottom <= 347) << name;
  }
  for (TControl* c : {static_cast<TControl*>(f->lblProductTitle()), static_cast<TControl*>(f->lblWarning()),
                      static_cast<TControl*>(f->lblHomePage()), static_cast<TControl*>(f->lblEmail())})
    EXPECT_GT(c->Left(), img->Left() + img->Width()) << c->Name();
}

TEST_F(AboutFormTest, MissingOrBrokenPictureStillOpens) {
  std::unique_ptr<TAboutForm> missing(new TAboutForm(nullptr));
  EXPECT_EQ(missing->ImgAbout()->Picture()->Graphic(), nullptr);

  apptest::WriteFile(app::SkinFolder + app::kAboutPictureFile, "not a picture");
  std::unique_ptr<TAboutForm> broken(new TAboutForm(nullptr));
  EXPECT_EQ(broken->ImgAbout()->Picture()->Width(), 0);
}

TEST_F(AboutFormTest, ShowingAppliesTheCurrentTexts) {
  std::unique_ptr<TAboutForm> f(new TAboutForm(nullptr));
  app::IDS_ABOUTFORM_Title = "Info";
  app::IDS_ABOUTFORM_LABEL_Warning = "Urheberrechtlich geschuetzt.";
  app::IDS_ABOUTFORM_BUTTON_Ok = "Schliessen";
  f->Show();
  EXPECT_EQ(f->Caption(), "Info");
  EXPECT_EQ(f->lblWarning()->Caption(), "Urheberrechtlich geschuetzt.");
  EXPECT_EQ(f->btnOK()->Caption(), "Schliessen");
  EXPECT_EQ(f->lblProductTitle()->Caption(), String(app::kProductTitle) + " " + app::kProductVersion);
  EXPECT_EQ(f->lblHomePage()->Caption(), app::kHomePageAddress);
  EXPECT_EQ(f->lblEmail()->Caption(), app::kSupportAddress);
}

TEST_F(AboutFormTest, ClickedLinksAskTheDesktopToOpenThem) {
  auto* owner = new TForm(Application);
  owner->SetBorderStyle(bsNone);
  owner->SetBounds(40, 30, 640, 480);
  owner->Show();
  auto* f = new TAboutForm(owner);
  int step = 0;
  TPoint placed;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (!f->Visible()) return;
    switch (step++) {
      case 0:
        placed = Point(f->Left(), f->Top());
        ClickMiddle(f->lblHomePage());
        break;
      case 1: ClickMiddle(f->lblEmail()); break;
      case 2: win::InjectKeyPress(win::VK_RETURN); break;
      default: break;
    }
  };
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_EQ(opened, (std::vector<OpenRequest>{{"Open", app::kHomePageAddress},
                                              {"Open", String("mailto:") + app::kSupportAddress}}));
  EXPECT_EQ(placed.x, 40 + (640 - f->Width()) / 2) << "centred on its owner";
  EXPECT_EQ(placed.y, 30 + (480 - f->Height()) / 2);
}

TEST_F(AboutFormTest, EscapeClosesTheWindow) {
  auto* f = new TAboutForm(Application);
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (f->Visible()) win::InjectKeyPress(win::VK_ESCAPE);
  };
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_FALSE(f->Visible());
}

}  // namespace
