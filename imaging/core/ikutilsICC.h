#pragma once
// TIKICC, one ICC colour profile of an image (the input or the output
// profile of its parameters), with the transform to another profile cached
// for the last pair of pixel layouts.
#include <cstdint>
#include <vector>

#include "imaging/core/ikdefs.h"
#include "platform/forms/Classes.h"

namespace shell {
struct ColorProfile;
struct ColorTransform;
}  // namespace shell

namespace imaging {

// Pixel layouts of TIKICC::Transform.
enum : int32_t {
  iccRGB = 0,       // 3 bytes red, green, blue
  iccBGR = 1,       // 3 bytes blue, green, red
  iccCMYKInv = 2,   // 4 bytes CMYK stored inverted
  iccCMYK = 3,      // 4 bytes CMYK
  iccCIELab = 4,    // L byte, a and b signed bytes
  iccGray = 5,      // 1 byte
  iccRGB48 = 6,     // 3 16-bit words red, green, blue
  iccRGB48Swapped = 7,
  iccThreeChannel = 8,
};

// The platform's colour management is linked in, so this is always true;
// it stays for callers that ask before they use profiles.
bool LoadICCLibrary();

class TIKICC : public forms::TObject {
public:
  TIKICC() = default;
  ~TIKICC() override;
  TIKICC(const TIKICC&) = delete;
  TIKICC& operator=(const TIKICC&) = delete;

  // Keeps a copy of the bytes and opens them; false when they are not a
  // usable profile.
  bool LoadFromBuffer(const void* data, int32_t size);
  void Assign(TIKICC* source);
  void Clear();
  bool IsValid() const { return profile_ != nullptr; }
  bool OpenProfile();
  // The standard sRGB profile (the output profile of every parameter set).
  void OpenSRGB();
  void FreeProfile();
  void FreeTransform();

  // Converts `count` pixels of `source` (sourceLayout) into `dest`
  // (destLayout) through this profile and `destProfile`. False when no
  // transform could be made or the layouts do not fit the profiles; then
  // nothing is written and the caller's own conversion applies.
  bool Transform(TIKICC* destProfile, int32_t sourceLayout, int32_t count, void* dest, const void* source,
                 int32_t reserved1, int32_t reserved2, int32_t destLayout);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  int32_t Size() const { return static_cast<int32_t>(bytes_.size()); }
  bool Transformed() const { return transformed_; }

private:
  std::vector<uint8_t> bytes_;
  shell::ColorProfile* profile_ = nullptr;
  bool transformed_ = false;
  shell::ColorTransform* transform_ = nullptr;
  int32_t transformSource_ = -1;
  int32_t transformDest_ = -1;
  // The destination the cached transform leads to, by identity and by the
  // generation of its profile: a profile reopened at the same address is
  // another profile.
  TIKICC* transformTarget_ = nullptr;
  uint64_t transformTargetGeneration_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace imaging
