#include "imaging/core/ikutils.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {

namespace {

constexpr TIKPixelFormatInfo kFormats[] = {
    {"ikNoFormat", 0, 0}, {"ikMono1", 1, 1},  {"ikPalette8", 8, 1}, {"ikGray8", 8, 1},  {"ikGray16", 16, 1},
    {"ikRGB24", 24, 3},   {"ik32f", 32, 1},   {"ikCMYK", 32, 4},    {"ikRGB48", 48, 3}, {"ikCIELab", 24, 3},
};

constexpr std::array<uint8_t, 256> kReversed = [] {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b)) r |= 0x80 >> b;
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}();

}  // namespace

const TIKPixelFormatInfo& IKPixelFormatInfo(TIKPixelFormat format) {
  return format <= ikCIELab ? kFormats[format] : kFormats[ikNoFormat];
}

// ---- THash1 ----

THash1::THash1(int32_t bits) : bits_(bits) {
  const size_t n = size_t{1} << bits;
  slotValue_.assign(n, 0);
  slotState_.assign(n, 0);
  slotData_.assign(n, nullptr);
  chains_.resize(n);
}

THash1::~THash1() {
  // Unlinked one by one so a long chain cannot exhaust the stack.
  for (auto& head : chains_) {
    while (head) head = std::move(head->next);
  }
}

bool THash1::Insert(uint32_t value) {
  const size_t slot = value & (slotValue_.size() - 1);
  switch (slotState_[slot]) {
    case 0:
      slotValue_[slot] = value;
      slotState_[slot] = 1;
      break;
    case 1: {
      if (slotValue_[slot] == value) return false;
      auto second = std::make_unique<Item>(Item{value, nullptr, nullptr});
      chains_[slot] = std::make_unique<Item>(Item{slotValue_[slot], std::move(second), slotData_[slot]});
      slotState_[slot] = 2;
      break;
    }
    default: {
      Item* item = chains_[slot].get();
      for (;;) {
        if (item->value == value) return false;
        if (!item->next) break;
        item = item->next.get();
      }
      item->next = std::make_unique<Item>(Item{value, nullptr, nullptr});
      break;
    }
  }
  ++count_;
  return true;
}

// ---- folders ----

bool DirectoryExists(const String& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ForceDirectories(const String& path) {
  if (path.empty()) throw EIKError("Cannot Create Directory");
  String dir = path;
  while (!dir.empty() && dir.back() == '/') dir.pop_back();
  // Only the root is left: it exists.
  if (dir.empty() || DirectoryExists(dir)) return;
  const size_t slash = dir.rfind('/');
  if (slash != String::npos && slash > 0) ForceDirectories(dir.substr(0, slash));
  ::mkdir(dir.c_str(), 0777);
}

// ---- bits and bytes ----

int32_t BitFieldWidth(uint32_t mask) {
  if (mask == 0) return 0;
  return std::countr_one(mask >> std::countr_zero(mask));
}

int32_t BitFieldEnd(uint32_t mask) {
  if (mask == 0) return -1;
  const int32_t highest = 31 - std::countl_zero(mask);
  return std::has_single_bit(mask) ? highest : highest + 1;
}

void ReverseBits(uint8_t& value) { value = kReversed[value]; }

void ReverseBits32(uint32_t& value) {
  uint32_t v = Swap32(value);
  v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
  v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
  v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
  value = v;
}

uint32_t Swap16(uint32_t value) { return (value & 0xFFFF0000u) | (value & 0xFF) << 8 | (value >> 8 & 0xFF); }

uint32_t Swap32(uint32_t value) { return __builtin_bswap32(value); }

// ---- rows and formats ----

int64_t BitmapRowLength(int64_t width, int32_t bitsPerPixel, int32_t alignment) {
  if (alignment == 32) return (width * bitsPerPixel + 31) / 32 * 4;
  if (alignment <= 0) return 0;
  return (width * bitsPerPixel + alignment - 1) / alignment * (alignment / 8);
}

int32_t PixelFormatBitCount(forms::TPixelFormat format) {
  switch (format) {
    case forms::pf1bit: return 1;
    case forms::pf4bit: return 4;
    case forms::pf8bit: return 8;
    case forms::pf15bit: return 15;
    case forms::pf16bit: return 16;
    case forms::pf24bit: return 24;
    case forms::pf32bit: return 32;
    default: return 0;
  }
}

int64_t TBitmapRowLength(int64_t width, forms::TPixelFormat format) {
  return BitmapRowLength(width, PixelFormatBitCount(format), 32);
}

int32_t IKPixelBytes(TIKPixelFormat format) {
  switch (format) {
    case ikPalette8:
    case ikGray8: return 1;
    case ikGray16: return 2;
    case ikRGB24:
    case ikCIELab: return 3;
    case ik32f:
    case ikCMYK: return 4;
    case ikRGB48: return 6;
    default: return 0;
  }
}

// ---- powers ----

double IntPower(double base, int32_t exponent) {
  // |INT32_MIN| does not fit an int32.
  uint64_t n = exponent < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(exponent)) : static_cast<uint64_t>(exponent);
  double result = 1.0;
  double square = base;
  while (n != 0) {
    if (n & 1) result *= square;
    square *= square;
    n >>= 1;
  }
  return exponent < 0 ? 1.0 / result : result;
}

double Power(double base, double exponent) {
  if (exponent == 0.0) return 1.0;
  if (base == 0.0 && exponent > 0.0) return 0.0;
  if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0) {
    return IntPower(base, static_cast<int32_t>(exponent));
  }
  return std::exp(exponent * std::log(base));
}

double FastPower(double base, double exponent) {
  if (std::trunc(exponent) == exponent && std::fabs(exponent) < 2147483647.0) {
    const auto e = static_cast<int32_t>(exponent);
    if (e == 0) return 1.0;
    if (base == 0.0) return 0.0;
    switch (e) {
      case 1: return base;
      case 2: return base * base;
      case -1: return 1.0 / base;
      case -2: return 1.0 / (base * base);
      default: return IntPower(base, e);
    }
  }
  if (base == 0.0) return 0.0;
  return std::exp2(exponent * std::log2(base));
}

// ---- memory and sizes ----

int64_t AvailablePhysicalMemory() {
  // MemAvailable counts the caches the kernel would give up, which is what
  // "available" means to a program deciding what to keep in memory.
  std::ifstream meminfo("/proc/meminfo");
  String key;
  int64_t kib = 0;
  String unit;
  while (meminfo >> key >> kib) {
    std::getline(meminfo, unit);
    if (key == "MemAvailable:") return kib * 1024;
  }
  struct sysinfo info {};
  if (::sysinfo(&info) != 0) return 0;
  return static_cast<int64_t>(info.freeram) * info.mem_unit;
}

void FitSizeKeepingAspect(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight, int32_t& outWidth,
                          int32_t& outHeight) {
  if (width == 0 || height == 0) return;
  const double scale = std::min(static_cast<double>(maxWidth) / width, static_cast<double>(maxHeight) / height);
  outWidth = static_cast<int32_t>(std::trunc(width * scale));
  outHeight = static_cast<int32_t>(std::trunc(height * scale));
  if (outWidth == 0) outWidth = 1;
  if (outHeight == 0) outHeight = 1;
}

namespace {
// The mapping's length lives in a page of its own in front of the block, so
// PageFree needs only the pointer, like its callers expect.
size_t PageSize() { return static_cast<size_t>(::sysconf(_SC_PAGESIZE)); }
}  // namespace

void* PageAlloc(size_t size) {
  const size_t page = PageSize();
  if (size > std::numeric_limits<size_t>::max() - 2 * page) return nullptr;
  const size_t total = (size + page - 1) / page * page + page;
  void* p = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  std::memcpy(p, &total, sizeof total);
  return static_cast<uint8_t*>(p) + page;
}

void PageFree(void*& block) {
  if (!block) return;
  uint8_t* base = static_cast<uint8_t*>(block) - PageSize();
  size_t total = 0;
  std::memcpy(&total, base, sizeof total);
  ::munmap(base, total);
  block = nullptr;
}

// ---- drawing and platform bitmaps ----

void Draw3DRect(forms::TCanvas* canvas, int x1, int y1, int x2, int y2, forms::TColor topLeft,
                forms::TColor bottomRight) {
  canvas->Pen()->SetStyle(forms::psSolid);
  canvas->Pen()->SetMode(forms::pmCopy);
  canvas->Pen()->SetColor(topLeft);
  canvas->MoveTo(x1, y2);
  canvas->LineTo(x1, y1);
  canvas->LineTo(x2, y1);
  canvas->Pen()->SetColor(bottomRight);
  canvas->MoveTo(x1, y2);
  canvas->LineTo(x2, y2);
  canvas->LineTo(x2, y1);
}

void SetGrayColorTable(forms::TBitmap* bitmap) {
  std::vector<uint32_t> ramp(256);
  for (uint32_t i = 0; i < 256; ++i) ramp[i] = i << 16 | i << 8 | i;
  bitmap->SetColorTable(ramp);
}

bool IsGrayColorTable(forms::TBitmap* bitmap) {
  const auto table = bitmap->ColorTable();
  for (size_t i = 0; i < table.size() && i < 256; ++i) {
    const uint32_t v = static_cast<uint32_t>(i);
    if ((table[i] & 0xFFFFFF) != (v << 16 | v << 8 | v)) return false;
  }
  return true;
}

void ReadColorTable(forms::TBitmap* bitmap, TIKBitmap* image) {
  if (!bitmap || !image || bitmap->PixelFormat() != forms::pf8bit || image->PixelFormat() != ikPalette8) return;
  const auto table = bitmap->ColorTable();
  for (size_t i = 0; i < table.size() && i < 256; ++i) {
    image->SetPaletteColor(static_cast<int32_t>(i),
                           CreateRGB(static_cast<uint8_t>(table[i] >> 16), static_cast<uint8_t>(table[i] >> 8),
                                     static_cast<uint8_t>(table[i])));
  }
}

namespace {
bool ParseDouble(const String& text, double& out) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (begin < end && text[begin] == '+') ++begin;
  if (begin == end) return false;
  const char* first = text.data() + begin;
  const char* last = text.data() + end;
  const auto [ptr, ec] = std::from_chars(first, last, out);
  return ec == std::errc() && ptr == last;
}
}  // namespace

double StrToFloatTolerant(const String& text, double defaultValue) {
  double value = 0;
  if (ParseDouble(text, value)) return value;
  String other = text;
  if (const size_t comma = other.find(','); comma != String::npos) {
    other[comma] = '.';
  } else if (const size_t dot = other.find('.'); dot != String::npos) {
    other[dot] = ',';
  }
  if (ParseDouble(other, value)) return value;
  return defaultValue;
}

// ---- colour models ----

TRGB CMYKToRGB(const TCMYK& cmyk) {
  return CreateRGB(static_cast<uint8_t>(cmyk.c * cmyk.k / 255), static_cast<uint8_t>(cmyk.m * cmyk.k / 255),
                   static_cast<uint8_t>(cmyk.y * cmyk.k / 255));
}

TCMYK RGBToCMYK(const TRGB& rgb) {
  int k = std::max({rgb.r, rgb.g, rgb.b});
  if (k == 0) k = 1;
  return TCMYK{static_cast<uint8_t>(rgb.r * 255 / k), static_cast<uint8_t>(rgb.g * 255 / k),
               static_cast<uint8_t>(rgb.b * 255 / k), static_cast<uint8_t>(k)};
}

}  // namespace imaging
