#pragma once
// The component-object start-up calls, per thread: there are no component
// servers here, but code that pairs the calls expects their answers (the
// first call on a thread succeeds with S_OK, later ones with S_FALSE, and
// each success is undone by one CoUninitialize).
#include "platform/win/Types.h"

namespace win {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// How many successful initialisations this thread has not undone.
int CoInitializeCount();

}  // namespace win
