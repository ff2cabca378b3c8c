// The colour space converter over libswscale. FFmpeg's headers stay in
// this file.
#include <cstring>

#include "platform/mg/SystemFilters.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace mg {

namespace {

struct FormatRow {
  GUID subtype;
  AVPixelFormat pix;
  bool rgb;          // a DIB: bottom-up when the height is positive, rows padded to 4 bytes
  bool swapChroma;   // YV12 keeps V before U
};

constexpr AVPixelFormat kNone = AV_PIX_FMT_NONE;

const FormatRow* FindRow(const GUID& subtype) {
  static const FormatRow kRows[] = {
      {MEDIASUBTYPE_RGB32, AV_PIX_FMT_BGR0, true, false},     {MEDIASUBTYPE_ARGB32, AV_PIX_FMT_BGRA, true, false},
      {MEDIASUBTYPE_RGB24, AV_PIX_FMT_BGR24, true, false},    {MEDIASUBTYPE_RGB565, AV_PIX_FMT_RGB565LE, true, false},
      {MEDIASUBTYPE_RGB555, AV_PIX_FMT_RGB555LE, true, false}, {MEDIASUBTYPE_YUY2, AV_PIX_FMT_YUYV422, false, false},
      {MEDIASUBTYPE_UYVY, AV_PIX_FMT_UYVY422, false, false},  {MEDIASUBTYPE_YVYU, AV_PIX_FMT_YVYU422, false, false},
      {MEDIASUBTYPE_I420, AV_PIX_FMT_YUV420P, false, false},  {MEDIASUBTYPE_IYUV, AV_PIX_FMT_YUV420P, false, false},
      {MEDIASUBTYPE_YV12, AV_PIX_FMT_YUV420P, false, true},   {MEDIASUBTYPE_NV12, AV_PIX_FMT_NV12, false, false},
  };
  for (const FormatRow& r : kRows)
    if (r.subtype == subtype) return &r;
  return nullptr;
}

const GUID kOutputs[] = {MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB565, MEDIASUBTYPE_RGB555};

bool IsOutputSubtype(const GUID& s) {
  for (const GUID& g : kOutputs)
    if (g == s) return true;
  return false;
}

int Abs(int v) { return v < 0 ? -v : v; }

// Plane pointers and strides of a frame as swscale wants them; with
// `flip`, the last row in memory comes first.
void Planes(const FormatRow& row, uint8_t* base, int width, int height, int bits, bool flip, uint8_t* data[4],
            int stride[4]) {
  for (int i = 0; i < 4; ++i) {
    data[i] = nullptr;
    stride[i] = 0;
  }
  const int h = Abs(height);
  if (row.rgb) {
    const int s = (width * bits + 31) / 32 * 4;
    if (flip) {
      data[0] = base + static_cast<ptrdiff_t>(s) * (h - 1);
      stride[0] = -s;
    } else {
      data[0] = base;
      stride[0] = s;
    }
    return;
  }
  if (row.pix == AV_PIX_FMT_YUV420P) {
    const int cw = (width + 1) / 2, ch = (h + 1) / 2;
    data[0] = base;
    stride[0] = width;
    uint8_t* second = base + static_cast<ptrdiff_t>(width) * h;
    uint8_t* third = second + static_cast<ptrdiff_t>(cw) * ch;
    data[1] = row.swapChroma ? third : second;
    data[2] = row.swapChroma ? second : third;
    stride[1] = stride[2] = cw;
  } else if (row.pix == AV_PIX_FMT_NV12) {
    data[0] = base;
    stride[0] = width;
    data[1] = base + static_cast<ptrdiff_t>(width) * h;
    stride[1] = width;
  } else {
    data[0] = base;
    stride[0] = width * 2;
  }
}

}  // namespace

struct ColorSpaceConverter::Converter {
  SwsContext* ctx = nullptr;
  const FormatRow* in = nullptr;
  const FormatRow* out = nullptr;
  BITMAPINFOHEADER inHeader, outHeader;
  ~Converter() {
    if (ctx) sws_freeContext(ctx);
  }
};

ColorSpaceConverter::ColorSpaceConverter() : BaseFilter(CLSID_ColorSpaceConverter) {
  AddPin(std::make_shared<Pin>(this, "Input", PINDIR_INPUT));
  AddPin(std::make_shared<Pin>(this, "XForm Out", PINDIR_OUTPUT));
}

ColorSpaceConverter::~ColorSpaceConverter() = default;

HRESULT ColorSpaceConverter::CheckMediaType(const Pin& pin, const AM_MEDIA_TYPE& mt) const {
  if (mt.majortype != MEDIATYPE_Video) return S_FALSE;
  const BITMAPINFOHEADER* bih = mt.BitmapHeader();
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0) return S_FALSE;
  if (pin.Direction() == PINDIR_INPUT) return FindRow(mt.subtype) ? S_OK : S_FALSE;
  auto input = Input();
  if (!input->IsConnected() || !IsOutputSubtype(mt.subtype)) return S_FALSE;
  const BITMAPINFOHEADER* in = input->CurrentType().BitmapHeader();
  return in && in->biWidth == bih->biWidth && Abs(in->biHeight) == Abs(bih->biHeight) ? S_OK : S_FALSE;
}

std::vector<AM_MEDIA_TYPE> ColorSpaceConverter::GetMediaTypes(const Pin& pin) const {
  std::vector<AM_MEDIA_TYPE> list;
  auto input = Input();
  if (pin.Direction() != PINDIR_OUTPUT || !input->IsConnected()) return list;
  const AM_MEDIA_TYPE& in = input->CurrentType();
  const BITMAPINFOHEADER* bih = in.BitmapHeader();
  if (!bih) return list;
  REFERENCE_TIME avg = 0;
  if (in.formattype == FORMAT_VideoInfo)
    avg = in.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame;
  else if (in.formattype == FORMAT_VideoInfo2)
    avg = in.FormatAs<VIDEOINFOHEADER2>()->AvgTimePerFrame;
  for (const GUID& s : kOutputs) list.push_back(MakeVideoType(s, bih->biWidth, Abs(bih->biHeight), avg));
  return list;
}

HRESULT ColorSpaceConverter::OnConnect(Pin& pin) {
  if (pin.Direction() == PINDIR_OUTPUT) converter_.reset();
  return S_OK;
}

void ColorSpaceConverter::OnDisconnect(Pin&) { converter_.reset(); }

HRESULT ColorSpaceConverter::OnReceive(Pin&, MediaSample& sample) {
  auto out = Output();
  if (!out->IsConnected()) return S_OK;
  if (!converter_) {
    auto c = std::make_unique<Converter>();
    const AM_MEDIA_TYPE& inType = Input()->CurrentType();
    const AM_MEDIA_TYPE& outType = out->CurrentType();
    c->in = FindRow(inType.subtype);
    c->out = FindRow(outType.subtype);
    if (!c->in || !c->out || !inType.BitmapHeader() || !outType.BitmapHeader()) return VFW_E_TYPE_NOT_ACCEPTED;
    c->inHeader = *inType.BitmapHeader();
    c->outHeader = *outType.BitmapHeader();
    const int w = c->inHeader.biWidth, h = Abs(c->inHeader.biHeight);
    c->ctx = sws_getContext(w, h, c->in->pix, w, h, c->out->pix, SWS_POINT, nullptr, nullptr, nullptr);
    if (!c->ctx) return E_OUTOFMEMORY;
    converter_ = std::move(c);
  }
  const Converter& c = *converter_;
  std::shared_ptr<MediaSample> target;
  HRESULT hr = out->Allocator().GetBuffer(target);
  if (FAILED(hr)) return hr;
  const int w = c.inHeader.biWidth, h = Abs(c.inHeader.biHeight);
  const uint32_t needIn = FrameSize(Input()->CurrentType().subtype, w, h);
  const uint32_t needOut = FrameSize(out->CurrentType().subtype, w, h);
  if (static_cast<uint32_t>(sample.GetActualDataLength()) < needIn || static_cast<uint32_t>(target->GetSize()) < needOut)
    return VFW_E_BUFFER_OVERFLOW;
  uint8_t* src[4];
  int srcStride[4];
  uint8_t* dst[4];
  int dstStride[4];
  // A bottom-up bitmap's first row in memory is the picture's last. When
  // both sides agree, rows go across in memory order; otherwise the
  // output is walked backwards.
  const bool inBottomUp = c.in->rgb && c.inHeader.biHeight > 0;
  const bool outBottomUp = c.out->rgb && c.outHeader.biHeight > 0;
  Planes(*c.in, sample.GetPointer(), w, c.inHeader.biHeight, c.inHeader.biBitCount, false, src, srcStride);
  Planes(*c.out, target->GetPointer(), w, c.outHeader.biHeight, c.outHeader.biBitCount, inBottomUp != outBottomUp,
         dst, dstStride);
  sws_scale(c.ctx, src, srcStride, 0, h, dst, dstStride);
  target->CopyPropertiesFrom(sample);
  target->SetMediaType(nullptr);
  target->SetActualDataLength(static_cast<LONG>(needOut));
  return out->Deliver(*target);
}

HRESULT ColorSpaceConverter::OnEndOfStream(Pin&) {
  auto out = Output();
  return out->IsConnected() ? out->DeliverEndOfStream() : S_OK;
}

}  // namespace mg
