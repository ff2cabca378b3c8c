// The media runtime behind the ASF writer: the profile catalogue and its
// XML, and the network sink's HTTP serving on loopback.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <string>

#include "platform/mg/WmProfiles.h"
#include "platform/mg/WmSinks.h"

namespace mg::wm {
namespace {

TEST(WmProfiles, EveryCatalogueProfileReadsBackFromItsXml) {
  auto manager = std::make_shared<ProfileManager>();
  DWORD count = 0;
  ASSERT_EQ(manager->GetSystemProfileCount(&count), S_OK);
  ASSERT_EQ(count, SystemProfiles().size());
  EXPECT_EQ(manager->SetSystemProfileVersion(0x00070000), E_INVALIDARG);
  EXPECT_EQ(manager->SetSystemProfileVersion(0x00080000), S_OK);
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<Profile> p;
    ASSERT_EQ(manager->LoadSystemProfile(i, &p), S_OK);
    std::string text;
    ASSERT_EQ(manager->SaveProfile(p, &text), S_OK);
    std::shared_ptr<Profile> back;
    ASSERT_EQ(manager->LoadProfileByData(text, &back), S_OK) << text;
    EXPECT_EQ(back->Settings(), SystemProfiles()[i]);
  }
  std::shared_ptr<Profile> none;
  EXPECT_EQ(manager->LoadSystemProfile(count, &none), E_INVALIDARG);
}

TEST(WmProfiles, TextThatIsNotAUsableProfileIsRefused) {
  const std::string good = ProfileToXml(SystemProfiles()[2]);
  auto edit = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    const size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? t : t.replace(at, from.size(), to);
  };
  const std::string cases[] = {
      "",
      "<profile/>",
      "<other name=\"x\"/>",
      edit("</profile>", ""),
      edit("biwidth=\"320\"", "biwidth=\"321\""),
      edit("biwidth=\"320\"", "biwidth=\"99999\""),
      edit("biheight=\"240\"", "biheight=\"-240\""),
      edit("nchannels=\"2\"", "nchannels=\"6\""),
      edit("wformattag=\"353\"", "wformattag=\"85\""),
      edit("{32564D57", "{34363248"),
      edit("avgtimeperframe=\"400000\"", "avgtimeperframe=\"0\""),
      edit("bitrate=\"500000\"", "bitrate=\"5e5\""),
      std::string(40, '<') + "profile>",
  };
  for (const std::string& text : cases) {
    ProfileSettings p;
    p.name = "unchanged";
    EXPECT_FALSE(ProfileFromXml(text, p)) << text;
    EXPECT_EQ(p.name, "unchanged");
  }
  // Declarations, comments and attributes in any order are fine.
  ProfileSettings p;
  EXPECT_TRUE(ProfileFromXml("<?xml version=\"1.0\"?>\n<!-- mine -->\n" + good, p));
  EXPECT_EQ(p, SystemProfiles()[2]);
  // A name with a quotation mark in it still makes readable XML.
  ProfileSettings quoted = SystemProfiles()[0];
  quoted.name = "My \"best\" one";
  ASSERT_TRUE(ProfileFromXml(ProfileToXml(quoted), p));
  EXPECT_EQ(p.name, "My 'best' one");
}

// Reads from a loopback connection until it closes or `want` bytes came.
std::string Fetch(DWORD port, const std::string& request, size_t want = SIZE_MAX) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  std::string got;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
    char buf[4096];
    for (ssize_t n; got.size() < want && (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) got.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return got;
}

TEST(WmSinks, ALateClientGetsTheHeaderThenWhatComesAndTheSinkKeepsItsLimit) {
  auto sink = std::make_shared<NetworkSink>();
  DWORD port = 0;
  ASSERT_EQ(sink->SetMaximumClients(1), S_OK);
  ASSERT_EQ(sink->Open(&port), S_OK);
  ASSERT_GT(port, 0u);
  std::string url;
  ASSERT_EQ(sink->GetHostURL(&url), S_OK);
  EXPECT_EQ(url, "http://127.0.0.1:" + std::to_string(port));
  const std::string head = "HEAD-";
  sink->OnHeader(reinterpret_cast<const uint8_t*>(head.data()), head.size());
  const std::string early = "early-";
  sink->OnDataUnit(reinterpret_cast<const uint8_t*>(early.data()), early.size());

  const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: video/x-ms-asf\r\nCache-Control: no-cache\r\n\r\n";
  std::string got;
  std::thread client([&] { got = Fetch(port, "GET / HTTP/1.0\r\n\r\n"); });
  ASSERT_TRUE(sink->WaitForClients(1, 10'000));
  // One client is all it takes.
  EXPECT_EQ(Fetch(port, "GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 503 Service Unavailable\r\n\r\n");
  const std::string later = "later";
  sink->OnDataUnit(reinterpret_cast<const uint8_t*>(later.data()), later.size());
  sink->OnEndWriting();
  client.join();
  EXPECT_EQ(got, ok + "HEAD-later");
  EXPECT_EQ(Fetch(port, "POST / HTTP/1.0\r\n\r\n"), "HTTP/1.0 405 Method Not Allowed\r\n\r\n");
  EXPECT_EQ(sink->Close(), S_OK);
  EXPECT_EQ(sink->GetHostURL(&url), E_UNEXPECTED);
}

TEST(WmSinks, APushSinkSendsItsStreamAsChunksOfAPost) {
  // A one-shot server on loopback that keeps what it is sent.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::string received;
  std::thread server([&] {
    const int fd = ::accept(listener, nullptr, nullptr);
    char buf[4096];
    for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) received.append(buf, static_cast<size_t>(n));
    ::close(fd);
  });
  auto push = std::make_shared<PushSink>();
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/live";
  ASSERT_EQ(push->Connect(url, "", 1), S_OK);
  const std::string h = "HDR", d = "0123456789abcdefXYZ";
  push->OnHeader(reinterpret_cast<const uint8_t*>(h.data()), h.size());
  push->OnDataUnit(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  push->OnEndWriting();
  server.join();
  ::close(listener);
  EXPECT_EQ(received, "POST /live HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) +
                          "\r\nContent-Type: video/x-ms-asf\r\nTransfer-Encoding: chunked\r\n\r\n"
                          "3\r\nHDR\r\n13\r\n0123456789abcdefXYZ\r\n0\r\n\r\n");
  EXPECT_EQ(push->Connect("ftp://example/x", "", 1), E_INVALIDARG);
}

}  // namespace
}  // namespace mg::wm
