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

// A server that offers STARTTLS gets the login and the mail only inside
// TLS, and only when its certificate is trusted.
TEST(SmtpSend, StartTlsWhereOffered) {
  TempDir dir;
  const std::string cert = dir / "cert.pem", key = dir / "key.pem";
  const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -addext "
                           "subjectAltName=IP:127.0.0.1 -keyout '" + key + "' -out '" + cert + "' 2>/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  nettest::PythonServer server(dir.Path(), "smtpd", nettest::kSmtpScript, {dir.Path(), "tls", cert, key});
  ASSERT_GT(server.Port(), 0);
  for (bool trusted : {false, true}) {
    SCOPED_TRACE(trusted);
    TSmtpRequest r;
    r.Host = "127.0.0.1";
    r.Port = server.Port();
    r.Authenticate = true;
    r.UserName = "alarm";
    r.Password = "secret";
    r.From = "alarm@example.org";
    r.Recipients = {"a@example.org"};
    if (trusted) r.CaFile = cert;
    const TSmtpResult result = SmtpSend(r, Message("over TLS\r\n"));
    EXPECT_EQ(result.Ok(), trusted) << result.Detail;
  }
  EXPECT_EQ(nettest::ReadFile(dir / "msg1.login"), "alarm");
  EXPECT_FALSE(std::filesystem::exists(dir / "msg2.eml"));
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
  for (const char* host : {"", "127.0.0.1/x", "a@127.0.0.1"}) {
    TSmtpRequest r;
    r.Host = host;
    EXPECT_EQ(SmtpSend(r, Message("x\r\n")).Error, TSmtpError::Connect) << host;
  }
}

}  // namespace
