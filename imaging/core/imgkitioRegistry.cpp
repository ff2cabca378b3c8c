#include "imaging/core/imgkitioRegistry.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include <vector>

#include "imaging/core/imgkitio.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/StringUtils.h"

namespace imaging {

namespace {

constexpr size_t MaxRecordText = 80;

struct Registry {
  // Registrations normally happen at start-up, but a lock costs nothing
  // next to a file read and keeps a late registration from tearing the list
  // under a background load.
  std::shared_mutex mutex;
  std::vector<std::unique_ptr<TFormatRegistryRecord>> records;

  Registry() {
    struct BuiltIn {
      int32_t id;
      const char* description;
      const char* extensions;
      uint16_t pages;
    };
    static const BuiltIn table[] = {
        {ioTIFF, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", ppTIFF},
        {ioGIF, "CompuServe Bitmap", "GIF", ppGIF},
        {ioJPEG, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", ppJPEG},
        {ioPCX, "PaintBrush", "PCX", ppPCX},
        {ioBMP, "Windows Bitmap", "BMP;DIB;RLE", ppBMP},
        {ioICO, "Windows Icon", "ICO", 0},
        {ioCUR, "Windows Cursor", "CUR", 0},
        {ioPNG, "Portable Network Graphics", "PNG", ppPNG},
        {ioWMF, "Windows Metafile", "WMF", 0},
        {ioEMF, "Enhanced Windows Metafile", "EMF", 0},
        {ioTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", ppTGA},
        {ioPNM, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", 0},
        {ioWBMP, "Wireless Bitmap", "WBMP", 0},
        {ioJP2, "JPEG2000", "JP2", ppJ2000},
        {ioJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", ppJ2000},
        {ioPS, "PostScript Level 2", "PS;EPS", 0},
        {ioPDF, "Adobe PDF", "PDF", 0},
        {ioDCX, "Multipage PCX", "DCX", 0},
        {ioRAW, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR", 0},
    };
    for (const auto& b : table) {
      auto r = std::make_unique<TFormatRegistryRecord>();
      r->FormatId = b.id;
      r->Description = b.description;
      r->Extensions = b.extensions;
      r->BuiltIn = true;
      r->DialogPages = b.pages;
      records.push_back(std::move(r));
    }
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::vector<String> SplitExtensions(const String& list) {
  std::vector<String> out;
  size_t start = 0;
  while (start < list.size()) {
    const size_t semi = list.find(';', start);
    String piece = list.substr(start, semi == String::npos ? String::npos : semi - start);
    if (piece.empty()) break;
    out.push_back(std::move(piece));
    if (semi == String::npos) break;
    start = semi + 1;
  }
  return out;
}

String NormalizedExtension(const String& extension) {
  String e = rtl::LowerCase(extension);
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  return e;
}

TFormatRegistryRecord* FindByIdLocked(Registry& reg, int32_t formatId) {
  for (auto& r : reg.records)
    if (r->FormatId == formatId) return r.get();
  return nullptr;
}

// The first `n` bytes (up to a NUL) of a buffer as text.
String TextUpToNul(const uint8_t* bytes, size_t n) {
  size_t len = 0;
  while (len < n && bytes[len] != 0) ++len;
  return String(reinterpret_cast<const char*>(bytes), len);
}

// Reads `count` bytes at `position` into a zeroed buffer, so that a short
// read near the end compares zeros and not stale bytes, then goes back.
void ReadAt(rtl::TStream& stream, int64_t position, uint8_t* buffer, int64_t count) {
  std::memset(buffer, 0, static_cast<size_t>(count));
  stream.SetPosition(position);
  stream.Read(buffer, count);
  stream.SetPosition(position);
}

// A probe on the data at `position`, with the position put back after it.
bool RunProbe(rtl::TStream& stream, int64_t position, TIKStreamProbe probe) {
  if (!probe) return false;
  stream.SetPosition(position);
  const bool claimed = probe(stream);
  stream.SetPosition(position);
  return claimed;
}

// A PCX header: the manufacturer byte 0x0A, a version up to 5, and (since a
// Targa file with a 10-byte id field starts with 0x0A too) an encoding of 0
// or 1 and a pixel depth a PCX file can have.
bool LooksLikePcx(const uint8_t* h) {
  if (h[0] != 0x0A || h[1] > 5) return false;
  if (h[2] > 1) return false;
  return h[3] == 1 || h[3] == 2 || h[3] == 4 || h[3] == 8;
}

int32_t DetectAt(rtl::TStream& stream, int64_t p, int32_t& result) {
  const int64_t size = stream.Size();
  const TIKFormatProbes probes = IKFormatProbes();
  uint8_t h[128];

  if (size > 12) {
    ReadAt(stream, p, h, 12);
    if (TextUpToNul(h, 5) == "JFIF") return result = ioJPEG;
  }
  if (size > 13) {
    ReadAt(stream, p, h, 13);
    if (h[0] == 'G' && h[1] == 'I' && h[2] == 'F') return result = ioGIF;
  }
  if (size > 12) {
    ReadAt(stream, p, h, 12);
    if (TextUpToNul(h, 5) == "PCX2") return result = ioPCX;
  }
  if (size > 4) {
    ReadAt(stream, p, h, 4);
    if (TextUpToNul(h, 4) == "PCX") return result = ioPCX;
  }
  if (size > 14) {
    ReadAt(stream, p, h, 14);
    if ((h[0] | h[1] << 8) == 0x4D42) return result = ioBMP;
  }
  if (size > 128) {
    ReadAt(stream, p, h, 128);
    if (LooksLikePcx(h)) return result = ioPCX;
  }
  if (size > 12) {
    ReadAt(stream, p, h, 12);
    if (TextUpToNul(h, 5) == "TIFF") return result = ioTIFF;
  }
  if (RunProbe(stream, p, probes.IsTiffStream) && !RunProbe(stream, p, probes.IsTiffRawStream))
    return result = ioTIFF;
  if (size > 8 && RunProbe(stream, p, probes.IsPngStream)) return result = ioPNG;
  if (RunProbe(stream, p, probes.ProbeIco)) return result = ioICO;
  if (RunProbe(stream, p, probes.ProbeCur)) return result = ioCUR;
  if (RunProbe(stream, p, probes.ProbeTga)) return result = ioTGA;
  if (RunProbe(stream, p, probes.ProbePnm)) return result = ioPNM;
  if (probes.FindJpegStart) {
    stream.SetPosition(p);
    const int64_t start = probes.FindJpegStart(stream);
    stream.SetPosition(p);
    if (start >= 0) return result = ioJPEG;
  }
  if (RunProbe(stream, p, probes.IsJp2Stream)) return result = ioJP2;
  if (RunProbe(stream, p, probes.IsJ2kStream)) return result = ioJ2K;
  stream.SetPosition(p);
  if (IsAviStream(stream)) return result = ioAVI;
  if (RunProbe(stream, p, probes.ProbeDcx)) return result = ioDCX;
  if (RunProbe(stream, p, probes.ProbeWmf)) return result = ioWMF;
  if (RunProbe(stream, p, probes.ProbeEmf)) return result = ioEMF;

  // Formats added at run time, in registration order. The list is copied
  // so that a probe runs without the registry's lock.
  std::vector<std::pair<int32_t, TIKRegistryProbeProc>> plugins;
  {
    auto& reg = TheRegistry();
    std::shared_lock lock(reg.mutex);
    for (const auto& r : reg.records)
      if (r->ProbeFunction) plugins.emplace_back(r->FormatId, r->ProbeFunction);
  }
  for (const auto& [id, probe] : plugins) {
    stream.SetPosition(p);
    if (probe(stream, id)) {
      stream.SetPosition(p);
      return result = id;
    }
  }
  stream.SetPosition(p);
  if (RunProbe(stream, p, probes.IsRawStream)) return result = ioRAW;
  return result;
}

}  // namespace

const TFormatRegistryRecord* FindFormatById(int32_t formatId) {
  auto& reg = TheRegistry();
  std::shared_lock lock(reg.mutex);
  return FindByIdLocked(reg, formatId);
}

const TFormatRegistryRecord* FindFormatByExtension(const String& extension) {
  const String wanted = NormalizedExtension(extension);
  auto& reg = TheRegistry();
  std::shared_lock lock(reg.mutex);
  for (const auto& r : reg.records)
    for (const auto& e : SplitExtensions(r->Extensions))
      if (rtl::LowerCase(e) == wanted) return r.get();
  return nullptr;
}

int32_t GetFormatIdByExtension(const String& extension) {
  const TFormatRegistryRecord* r = FindFormatByExtension(rtl::LowerCase(extension));
  return r ? r->FormatId : 0;
}

int32_t GetFileExtensionCount(int32_t formatId) {
  auto& reg = TheRegistry();
  std::shared_lock lock(reg.mutex);
  const TFormatRegistryRecord* r = FindByIdLocked(reg, formatId);
  return r ? static_cast<int32_t>(SplitExtensions(r->Extensions).size()) : 0;
}

String GetFileExtension(int32_t formatId, int32_t index) {
  auto& reg = TheRegistry();
  std::shared_lock lock(reg.mutex);
  const TFormatRegistryRecord* r = FindByIdLocked(reg, formatId);
  if (!r || index < 0) return String();
  const auto list = SplitExtensions(r->Extensions);
  return static_cast<size_t>(index) < list.size() ? list[static_cast<size_t>(index)] : String();
}

void RegisterFileFormat(const TFormatRegistryRecord& record) {
  auto copy = std::make_unique<TFormatRegistryRecord>(record);
  if (copy->Description.size() > MaxRecordText) copy->Description.resize(MaxRecordText);
  if (copy->Extensions.size() > MaxRecordText) copy->Extensions.resize(MaxRecordText);
  auto& reg = TheRegistry();
  std::unique_lock lock(reg.mutex);
  reg.records.push_back(std::move(copy));
}

void UnregisterFileFormat(int32_t formatId) {
  auto& reg = TheRegistry();
  std::unique_lock lock(reg.mutex);
  for (auto it = reg.records.begin(); it != reg.records.end(); ++it)
    if ((*it)->FormatId == formatId) {
      reg.records.erase(it);
      return;
    }
}

TIKFormatProbes& IKFormatProbes() {
  static TIKFormatProbes probes;
  return probes;
}

bool IsAviStream(rtl::TStream& stream) {
  const int64_t p = stream.Position();
  uint8_t h[12];
  ReadAt(stream, p, h, 12);
  return std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "AVI ", 4) == 0;
}

int32_t DetectStreamFormat(rtl::TStream& stream) {
  // The built-in filters fill their probes once; detecting before any
  // input/output component exists must find them too, and the call's once
  // flag orders those writes before the probes are read on this thread.
  InstallBuiltInFilters();
  int32_t result = 0;
  int64_t p = 0;
  try {
    p = stream.Position();
    DetectAt(stream, p, result);
  } catch (...) {
    // A probe that raises ends the detection with what was found so far.
    try {
      stream.SetPosition(p);
    } catch (...) {
    }
  }
  return result;
}

int32_t DetectFileFormat(const String& fileName, bool checkExtension) {
  if (fileName.empty()) return 0;
  int32_t result = 0;
  try {
    rtl::TFileStream file(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    result = DetectStreamFormat(file);
  } catch (...) {
    return 0;
  }
  const TFormatRegistryRecord* byExt = FindFormatByExtension(rtl::ExtractFileExt(fileName));
  const int32_t extId = byExt ? byExt->FormatId : 0;
  if (extId == ioRAW && result == ioTIFF) result = ioRAW;
  if (!checkExtension || result == 0) return result;
  if (!byExt) return 0;
  if (result == ioICO || result == ioCUR) return extId;
  return result == extId ? result : 0;
}

String TIKStreamHeader::TagText() const {
  return TextUpToNul(reinterpret_cast<const uint8_t*>(Tag), sizeof(Tag));
}

bool ReadStreamHeader(rtl::TStream& stream, TIKStreamHeader& header) {
  uint8_t raw[IKStreamHeaderSize] = {};
  if (stream.Read(raw, IKStreamHeaderSize) != IKStreamHeaderSize) return false;
  std::memcpy(header.Tag, raw, 8);
  header.Length = static_cast<uint32_t>(raw[8]) | static_cast<uint32_t>(raw[9]) << 8 |
                  static_cast<uint32_t>(raw[10]) << 16 | static_cast<uint32_t>(raw[11]) << 24;
  return true;
}

void WriteStreamHeader(rtl::TStream& stream, const char* tag, uint32_t length) {
  uint8_t raw[IKStreamHeaderSize] = {};
  std::strncpy(reinterpret_cast<char*>(raw), tag, 8);
  raw[8] = static_cast<uint8_t>(length);
  raw[9] = static_cast<uint8_t>(length >> 8);
  raw[10] = static_cast<uint8_t>(length >> 16);
  raw[11] = static_cast<uint8_t>(length >> 24);
  stream.WriteBuffer(raw, IKStreamHeaderSize);
}

}  // namespace imaging
