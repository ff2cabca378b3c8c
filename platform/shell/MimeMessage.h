#pragma once
// Builds an Internet mail message ready for a mail transfer program: header
// text outside ASCII becomes encoded words, attachments travel base64 in a
// multipart/mixed body, every line ends in CR LF and none is longer than 76
// characters (an address that is longer on its own stays whole).
//
// All text given here is UTF-8. Header values are single-line by nature: a
// CR, LF or other control character in one becomes a space, so no value can
// ever start a header of its own.
#include <string>
#include <string_view>
#include <vector>

namespace shell {

struct MimeAttachment {
  std::string fileName;     // as the reader sees it (UTF-8, no folder)
  std::string contentType;  // empty: chosen from the file name's extension
  std::string data;
};

class MimeMessage {
public:
  // A header of free text ("Subject", "X-Mailer", ...). Raises
  // rtl::EArgumentError for a name that is not a valid header name.
  void AddTextHeader(const std::string& name, const std::string& value);
  // A header holding a comma-separated address list ("To", "Cc", "Bcc"):
  // each "Display Name <addr>" keeps its address as written and gets its
  // name encoded when needed; empty items are dropped. An empty list adds
  // nothing.
  void AddAddressHeader(const std::string& name, const std::string& addresses);
  bool HasHeader(const std::string& name) const;

  // The text of the message; line breaks may be CR LF, LF or a lone CR.
  void SetBody(std::string text) { body_ = std::move(text); }
  void AddAttachment(MimeAttachment attachment) { attachments_.push_back(std::move(attachment)); }

  // The whole message. Date, Message-ID and MIME-Version are added unless
  // given.
  std::string Build() const;

private:
  struct Header {
    std::string name;
    std::string folded;  // "Name: value\r\n", folded and encoded
  };
  std::vector<Header> headers_;
  std::string body_;
  std::vector<MimeAttachment> attachments_;
};

// Helpers the builder is made of, for callers with other message shapes.

// The content type that mail readers expect for a file name's extension,
// ignoring case; "application/octet-stream" for any other.
std::string ContentTypeForFileName(std::string_view fileName);
// Base64 in lines of 76 characters, each ending in CR LF.
std::string EncodeBase64Lines(std::string_view data);
// Quoted-printable, with CR LF line ends; `text` must already use CR LF.
std::string EncodeQuotedPrintable(std::string_view text);
// `text` as one or more "=?UTF-8?B?...?=" words; the first at most
// `firstRoom` characters long, the others at most `room`.
std::vector<std::string> EncodeWords(std::string_view text, size_t firstRoom, size_t room);

}  // namespace shell
