#include "platform/shell/ColorManagement.h"

#include <lcms2.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace shell {

struct ColorProfile {
  cmsHPROFILE handle = nullptr;
  ~ColorProfile() {
    if (handle) cmsCloseProfile(handle);
  }
};

struct ColorTransform {
  // The chain is kept open so that each pair of colour types gets its own
  // transform, made on first use.
  std::vector<cmsHPROFILE> profiles;
  std::vector<cmsUInt32Number> intents;
  cmsUInt32Number flags = 0;
  std::mutex lock;
  std::map<std::pair<uint32_t, uint32_t>, cmsHTRANSFORM> made;
  ~ColorTransform() {
    for (auto& [key, t] : made)
      if (t) cmsDeleteTransform(t);
    for (cmsHPROFILE p : profiles) cmsCloseProfile(p);
  }
};

namespace {

int ChannelsOf(COLORTYPE type) {
  switch (type) {
    case COLOR_GRAY: return 1;
    case COLOR_CMYK: return 4;
    default: return 3;
  }
}

bool Fits(COLORTYPE type, cmsColorSpaceSignature space) {
  switch (type) {
    case COLOR_GRAY: return space == cmsSigGrayData;
    case COLOR_RGB: return space == cmsSigRgbData;
    case COLOR_Lab: return space == cmsSigLabData;
    case COLOR_CMYK: return space == cmsSigCmykData;
    case COLOR_XYZ: return space == cmsSigXYZData;
    case COLOR_Yxy: return space == cmsSigYxyData;
    case COLOR_3_CHANNEL: return cmsChannelsOf(space) == 3;
  }
  return false;
}

// 16-bit samples in COLOR records (4 words each, the unused ones skipped).
cmsUInt32Number FormatOf(COLORTYPE type) {
  const auto channels = static_cast<cmsUInt32Number>(ChannelsOf(type));
  return CHANNELS_SH(channels) | BYTES_SH(2) | EXTRA_SH(4 - channels);
}

// A copy of a profile for a transform that outlives its caller's handle.
cmsHPROFILE Duplicate(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0) return nullptr;
  std::vector<uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) return nullptr;
  return cmsOpenProfileFromMem(bytes.data(), size);
}

cmsHTRANSFORM Make(ColorTransform& t, cmsUInt32Number inFormat, cmsUInt32Number outFormat) {
  const auto n = static_cast<cmsUInt32Number>(t.profiles.size());
  std::vector<cmsBool> bpc(n, FALSE);
  std::vector<cmsFloat64Number> adaptation(n, 1.0);
  return cmsCreateExtendedTransform(nullptr, n, t.profiles.data(), bpc.data(), t.intents.data(), adaptation.data(),
                                    nullptr, 0, inFormat, outFormat, t.flags);
}

}  // namespace

rtl::String SystemColorDirectory() { return "/usr/share/color/icc/"; }

HPROFILE OpenColorProfile(const PROFILE* profile, uint32_t access, uint32_t, uint32_t) {
  if (!profile || !(access & PROFILE_READ)) return nullptr;
  auto result = std::make_unique<ColorProfile>();
  if (profile->dwType == PROFILE_MEMBUFFER) {
    if (!profile->pProfileData || profile->cbDataSize == 0) return nullptr;
    result->handle = cmsOpenProfileFromMem(profile->pProfileData, profile->cbDataSize);
  } else if (profile->dwType == PROFILE_FILENAME) {
    if (!profile->pProfileData || profile->cbDataSize == 0) return nullptr;
    rtl::String name(static_cast<const char*>(profile->pProfileData), profile->cbDataSize);
    while (!name.empty() && name.back() == '\0') name.pop_back();
    if (name == SRGB_PROFILE_NAME) {
      result->handle = cmsCreate_sRGBProfile();
    } else {
      if (name.find('/') == rtl::String::npos) name = SystemColorDirectory() + name;
      result->handle = cmsOpenProfileFromFile(name.c_str(), "r");
    }
  }
  if (!result->handle) return nullptr;
  return result.release();
}

bool CloseColorProfile(HPROFILE profile) {
  // Handles are owned objects: closing one deletes it.
  if (!profile) return false;
  delete profile;
  return true;
}

HTRANSFORM CreateMultiProfileTransform(const HPROFILE* profiles, uint32_t count, const uint32_t* intents,
                                       uint32_t intentCount, uint32_t flags, uint32_t) {
  if (!profiles || count == 0 || count > 255) return nullptr;
  auto t = std::make_unique<ColorTransform>();
  for (uint32_t i = 0; i < count; ++i) {
    if (!profiles[i] || !profiles[i]->handle) return nullptr;
    cmsHPROFILE copy = Duplicate(profiles[i]->handle);
    if (!copy) return nullptr;
    t->profiles.push_back(copy);
    t->intents.push_back(intentCount > 0 && intents ? intents[std::min(i, intentCount - 1)] : INTENT_PERCEPTUAL);
  }
  // Best mode asks for the most precise tables.
  if ((flags & 0xFFFF) == BEST_MODE) t->flags |= cmsFLAGS_HIGHRESPRECALC;
  // Probe the chain once so a broken one is refused here, not per call.
  const cmsColorSpaceSignature in = cmsGetColorSpace(t->profiles.front());
  const cmsColorSpaceSignature out =
      count == 1 ? cmsGetPCS(t->profiles.back()) : cmsGetColorSpace(t->profiles.back());
  const cmsUInt32Number inFormat = CHANNELS_SH(cmsChannelsOf(in)) | BYTES_SH(2);
  const cmsUInt32Number outFormat = CHANNELS_SH(cmsChannelsOf(out)) | BYTES_SH(2);
  cmsHTRANSFORM probe = Make(*t, inFormat, outFormat);
  if (!probe) return nullptr;
  cmsDeleteTransform(probe);
  return t.release();
}

bool DeleteColorTransform(HTRANSFORM transform) {
  if (!transform) return false;
  delete transform;
  return true;
}

bool TranslateColors(HTRANSFORM transform, const COLOR* input, uint32_t count, COLORTYPE inputType, COLOR* output,
                     COLORTYPE outputType) {
  if (!transform || !input || !output) return false;
  const auto count32 = static_cast<uint32_t>(transform->profiles.size());
  const cmsColorSpaceSignature in = cmsGetColorSpace(transform->profiles.front());
  const cmsColorSpaceSignature out =
      count32 == 1 ? cmsGetPCS(transform->profiles.back()) : cmsGetColorSpace(transform->profiles.back());
  if (!Fits(inputType, in) || !Fits(outputType, out)) return false;
  cmsHTRANSFORM t;
  {
    std::lock_guard guard(transform->lock);
    auto& slot = transform->made[{inputType, outputType}];
    if (!slot)
      slot = Make(*transform, FormatOf(inputType), FormatOf(outputType));
    t = slot;
  }
  if (!t) return false;
  if (count) cmsDoTransform(t, input, output, count);
  return true;
}

}  // namespace shell
