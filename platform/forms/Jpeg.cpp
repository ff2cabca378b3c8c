// TJPEGImage over libjpeg(-turbo). The library reports fatal errors by
// calling error_exit, which must not return: ours jumps back into the one
// function that set up the (de)compression, where no C++ object has been
// made since the jump point, and that function turns the error into a
// result the caller raises EJPEG from.
#include "platform/forms/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace forms {

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  e->code = cinfo->err->msg_code;
  std::longjmp(e->jump, 1);
}

// Warnings (corrupt but usable data) are not printed.
void OutputMessage(j_common_ptr) {}

struct DecodeOptions {
  int scaleDenom = 1;
  bool grey = false;
  bool quantize = false;
  bool fast = false;
  bool smoothing = true;
  bool headerOnly = false;
};

struct Decoded {
  int width = 0, height = 0;        // output size
  int fullWidth = 0, fullHeight = 0;
  int components = 0;               // 1 or 3 in the file
  int outComponents = 0;            // per pixel in `pixels`
  std::vector<uint8_t> pixels;      // top-down rows, BGR or one byte
  std::vector<uint32_t> colormap;   // 0x00RRGGBB when quantized
};

// Returns 0 or the library's message code.
int DecodeJpeg(const uint8_t* data, size_t size, const DecodeOptions& o, Decoded* out) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputMessage;
  err.code = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return err.code ? err.code : -1;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  out->fullWidth = static_cast<int>(cinfo.image_width);
  out->fullHeight = static_cast<int>(cinfo.image_height);
  out->components = cinfo.num_components == 1 ? 1 : 3;
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(o.scaleDenom);
  const bool grey = o.grey || cinfo.jpeg_color_space == JCS_GRAYSCALE;
  cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  cinfo.dct_method = o.fast ? JDCT_IFAST : JDCT_ISLOW;
  cinfo.do_fancy_upsampling = o.fast ? FALSE : TRUE;
  cinfo.do_block_smoothing = o.smoothing ? TRUE : FALSE;
  if (o.quantize && !grey) {
    cinfo.out_color_space = JCS_RGB;
    cinfo.quantize_colors = TRUE;
    cinfo.desired_number_of_colors = 256;
    cinfo.two_pass_quantize = o.fast ? FALSE : TRUE;
    cinfo.dither_mode = o.fast ? JDITHER_ORDERED : JDITHER_FS;
  }
  jpeg_calc_output_dimensions(&cinfo);
  out->width = static_cast<int>(cinfo.output_width);
  out->height = static_cast<int>(cinfo.output_height);
  if (o.headerOnly) {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  jpeg_start_decompress(&cinfo);
  out->outComponents = cinfo.output_components;
  const size_t stride = static_cast<size_t>(cinfo.output_width) * static_cast<size_t>(cinfo.output_components);
  // A header may claim up to 65500 x 65500 pixels; refuse what no bitmap
  // here could hold rather than fail to allocate it.
  if (stride * cinfo.output_height > (size_t{1} << 31)) {
    jpeg_destroy_decompress(&cinfo);
    return JERR_IMAGE_TOO_BIG;
  }
  out->pixels.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out->pixels.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  if (cinfo.quantize_colors) {
    out->colormap.resize(static_cast<size_t>(cinfo.actual_number_of_colors));
    for (int i = 0; i < cinfo.actual_number_of_colors; ++i)
      out->colormap[static_cast<size_t>(i)] = static_cast<uint32_t>(cinfo.colormap[0][i]) << 16 |
                                              static_cast<uint32_t>(cinfo.colormap[1][i]) << 8 |
                                              cinfo.colormap[2][i];
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

struct Encoded {
  unsigned char* mem = nullptr;
  unsigned long size = 0;
};

// `rows` are top-down, BGR (3) or grey (1) bytes per pixel.
int EncodeJpeg(const uint8_t* rows, int width, int height, int components, int quality, bool progressive, bool grey,
               Encoded* out) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputMessage;
  err.code = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return err.code ? err.code : -1;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out->mem, &out->size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 3 ? JCS_EXT_BGR : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (grey && components == 3) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(components);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rows + stride * cinfo.next_scanline);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 0;
}

[[noreturn]] void RaiseJpeg(int code) { throw EJPEG("JPEG error #" + std::to_string(code)); }

int ScaleDenom(TJPEGScale s) { return 1 << static_cast<int>(s); }

std::vector<uint32_t> GreyRamp() {
  std::vector<uint32_t> t(256);
  for (uint32_t i = 0; i < 256; ++i) t[i] = i << 16 | i << 8 | i;
  return t;
}

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

bool TJPEGImage::Empty() const { return data_.empty() && (!bitmap_ || bitmap_->Empty()); }

int TJPEGImage::Width() const {
  if (bitmap_) return bitmap_->Width();
  const int d = ScaleDenom(scale_);
  return (dataWidth_ + d - 1) / d;
}

int TJPEGImage::Height() const {
  if (bitmap_) return bitmap_->Height();
  const int d = ScaleDenom(scale_);
  return (dataHeight_ + d - 1) / d;
}

void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }
void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::SetCompressionQuality(TJPEGQualityRange quality) {
  quality_ = quality < 1 ? 1 : quality > 100 ? 100 : quality;
}

// Decoding options only matter while there is data to decode again; a
// picture made from a bitmap keeps its bitmap.
void TJPEGImage::FreeBitmap() {
  if (!data_.empty()) bitmap_.reset();
}

void TJPEGImage::SetGrayscale(bool on) {
  if (on == grayscale_) return;
  FreeBitmap();
  grayscale_ = on;
  Changed();
}

void TJPEGImage::SetScale(TJPEGScale scale) {
  if (scale == scale_) return;
  FreeBitmap();
  scale_ = scale;
  Changed();
}

void TJPEGImage::SetPerformance(TJPEGPerformance performance) {
  if (performance == performance_) return;
  FreeBitmap();
  performance_ = performance;
  Changed();
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat format) {
  if (format == pixelFormat_) return;
  FreeBitmap();
  pixelFormat_ = format;
  Changed();
}

void TJPEGImage::SetSmoothing(bool on) {
  if (on == smoothing_) return;
  FreeBitmap();
  smoothing_ = on;
  Changed();
}

void TJPEGImage::DIBNeeded() {
  if (bitmap_ || data_.empty()) return;
  DecodeOptions o;
  o.scaleDenom = ScaleDenom(scale_);
  o.grey = grayscale_;
  o.quantize = pixelFormat_ == jf8Bit;
  o.fast = performance_ == jpBestSpeed;
  o.smoothing = smoothing_;
  Decoded d;
  if (int code = DecodeJpeg(data_.data(), data_.size(), o, &d)) RaiseJpeg(code);
  auto b = std::make_unique<TBitmap>();
  const bool indexed = d.outComponents == 1;
  b->SetPixelFormat(indexed ? pf8bit : pf24bit);
  b->SetSize(d.width, d.height);
  if (indexed) b->SetColorTable(d.colormap.empty() ? GreyRamp() : d.colormap);
  const size_t stride = static_cast<size_t>(d.width) * static_cast<size_t>(d.outComponents);
  for (int y = 0; y < d.height; ++y) std::memcpy(b->ScanLine(y), d.pixels.data() + stride * static_cast<size_t>(y), stride);
  b->OnChange = [this](TObject*) { Changed(); };
  bitmap_ = std::move(b);
}

TBitmap* TJPEGImage::Bitmap() {
  DIBNeeded();
  if (!bitmap_) {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->OnChange = [this](TObject*) { Changed(); };
  }
  return bitmap_.get();
}

void TJPEGImage::Compress() {
  if (!bitmap_ || bitmap_->Empty()) throw EInvalidGraphic("Cannot compress an empty JPEG image");
  // Rows as the encoder takes them: grey from an 8-bit grey picture,
  // otherwise blue-green-red.
  TBitmap* src = bitmap_.get();
  TBitmap converted;
  const bool greySource = src->PixelFormat() == pf8bit && src->ColorTable() == GreyRamp();
  if (!greySource && src->PixelFormat() != pf24bit) {
    converted.Assign(src);
    converted.SetPixelFormat(pf24bit);
    src = &converted;
  }
  const int w = src->Width(), h = src->Height(), comps = greySource ? 1 : 3;
  const size_t stride = static_cast<size_t>(w) * static_cast<size_t>(comps);
  std::vector<uint8_t> rows(stride * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) std::memcpy(rows.data() + stride * static_cast<size_t>(y), src->ScanLine(y), stride);
  Encoded e;
  const int code = EncodeJpeg(rows.data(), w, h, comps, quality_, progressiveEncoding_, grayscale_, &e);
  if (code) {
    std::free(e.mem);
    RaiseJpeg(code);
  }
  data_.assign(e.mem, e.mem + e.size);
  std::free(e.mem);
  dataWidth_ = w;
  dataHeight_ = h;
  dataGray_ = greySource || grayscale_;
}

void TJPEGImage::JPEGNeeded() {
  if (data_.empty()) Compress();
}

void TJPEGImage::LoadFromStream(rtl::TStream* stream) {
  std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(stream->Size() - stream->Position(), 0)));
  if (!data.empty()) data.resize(static_cast<size_t>(stream->Read(data.data(), static_cast<int64_t>(data.size()))));
  DecodeOptions o;
  o.headerOnly = true;
  Decoded d;
  if (int code = DecodeJpeg(data.data(), data.size(), o, &d)) RaiseJpeg(code);
  data_ = std::move(data);
  dataWidth_ = d.fullWidth;
  dataHeight_ = d.fullHeight;
  dataGray_ = d.components == 1;
  bitmap_.reset();
  Changed();
}

void TJPEGImage::SaveToStream(rtl::TStream* stream) {
  JPEGNeeded();
  stream->WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TJPEGImage::Assign(TPersistent* source) {
  if (!source) {
    data_.clear();
    bitmap_.reset();
    dataWidth_ = dataHeight_ = 0;
    Changed();
    return;
  }
  if (auto* j = dynamic_cast<TJPEGImage*>(source)) {
    if (j == this) return;
    data_ = j->data_;
    dataWidth_ = j->dataWidth_;
    dataHeight_ = j->dataHeight_;
    dataGray_ = j->dataGray_;
    quality_ = j->quality_;
    progressiveEncoding_ = j->progressiveEncoding_;
    progressiveDisplay_ = j->progressiveDisplay_;
    grayscale_ = j->grayscale_;
    scale_ = j->scale_;
    performance_ = j->performance_;
    pixelFormat_ = j->pixelFormat_;
    smoothing_ = j->smoothing_;
    bitmap_.reset();
    if (data_.empty() && j->bitmap_) Bitmap()->Assign(j->bitmap_.get());
    Changed();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(source)) {
    data_.clear();
    dataWidth_ = dataHeight_ = 0;
    bitmap_.reset();
    Bitmap()->Assign(b);
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TJPEGImage::AssignTo(TPersistent* dest) {
  if (auto* b = dynamic_cast<TBitmap*>(dest)) {
    DIBNeeded();
    if (bitmap_)
      b->Assign(bitmap_.get());
    else
      b->Assign(nullptr);
    return;
  }
  TGraphic::AssignTo(dest);
}

void TJPEGImage::Draw(TCanvas* canvas, const TRect& rect) {
  DIBNeeded();
  if (bitmap_) canvas->StretchDraw(rect, bitmap_.get());
}

}  // namespace forms
