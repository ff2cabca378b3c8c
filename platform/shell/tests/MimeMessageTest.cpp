#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/shell/MimeMessage.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using namespace shell;
using mailtest::ParsedMail;
using mailtest::TempDir;

// What Python's email package makes of the message.
ParsedMail Parse(const std::string& wire) {
  TempDir dir;
  mailtest::WriteFile(dir / "m.eml", wire);
  return mailtest::ParseMail(dir / "m.eml");
}

// The wire rules: CR LF after every line, no bare CR or LF, no line longer
// than 76 characters. Returns the first offending line.
std::string FirstBadLine(const std::string& wire) {
  size_t start = 0;
  while (start < wire.size()) {
    const size_t crlf = wire.find("\r\n", start);
    if (crlf == std::string::npos) return "unterminated: " + wire.substr(start, 80);
    const std::string line = wire.substr(start, crlf - start);
    if (line.find_first_of("\r\n") != std::string::npos || line.size() > 76) return line;
    start = crlf + 2;
  }
  return {};
}

std::string Bytes(size_t n, unsigned seed) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
  return s;
}

TEST(MimeMessage, LongAndForeignTextSurvivesWithinTheLineLimit) {
  const std::string longForeign =
      "Alarm: Bewegung im Flur erkannt – 检测到运动 – движение обнаружено – ¡movimiento detectado en la "
      "entrada principal del edificio!";
  const std::string longWord = "Camera-" + std::string(120, 'x') + " end";
  const std::string attachmentName = "Überwachungsbild vom 10. Dezember – Kamera Eingang Nord (Außen) 检测.jpg";
  const std::string body = "Erste Zeile\rZweite Zeile mit Umlauten äöüß\r\n" + std::string(300, 'y') +
                           "\nVierte = Zeile mit Leerzeichen am Ende   \n.\nFrom here on\n\ttab";

  MimeMessage m;
  m.AddAddressHeader("To",
                     "Jürgen Müller <juergen@example.org>, \"Doe, Jane\" <jane@example.org>, plain@example.org, "
                     "a-very-long-local-part-for-testing@subdomain.example.org, last@example.org");
  m.AddTextHeader("Subject", longForeign);
  m.AddTextHeader("X-Note", longWord);
  m.SetBody(body);
  m.AddAttachment({attachmentName, "", Bytes(100000, 1)});

  const std::string wire = m.Build();
  EXPECT_EQ(FirstBadLine(wire), "");
  const ParsedMail mail = Parse(wire);
  EXPECT_EQ(mail.defects, 0);
  EXPECT_EQ(mail.Header("Subject"), std::vector<std::string>{longForeign});
  EXPECT_EQ(mail.Header("X-Note"), std::vector<std::string>{longWord});
  EXPECT_EQ(mail.Header("To"),
            std::vector<std::string>{"Jürgen Müller <juergen@example.org>, \"Doe, Jane\" <jane@example.org>, "
                                     "plain@example.org, a-very-long-local-part-for-testing@subdomain.example.org, "
                                     "last@example.org"});
  EXPECT_EQ(mail.body, "Erste Zeile\nZweite Zeile mit Umlauten äöüß\n" + std::string(300, 'y') +
                           "\nVierte = Zeile mit Leerzeichen am Ende   \n.\nFrom here on\n\ttab");
  ASSERT_EQ(mail.attachments.size(), 1u);
  EXPECT_EQ(mail.attachments[0].fileName, attachmentName);
  EXPECT_EQ(mail.attachments[0].contentType, "image/jpeg");
  EXPECT_EQ(mail.attachments[0].bytes, Bytes(100000, 1));
}

TEST(MimeMessage, LineBreaksInHeaderValuesCannotAddHeaders) {
  struct Case {
    const char* name;
    std::string value;
  };
  const Case cases[] = {
      {"CR LF", "hello\r\nBcc: evil@example.org"},
      {"LF", "hello\nBcc: evil@example.org"},
      {"CR", "hello\rBcc: evil@example.org"},
      {"blank line then body", "hello\r\n\r\nBcc: evil@example.org"},
      {"folded continuation", "hello\r\n Bcc: evil@example.org"},
      {"non-ASCII", "grüße\r\nBcc: evil@example.org"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MimeMessage m;
    m.AddAddressHeader("To", "to@example.org" + c.value.substr(c.value.find_first_of("\r\n")));
    m.AddAddressHeader("Cc", c.value);
    m.AddTextHeader("Subject", c.value);
    m.SetBody("text");
    const std::string wire = m.Build();
    EXPECT_EQ(wire.find("\nBcc"), std::string::npos);
    const ParsedMail mail = Parse(wire);
    EXPECT_TRUE(mail.Header("Bcc").empty());
    EXPECT_EQ(mail.Header("Subject").size(), 1u);
    EXPECT_EQ(mail.Header("To").size(), 1u);
    EXPECT_EQ(mail.body, "text\n");
  }
}

TEST(MimeMessage, BodyTextRoundTrips) {
  struct Case {
    const char* name;
    std::string text;
    std::string read;  // what a reader gets back (with a final line break)
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"short ASCII", "Motion at 12:00", "Motion at 12:00\n"},
      {"lone CR line breaks", "one\rtwo\r", "one\ntwo\n"},
      {"trailing blanks and tabs", "a  \nb\t\n", "a  \nb\t\n"},
      {"equals signs and a dot line", "x=1\n.\n=\n", "x=1\n.\n=\n"},
      {"a line of exactly 76", std::string(76, 'q'), std::string(76, 'q') + "\n"},
      {"a long line", std::string(77, 'r') + "\n" + std::string(500, 's'),
       std::string(77, 'r') + "\n" + std::string(500, 's') + "\n"},
      {"non-ASCII at the soft-break edge", std::string(74, 'a') + "é€" + std::string(80, 'b'),
       std::string(74, 'a') + "é€" + std::string(80, 'b') + "\n"},
      {"control characters", std::string("bell\x07 nul-free\x1b[0m"), std::string("bell\x07 nul-free\x1b[0m\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MimeMessage m;
    m.AddTextHeader("Subject", "s");
    m.SetBody(c.text);
    const std::string wire = m.Build();
    EXPECT_EQ(FirstBadLine(wire), "");
    const ParsedMail mail = Parse(wire);
    EXPECT_EQ(mail.body, c.read);
    EXPECT_EQ(mail.defects, 0);
  }
}

TEST(MimeMessage, AttachmentsKeepNamesTypesAndEveryByte) {
  struct File {
    std::string name;
    std::string type;  // expected
    size_t size;
  };
  const std::vector<File> files = {
      {"empty.txt", "text/plain", 0},
      {"one.PNG", "image/png", 1},
      {"two.bmp", "image/bmp", 2},
      {"three.avi", "video/x-msvideo", 3},
      {"row.JpEg", "image/jpeg", 57},
      {"row-and-one.wmv", "video/x-ms-wmv", 58},
      {"noext", "application/octet-stream", 1000},
      {"odd.xyz", "application/octet-stream", 4097},
      {"quote\"and\\slash.log", "text/plain", 10},
      {"tab\tname.jpg", "image/jpeg", 5},
  };
  MimeMessage m;
  m.SetBody("see attached\n");
  for (size_t i = 0; i < files.size(); ++i) m.AddAttachment({files[i].name, "", Bytes(files[i].size, i)});
  m.AddAttachment({"given.bin", "image/x-custom", "abc"});
  const std::string wire = m.Build();
  EXPECT_EQ(FirstBadLine(wire), "");
  const ParsedMail mail = Parse(wire);
  EXPECT_EQ(mail.defects, 0);
  EXPECT_EQ(mail.body, "see attached\n");
  ASSERT_EQ(mail.attachments.size(), files.size() + 1);
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].name);
    // A control character in a name would be a line break in some reader's
    // header; it arrives as "_".
    std::string name = files[i].name;
    std::replace(name.begin(), name.end(), '\t', '_');
    EXPECT_EQ(mail.attachments[i].fileName, name);
    EXPECT_EQ(mail.attachments[i].contentType, files[i].type);
    EXPECT_EQ(mail.attachments[i].bytes, Bytes(files[i].size, i));
  }
  EXPECT_EQ(mail.attachments.back().contentType, "image/x-custom");
  EXPECT_EQ(mail.attachments.back().bytes, "abc");
}

TEST(MimeMessage, TextThatLooksEncodedStaysLiteral) {
  MimeMessage m;
  m.AddTextHeader("Subject", "=?UTF-8?B?SGFja2Vk?= and more");
  const ParsedMail mail = Parse(m.Build());
  EXPECT_EQ(mail.Header("Subject"), std::vector<std::string>{"=?UTF-8?B?SGFja2Vk?= and more"});
}

TEST(MimeMessage, StandardHeadersOnceAndOnlyWhenMissing) {
  MimeMessage m;
  m.AddTextHeader("Subject", "x");
  ParsedMail mail = Parse(m.Build());
  EXPECT_EQ(mail.Header("Date").size(), 1u);
  EXPECT_EQ(mail.Header("Message-ID").size(), 1u);
  EXPECT_EQ(mail.Header("MIME-Version"), std::vector<std::string>{"1.0"});

  m.AddTextHeader("date", "Thu, 1 Jan 2026 00:00:00 +0000");
  mail = Parse(m.Build());
  EXPECT_EQ(mail.Header("Date"), std::vector<std::string>{"Thu, 01 Jan 2026 00:00:00 +0000"});
}

TEST(MimeMessage, HeaderNamesMustBeValid) {
  MimeMessage m;
  for (const char* bad : {"", "Two Words", "X:Y", "Nl\nX", "Ünïcode"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(m.AddTextHeader(bad, "v"), rtl::EArgumentError);
    EXPECT_THROW(m.AddAddressHeader(bad, "a@example.org"), rtl::EArgumentError);
  }
  // An address list with nothing in it adds no header at all.
  m.AddAddressHeader("Cc", " , ,");
  EXPECT_FALSE(m.HasHeader("cc"));
}

TEST(MimeMessage, ContentTypeByExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"/alarm/Pic.JPG", "image/jpeg"},
      {"clip.asf", "video/x-ms-asf"},
      {"a.tar.gz", "application/octet-stream"},
      {"/a.b/noext", "application/octet-stream"},
      {".jpg", "image/jpeg"},
      {"trailing.", "application/octet-stream"},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(ContentTypeForFileName(name), type) << name;
}

}  // namespace
