// The view base: its observers hear changes and, once, the view's end;
// resolution setters keep a value of 0 out; the border and 3-D setters
// make the window again only on a real change.
#include "imaging/views/ikview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/win/Input.h"

namespace imaging {
namespace {

using forms::TObject;

TEST(IKView, DestroyingTellsEachObserverOnceInRegistrationOrder) {
  std::vector<std::string> calls;
  auto* view = new TIKView(nullptr);
  view->RegisterObserverCallback([&](TObject* s, int32_t change) {
    EXPECT_EQ(s, view);
    calls.push_back("a" + std::to_string(change));
  });
  const intptr_t b = view->RegisterObserverCallback([&](TObject*, int32_t change) {
    calls.push_back("b" + std::to_string(change));
  });
  view->NotifyObservers();
  EXPECT_EQ(calls, (std::vector<std::string>{"a0", "b0"}));
  calls.clear();
  EXPECT_EQ(view->ObserverCount(), 2);
  delete view;
  EXPECT_EQ(calls, (std::vector<std::string>{"a1", "b1"}));
  (void)b;
}

TEST(IKView, RemovingAnObserverTwiceOrAForeignHandleDoesNothing) {
  TIKView view(nullptr);
  int a = 0, b = 0;
  const intptr_t ha = view.RegisterObserverCallback([&](TObject*, int32_t) { ++a; });
  view.RegisterObserverCallback([&](TObject*, int32_t) { ++b; });
  view.RemoveObserverHandle(ha);
  view.RemoveObserverHandle(ha);
  view.RemoveObserverHandle(-1);
  view.RemoveObserverHandle(12345);
  EXPECT_EQ(view.ObserverCount(), 1);
  view.NotifyObservers();
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
}

TEST(IKView, ObserverLinkOfTheInputOutputComponent) {
  // The input/output component registers through the link interface.
  TIKView view(nullptr);
  std::vector<int32_t> seen;
  TIKViewLink& link = view;
  const int32_t handle = link.RegisterObserver([&](int32_t change) { seen.push_back(change); });
  view.NotifyObservers();
  link.RemoveObserver(handle);
  view.NotifyObservers();
  EXPECT_EQ(seen, std::vector<int32_t>{0});
  EXPECT_FALSE(link.IsThumbnailView());
  EXPECT_EQ(link.ViewComponent(), &view);
}

TEST(IKView, ResolutionSettersIgnoreZero) {
  TIKView view(nullptr);
  EXPECT_EQ(view.DpiX(), 0);
  view.SetDPI(300, 200);
  view.SetDPI(0, 150);
  EXPECT_EQ(view.DpiX(), 300);
  EXPECT_EQ(view.DpiY(), 150);
}

TEST(IKView, BorderAndCtl3DRecreateTheWindowOnlyWhenChanged) {
  auto* form = new forms::TForm(nullptr);
  form->SetBounds(0, 0, 200, 150);
  auto* view = new TIKView(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 100, 80);
  view->HandleNeeded();
  EXPECT_EQ(view->Background(), forms::clBtnFace);
  EXPECT_EQ(view->BorderStyle(), forms::bsSingle);
  view->SetBorderStyle(forms::bsSingle);
  view->SetCtl3D(true);
  EXPECT_EQ(view->RecreateCount(), 0);
  view->SetBorderStyle(forms::bsNone);
  EXPECT_EQ(view->RecreateCount(), 1);
  view->SetCtl3D(false);
  EXPECT_EQ(view->RecreateCount(), 2);
  EXPECT_TRUE(view->HandleAllocated());
  delete form;
}

TEST(IKView, MouseEnterAndLeaveReachTheirEvents) {
  auto* form = new forms::TForm(nullptr);
  form->SetBounds(0, 0, 300, 200);
  auto* view = new TIKView(form);
  view->SetParent(form);
  view->SetBounds(10, 10, 100, 80);
  form->Show();
  forms::Application->ProcessMessages();
  std::vector<std::string> events;
  view->OnMouseEnter = [&](TObject* s) { events.push_back(s == view ? "enter" : "?"); };
  view->OnMouseLeave = [&](TObject* s) { events.push_back(s == view ? "leave" : "?"); };
  const win::POINT outside = form->ClientToScreen(forms::Point(200, 150));
  const win::POINT inside = view->ClientToScreen(forms::Point(50, 40));
  win::InjectMouseMove(outside.x, outside.y);
  forms::Application->ProcessMessages();
  win::InjectMouseMove(inside.x, inside.y);
  forms::Application->ProcessMessages();
  win::InjectMouseMove(outside.x, outside.y);
  forms::Application->ProcessMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));
  delete form;
  win::ResetInputState();
}

TEST(IKView, OperationsOnlyDerivedViewsAnswerRaiseOnTheBase) {
  TIKView view(nullptr);
  EXPECT_THROW(view.LockPaint(), EIKAbstractError);
  EXPECT_THROW(view.HasAlphaChannel(), EIKAbstractError);
  EXPECT_EQ(view.GetCurrentIKBitmap(), nullptr);
}

}  // namespace
}  // namespace imaging
