#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "alarms/SendEmailTread.h"
#include "alarms/tests/WorkerTestHost.h"
#include "platform/net/tests/ServerSupport.h"
#include "platform/rtl/Clock.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using alarms::TSendEmailTread;
using alarmtest::TestHost;
using mailtest::TempDir;

// Alarm pictures as the alarm actions leave them in the mail queue folder.
std::vector<std::string> MakePictures(const std::string& folder, int count) {
  std::filesystem::create_directories(folder);
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "/2026-12-11-10-0-" + std::to_string(i) + ".jpg";
    const std::string cmd = "convert -size 64x48 -seed " + std::to_string(i + 1) + " plasma:fractal '" + path + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    paths.push_back(path);
  }
  return paths;
}

struct MailServer {
  TempDir dir;
  nettest::PythonServer server{dir.Path(), "smtpd", nettest::kSmtpScript, {dir.Path(), "auth"}};
  int Received() const {
    int n = 0;
    while (std::filesystem::exists(dir / ("msg" + std::to_string(n + 1) + ".eml"))) ++n;
    return n;
  }
  mailtest::ParsedMail Mail(int n) const { return mailtest::ParseMail(dir / ("msg" + std::to_string(n) + ".eml")); }
};

// Settings that reach `server` by our own client, or by the hand-off
// through msmtp to the same server.
void Configure(TestHost& host, const MailServer& server, bool handOff) {
  host.mail.bDefaultSend = handOff;
  host.mail.SMTPHost = "127.0.0.1";
  host.mail.SMTPPort = server.server.Port();
  host.mail.UserName = "alarm";
  host.mail.Pasword = "secret";
  host.mail.SendFromAddress = "camera@example.org";
  host.mail.SendToAddress = "one@example.org, Two <two@example.org>";
  host.mail.CCAddress = "cc@example.org";
  host.mail.BccAddress = "hidden@example.org";
  host.mail.subject = "Alarm ünterwegs";
  host.mail.body = "then alarm is touch off !";
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

class SendEmailTreadTest : public ::testing::TestWithParam<bool> {
protected:
  rtl::ScopedVirtualClock clock;
  TempDir work;
  MailServer server;
  std::unique_ptr<mailtest::ScopedEnv> sendmail;
  TestHost host;
  void SetUp() override {
    sendmail = std::make_unique<mailtest::ScopedEnv>(
        "VORIX_SENDMAIL", mailtest::WriteMsmtpSendmail(work.Path(), server.server.Port()));
    Configure(host, server, GetParam());
  }
  bool HandOff() const { return GetParam(); }
  std::vector<int> ExpectedSteps() const {
    return HandOff() ? std::vector<int>{0, 2, 3} : std::vector<int>{0, 4, 5, 6, 2, 3};
  }
};

TEST_P(SendEmailTreadTest, PicturesGoOutInBatchesAndLeaveTheQueueOnlyWhenSent) {
  const auto pictures = MakePictures(work / "SendMailtempFile", 7);
  std::vector<std::string> bytes;
  for (const auto& p : pictures) bytes.push_back(nettest::ReadFile(p));
  host.mailQueue = pictures;
  host.mail.EmailSendPictureNum = 5;
  host.mailLog = "block one\r\n";
  TSendEmailTread worker(host);

  worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 1);
  EXPECT_EQ(host.statuses, ExpectedSteps());
  const auto mail = server.Mail(1);
  EXPECT_EQ(mail.defects, 0);
  EXPECT_EQ(mail.Header("Subject"), std::vector<std::string>{"Alarm ünterwegs"});
  EXPECT_TRUE(mail.Header("Bcc").empty());
  // Every address of every list is reached, by either path.
  EXPECT_EQ(Sorted(mail.envelopeTo), Sorted({"one@example.org", "two@example.org", "cc@example.org",
                                             "hidden@example.org"}));
  EXPECT_EQ(mail.body, "then alarm is touch off !\nblock one\n");
  ASSERT_EQ(mail.attachments.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(mail.attachments[i].fileName, std::filesystem::path(pictures[i]).filename().string());
    EXPECT_EQ(mail.attachments[i].bytes, bytes[i]) << i;
    EXPECT_FALSE(std::filesystem::exists(pictures[i]));
  }
  EXPECT_EQ(host.mailQueue, std::vector<std::string>(pictures.begin() + 5, pictures.end()));
  // The log went with that mail; the next carries only what came since.
  EXPECT_EQ(host.mailLog, "");
  EXPECT_TRUE(host.mailIdle);

  host.mailLog = "block two\r\n";
  worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 2);
  const auto second = server.Mail(2);
  ASSERT_EQ(second.attachments.size(), 2u);
  EXPECT_EQ(second.attachments[1].bytes, bytes[6]);
  EXPECT_EQ(second.body, "then alarm is touch off !\nblock two\n");
  EXPECT_TRUE(host.mailQueue.empty());
  EXPECT_TRUE(host.mailTimer);

  // Nothing left: no mail, and the timer stops.
  worker.SendAlarmMail();
  EXPECT_EQ(server.Received(), 2);
  EXPECT_FALSE(host.mailTimer);
  EXPECT_TRUE(host.mailIdle);
}

TEST_P(SendEmailTreadTest, AlarmTimesMakeTheBody) {
  host.mail.SendPictureOrOnlyHint = false;
  host.mailQueue = MakePictures(work / "SendMailtempFile", 1);
  host.alarmTimes = {"2026-12-11 10:00:01", "2026-12-11 10:00:02", "2026-12-11 10:00:03"};
  host.mailLog = "log\r\n";
  TSendEmailTread worker(host);
  worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 1);
  const auto mail = server.Mail(1);
  EXPECT_EQ(mail.body,
            "log\n\nthen alarm is touch off !\n2026-12-11 10:00:01 happen Alarm!\n\n2026-12-11 10:00:02 happen "
            "Alarm!\n\n2026-12-11 10:00:03 happen Alarm!\n");
  EXPECT_TRUE(mail.attachments.empty());
  EXPECT_TRUE(host.alarmTimes.empty());
  // The pictures are not this mode's business.
  EXPECT_EQ(host.mailQueue.size(), 1u);
  EXPECT_EQ(host.statuses, ExpectedSteps());
}

TEST_P(SendEmailTreadTest, ACountOfZeroStillSendsAndTheRunsEnd) {
  host.mailQueue = MakePictures(work / "SendMailtempFile", 2);
  host.mail.EmailSendPictureNum = 0;
  TSendEmailTread worker(host);
  for (int i = 0; i < 3; ++i) worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 2);
  EXPECT_EQ(server.Mail(1).attachments.size(), 1u);
  EXPECT_EQ(server.Mail(2).attachments.size(), 1u);
  EXPECT_FALSE(host.mailTimer);
}

TEST_P(SendEmailTreadTest, EmptyCopiesAreLeftOut) {
  host.mail.CCAddress.clear();
  host.mail.BccAddress.clear();
  const auto pictures = MakePictures(work / "SendMailtempFile", 2);
  host.mailQueue = pictures;
  TSendEmailTread worker(host);
  worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 1);
  const auto mail = server.Mail(1);
  EXPECT_EQ(Sorted(mail.envelopeTo), Sorted({"one@example.org", "two@example.org"}));
  EXPECT_TRUE(mail.Header("Cc").empty());
  if (!HandOff()) return;
  std::vector<std::string> keys;
  for (const auto& [key, value] : host.lastList) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"attachment0", "attachment1", "to", "subject", "body"}));
}

INSTANTIATE_TEST_SUITE_P(Paths, SendEmailTreadTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HandOff" : "Smtp"; });

// A picture file that cannot be deleted: one of the kernel's, which no
// one may remove.
constexpr const char* kUndeletable = "/proc/version";

TEST(SendEmailTread, MissingAndUndeletablePicturesNeverBlockOrRepeat) {
  rtl::ScopedVirtualClock clock;
  TempDir work;
  MailServer server;
  TestHost host;
  Configure(host, server, false);
  auto pictures = MakePictures(work / "q", 3);
  std::filesystem::remove(pictures[1]);
  host.mailQueue = {pictures[0], pictures[1], kUndeletable, pictures[2]};
  host.mail.EmailSendPictureNum = 2;
  TSendEmailTread worker(host);
  worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 1);
  ASSERT_EQ(server.Mail(1).attachments.size(), 2u);
  EXPECT_EQ(server.Mail(1).attachments[1].fileName, "version");
  // Sent, so out of the queue although its file stayed; said once.
  EXPECT_EQ(host.mailQueue, std::vector<std::string>{pictures[2]});
  EXPECT_EQ(host.hints, std::vector<std::string>{std::string(kUndeletable) + ":Cannot delete the sent picture !\r"});

  // Queued again (the folder read anew): it is not mailed a second time.
  host.mailQueue = {kUndeletable, pictures[2]};
  worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 2);
  ASSERT_EQ(server.Mail(2).attachments.size(), 1u);
  EXPECT_EQ(server.Mail(2).attachments[0].fileName, std::filesystem::path(pictures[2]).filename().string());
  EXPECT_TRUE(host.mailQueue.empty());
  EXPECT_EQ(host.hints.size(), 1u);
}

struct MailFault {
  const char* name;
  bool handOff;
  const char* behaviour;  // of the test server
  int port;               // 0: the test server
  const char* password;
  const char* sendmail;  // for the hand-off: a program that is not there
  std::vector<int> steps;
};

TEST(SendEmailTread, FailuresKeepEveryPictureQueued) {
  rtl::ScopedVirtualClock clock;
  TempDir work;
  nettest::PythonServer silent(work.Path(), "silent", nettest::kSilentScript, {});
  const MailFault faults[] = {
      {"server down", false, "auth", nettest::ClosedPort(), "secret", nullptr, {0, 4, 1, 3}},
      {"login refused", false, "auth", 0, "wrong", nullptr, {0, 4, 1, 3}},
      {"no greeting within the time-out", false, "auth", silent.Port(), "secret", nullptr, {0, 4, 1, 3}},
      {"recipients refused", false, "refuse", 0, "secret", nullptr, {0, 4, 5, 6, 1, 3}},
      {"connection cut", false, "cut", 0, "secret", nullptr, {0, 4, 5, 6, 1, 3}},
      {"no answer within the time-out", false, "stall", 0, "secret", nullptr, {0, 4, 5, 6, 1, 3}},
      {"no sendmail", true, "auth", 0, "secret", "/nonexistent/sendmail", {0, 1, 3}},
  };
  for (const auto& f : faults) {
    SCOPED_TRACE(f.name);
    TempDir inbox;
    nettest::PythonServer server(inbox.Path(), "smtpd", nettest::kSmtpScript, {inbox.Path(), f.behaviour});
    TestHost host;
    host.mail.bDefaultSend = f.handOff;
    host.mail.SMTPHost = "127.0.0.1";
    host.mail.SMTPPort = f.port ? f.port : server.Port();
    host.mail.UserName = "alarm";
    host.mail.Pasword = f.password;
    host.mail.SendFromAddress = "camera@example.org";
    host.mail.SendToAddress = "one@example.org";
    host.mail.ConnectTimeoutMs = 300;
    host.mail.ResponseTimeoutMs = 1000;
    mailtest::ScopedEnv env("VORIX_SENDMAIL", f.sendmail ? std::optional<std::string>(f.sendmail) : std::nullopt);
    const auto pictures = MakePictures(work / "q", 3);
    host.mailQueue = pictures;
    TSendEmailTread worker(host);
    worker.SendAlarmMail();
    EXPECT_EQ(host.statuses, f.steps);
    EXPECT_EQ(host.mailQueue, pictures);
    for (const auto& p : pictures) EXPECT_TRUE(std::filesystem::exists(p));
    EXPECT_FALSE(host.sendEmail);
    EXPECT_FALSE(host.mailTimer);
    EXPECT_TRUE(host.mailIdle);
    ASSERT_EQ(host.hints.size(), 1u);
    EXPECT_EQ(host.hints[0], std::string(f.handOff ? "Send an e-mail failure!" :
                                                     "Connecting mail server, please check mail settings!") + "\r");
    EXPECT_FALSE(std::filesystem::exists(inbox / "msg1.eml"));
  }
}

TEST(SendEmailTread, ATickDuringARunEndsAtOnce) {
  rtl::ScopedVirtualClock clock;
  TempDir work;
  MailServer server;
  TestHost host;
  Configure(host, server, false);
  host.mailQueue = MakePictures(work / "q", 1);
  TSendEmailTread worker(host);
  bool checked = false;
  host.onStatus = [&](int step) {
    if (step != 0 || checked) return;
    checked = true;
    // A second tick on a thread of its own, while this run is on.
    std::thread tick([&] { worker.SendAlarmMail(); });
    tick.join();
    std::lock_guard l(host.m);
    EXPECT_EQ(host.statuses, std::vector<int>{0});
    EXPECT_EQ(host.mailQueue.size(), 1u);
  };
  worker.SendAlarmMail();
  EXPECT_TRUE(checked);
  EXPECT_EQ(server.Received(), 1);
  EXPECT_TRUE(host.mailQueue.empty());
}

}  // namespace

namespace {

TEST(SendEmailTread, AFullQueueSurvivesARestart) {
  rtl::ScopedVirtualClock clock;
  TempDir work;
  MailServer server;
  const auto pictures = MakePictures(work / "SendMailtempFile", 3);
  {
    // The server is away; the program then stops.
    TestHost host;
    Configure(host, server, false);
    host.mail.SMTPPort = nettest::ClosedPort();
    host.mailQueue = pictures;
    TSendEmailTread worker(host);
    worker.SendAlarmMail();
    EXPECT_FALSE(host.sendEmail);
  }
  // The next start finds the folder as it was left.
  TestHost host;
  Configure(host, server, false);
  host.mailQueue = alarms::QueuedPictures(work / "SendMailtempFile");
  EXPECT_EQ(Sorted(host.mailQueue), Sorted(pictures));
  TSendEmailTread worker(host);
  worker.SendAlarmMail();
  ASSERT_EQ(server.Received(), 1);
  EXPECT_EQ(server.Mail(1).attachments.size(), 3u);
  EXPECT_TRUE(host.mailQueue.empty());
}

}  // namespace
