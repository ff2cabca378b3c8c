#include <gtest/gtest.h>

#include "platform/net/FtpClient.h"
#include "platform/net/FtpListing.h"
#include "platform/net/tests/ServerSupport.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using namespace net;
using mailtest::TempDir;

struct FtpServer : nettest::FtpServer {
  using nettest::FtpServer::FtpServer;
  TFtpSettings Settings(const std::string& user = "Name", const std::string& password = "pw") const {
    TFtpSettings s;
    s.Host = "127.0.0.1";
    s.Port = server->Port();
    s.UserName = user;
    s.Password = password;
    return s;
  }
};

TEST(FtpClient, NestedFoldersWithSpacesListedMadeAndStoredInBothModes) {
  for (bool passive : {false, true}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    FtpServer ftp;
    TFtpSettings s = ftp.Settings();
    s.Passive = passive;
    TFtpClient client(s);
    std::vector<std::string> statuses;
    client.OnStatus = [&](const std::string& t) { statuses.push_back(t); };
    ASSERT_TRUE(client.Connect().Ok());
    ASSERT_TRUE(client.MakeDir("Alarm Pictures").Ok());
    ASSERT_TRUE(client.ChangeDir("/Alarm Pictures").Ok());
    ASSERT_TRUE(client.MakeDir("2026 12").Ok());
    ASSERT_TRUE(client.ChangeDir("Alarm Pictures/2026 12").Ok());
    EXPECT_EQ(client.CurrentDir(), "/Alarm Pictures/2026 12");

    const std::string bytes = nettest::Binary(300000, 7);
    nettest::WriteFile(ftp.dir / "local.jpg", bytes);
    std::vector<TFtpProgress> work;
    int64_t begunWith = 0;
    int ended = 0;
    client.OnWorkBegin = [&](int64_t total) { begunWith = total; };
    client.OnWork = [&](const TFtpProgress& p) { work.push_back(p); };
    client.OnWorkEnd = [&](const TFtpProgress& p) {
      ++ended;
      EXPECT_EQ(p.Bytes, static_cast<int64_t>(bytes.size()));
    };
    ASSERT_TRUE(client.Store(ftp.dir / "local.jpg", "a b%.jpg").Ok());
    EXPECT_EQ(nettest::ReadFile(ftp.root + "/Alarm Pictures/2026 12/a b%.jpg"), bytes);
    EXPECT_EQ(begunWith, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(ended, 1);
    ASSERT_FALSE(work.empty());
    for (size_t i = 1; i < work.size(); ++i) EXPECT_GT(work[i].Bytes, work[i - 1].Bytes);
    EXPECT_EQ(work.back().Bytes, static_cast<int64_t>(bytes.size()));
    EXPECT_GE(work.back().BytesPerSecond, 0);

    client.OnWorkBegin = nullptr;
    client.OnWork = nullptr;
    client.OnWorkEnd = nullptr;
    ASSERT_TRUE(client.ChangeDir("/").Ok());
    std::string text;
    ASSERT_TRUE(client.List(text).Ok());
    const auto entries = ParseFtpListing(text);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, "Alarm Pictures");
    EXPECT_TRUE(entries[0].IsDirectory);
    client.Disconnect();
    EXPECT_EQ(statuses.front(), "Connecting to 127.0.0.1:" + std::to_string(s.Port) + ".");
    EXPECT_EQ(statuses.back(), "Disconnected.");

    const std::string commands = ftp.Commands();
    // One login for the whole session.
    EXPECT_EQ(commands.find("USER"), commands.rfind("USER"));
    EXPECT_NE(commands.find("MKD /Alarm Pictures/2026 12\n"), std::string::npos);
    EXPECT_NE(commands.find("STOR a b%.jpg\n"), std::string::npos);
    const bool sawActive = commands.find("PORT ") != std::string::npos || commands.find("EPRT ") != std::string::npos;
    const bool sawPassive = commands.find("PASV") != std::string::npos || commands.find("EPSV") != std::string::npos;
    EXPECT_EQ(sawActive, !passive);
    EXPECT_EQ(sawPassive, passive);
  }
}

TEST(FtpClient, FailuresAreToldApart) {
  FtpServer ftp;
  nettest::WriteFile(ftp.dir / "local.jpg", "jpeg");
  {
    TFtpClient client(ftp.Settings("Name", "wrong"));
    EXPECT_EQ(client.Connect().Error, TFtpError::Login);
  }
  {
    TFtpClient client(ftp.Settings("ro"));
    ASSERT_TRUE(client.Connect().Ok());
    EXPECT_EQ(client.MakeDir("x").Error, TFtpError::Refused);
    EXPECT_EQ(client.ChangeDir("/missing").Error, TFtpError::Refused);
    EXPECT_EQ(client.CurrentDir(), "/");
    EXPECT_EQ(client.Store(ftp.dir / "local.jpg", "a.jpg").Error, TFtpError::Refused);
    EXPECT_EQ(client.Store(ftp.dir / "missing.jpg", "a.jpg").Error, TFtpError::Local);
    // A line break would end the command and start another one.
    EXPECT_EQ(client.MakeDir("x\r\nDELE y").Error, TFtpError::Refused);
    EXPECT_EQ(client.Store(ftp.dir / "local.jpg", "a\nb").Error, TFtpError::Refused);
    EXPECT_EQ(client.ChangeDir("a\rb").Error, TFtpError::Refused);
  }
  EXPECT_EQ(ftp.Commands().find("DELE"), std::string::npos);
  TempDir dir;
  nettest::PythonServer silent(dir.Path(), "silent", nettest::kSilentScript, {});
  for (const char* host : {"", "127.0.0.1/x", "user@127.0.0.1", "127.0.0.1\r\n"}) {
    TFtpSettings s = ftp.Settings();
    s.Host = host;
    TFtpClient client(s);
    EXPECT_EQ(client.Connect().Error, TFtpError::Connect) << host;
  }
  for (int port : {nettest::ClosedPort(), silent.Port()}) {
    TFtpSettings s = ftp.Settings();
    s.Port = port;
    s.ConnectTimeoutMs = 300;
    TFtpClient client(s);
    EXPECT_EQ(client.Connect().Error, TFtpError::Connect) << port;
  }
}

TEST(FtpClient, CutAndStalledTransfersFail) {
  const std::pair<const char*, TFtpError> cases[] = {{"cut", TFtpError::Transfer}, {"stall", TFtpError::TimedOut}};
  for (const auto& [behaviour, error] : cases) {
    SCOPED_TRACE(behaviour);
    FtpServer ftp(behaviour);
    nettest::WriteFile(ftp.dir / "big.jpg", nettest::Binary(4 << 20, 3));
    TFtpSettings s = ftp.Settings();
    s.ResponseTimeoutMs = 1000;
    TFtpClient client(s);
    ASSERT_TRUE(client.Connect().Ok());
    const TFtpResult r = client.Store(ftp.dir / "big.jpg", "big.jpg");
    EXPECT_EQ(r.Error, error) << r.Detail;
  }
}

}  // namespace
