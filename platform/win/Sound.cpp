#include "platform/win/Sound.h"

#include <mutex>

#include "platform/win/WindowInternal.h"

namespace win {
namespace {

std::mutex& beepMutex() {
  static std::mutex m;
  return m;
}
std::vector<UINT>& beeps() {
  static std::vector<UINT> v;
  return v;
}

}  // namespace

namespace detail {
void BackendBeep(UINT type);
}

BOOL MessageBeep(UINT type) {
  {
    std::lock_guard lock(beepMutex());
    beeps().push_back(type);
  }
  detail::BackendBeep(type);
  return TRUE;
}

std::vector<UINT> RecordedBeeps() {
  std::lock_guard lock(beepMutex());
  return beeps();
}

void ClearBeeps() {
  std::lock_guard lock(beepMutex());
  beeps().clear();
}

}  // namespace win
