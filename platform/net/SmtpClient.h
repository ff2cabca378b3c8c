#pragma once
// Sends one finished mail message through an SMTP server with libcurl:
// STARTTLS when the server offers it, AUTH LOGIN when asked for, then the
// envelope and the message. The message itself (headers, MIME parts, CR LF
// lines) is the caller's; "." lines are escaped on the way.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace net {

struct TSmtpRequest {
  std::string Host;
  int32_t Port = 25;
  // Log in with AUTH LOGIN. A server that offers no AUTH at all is sent to
  // without logging in, as it asks for none.
  bool Authenticate = false;
  std::string UserName, Password;
  std::string From;                     // envelope sender: a bare address
  std::vector<std::string> Recipients;  // envelope recipients: bare addresses
  // Certificates to trust for STARTTLS besides the system's; empty: the
  // system's alone. A server whose certificate is not trusted gets no mail.
  std::string CaFile;
  long ConnectTimeoutMs = 5000;
  // No reply from the server for this long ends the session.
  long ResponseTimeoutMs = 30000;
  // Called once the session stands (greeting, hello, STARTTLS, login
  // done), before the envelope goes out.
  std::function<void()> OnConnected;
};

enum class TSmtpError {
  None,
  Connect,   // no server, or it did not greet in time
  Login,     // authentication refused
  Refused,   // sender, a recipient or the message refused
  TimedOut,  // the server stopped answering
  Other,
};

struct TSmtpResult {
  TSmtpError Error = TSmtpError::Other;
  std::string Detail;  // libcurl's words for it; empty on success
  bool Ok() const { return Error == TSmtpError::None; }
};

TSmtpResult SmtpSend(const TSmtpRequest& request, const std::string& message);

// The bare addresses of an address list: items separated by "," or ";",
// each "addr" or "Display Name <addr>"; blank items dropped.
std::vector<std::string> SplitAddressList(const std::string& list);

}  // namespace net
