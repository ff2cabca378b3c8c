#pragma once
// Every drawing object (pen, brush, font, bitmap, region, palette) lives in
// one handle table, so DeleteObject, GetObjectType and SelectObject accept
// any of them and reject stale or foreign handles.
#include <memory>

#include "platform/win/HandleTable.h"
#include "platform/win/Types.h"

namespace win {

// The platform's OBJ_* numbers, as GetObjectType returns them.
enum class GdiKind : DWORD {
  Pen = 1,
  Brush = 2,
  DC = 3,
  Palette = 5,
  Font = 6,
  Bitmap = 7,
  Region = 8,
  MemDC = 10,
  ExtPen = 11,
};

class GdiObject {
public:
  virtual ~GdiObject() = default;
  virtual GdiKind Kind() const = 0;
  // Stock objects ignore DeleteObject.
  bool stock = false;
};

HandleTable<GdiObject>& GdiObjects();

// Registers an object and returns its handle (typed by the caller).
HGDIOBJ AddGdiObject(std::shared_ptr<GdiObject> object);

// The object behind a handle when it is alive and of type T.
template <class T>
std::shared_ptr<T> FindGdiObject(const void* handle) {
  return std::dynamic_pointer_cast<T>(GdiObjects().Find(reinterpret_cast<uintptr_t>(handle)));
}

// Frees a drawing object. A device context that still has it selected keeps
// it alive until it selects something else, so nothing dangles.
BOOL DeleteObject(HGDIOBJ object);
DWORD GetObjectType(HGDIOBJ object);

}  // namespace win
