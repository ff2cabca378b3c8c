#pragma once
// The metadata collections that travel with an image's parameters: the raw
// JPEG application and comment markers of the last loaded file (written
// back unchanged on save) and the IPTC news records, with their byte-exact
// serialisation as a bare IPTC stream or inside a Photoshop image-resource
// block.
#include <cstdint>
#include <vector>

#include "imaging/core/ikdefs.h"

namespace imaging {

class TIKMarkerList {
public:
  TIKMarkerList() = default;
  TIKMarkerList(const TIKMarkerList&) = delete;
  TIKMarkerList& operator=(const TIKMarkerList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(markers_.size()); }
  // A bad index raises rtl::EListError. The address is null for an empty
  // payload.
  const uint8_t* MarkerData(int32_t index) const;
  int32_t MarkerLength(int32_t index) const;
  uint8_t MarkerType(int32_t index) const;
  // The first marker of that code, or -1.
  int32_t IndexOf(uint8_t type) const;

  // A marker payload has a 16-bit length on disk: `length` is taken modulo
  // 65536, as the JPEG writer would otherwise emit a corrupt segment. A
  // negative length raises EIKError.
  void AddMarker(uint8_t type, const void* data, int32_t length);
  void SetMarker(int32_t index, uint8_t type, const void* data, int32_t length);
  void Clear() { markers_.clear(); }
  void Delete(int32_t index);
  // Clear, then a copy of every marker of the source; null is ignored.
  void Assign(const TIKMarkerList* source);

private:
  struct Marker {
    uint8_t type;
    std::vector<uint8_t> data;
  };
  const Marker& At(int32_t index) const;
  static std::vector<uint8_t> Payload(const void* data, int32_t length);
  std::vector<Marker> markers_;
};

class TIKIPTCInfoList {
public:
  TIKIPTCInfoList() = default;
  TIKIPTCInfoList(const TIKIPTCInfoList&) = delete;
  TIKIPTCInfoList& operator=(const TIKIPTCInfoList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(records_.size()); }
  // A bad index raises rtl::EListError.
  int32_t RecordNumber(int32_t index) const;
  int32_t DatasetNumber(int32_t index) const;
  // Null for a record without data.
  const uint8_t* Data(int32_t index) const;
  int32_t DataLength(int32_t index) const;

  // Appends a copy and returns its index; sets Modified. A negative length
  // raises EIKError.
  int32_t AddRecord(int32_t record, int32_t dataset, const void* data, int32_t length);
  void Clear();
  // Clear, then a copy of every record of the source; null is ignored.
  void Assign(const TIKIPTCInfoList* source);

  // The datasets, behind the 26-byte Photoshop wrapper or the 7-byte bare
  // header; empty for an empty list.
  std::vector<uint8_t> SaveToBuffer(bool photoshopWrapper) const;
  // Replaces the content with the datasets of the block. A truncated
  // dataset, or one whose length points past the block, ends the read; the
  // datasets before it stay.
  void LoadFromBuffer(const void* block, int64_t length);

  // Set by every change through the list, cleared by a load from a block.
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

private:
  struct Record {
    int32_t record;
    int32_t dataset;
    std::vector<uint8_t> data;
  };
  const Record& At(int32_t index) const;
  std::vector<Record> records_;
  bool modified_ = false;
};

}  // namespace imaging
