// Format-block helpers, the PCM table and the speaker arithmetic: pure
// functions over media types and numbers, shared by the format, audio and
// file-writing code.
#include "capture/VcFormats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/mg/sim/SimStandIns.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

int32_t GetVideoFormatKind(const mg::AM_MEDIA_TYPE& mt) {
  const mg::GUID& f = mt.formattype;
  if (mt.majortype == mg::MEDIATYPE_Video) {
    if (f == mg::FORMAT_VideoInfo) return 0;
    if (f == mg::FORMAT_VideoInfo2) return 1;
    if (f == mg::FORMAT_MPEGVideo) return 3;
    if (f == mg::FORMAT_MPEG2Video) return 4;
    return 8;
  }
  if (mt.majortype == mg::MEDIATYPE_Interleaved && f == mg::FORMAT_DvInfo) return 2;
  if (mt.majortype == mg::MEDIATYPE_Stream) {
    if (f == mg::FORMAT_None || f.IsNull()) return 6;
    if (f == mg::FORMAT_MPEGVideo) return 3;
    if (f == mg::FORMAT_MPEGStreams) return 5;
    if (f == mg::FORMAT_MPEG2Video) return 4;
    return 6;
  }
  if (mt.majortype == mg::MEDIATYPE_Audio && f == mg::FORMAT_WaveFormatEx) return 7;
  return 8;
}

namespace {

// The video info header of either version at the start of a block long
// enough for it; the caller gives the kind.
template <class H>
const H* HeaderOf(const mg::AM_MEDIA_TYPE& mt) {
  return mt.FormatAs<H>();
}

}  // namespace

mg::BITMAPINFOHEADER* KindBitmapHeader(mg::AM_MEDIA_TYPE& mt, int32_t Kind) {
  if (Kind == 0 || Kind == 3) {
    auto* h = mt.FormatAs<mg::VIDEOINFOHEADER>();
    return h ? &h->bmiHeader : nullptr;
  }
  if (Kind == 1 || Kind == 4) {
    auto* h = mt.FormatAs<mg::VIDEOINFOHEADER2>();
    return h ? &h->bmiHeader : nullptr;
  }
  return nullptr;
}

bool GetVideoFrameInfo(const mg::AM_MEDIA_TYPE& mt, uint32_t& BitRate, int64_t& FrameDuration, int32_t& Width,
                       int32_t& Height) {
  // Both header layouts carry the same four fields under the same names.
  auto read = [&](const auto* h) {
    if (!h) return false;
    BitRate = h->dwBitRate;
    FrameDuration = h->AvgTimePerFrame;
    Width = std::abs(h->bmiHeader.biWidth);
    Height = std::abs(h->bmiHeader.biHeight);
    return true;
  };
  const int32_t kind = GetVideoFormatKind(mt);
  if (kind == 0 || kind == 3) return read(HeaderOf<mg::VIDEOINFOHEADER>(mt));
  if (kind == 1 || kind == 4) return read(HeaderOf<mg::VIDEOINFOHEADER2>(mt));
  return false;
}

void ParseFourCCName(const String& Name, uint32_t& Compression, uint16_t& BitCount) {
  auto digitsAfter = [&](size_t prefix, uint16_t& bits) {
    if (Name.size() <= prefix || Name.size() > prefix + 4) return false;
    for (size_t i = prefix; i < Name.size(); ++i)
      if (Name[i] < '0' || Name[i] > '9') return false;
    bits = static_cast<uint16_t>(std::stoi(Name.substr(prefix)));
    return true;
  };
  uint16_t bits = 0;
  if (Name.rfind("RGB", 0) == 0 && digitsAfter(3, bits)) {
    Compression = mg::BI_RGB;
    BitCount = bits;
  } else if (Name.rfind("BITF", 0) == 0 && digitsAfter(4, bits)) {
    Compression = mg::BI_BITFIELDS;
    BitCount = bits;
  } else if (Name == "RLE8") {
    Compression = 1;  // BI_RLE8
    BitCount = 8;
  } else if (Name == "RLE4") {
    Compression = 2;  // BI_RLE4
    BitCount = 4;
  } else if (Name == "YUY2" || Name == "UYVY") {
    Compression = mg::MAKEFOURCC(Name[0], Name[1], Name[2], Name[3]);
    BitCount = 16;
  } else if (Name == "YV12" || Name == "IYUV" || Name == "I420") {
    Compression = mg::MAKEFOURCC(Name[0], Name[1], Name[2], Name[3]);
    BitCount = 12;
  } else if (Name == "YUV9") {
    Compression = mg::MAKEFOURCC('Y', 'U', 'V', '9');
    BitCount = 9;
  }
}

int32_t DibImageSize(const mg::BITMAPINFOHEADER* h) {
  if (!h) return 0;
  const int64_t stride = ((static_cast<int64_t>(h->biBitCount) * h->biWidth + 31) / 32) * 4;
  return static_cast<int32_t>(stride * std::llabs(static_cast<int64_t>(h->biHeight)));
}

bool ParseSizeText(const String& Text, int32_t& Width, int32_t& Height) {
  const size_t x = Text.find('x');
  if (x == String::npos || x == 0) return false;
  auto number = [](const String& s) {
    const String t = rtl::Trim(s);
    if (t.empty() || t.size() > 9) return 0;
    for (char c : t)
      if (c < '0' || c > '9') return 0;
    return std::stoi(t);
  };
  Width = number(Text.substr(0, x));
  Height = number(Text.substr(x + 1));
  return Width >= 1 && Height >= 1;
}

String PaddedSizeText(int32_t Width, int32_t Height) {
  const String text = std::to_string(Width) + "x" + std::to_string(Height);
  if (Width >= 1000) return text;
  if (Width >= 100) return " " + text;
  return "  " + text;
}

bool IsDVSubtypeName(const String& Name) {
  const String n = rtl::LowerCase(Name);
  for (const char* dv : {"dvsd", "dvhd", "dvsl", "dv25", "dv50", "dvh1", "dvsc"})
    if (n == dv) return true;
  return false;
}

bool FolderExists(const String& Path) { return !Path.empty() && rtl::DirectoryExists(Path); }

bool ForceFolders(const String& Path) {
  if (Path.empty() || Path.back() == ':' || (Path.size() >= 2 && Path[Path.size() - 2] == ':')) return true;
  String path = Path;
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  if (FolderExists(path)) return true;
  if (path.size() > 2) {
    const size_t slash = path.rfind('/');
    if (slash != String::npos && slash > 0 && !ForceFolders(path.substr(0, slash))) return false;
    return rtl::CreateDir(path) || FolderExists(path);
  }
  return false;
}

void ForceFileFolder(const String& FileName) {
  const size_t slash = FileName.rfind('/');
  if (slash == String::npos) return;
  const String folder = FileName.substr(0, slash);
  if (!FolderExists(folder)) ForceFolders(folder);
}

// ---- PCM formats ----------------------------------------------------------------

TAudioFormatSpec AudioFormatSpec(TAudioFormat Format) {
  static const uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
  if (Format <= af_default || Format > af_48000_16b_2ch) return {22050, 16, 2};
  const int32_t n = static_cast<int32_t>(Format) - 1;  // four formats a rate: 8/16 bits, mono/stereo
  return {kRates[n / 4], static_cast<uint16_t>((n % 4) < 2 ? 8 : 16), static_cast<uint16_t>(n % 2 == 0 ? 1 : 2)};
}

void FillWaveFormat(TAudioFormat Format, mg::WAVEFORMATEX& Wave) {
  const TAudioFormatSpec s = AudioFormatSpec(Format);
  Wave.nChannels = s.Channels;
  Wave.nSamplesPerSec = s.Rate;
  Wave.wBitsPerSample = s.Bits;
  Wave.nBlockAlign = static_cast<uint16_t>(Wave.nChannels * Wave.wBitsPerSample / 8);
  Wave.nAvgBytesPerSec = Wave.nBlockAlign * Wave.nSamplesPerSec;
}

// ---- audio levels ----------------------------------------------------------------

double MixLevelOf(int32_t Level) {
  if (Level <= 0) return 0.0;
  if (Level >= 65535) return 1.0;
  return Level / 65535.0;
}

// Linear over each half, so 0 is the centre and both ends are reached.
double PanOf(int32_t Balance) {
  if (Balance <= -32768) return -1.0;
  if (Balance >= 32767) return 1.0;
  return Balance < 0 ? Balance / 32768.0 : Balance / 32767.0;
}

namespace {

// Halves go to the even neighbour; the line's channels hold 16 bits, so a
// value past either end is held at it rather than wrapped.
uint32_t ChannelValue(double v) {
  const double r = std::nearbyint(v);
  return static_cast<uint32_t>(std::clamp(r, 0.0, 65535.0));
}

}  // namespace

void SpeakerChannelsOf(int32_t Volume, int32_t Balance, uint32_t& Left, uint32_t& Right) {
  const int64_t v = Volume;
  if (Balance > 0) {
    Left = ChannelValue(static_cast<double>(v * (32767 - static_cast<int64_t>(Balance))) / 32767.0);
    Right = ChannelValue(static_cast<double>(v));
  } else {
    Left = ChannelValue(static_cast<double>(v));
    Right = ChannelValue(static_cast<double>(v * (static_cast<int64_t>(Balance) + 32768)) / 32767.0);
  }
}

void SpeakerLevelsOf(uint32_t Left, uint32_t Right, int32_t& Volume, int32_t& Balance) {
  if (Left == Right) {
    Volume = static_cast<int32_t>(Left);
    Balance = 0;
  } else if (Left > Right) {
    Volume = static_cast<int32_t>(Left);
    Balance = static_cast<int32_t>(std::nearbyint(static_cast<double>(Right) / Left * 32767.0 - 32768.0));
  } else {
    Volume = static_cast<int32_t>(Right);
    Balance = static_cast<int32_t>(std::nearbyint(32767.0 - static_cast<double>(Left) / Right * 32767.0));
  }
}

bool GetSpeakerLevels(int32_t& Volume, int32_t& Balance) {
  auto mixer = mg::GetSpeakerMixer();
  uint32_t left = 0, right = 0;
  if (!mixer || !mixer->GetVolume(&left, &right)) return false;
  SpeakerLevelsOf(left, right, Volume, Balance);
  return true;
}

bool SetSpeakerLevels(int32_t Volume, int32_t Balance) {
  auto mixer = mg::GetSpeakerMixer();
  if (!mixer) return false;
  uint32_t left = 0, right = 0;
  SpeakerChannelsOf(Volume, Balance, left, right);
  return mixer->SetVolume(left, right);
}

}  // namespace capture
