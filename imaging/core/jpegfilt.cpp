#include "imaging/core/jpegfilt.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsICC.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioRegistry.h"

// Last: the library defines TRUE and FALSE as macros, which the platform
// headers declare as constants.
#include <jpeglib.h>

namespace imaging {

namespace {

constexpr size_t kBufferSize = 65536;

// ---------------------------------------------------------------------------
// error manager
//
// libjpeg's error exit must not return. We leave the library by longjmp back
// to the guard that started the call sequence (JpegTry), never by a C++
// exception, so no library frame is unwound by the C++ runtime; the guard
// turns it into the abort flag (and the writer into an exception).

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::atomic<bool>* abortFlag = nullptr;
  std::jmp_buf jump;
  int32_t lastWarning = 0;
  int32_t failCode = 0;
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  if (e->abortFlag) *e->abortFlag = true;
  e->failCode = e->pub.msg_code;
  std::longjmp(e->jump, 1);
}

void JpegEmitMessage(j_common_ptr cinfo, int level) {
  auto* e = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  if (level == -1) {
    ++e->pub.num_warnings;
    e->lastWarning = e->pub.msg_code;
  }
}

void JpegOutputMessage(j_common_ptr) {}
void JpegFormatMessage(j_common_ptr, char* buffer) { buffer[0] = 0; }

void JpegResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

void InitErrorManager(JpegErrorManager& e, std::atomic<bool>* abortFlag) {
  jpeg_std_error(&e.pub);
  e.pub.error_exit = JpegErrorExit;
  e.pub.emit_message = JpegEmitMessage;
  e.pub.output_message = JpegOutputMessage;
  e.pub.format_message = JpegFormatMessage;
  e.pub.reset_error_mgr = JpegResetErrorManager;
  e.abortFlag = abortFlag;
}

// Runs `f` with the error manager's jump target set; false when the library
// failed inside. `f` must keep no object with a destructor alive across a
// library call.
template <class F>
[[gnu::noinline]] bool JpegTry(JpegErrorManager& e, F&& f) {
  if (setjmp(e.jump)) return false;
  f();
  return true;
}

// ---------------------------------------------------------------------------
// stream source and destination

struct StreamSource {
  jpeg_source_mgr pub;
  rtl::TStream* stream = nullptr;
  bool startOfFile = false;
  std::atomic<bool>* abortFlag = nullptr;
  JOCTET buffer[kBufferSize];
};

void SourceInit(j_decompress_ptr cinfo) { reinterpret_cast<StreamSource*>(cinfo->src)->startOfFile = true; }

boolean SourceFill(j_decompress_ptr cinfo) {
  auto* s = reinterpret_cast<StreamSource*>(cinfo->src);
  int64_t n = 0;
  try {
    n = s->stream->Read(s->buffer, static_cast<int64_t>(kBufferSize));
  } catch (...) {
    n = 0;  // a failing stream ends the data like its end does
  }
  if (n <= 0) {
    // Nothing at all: the stream held no image. Later: the data ends early
    // and the library finishes the image from what it has.
    if (s->startOfFile && s->abortFlag) *s->abortFlag = true;
    s->buffer[0] = 0xFF;
    s->buffer[1] = JPEG_EOI;
    n = 2;
  }
  s->pub.next_input_byte = s->buffer;
  s->pub.bytes_in_buffer = static_cast<size_t>(n);
  s->startOfFile = false;
  return TRUE;
}

void SourceSkip(j_decompress_ptr cinfo, long count) {
  auto* s = reinterpret_cast<StreamSource*>(cinfo->src);
  if (count < 1) return;
  while (count > static_cast<long>(s->pub.bytes_in_buffer)) {
    count -= static_cast<long>(s->pub.bytes_in_buffer);
    SourceFill(cinfo);
  }
  s->pub.next_input_byte += count;
  s->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void SourceTerm(j_decompress_ptr) {}

// Attaches the stream; a second attach to the same decompressor reuses the
// record and forgets what was buffered.
StreamSource* JpegStreamSource(j_decompress_ptr cinfo, rtl::TStream* stream, std::atomic<bool>* abortFlag,
                               std::unique_ptr<StreamSource>& holder) {
  if (!holder) holder = std::make_unique<StreamSource>();
  StreamSource* s = holder.get();
  s->pub.init_source = SourceInit;
  s->pub.fill_input_buffer = SourceFill;
  s->pub.skip_input_data = SourceSkip;
  s->pub.resync_to_restart = jpeg_resync_to_restart;
  s->pub.term_source = SourceTerm;
  s->pub.next_input_byte = nullptr;
  s->pub.bytes_in_buffer = 0;
  s->stream = stream;
  s->abortFlag = abortFlag;
  cinfo->src = &s->pub;
  return s;
}

struct StreamDestination {
  jpeg_destination_mgr pub;
  rtl::TStream* stream = nullptr;
  std::atomic<bool>* abortFlag = nullptr;
  std::unique_ptr<JOCTET[]> buffer;
};

void WriteChecked(StreamDestination* d, const JOCTET* data, size_t count) {
  int64_t written = 0;
  try {
    written = d->stream->Write(data, static_cast<int64_t>(count));
  } catch (...) {
    written = -1;
  }
  if (written != static_cast<int64_t>(count) && d->abortFlag) *d->abortFlag = true;
}

void DestInit(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<StreamDestination*>(cinfo->dest);
  if (!d->buffer) d->buffer = std::make_unique<JOCTET[]>(kBufferSize);
  d->pub.next_output_byte = d->buffer.get();
  d->pub.free_in_buffer = kBufferSize;
}

boolean DestEmpty(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<StreamDestination*>(cinfo->dest);
  WriteChecked(d, d->buffer.get(), kBufferSize);
  d->pub.next_output_byte = d->buffer.get();
  d->pub.free_in_buffer = kBufferSize;
  return TRUE;
}

void DestTerm(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<StreamDestination*>(cinfo->dest);
  const size_t used = kBufferSize - d->pub.free_in_buffer;
  if (used > 0) WriteChecked(d, d->buffer.get(), used);
}

// ---------------------------------------------------------------------------
// marker scanning

// Reads the stream in 8 KiB pieces for the byte-wise marker scans.
class ByteScanner {
public:
  explicit ByteScanner(rtl::TStream& s) : s_(s) {}
  int Next() {
    if (i_ == n_ && !Refill()) return -1;
    return buf_[i_++];
  }
  // Passes over bytes up to the next FF; false at the end.
  bool ToNextFF() {
    for (;;) {
      if (i_ == n_ && !Refill()) return false;
      const void* p = std::memchr(buf_ + i_, 0xFF, n_ - i_);
      if (p) {
        i_ = static_cast<size_t>(static_cast<const uint8_t*>(p) - buf_);
        return true;
      }
      i_ = n_;
    }
  }
  bool Read(uint8_t* to, size_t count) {
    while (count > 0) {
      if (i_ == n_ && !Refill()) return false;
      const size_t k = std::min(count, n_ - i_);
      std::memcpy(to, buf_ + i_, k);
      i_ += k;
      to += k;
      count -= k;
    }
    return true;
  }
  bool Skip(size_t count) {
    while (count > 0) {
      if (i_ == n_ && !Refill()) return false;
      const size_t k = std::min(count, n_ - i_);
      i_ += k;
      count -= k;
    }
    return true;
  }
  int64_t Consumed() const { return consumed_ - static_cast<int64_t>(n_ - i_); }

private:
  bool Refill() {
    int64_t got = 0;
    try {
      got = s_.Read(buf_, sizeof buf_);
    } catch (...) {
      got = 0;
    }
    if (got <= 0) return false;
    n_ = static_cast<size_t>(got);
    i_ = 0;
    consumed_ += got;
    return true;
  }
  rtl::TStream& s_;
  uint8_t buf_[8192];
  size_t n_ = 0, i_ = 0;
  int64_t consumed_ = 0;
};

// A big-endian segment length; lengths below 2 cannot advance and end the
// scan like the end of the data.
bool ReadSegmentLength(ByteScanner& sc, int32_t& length) {
  const int hi = sc.Next();
  const int lo = sc.Next();
  if (hi < 0 || lo < 0) return false;
  length = hi << 8 | lo;
  return length >= 2;
}

struct PositionKeeper {
  explicit PositionKeeper(rtl::TStream& s) : s_(s), p_(s.Position()) {}
  ~PositionKeeper() {
    try {
      s_.SetPosition(p_);
    } catch (...) {
    }
  }
  rtl::TStream& s_;
  int64_t p_;
};

// ---------------------------------------------------------------------------
// reading

bool HasIccTransform(TIOParamsVals& params) {
  return EnableColorManagement && params.HasInputICCProfile() && params.InputICCProfile()->IsValid() &&
         params.OutputICCProfile()->IsValid();
}

int32_t ScaleDenominator(TIOParamsVals& params, int32_t frameW, int32_t frameH) {
  switch (params.JpegScale) {
    case 1: return 1;
    case 2: return 2;
    case 3: return 4;
    case 4: return 8;
    case 0:
      if (params.Width > 0 && params.Height > 0) {
        for (int n = 3; n >= 0; --n)
          if ((frameW >> n) >= params.Width && (frameH >> n) >= params.Height) return 1 << n;
      }
      return 1;
    default: return 1;
  }
}

J_DCT_METHOD DctMethod(uint8_t m, J_DCT_METHOD fallback) {
  switch (m) {
    case 0: return JDCT_ISLOW;
    case 1: return JDCT_IFAST;
    case 2: return JDCT_FLOAT;
    default: return fallback;
  }
}

// The decompressor and what it holds, released in one place whatever way
// the read ends.
struct Decoder {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager err;
  std::unique_ptr<StreamSource> source;
  bool created = false;
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

void ReadThumbnailFirst(rtl::TStream* stream, TIKBitmap* bitmap, TProgressRec& progress, TIOParamsVals& params,
                        bool& done) {
  params.ExifThumbnail.reset();
  params.JpegLoadThumbnail = false;
  ReadJpegStream(stream, nullptr, bitmap, false, false, true, false, true, progress, params);
  stream->SetPosition(0);
  params.JpegLoadThumbnail = true;
  if (params.ExifThumbnail && !params.ExifThumbnail->IsEmpty()) {
    bitmap->Assign(params.ExifThumbnail.get());
    done = true;
    return;
  }
  if (progress.AbortFlag) *progress.AbortFlag = false;
  stream->SetPosition(0);
}

}  // namespace

String JpegMessageText(int32_t code) {
  jpeg_error_mgr e;
  jpeg_std_error(&e);
  if (code < 0 || code > e.last_jpeg_message || !e.jpeg_message_table[code]) return "Corrupted";
  String out;
  for (const char* p = e.jpeg_message_table[code]; *p; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    if (p[1] == '%') {
      out += '%';
      ++p;
      continue;
    }
    // Flags, width, precision and length up to the conversion letter.
    ++p;
    while (*p && !std::strchr("diouxXcsfgeEp", *p)) ++p;
    out += '?';
    if (!*p) break;
  }
  return out;
}

int64_t FindJpegStart(rtl::TStream& stream) {
  PositionKeeper keep(stream);
  const int64_t start = keep.p_;
  uint8_t head[102];
  int64_t got = 0;
  try {
    got = stream.Read(head, sizeof head);
  } catch (...) {
    return -1;
  }
  for (int64_t i = 0; i + 2 < got && i < 100; ++i)
    if (head[i] == 0xFF && head[i + 1] == 0xD8 && head[i + 2] == 0xFF) return start + i;
  return -1;
}

int64_t JpegStreamLength(rtl::TStream& stream) {
  PositionKeeper keep(stream);
  ByteScanner sc(stream);
  while (sc.ToNextFF()) {
    sc.Next();
    const int b = sc.Next();
    if (b < 0) break;
    if (b == 0xD9) break;
    if ((b >= 0xC0 && b <= 0xCF) || (b >= 0xDA && b <= 0xFE)) {
      int32_t length = 0;
      if (!ReadSegmentLength(sc, length) || !sc.Skip(static_cast<size_t>(length - 2))) break;
    }
  }
  return sc.Consumed();
}

void ReadJpegIccProfile(rtl::TStream& stream, TIOParamsVals& params) {
  PositionKeeper keep(stream);
  ByteScanner sc(stream);
  std::map<int, std::vector<uint8_t>> chunks;
  int announced = 0;
  bool broken = false;
  std::vector<uint8_t> seg;
  while (sc.ToNextFF()) {
    sc.Next();
    const int b = sc.Next();
    if (b < 0 || b == 0xD9) break;
    if (b <= 191 || (b >= 208 && b <= 216) || b == 255) {
      if (b == 255) continue;
      continue;
    }
    int32_t length = 0;
    if (!ReadSegmentLength(sc, length)) break;
    if (b != 0xE2) {
      if (!sc.Skip(static_cast<size_t>(length - 2))) break;
      continue;
    }
    seg.resize(static_cast<size_t>(length - 2));
    if (!sc.Read(seg.data(), seg.size())) break;
    if (seg.size() < 14 || std::memcmp(seg.data(), "ICC_PROFILE", 12) != 0) continue;
    const int sequence = seg[12], count = seg[13];
    // A chunk that contradicts the others spoils the profile rather than
    // landing somewhere it does not belong.
    if (count == 0 || sequence == 0 || sequence > count || (announced && count != announced) ||
        chunks.count(sequence)) {
      broken = true;
      continue;
    }
    announced = count;
    chunks[sequence].assign(seg.begin() + 14, seg.end());
    if (static_cast<int>(chunks.size()) == announced) break;
  }
  if (broken || announced == 0 || static_cast<int>(chunks.size()) != announced) return;
  std::vector<uint8_t> profile;
  for (auto& [n, data] : chunks) profile.insert(profile.end(), data.begin(), data.end());
  params.InputICCProfile()->LoadFromBuffer(profile.data(), static_cast<int32_t>(profile.size()));
}

void ReadJpegStream(rtl::TStream* stream, rtl::TStream* tables, TIKBitmap* bitmap, bool releaseIcc,
                    bool invertCmyk, bool readMetadata, bool rawYCbCr, bool paramsOnly, TProgressRec& progress,
                    TIOParamsVals& params) {
  std::atomic<bool> localAbort{false};
  std::atomic<bool>* abortFlag = progress.AbortFlag ? progress.AbortFlag : &localAbort;

  if (params.JpegLoadThumbnail) {
    bool done = false;
    ReadThumbnailFirst(stream, bitmap, progress, params, done);
    if (done) return;
  }

  params.JpegWarningCount = 0;
  params.JpegWarningCode = 0;
  const int64_t start = FindJpegStart(*stream);
  if (start < 0) {
    *abortFlag = true;
    return;
  }
  stream->SetPosition(start);
  int64_t dataBytes = 0;
  try {
    dataBytes = stream->Size() - start;
  } catch (...) {
    dataBytes = 0;
  }
  ReadJpegIccProfile(*stream, params);
  const bool iccActive = HasIccTransform(params);

  Decoder d;
  InitErrorManager(d.err, abortFlag);
  d.cinfo.err = &d.err.pub;
  if (!JpegTry(d.err, [&] { jpeg_create_decompress(&d.cinfo); })) return;
  d.created = true;

  // Header, colour space and scaling. Any failure ends the decoding; the
  // markers are still collected.
  enum class Out { None, Gray, Bgr, Rgb, YCbCr, Cmyk } out = Out::None;
  TIKPixelFormat pf = ikRGB24;
  bool decodeRows = false;
  int32_t outW = 0, outH = 0;
  bool ok = JpegTry(d.err, [&] {
    if (tables && tables != stream) {
      JpegStreamSource(&d.cinfo, tables, abortFlag, d.source);
      jpeg_read_header(&d.cinfo, FALSE);
    }
    JpegStreamSource(&d.cinfo, stream, abortFlag, d.source);
    jpeg_save_markers(&d.cinfo, JPEG_COM, 0xFFFF);
    for (int m = 0; m < 16; ++m) jpeg_save_markers(&d.cinfo, JPEG_APP0 + m, 0xFFFF);
    jpeg_read_header(&d.cinfo, TRUE);

    params.BitsPerSample = 8;
    const bool native = params.NativePixelFormat;
    switch (d.cinfo.jpeg_color_space) {
      case JCS_GRAYSCALE:
        params.JpegColorSpace = 1;
        params.SamplesPerPixel = 1;
        d.cinfo.out_color_space = JCS_GRAYSCALE;
        out = Out::Gray;
        pf = native ? ikGray8 : ikRGB24;
        break;
      case JCS_RGB:
      case JCS_YCbCr:
        params.JpegColorSpace = d.cinfo.jpeg_color_space == JCS_RGB ? 0 : 2;
        params.SamplesPerPixel = 3;
        // The buffer's byte order straight from the library, unless the
        // profile transform wants the file's own order first.
        d.cinfo.out_color_space = iccActive ? JCS_RGB : JCS_EXT_BGR;
        out = iccActive ? Out::Rgb : Out::Bgr;
        break;
      case JCS_CMYK:
      case JCS_YCCK:
        params.JpegColorSpace = d.cinfo.jpeg_color_space == JCS_CMYK ? 3 : 4;
        params.SamplesPerPixel = 4;
        d.cinfo.out_color_space = JCS_CMYK;
        out = Out::Cmyk;
        pf = native ? ikCMYK : ikRGB24;
        break;
      default:
        // Components we cannot name a colour for are not guessed at.
        out = Out::None;
        break;
    }
    if (rawYCbCr && out != Out::None) {
      d.cinfo.out_color_space = JCS_YCbCr;
      out = Out::YCbCr;
      pf = ikRGB24;
    }
    d.cinfo.dct_method = DctMethod(params.JpegDctMethod, d.cinfo.dct_method);
    if (d.cinfo.density_unit == 2) {
      params.SetDpiX(static_cast<int32_t>(d.cinfo.X_density * 2.54));
      params.SetDpiY(static_cast<int32_t>(d.cinfo.Y_density * 2.54));
    } else {
      params.SetDpiX(static_cast<int32_t>(d.cinfo.X_density));
      params.SetDpiY(static_cast<int32_t>(d.cinfo.Y_density));
    }
    params.SetPalette(nullptr, 0);
    params.JpegProgressive = jpeg_has_multiple_scans(&d.cinfo) != 0;
    params.JpegOriginalWidth = static_cast<int32_t>(d.cinfo.image_width);
    params.JpegOriginalHeight = static_cast<int32_t>(d.cinfo.image_height);
    const int32_t denom = ScaleDenominator(params, params.JpegOriginalWidth, params.JpegOriginalHeight);
    d.cinfo.scale_num = 1;
    d.cinfo.scale_denom = static_cast<unsigned>(denom);
    params.JpegScaleUsed = denom;
    // A frame header can claim any size, and the library sizes its buffers
    // (a progressive image's whole coefficient store) from it. The data
    // behind it has to be able to describe that many pixels.
    const int64_t frame = static_cast<int64_t>(d.cinfo.image_width) * d.cinfo.image_height;
    if (out == Out::None || frame > std::max<int64_t>(int64_t{1} << 24, dataBytes * 1024)) {
      *abortFlag = true;
      return;
    }
    jpeg_start_decompress(&d.cinfo);
    outW = static_cast<int32_t>(d.cinfo.output_width);
    outH = static_cast<int32_t>(d.cinfo.output_height);
    params.Width = outW;
    params.Height = outH;
    decodeRows = !paramsOnly;
  });
  if (!ok) decodeRows = false;

  if (decodeRows && !*abortFlag) {
    bitmap->Allocate(outW, outH, pf);
    const size_t comps = static_cast<size_t>(d.cinfo.output_components);
    std::vector<JSAMPLE> row(static_cast<size_t>(outW) * comps);
    const double step = outH > 0 ? 100.0 / outH : 0;
    int32_t stored = 0;
    ok = JpegTry(d.err, [&] {
      while (d.cinfo.output_scanline < d.cinfo.output_height && stored < bitmap->Height()) {
        auto* dst = static_cast<uint8_t*>(bitmap->ScanLine(stored));
        const bool direct = out == Out::Bgr || out == Out::YCbCr || pf == ikGray8 || pf == ikCMYK;
        JSAMPROW rp = direct ? dst : row.data();
        if (jpeg_read_scanlines(&d.cinfo, &rp, 1) != 1) break;
        if (!direct) {
          switch (out) {
            case Out::Gray:
              for (int32_t x = 0; x < outW; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = row[x];
              break;
            case Out::Rgb:
              if (!params.InputICCProfile()->Transform(params.OutputICCProfile(), iccRGB, outW, dst, row.data(), 0,
                                                       0, iccBGR))
                IKConvertColorFunction(row.data(), iecRGB, dst, &params, outW, iecBGR);
              break;
            case Out::Cmyk:
              IKConvertColorFunction(row.data(), invertCmyk ? iecCMYKInv : iecCMYK, dst, &params, outW, iecBGR);
              break;
            default: break;
          }
        }
        ++stored;
        if (progress.Callback)
          progress.Callback(progress.CallbackData, progress.Sender, static_cast<int32_t>(stored * step));
        if (*abortFlag) break;
      }
    });
    if (ok && stored < outH) *abortFlag = true;
  }

  // Markers in file order; the first APP0 is the JFIF header the writer
  // makes anew.
  params.JpegMarkers.Clear();
  bool firstApp0 = true;
  for (jpeg_saved_marker_ptr m = d.cinfo.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 && firstApp0) {
      firstApp0 = false;
      continue;
    }
    params.JpegMarkers.AddMarker(m->marker, m->data, static_cast<int32_t>(m->data_length));
  }

  if (releaseIcc && iccActive && params.InputICCProfile()->Transformed()) {
    params.InputICCProfile()->FreeTransform();
    for (int32_t i = params.JpegMarkers.Count() - 1; i >= 0; --i)
      if (params.JpegMarkers.MarkerType(i) == JPEG_APP0 + 2) params.JpegMarkers.Delete(i);
  }

  if (!*abortFlag && !paramsOnly && ok) {
    d.err.abortFlag = nullptr;
    JpegTry(d.err, [&] { jpeg_finish_decompress(&d.cinfo); });
  }
  if (d.err.pub.num_warnings != 0) {
    params.JpegWarningCount = static_cast<int32_t>(d.err.pub.num_warnings);
    params.JpegWarningCode = d.err.lastWarning;
  }

  if (readMetadata) {
    const int32_t app13 = params.JpegMarkers.IndexOf(JPEG_APP0 + 13);
    if (app13 >= 0)
      params.IptcInfo.LoadFromBuffer(params.JpegMarkers.MarkerData(app13), params.JpegMarkers.MarkerLength(app13));
  }
}

void WriteJpegStream(rtl::TStream& stream, TIKBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress) {
  std::atomic<bool> localAbort{false};
  std::atomic<bool>* abortFlag = progress.AbortFlag ? progress.AbortFlag : &localAbort;
  TIKBitmap* source = bitmap;
  std::unique_ptr<TIKBitmap> copy;
  if (bitmap->PixelFormat() != ikRGB24) {
    // Callers convert; a buffer of another layout is written from a
    // 24-bit copy rather than read with the wrong row size.
    copy = std::make_unique<TIKBitmap>();
    TIKBitmap::ConvertPixelFormatCopy(copy.get(), bitmap);
    if (copy->PixelFormat() != ikRGB24) copy->SetPixelFormat(ikRGB24);
    source = copy.get();
  }
  const int32_t w = source->Width(), h = source->Height();
  if (w <= 0 || h <= 0) {
    *abortFlag = true;
    return;
  }

  jpeg_compress_struct cinfo{};
  JpegErrorManager err;
  InitErrorManager(err, abortFlag);
  cinfo.err = &err.pub;
  StreamDestination dest;
  dest.stream = &stream;
  dest.abortFlag = abortFlag;
  bool created = false;
  const bool cmykInput = params.JpegColorSpace == 3 || params.JpegColorSpace == 4;
  std::vector<uint8_t> row(cmykInput ? static_cast<size_t>(w) * 4 : 0);
  const double step = 100.0 / h;

  const bool ok = JpegTry(err, [&] {
    jpeg_create_compress(&cinfo);
    created = true;
    dest.pub.init_destination = DestInit;
    dest.pub.empty_output_buffer = DestEmpty;
    dest.pub.term_destination = DestTerm;
    cinfo.dest = &dest.pub;
    if (*abortFlag) return;

    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = cmykInput ? 4 : 3;
    cinfo.in_color_space = cmykInput ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    switch (params.JpegColorSpace) {
      case 1: jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE); break;
      case 2: jpeg_set_colorspace(&cinfo, JCS_YCbCr); break;
      case 3:
        jpeg_set_colorspace(&cinfo, JCS_CMYK);
        cinfo.write_JFIF_header = TRUE;
        break;
      case 4: jpeg_set_colorspace(&cinfo, JCS_YCCK); break;
      default: jpeg_set_colorspace(&cinfo, JCS_RGB); break;
    }
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(params.DpiX() ? params.DpiX() : DefaultDpiX.load());
    cinfo.Y_density = static_cast<UINT16>(params.DpiY() ? params.DpiY() : DefaultDpiY.load());
    cinfo.dct_method = DctMethod(params.JpegDctMethod, cinfo.dct_method);
    cinfo.optimize_coding = params.JpegOptimalHuffman ? TRUE : FALSE;
    cinfo.smoothing_factor = params.JpegSmoothing;
    jpeg_set_quality(&cinfo, params.JpegQuality, TRUE);
    if (params.JpegProgressive) jpeg_simple_progression(&cinfo);

    jpeg_start_compress(&cinfo, TRUE);
    for (int32_t i = 0; i < params.JpegMarkers.Count(); ++i) {
      const uint8_t type = params.JpegMarkers.MarkerType(i);
      if (type == JPEG_APP0 + 14) continue;
      jpeg_write_marker(&cinfo, type, params.JpegMarkers.MarkerData(i),
                        static_cast<unsigned>(std::min(params.JpegMarkers.MarkerLength(i), 65533)));
    }
    for (int32_t y = 0; y < h; ++y) {
      if (progress.Callback) progress.Callback(progress.CallbackData, progress.Sender, static_cast<int32_t>(y * step));
      if (*abortFlag) break;
      auto* src = static_cast<uint8_t*>(source->ScanLine(y));
      JSAMPROW rp = src;
      if (cmykInput) {
        IKConvertColorFunction(src, iecBGR, row.data(), nullptr, w, iecCMYK);
        rp = row.data();
      }
      jpeg_write_scanlines(&cinfo, &rp, 1);
    }
    if (!*abortFlag) jpeg_finish_compress(&cinfo);
  });
  if (created) jpeg_destroy_compress(&cinfo);
  if (!ok) throw EIKJpegException(JpegMessageText(err.failCode));
}

// ---------------------------------------------------------------------------
// the component's entry points

namespace {

void FilterRead(TIKFilterReadArgs& a) {
  ReadJpegStream(a.Stream, nullptr, a.Bitmap, true, false, true, false, a.ParamsOnly, *a.Progress, *a.Params);
  a.ImageCount = 1;
}

void FilterWrite(TIKFilterWriteArgs& a) { WriteJpegStream(*a.Stream, a.Bitmap, *a.Params, *a.Progress); }

}  // namespace

void InstallJpegFilter() {
  InstallFormatFilter(ioJPEG, FilterRead, FilterWrite);
  IKFormatProbes().FindJpegStart = FindJpegStart;
}

}  // namespace imaging
