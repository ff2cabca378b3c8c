// The input/output component on the calling thread: the dispatchers with a
// format added at run time and with a stand-in filter for a built-in id,
// the abort flag, progress and completion, the missing-buffer path, the
// stream headers, and the formats that cannot be read or written here.
#include "imaging/core/imgkitio.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "imaging/core/tests/IkIOTestFormat.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "imaging/core/ikutilsStreams.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/rtl/Threads.h"

using namespace imaging;
using namespace imaging::testing;

namespace {

class IOComponent : public TempFolderTest {
protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    io_.OnProgress = [this](forms::TObject* sender, int32_t per) {
      EXPECT_EQ(sender, &io_);
      events_.push_back("P" + std::to_string(per));
    };
    io_.OnFinishWork = [this](forms::TObject* sender) {
      EXPECT_EQ(sender, &io_);
      events_.push_back("F");
    };
  }
  std::string Write(const std::string& name, const std::string& data) {
    const std::string path = folder_ + name;
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }
  std::vector<std::string> TakeEvents() { return std::exchange(events_, {}); }

  TImgKitIO io_{nullptr};
  std::vector<std::string> events_;
  const std::vector<std::string> finished_{"P100", "F"};
  const std::vector<std::string> none_{};
};

}  // namespace

TEST_F(IOComponent, AddedFormatRoundTripThroughFiles) {
  XtstRegistration xtst;
  FillSample(*io_.IKBitmap());
  const std::string path = folder_ + "a.xts";
  io_.SaveImageByFileName(path);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_EQ(Xtst().writes, 1);
  EXPECT_EQ(io_.Params().FileType, XtstId);
  EXPECT_EQ(io_.Params().FileName, path);
  EXPECT_EQ(TakeEvents(), finished_);
  EXPECT_EQ(ReadAll(path), XtstSampleBytes());

  TImgKitIO other(nullptr);
  std::vector<std::string> events;
  other.OnProgress = [&](forms::TObject*, int32_t per) { events.push_back("P" + std::to_string(per)); };
  other.OnFinishWork = [&](forms::TObject*) { events.push_back("F"); };
  other.Aborting = true;
  other.LoadFromFile(path);
  EXPECT_FALSE(other.Aborting);
  EXPECT_EQ(Xtst().reads, 1);
  EXPECT_GE(Xtst().probes, 1);
  EXPECT_TRUE(IsSample(*other.IKBitmap()));
  EXPECT_EQ(other.Params().FileType, XtstId);
  EXPECT_EQ(other.Params().FileName, path);
  EXPECT_EQ(other.Params().DpiX(), 300);
  EXPECT_EQ(other.Params().DpiY(), 300);
  // The filter's own progress, then 100 before the completion.
  EXPECT_EQ(events, (std::vector<std::string>{"P50", "P100", "F"}));

  // Writers of added formats get 24-bit pixels; the component's buffer
  // stays converted.
  io_.IKBitmap()->Allocate(2, 2, ikGray8);
  io_.SaveImageByFileName(folder_ + "g.xtt");
  EXPECT_EQ(Xtst().lastWrittenFormat, ikRGB24);
  EXPECT_EQ(io_.IKBitmap()->PixelFormat(), ikRGB24);
}

TEST_F(IOComponent, ContentFirstThenExtension) {
  XtstRegistration xtst;
  // Content wins over a misleading name.
  io_.LoadFromFile(Write("pic.bmp", XtstSampleBytes()));
  EXPECT_EQ(io_.Params().FileType, XtstId);
  EXPECT_TRUE(IsSample(*io_.IKBitmap()));
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"P50", "P100", "F"}));

  // Content nobody claims: the name decides, and the reader refuses it.
  io_.LoadFromFile(Write("junk.xts", "not a picture at all"));
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(Xtst().reads, 2);
  EXPECT_EQ(TakeEvents(), finished_);

  // Neither content nor name known: nothing happens at all.
  for (bool before : {false, true}) {
    io_.Aborting = before;
    io_.LoadFromFile(Write("junk.zzz", "not a picture at all"));
    EXPECT_EQ(io_.Aborting, before);
    EXPECT_EQ(TakeEvents(), none_);
  }
  io_.LoadFromFileFormat(Write("p.xts", XtstSampleBytes()), 999);
  EXPECT_EQ(TakeEvents(), none_);

  // TIFF-structured content under a camera RAW name goes to the RAW reader.
  FilterOverride raw(ioRAW, XtstFilterRead, nullptr);
  std::string tiff("TIFF", 4);
  tiff.resize(64, '\0');
  io_.LoadFromFile(Write("c.nef", tiff));
  EXPECT_EQ(Xtst().reads, 1);
  EXPECT_EQ(io_.Params().FileType, ioRAW);
  EXPECT_EQ(TakeEvents(), finished_);
}

namespace {
void ThrowingRead(rtl::TStream&, TIKBitmap*, TIOParamsVals&, bool, TProgressRec&) {
  throw rtl::EReadError("reader failed");
}
}  // namespace

TEST_F(IOComponent, FailuresEndTheOperation) {
  XtstRegistration xtst;
  TFormatRegistryRecord thrower;
  thrower.FormatId = 101;
  thrower.Extensions = "THR";
  thrower.ReadFunction = ThrowingRead;
  RegisterFileFormat(thrower);
  const std::string path = Write("t.thr", "whatever");

  // By id the reader's exception reaches the caller after the completion.
  EXPECT_THROW(io_.LoadFromFileFormat(path, 101), rtl::EReadError);
  EXPECT_EQ(TakeEvents(), finished_);
  // By name it only sets the abort flag.
  io_.Aborting = false;
  EXPECT_NO_THROW(io_.LoadImageByFileName(path));
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), finished_);
  UnregisterFileFormat(101);

  // A file that cannot be opened: completion, the flag stays set, the
  // platform's error goes to the caller.
  io_.Aborting = false;
  EXPECT_THROW(io_.LoadFromFileFormat(folder_ + "missing.xts", XtstId), rtl::EFOpenError);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), finished_);

  // A truncated file: the reader stops, the load completes with the flag.
  const std::string sample = XtstSampleBytes();
  io_.LoadFromFileFormat(Write("short.xts", sample.substr(0, sample.size() - 2)), XtstId);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"P50", "P100", "F"}));

  // The application stops a running load from its progress handler; the
  // next load starts with the flag cleared.
  const std::string path2 = Write("p.xts", sample);
  io_.OnProgress = [this](forms::TObject*, int32_t per) {
    events_.push_back("P" + std::to_string(per));
    if (per == 50) io_.Aborting = true;
  };
  io_.LoadFromFile(path2);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_FALSE(IsSample(*io_.IKBitmap()));
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"P50", "P100", "F"}));
  io_.OnProgress = nullptr;
  io_.LoadFromFile(path2);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_TRUE(IsSample(*io_.IKBitmap()));
}

TEST_F(IOComponent, WithoutBufferEveryOperationCompletesAsFailed) {
  XtstRegistration xtst;
  FilterOverride jpeg(ioJPEG, XtstFilterRead, XtstFilterWrite);
  const std::string picture = Write("p.xts", XtstSampleBytes());
  const std::string target = Write("keep.xts", "old content");
  io_.AttachIKBitmap(nullptr);
  ASSERT_EQ(io_.IKBitmap(), nullptr);

  struct Case {
    const char* name;
    std::function<void()> run;
  };
  rtl::TStringStream stream(XtstSampleBytes());
  rtl::TMemoryStream out;
  const Case cases[] = {
      {"LoadImageByFileName", [&] { io_.LoadImageByFileName(picture); }},
      {"LoadFromFile", [&] { io_.LoadFromFile(picture); }},
      {"LoadFromStream", [&] { io_.LoadFromStream(stream); }},
      {"LoadFromStreamJPEG", [&] { io_.LoadFromStreamJPEG(stream); }},
      {"LoadFromFileJPEG", [&] { io_.LoadFromFileJPEG(picture); }},
      {"SaveImageByFileName", [&] { io_.SaveImageByFileName(target); }},
      {"SaveToFileJPEG", [&] { io_.SaveToFileJPEG(target); }},
      {"SaveToStreamJPEG", [&] { io_.SaveToStreamJPEG(out); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    io_.Aborting = false;
    stream.SetPosition(0);
    c.run();
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(TakeEvents(), finished_);
  }
  EXPECT_EQ(Xtst().reads + Xtst().writes, 0);
  EXPECT_EQ(ReadAll(target), "old content");
  EXPECT_EQ(out.Size(), 0);
}

TEST_F(IOComponent, SavesThatFindNoWriter) {
  XtstRegistration xtst;
  FillSample(*io_.IKBitmap());
  io_.SaveImageByFileName("");
  EXPECT_EQ(TakeEvents(), none_);

  io_.SaveImageByFileName(folder_ + "x.zzz");
  EXPECT_TRUE(io_.Aborting);
  EXPECT_TRUE(Files().empty());
  io_.Aborting = false;
  rtl::TMemoryStream stream;
  io_.SaveToStream(stream, 999);
  EXPECT_TRUE(io_.Aborting);
  io_.Aborting = false;
  io_.SaveToStream(stream, ioCUR);  // read, never written
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(TakeEvents(), none_);

  // Names a built-in format reads but has no saver for are refused before
  // the file is touched, rather than left empty.
  for (const char* name : {"old.xif", "old.PIX"}) {
    SCOPED_TRACE(name);
    const std::string path = Write(name, "old content");
    io_.Aborting = false;
    EXPECT_THROW(io_.SaveImageByFileName(path), EIKError);
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(ReadAll(path), "old content");
    EXPECT_EQ(TakeEvents(), none_);
  }
  EXPECT_EQ(Xtst().writes, 0);
}

TEST_F(IOComponent, BuiltInFormatsWithoutTheirFilterFailClearly) {
  FilterOverride png(ioPNG, nullptr, nullptr);
  FillSample(*io_.IKBitmap());
  const std::string path = Write("p.png", "old content");

  io_.LoadFromFilePNG(path);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), finished_);
  io_.Aborting = false;
  io_.LoadImageByFileName(path);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), finished_);

  io_.Aborting = false;
  io_.SaveToFilePNG(path);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), none_);
  EXPECT_EQ(ReadAll(path), "old content");

  // PostScript is written, never read.
  io_.Aborting = false;
  io_.LoadImageByFileName(Write("d.ps", "%!PS"));
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), finished_);
  // Loading over HTTP is not available here; the caller still hears the end.
  io_.Aborting = false;
  io_.LoadImageByFileName("HTTP://127.0.0.1/x.jpg");
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(TakeEvents(), finished_);
}

TEST_F(IOComponent, EmptyFilesAreRefusedBeforeAnyReader) {
  XtstRegistration xtst;
  FilterOverride tiff(ioTIFF, XtstFilterRead, XtstFilterWrite);
  FilterOverride tga(ioTGA, XtstFilterRead, XtstFilterWrite);
  for (const char* name : {"e.xif", "e.PIX", "e.tif", "e.xts"}) {
    SCOPED_TRACE(name);
    io_.Aborting = false;
    io_.LoadFromFile(Write(name, ""));
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(TakeEvents(), finished_);
  }
  EXPECT_EQ(Xtst().reads, 0);
  // A directory is no picture either, and no format claims it.
  EXPECT_EQ(DetectFileFormat(folder_, false), 0);
}

TEST_F(IOComponent, JpegStreamHeaderRoundTrip) {
  FilterOverride jpeg(ioJPEG, XtstFilterRead, XtstFilterWrite);
  FillSample(*io_.IKBitmap());
  const std::string image = XtstSampleBytes();

  rtl::TMemoryStream stream;
  stream.WriteBuffer("ab", 2);
  io_.SetStreamHeaders(true);
  io_.SaveToStreamJPEG(stream);
  EXPECT_EQ(stream.Position(), 2 + 12 + static_cast<int64_t>(image.size()));
  stream.WriteBuffer("zz", 2);
  const std::string bytes(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  std::string header("JFIF\0\0\0\0", 8);
  header.push_back(static_cast<char>(image.size()));
  header.append(3, '\0');
  EXPECT_EQ(bytes, "ab" + header + image + "zz");

  // The JPEG stream loader looks for the header whatever its own setting
  // says, and leaves the stream just after the image.
  TImgKitIO reader(nullptr);
  stream.SetPosition(2);
  reader.LoadFromStreamJPEG(stream);
  EXPECT_FALSE(reader.Aborting);
  EXPECT_TRUE(IsSample(*reader.IKBitmap()));
  EXPECT_EQ(stream.Position(), 2 + 12 + static_cast<int64_t>(image.size()));
  EXPECT_EQ(reader.Params().FileType, ioJPEG);
  EXPECT_EQ(reader.Params().FileName, "");

  // Without the header the data is read from the position.
  rtl::TMemoryStream plain;
  io_.SetStreamHeaders(false);
  io_.SaveToStreamJPEG(plain);
  EXPECT_EQ(plain.Size(), static_cast<int64_t>(image.size()));
  plain.SetPosition(0);
  reader.LoadFromStreamJPEG(plain);
  EXPECT_TRUE(IsSample(*reader.IKBitmap()));
  EXPECT_EQ(plain.Position(), static_cast<int64_t>(image.size()));
}

TEST_F(IOComponent, TiffAndPcxStreamHeadersAreRequiredWhenSwitchedOn) {
  FilterOverride tiff(ioTIFF, XtstFilterRead, XtstFilterWrite);
  FilterOverride pcx(ioPCX, XtstFilterRead, XtstFilterWrite);
  io_.SetStreamHeaders(true);
  struct Case {
    const char* name;
    std::string data;
    bool tiff;
    bool loads;
  };
  const std::string image = XtstSampleBytes();
  std::string tiffHeader("TIFF\0\0\0\0", 8);
  tiffHeader.push_back(static_cast<char>(image.size()));
  tiffHeader.append(3, '\0');
  std::string pcxHeader = tiffHeader;
  pcxHeader.replace(0, 4, "PCX2");
  const Case cases[] = {
      {"TIFF with its header", tiffHeader + image, true, true},
      {"TIFF without header", image + std::string(12, '\0'), true, false},
      {"PCX with its header", pcxHeader + image, false, true},
      {"PCX with the older 4-byte header", std::string("PCX\0", 4) + image, false, true},
      {"PCX without header", image + std::string(12, '\0'), false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    rtl::TStringStream stream(c.data);
    io_.IKBitmap()->FreeImage(true);
    if (c.tiff) {
      EXPECT_EQ(io_.LoadFromStreamTIFF(stream), c.loads ? 1 : 0);
    } else {
      io_.LoadFromStreamPCX(stream);
    }
    EXPECT_EQ(io_.Aborting, !c.loads);
    EXPECT_EQ(IsSample(*io_.IKBitmap()), c.loads);
    EXPECT_EQ(TakeEvents().back(), "F");
  }
}

TEST_F(IOComponent, SaveConversionsByFormat) {
  FilterOverride jpeg(ioJPEG, XtstFilterRead, XtstFilterWrite);
  FilterOverride bmp(ioBMP, XtstFilterRead, XtstFilterWrite);
  struct Case {
    int32_t id;
    TIKPixelFormat before;
    TIKPixelFormat written;
  };
  const Case cases[] = {
      {ioJPEG, ikGray8, ikRGB24},
      {ioJPEG, ikMono1, ikMono1},
      {ioJPEG, ikPalette8, ikRGB24},
      {ioBMP, ikGray8, ikGray8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " " + IKPixelFormatInfo(c.before).Name);
    io_.IKBitmap()->Allocate(4, 3, c.before);
    rtl::TMemoryStream stream;
    io_.SaveToStream(stream, c.id);
    EXPECT_EQ(Xtst().lastWrittenFormat, c.written);
    EXPECT_EQ(io_.IKBitmap()->PixelFormat(), c.written);
  }
}

TEST_F(IOComponent, JpegSavesCarryTheIptcRecords) {
  FilterOverride jpeg(ioJPEG, XtstFilterRead, XtstFilterWrite);
  FillSample(*io_.IKBitmap());
  TIOParamsVals& p = io_.Params();
  p.JpegMarkers.AddMarker(0xE0, "JFIF", 4);
  p.IptcInfo.AddRecord(2, 5, "Title", 5);
  rtl::TMemoryStream stream;
  io_.SaveToStreamJPEG(stream);
  const std::vector<uint8_t> expected = p.IptcInfo.SaveToBuffer(true);
  const int32_t i = p.JpegMarkers.IndexOf(0xED);
  ASSERT_GE(i, 0);
  EXPECT_EQ(std::vector<uint8_t>(p.JpegMarkers.MarkerData(i), p.JpegMarkers.MarkerData(i) + p.JpegMarkers.MarkerLength(i)),
            expected);
  EXPECT_EQ(p.JpegMarkers.Count(), 2);

  // A changed list replaces the marker; an emptied one removes it.
  p.IptcInfo.AddRecord(2, 120, "Caption", 7);
  io_.SaveToStreamJPEG(stream);
  EXPECT_EQ(p.JpegMarkers.Count(), 2);
  EXPECT_EQ(p.JpegMarkers.MarkerLength(p.JpegMarkers.IndexOf(0xED)),
            static_cast<int32_t>(p.IptcInfo.SaveToBuffer(true).size()));
  p.IptcInfo.Clear();
  p.IptcInfo.SetModified(true);
  io_.SaveToStreamJPEG(stream);
  EXPECT_EQ(p.JpegMarkers.IndexOf(0xED), -1);
  EXPECT_EQ(p.JpegMarkers.Count(), 1);
}

TEST_F(IOComponent, ParametersOnly) {
  XtstRegistration xtst;
  const std::string sample = XtstSampleBytes();
  io_.ParamsFromFile(Write("p.xts", sample));
  EXPECT_EQ(Xtst().paramsReads, 1);
  EXPECT_EQ(Xtst().reads, 0);
  EXPECT_EQ(io_.Params().FileType, XtstId);
  EXPECT_EQ(io_.Params().Width, 3);
  EXPECT_EQ(io_.Params().Height, 2);
  EXPECT_EQ(io_.Params().FileName, folder_ + "p.xts");
  EXPECT_TRUE(io_.IKBitmap()->IsEmpty());
  EXPECT_EQ(TakeEvents(), finished_);

  // Content and name disagree: nothing is known.
  io_.ParamsFromFile(Write("p.bmp", sample));
  EXPECT_EQ(io_.Params().FileType, 0);
  EXPECT_TRUE(io_.Aborting);
  io_.ParamsFromFile(folder_ + "missing.xts");
  EXPECT_EQ(io_.Params().FileType, 0);

  rtl::TStringStream stream(sample);
  io_.ParamsFromStream(stream);
  EXPECT_EQ(io_.Params().FileType, XtstId);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_EQ(io_.Params().FileName, "");
  EXPECT_EQ(Xtst().reads, 0);
}

TEST_F(IOComponent, OwnBufferIgnoresAsyncModeAndBuffersLoadInPlace) {
  XtstRegistration xtst;
  io_.AsyncMode = true;
  const std::string sample = XtstSampleBytes();
  io_.LoadFromBuffer(sample.data(), static_cast<int64_t>(sample.size()), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"P50", "P100", "F"}));
  EXPECT_TRUE(IsSample(*io_.IKBitmap()));
  EXPECT_EQ(io_.Params().FileType, XtstId);

  // A borrowed buffer would move the work to a thread, but the caller's
  // memory block is only good during the call.
  TIKBitmap borrowed;
  io_.AttachIKBitmap(&borrowed);
  io_.LoadFromBuffer(sample.data(), static_cast<int64_t>(sample.size()), XtstId);
  EXPECT_EQ(io_.IOThreadCount(), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<std::string>{"P50", "P100", "F"}));
  EXPECT_TRUE(IsSample(borrowed));
}

TEST_F(IOComponent, AttachedImageControlShowsTheLoadedPicture) {
  XtstRegistration xtst;
  auto image = std::make_unique<forms::TImage>(nullptr);
  forms::TBitmap* bitmap = image->Picture()->Bitmap();
  bitmap->SetPixelFormat(forms::pf24bit);
  bitmap->SetSize(5, 4);
  io_.SetAttachedTImage(image.get());
  EXPECT_EQ(io_.AttachedTImage(), image.get());
  EXPECT_EQ(io_.GetTBitmap(), bitmap);
  int32_t w = 0, h = 0;
  ASSERT_TRUE(io_.PlatformBitmapSize(w, h));
  EXPECT_EQ(w, 5);
  bitmap->SetModified(false);

  io_.LoadFromFile(Write("p.xts", XtstSampleBytes()));
  EXPECT_FALSE(io_.Aborting);
  EXPECT_EQ(bitmap->Width(), 3);
  EXPECT_EQ(bitmap->Height(), 2);
  EXPECT_TRUE(bitmap->Modified());
  EXPECT_TRUE(IsSample(*io_.IKBitmap()));

  // The control going away leaves the component without it.
  image.reset();
  EXPECT_EQ(io_.AttachedTImage(), nullptr);
  EXPECT_EQ(io_.GetTBitmap(), nullptr);
  EXPECT_TRUE(io_.IKBitmap()->IsEmpty());
}
