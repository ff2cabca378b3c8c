// Reading what a device node offers. Drivers answer in many ways (discrete
// or stepwise sizes, none at all, intervals of 0/0), so every answer is
// checked before it becomes a format the program may choose.
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "platform/mg/v4l2/V4l2Capture.h"

namespace mg::v4l2 {

namespace {

// Enumerations stop here even when a driver keeps answering.
constexpr uint32_t kMaxEntries = 256;

std::string Text(const uint8_t* s, size_t n) {
  const size_t len = strnlen(reinterpret_cast<const char*>(s), n);
  return std::string(reinterpret_cast<const char*>(s), len);
}

// Sizes tried where the driver gives a range or no list at all.
constexpr int kLadder[][2] = {{160, 120}, {176, 144}, {320, 240}, {352, 288}, {640, 480},
                              {720, 480}, {720, 576}, {768, 576}, {800, 600}, {1024, 768},
                              {1280, 720}, {1280, 960}, {1280, 1024}, {1920, 1080}};

bool SaneSize(int64_t w, int64_t h) { return w > 0 && h > 0 && w <= kLargestSide && h <= kLargestSide; }

REFERENCE_TIME IntervalOf(uint32_t num, uint32_t den) {
  if (num == 0 || den == 0) return 0;
  const REFERENCE_TIME t = static_cast<REFERENCE_TIME>((static_cast<unsigned __int128>(num) * 10'000'000u + den / 2) / den);
  return t >= kShortestInterval && t <= kLongestInterval ? t : 0;
}

int Open(V4l2Io& io, const std::string& path) { return io.Open(path); }

std::vector<REFERENCE_TIME> Intervals(V4l2Io& io, int fd, uint32_t fourcc, int w, int h) {
  std::vector<REFERENCE_TIME> list;
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_frmivalenum e{};
    e.index = i;
    e.pixel_format = fourcc;
    e.width = static_cast<uint32_t>(w);
    e.height = static_cast<uint32_t>(h);
    if (io.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &e) != 0) break;
    if (e.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      if (REFERENCE_TIME t = IntervalOf(e.discrete.numerator, e.discrete.denominator)) list.push_back(t);
    } else {
      // A range: its ends are what the stream config reports.
      REFERENCE_TIME lo = IntervalOf(e.stepwise.min.numerator, e.stepwise.min.denominator);
      REFERENCE_TIME hi = IntervalOf(e.stepwise.max.numerator, e.stepwise.max.denominator);
      if (lo) list.push_back(lo);
      if (hi) list.push_back(hi);
      break;
    }
  }
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  return list;
}

void AddSizes(V4l2Io& io, int fd, uint32_t fourcc, const GUID& subtype, std::vector<FormatSize>& out) {
  std::vector<std::pair<int, int>> sizes;
  uint32_t i = 0;
  for (; i < kMaxEntries; ++i) {
    v4l2_frmsizeenum e{};
    e.index = i;
    e.pixel_format = fourcc;
    if (io.Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &e) != 0) break;
    if (e.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      if (SaneSize(e.discrete.width, e.discrete.height))
        sizes.emplace_back(static_cast<int>(e.discrete.width), static_cast<int>(e.discrete.height));
      continue;
    }
    const auto& s = e.stepwise;
    const uint32_t sw = std::max<uint32_t>(s.step_width, 1), sh = std::max<uint32_t>(s.step_height, 1);
    for (auto& l : kLadder) {
      const uint32_t w = static_cast<uint32_t>(l[0]), h = static_cast<uint32_t>(l[1]);
      if (w < s.min_width || w > s.max_width || h < s.min_height || h > s.max_height) continue;
      if ((w - s.min_width) % sw || (h - s.min_height) % sh) continue;
      sizes.emplace_back(l[0], l[1]);
    }
    if (SaneSize(s.max_width, s.max_height))
      sizes.emplace_back(static_cast<int>(s.max_width), static_cast<int>(s.max_height));
    break;
  }
  if (i == 0) {
    // No size list (older capture-card drivers): the ladder's sizes the
    // driver takes unchanged.
    for (auto& l : kLadder) {
      v4l2_format f{};
      f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      f.fmt.pix.pixelformat = fourcc;
      f.fmt.pix.width = static_cast<uint32_t>(l[0]);
      f.fmt.pix.height = static_cast<uint32_t>(l[1]);
      f.fmt.pix.field = V4L2_FIELD_ANY;
      if (io.Ioctl(fd, VIDIOC_TRY_FMT, &f) == 0 && f.fmt.pix.pixelformat == fourcc &&
          f.fmt.pix.width == static_cast<uint32_t>(l[0]) && f.fmt.pix.height == static_cast<uint32_t>(l[1]))
        sizes.emplace_back(l[0], l[1]);
    }
  }
  std::sort(sizes.begin(), sizes.end());
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  for (auto& [w, h] : sizes) {
    FormatSize fs;
    fs.subtype = subtype;
    fs.fourcc = fourcc;
    fs.width = w;
    fs.height = h;
    fs.intervals = Intervals(io, fd, fourcc, w, h);
    if (fs.intervals.empty()) {
      // No interval list: the stream's current one, else 30 frames a second.
      v4l2_streamparm p{};
      p.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      REFERENCE_TIME t = 0;
      if (io.Ioctl(fd, VIDIOC_G_PARM, &p) == 0)
        t = IntervalOf(p.parm.capture.timeperframe.numerator, p.parm.capture.timeperframe.denominator);
      fs.intervals.push_back(t ? t : 333'333);
    }
    out.push_back(std::move(fs));
  }
}

}  // namespace

GUID SubtypeOfFourcc(uint32_t fourcc) {
  switch (fourcc) {
    case V4L2_PIX_FMT_YUYV: return MEDIASUBTYPE_YUY2;
    case V4L2_PIX_FMT_UYVY: return MEDIASUBTYPE_UYVY;
    case V4L2_PIX_FMT_YUV420: return MEDIASUBTYPE_I420;
    case V4L2_PIX_FMT_YVU420: return MEDIASUBTYPE_YV12;
    case V4L2_PIX_FMT_BGR24: return MEDIASUBTYPE_RGB24;
    case V4L2_PIX_FMT_BGR32:
    case V4L2_PIX_FMT_XBGR32:
    case V4L2_PIX_FMT_ABGR32: return MEDIASUBTYPE_RGB32;
    case V4L2_PIX_FMT_RGB565: return MEDIASUBTYPE_RGB565;
    case V4L2_PIX_FMT_RGB555: return MEDIASUBTYPE_RGB555;
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG: return MEDIASUBTYPE_MJPG;
    default: return GUID_NULL;
  }
}

bool QueryCaptureNode(V4l2Io& io, const std::string& path, DeviceInfo* info) {
  const int fd = Open(io, path);
  if (fd < 0) return false;
  v4l2_capability cap{};
  const bool ok = io.Ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
  io.Close(fd);
  if (!ok) return false;
  // A node's own capabilities; a UVC camera's second node is metadata only.
  const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) return false;
  info->path = path;
  info->driver = Text(cap.driver, sizeof cap.driver);
  info->card = Text(cap.card, sizeof cap.card);
  info->busInfo = Text(cap.bus_info, sizeof cap.bus_info);
  info->capabilities = caps;
  if (info->card.empty()) info->card = path;
  return true;
}

bool ProbeDevice(V4l2Io& io, const std::string& path, DeviceInfo* info) {
  *info = DeviceInfo{};
  if (!QueryCaptureNode(io, path, info)) return false;
  const int fd = Open(io, path);
  if (fd < 0) return false;
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_fmtdesc d{};
    d.index = i;
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io.Ioctl(fd, VIDIOC_ENUM_FMT, &d) != 0) break;
    const GUID subtype = SubtypeOfFourcc(d.pixelformat);
    if (subtype == GUID_NULL) continue;
    // Two V4L2 formats may map to one subtype (JPEG and MJPG): the first wins.
    if (std::any_of(info->formats.begin(), info->formats.end(),
                    [&](const FormatSize& f) { return f.subtype == subtype; }))
      continue;
    AddSizes(io, fd, d.pixelformat, subtype, info->formats);
  }
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_input in{};
    in.index = i;
    if (io.Ioctl(fd, VIDIOC_ENUMINPUT, &in) != 0) break;
    InputInfo ii;
    ii.name = Text(in.name, sizeof in.name);
    ii.tuner = in.type == V4L2_INPUT_TYPE_TUNER;
    std::string lower = ii.name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lower.erase(std::remove(lower.begin(), lower.end(), '-'), lower.end());
    ii.sVideo = lower.find("svideo") != std::string::npos || lower.find("s video") != std::string::npos;
    ii.audioset = in.audioset;
    info->standards |= in.std;
    if (ii.tuner) {
      info->hasTuner = true;
      info->tunerIndex = in.tuner;
    }
    info->inputs.push_back(std::move(ii));
  }
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_standard s{};
    s.index = i;
    if (io.Ioctl(fd, VIDIOC_ENUMSTD, &s) != 0) break;
    info->standards |= s.id;
  }
  for (uint32_t i = 0; i < 32; ++i) {
    v4l2_audio a{};
    a.index = i;
    if (io.Ioctl(fd, VIDIOC_ENUMAUDIO, &a) != 0) break;
    info->audioInputs.push_back({Text(a.name, sizeof a.name), a.index});
  }
  if (info->hasTuner) {
    v4l2_tuner t{};
    t.index = info->tunerIndex;
    if (io.Ioctl(fd, VIDIOC_G_TUNER, &t) == 0) {
      info->tunerCapability = t.capability;
      info->rangeLow = t.rangelow;
      info->rangeHigh = t.rangehigh;
    } else {
      info->hasTuner = false;
    }
  }
  io.Close(fd);
  return true;
}

namespace {
struct StdPair {
  uint64_t v4l2;
  LONG analog;
};
constexpr StdPair kStandards[] = {
    {V4L2_STD_NTSC_M, AnalogVideo_NTSC_M},     {V4L2_STD_NTSC_M_JP, AnalogVideo_NTSC_M_J},
    {V4L2_STD_NTSC_443, AnalogVideo_NTSC_433}, {V4L2_STD_PAL_B, AnalogVideo_PAL_B},
    {V4L2_STD_PAL_D, AnalogVideo_PAL_D},       {V4L2_STD_PAL_G, AnalogVideo_PAL_G},
    {V4L2_STD_PAL_H, AnalogVideo_PAL_H},       {V4L2_STD_PAL_I, AnalogVideo_PAL_I},
    {V4L2_STD_PAL_M, AnalogVideo_PAL_M},       {V4L2_STD_PAL_N, AnalogVideo_PAL_N},
    {V4L2_STD_PAL_60, AnalogVideo_PAL_60},     {V4L2_STD_SECAM_B, AnalogVideo_SECAM_B},
    {V4L2_STD_SECAM_D, AnalogVideo_SECAM_D},   {V4L2_STD_SECAM_G, AnalogVideo_SECAM_G},
    {V4L2_STD_SECAM_H, AnalogVideo_SECAM_H},   {V4L2_STD_SECAM_K, AnalogVideo_SECAM_K},
    {V4L2_STD_SECAM_K1, AnalogVideo_SECAM_K1}, {V4L2_STD_SECAM_L, AnalogVideo_SECAM_L},
    {V4L2_STD_SECAM_LC, AnalogVideo_SECAM_L1}, {V4L2_STD_PAL_Nc, AnalogVideo_PAL_N_COMBO},
};
}  // namespace

LONG AnalogStandardsOf(uint64_t v4l2Std) {
  LONG out = 0;
  for (const StdPair& p : kStandards)
    if (v4l2Std & p.v4l2) out |= p.analog;
  return out;
}

uint64_t V4l2StandardOf(LONG analog) {
  uint64_t out = 0;
  for (const StdPair& p : kStandards)
    if (analog & p.analog) out |= p.v4l2;
  return out;
}

}  // namespace mg::v4l2
