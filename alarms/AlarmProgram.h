#pragma once
// Running the alarm program: the program is started directly with an
// argument vector made from the parameter text (no shell ever sees the
// text), and an instance still running is not started again, so an alarm
// that repeats with every frame cannot fill the machine with copies.
#include <sys/types.h>

#include <vector>

#include "platform/rtl/Types.h"

namespace alarms {

using rtl::String;

// Splits a parameter text into arguments the way a command line is read,
// without any expansion: blanks separate, double and single quotes group
// (a backslash inside double quotes or outside quotes takes the next
// character literally). An unclosed quote runs to the end of the text.
std::vector<String> SplitParameters(const String& text);

class TProgramLauncher {
public:
  TProgramLauncher() = default;
  TProgramLauncher(const TProgramLauncher&) = delete;
  TProgramLauncher& operator=(const TProgramLauncher&) = delete;

  // Starts `program` with the arguments of `parameters`, unless the
  // instance started last still runs. A file that is not executable is
  // handed to the desktop's opener instead (documents, scripts without the
  // x bit), without the parameters. True when a process was started.
  bool Launch(const String& program, const String& parameters);
  // Whether the process started last is still running (it is reaped once
  // it has ended).
  bool Running();
  pid_t LastPid() const { return pid_; }

private:
  pid_t pid_ = 0;
};

}  // namespace alarms
