#pragma once
// Real servers on loopback for the network tests: an SMTP server
// (aiosmtpd, with or without AUTH), an FTP server (pyftpdlib, with
// misbehaving variants) and a listener that never greets. Each runs under
// /usr/bin/python3 on a free port it reports on its first output line,
// and is stopped by its process id.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/shell/tests/MailTestSupport.h"

extern char** environ;

namespace nettest {

class PythonServer {
public:
  PythonServer(const std::string& folder, const std::string& name, const std::string& script,
               std::vector<std::string> args) {
    const std::string path = folder + "/" + name + ".py";
    std::ofstream(path) << script;
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> all = {"/usr/bin/python3", path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, all[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    port_ = line.empty() ? 0 : std::atoi(line.c_str());
  }
  PythonServer(const PythonServer&) = delete;
  PythonServer& operator=(const PythonServer&) = delete;
  ~PythonServer() { Stop(); }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      int status;
      waitpid(pid_, &status, 0);
      pid_ = -1;
    }
  }
  int Port() const { return port_; }

private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// argv: inbox folder, then "auth", "noauth" or "tls" (STARTTLS with the
// certificate and key given next, and AUTH only after it), or a way to
// fail: "refuse" (every recipient), "cut" (the connection, once the
// message is in) or "stall" (no answer to the message). Message n is filed as msg<n>.eml
// with its envelope (sender, then one recipient a line) as msg<n>.env and
// the login it came with as msg<n>.login, before the server answers 250.
constexpr const char* kSmtpScript = R"PY(
import asyncio, os, socket, sys
from aiosmtpd.smtp import SMTP, AuthResult

outdir, mode = sys.argv[1], sys.argv[2]

class Handler:
    count = 0
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if mode == 'refuse':
            return '550 no such user here'
        envelope.rcpt_tos.append(address)
        return '250 OK'
    async def handle_DATA(self, server, session, envelope):
        if mode == 'cut':
            server.transport.close()
            return '421 gone'
        if mode == 'stall':
            await asyncio.sleep(3600)
        Handler.count += 1
        base = os.path.join(outdir, 'msg%d' % Handler.count)
        data = session.auth_data if session.authenticated else b''
        login = data.decode() if isinstance(data, bytes) else str(data or '')
        for ext, data in (('.login', login.encode()),
                          ('.env', (envelope.mail_from + '\n' + ''.join(r + '\n' for r in envelope.rcpt_tos)).encode()),
                          ('.eml', envelope.original_content)):
            with open(base + ext + '.tmp', 'wb') as f:
                f.write(data)
            os.rename(base + ext + '.tmp', base + ext)
        return '250 OK'

def authenticator(server, session, envelope, mechanism, auth_data):
    ok = auth_data.login == b'alarm' and auth_data.password == b'secret'
    return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)

def factory():
    if mode == 'tls':
        import ssl
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
        return SMTP(Handler(), hostname='localhost', authenticator=authenticator,
                    tls_context=context, require_starttls=True, auth_require_tls=True)
    if mode == 'auth':
        return SMTP(Handler(), hostname='localhost', authenticator=authenticator,
                    auth_require_tls=False, auth_required=False)
    return SMTP(Handler(), hostname='localhost')

async def main():
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(('127.0.0.1', 0))
    sock.listen(8)
    loop = asyncio.get_running_loop()
    await loop.create_server(factory, sock=sock)
    print(sock.getsockname()[1], flush=True)
    await asyncio.Event().wait()

asyncio.run(main())
)PY";

// argv: root folder, log file, behaviour. Users: Name/pw may do anything,
// ro/pw may only look. Behaviours: "normal"; "cut" closes the session once
// a stored file has passed 64 KiB; "stall" never answers a STOR.
constexpr const char* kFtpScript = R"PY(
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, DTPHandler
from pyftpdlib.servers import FTPServer

root, log, mode = sys.argv[1], sys.argv[2], sys.argv[3]
logging.basicConfig(filename=log, level=logging.DEBUG, format='%(message)s')
auth = DummyAuthorizer()
auth.add_user('Name', 'pw', root, perm='elradfmwMT')
auth.add_user('ro', 'pw', root, perm='elr')

class CutDTP(DTPHandler):
    def handle_read(self):
        DTPHandler.handle_read(self)
        if self.tot_bytes_received > 65536:
            self.cmd_channel.close()
            self.close()
    handle_read_event = handle_read

class Handler(FTPHandler):
    authorizer = auth
    auth_failed_timeout = 0.05
    def ftp_STOR(self, file, mode='w'):
        if sys.argv[3] == 'stall':
            return
        return FTPHandler.ftp_STOR(self, file, mode)

if mode == 'cut':
    Handler.dtp_handler = CutDTP
server = FTPServer(('127.0.0.1', 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
)PY";

// Accepts connections and never says a word.
constexpr const char* kSilentScript = R"PY(
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
s.bind(('127.0.0.1', 0))
s.listen(8)
print(s.getsockname()[1], flush=True)
held = []
while True:
    c, _ = s.accept()
    held.append(c)
)PY";

// A loopback port where nothing listens.
inline int ClosedPort() {
  const std::string folder = std::filesystem::temp_directory_path().string();
  const std::string name = "vorix-probe-" + std::to_string(getpid());
  PythonServer probe(folder, name,
                     "import socket\ns=socket.socket()\ns.bind(('127.0.0.1',0))\nprint(s.getsockname()[1],flush=True)\n",
                     {});
  std::filesystem::remove(folder + "/" + name + ".py");
  return probe.Port();
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Bytes that no text conversion would leave alone.
inline std::string Binary(size_t size, unsigned seed) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  if (size > 4) s.replace(0, 4, "\r\n.\n");
  return s;
}

// The FTP server in a folder of its own: `root` is what it serves, `log`
// the commands it received; `behaviour` picks one of the script's ways.
struct FtpServer {
  mailtest::TempDir dir;
  std::string root = dir / "root";
  std::string log = dir / "ftpd.log";
  std::unique_ptr<PythonServer> server;
  explicit FtpServer(const std::string& behaviour = "normal") {
    std::filesystem::create_directory(root);
    server = std::make_unique<PythonServer>(dir.Path(), "ftpd", kFtpScript,
                                            std::vector<std::string>{root, log, behaviour});
  }
  // The commands the server received, one a line.
  std::string Commands() const {
    std::string out;
    std::istringstream in(ReadFile(log));
    for (std::string line; std::getline(in, line);) {
      const size_t at = line.find("<- ");
      if (at != std::string::npos) out += line.substr(at + 3) + "\n";
    }
    return out;
  }
  // How many received commands begin with `command`.
  int Count(const std::string& command) const {
    const std::string text = ReadFile(log);
    int n = 0;
    for (size_t at = 0; (at = text.find("<- " + command, at)) != std::string::npos; ++at) ++n;
    return n;
  }
};

}  // namespace nettest
