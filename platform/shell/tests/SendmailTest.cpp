#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "platform/shell/MimeMessage.h"
#include "platform/shell/Sendmail.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using namespace shell;
using mailtest::ReadFile;
using mailtest::TempDir;
using mailtest::WriteFile;

// Every child of the test process has been reaped.
bool NoChildLeft() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir / name;
  WriteFile(path, "#!/bin/sh\n" + body + "\n", 0700);
  return path;
}

TEST(Sendmail, PathComesFromTheEnvironmentOrTheSystemPlace) {
  {
    mailtest::ScopedEnv env("VORIX_SENDMAIL", "/opt/mail/bin/sendmail");
    EXPECT_EQ(SendmailPath(), "/opt/mail/bin/sendmail");
  }
  for (const auto& unset : {std::optional<std::string>(), std::optional<std::string>("")}) {
    mailtest::ScopedEnv env("VORIX_SENDMAIL", unset);
    EXPECT_EQ(SendmailPath(), "/usr/sbin/sendmail");
  }
}

TEST(Sendmail, NothingRunnableAtThePathIsNoSendmail) {
  TempDir dir;
  WriteFile(dir / "not-executable", "#!/bin/sh\nexit 0\n", 0600);
  for (const std::string& path : {dir / "missing", dir / "not-executable", dir.Path(), std::string()}) {
    SCOPED_TRACE(path);
    const SendmailResult r = PipeToSendmail("Subject: x\r\n\r\nbody\r\n", path);
    EXPECT_EQ(r.status, SendmailStatus::NoSendmail);
    EXPECT_FALSE(r.detail.empty());
  }
  EXPECT_TRUE(NoChildLeft());
}

TEST(Sendmail, MessageAndArgumentsReachTheProgramUnchanged) {
  TempDir dir;
  const std::string program = Script(dir, "sendmail",
                                     "printf '%s\\n' \"$@\" > '" + dir / "args" +
                                         "'\n"
                                         "cat > '" +
                                         dir / "stdin" + "'");
  // Large enough to fill the pipe many times over, with every byte value.
  std::string message = "Subject: big\r\n\r\n";
  for (int i = 0; i < 3 << 20; ++i) message += static_cast<char>(i * 7);
  const SendmailResult r = PipeToSendmail(message, program);
  EXPECT_EQ(r.status, SendmailStatus::Accepted) << r.detail;
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "args"), "-t\n-i\n");
  EXPECT_EQ(ReadFile(dir / "stdin"), message);
  EXPECT_TRUE(NoChildLeft());
}

TEST(Sendmail, ProgramThatTalksBeforeReadingDoesNotDeadlock) {
  TempDir dir;
  const std::string program =
      Script(dir, "sendmail", "head -c 300000 /dev/zero | tr '\\0' x >&2\ncat > '" + dir / "stdin" + "'");
  const std::string message(1 << 20, 'm');
  const SendmailResult r = PipeToSendmail(message, program);
  EXPECT_EQ(r.status, SendmailStatus::Accepted) << r.detail;
  EXPECT_EQ(ReadFile(dir / "stdin").size(), message.size());
}

TEST(Sendmail, FailuresCarryTheirReason) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string body;
    int exitCode;
    const char* detailHas;
  };
  const Case cases[] = {
      {"exit code and what it said", "cat > /dev/null\necho 'relay refused' >&2\nexit 75", 75, "relay refused"},
      {"silent exit code", "cat > /dev/null\nexit 1", 1, "code 1"},
      {"stops reading early, exit 0", "exit 0", 0, "stopped reading"},
      {"killed", "kill -9 $$", -1, "signal 9"},
  };
  // A whole megabyte, so a reader that quits surely leaves it unread.
  const std::string message = "Subject: x\r\n\r\n" + std::string(1 << 20, 'a');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SendmailResult r = PipeToSendmail(message, Script(dir, "sendmail", c.body));
    EXPECT_EQ(r.status, SendmailStatus::Failed);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_NE(r.detail.find(c.detailHas), std::string::npos) << r.detail;
  }
  EXPECT_TRUE(NoChildLeft());
}

// Pipes of one hand-off must never leak into another's child, or two
// programs could each hold the other's input open and wait forever.
TEST(Sendmail, ConcurrentHandOffsFromManyThreads) {
  TempDir dir;
  const std::string program = Script(dir, "sendmail", "cat > \"$(mktemp '" + dir / "out.XXXXXX" + "')\"");
  std::vector<std::thread> threads;
  std::vector<int> accepted(6, 0);
  for (size_t t = 0; t < accepted.size(); ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i)
        accepted[t] +=
            PipeToSendmail(std::string(100000, 'a' + static_cast<char>(t)), program).status == SendmailStatus::Accepted;
    });
  for (auto& th : threads) th.join();
  for (int n : accepted) EXPECT_EQ(n, 15);
  EXPECT_TRUE(NoChildLeft());
}

// Through msmtp to a real SMTP server: sendmail -t takes the envelope from
// To, Cc and Bcc and keeps Bcc out of the delivered headers.
TEST(Sendmail, DeliversThroughMsmtpToAnSmtpServer) {
  TempDir dir;
  mailtest::SmtpServer server(dir.Path());
  ASSERT_GT(server.Port(), 0);
  const std::string sendmail = mailtest::WriteMsmtpSendmail(dir.Path(), server.Port());

  MimeMessage m;
  m.AddAddressHeader("To", "Anna <anna@example.org>");
  m.AddAddressHeader("Cc", "carl@example.org");
  m.AddAddressHeader("Bcc", "hidden@example.org");
  m.AddTextHeader("Subject", "Bewegung erkannt – Kamera 2");
  m.SetBody("Zeile 1\rZeile 2 äöü\r");
  m.AddAttachment({"bild.jpg", "", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10)});

  const SendmailResult r = PipeToSendmail(m.Build(), sendmail);
  ASSERT_EQ(r.status, SendmailStatus::Accepted) << r.detail;
  ASSERT_EQ(server.Received(), 1);
  const mailtest::ParsedMail mail = mailtest::ParseMail(server.Message(1) + ".eml");
  EXPECT_EQ(mail.envelopeTo, (std::vector<std::string>{"anna@example.org", "carl@example.org", "hidden@example.org"}));
  EXPECT_TRUE(mail.Header("Bcc").empty());
  EXPECT_EQ(mail.Header("Subject"), std::vector<std::string>{"Bewegung erkannt – Kamera 2"});
  EXPECT_EQ(mail.body, "Zeile 1\nZeile 2 äöü\n");
  ASSERT_EQ(mail.attachments.size(), 1u);
  EXPECT_EQ(mail.attachments[0].fileName, "bild.jpg");
  EXPECT_EQ(mail.attachments[0].bytes, std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
  EXPECT_EQ(mail.defects, 0);
}

}  // namespace
