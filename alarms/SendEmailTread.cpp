#include "alarms/SendEmailTread.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/net/SmtpClient.h"
#include "platform/rtl/Clock.h"
#include "platform/shell/MimeMessage.h"

namespace alarms {

namespace {

constexpr char CR = '\r';

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool ReadWhole(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string NamePart(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

std::string AlarmTimesText(const std::vector<std::string>& times, const std::string& hint) {
  std::string t;
  for (const auto& time : times) t += CR + time + hint + CR;
  return t;
}

net::TSmtpRequest SmtpRequestFor(const TAlarmMailSettings& s) {
  net::TSmtpRequest r;
  r.Host = s.SMTPHost;
  r.Port = s.SMTPPort;
  r.Authenticate = s.bSMTPIdentity;
  r.UserName = s.UserName;
  r.Password = s.Pasword;
  // The envelope sender is the first address; every listed recipient,
  // copies and blind copies too, is one of the envelope's.
  const auto from = net::SplitAddressList(s.SendFromAddress);
  if (!from.empty()) r.From = from.front();
  for (const std::string* list : {&s.SendToAddress, &s.CCAddress, &s.BccAddress})
    for (auto& a : net::SplitAddressList(*list)) r.Recipients.push_back(std::move(a));
  r.ConnectTimeoutMs = s.ConnectTimeoutMs;
  r.ResponseTimeoutMs = s.ResponseTimeoutMs;
  return r;
}

TSendEmailTread::~TSendEmailTread() { WaitForRuns(); }

void TSendEmailTread::Start() {
  runs_.Start([this] { SendAlarmMail(); });
}

bool TSendEmailTread::Busy() { return runs_.Busy(); }

void TSendEmailTread::WaitForRuns() { runs_.WaitForRuns(); }

void TSendEmailTread::SendAlarmMail() {
  if (!host_.TakeMailIdle()) return;
  const TAlarmMailSettings s = host_.MailSettings();
  if (s.SendPictureOrOnlyHint)
    SendPictures(s);
  else
    SendAlarmTimes(s);
  host_.SetMailIdle();
}

void TSendEmailTread::SendPictures(const TAlarmMailSettings& s) {
  std::vector<std::string> queue;
  {
    std::set<std::string> mailed;
    {
      std::lock_guard lock(mutex_);
      mailed = mailed_;
    }
    for (const auto& path : host_.MailQueue()) {
      // A picture already mailed whose file stayed is not mailed again.
      if (!FileExists(path) || mailed.count(path))
        host_.RemoveFromMailQueue(path);
      else
        queue.push_back(path);
    }
  }
  if (queue.empty()) {
    host_.StopMailTimer();
    return;
  }
  // A count of 0 or less would send empty mails forever while the queue
  // never shrinks: every mail carries at least one picture.
  const size_t k = std::clamp<int64_t>(s.EmailSendPictureNum, 1, static_cast<int64_t>(queue.size()));
  queue.resize(k);
  const std::string log = host_.MailLogText();
  if (Deliver(s, s.body + CR + log, queue, true)) host_.ConsumeMailLogText(log);
}

void TSendEmailTread::SendAlarmTimes(const TAlarmMailSettings& s) {
  const std::vector<std::string> times = host_.AlarmTimes();
  if (times.empty()) {
    host_.StopMailTimer();
    return;
  }
  const std::string log = host_.MailLogText();
  if (Deliver(s, log + CR + s.body + AlarmTimesText(times, s.MailBodyHint), {}, false)) {
    host_.RemoveAlarmTimes(times.size());
    host_.ConsumeMailLogText(log);
  }
}

bool TSendEmailTread::Deliver(const TAlarmMailSettings& s, const std::string& body,
                              const std::vector<std::string>& pictures, bool pictureMode) {
  if (s.bDefaultSend) {
    // Numbered without gaps: the hand-off stops at the first missing
    // number, and a picture left out must not be deleted as if sent.
    TMailList list;
    std::vector<std::string> attached;
    for (const auto& path : pictures)
      if (FileExists(path)) {
        list.emplace_back("attachment" + std::to_string(attached.size()), path);
        attached.push_back(path);
      }
    for (const auto& [key, value] : {std::pair<const char*, const std::string*>{"to", &s.SendToAddress},
                                     {"CC", &s.CCAddress},
                                     {"BCC", &s.BccAddress},
                                     {"subject", &s.subject},
                                     {"body", &body}})
      if (!value->empty()) list.emplace_back(key, *value);
    host_.MailStatus(0);
    if (host_.SendMailByMapi(list) == 0) {
      host_.MailStatus(2);
      rtl::Sleep(1000);
      RemoveSent(s, attached);
      host_.MailStatus(3);
      return true;
    }
    // The queue stays as it is: its pictures go with the next mail once
    // the user has mended the settings and switched mail on again.
    host_.SwitchSendEmailOff();
    host_.MailStatus(1);
    rtl::Sleep(1000);
    host_.ShowHint((pictureMode ? s.SendMailFail : s.ConnectServerFail) + CR);
    host_.MailStatus(3);
    return false;
  }

  shell::MimeMessage message;
  message.AddAddressHeader("From", s.SendFromAddress);
  message.AddAddressHeader("To", s.SendToAddress);
  message.AddAddressHeader("Cc", s.CCAddress);
  message.AddTextHeader("Subject", s.subject);
  message.SetBody(body);
  std::vector<std::string> attached;
  for (const auto& path : pictures) {
    shell::MimeAttachment a;
    a.fileName = NamePart(path);
    if (!ReadWhole(path, a.data)) continue;  // vanished since the queue was read
    message.AddAttachment(std::move(a));
    attached.push_back(path);
  }
  net::TSmtpRequest r = SmtpRequestFor(s);
  r.OnConnected = [this] {
    host_.MailStatus(5);
    rtl::Sleep(1000);
    host_.MailStatus(6);
  };
  host_.MailStatus(0);
  host_.MailStatus(4);
  const net::TSmtpResult sent = net::SmtpSend(r, message.Build());
  if (sent.Ok()) {
    host_.MailStatus(2);
    RemoveSent(s, attached);
  } else {
    host_.MailStatus(1);
    host_.ShowHint(s.ConnectServerFail + CR);
  }
  rtl::Sleep(2000);
  host_.MailStatus(3);
  return sent.Ok();
}

void TSendEmailTread::RemoveSent(const TAlarmMailSettings& s, const std::vector<std::string>& sent) {
  for (const auto& path : sent) {
    std::error_code ec;
    const bool gone = std::filesystem::remove(path, ec) || !std::filesystem::exists(path, ec);
    if (!gone) {
      // Mailed all the same: it leaves the queue and is never mailed
      // again, and the user hears of it once.
      bool first;
      {
        std::lock_guard lock(mutex_);
        first = mailed_.insert(path).second;
      }
      if (first) host_.ShowHint(path + ":" + s.DeleteFail + CR);
    }
    host_.RemoveFromMailQueue(path);
  }
}

}  // namespace alarms
