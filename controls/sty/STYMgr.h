#pragma once
// The component a form holds to give sty controls a look read from a theme
// file. Only the face the controls read is here: whether a valid file is
// loaded and the element lookups by index. Reading theme files is not part
// of this library yet, so the component stays invalid unless a subclass
// supplies elements.
#include <cstdint>

#include "platform/forms/Components.h"
#include "platform/forms/Graphics.h"

namespace controls {

class TstyFileTheme : public forms::TComponent {
public:
  explicit TstyFileTheme(forms::TComponent* owner) : forms::TComponent(owner) {}

  virtual bool IsValid() const { return false; }
  virtual bool GetBool(int /*index*/) const { return false; }
  virtual int32_t GetInt(int /*index*/) const { return 0; }
  // Colours are stored as integers.
  forms::TColor GetColor(int index) const { return GetInt(index); }
  // Loads an image element into `graphic`; leaves it as it was without one.
  virtual void GetBitmap(int /*index*/, forms::TGraphic* /*graphic*/) const {}
};

}  // namespace controls
