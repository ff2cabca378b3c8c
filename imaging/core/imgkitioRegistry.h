#pragma once
// The process-wide list of picture formats (ids, descriptions, extensions,
// dialog pages and, for formats added at run time, their read, write and
// probe functions), the recognition of a format from the first bytes of a
// stream or file, and the 12-byte header that wraps TIFF, JPEG and PCX data
// stored inside other streams.
#include <cstdint>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitioParams.h"
#include "platform/rtl/Streams.h"

namespace imaging {

class TIKBitmap;

// The format ids, shared by TIOParamsVals::FileType and every dispatcher.
enum : int32_t {
  ioUnknown = 0,
  ioTIFF = 1,
  ioGIF = 2,
  ioJPEG = 3,
  ioPCX = 4,
  ioBMP = 5,
  ioICO = 6,
  ioCUR = 7,
  ioPNG = 8,
  ioWMF = 9,
  ioEMF = 10,
  ioTGA = 11,
  ioPNM = 12,
  ioJP2 = 13,
  ioJ2K = 14,
  ioAVI = 15,
  ioWBMP = 16,
  ioPS = 17,
  ioPDF = 18,
  ioDCX = 19,
  ioRAW = 20,
  ioRawPixels = 21,
};

// Pages of the parameters dialog that edit a format's options.
enum : uint16_t {
  ppJPEG = 4,
  ppTIFF = 8,
  ppGIF = 16,
  ppBMP = 32,
  ppPCX = 64,
  ppPNG = 128,
  ppTGA = 256,
  ppJ2000 = 512,
};

// The functions of a format added at run time. A reader reads one image
// from the stream's position (with paramsOnly only the parameters); a
// writer writes one at the position; both set the progress record's abort
// flag instead of raising on bad data or a failed write. A probe is called
// at the start of the data and may move the position (the caller puts it
// back); true claims the data for formatId.
using TIKRegistryReadProc = void (*)(rtl::TStream& stream, TIKBitmap* bitmap, TIOParamsVals& params,
                                     bool paramsOnly, TProgressRec& progress);
using TIKRegistryWriteProc = void (*)(rtl::TStream& stream, TIKBitmap* bitmap, TIOParamsVals& params,
                                      TProgressRec& progress);
using TIKRegistryProbeProc = bool (*)(rtl::TStream& stream, int32_t formatId);

struct TFormatRegistryRecord {
  int32_t FormatId = 0;
  // At most 80 characters each; longer texts are cut when registered.
  String Description;
  // Without dots, separated by ";", upper case as registered.
  String Extensions;
  // The built-in formats read and write through the component's own
  // per-format methods; the functions below serve formats added at run
  // time and are null in the built-in records.
  bool BuiltIn = false;
  uint16_t DialogPages = 0;
  TIKRegistryReadProc ReadFunction = nullptr;
  TIKRegistryWriteProc WriteFunction = nullptr;
  TIKRegistryProbeProc ProbeFunction = nullptr;
};

// Lookups. A returned record stays valid until its format is unregistered.
const TFormatRegistryRecord* FindFormatById(int32_t formatId);
// Ignores case and a leading ".". The first record (in registration order)
// listing the extension wins.
const TFormatRegistryRecord* FindFormatByExtension(const String& extension);
int32_t GetFormatIdByExtension(const String& extension);
int32_t GetFileExtensionCount(int32_t formatId);
// The index-th (0-based) extension of the format; "" past the end or for an
// id no record has.
String GetFileExtension(int32_t formatId, int32_t index);
// Appends a copy; duplicates are not refused, the earlier record wins.
void RegisterFileFormat(const TFormatRegistryRecord& record);
// Removes the first record with that id.
void UnregisterFileFormat(int32_t formatId);

// The probes the detection asks for formats whose readers live in their
// own filter modules. Each filter module installs its probes when it
// starts; a probe that is not installed does not take part, so detection
// never claims a format that cannot be read. A probe is called at the
// start of the data and may move the position; true claims it.
using TIKStreamProbe = bool (*)(rtl::TStream& stream);
struct TIKFormatProbes {
  TIKStreamProbe IsTiffStream = nullptr;
  TIKStreamProbe IsTiffRawStream = nullptr;
  TIKStreamProbe IsPngStream = nullptr;
  TIKStreamProbe ProbeIco = nullptr;
  TIKStreamProbe ProbeCur = nullptr;
  TIKStreamProbe ProbeTga = nullptr;
  TIKStreamProbe ProbePnm = nullptr;
  // Finds the FF D8 FF start within 100 bytes: the position, or -1.
  int64_t (*FindJpegStart)(rtl::TStream& stream) = nullptr;
  TIKStreamProbe IsJp2Stream = nullptr;
  TIKStreamProbe IsJ2kStream = nullptr;
  TIKStreamProbe ProbeDcx = nullptr;
  TIKStreamProbe ProbeWmf = nullptr;
  TIKStreamProbe ProbeEmf = nullptr;
  TIKStreamProbe IsRawStream = nullptr;
};
// The installed probes. Filter modules fill their entries at start-up,
// before any detection runs.
TIKFormatProbes& IKFormatProbes();

// RIFF data whose form type is "AVI ". The position is kept.
bool IsAviStream(rtl::TStream& stream);
// The id of the data at the stream's position, 0 when nothing claims it.
// The position is kept. Never raises: a failing read or probe ends the
// detection with what was found so far.
int32_t DetectStreamFormat(rtl::TStream& stream);
// The id of a file's content; a TIFF-structured file named as camera RAW
// is RAW. With checkExtension, content and extension must agree (icons and
// cursors, which differ in one header field, take the extension's id).
// 0 for an empty name or a file that cannot be read.
int32_t DetectFileFormat(const String& fileName, bool checkExtension);

// The 12-byte header in front of TIFF, JPEG and PCX data inside another
// stream: an 8-byte tag ("TIFF", "JFIF" or "PCX2", zero-padded) and the
// length of the data that follows, 32-bit little-endian.
inline constexpr int32_t IKStreamHeaderSize = 12;
struct TIKStreamHeader {
  char Tag[8] = {};
  uint32_t Length = 0;
  // The tag as text, up to its first NUL.
  String TagText() const;
};
// Reads a header at the position; false when fewer than 12 bytes remain
// (the position then moves by what was read).
bool ReadStreamHeader(rtl::TStream& stream, TIKStreamHeader& header);
// Writes a header with the given tag and length at the position.
void WriteStreamHeader(rtl::TStream& stream, const char* tag, uint32_t length);

}  // namespace imaging
