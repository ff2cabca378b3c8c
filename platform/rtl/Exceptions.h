#pragma once
// The exception hierarchy. Every error the system raises derives from
// rtl::Exception so that callers (and the application's default handler)
// can catch one type and show Message().
#include <exception>

#include "platform/rtl/Types.h"

namespace rtl {

class Exception : public std::exception {
public:
  explicit Exception(String message) : message_(std::move(message)) {}
  const String& Message() const noexcept { return message_; }
  void SetMessage(String message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

private:
  String message_;
};

// A text that does not parse as the expected value, or a format string whose
// arguments do not match.
class EConvertError : public Exception { using Exception::Exception; };
// A failed file-system or device operation; ErrorCode() keeps errno.
class EInOutError : public Exception {
public:
  explicit EInOutError(String message, int errorCode = 0)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  int ErrorCode() const noexcept { return errorCode_; }

private:
  int errorCode_;
};
class ERangeError : public Exception { using Exception::Exception; };
class EOutOfMemory : public Exception { using Exception::Exception; };
// Silent exception: aborts an operation without an error message.
class EAbort : public Exception { using Exception::Exception; };
class EArgumentError : public Exception { using Exception::Exception; };
class EListError : public Exception { using Exception::Exception; };
class EStringListError : public EListError { using EListError::EListError; };
class EStreamError : public Exception { using Exception::Exception; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EIniFileException : public Exception { using Exception::Exception; };
class ERegistryException : public Exception { using Exception::Exception; };
class EThread : public Exception { using Exception::Exception; };

// Raises EAbort, the way code leaves an operation the user cancelled.
[[noreturn]] inline void Abort() { throw EAbort("Operation aborted"); }

}  // namespace rtl
