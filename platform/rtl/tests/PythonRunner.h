#pragma once
// Runs Python, the peer the runtime's tests check their answers against.
// The script goes through a file, so no shell quoting can change it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace rtltest {

inline std::string WriteTempFile(const std::string& contents) {
  char path[] = "/tmp/vorix_py_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return {};
  FILE* f = fdopen(fd, "w");
  std::fwrite(contents.data(), 1, contents.size(), f);
  std::fclose(f);
  return path;
}

inline std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// What the script printed; `status` gets pclose's result when given.
inline std::string RunPython(const std::string& script, const std::vector<std::string>& args = {},
                             int* status = nullptr) {
  const std::string scriptPath = WriteTempFile(script);
  std::string cmd = "/usr/bin/python3 " + scriptPath;
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  std::string out;
  int rc = -1;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    rc = pclose(p);
  }
  if (status) *status = rc;
  std::remove(scriptPath.c_str());
  return out;
}

// Runs the script with the path of a file holding `input` as its argument.
inline std::string RunPythonOnInput(const std::string& script, const std::string& input) {
  const std::string inputPath = WriteTempFile(input);
  std::string out = RunPython(script, {inputPath});
  std::remove(inputPath.c_str());
  return out;
}

}  // namespace rtltest
