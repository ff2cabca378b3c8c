#pragma once
// A tiny picture format for the input/output component's tests: "XTST",
// width and height as one byte each, then the rows top first as blue,
// green, red bytes. It serves as a format added at run time (registry
// functions) and as a stand-in filter for a built-in id, and counts what
// the component calls.
#include <atomic>
#include <cstring>
#include <string>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/imgkitio.h"

namespace imaging::testing {

struct XtstCounters {
  std::atomic<int> reads{0};
  std::atomic<int> paramsReads{0};
  std::atomic<int> writes{0};
  std::atomic<int> probes{0};
  std::atomic<int> lastWrittenFormat{-1};
  void Reset() {
    reads = paramsReads = writes = probes = 0;
    lastWrittenFormat = -1;
  }
};

inline XtstCounters& Xtst() {
  static XtstCounters counters;
  return counters;
}

inline constexpr int32_t XtstId = 100;

inline void XtstRead(rtl::TStream& s, TIKBitmap* b, TIOParamsVals& p, bool paramsOnly, TProgressRec& pr) {
  ++(paramsOnly ? Xtst().paramsReads : Xtst().reads);
  char magic[4] = {};
  uint8_t wh[2] = {};
  if (s.Read(magic, 4) != 4 || std::memcmp(magic, "XTST", 4) != 0 || s.Read(wh, 2) != 2) {
    *pr.AbortFlag = true;
    return;
  }
  p.Width = wh[0];
  p.Height = wh[1];
  // No resolution in the file: the component supplies the default.
  p.SetDpiX(0);
  p.SetDpiY(0);
  if (paramsOnly) return;
  b->Allocate(wh[0], wh[1], ikRGB24);
  for (int32_t y = 0; y < wh[1]; ++y) {
    if (*pr.AbortFlag) return;
    if (s.Read(b->ScanLine(y), wh[0] * 3) != wh[0] * 3) {
      *pr.AbortFlag = true;
      return;
    }
    if (pr.Callback && y == (wh[1] - 1) / 2) pr.Callback(pr.CallbackData, pr.Sender, 50);
  }
}

inline void XtstWrite(rtl::TStream& s, TIKBitmap* b, TIOParamsVals&, TProgressRec&) {
  ++Xtst().writes;
  Xtst().lastWrittenFormat = b->PixelFormat();
  const uint8_t wh[2] = {static_cast<uint8_t>(b->Width()), static_cast<uint8_t>(b->Height())};
  s.WriteBuffer("XTST", 4);
  s.WriteBuffer(wh, 2);
  if (b->PixelFormat() != ikRGB24) return;
  for (int32_t y = 0; y < b->Height(); ++y) s.WriteBuffer(b->ScanLine(y), b->Width() * 3);
}

inline bool XtstProbe(rtl::TStream& s, int32_t) {
  ++Xtst().probes;
  char magic[4] = {};
  return s.Read(magic, 4) == 4 && std::memcmp(magic, "XTST", 4) == 0;
}

// The same format as a built-in filter.
inline void XtstFilterRead(TIKFilterReadArgs& a) {
  XtstRead(*a.Stream, a.Bitmap, *a.Params, a.ParamsOnly, *a.Progress);
  a.ImageCount = 1;
}
inline void XtstFilterWrite(TIKFilterWriteArgs& a) { XtstWrite(*a.Stream, a.Bitmap, *a.Params, *a.Progress); }

// Registers the format for the lifetime of the object.
class XtstRegistration {
public:
  explicit XtstRegistration(int32_t id = XtstId, const char* extensions = "XTS;XTT") : id_(id) {
    TFormatRegistryRecord r;
    r.FormatId = id;
    r.Description = "Test format";
    r.Extensions = extensions;
    r.ReadFunction = XtstRead;
    r.WriteFunction = XtstWrite;
    r.ProbeFunction = XtstProbe;
    RegisterFileFormat(r);
    Xtst().Reset();
  }
  ~XtstRegistration() { UnregisterFileFormat(id_); }
  XtstRegistration(const XtstRegistration&) = delete;
  XtstRegistration& operator=(const XtstRegistration&) = delete;

private:
  int32_t id_;
};

// Puts a built-in format's filter in place (or removes it) for the
// lifetime of the object, then restores what was installed before.
class FilterOverride {
public:
  FilterOverride(int32_t id, TIKFilterReadProc read, TIKFilterWriteProc write)
      : id_(id), read_(FormatReader(id)), write_(FormatWriter(id)) {
    InstallFormatFilter(id, read, write);
    Xtst().Reset();
  }
  ~FilterOverride() { InstallFormatFilter(id_, read_, write_); }
  FilterOverride(const FilterOverride&) = delete;
  FilterOverride& operator=(const FilterOverride&) = delete;

private:
  int32_t id_;
  TIKFilterReadProc read_;
  TIKFilterWriteProc write_;
};

// A 3 x 2 picture whose every pixel differs.
inline void FillSample(TIKBitmap& b) {
  b.Allocate(3, 2, ikRGB24);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x)
      b.SetPixelRGB24(x, y, CreateRGB(static_cast<uint8_t>(10 + x), static_cast<uint8_t>(20 + y), 30));
}

inline std::string XtstSampleBytes() {
  std::string s = "XTST";
  s.push_back(3);
  s.push_back(2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      s.push_back(30);
      s.push_back(static_cast<char>(20 + y));
      s.push_back(static_cast<char>(10 + x));
    }
  return s;
}

inline bool IsSample(TIKBitmap& b) {
  if (b.Width() != 3 || b.Height() != 2 || b.PixelFormat() != ikRGB24) return false;
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x)
      if (!(b.GetPixelRGB24(x, y) == CreateRGB(static_cast<uint8_t>(10 + x), static_cast<uint8_t>(20 + y), 30)))
        return false;
  return true;
}

}  // namespace imaging::testing
