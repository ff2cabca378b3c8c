#include "imaging/core/ikutilsAnnot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>

#include "imaging/core/ikutilsBitmap.h"

namespace imaging {

int32_t AnnotScreenDpiX = 96;
int32_t AnnotScreenDpiY = 96;
TIKDibToBitmapProc AnnotDibToBitmap;
TIKBitmapToDibProc AnnotBitmapToDib;

namespace {

constexpr int32_t kAttributesSize = 164;
constexpr size_t kFontHeightAt = 48;

enum : int32_t { kDefaultBlock = 2, kMarkAttributes = 5, kMarkBlock = 6 };

int32_t GetLE32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutLE32(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool IsPointMark(int32_t type) { return type == 3 || type == 4; }
bool IsTextMark(int32_t type) { return type >= 7 && type <= 10; }

// The named blocks of one set (the defaults, or the current mark), raw.
using BlockSet = std::map<std::string, std::vector<uint8_t>>;

// Reads the stream with every length checked against what is left; a
// failed check means the stream lied or was cut.
class Reader {
public:
  Reader(const uint8_t* data, int64_t size) : p_(data), size_(static_cast<uint64_t>(size)) {}
  uint64_t Left() const { return size_ - pos_; }
  bool Int32(int32_t& value) {
    if (Left() < 4) return false;
    value = GetLE32(p_ + pos_);
    pos_ += 4;
    return true;
  }
  bool Skip(uint64_t n) {
    if (Left() < n) return false;
    pos_ += n;
    return true;
  }
  const uint8_t* Here() const { return p_ + pos_; }

private:
  const uint8_t* p_;
  uint64_t size_;
  uint64_t pos_ = 0;
};

bool ReadNamedBlock(Reader& in, bool extraWord, BlockSet& set) {
  if (in.Left() < 8) return false;
  const char* name = reinterpret_cast<const char*>(in.Here());
  const std::string key(name, strnlen(name, 8));
  in.Skip(8);
  int32_t size = 0;
  if (!in.Int32(size)) return false;
  if (extraWord && !in.Skip(4)) return false;
  if (size < 0 || static_cast<uint64_t>(size) > in.Left()) return false;
  if (key == "OiAnoDat" || key == "OiFilNam" || key == "OiGroup" || key == "OiIndex" || key == "OiDIB" ||
      key == "OiAnText")
    set[key].assign(in.Here(), in.Here() + size);
  in.Skip(static_cast<uint64_t>(size));
  return true;
}

void FinishMark(const std::array<uint8_t, 164>& attributes, const BlockSet& blocks, TIKImagingAnnot& annot) {
  auto mark = std::make_unique<TIKImagingObject>();
  mark->Attributes = attributes;
  const int32_t type = mark->MarkType();
  if (type < 1) return;
  const auto block = [&](const char* name) -> const std::vector<uint8_t>* {
    auto it = blocks.find(name);
    return it == blocks.end() ? nullptr : &it->second;
  };
  if (type == 1) {
    const auto* dib = block("OiDIB");
    if (dib && !dib->empty() && AnnotDibToBitmap) {
      auto image = std::make_unique<TIKBitmap>();
      if (AnnotDibToBitmap(dib->data(), static_cast<int64_t>(dib->size()), image.get())) mark->Image = std::move(image);
    }
  } else if (IsPointMark(type)) {
    const auto* data = block("OiAnoDat");
    if (data && data->size() >= 8) {
      // The stored count may claim more points than the block holds: only
      // the points that are there are taken.
      const int64_t claimed = GetLE32(data->data() + 4);
      const int64_t present = static_cast<int64_t>((data->size() - 8) / 8);
      const int64_t n = std::clamp<int64_t>(claimed, 0, present);
      for (int64_t i = 0; i < n; ++i) {
        const uint8_t* q = data->data() + 8 + 8 * i;
        mark->Points.push_back(TIKAnnotPoint{GetLE32(q), GetLE32(q + 4)});
      }
    }
  } else if (IsTextMark(type)) {
    const auto* data = block("OiAnText");
    if (data && data->size() >= 16) {
      const int64_t claimed = GetLE32(data->data() + 12);
      const auto n = static_cast<size_t>(std::clamp<int64_t>(claimed, 0, static_cast<int64_t>(data->size() - 16)));
      const char* text = reinterpret_cast<const char*>(data->data() + 16);
      mark->Text.assign(text, strnlen(text, n));
      // A creation scale of 0 (or an unknown screen) gives no conversion:
      // the stored height stays rather than dividing by zero.
      const int32_t creationScale = GetLE32(data->data() + 8);
      if (creationScale != 0 && AnnotScreenDpiY > 0) {
        const double height = std::nearbyint(72000.0 / creationScale * mark->FontHeight() / AnnotScreenDpiY);
        mark->SetFontHeight(static_cast<int32_t>(std::clamp<double>(height, std::numeric_limits<int32_t>::min(),
                                                                    std::numeric_limits<int32_t>::max())));
      }
    }
  }
  annot.Marks.push_back(std::move(mark));
}

class Writer {
public:
  void Int32(int32_t value) {
    const size_t at = out.size();
    out.resize(at + 4);
    PutLE32(&out[at], value);
  }
  void Bytes(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + n);
  }
  void NamedBlock(int32_t kind, const char* name, const std::vector<uint8_t>& data) {
    Int32(kind);
    Int32(12);
    char padded[8] = {};
    std::memcpy(padded, name, strnlen(name, 8));
    Bytes(padded, 8);
    Int32(static_cast<int32_t>(data.size()));
    Bytes(data.data(), data.size());
  }
  void TextBlock(int32_t kind, const char* name, const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    NamedBlock(kind, name, data);
  }
  std::vector<uint8_t> out;
};

std::vector<uint8_t> Int32Block(std::initializer_list<int32_t> values) {
  std::vector<uint8_t> data(values.size() * 4);
  size_t at = 0;
  for (int32_t v : values) {
    PutLE32(&data[at], v);
    at += 4;
  }
  return data;
}

}  // namespace

// ---- TIKImagingObject ----

TIKImagingObject::TIKImagingObject() = default;
TIKImagingObject::~TIKImagingObject() = default;

int32_t TIKImagingObject::MarkType() const { return GetLE32(Attributes.data()); }
int32_t TIKImagingObject::FontHeight() const { return GetLE32(Attributes.data() + kFontHeightAt); }
void TIKImagingObject::SetFontHeight(int32_t height) { PutLE32(Attributes.data() + kFontHeightAt, height); }

// ---- TIKImagingAnnot ----

void TIKImagingAnnot::Assign(const TIKImagingAnnot* source) {
  if (!source || source == this) return;
  Clear();
  for (const auto& from : source->Marks) {
    auto mark = std::make_unique<TIKImagingObject>();
    mark->Attributes = from->Attributes;
    mark->Points = from->Points;
    mark->Text = from->Text;
    if (from->Image) {
      mark->Image = std::make_unique<TIKBitmap>();
      mark->Image->Assign(from->Image.get());
    }
    Marks.push_back(std::move(mark));
  }
}

void TIKImagingAnnot::LoadFromBuffer(const void* block, int64_t length) {
  if (!block || length <= 0) return;
  Reader in(static_cast<const uint8_t*>(block), length);
  int32_t reserved = 0;
  int32_t format = 1;
  bool complete = in.Int32(reserved) && in.Int32(format);
  // The older form carries four more bytes after each block's data size.
  const bool extraWord = format == 0;
  BlockSet defaults;
  BlockSet current;
  std::array<uint8_t, 164> attributes{};
  while (complete && in.Left() > 0) {
    int32_t type = 0;
    int32_t ignored = 0;
    if (!in.Int32(type) || !in.Int32(ignored)) {
      complete = false;
      break;
    }
    if (type == kDefaultBlock) {
      complete = ReadNamedBlock(in, extraWord, defaults);
    } else if (type == kMarkAttributes) {
      FinishMark(attributes, current, *this);
      current.clear();
      attributes.fill(0);
      if (in.Left() < kAttributesSize) {
        complete = false;
        break;
      }
      std::memcpy(attributes.data(), in.Here(), kAttributesSize);
      in.Skip(kAttributesSize);
    } else if (type == kMarkBlock) {
      complete = ReadNamedBlock(in, extraWord, current);
    }
  }
  // The mark in progress when a block ran past the end is incomplete and
  // not kept.
  if (complete) FinishMark(attributes, current, *this);
  Changed = false;
}

std::vector<uint8_t> TIKImagingAnnot::SaveToBuffer() const {
  if (Marks.empty()) return {};
  Writer w;
  w.Int32(0);
  w.Int32(1);
  w.TextBlock(kDefaultBlock, "OiGroup", "0");
  w.TextBlock(kDefaultBlock, "OiIndex", "1");
  int32_t index = 0;
  for (const auto& mark : Marks) {
    w.Int32(kMarkAttributes);
    w.Int32(kAttributesSize);
    w.Bytes(mark->Attributes.data(), mark->Attributes.size());
    const int32_t type = mark->MarkType();
    if (type == 1) {
      const int32_t dx = AnnotScreenDpiX, dy = AnnotScreenDpiY;
      w.NamedBlock(kMarkBlock, "OiAnoDat", Int32Block({1, 1000, dx, dy, dx, dy, 0, 0, 0, 0, 0, 0, 0, 0}));
      if (mark->Image && AnnotBitmapToDib) {
        const std::vector<uint8_t> dib = AnnotBitmapToDib(mark->Image.get());
        if (!dib.empty()) w.NamedBlock(kMarkBlock, "OiDIB", dib);
      }
    } else if (IsPointMark(type)) {
      std::vector<uint8_t> data = Int32Block({mark->PointCount(), mark->PointCount()});
      for (const auto& pt : mark->Points) {
        const auto xy = Int32Block({pt.x, pt.y});
        data.insert(data.end(), xy.begin(), xy.end());
      }
      w.NamedBlock(kMarkBlock, "OiAnoDat", data);
    } else if (IsTextMark(type)) {
      const size_t n = strnlen(mark->Text.c_str(), mark->Text.size());
      const int32_t creationScale = AnnotScreenDpiY > 0 ? 72000 / AnnotScreenDpiY : 0;
      std::vector<uint8_t> data = Int32Block({0, 1000, creationScale, static_cast<int32_t>(n)});
      data.insert(data.end(), mark->Text.begin(), mark->Text.begin() + static_cast<std::ptrdiff_t>(n));
      data.push_back(0);
      w.NamedBlock(kMarkBlock, "OiAnText", data);
    }
    w.TextBlock(kMarkBlock, "OiGroup", "0");
    w.TextBlock(kMarkBlock, "OiIndex", std::to_string(index++));
  }
  return std::move(w.out);
}

}  // namespace imaging
