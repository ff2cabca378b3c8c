#pragma once
// Real mail round trips for the tests: an SMTP server (aiosmtpd, run by
// /usr/bin/python3 on a free loopback port and stopped by its process id)
// that files every message it receives, msmtp as the sendmail behind a small
// wrapper script, and Python's `email` package reading the mail back.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/tests/PythonRunner.h"

extern char** environ;

namespace mailtest {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes, mode_t mode = 0600) {
  std::ofstream(path, std::ios::binary) << bytes;
  chmod(path.c_str(), mode);
}

class TempDir {
public:
  TempDir() {
    char pattern[] = "/tmp/vorix-mail-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

// Files message n as msg<n>.eml and its envelope as msg<n>.env (the sender,
// then one recipient a line) before it answers 250, so both exist by the
// time the sending program has ended.
constexpr const char* kServerScript = R"PY(
import asyncio, os, socket, sys
from aiosmtpd.smtp import SMTP

outdir = sys.argv[1]

class Handler:
    count = 0
    async def handle_DATA(self, server, session, envelope):
        Handler.count += 1
        base = os.path.join(outdir, 'msg%d' % Handler.count)
        with open(base + '.env.tmp', 'w') as f:
            f.write(envelope.mail_from + '\n' + ''.join(r + '\n' for r in envelope.rcpt_tos))
        with open(base + '.eml.tmp', 'wb') as f:
            f.write(envelope.original_content)
        os.rename(base + '.env.tmp', base + '.env')
        os.rename(base + '.eml.tmp', base + '.eml')
        return '250 OK'

async def main():
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(('127.0.0.1', 0))
    sock.listen(8)
    loop = asyncio.get_running_loop()
    await loop.create_server(lambda: SMTP(Handler(), hostname='localhost'), sock=sock)
    print(sock.getsockname()[1], flush=True)
    await asyncio.Event().wait()

asyncio.run(main())
)PY";

class SmtpServer {
public:
  explicit SmtpServer(const std::string& folder) : folder_(folder) {
    WriteFile(folder_ + "/server.py", kServerScript);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string python = "/usr/bin/python3", script = folder_ + "/server.py", inbox = folder_;
    char* argv[] = {python.data(), script.data(), inbox.data(), nullptr};
    if (posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    port_ = line.empty() ? 0 : std::atoi(line.c_str());
  }
  SmtpServer(const SmtpServer&) = delete;
  SmtpServer& operator=(const SmtpServer&) = delete;
  ~SmtpServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status;
      waitpid(pid_, &status, 0);
    }
  }
  int Port() const { return port_; }
  // Paths of received message n (from 1): "<folder>/msg<n>".
  std::string Message(int n) const { return folder_ + "/msg" + std::to_string(n); }
  int Received() const {
    int n = 0;
    while (std::filesystem::exists(Message(n + 1) + ".eml")) ++n;
    return n;
  }

private:
  std::string folder_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A sendmail for VORIX_SENDMAIL: msmtp with a config of its own that sends
// to the test server without TLS or authentication.
inline std::string WriteMsmtpSendmail(const std::string& folder, int port) {
  WriteFile(folder + "/msmtprc", "defaults\nauth off\ntls off\n\naccount default\nhost 127.0.0.1\nport " +
                                     std::to_string(port) + "\nfrom vorix@localhost\n");
  const std::string wrapper = folder + "/sendmail";
  WriteFile(wrapper, "#!/bin/sh\nexec /usr/bin/msmtp -C '" + folder + "/msmtprc' \"$@\"\n", 0700);
  return wrapper;
}

struct Attachment {
  std::string fileName;
  std::string contentType;
  std::string bytes;
};

struct ParsedMail {
  std::vector<std::pair<std::string, std::string>> headers;  // decoded
  std::string body;                                          // decoded, "\n" line ends
  std::vector<Attachment> attachments;
  int defects = -1;
  std::string envelopeFrom;
  std::vector<std::string> envelopeTo;

  std::vector<std::string> Header(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [n, v] : headers)
      if (strcasecmp(n.c_str(), name.c_str()) == 0) values.push_back(v);
    return values;
  }
};

constexpr const char* kParseScript = R"PY(
import email, os, sys
from email import policy

def esc(s):
    return s.replace('\\', '\\\\').replace('\r', '\\r').replace('\n', '\\n').replace('\t', '\\t')

msg = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=policy.default)
for k, v in msg.items():
    print('header\t' + k + '\t' + esc(str(v)))
body = msg.get_body(preferencelist=('plain',))
# The file keeps the wire's CR LF; the text as a reader sees it has "\n".
print('body\t' + esc(body.get_content().replace('\r\n', '\n') if body is not None else ''))
for i, part in enumerate(msg.iter_attachments()):
    path = os.path.join(sys.argv[2], 'part%d' % i)
    open(path, 'wb').write(part.get_payload(decode=True) or b'')
    print('attachment\t' + esc(part.get_filename() or '') + '\t' + part.get_content_type() + '\t' + path)
print('defects\t' + str(sum(len(p.defects) for p in msg.walk())))
)PY";

inline std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

// Reads a message file (and, when there is one beside it, the envelope the
// server saw) with Python's email package.
inline ParsedMail ParseMail(const std::string& emlPath) {
  ParsedMail mail;
  TempDir parts;
  std::istringstream lines(rtltest::RunPython(kParseScript, {emlPath, parts.Path()}));
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> f;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    if (f[0] == "header" && f.size() == 3) mail.headers.emplace_back(f[1], Unescape(f[2]));
    if (f[0] == "body" && f.size() == 2) mail.body = Unescape(f[1]);
    if (f[0] == "attachment" && f.size() == 4) mail.attachments.push_back({Unescape(f[1]), f[2], ReadFile(f[3])});
    if (f[0] == "defects" && f.size() == 2) mail.defects = std::atoi(f[1].c_str());
  }
  const std::string envPath = emlPath.substr(0, emlPath.size() - 4) + ".env";
  if (std::filesystem::exists(envPath)) {
    std::istringstream env(ReadFile(envPath));
    std::getline(env, mail.envelopeFrom);
    while (std::getline(env, line)) mail.envelopeTo.push_back(line);
  }
  return mail;
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace mailtest
