#include "app/MailHandoff.h"

#include <fstream>
#include <iterator>

#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"
#include "platform/shell/MimeMessage.h"
#include "platform/shell/Sendmail.h"

namespace app {

namespace {

using rtl::String;

String ValueOf(const rtl::TStrings& list, const String& name) {
  for (int32_t i = 0; i < list.Count(); ++i)
    if (rtl::SameText(list.Names(i), name)) return list.ValueFromIndex(i);
  return {};
}

bool ReadWholeFile(const String& path, std::string& bytes) {
  if (!rtl::FileExists(path)) return false;  // a folder opens as a stream, too
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int32_t HandOff(const rtl::TStrings& list, String& why) {
  shell::MimeMessage message;
  // The mail system rather than we decides what a recipient text holds, so
  // each goes whole into its header; sendmail drops Bcc after reading it.
  static const std::pair<const char*, const char*> kRecipients[] = {{"to", "To"}, {"CC", "Cc"}, {"BCC", "Bcc"}};
  for (const auto& [name, header] : kRecipients) {
    const String value = ValueOf(list, name);
    if (!value.empty()) message.AddAddressHeader(header, rtl::AnsiToUtf8(value));
  }
  const String subject = ValueOf(list, "subject");
  if (!subject.empty()) message.AddTextHeader("Subject", rtl::AnsiToUtf8(subject));
  message.SetBody(rtl::AnsiToUtf8(ValueOf(list, "body")));

  for (int k = 0;; ++k) {
    const String path = ValueOf(list, "attachment" + std::to_string(k));
    if (path.empty()) break;
    shell::MimeAttachment file;
    if (!ReadWholeFile(path, file.data)) {
      why = "cannot read the attachment " + path;
      return MAIL_ATTACHMENT_UNREADABLE;
    }
    file.fileName = rtl::AnsiToUtf8(rtl::ExtractFileName(path));
    message.AddAttachment(std::move(file));
  }

  const shell::SendmailResult sent = shell::PipeToSendmail(message.Build(), shell::SendmailPath());
  why = sent.detail;
  switch (sent.status) {
    case shell::SendmailStatus::Accepted:
      return MAIL_HANDED_OVER;
    case shell::SendmailStatus::NoSendmail:
      return MAIL_NO_SENDMAIL;
    case shell::SendmailStatus::Failed:
      break;
  }
  return MAIL_SEND_FAILED;
}

}  // namespace

int32_t SendMailByMapi(win::HWND WindowHandle, const rtl::TStrings& MailList, rtl::String* detail) {
  (void)WindowHandle;
  String why;
  int32_t result;
  try {
    result = HandOff(MailList, why);
  } catch (const std::exception& e) {
    why = e.what();
    result = MAIL_SEND_FAILED;
  }
  if (detail) *detail = why;
  return result;
}

}  // namespace app
