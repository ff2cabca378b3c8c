#pragma once
// Shared pieces of the class library's window tests: a fixture that leaves
// no form, capture or pressed key behind, and a message-box presenter that
// records the boxes and answers them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"

namespace formstest {

struct RecordedBox {
  std::string text;
  std::string caption;
  win::UINT flags;
};

class RecordingPresenter : public forms::TMessageBoxPresenter {
public:
  int MessageBox(win::HWND, const forms::String& text, const forms::String& caption, win::UINT flags) override {
    boxes.push_back({text, caption, flags});
    return answer;
  }
  std::vector<RecordedBox> boxes;
  int answer = forms::IDOK;
};

class FormsFixture : public ::testing::Test {
protected:
  void SetUp() override {
    win::ResetInputState();
    Pump();
  }
  void TearDown() override {
    forms::Application->SetMainForm(nullptr);
    while (forms::Screen->FormCount() > 0) delete forms::Screen->Forms(0);
    forms::Application->OnException = nullptr;
    forms::Application->OnIdle = nullptr;
    forms::Application->OnMessage = nullptr;
    forms::Screen->SetCursor(forms::crDefault);
    win::ResetInputState();
    Pump();
  }
  static void Pump() { forms::Application->ProcessMessages(); }
  // The screen position of a control's client point.
  static win::POINT At(forms::TControl* c, int x, int y) { return c->ClientToScreen(forms::Point(x, y)); }
  static void Click(forms::TControl* c, int x, int y) {
    win::POINT p = At(c, x, y);
    win::InjectClick(p.x, p.y);
    Pump();
  }
  static void MoveTo(forms::TControl* c, int x, int y) {
    win::POINT p = At(c, x, y);
    win::InjectMouseMove(p.x, p.y);
    Pump();
  }
  static void Key(win::UINT vk) {
    win::InjectKeyPress(vk);
    Pump();
  }
};

}  // namespace formstest
