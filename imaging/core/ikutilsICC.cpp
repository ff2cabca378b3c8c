#include "imaging/core/ikutilsICC.h"

#include <atomic>
#include <cstring>

#include "platform/shell/ColorManagement.h"

namespace imaging {

namespace {

shell::COLORTYPE ColorTypeOf(int32_t layout) {
  switch (layout) {
    case iccCMYKInv:
    case iccCMYK: return shell::COLOR_CMYK;
    case iccCIELab: return shell::COLOR_Lab;
    case iccGray: return shell::COLOR_GRAY;
    case iccThreeChannel: return shell::COLOR_3_CHANNEL;
    default: return shell::COLOR_RGB;
  }
}

// Every profile opened or closed in the process gets a new number.
std::atomic<uint64_t> profileGenerations{0};

bool KnownLayout(int32_t layout) { return layout >= iccRGB && layout <= iccThreeChannel; }

inline uint16_t Widen(uint8_t v) { return static_cast<uint16_t>(v * 257); }
inline uint8_t Narrow(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

void Load(int32_t layout, const uint8_t* in, int32_t count, shell::COLOR* out) {
  for (int32_t i = 0; i < count; ++i) {
    uint16_t* c = out[i].ch;
    switch (layout) {
      case iccRGB:
      case iccThreeChannel:
        for (int k = 0; k < 3; ++k) c[k] = Widen(in[3 * i + k]);
        break;
      case iccBGR:
        // Read in place of exchanging the caller's bytes.
        for (int k = 0; k < 3; ++k) c[k] = Widen(in[3 * i + 2 - k]);
        break;
      case iccCMYKInv:
        for (int k = 0; k < 4; ++k) c[k] = Widen(static_cast<uint8_t>(255 - in[4 * i + k]));
        break;
      case iccCMYK:
        for (int k = 0; k < 4; ++k) c[k] = Widen(in[4 * i + k]);
        break;
      case iccCIELab:
        c[0] = Widen(in[3 * i]);
        c[1] = Widen(static_cast<uint8_t>(static_cast<int8_t>(in[3 * i + 1]) + 128));
        c[2] = Widen(static_cast<uint8_t>(static_cast<int8_t>(in[3 * i + 2]) + 128));
        break;
      case iccGray: c[0] = Widen(in[i]); break;
      case iccRGB48:
      case iccRGB48Swapped:
        for (int k = 0; k < 3; ++k) {
          uint16_t v;
          std::memcpy(&v, in + 6 * i + 2 * k, 2);
          c[k] = layout == iccRGB48 ? v : static_cast<uint16_t>(v >> 8 | v << 8);
        }
        break;
      default: break;
    }
  }
}

void Store(int32_t layout, const shell::COLOR* in, int32_t count, uint8_t* out) {
  for (int32_t i = 0; i < count; ++i) {
    const uint16_t* c = in[i].ch;
    switch (layout) {
      case iccRGB:
      case iccThreeChannel:
        for (int k = 0; k < 3; ++k) out[3 * i + k] = Narrow(c[k]);
        break;
      case iccBGR:
        for (int k = 0; k < 3; ++k) out[3 * i + 2 - k] = Narrow(c[k]);
        break;
      case iccCMYKInv:
        for (int k = 0; k < 4; ++k) out[4 * i + k] = static_cast<uint8_t>(255 - Narrow(c[k]));
        break;
      case iccCMYK:
        for (int k = 0; k < 4; ++k) out[4 * i + k] = Narrow(c[k]);
        break;
      case iccCIELab:
        out[3 * i] = Narrow(c[0]);
        out[3 * i + 1] = static_cast<uint8_t>(static_cast<int8_t>(Narrow(c[1]) - 128));
        out[3 * i + 2] = static_cast<uint8_t>(static_cast<int8_t>(Narrow(c[2]) - 128));
        break;
      case iccGray: out[i] = Narrow(c[0]); break;
      case iccRGB48:
      case iccRGB48Swapped:
        for (int k = 0; k < 3; ++k) {
          const uint16_t v = layout == iccRGB48 ? c[k] : static_cast<uint16_t>(c[k] >> 8 | c[k] << 8);
          std::memcpy(out + 6 * i + 2 * k, &v, 2);
        }
        break;
      default: break;
    }
  }
}

}  // namespace

bool LoadICCLibrary() { return true; }

TIKICC::~TIKICC() { Clear(); }

bool TIKICC::LoadFromBuffer(const void* data, int32_t size) {
  Clear();
  if (!data || size <= 0) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  bytes_.assign(bytes, bytes + size);
  return OpenProfile();
}

void TIKICC::Assign(TIKICC* source) {
  if (source == this) return;
  Clear();
  if (!source) return;
  bytes_ = source->bytes_;
  if (!bytes_.empty()) OpenProfile();
}

void TIKICC::Clear() {
  FreeProfile();
  bytes_.clear();
  transformed_ = false;
}

bool TIKICC::OpenProfile() {
  if (bytes_.empty()) return false;
  FreeProfile();
  shell::PROFILE p;
  p.dwType = shell::PROFILE_MEMBUFFER;
  p.pProfileData = bytes_.data();
  p.cbDataSize = static_cast<uint32_t>(bytes_.size());
  profile_ = shell::OpenColorProfile(&p, shell::PROFILE_READ, shell::FILE_SHARE_READ, shell::OPEN_EXISTING);
  generation_ = ++profileGenerations;
  return profile_ != nullptr;
}

void TIKICC::OpenSRGB() {
  Clear();
  shell::PROFILE p;
  p.dwType = shell::PROFILE_FILENAME;
  p.pProfileData = shell::SRGB_PROFILE_NAME;
  p.cbDataSize = static_cast<uint32_t>(std::strlen(shell::SRGB_PROFILE_NAME));
  profile_ = shell::OpenColorProfile(&p, shell::PROFILE_READ, shell::FILE_SHARE_READ, shell::OPEN_EXISTING);
  generation_ = ++profileGenerations;
}

void TIKICC::FreeProfile() {
  FreeTransform();
  if (profile_) shell::CloseColorProfile(profile_);
  profile_ = nullptr;
  generation_ = ++profileGenerations;
}

void TIKICC::FreeTransform() {
  if (transform_) shell::DeleteColorTransform(transform_);
  transform_ = nullptr;
  transformSource_ = transformDest_ = -1;
  transformTarget_ = nullptr;
}

bool TIKICC::Transform(TIKICC* destProfile, int32_t sourceLayout, int32_t count, void* dest, const void* source,
                       int32_t, int32_t, int32_t destLayout) {
  if (!destProfile || !profile_ || !destProfile->profile_ || !KnownLayout(sourceLayout) || !KnownLayout(destLayout))
    return false;
  // The cache also remembers which profile it leads to: the same layouts
  // towards another profile need another transform.
  if (!transform_ || transformSource_ != sourceLayout || transformDest_ != destLayout ||
      transformTarget_ != destProfile || transformTargetGeneration_ != destProfile->generation_) {
    FreeTransform();
    shell::HPROFILE chain[2] = {profile_, destProfile->profile_};
    const uint32_t intents[2] = {shell::INTENT_PERCEPTUAL, shell::INTENT_PERCEPTUAL};
    transform_ = shell::CreateMultiProfileTransform(chain, 2, intents, 2,
                                                    shell::BEST_MODE | shell::USE_RELATIVE_COLORIMETRIC,
                                                    shell::INDEX_DONT_CARE);
    if (!transform_) return false;
    transformSource_ = sourceLayout;
    transformDest_ = destLayout;
    transformTarget_ = destProfile;
    transformTargetGeneration_ = destProfile->generation_;
  }
  if (count <= 0) return true;
  std::vector<shell::COLOR> in(static_cast<size_t>(count)), out(static_cast<size_t>(count));
  Load(sourceLayout, static_cast<const uint8_t*>(source), count, in.data());
  if (!shell::TranslateColors(transform_, in.data(), static_cast<uint32_t>(count), ColorTypeOf(sourceLayout),
                              out.data(), ColorTypeOf(destLayout)))
    return false;
  Store(destLayout, out.data(), count, static_cast<uint8_t*>(dest));
  transformed_ = true;
  return true;
}

}  // namespace imaging
