// Message hooks.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {
namespace {

struct Hook {
  HHOOK handle;
  int id;
  HOOKPROC proc;
  DWORD threadId;
};

std::mutex& hookMutex() {
  static std::mutex m;
  return m;
}
std::vector<Hook>& hooks() {
  static std::vector<Hook> v;  // newest first
  return v;
}
uintptr_t nextHook = 0x7FE00000;

// The chain for the calling thread, newest first.
std::vector<Hook> chainFor(int id) {
  const DWORD me = CurrentQueue()->threadId;
  std::lock_guard lock(hookMutex());
  std::vector<Hook> out;
  for (const auto& h : hooks())
    if (h.id == id && (h.threadId == 0 || h.threadId == me)) out.push_back(h);
  return out;
}

}  // namespace

void RunGetMessageHooks(MSG* msg, bool removed) {
  const auto chain = chainFor(WH_GETMESSAGE);
  if (chain.empty()) return;
  chain.front().proc(HC_ACTION, removed ? PM_REMOVE : PM_NOREMOVE, reinterpret_cast<LPARAM>(msg));
}

}  // namespace detail

using namespace detail;

static HHOOK setHook(int id, HOOKPROC proc, DWORD threadId) {
  if (id != WH_GETMESSAGE || !proc) return nullptr;
  std::lock_guard lock(hookMutex());
  const HHOOK h = ValueToHandle<HHOOK>(++nextHook);
  hooks().insert(hooks().begin(), Hook{h, id, proc, threadId});
  return h;
}

HHOOK SetWindowsHookExA(int id, HOOKPROC proc, HINSTANCE, DWORD threadId) { return setHook(id, proc, threadId); }
HHOOK SetWindowsHookExW(int id, HOOKPROC proc, HINSTANCE, DWORD threadId) { return setHook(id, proc, threadId); }

BOOL UnhookWindowsHookEx(HHOOK hook) {
  std::lock_guard lock(hookMutex());
  auto& v = hooks();
  auto it = std::find_if(v.begin(), v.end(), [&](const Hook& h) { return h.handle == hook; });
  if (it == v.end()) return FALSE;
  v.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  int id = -1;
  {
    std::lock_guard lock(hookMutex());
    for (const auto& h : hooks())
      if (h.handle == hook) id = h.id;
  }
  if (id < 0) return 0;
  const auto chain = chainFor(id);
  auto it = std::find_if(chain.begin(), chain.end(), [&](const Hook& h) { return h.handle == hook; });
  if (it == chain.end() || ++it == chain.end()) return 0;
  return it->proc(code, wParam, lParam);
}

}  // namespace win
