#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/MailHandoff.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Text.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using mailtest::ParsedMail;
using Strings = std::vector<std::string>;

// Each test mails through msmtp to its own SMTP server on loopback.
class MailHandoffTest : public ::testing::Test {
protected:
  void SetUp() override {
    server_ = std::make_unique<mailtest::SmtpServer>(dir_.Path());
    ASSERT_GT(server_->Port(), 0) << "the SMTP test server did not start";
    sendmail_ = std::make_unique<mailtest::ScopedEnv>("VORIX_SENDMAIL",
                                                      mailtest::WriteMsmtpSendmail(dir_.Path(), server_->Port()));
    std::filesystem::create_directories(files_);
  }

  int32_t Send(const Strings& lines, std::string* detail = nullptr) {
    rtl::TStringList list;
    for (const auto& line : lines) list.Add(line);
    return app::SendMailByMapi(nullptr, list, detail);
  }

  ParsedMail Last() const { return mailtest::ParseMail(server_->Message(server_->Received()) + ".eml"); }

  std::string File(const std::string& name, const std::string& bytes) {
    const std::string path = files_ + name;
    mailtest::WriteFile(path, bytes);
    return path;
  }

  mailtest::TempDir dir_;
  std::string files_ = dir_ / "files/";
  std::unique_ptr<mailtest::SmtpServer> server_;
  std::unique_ptr<mailtest::ScopedEnv> sendmail_;
};

TEST_F(MailHandoffTest, RecipientsGoWhereTheirNamesSay) {
  struct Case {
    const char* name;
    Strings lines;
    Strings envelope;  // in the order sendmail read them
    Strings to, cc;
  };
  const Case cases[] = {
      {"only to", {"to=anna@example.org"}, {"anna@example.org"}, {"anna@example.org"}, {}},
      {"to and BCC without CC",
       {"to=anna@example.org", "BCC=hidden@example.org"},
       {"anna@example.org", "hidden@example.org"},
       {"anna@example.org"},
       {}},
      {"all three, names in any case",
       {"BCC=hidden@example.org", "Cc=carl@example.org", "TO=anna@example.org"},
       {"anna@example.org", "carl@example.org", "hidden@example.org"},
       {"anna@example.org"},
       {"carl@example.org"}},
      {"a comma list is one recipient text",
       {"to=anna@example.org, bob@example.org"},
       {"anna@example.org", "bob@example.org"},
       {"anna@example.org, bob@example.org"},
       {}},
      {"empty values count as absent",
       {"to=anna@example.org", "CC=", "BCC="},
       {"anna@example.org"},
       {"anna@example.org"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = server_->Received();
    std::string detail;
    ASSERT_EQ(Send(c.lines, &detail), app::MAIL_HANDED_OVER) << detail;
    ASSERT_EQ(server_->Received(), before + 1);
    const ParsedMail mail = Last();
    EXPECT_EQ(mail.envelopeTo, c.envelope);
    EXPECT_EQ(mail.Header("To"), c.to);
    EXPECT_EQ(mail.Header("Cc"), c.cc);
    EXPECT_TRUE(mail.Header("Bcc").empty());
    EXPECT_TRUE(mail.attachments.empty());
    EXPECT_TRUE(mail.Header("Subject").empty());
  }
}

TEST_F(MailHandoffTest, WithoutRecipientsSendmailRefusesAndNothingArrives) {
  std::string detail;
  const int32_t result = Send({"subject=nobody", "body=text"}, &detail);
  EXPECT_NE(result, app::MAIL_HANDED_OVER);
  EXPECT_NE(result, app::MAIL_NO_SENDMAIL);
  EXPECT_FALSE(detail.empty());
  EXPECT_EQ(server_->Received(), 0);
}

TEST_F(MailHandoffTest, SubjectBodyAndAttachmentsArriveIntact) {
  const std::string jpeg = files_ + "Flur Kamera ä.jpg";
  ASSERT_EQ(std::system(("convert -size 64x48 gradient:blue-yellow '" + jpeg + "'").c_str()), 0);
  std::string allBytes;
  for (int i = 0; i < 256 * 40; ++i) allBytes += static_cast<char>(i);
  const std::string binary = File("alarm.log.bin", allBytes);

  // The alarm mail's body: the user's text, CR, the log block.
  ASSERT_EQ(Send({"attachment0=" + jpeg, "attachment1=" + binary, "to=anna@example.org",
                  "subject=Bewegung erkannt – Kamera 2 — 检测到运动",
                  "body=Bitte prüfen!\r2026-12-10 15:00:01 happen Alarm!\r"}),
            app::MAIL_HANDED_OVER);
  const ParsedMail mail = Last();
  EXPECT_EQ(mail.defects, 0);
  EXPECT_EQ(mail.Header("Subject"), Strings{"Bewegung erkannt – Kamera 2 — 检测到运动"});
  EXPECT_EQ(mail.body, "Bitte prüfen!\n2026-12-10 15:00:01 happen Alarm!\n");
  ASSERT_EQ(mail.attachments.size(), 2u);
  EXPECT_EQ(mail.attachments[0].fileName, "Flur Kamera ä.jpg");
  EXPECT_EQ(mail.attachments[0].contentType, "image/jpeg");
  EXPECT_EQ(mail.attachments[0].bytes, mailtest::ReadFile(jpeg));
  EXPECT_EQ(mail.attachments[1].fileName, "alarm.log.bin");
  EXPECT_EQ(mail.attachments[1].bytes, allBytes);
}

TEST_F(MailHandoffTest, AttachmentsStopAtTheFirstMissingIndex) {
  const std::string a = File("a.txt", "first"), b = File("b.txt", "second"), c = File("c.txt", "third");
  struct Case {
    const char* name;
    Strings lines;
    Strings sent;
  };
  const Case cases[] = {
      {"0 and 2 without 1", {"attachment0=" + a, "attachment2=" + c}, {"first"}},
      {"an empty 0 hides the rest", {"attachment0=", "attachment1=" + b}, {}},
      {"no leading zeros", {"attachment0=" + a, "attachment01=" + b}, {"first"}},
      {"names in any case, any order",
       {"ATTACHMENT1=" + b, "Attachment0=" + a, "attachment2=" + c},
       {"first", "second", "third"}},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.name);
    Strings lines = cs.lines;
    lines.push_back("to=anna@example.org");
    ASSERT_EQ(Send(lines), app::MAIL_HANDED_OVER);
    Strings sent;
    for (const auto& att : Last().attachments) sent.push_back(att.bytes);
    EXPECT_EQ(sent, cs.sent);
  }
}

TEST_F(MailHandoffTest, TextInAnotherCodePageIsSentAsUtf8) {
  rtl::SetAnsiCodePage(1252);
  const int32_t result = Send({"to=anna@example.org", "subject=Gr\xFC\xDF\x65", "body=\x80 5 f\xFCr \xC4pfel"});
  rtl::SetAnsiCodePage(65001);
  ASSERT_EQ(result, app::MAIL_HANDED_OVER);
  const ParsedMail mail = Last();
  EXPECT_EQ(mail.Header("Subject"), Strings{"Grüße"});
  EXPECT_EQ(mail.body, "€ 5 für Äpfel\n");
}

// Line breaks in a subject, a recipient text or a file name never become
// headers of their own, so none can add a hidden recipient.
TEST_F(MailHandoffTest, LineBreaksCannotAddRecipients) {
  const std::string file = File("shot\r\nBcc: evil@example.org.jpg", "jpeg");
  ASSERT_EQ(Send({"to=anna@example.org", "subject=Alarm\r\nBcc: evil@example.org", "CC=carl@example.org\r\n",
                  "attachment0=" + file}),
            app::MAIL_HANDED_OVER);
  const ParsedMail mail = Last();
  EXPECT_EQ(mail.envelopeTo, (Strings{"anna@example.org", "carl@example.org"}));
  EXPECT_TRUE(mail.Header("Bcc").empty());
  EXPECT_EQ(mail.Header("Subject"), Strings{"Alarm Bcc: evil@example.org"});
  ASSERT_EQ(mail.attachments.size(), 1u);
  EXPECT_EQ(mail.attachments[0].fileName, "shot__Bcc: evil@example.org.jpg");
}

TEST_F(MailHandoffTest, FailuresAreResultsAndSendNothing) {
  const std::string refusing = dir_ / "refusing-sendmail";
  mailtest::WriteFile(refusing, "#!/bin/sh\ncat > /dev/null\necho 'mail queue is full' >&2\nexit 75\n", 0700);
  struct Case {
    const char* name;
    std::string sendmail;  // empty: the msmtp one
    Strings extra;
    int32_t result;
    const char* detailHas;
  };
  const Case cases[] = {
      {"no sendmail", dir_ / "no-such-sendmail", {}, app::MAIL_NO_SENDMAIL, "no-such-sendmail"},
      {"sendmail refuses", refusing, {}, app::MAIL_SEND_FAILED, "mail queue is full"},
      {"attachment gone", "", {"attachment0=" + files_ + "gone.jpg"}, app::MAIL_ATTACHMENT_UNREADABLE, "gone.jpg"},
      {"attachment is a folder",
       "",
       {"attachment0=" + dir_.Path()},
       app::MAIL_ATTACHMENT_UNREADABLE,
       dir_.Path().c_str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<mailtest::ScopedEnv> env;
    if (!c.sendmail.empty()) env.emplace("VORIX_SENDMAIL", c.sendmail);
    Strings lines = {"to=anna@example.org", "subject=s", "body=b"};
    lines.insert(lines.end(), c.extra.begin(), c.extra.end());
    std::string detail;
    EXPECT_EQ(Send(lines, &detail), c.result);
    EXPECT_NE(detail.find(c.detailHas), std::string::npos) << detail;
  }
  EXPECT_EQ(server_->Received(), 0);
}

}  // namespace
