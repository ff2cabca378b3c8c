#include "platform/win/ComInit.h"

namespace win {

namespace {
thread_local int t_initCount = 0;
}

HRESULT CoInitialize(void*) { return t_initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_initCount > 0) --t_initCount;
}

int CoInitializeCount() { return t_initCount; }

}  // namespace win
