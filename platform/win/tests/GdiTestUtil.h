#pragma once
// A small 32-bit drawing surface for pixel tables: a memory DC holding a
// top-down DIB section, with its pixels rendered as rows of characters.
#include <map>
#include <string>

#include "platform/win/Bitmap.h"
#include "platform/win/Dc.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Shapes.h"

namespace gditest {

class Canvas {
public:
  Canvas(int width, int height, win::COLORREF fill = win::RGB(255, 255, 255)) : width_(width), height_(height) {
    win::BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 32;
    dc_ = win::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = win::CreateDIBSection(dc_, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    old_ = win::SelectObject(dc_, bitmap_);
    Fill(fill);
  }
  ~Canvas() {
    win::SelectObject(dc_, old_);
    win::DeleteDC(dc_);
    win::DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  win::HDC dc() const { return dc_; }
  win::HBITMAP bitmap() const { return bitmap_; }
  uint32_t* bits() const { return bits_; }
  uint32_t At(int x, int y) const { return bits_[y * width_ + x]; }
  void Fill(win::COLORREF c) {
    const uint32_t p = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = p;
  }

  // '.' white, '#' black, then the letters given, '?' for anything else.
  std::string Art(const std::map<win::COLORREF, char>& extra = {}) const {
    std::string out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        const uint32_t p = At(x, y) & 0xFFFFFF;
        const win::COLORREF c = ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
        char ch = '?';
        if (c == win::RGB(255, 255, 255)) ch = '.';
        else if (c == 0) ch = '#';
        auto it = extra.find(c);
        if (it != extra.end()) ch = it->second;
        out += ch;
      }
      out += '\n';
    }
    return out;
  }

private:
  int width_, height_;
  win::HDC dc_ = nullptr;
  win::HBITMAP bitmap_ = nullptr;
  win::HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// Joins art rows written one per line in a test.
inline std::string Rows(std::initializer_list<const char*> rows) {
  std::string out;
  for (const char* r : rows) {
    out += r;
    out += '\n';
  }
  return out;
}

}  // namespace gditest
