#pragma once
// TIKIOThread carries one load or save of an input/output component to a
// thread of its own. It runs the same operation again with the same
// arguments; on the thread the component sees one of its own I/O threads
// and does the work there.
#include <cstdint>
#include <functional>

#include "platform/rtl/Threads.h"

namespace imaging {

class TImgKitIO;

// What the thread calls, by the shape of the operation's arguments.
enum : uint8_t {
  iotkFileName = 0,
  iotkStream = 1,
  iotkFileNameResult = 2,
  iotkStreamResult = 4,
  iotkFileNameFormat = 5,
  iotkStreamFormat = 6,
  iotkFrameIndex = 8,
  iotkMetafile = 9,
  iotkUrl = 10,
};

// The thread lists itself with its owner before it starts and removes
// itself when the operation has ended; it frees itself afterwards and
// touches the owner no more, so the owner may go as soon as its list is
// empty.
class TIKIOThread : public rtl::TThread {
public:
  // Starts the operation at once; the caller does not keep the object.
  static void Launch(TImgKitIO* owner, uint8_t kind, std::function<void()> operation);

  uint8_t Kind() const { return kind_; }

protected:
  void Execute() override;

private:
  TIKIOThread(TImgKitIO* owner, uint8_t kind, std::function<void()> operation);

  TImgKitIO* owner_;
  uint8_t kind_;
  std::function<void()> operation_;
};

}  // namespace imaging
