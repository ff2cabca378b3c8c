#include <gtest/gtest.h>

#include "platform/net/SmtpClient.h"
#include "platform/net/tests/ServerSupport.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using namespace net;
using mailtest::TempDir;

std::string Message(const std::string& body) {
  return "From: alarm@example.org\r\nTo: a@example.org\r\nSubject: test\r\n\r\n" + body;
}

TEST(SmtpAddresses, ListsSplitOnCommaAndSemicolon) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"a@x.org", {"a@x.org"}},
      {" a@x.org , b@y.org;c@z.org ", {"a@x.org", "b@y.org", "c@z.org"}},
      {"Ann <a@x.org>, \"Doe, Bob\" <b@y.org>", {"a@x.org", "b@y.org"}},
      {",, ;", {}},
      {"", {}},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(SplitAddressList(text), expected);
  }
}

struct AuthCase {
  const char* server;  // "auth" or "noauth"
  bool authenticate;
  const char* password;
  TSmtpError error;
  const char* login;  // the login the server saw
};

// Delivery with and without login, against servers that offer AUTH or not;
// the message comes through unchanged, dot lines included.
TEST(SmtpSend, LoginAndDelivery) {
  const AuthCase cases[] = {
      {"auth", true, "secret", TSmtpError::None, "alarm"},
      {"auth", false, "", TSmtpError::None, ""},
      {"auth", true, "wrong", TSmtpError::Login, nullptr},
      // a server that asks for no login gets none
      {"noauth", true, "secret", TSmtpError::None, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " " + c.password);
    TempDir dir;
    nettest::PythonServer server(dir.Path(), "smtpd", nettest::kSmtpScript, {dir.Path(), c.server});
    ASSERT_GT(server.Port(), 0);
    TSmtpRequest r;
    r.Host = "127.0.0.1";
    r.Port = server.Port();
    r.Authenticate = c.authenticate;
    r.UserName = "alarm";
    r.Password = c.password;
    r.From = "alarm@example.org";
    r.Recipients = {"a@example.org", "b@example.org"};
    int connected = 0;
    r.OnConnected = [&] { ++connected; };
    const std::string body = "line one\r\n.\r\n..two\r\n";
    const TSmtpResult result = SmtpSend(r, Message(body));
    EXPECT_EQ(result.Error, c.error) << result.Detail;
    if (!c.login) {
      EXPECT_EQ(connected, 0);
      EXPECT_FALSE(std::filesystem::exists(dir / "msg1.eml"));
      continue;
    }
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(nettest::ReadFile(dir / "msg1.login"), c.login);
    EXPECT_EQ(nettest::ReadFile(dir / "msg1.env"), "alarm@example.org\na@example.org\nb@example.org\n");
    EXPECT_EQ(nettest::ReadFile(dir / "msg1.eml"), Message(body));
  }
}

TEST(SmtpSend, NoServerIsAConnectFailure) {
  TempDir dir;
  nettest::PythonServer silent(dir.Path(), "silent", nettest::kSilentScript, {});
  for (int port : {nettest::ClosedPort(), silent.Port()}) {
    SCOPED_TRACE(port);
    TSmtpRequest r;
    r.Host = "127.0.0.1";
    r.Port = port;
    r.ConnectTimeoutMs = 300;
    r.From = "a@x.org";
    r.Recipients = {"b@y.org"};
    EXPECT_EQ(SmtpSend(r, Message("x\r\n")).Error, TSmtpError::Connect);
  }
}

}  // namespace
