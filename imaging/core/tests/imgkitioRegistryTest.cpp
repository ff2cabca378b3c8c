// The format registry: lookups by id and extension, formats added at run
// time, recognition of stream content (the header tests, the installed
// probes and the probes of added formats), file detection with its
// extension rules, and the 12-byte stream header.
#include "imaging/core/imgkitioRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/core/tests/IkTestFolder.h"
#include "imaging/core/ikutilsStreams.h"

using namespace imaging;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string Padded(std::string s, size_t size) {
  s.resize(size, '\0');
  return s;
}

int32_t Detect(const std::string& data, int64_t position = 0) {
  rtl::TStringStream stream(data);
  stream.SetPosition(position);
  const int32_t id = DetectStreamFormat(stream);
  EXPECT_EQ(stream.Position(), position) << "detection must leave the position where it was";
  return id;
}

// Puts the installed probes back after a test replaced some.
class ProbeGuard {
public:
  ProbeGuard() : saved_(IKFormatProbes()) {}
  ~ProbeGuard() { IKFormatProbes() = saved_; }

private:
  TIKFormatProbes saved_;
};

}  // namespace

TEST(FormatRegistry, ExtensionLookups) {
  struct Case {
    const char* extension;
    int32_t id;
  };
  const Case cases[] = {
      {"JPEG", ioJPEG}, {".jpeg", ioJPEG}, {".JpG", ioJPEG}, {"jif", ioJPEG}, {"tiff", ioTIFF},
      {".XIF", ioTIFF}, {"pix", ioTGA},    {".pbm", ioPNM},  {"j2c", ioJ2K},  {"jp2", ioJP2},
      {"nef", ioRAW},   {"wbmp", ioWBMP},  {"eps", ioPS},    {"avi", 0},      {"xyz", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extension);
    const TFormatRegistryRecord* r = FindFormatByExtension(c.extension);
    EXPECT_EQ(r ? r->FormatId : 0, c.id);
    EXPECT_EQ(GetFormatIdByExtension(c.extension), c.id);
  }
  EXPECT_EQ(GetFileExtensionCount(ioRAW), 12);
  EXPECT_EQ(GetFileExtension(ioRAW, 0), "CRW");
  EXPECT_EQ(GetFileExtension(ioRAW, 11), "DCR");
  EXPECT_EQ(GetFileExtension(ioRAW, 12), "");
  EXPECT_EQ(GetFileExtension(ioRAW, -1), "");
  EXPECT_EQ(GetFileExtensionCount(ioAVI), 0);
  EXPECT_EQ(GetFileExtension(ioAVI, 0), "");

  const TFormatRegistryRecord* tiff = FindFormatById(ioTIFF);
  ASSERT_NE(tiff, nullptr);
  EXPECT_EQ(tiff->Description, "TIFF Bitmap");
  EXPECT_TRUE(tiff->BuiltIn);
  EXPECT_EQ(tiff->DialogPages, ppTIFF);
  EXPECT_EQ(FindFormatById(ioRawPixels), nullptr);
  EXPECT_EQ(FindFormatById(ioAVI), nullptr);
}

TEST(FormatRegistry, AddedFormatsComeAfterTheBuiltInOnes) {
  TFormatRegistryRecord r;
  r.FormatId = 200;
  r.Description = std::string(100, 'd');
  r.Extensions = "QQA;JPG;;QQB";
  RegisterFileFormat(r);
  const TFormatRegistryRecord* added = FindFormatById(200);
  ASSERT_NE(added, nullptr);
  EXPECT_FALSE(added->BuiltIn);
  EXPECT_EQ(added->Description.size(), 80u);
  // The built-in JPEG record keeps its extension; an empty entry ends the
  // list.
  EXPECT_EQ(GetFormatIdByExtension("jpg"), ioJPEG);
  EXPECT_EQ(GetFormatIdByExtension("qqa"), 200);
  EXPECT_EQ(GetFormatIdByExtension("qqb"), 0);
  EXPECT_EQ(GetFileExtensionCount(200), 2);

  // A second record with the same id: the first is found and removed first.
  r.Extensions = "QQC";
  RegisterFileFormat(r);
  EXPECT_EQ(FindFormatById(200)->Extensions, "QQA;JPG;;QQB");
  UnregisterFileFormat(200);
  EXPECT_EQ(FindFormatById(200)->Extensions, "QQC");
  UnregisterFileFormat(200);
  EXPECT_EQ(FindFormatById(200), nullptr);
}

TEST(DetectStream, HeaderTestsOfTheRegistry) {
  const std::string bmp = Padded("BM", 60);
  struct Case {
    const char* name;
    std::string data;
    int32_t id;
  };
  const Case cases[] = {
      {"GIF needs more than 13 bytes", Padded("GIF89a", 14), ioGIF},
      {"13 bytes of GIF are not enough", Padded("GIF89a", 13), ioUnknown},
      {"JPEG stream header", Padded("JFIF", 20), ioJPEG},
      {"PCX stream header", Padded("PCX2", 20), ioPCX},
      {"older PCX stream header", Padded("PCX", 5), ioPCX},
      {"BMP", bmp, ioBMP},
      {"BMP of 14 bytes is too short", Padded("BM", 14), ioUnknown},
      {"PCX file", Padded(Bytes({0x0A, 5, 1, 8}), 129), ioPCX},
      {"PCX of 100 bytes", Padded(Bytes({0x0A, 5, 1, 8}), 100), ioUnknown},
      {"PCX version past 5", Padded(Bytes({0x0A, 6, 1, 8}), 129), ioUnknown},
      // A Targa file whose image id is 10 bytes long starts with 0x0A too.
      {"Targa with a 10-byte id", Padded(Bytes({0x0A, 0, 2, 0, 0, 0, 0, 0}), 200), ioUnknown},
      {"TIFF stream header", Padded("TIFF", 20), ioTIFF},
      {"AVI", Padded(std::string("RIFF\x10\0\0\0AVI LIST", 16), 64), ioAVI},
      {"WAV is RIFF but not AVI", Padded(std::string("RIFF\x10\0\0\0WAVEfmt ", 16), 64), ioUnknown},
      {"empty", "", ioUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Detect(c.data), c.id);
  }
}

TEST(DetectStream, StartsAtThePositionButSizesTheWholeStream) {
  // The GIF signature 20 bytes in: read from the position.
  EXPECT_EQ(Detect(Padded(std::string(20, 'x') + "GIF89a", 40), 20), ioGIF);
  // Near the end the reads come up short; what is missing reads as zeros,
  // never as bytes of an earlier test.
  const std::string tail = std::string(30, 'x') + "BM";
  EXPECT_EQ(Detect(tail, 30), ioBMP);
  EXPECT_EQ(Detect(Padded("GIF", 40), 38), ioUnknown);
}

namespace {
int probeCalls = 0;
int64_t probeSawPosition = -1;
bool ProbeQQ(rtl::TStream& stream, int32_t formatId) {
  ++probeCalls;
  probeSawPosition = stream.Position();
  char magic[4] = {};
  stream.Read(magic, 4);
  return formatId == 201 && std::string(magic, 4) == "QQ01";
}
bool ThrowingProbe(rtl::TStream&, int32_t) { throw rtl::EReadError("probe failed"); }
}  // namespace

TEST(DetectStream, ProbesOfAddedFormats) {
  TFormatRegistryRecord r;
  r.FormatId = 201;
  r.Extensions = "QQ";
  r.ProbeFunction = ProbeQQ;
  RegisterFileFormat(r);
  probeCalls = 0;
  EXPECT_EQ(Detect(Padded("..QQ01", 30), 2), 201);
  EXPECT_EQ(probeCalls, 1);
  EXPECT_EQ(probeSawPosition, 2);
  // A header test that matches first keeps the probe from running.
  EXPECT_EQ(Detect(Padded("GIF89a", 30)), ioGIF);
  EXPECT_EQ(probeCalls, 1);
  EXPECT_EQ(Detect(Padded("QQ02", 30)), ioUnknown);
  UnregisterFileFormat(201);

  // A probe that raises ends the detection quietly.
  r.FormatId = 202;
  r.ProbeFunction = ThrowingProbe;
  RegisterFileFormat(r);
  rtl::TStringStream stream(Padded("nothing known", 30));
  stream.SetPosition(3);
  EXPECT_EQ(DetectStreamFormat(stream), ioUnknown);
  UnregisterFileFormat(202);
}

namespace {
bool Claim(rtl::TStream&) { return true; }
bool StartsWithIcon(rtl::TStream& s) {
  uint8_t h[4] = {};
  s.Read(h, 4);
  return h[0] == 0 && h[1] == 0 && (h[2] == 1 || h[2] == 2) && h[3] == 0;
}
}  // namespace

TEST(DetectStream, InstalledProbesInTheirOrder) {
  ProbeGuard guard;
  auto& probes = IKFormatProbes();
  probes = TIKFormatProbes{};
  const std::string data = Padded("anything", 40);
  probes.IsRawStream = Claim;
  EXPECT_EQ(Detect(data), ioRAW);
  probes.ProbeEmf = Claim;
  EXPECT_EQ(Detect(data), ioEMF);
  probes.IsJ2kStream = Claim;
  EXPECT_EQ(Detect(data), ioJ2K);
  probes.FindJpegStart = [](rtl::TStream&) -> int64_t { return 0; };
  EXPECT_EQ(Detect(data), ioJPEG);
  probes.ProbePnm = Claim;
  EXPECT_EQ(Detect(data), ioPNM);
  probes.IsPngStream = Claim;
  EXPECT_EQ(Detect(data), ioPNG);
  // A TIFF that is camera RAW inside goes on to the later probes.
  probes.IsTiffStream = Claim;
  probes.IsTiffRawStream = Claim;
  EXPECT_EQ(Detect(data), ioPNG);
  probes.IsTiffRawStream = nullptr;
  EXPECT_EQ(Detect(data), ioTIFF);
  // A JPEG start that is not found does not claim the data.
  probes = TIKFormatProbes{};
  probes.FindJpegStart = [](rtl::TStream&) -> int64_t { return -1; };
  EXPECT_EQ(Detect(data), ioUnknown);
}

class DetectFile : public imaging::testing::TempFolderTest {
protected:
  std::string Write(const std::string& name, const std::string& data) {
    const std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }
};

TEST_F(DetectFile, ExtensionRules) {
  const std::string tiffData = Padded("TIFF", 64);
  EXPECT_EQ(DetectFileFormat("", false), 0);
  EXPECT_EQ(DetectFileFormat(folder_ + "missing.tif", false), 0);
  EXPECT_EQ(DetectFileFormat(Write("a.tif", tiffData), true), ioTIFF);
  // TIFF-structured content under a camera RAW name is RAW.
  EXPECT_EQ(DetectFileFormat(Write("a.nef", tiffData), false), ioRAW);
  EXPECT_EQ(DetectFileFormat(Write("a.NEF", tiffData), true), ioRAW);
  // With the extension checked, content and name must agree.
  EXPECT_EQ(DetectFileFormat(Write("a.jpg", tiffData), false), ioTIFF);
  EXPECT_EQ(DetectFileFormat(Write("a.jpg", tiffData), true), 0);
  EXPECT_EQ(DetectFileFormat(Write("a.zzz", tiffData), true), 0);
  EXPECT_EQ(DetectFileFormat(Write("a.zzz", "?"), false), 0);

  // Icons and cursors differ in one field: the name decides.
  ProbeGuard guard;
  IKFormatProbes().ProbeIco = StartsWithIcon;
  const std::string icon = Padded(Bytes({0, 0, 1, 0, 1, 0}), 64);
  EXPECT_EQ(DetectFileFormat(Write("i.ico", icon), true), ioICO);
  EXPECT_EQ(DetectFileFormat(Write("i.cur", icon), true), ioCUR);
  EXPECT_EQ(DetectFileFormat(Write("i.cur", icon), false), ioICO);
}

TEST(StreamHeader, WriteAndReadBack) {
  rtl::TMemoryStream s;
  s.WriteBuffer("ab", 2);
  WriteStreamHeader(s, "PCX2", 0x01020304);
  EXPECT_EQ(s.Size(), 14);
  const std::string raw(reinterpret_cast<const char*>(s.Memory()) + 2, 12);
  EXPECT_EQ(raw, std::string("PCX2\0\0\0\0\x04\x03\x02\x01", 12));
  s.SetPosition(2);
  TIKStreamHeader h;
  ASSERT_TRUE(ReadStreamHeader(s, h));
  EXPECT_EQ(h.TagText(), "PCX2");
  EXPECT_EQ(h.Length, 0x01020304u);
  s.SetPosition(4);
  EXPECT_FALSE(ReadStreamHeader(s, h));
}

// Files made by other tools. A format whose probe is not installed yet
// must not be claimed by any other format either.
class DetectToolFiles : public imaging::testing::TempFolderTest {
protected:
  bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }
};

TEST_F(DetectToolFiles, ImageMagickAndFfmpegFiles) {
  const auto& probes = IKFormatProbes();
  struct Case {
    const char* file;
    int32_t id;
    bool detectable;  // false while the format's probe is missing
  };
  const std::string src = folder_ + "src.ppm";
  ASSERT_TRUE(Run("convert -size 40x30 gradient:red-blue " + src));
  const Case cases[] = {
      {"p.bmp", ioBMP, true},
      {"p.gif", ioGIF, true},
      {"p.pcx", ioPCX, true},
      {"p.tif", ioTIFF, probes.IsTiffStream != nullptr},
      {"p.png", ioPNG, probes.IsPngStream != nullptr},
      // Built in: found even though no input/output component exists yet.
      {"p.jpg", ioJPEG, true},
      {"p.tga", ioTGA, probes.ProbeTga != nullptr},
      {"p.ico", ioICO, probes.ProbeIco != nullptr},
      {"p.ppm", ioPNM, probes.ProbePnm != nullptr},
      {"p.jp2", ioJP2, probes.IsJp2Stream != nullptr},
      {"p.j2k", ioJ2K, probes.IsJ2kStream != nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder_ + c.file;
    ASSERT_TRUE(Run("convert " + src + " " + path));
    const int32_t id = DetectFileFormat(path, false);
    if (c.detectable) {
      EXPECT_EQ(id, c.id);
      EXPECT_EQ(DetectFileFormat(path, true), c.id);
    } else {
      EXPECT_TRUE(id == 0 || id == c.id) << "claimed as " << id;
    }
  }

  const std::string avi = folder_ + "clip.avi";
  ASSERT_TRUE(Run("ffmpeg -y -f lavfi -i testsrc=size=32x24:rate=5 -frames:v 3 -c:v mjpeg " + avi));
  EXPECT_EQ(DetectFileFormat(avi, false), ioAVI);
  const std::string wav = folder_ + "tone.wav";
  ASSERT_TRUE(Run("ffmpeg -y -f lavfi -i sine=frequency=440:duration=0.1 " + wav));
  EXPECT_EQ(DetectFileFormat(wav, false), ioUnknown);
}
