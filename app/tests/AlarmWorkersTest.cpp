// The alarm mail and upload workers as the program runs them: their ticks
// start runs on threads of their own, the runs read and change the
// settings record and report to a main window that handles the status
// messages, against real loopback servers; and the window's end never
// waits on a run that waits on the window.
#include "app/AlarmWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/FormWaiting.h"
#include "app/ResStr.h"
#include "app/WorkerStatus.h"
#include "app/frmErrorHint.h"
#include "platform/forms/Timers.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/net/tests/ServerSupport.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Threads.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using namespace forms;
using app::TAlarmWorkers;
using mailtest::TempDir;

// The main window's part that matters here: the status messages go to
// TWorkerStatus, and each one is noted with the thread it was handled on.
class MainWindow : public TForm {
public:
  explicit MainWindow(TComponent* owner) : TForm(owner) {}
  void Dispatch(TMessage& m) override {
    if (status && (m.Msg == app::WM_MAILSTATUS || m.Msg == app::WM_FTPSTATUS))
      steps.emplace_back(m.Msg, static_cast<int>(m.WParam));
    if (status && m.Msg >= app::WM_MAILSTATUS && m.Msg <= app::WM_SHOWERRORHINT && !rtl::IsMainThread())
      offGuiThread = true;
    if (!status || !status->Dispatch(m)) TForm::Dispatch(m);
  }
  app::TWorkerStatus* status = nullptr;
  std::vector<std::pair<win::UINT, int>> steps;
  bool offGuiThread = false;
};

std::vector<std::string> Entries(const rtl::TStringList* list) {
  std::vector<std::string> lines;
  for (int32_t i = 0; list && i < list->Count(); ++i) lines.push_back(list->Get(i));
  return lines;
}

class AlarmWorkersTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    main = new MainWindow(Application);
    hint = new app::TfrmHint(Application);
    mailTimer = new TTimer(main);
    mailTimer->SetInterval(50000);
    uploadTimer = new TTimer(main);
    uploadTimer->SetInterval(100000);
    status = std::make_unique<app::TWorkerStatus>(main, hint, mailTimer, g);
    main->status = status.get();
    g.MailQueue = std::make_unique<rtl::TStringList>();
    g.AlarmTimes = std::make_unique<rtl::TStringList>();
    g.UploadQueue = std::make_unique<rtl::TStringList>();
    workers = std::make_unique<TAlarmWorkers>(main, mailTimer, uploadTimer, g);
  }
  void TearDown() override {
    app::EndAlarmWorkers(workers, 20000);
    main->status = nullptr;
    status.reset();
    FormsFixture::TearDown();
    app::RestoreEnglishTexts();
  }

  // Alarm pictures as the alarm actions leave them in a queue folder.
  std::vector<std::string> Pictures(const std::string& sub, int count) {
    const std::string folder = work / sub;
    std::filesystem::create_directories(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      const std::string path = folder + "/2026-12-11-10-0-" + std::to_string(i) + "-5.jpg";
      const std::string cmd = "convert -size 64x48 -seed " + std::to_string(i + 1) + " plasma:fractal '" + path + "'";
      EXPECT_EQ(std::system(cmd.c_str()), 0);
      paths.push_back(path);
    }
    return paths;
  }
  void Queue(std::unique_ptr<rtl::TStringList>& list, const std::vector<std::string>& paths) {
    std::lock_guard lock(g.SharedLock);
    for (const auto& p : paths) list->Add(p);
  }
  // Handles the runs' messages and calls on this (the GUI) thread and
  // moves the clock on while they pace themselves, until `done`.
  void PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 40000 && !done(); ++i) {
      Pump();
      clock.Advance(20);
      std::this_thread::yield();
    }
    ASSERT_TRUE(done()) << "the runs did not get there";
  }
  void RunOut() {
    PumpUntil([this] { return !workers->Mail().Busy() && !workers->Upload().Busy(); });
    Pump();
  }
  // The window's end, with time passing meanwhile on another thread: the
  // runs' waits end, but nothing on this thread is pumped by the clock.
  bool ShutdownWhileTimePasses(uint32_t limitMs) {
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
      while (!stop) {
        clock.Advance(20);
        std::this_thread::yield();
      }
    });
    const bool ended = workers->Shutdown(limitMs);
    stop = true;
    ticker.join();
    return ended;
  }
  std::vector<String> HintLines() const {
    std::vector<String> lines;
    for (int i = 0; i < hint->MemoErrorHint()->Lines()->Count(); ++i)
      lines.push_back(hint->MemoErrorHint()->Lines()->Get(i));
    return lines;
  }
  template <class T>
  T Shared(T app::TGlobalVarsFields::*field) {
    std::lock_guard lock(g.SharedLock);
    return g.*field;
  }

  rtl::ScopedVirtualClock clock;
  TempDir work;
  app::TGlobalVars g;
  MainWindow* main = nullptr;
  app::TfrmHint* hint = nullptr;
  TTimer* mailTimer = nullptr;
  TTimer* uploadTimer = nullptr;
  std::unique_ptr<app::TWorkerStatus> status;
  std::unique_ptr<TAlarmWorkers> workers;
};

struct MailServer {
  TempDir dir;
  nettest::PythonServer server;
  explicit MailServer(const char* mode = "noauth") : server(dir.Path(), "smtpd", nettest::kSmtpScript, {dir.Path(), mode}) {}
  std::string Message(int n) const { return dir / ("msg" + std::to_string(n) + ".eml"); }
};

void ConfigureMail(app::TGlobalVars& g, int port) {
  std::lock_guard lock(g.SharedLock);
  g.bSendEmail = true;
  g.bDefaultSend = false;
  g.Mail.bSMTPIdentity = false;
  g.Mail.SMTPHost = "127.0.0.1";
  g.Mail.SMTPPort = port;
  g.Mail.SendFromAddress = "camera@example.org";
  g.Mail.SendToAddress = "one@example.org";
  g.Mail.subject = "Alarm";
  g.Mail.body = "then alarm is touch off !";
  g.EmailSendPictureNum = 2;
}

TEST_F(AlarmWorkersTest, MailTicksSendTheQueueFromTheRecordAndStopTheTimerOnceItIsEmpty) {
  MailServer server;
  ConfigureMail(g, server.server.Port());
  const auto pictures = Pictures("SendMailtempFile", 3);
  std::vector<std::string> bytes;
  for (const auto& p : pictures) bytes.push_back(nettest::ReadFile(p));
  Queue(g.MailQueue, pictures);
  {
    std::lock_guard lock(g.SharedLock);
    g.MailLogText = "\r\nblock one";
  }
  mailTimer->SetEnabled(true);

  workers->timerSendEmailTimer();
  RunOut();
  ASSERT_TRUE(std::filesystem::exists(server.Message(1)));
  const auto first = mailtest::ParseMail(server.Message(1));
  ASSERT_EQ(first.attachments.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(first.attachments[i].fileName, std::filesystem::path(pictures[i]).filename().string());
    EXPECT_EQ(first.attachments[i].bytes, bytes[i]) << i;
    EXPECT_FALSE(std::filesystem::exists(pictures[i])) << "sent, so deleted";
  }
  EXPECT_NE(first.body.find("block one"), std::string::npos) << first.body;
  EXPECT_EQ(Entries(g.MailQueue.get()), std::vector<std::string>{pictures[2]});
  EXPECT_EQ(Shared(&app::TGlobalVarsFields::MailLogText), "") << "what was mailed is not mailed again";
  EXPECT_TRUE(Shared(&app::TGlobalVarsFields::MailIdle));
  EXPECT_TRUE(mailTimer->Enabled());
  // The progress window saw the whole run and went at its end.
  EXPECT_EQ(main->steps.front(), std::make_pair(app::WM_MAILSTATUS, 0));
  EXPECT_EQ(main->steps.back(), std::make_pair(app::WM_MAILSTATUS, 3));
  EXPECT_EQ(status->MailWaitingWindow(), nullptr);
  EXPECT_FALSE(main->offGuiThread);

  workers->timerSendEmailTimer();
  RunOut();
  const auto second = mailtest::ParseMail(server.Message(2));
  ASSERT_EQ(second.attachments.size(), 1u);
  EXPECT_EQ(second.attachments[0].bytes, bytes[2]);
  EXPECT_TRUE(Entries(g.MailQueue.get()).empty());

  // Nothing left: the run stops the timer, on the GUI thread, and mails
  // nothing.
  workers->timerSendEmailTimer();
  RunOut();
  EXPECT_FALSE(mailTimer->Enabled());
  EXPECT_FALSE(std::filesystem::exists(server.Message(3)));
  EXPECT_TRUE(Shared(&app::TGlobalVarsFields::bSendEmail));
}

TEST_F(AlarmWorkersTest, FailuresSwitchTheActionOffAndTellTheUserInTheLoadedLanguage) {
  // The texts of a loaded language, as they stand when the tick comes.
  app::IDS_MOTIONDETECTION_CONNECTSERVERFAIL = "Kein Mailserver!";
  app::IDS_MOTIONDETECTION_FTPCONNECTFAIL = "Kein FTP-Server!";
  const int closed = nettest::ClosedPort();
  ConfigureMail(g, closed);
  const auto mailed = Pictures("SendMailtempFile", 1);
  const auto uploads = Pictures("UploadTempFile", 2);
  Queue(g.MailQueue, mailed);
  Queue(g.UploadQueue, uploads);
  {
    std::lock_guard lock(g.SharedLock);
    g.bFTPUpload = true;
    g.Ftp.FTPHostAddress = "127.0.0.1";
    g.Ftp.FTPPort = closed;
  }
  mailTimer->SetEnabled(true);
  uploadTimer->SetEnabled(true);

  workers->timerSendEmailTimer();
  workers->timerFTPUploadTimer();
  RunOut();
  EXPECT_FALSE(Shared(&app::TGlobalVarsFields::bSendEmail));
  EXPECT_FALSE(Shared(&app::TGlobalVarsFields::bFTPUpload));
  EXPECT_FALSE(mailTimer->Enabled());
  EXPECT_FALSE(uploadTimer->Enabled());
  // Both queues wait, files and entries, for the mended settings.
  EXPECT_EQ(Entries(g.MailQueue.get()), mailed);
  EXPECT_EQ(Entries(g.UploadQueue.get()), uploads);
  for (const auto& p : mailed) EXPECT_TRUE(std::filesystem::exists(p));
  for (const auto& p : uploads) EXPECT_TRUE(std::filesystem::exists(p));
  EXPECT_TRUE(Shared(&app::TGlobalVarsFields::MailIdle));
  EXPECT_FALSE(Shared(&app::TGlobalVarsFields::UploadBusy));
  std::string hints;
  for (const auto& line : HintLines()) hints += line + "\n";
  EXPECT_NE(hints.find("Kein Mailserver!"), std::string::npos) << hints;
  EXPECT_NE(hints.find("Kein FTP-Server!"), std::string::npos) << hints;
  EXPECT_FALSE(main->offGuiThread);
}

struct FtpServer {
  TempDir dir;
  std::string root = dir / "root";
  nettest::PythonServer server;
  FtpServer()
      : server((std::filesystem::create_directory(dir / "root"), dir.Path()), "ftpd", nettest::kFtpScript,
               {dir / "root", dir / "ftpd.log", "normal"}) {}
};

TEST_F(AlarmWorkersTest, UploadTicksStoreOnePictureARunAndStopTheTimerOnceTheQueueIsEmpty) {
  FtpServer server;
  const auto pictures = Pictures("UploadTempFile", 2);
  std::vector<std::string> bytes;
  for (const auto& p : pictures) bytes.push_back(nettest::ReadFile(p));
  Queue(g.UploadQueue, pictures);
  {
    std::lock_guard lock(g.SharedLock);
    g.bFTPUpload = true;
    g.Ftp.FTPHostAddress = "127.0.0.1";
    g.Ftp.FTPPort = server.server.Port();
    g.Ftp.FTPPassword = "pw";
    g.Ftp.FTPFolder = "cam/door";
  }
  uploadTimer->SetEnabled(true);

  // A tick while a run is on starts none: the first picture goes once.
  workers->timerFTPUploadTimer();
  PumpUntil([this] { return Shared(&app::TGlobalVarsFields::UploadBusy) || !workers->Upload().Busy(); });
  workers->timerFTPUploadTimer();
  RunOut();
  const std::string remote = server.root + "/cam/door/";
  EXPECT_EQ(nettest::ReadFile(remote + std::filesystem::path(pictures[0]).filename().string()), bytes[0]);
  EXPECT_FALSE(std::filesystem::exists(remote + std::filesystem::path(pictures[1]).filename().string()));
  EXPECT_FALSE(std::filesystem::exists(pictures[0]));
  EXPECT_EQ(Entries(g.UploadQueue.get()), std::vector<std::string>{pictures[1]});
  EXPECT_EQ(Shared(&app::TGlobalVarsFields::FtpCurrentFolder), "cam/door");
  EXPECT_FALSE(Shared(&app::TGlobalVarsFields::UploadBusy));
  EXPECT_EQ(main->steps.front(), std::make_pair(app::WM_FTPSTATUS, 0));
  EXPECT_EQ(main->steps.back(), std::make_pair(app::WM_FTPSTATUS, 3));
  ASSERT_NE(status->FtpWaitingWindow(), nullptr);
  EXPECT_FALSE(status->FtpWaitingWindow()->Visible()) << "closed at the run's end";

  workers->timerFTPUploadTimer();
  RunOut();
  EXPECT_EQ(nettest::ReadFile(remote + std::filesystem::path(pictures[1]).filename().string()), bytes[1]);
  EXPECT_TRUE(Entries(g.UploadQueue.get()).empty());
  EXPECT_TRUE(uploadTimer->Enabled());

  workers->timerFTPUploadTimer();
  EXPECT_FALSE(uploadTimer->Enabled()) << "an empty queue stops the timer";
  EXPECT_FALSE(workers->Upload().Busy());
  EXPECT_TRUE(Shared(&app::TGlobalVarsFields::bFTPUpload));
}

TEST_F(AlarmWorkersTest, TheWindowsEndAnswersARunWaitingOnItAndTheRunChangesNothingAfterwards) {
  FtpServer server;
  const auto pictures = Pictures("UploadTempFile", 1);
  Queue(g.UploadQueue, pictures);
  {
    std::lock_guard lock(g.SharedLock);
    g.bFTPUpload = true;
    g.Ftp.FTPHostAddress = "127.0.0.1";
    g.Ftp.FTPPort = server.server.Port();
    g.Ftp.FTPPassword = "pw";
  }
  uploadTimer->SetEnabled(true);
  workers->timerFTPUploadTimer();
  // The run's first message is answered; then nothing is pumped while it
  // connects. Once it has written the client's first status text it is on
  // its way to, or already in, the blocking message that tells it.
  PumpUntil([this] { return !main->steps.empty(); });
  while (Shared(&app::TGlobalVarsFields::FtpStatusText).empty()) std::this_thread::yield();
  for (int i = 0; i < 1000; ++i) std::this_thread::yield();
  const size_t stepsBefore = main->steps.size();
  ASSERT_TRUE(ShutdownWhileTimePasses(20000));
  EXPECT_LE(main->steps.size(), stepsBefore + 1) << "only the message already on its way is handled";
  EXPECT_FALSE(workers->Upload().Busy());
  EXPECT_TRUE(workers->Host().Closed());
  // Closed before it stored anything: the picture waits in its folder for
  // the next start, and the record and the timer are as they were.
  EXPECT_TRUE(std::filesystem::exists(pictures[0]));
  EXPECT_FALSE(std::filesystem::exists(server.root + "/AlarmPicture/" +
                                       std::filesystem::path(pictures[0]).filename().string()));
  EXPECT_EQ(Entries(g.UploadQueue.get()), pictures);
  EXPECT_TRUE(Shared(&app::TGlobalVarsFields::bFTPUpload));
  EXPECT_TRUE(uploadTimer->Enabled());
  // Ticks after the end start nothing.
  workers->timerFTPUploadTimer();
  workers->timerSendEmailTimer();
  EXPECT_FALSE(workers->Upload().Busy());
  EXPECT_FALSE(workers->Mail().Busy());
}

TEST_F(AlarmWorkersTest, TheWindowsEndGivesUpOnARunStuckInTheNetworkAndWaitsAgainLater) {
  MailServer server("stall");
  ConfigureMail(g, server.server.Port());
  const auto pictures = Pictures("SendMailtempFile", 1);
  Queue(g.MailQueue, pictures);
  mailTimer->SetEnabled(true);
  workers->timerSendEmailTimer();
  // The run is sending; the server never answers the message.
  PumpUntil([this] { return !main->steps.empty() && main->steps.back() == std::make_pair(app::WM_MAILSTATUS, 6); });
  EXPECT_FALSE(ShutdownWhileTimePasses(300)) << "the run is still on";
  EXPECT_TRUE(workers->Mail().Busy());
  // The server goes; the run fails, after the window's end, and changes
  // nothing: mail stays on and the picture stays queued.
  const size_t stepsBefore = main->steps.size();
  server.server.Stop();
  EXPECT_TRUE(ShutdownWhileTimePasses(20000));
  EXPECT_EQ(main->steps.size(), stepsBefore);
  EXPECT_TRUE(Shared(&app::TGlobalVarsFields::bSendEmail));
  EXPECT_TRUE(mailTimer->Enabled());
  EXPECT_EQ(Entries(g.MailQueue.get()), pictures);
  EXPECT_TRUE(std::filesystem::exists(pictures[0]));
}

}  // namespace
