#include "platform/win/Dib.h"

#include <bit>
#include <cstring>

namespace win {

namespace {

uint32_t ReadU32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Scales a masked field to 8 bits, replicating high bits so full scale
// stays full scale (5-bit 31 becomes 255, not 248).
uint32_t Expand(uint32_t value, uint32_t mask) {
  if (!mask) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  uint32_t v = (value & mask) >> shift;
  if (bits >= 8) return v >> (bits - 8);
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | v;
    filled += bits;
  }
  return out >> (filled - 8);
}

uint32_t Compress(uint32_t value8, uint32_t mask) {
  if (!mask) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const uint32_t v = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
  return (v << shift) & mask;
}

}  // namespace

bool DibFormat::Parse(const void* info, size_t available, UINT usage) {
  const auto* p = static_cast<const uint8_t*>(info);
  if (!p || available < 12) return false;
  const uint32_t headerSize = ReadU32(p);
  size_t entrySize = 4;
  if (headerSize == 12) {  // the old core header: 16-bit sizes, 3-byte palette entries
    width = ReadU16(p + 4);
    height = ReadU16(p + 6);
    bitCount = ReadU16(p + 10);
    compression = BI_RGB;
    entrySize = 3;
    topDown = false;
  } else if (headerSize >= 40 && headerSize <= available) {
    width = static_cast<int32_t>(ReadU32(p + 4));
    const int32_t h = static_cast<int32_t>(ReadU32(p + 8));
    bitCount = ReadU16(p + 14);
    compression = ReadU32(p + 16);
    topDown = h < 0;
    height = h < 0 ? -h : h;
  } else {
    return false;
  }
  if (width <= 0 || height <= 0 || width > (1 << 16) * 4 || height > (1 << 16) * 4) return false;
  switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (compression == BI_RLE8 && (bitCount != 8 || topDown)) return false;
  if (compression == BI_RLE4 && (bitCount != 4 || topDown)) return false;
  if (compression == BI_BITFIELDS && bitCount != 16 && bitCount != 32) return false;
  if (compression > BI_BITFIELDS) return false;
  stride = DibStride(width, bitCount);

  size_t tableOffset = headerSize;
  alphaMask = 0;
  if (compression == BI_BITFIELDS) {
    if (headerSize >= 52) {  // V2 and later carry the masks inside the header
      redMask = ReadU32(p + 40);
      greenMask = ReadU32(p + 44);
      blueMask = ReadU32(p + 48);
      if (headerSize >= 56) alphaMask = ReadU32(p + 52);
    } else {
      if (available < headerSize + 12) return false;
      redMask = ReadU32(p + headerSize);
      greenMask = ReadU32(p + headerSize + 4);
      blueMask = ReadU32(p + headerSize + 8);
      tableOffset += 12;
    }
  } else if (bitCount == 16) {
    redMask = 0x7C00, greenMask = 0x03E0, blueMask = 0x001F;
  } else if (bitCount == 32) {
    redMask = 0xFF0000, greenMask = 0xFF00, blueMask = 0xFF, alphaMask = 0xFF000000u;
  }

  palette.clear();
  if (bitCount <= 8) {
    size_t count = size_t{1} << bitCount;
    if (headerSize >= 40) {
      const uint32_t used = ReadU32(p + 32);
      if (used && used < count) count = used;
    }
    if (usage == DIB_PAL_COLORS) {
      // Indices into the selected palette: at 32 bits per pixel there is
      // none, so the indices fall back to the system's first entries.
      for (size_t i = 0; i < count; ++i) palette.push_back(0);
      return true;
    }
    if (available < tableOffset + count * entrySize) return false;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* e = p + tableOffset + i * entrySize;
      palette.push_back((static_cast<uint32_t>(e[2]) << 16) | (e[1] << 8) | e[0]);
    }
  }
  return true;
}

void DibRowTo32(const DibFormat& f, const uint8_t* row, uint32_t* out, int32_t count) {
  const size_t pal = f.palette.size();
  auto entry = [&](uint32_t i) { return i < pal ? f.palette[i] : 0u; };
  switch (f.bitCount) {
    case 1:
      for (int32_t x = 0; x < count; ++x) out[x] = entry((row[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case 4:
      for (int32_t x = 0; x < count; ++x) out[x] = entry((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF);
      break;
    case 8:
      for (int32_t x = 0; x < count; ++x) out[x] = entry(row[x]);
      break;
    case 16:
      for (int32_t x = 0; x < count; ++x) {
        const uint32_t v = ReadU16(row + 2 * x);
        out[x] = (Expand(v, f.redMask) << 16) | (Expand(v, f.greenMask) << 8) | Expand(v, f.blueMask) |
                 (Expand(v, f.alphaMask) << 24);
      }
      break;
    case 24:
      for (int32_t x = 0; x < count; ++x) {
        const uint8_t* s = row + 3 * x;
        out[x] = (static_cast<uint32_t>(s[2]) << 16) | (s[1] << 8) | s[0];
      }
      break;
    case 32:
      if (f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF &&
          (f.alphaMask == 0xFF000000u || f.compression == BI_RGB)) {
        std::memcpy(out, row, static_cast<size_t>(count) * 4);
      } else {
        for (int32_t x = 0; x < count; ++x) {
          const uint32_t v = ReadU32(row + 4 * x);
          out[x] = (Expand(v, f.redMask) << 16) | (Expand(v, f.greenMask) << 8) | Expand(v, f.blueMask) |
                   (Expand(v, f.alphaMask) << 24);
        }
      }
      break;
  }
}

int NearestPaletteIndex(const std::vector<uint32_t>& palette, uint32_t rgb) {
  int best = 0;
  int bestDistance = 1 << 30;
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  for (size_t i = 0; i < palette.size(); ++i) {
    const int dr = r - static_cast<int>((palette[i] >> 16) & 0xFF);
    const int dg = g - static_cast<int>((palette[i] >> 8) & 0xFF);
    const int db = b - static_cast<int>(palette[i] & 0xFF);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

void DibRowFrom32(const DibFormat& f, const uint32_t* in, uint8_t* row, int32_t count) {
  switch (f.bitCount) {
    case 1:
    case 4:
    case 8: {
      uint32_t lastRgb = 0xFFFFFFFFu;
      int lastIndex = 0;
      const int perByte = 8 / f.bitCount;
      std::memset(row, 0, (static_cast<size_t>(count) * f.bitCount + 7) / 8);
      for (int32_t x = 0; x < count; ++x) {
        const uint32_t rgb = in[x] & 0xFFFFFF;
        if (rgb != lastRgb) {
          lastRgb = rgb;
          lastIndex = NearestPaletteIndex(f.palette, rgb);
        }
        const int shift = (perByte - 1 - x % perByte) * f.bitCount;
        row[x / perByte] |= static_cast<uint8_t>(lastIndex << shift);
      }
      break;
    }
    case 16:
      for (int32_t x = 0; x < count; ++x) {
        const uint32_t v = in[x];
        const uint32_t o = Compress((v >> 16) & 0xFF, f.redMask) | Compress((v >> 8) & 0xFF, f.greenMask) |
                           Compress(v & 0xFF, f.blueMask) | Compress(v >> 24, f.alphaMask);
        row[2 * x] = static_cast<uint8_t>(o);
        row[2 * x + 1] = static_cast<uint8_t>(o >> 8);
      }
      break;
    case 24:
      for (int32_t x = 0; x < count; ++x) {
        row[3 * x] = static_cast<uint8_t>(in[x]);
        row[3 * x + 1] = static_cast<uint8_t>(in[x] >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(in[x] >> 16);
      }
      break;
    case 32:
      if (f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF) {
        std::memcpy(row, in, static_cast<size_t>(count) * 4);
      } else {
        for (int32_t x = 0; x < count; ++x) {
          const uint32_t v = in[x];
          const uint32_t o = Compress((v >> 16) & 0xFF, f.redMask) | Compress((v >> 8) & 0xFF, f.greenMask) |
                             Compress(v & 0xFF, f.blueMask) | Compress(v >> 24, f.alphaMask);
          std::memcpy(row + 4 * x, &o, 4);
        }
      }
      break;
  }
}

bool DecodeRle(const DibFormat& f, const uint8_t* data, size_t size, std::vector<uint8_t>* rows) {
  rows->assign(f.ImageSize(), 0);
  const bool four = f.compression == BI_RLE4;
  int32_t x = 0, y = 0;  // y counts memory rows (bottom-up)
  auto put = [&](int index) {
    if (x < f.width && y < f.height) {
      uint8_t* row = rows->data() + f.stride * static_cast<size_t>(y);
      if (four) {
        row[x >> 1] |= static_cast<uint8_t>((index & 0xF) << ((x & 1) ? 0 : 4));
      } else {
        row[x] = static_cast<uint8_t>(index);
      }
    }
    ++x;
  };
  size_t i = 0;
  while (i + 1 < size) {
    const uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count) {
      for (int k = 0; k < count; ++k) put(four ? ((k & 1) ? value & 0xF : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (i + 1 >= size) break;
      x += data[i];
      y += data[i + 1];
      i += 2;
    } else {  // absolute run of `value` pixels, padded to a word
      const size_t bytes = four ? (value + 1) / 2 : value;
      if (i + bytes > size) break;
      for (int k = 0; k < value; ++k) put(four ? ((k & 1) ? data[i + k / 2] & 0xF : data[i + k / 2] >> 4) : data[i + k]);
      i += (bytes + 1) & ~size_t{1};
    }
    if (y >= f.height) return true;
  }
  return y > 0 || x > 0;
}

bool DibToSurface(const DibFormat& f, const uint8_t* bits, size_t size, Surface* out) {
  std::vector<uint8_t> expanded;
  if (f.compression == BI_RLE4 || f.compression == BI_RLE8) {
    if (!DecodeRle(f, bits, size, &expanded)) return false;
    bits = expanded.data();
    size = expanded.size();
  }
  if (size < f.ImageSize()) return false;
  out->Resize(f.width, f.height);
  for (int32_t y = 0; y < f.height; ++y)
    DibRowTo32(f, bits + f.stride * static_cast<size_t>(f.MemoryRow(y)), out->Row(y), f.width);
  return true;
}

void SurfaceToDib(const Surface& s, const DibFormat& f, uint8_t* bits) {
  const int32_t w = std::min(s.Width(), f.width);
  const int32_t h = std::min(s.Height(), f.height);
  for (int32_t y = 0; y < h; ++y)
    DibRowFrom32(f, s.Row(y), bits + f.stride * static_cast<size_t>(f.MemoryRow(y)), w);
}

}  // namespace win
