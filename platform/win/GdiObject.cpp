#include "platform/win/GdiObject.h"

namespace win {

HandleTable<GdiObject>& GdiObjects() {
  static HandleTable<GdiObject> table;
  return table;
}

HGDIOBJ AddGdiObject(std::shared_ptr<GdiObject> object) {
  return reinterpret_cast<HGDIOBJ>(GdiObjects().Add(std::move(object)));
}

BOOL DeleteObject(HGDIOBJ object) {
  auto found = GdiObjects().Find(reinterpret_cast<uintptr_t>(object));
  if (!found) return FALSE;
  if (found->stock) return TRUE;
  GdiObjects().Remove(reinterpret_cast<uintptr_t>(object));
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ object) {
  auto found = GdiObjects().Find(reinterpret_cast<uintptr_t>(object));
  return found ? static_cast<DWORD>(found->Kind()) : 0;
}

}  // namespace win
