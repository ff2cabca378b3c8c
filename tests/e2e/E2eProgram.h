#pragma once
// The frame every test program of the whole-program checks shares: it opens
// X when a display is named, takes commands from stdin line by line, says
// XID and READY once its window shows and BYE after a clean end. The driver
// (harness.py) reads those lines.

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>

#include "platform/forms/Forms.h"
#include "platform/forms/Timers.h"
#include "platform/win/Display.h"
#include "platform/win/X11Backend.h"

namespace e2e {

inline void Say(const std::string& line) { std::cout << line << std::endl; }

// Windows go to X when a display is named and answers; without one the
// program runs on the headless screen (the reference renderings).
inline bool OpenDisplay() {
  if (std::getenv("DISPLAY") && !win::InitDisplay()) {
    std::cerr << "cannot open the X display\n";
    return false;
  }
  forms::Application->Initialize();
  return true;
}

// Reads what stdin has without waiting; whole lines become commands. End
// of input ends the program, so a driver that dies takes it along.
class CommandReader {
public:
  explicit CommandReader(std::function<void(const std::string&)> run) : run_(std::move(run)) {}
  void Poll() {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP))) {
      char chunk[512];
      const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
      if (n <= 0) {
        forms::Application->Terminate();
        return;
      }
      pending_.append(chunk, static_cast<size_t>(n));
      for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        run_(line);
      }
    }
  }

private:
  std::function<void(const std::string&)> run_;
  std::string pending_;
};

// The commands of a program that only shows something: "quit" ends it.
inline void QuitOnly(const std::string& line) {
  if (line == "quit")
    forms::Application->Terminate();
  else if (!line.empty())
    Say("ERROR unknown " + line);
}

// Shows the main form (unless the program showed it already), announces it
// and runs until "quit" or the end of input; then frees every form and
// leaves the display. `shown` runs once the form is on the screen.
inline int RunCommands(std::function<void(const std::string&)> run, bool showMainForm = true,
                       const std::function<void()>& shown = {}) {
  CommandReader reader(std::move(run));
  forms::TTimer timer(nullptr);
  timer.SetInterval(20);
  timer.OnTimer = [&reader](forms::TObject*) { reader.Poll(); };
  timer.SetEnabled(true);
  if (showMainForm) {
    forms::Application->MainForm()->Show();
    forms::Application->ProcessMessages();
  }
  if (shown) shown();
  if (win::X11DisplayActive()) {
    win::X11Sync();
    Say("XID " + std::to_string(win::X11WindowOf(forms::Application->MainForm()->Handle())));
  }
  Say("READY");
  forms::Application->Run();
  forms::Application->SetMainForm(nullptr);
  while (forms::Screen->FormCount() > 0) delete forms::Screen->Forms(0);
  win::ShutdownDisplay();
  Say("BYE");
  return 0;
}

}  // namespace e2e
