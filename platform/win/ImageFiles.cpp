#include "platform/win/ImageFiles.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/win/Dib.h"

namespace win {

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

struct PngReadSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t length) {
  auto* src = static_cast<PngReadSource*>(png_get_io_ptr(png));
  if (src->pos + length > src->size) png_error(png, "truncated");
  std::memcpy(out, src->data + src->pos, length);
  src->pos += length;
}

void PngWarning(png_structp, png_const_charp) {}
void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

bool WritePng(const Surface& surface, const std::string& path, bool alpha) {
  if (surface.Empty()) return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> row(static_cast<size_t>(surface.Width()) * 4);
  bool ok = false;
  if (png && info) {
    if (setjmp(png_jmpbuf(png)) == 0) {
      png_init_io(png, file);
      png_set_IHDR(png, info, static_cast<png_uint_32>(surface.Width()), static_cast<png_uint_32>(surface.Height()), 8,
                   alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                   PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
      png_set_compression_level(png, 3);
      png_write_info(png, info);
      for (int32_t y = 0; y < surface.Height(); ++y) {
        const uint32_t* src = surface.Row(y);
        uint8_t* d = row.data();
        for (int32_t x = 0; x < surface.Width(); ++x) {
          const uint32_t p = src[x];
          *d++ = static_cast<uint8_t>(p >> 16);
          *d++ = static_cast<uint8_t>(p >> 8);
          *d++ = static_cast<uint8_t>(p);
          if (alpha) *d++ = static_cast<uint8_t>(p >> 24);
        }
        png_write_row(png, row.data());
      }
      png_write_end(png, nullptr);
      ok = true;
    }
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

void PutLe16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
  v[at] = static_cast<uint8_t>(x);
  v[at + 1] = static_cast<uint8_t>(x >> 8);
}
void PutLe32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

}  // namespace

bool SavePng(const Surface& surface, const std::string& path) { return WritePng(surface, path, false); }
bool SavePngWithAlpha(const Surface& surface, const std::string& path) { return WritePng(surface, path, true); }

bool IsPngData(const uint8_t* data, size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

std::unique_ptr<Surface> LoadPngFromMemory(const uint8_t* data, size_t size) {
  if (!IsPngData(data, size)) return nullptr;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  PngReadSource source{data, size, 0};
  std::unique_ptr<Surface> result;
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
  if (png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_set_read_fn(png, &source, PngRead);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > 65536 || height > 65536) png_error(png, "size");
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);  // B, G, R, A in memory: our pixel layout
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != width * 4) png_error(png, "layout");
    result = std::make_unique<Surface>(static_cast<int32_t>(width), static_cast<int32_t>(height));
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(result->Row(static_cast<int32_t>(y)));
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
  } else {
    result.reset();
  }
  png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
  return result;
}

std::unique_ptr<Surface> LoadPng(const std::string& path) {
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, &data)) return nullptr;
  return LoadPngFromMemory(data.data(), data.size());
}

bool ParseBmp(const uint8_t* data, size_t size, BmpFile* out) {
  if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t offBits = data[10] | (data[11] << 8) | (data[12] << 16) | (static_cast<uint32_t>(data[13]) << 24);
  DibFormat f;
  if (!f.Parse(data + 14, size - 14)) return false;
  // The info block ends where the bits begin; some writers leave the
  // offset zero, in which case the bits follow the colour table.
  const uint32_t headerSize = data[14] | (data[15] << 8) | (data[16] << 16) | (static_cast<uint32_t>(data[17]) << 24);
  size_t infoEnd = 14 + headerSize + f.palette.size() * (headerSize == 12 ? 3 : 4);
  if (f.compression == BI_BITFIELDS && headerSize == 40) infoEnd += 12;
  size_t bitsAt = offBits >= infoEnd && offBits < size ? offBits : infoEnd;
  if (bitsAt > size) return false;
  out->info.assign(data + 14, data + std::min(infoEnd, bitsAt));
  out->bits.assign(data + bitsAt, data + size);
  if (f.compression == BI_RGB || f.compression == BI_BITFIELDS) {
    // A file cut short keeps its complete rows; the rest read as zero.
    if (out->bits.size() < f.ImageSize()) {
      if (out->bits.size() < f.stride) return false;
      out->bits.resize(f.ImageSize(), 0);
    }
  }
  return true;
}

bool ReadBmpFile(const std::string& path, BmpFile* out) {
  std::vector<uint8_t> data;
  return ReadWholeFile(path, &data) && ParseBmp(data.data(), data.size(), out);
}

std::unique_ptr<Surface> LoadBmpFromMemory(const uint8_t* data, size_t size) {
  BmpFile file;
  if (!ParseBmp(data, size, &file)) return nullptr;
  DibFormat f;
  if (!f.Parse(file.info.data(), file.info.size())) return nullptr;
  auto surface = std::make_unique<Surface>();
  if (!DibToSurface(f, file.bits.data(), file.bits.size(), surface.get())) return nullptr;
  return surface;
}

std::unique_ptr<Surface> LoadBmp(const std::string& path) {
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, &data)) return nullptr;
  return LoadBmpFromMemory(data.data(), data.size());
}

std::vector<uint8_t> EncodeBmp(const Surface& surface, int bitCount) {
  if (bitCount != 32) bitCount = 24;
  DibFormat f;
  f.width = surface.Width();
  f.height = surface.Height();
  f.bitCount = bitCount;
  f.redMask = 0xFF0000, f.greenMask = 0xFF00, f.blueMask = 0xFF, f.alphaMask = 0xFF000000u;
  f.stride = DibStride(f.width, bitCount);
  const size_t image = f.ImageSize();
  std::vector<uint8_t> out(14 + 40 + image, 0);
  out[0] = 'B', out[1] = 'M';
  PutLe32(out, 2, static_cast<uint32_t>(out.size()));
  PutLe32(out, 10, 54);
  PutLe32(out, 14, 40);
  PutLe32(out, 18, static_cast<uint32_t>(f.width));
  PutLe32(out, 22, static_cast<uint32_t>(f.height));
  PutLe16(out, 26, 1);
  PutLe16(out, 28, static_cast<uint16_t>(bitCount));
  PutLe32(out, 34, static_cast<uint32_t>(image));
  PutLe32(out, 38, 3780);  // 96 DPI
  PutLe32(out, 42, 3780);
  if (image) SurfaceToDib(surface, f, out.data() + 54);
  return out;
}

bool SaveBmp(const Surface& surface, const std::string& path, int bitCount) {
  if (surface.Empty()) return false;
  const std::vector<uint8_t> data = EncodeBmp(surface, bitCount);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace win
