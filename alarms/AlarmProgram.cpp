#include "alarms/AlarmProgram.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace alarms {

std::vector<String> SplitParameters(const String& text) {
  std::vector<String> args;
  String current;
  bool inArg = false;
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote == '\'') {
      if (c == '\'')
        quote = 0;
      else
        current += c;
      continue;
    }
    if (c == '\\' && i + 1 < text.size() && (quote == 0 || text[i + 1] == '"' || text[i + 1] == '\\')) {
      current += text[++i];
      inArg = true;
      continue;
    }
    if (quote == '"') {
      if (c == '"')
        quote = 0;
      else
        current += c;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      inArg = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inArg) args.push_back(current);
      current.clear();
      inArg = false;
    } else {
      current += c;
      inArg = true;
    }
  }
  if (inArg) args.push_back(current);
  return args;
}

bool TProgramLauncher::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  // Ended (reaped now) or not ours to wait for any more.
  pid_ = 0;
  return false;
}

bool TProgramLauncher::Launch(const String& program, const String& parameters) {
  if (Running() || program.empty()) return false;
  std::vector<String> args;
  if (access(program.c_str(), X_OK) == 0) {
    args.push_back(program);
    for (String& a : SplitParameters(parameters)) args.push_back(std::move(a));
  } else {
    args = {"xdg-open", program};
  }
  std::vector<char*> argv;
  for (String& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int r = args[0] == "xdg-open" ? posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv.data(), environ)
                                      : posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (r != 0) return false;
  pid_ = pid;
  return true;
}

}  // namespace alarms
