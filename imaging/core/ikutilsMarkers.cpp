#include "imaging/core/ikutilsMarkers.h"

#include <algorithm>
#include <cstring>

#include <string>

namespace imaging {

namespace {

[[noreturn]] void IndexError(int32_t index) {
  throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void PutBE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

constexpr uint8_t kTagMarker = 0x1C;
// The record-version dataset 2:00 of length 2 with the value 2.
constexpr uint8_t kBareHeader[7] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};
constexpr uint8_t kPhotoshopHeader[22] = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3',
                                          '.', '0', 0,   '8', 'B', 'I', 'M', 4,   4,   0,   0};
constexpr size_t kWrapperSize = 26;

// The data of the IPTC resource (0x0404) when the block is a Photoshop
// image-resource block (nothing when it has none); [0, size) otherwise,
// and for a resource list that breaks off. Searching such a block for the
// first 0x1C byte alone would stop inside a resource header, for example in
// a size field that happens to hold 28.
void IptcRange(const uint8_t* p, uint64_t size, uint64_t& begin, uint64_t& end) {
  begin = 0;
  end = size;
  if (size < 14 || std::memcmp(p, kPhotoshopHeader, 14) != 0) return;
  uint64_t i = 14;
  while (i + 12 <= size && std::memcmp(p + i, "8BIM", 4) == 0) {
    const unsigned id = static_cast<unsigned>(p[i + 4]) << 8 | p[i + 5];
    const uint64_t nameField = (static_cast<uint64_t>(p[i + 6]) + 2) & ~uint64_t{1};
    const uint64_t sizeAt = i + 6 + nameField;
    if (sizeAt + 4 > size) return;
    const uint64_t dataSize = static_cast<uint64_t>(p[sizeAt]) << 24 | static_cast<uint64_t>(p[sizeAt + 1]) << 16 |
                              static_cast<uint64_t>(p[sizeAt + 2]) << 8 | p[sizeAt + 3];
    const uint64_t dataAt = sizeAt + 4;
    if (id == 0x0404) {
      begin = dataAt;
      end = dataAt + std::min(dataSize, size - dataAt);
      return;
    }
    if (dataSize > size - dataAt) return;
    i = dataAt + dataSize + (dataSize & 1);
  }
  // Every resource read and none of them IPTC: there are no datasets.
  if (i >= size) begin = end = size;
}

}  // namespace

// ---- TIKMarkerList ----

const TIKMarkerList::Marker& TIKMarkerList::At(int32_t index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return markers_[static_cast<size_t>(index)];
}

std::vector<uint8_t> TIKMarkerList::Payload(const void* data, int32_t length) {
  if (length < 0) throw EIKError("Invalid marker length");
  const size_t n = static_cast<size_t>(length) & 0xFFFF;
  if (n == 0) return {};
  const auto* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + n);
}

const uint8_t* TIKMarkerList::MarkerData(int32_t index) const {
  const Marker& m = At(index);
  return m.data.empty() ? nullptr : m.data.data();
}

int32_t TIKMarkerList::MarkerLength(int32_t index) const { return static_cast<int32_t>(At(index).data.size()); }

uint8_t TIKMarkerList::MarkerType(int32_t index) const { return At(index).type; }

int32_t TIKMarkerList::IndexOf(uint8_t type) const {
  for (size_t i = 0; i < markers_.size(); ++i)
    if (markers_[i].type == type) return static_cast<int32_t>(i);
  return -1;
}

void TIKMarkerList::AddMarker(uint8_t type, const void* data, int32_t length) {
  markers_.push_back(Marker{type, Payload(data, length)});
}

void TIKMarkerList::SetMarker(int32_t index, uint8_t type, const void* data, int32_t length) {
  At(index);
  markers_[static_cast<size_t>(index)] = Marker{type, Payload(data, length)};
}

void TIKMarkerList::Delete(int32_t index) {
  At(index);
  markers_.erase(markers_.begin() + index);
}

void TIKMarkerList::Assign(const TIKMarkerList* source) {
  if (!source || source == this) return;
  Clear();
  markers_ = source->markers_;
}

// ---- TIKIPTCInfoList ----

const TIKIPTCInfoList::Record& TIKIPTCInfoList::At(int32_t index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return records_[static_cast<size_t>(index)];
}

int32_t TIKIPTCInfoList::RecordNumber(int32_t index) const { return At(index).record; }
int32_t TIKIPTCInfoList::DatasetNumber(int32_t index) const { return At(index).dataset; }

const uint8_t* TIKIPTCInfoList::Data(int32_t index) const {
  const Record& r = At(index);
  return r.data.empty() ? nullptr : r.data.data();
}

int32_t TIKIPTCInfoList::DataLength(int32_t index) const { return static_cast<int32_t>(At(index).data.size()); }

int32_t TIKIPTCInfoList::AddRecord(int32_t record, int32_t dataset, const void* data, int32_t length) {
  if (length < 0) throw EIKError("Invalid IPTC data length");
  const auto* p = static_cast<const uint8_t*>(data);
  records_.push_back(Record{record, dataset, length > 0 ? std::vector<uint8_t>(p, p + length) : std::vector<uint8_t>()});
  modified_ = true;
  return Count() - 1;
}

void TIKIPTCInfoList::Clear() {
  records_.clear();
  modified_ = true;
}

void TIKIPTCInfoList::Assign(const TIKIPTCInfoList* source) {
  if (!source || source == this) return;
  records_ = source->records_;
  modified_ = true;
}

std::vector<uint8_t> TIKIPTCInfoList::SaveToBuffer(bool photoshopWrapper) const {
  std::vector<uint8_t> out;
  if (records_.empty()) return out;
  if (photoshopWrapper) {
    out.assign(kPhotoshopHeader, kPhotoshopHeader + sizeof(kPhotoshopHeader));
    out.resize(kWrapperSize, 0);
  } else {
    out.assign(kBareHeader, kBareHeader + sizeof(kBareHeader));
  }
  uint64_t total = 0;
  for (const Record& r : records_) {
    // The version dataset is the bare header's own; an empty record has
    // nothing to say.
    if ((r.record == 2 && r.dataset == 0) || r.data.empty()) continue;
    const uint32_t n = static_cast<uint32_t>(r.data.size());
    out.push_back(kTagMarker);
    out.push_back(static_cast<uint8_t>(r.record));
    out.push_back(static_cast<uint8_t>(r.dataset));
    if (n < 32768) {
      out.push_back(static_cast<uint8_t>(n >> 8));
      out.push_back(static_cast<uint8_t>(n));
      total += 5;
    } else {
      const size_t at = out.size();
      out.resize(at + 6);
      out[at] = 0x80;
      out[at + 1] = 0x04;
      PutBE32(&out[at + 2], n);
      total += 9;
    }
    out.insert(out.end(), r.data.begin(), r.data.end());
    total += n;
  }
  if (out.size() % 2 != 0) out.push_back(0);
  if (photoshopWrapper) PutBE32(&out[22], static_cast<uint32_t>(total));
  return out;
}

void TIKIPTCInfoList::LoadFromBuffer(const void* block, int64_t length) {
  Clear();
  if (!block || length <= 0) return;
  const auto* p = static_cast<const uint8_t*>(block);
  // All bounds in unsigned 64-bit arithmetic: a 4-byte length from the file
  // may be anything up to 2^32 - 1 and must never wrap into a small or
  // negative copy size.
  uint64_t i = 0;
  uint64_t size = static_cast<uint64_t>(length);
  IptcRange(p, size, i, size);
  while (i < size && p[i] != kTagMarker) ++i;
  while (i < size && p[i] == kTagMarker) {
    if (i + 5 >= size) break;
    uint64_t dataLength;
    uint64_t start;
    if (p[i + 3] & 0x80) {
      if (i + 9 > size) break;
      dataLength = static_cast<uint64_t>(p[i + 5]) << 24 | static_cast<uint64_t>(p[i + 6]) << 16 |
                   static_cast<uint64_t>(p[i + 7]) << 8 | p[i + 8];
      start = i + 9;
    } else {
      dataLength = static_cast<uint64_t>(p[i + 3]) << 8 | p[i + 4];
      start = i + 5;
    }
    if (dataLength > size - start) break;
    // A length of up to 2^31 - 1 fits the record; anything longer cannot lie
    // inside a block whose length is itself a signed 64-bit count, but stay
    // explicit for the 32-bit field.
    if (dataLength > 0x7FFFFFFF) break;
    records_.push_back(Record{p[i + 1], p[i + 2], std::vector<uint8_t>(p + start, p + start + dataLength)});
    i = start + dataLength;
  }
  modified_ = false;
}

}  // namespace imaging
