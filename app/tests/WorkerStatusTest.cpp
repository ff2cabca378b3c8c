#include "app/WorkerStatus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <memory>
#include <mutex>

#include "app/FormWaiting.h"
#include "app/ResStr.h"
#include "app/frmErrorHint.h"
#include "platform/forms/Timers.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"

namespace {

using namespace forms;
using app::GlobalVars;
using app::TfrmWaiting;
using app::TWorkerStatus;

// What the main window saw after handling each message.
struct Seen {
  win::UINT msg;
  int step;
  String caption;  // of the progress window the message is about, "-" when none
  String info;     // the upload window's speed line
  bool visible;
  bool infoVisible;
  bool onGuiThread;
};

// The main window's part that matters here: it hands the three messages to
// TWorkerStatus and notes what the progress windows show afterwards.
class MainWindow : public TForm {
public:
  explicit MainWindow(TComponent* owner) : TForm(owner) {}
  void Dispatch(TMessage& m) override {
    if (!status || !status->Dispatch(m)) {
      TForm::Dispatch(m);
      return;
    }
    TfrmWaiting* w = m.Msg == app::WM_FTPSTATUS ? status->FtpWaitingWindow() : status->MailWaitingWindow();
    Seen s{m.Msg, static_cast<int>(m.WParam), "-", "", false, false, rtl::IsMainThread()};
    if (w) {
      s.caption = w->pnlWaiting()->Caption();
      s.info = w->lblFTPinfo()->Caption();
      s.visible = w->Visible();
      s.infoVisible = w->lblFTPinfo()->Visible();
    }
    seen.push_back(s);
  }
  TWorkerStatus* status = nullptr;
  std::vector<Seen> seen;
};

// A worker that runs `body` on its own thread, then wakes the GUI thread.
class Worker : public rtl::TThread {
public:
  Worker(std::function<void()> body, std::atomic<int>& done, win::HWND wake)
      : TThread(true), body_(std::move(body)), done_(done), wake_(wake) {}

protected:
  void Execute() override {
    body_();
    ++done_;
    win::PostMessageA(wake_, win::WM_NULL, 0, 0);
  }

private:
  std::function<void()> body_;
  std::atomic<int>& done_;
  win::HWND wake_;
};

void SetShared(const std::function<void(app::TGlobalVars&)>& change) {
  app::TGlobalVars& g = GlobalVars();
  std::lock_guard lock(g.SharedLock);
  change(g);
}

class WorkerStatusTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    SetShared([](app::TGlobalVars& g) {
      g.HintText.clear();
      g.FtpStatusText.clear();
      g.FtpSpeedText.clear();
      g.bSendEmail = true;
    });
    main = new MainWindow(Application);
    hint = new app::TfrmHint(Application);
    timer = new TTimer(main);
    timer->SetInterval(50000);
    timer->SetEnabled(true);
    status = std::make_unique<TWorkerStatus>(main, hint, timer);
    main->status = status.get();
    hwnd = main->Handle();
  }
  void TearDown() override {
    main->status = nullptr;
    status.reset();
    FormsFixture::TearDown();
    app::RestoreEnglishTexts();
  }

  // Runs each body on a worker thread of its own, all at once, and handles
  // their messages on this (the GUI) thread until every one has ended.
  void RunWorkers(std::vector<std::function<void()>> bodies) {
    std::atomic<int> done{0};
    std::vector<std::unique_ptr<Worker>> workers;
    for (auto& body : bodies) workers.push_back(std::make_unique<Worker>(std::move(body), done, hwnd));
    for (auto& w : workers) w->Start();
    while (done < static_cast<int>(workers.size())) {
      win::WaitMessage();
      win::PumpMessages();
    }
    for (auto& w : workers) w->WaitFor();
    Pump();
  }
  void Send(win::UINT msg, int step = 0) { win::SendMessageA(hwnd, msg, static_cast<win::WPARAM>(step), 0); }
  std::vector<String> HintLines() const {
    std::vector<String> lines;
    for (int i = 0; i < hint->MemoErrorHint()->Lines()->Count(); ++i) lines.push_back(hint->MemoErrorHint()->Lines()->Get(i));
    return lines;
  }

  MainWindow* main = nullptr;
  app::TfrmHint* hint = nullptr;
  TTimer* timer = nullptr;
  std::unique_ptr<TWorkerStatus> status;
  win::HWND hwnd{};
};

TEST_F(WorkerStatusTest, MailRunFromAWorkerThreadDrivesItsOwnProgressWindow) {
  const int formsBefore = Screen->FormCount();
  RunWorkers({[this] {
    for (int step : {0, 4, 5, 6, 2}) win::SendMessageA(hwnd, app::WM_MAILSTATUS, static_cast<win::WPARAM>(step), 0);
  }});
  struct Expect {
    int step;
    String caption;
  } expected[] = {
      {0, app::IDS_MOTIONDETECTION_SENDINGEMAIL},        {4, app::IDS_MOTIONDETECTION_CONNECTINGSERVER},
      {5, app::IDS_MOTIONDETECTION_CONNECTINGSUCCESSFUL}, {6, app::IDS_MOTIONDETECTION_SENDINGEMAIL},
      {2, app::IDS_MOTIONDETECTION_SENDSUCCESS},
  };
  ASSERT_EQ(main->seen.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(main->seen[i].step, expected[i].step);
    EXPECT_EQ(main->seen[i].caption, expected[i].caption) << "step " << expected[i].step;
    EXPECT_TRUE(main->seen[i].visible);
    EXPECT_TRUE(main->seen[i].onGuiThread);
  }
  TfrmWaiting* w = status->MailWaitingWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Owner(), nullptr);
  EXPECT_EQ(w->Left(), Screen->Width() - w->Width());
  EXPECT_EQ(w->Top(), Screen->Height() - 2 * w->Height() - 30);
  EXPECT_EQ(Screen->FormCount(), formsBefore + 1);

  RunWorkers({[this] { win::SendMessageA(hwnd, app::WM_MAILSTATUS, 3, 0); }});
  EXPECT_EQ(status->MailWaitingWindow(), nullptr);
  EXPECT_EQ(Screen->FormCount(), formsBefore) << "the run's window is released";

  // The next run opens a window of its own.
  Send(app::WM_MAILSTATUS, 0);
  ASSERT_NE(status->MailWaitingWindow(), nullptr);
  EXPECT_TRUE(status->MailWaitingWindow()->Visible());
  EXPECT_EQ(Screen->FormCount(), formsBefore + 1);
}

TEST_F(WorkerStatusTest, MailFailureSwitchesMailOffWithOrWithoutAWindow) {
  // Without a window (the settings window's test mail) only the switch acts.
  Send(app::WM_MAILSTATUS, 1);
  EXPECT_FALSE(GlobalVars().bSendEmail);
  EXPECT_FALSE(timer->Enabled());
  EXPECT_EQ(status->MailWaitingWindow(), nullptr);

  SetShared([](app::TGlobalVars& g) { g.bSendEmail = true; });
  timer->SetEnabled(true);
  Send(app::WM_MAILSTATUS, 0);
  Send(app::WM_MAILSTATUS, 1);
  EXPECT_EQ(main->seen.back().caption, app::IDS_MOTIONDETECTION_SENDMAILFAIL);
  EXPECT_FALSE(GlobalVars().bSendEmail);
  EXPECT_FALSE(timer->Enabled());
}

TEST_F(WorkerStatusTest, StepsThatNeedAWindowChangeNothingWithoutOne) {
  const int formsBefore = Screen->FormCount();
  for (int step : {2, 3, 4, 5, 6, 7, -1}) Send(app::WM_MAILSTATUS, step);
  for (int step : {1, 2, 3, 4, 9}) Send(app::WM_FTPSTATUS, step);
  EXPECT_EQ(status->MailWaitingWindow(), nullptr);
  EXPECT_EQ(status->FtpWaitingWindow(), nullptr);
  EXPECT_EQ(Screen->FormCount(), formsBefore);
  EXPECT_TRUE(GlobalVars().bSendEmail);
  EXPECT_TRUE(timer->Enabled());
}

TEST_F(WorkerStatusTest, UploadRunFromAWorkerThreadShowsStatusAndSpeed) {
  RunWorkers({[this] {
    SetShared([](app::TGlobalVars& g) { g.FtpStatusText = "Resolving 127.0.0.1"; });
    win::SendMessageA(hwnd, app::WM_FTPSTATUS, 0, 0);
    SetShared([](app::TGlobalVars& g) {
      g.FtpStatusText = "Uploading 0001.jpg";
      g.FtpSpeedText = "12.5 KB/s  00:03";
    });
    win::SendMessageA(hwnd, app::WM_FTPSTATUS, 4, 0);
    win::SendMessageA(hwnd, app::WM_FTPSTATUS, 3, 0);
  }});
  ASSERT_EQ(main->seen.size(), 3u);
  EXPECT_EQ(main->seen[0].caption, "Resolving 127.0.0.1");
  EXPECT_TRUE(main->seen[0].visible);
  EXPECT_TRUE(main->seen[0].infoVisible);
  EXPECT_EQ(main->seen[1].caption, "FTP:  Uploading 0001.jpg");
  EXPECT_EQ(main->seen[1].info, "12.5 KB/s  00:03");
  EXPECT_FALSE(main->seen[2].visible) << "the run's end hides the window";

  TfrmWaiting* w = status->FtpWaitingWindow();
  ASSERT_NE(w, nullptr) << "kept between runs";
  EXPECT_EQ(w->Owner(), main);
  EXPECT_EQ(w->Left(), Screen->Width() - w->Width());
  EXPECT_EQ(w->Top(), Screen->Height() - 3 * w->Height() - 30);

  // A run that ends before any status change shows the previous status
  // text, in the same window.
  Send(app::WM_FTPSTATUS, 0);
  EXPECT_EQ(status->FtpWaitingWindow(), w);
  EXPECT_TRUE(w->Visible());
  EXPECT_EQ(main->seen.back().caption, "Uploading 0001.jpg");

  Send(app::WM_FTPSTATUS, 1);
  EXPECT_EQ(main->seen.back().caption, app::IDS_MOTIONDETECTION_CONNECTINGSUCCESSFUL);
  Send(app::WM_FTPSTATUS, 2);
  EXPECT_EQ(main->seen.back().caption, app::IDS_MOTIONDETECTION_FTPCONNECTFAIL);
}

TEST_F(WorkerStatusTest, ProgressWindowsStackInTheirOwnRows) {
  Send(app::WM_MAILSTATUS, 0);
  Send(app::WM_FTPSTATUS, 0);
  TfrmWaiting* mail = status->MailWaitingWindow();
  TfrmWaiting* ftp = status->FtpWaitingWindow();
  ASSERT_TRUE(mail && ftp);
  EXPECT_EQ(mail->Top() - ftp->Top(), mail->Height()) << "the upload row sits one window above the mail row";
  EXPECT_EQ(mail->Left(), ftp->Left());
}

TEST_F(WorkerStatusTest, EachHintMessageAddsOneLineInOrderAndRaisesTheWindow) {
  auto* other = new TForm(Application);
  other->Show();
  RunWorkers({[this] {
    app::ShowErrorHint(hwnd, "Send an e-mail failure!\r");
    app::ShowErrorHint(hwnd, "Send an e-mail failure! (again)\r");
  }});
  EXPECT_EQ(HintLines(), (std::vector<String>{"Send an e-mail failure!", "Send an e-mail failure! (again)"}));
  EXPECT_TRUE(hint->Visible());
  EXPECT_EQ(win::GetActiveWindow(), hint->Handle());
  EXPECT_EQ(GlobalVars().HintText, "Send an e-mail failure! (again)\r") << "the last hint stays in the record";

  // A sender on the GUI thread that fills the record and sends the message
  // itself gets the record's text.
  other->Show();
  SetShared([](app::TGlobalVars& g) { g.HintText = "Do not have enough space!"; });
  Send(app::WM_SHOWERRORHINT);
  EXPECT_EQ(HintLines().back(), "Do not have enough space!");
  EXPECT_EQ(HintLines().size(), 3u) << "texts are never removed";
  EXPECT_EQ(win::GetActiveWindow(), hint->Handle());

  // The user may close the window; the next hint opens it again.
  hint->Close();
  app::ShowErrorHint(hwnd, "Failure to connect to the FTP server\r");
  EXPECT_TRUE(hint->Visible());
  EXPECT_EQ(HintLines().size(), 4u);
}

TEST_F(WorkerStatusTest, SimultaneousMailAndUploadFailuresBothShow) {
  // Both workers fail at the same moment, many times over; every text must
  // come out exactly once.
  constexpr int kRounds = 25;
  for (int round = 0; round < kRounds; ++round) {
    std::latch start(2);
    const String mailText = "mail failed " + std::to_string(round) + "\r";
    const String ftpText = "upload failed " + std::to_string(round) + "\r";
    RunWorkers({[&] {
                  start.arrive_and_wait();
                  app::ShowErrorHint(hwnd, mailText);
                },
                [&] {
                  start.arrive_and_wait();
                  app::ShowErrorHint(hwnd, ftpText);
                }});
  }
  const std::vector<String> lines = HintLines();
  ASSERT_EQ(lines.size(), 2u * kRounds);
  for (int round = 0; round < kRounds; ++round) {
    const String a = lines[2 * static_cast<size_t>(round)], b = lines[2 * static_cast<size_t>(round) + 1];
    const String mail = "mail failed " + std::to_string(round), ftp = "upload failed " + std::to_string(round);
    EXPECT_TRUE((a == mail && b == ftp) || (a == ftp && b == mail)) << a << " / " << b;
  }
}

TEST_F(WorkerStatusTest, ProgressWindowsFreedElsewhereAreForgotten) {
  // A run that ends and a new one that begins before the old window has
  // gone: the old window's going leaves the new one in place.
  Send(app::WM_MAILSTATUS, 0);
  Send(app::WM_MAILSTATUS, 3);
  Send(app::WM_MAILSTATUS, 0);
  TfrmWaiting* second = status->MailWaitingWindow();
  Pump();
  EXPECT_EQ(status->MailWaitingWindow(), second);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->Visible());

  // At the program's end the windows may go before the handlers' owner.
  Send(app::WM_FTPSTATUS, 0);
  delete status->FtpWaitingWindow();
  EXPECT_EQ(status->FtpWaitingWindow(), nullptr);
  delete status->MailWaitingWindow();
  EXPECT_EQ(status->MailWaitingWindow(), nullptr);
  Send(app::WM_MAILSTATUS, 4);
  Send(app::WM_FTPSTATUS, 4);
  main->status = nullptr;
  status.reset();  // frees nothing twice (checked by the sanitizer build)

  // And the other way round: the owner of the handlers goes first.
  status = std::make_unique<TWorkerStatus>(main, hint, timer);
  main->status = status.get();
  Send(app::WM_MAILSTATUS, 0);
  Send(app::WM_FTPSTATUS, 0);
  TfrmWaiting* ftp = status->FtpWaitingWindow();
  main->status = nullptr;
  status.reset();
  delete ftp;  // its owner's handlers are gone; freeing it touches nothing of theirs
}

TEST_F(WorkerStatusTest, OtherMessagesAreLeftToTheWindow) {
  TMessage m{win::WM_USER + 6, 0, 0, 0};
  EXPECT_FALSE(status->Dispatch(m));
  m.Msg = app::WM_SHOWERRORHINT;
  m.Result = 77;
  EXPECT_TRUE(status->Dispatch(m));
  EXPECT_EQ(m.Result, 0);
}

}  // namespace
