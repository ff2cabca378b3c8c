#pragma once
// Video the component makes itself: a push source asks the engine for the
// stream's type and then for one frame after another. The frames come from
// bitmaps the application hands over, from a file holding a set of
// bitmaps, or from a multiplexed master.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "platform/mg/Filter.h"
#include "platform/mg/MediaType.h"
#include "platform/rtl/Types.h"
#include "platform/win/Bitmap.h"

namespace capture {

// The first bitmap the application gave for the stream, and whether its
// format could be used.
struct TRecordingFromBitmap {
  win::DIBSECTION DIBSection{};
  bool FormatValid = false;
};

// A set-of-bitmaps file: a 4-byte header the reader keeps, then records of
// a 4-byte little-endian length and a whole BMP file image each. The file
// is the user's: every length and offset is checked against the record
// and the file, and a record that does not hold what is asked is refused.
class TImagesFile {
public:
  ~TImagesFile() { Close(); }
  bool Open(const rtl::String& Path);
  // Takes over an open stream (the reader closes it).
  bool Attach(std::FILE* File);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  uint32_t Header() const { return header_; }
  // Back to the first record.
  bool Rewind();
  // The first record's bitmap header and colour table: the bytes between
  // its 14-byte file header and its pixels. Leaves the reader at the first
  // record. False without a record that has at least a bitmap header.
  bool Format(std::vector<uint8_t>& Format);
  enum TRead { rd_Frame, rd_End, rd_Bad };
  // The next record's first Length pixel bytes. rd_End at the end of the
  // file (the reader is back at the first record), rd_Bad for a record
  // that is cut short or holds fewer than Length bytes after its pixel
  // offset; nothing is copied then.
  TRead NextFrame(uint8_t* Buffer, int32_t Length);

private:
  // Reads one record into record_; false at the end or for a bad record
  // (Bad tells which).
  bool ReadRecord(bool& Bad);
  std::FILE* file_ = nullptr;
  int64_t size_ = 0;
  uint32_t header_ = 0;
  std::vector<uint8_t> record_;
};

// What a push source asks of its engine. The media-type callback describes
// the stream; a source without one takes the format callback's bitmap
// header instead. The fill callback writes one frame of Length bytes and
// may end the stream; a false result means no data for now.
struct TPushSourceContext {
  std::function<bool(mg::AM_MEDIA_TYPE& Type, bool& Flag)> MediaType;
  std::function<bool(std::vector<uint8_t>& Format)> FormatBlock;
  std::function<bool(uint8_t* Buffer, int32_t Length, bool& EndOfStream)> Fill;
  // Time between frames (100-ns units).
  int64_t FrameDuration = 400'000;
};

// The component's push source: one output pin "Output" whose type comes
// from the context when the source is made.
std::shared_ptr<mg::BaseFilter> CreatePushSource(TPushSourceContext Context);

// The video type of frames with this bitmap header (and colour table):
// RGB24 or RGB32 only; false for any other depth.
bool VideoTypeOfBitmapHeader(const uint8_t* Header, size_t Size, int64_t FrameDuration, mg::AM_MEDIA_TYPE& Type);

}  // namespace capture
