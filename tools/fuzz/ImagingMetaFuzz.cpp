// libFuzzer driver for the imaging component's metadata parsers and stream
// helpers. The first byte picks the target, the rest is its input:
//   0  IPTC datasets: load, save with and without the Photoshop wrapper,
//      load again; the records must survive the round trip.
//   1  annotation stream: load, save, load again; same marks.
//   2  marker list driven by a script of adds, replaces, deletes and lookups.
//   3  buffered reader over a memory block, driven by a script of reads and
//      seeks, checked byte for byte against the block.
//   4  ASCII85 and RunLength encoders within their stated output sizes; the
//      RunLength output must decode back to the input.
// Whatever the bytes, nothing may read or write out of bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/core/ikutilsAnnot.h"
#include "imaging/core/ikutilsByteArray.h"
#include "imaging/core/ikutilsMarkers.h"
#include "imaging/core/ikutilsStreams.h"

using namespace imaging;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// A copy on the heap of exactly the given bytes, so that any over-read
// reaches the sanitizer's red zone.
std::vector<uint8_t> Exact(const uint8_t* data, size_t size) { return std::vector<uint8_t>(data, data + size); }

void FuzzIptc(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> block = Exact(data, size);
  TIKIPTCInfoList list;
  list.LoadFromBuffer(block.empty() ? nullptr : block.data(), static_cast<int64_t>(block.size()));
  for (bool wrapper : {false, true}) {
    const std::vector<uint8_t> saved = list.SaveToBuffer(wrapper);
    TIKIPTCInfoList again;
    again.LoadFromBuffer(saved.empty() ? nullptr : saved.data(), static_cast<int64_t>(saved.size()));
    // Saving drops the version dataset 2:00 and empty records, and the bare
    // header brings one 2:00 back.
    int32_t kept = 0;
    for (int32_t i = 0; i < list.Count(); ++i)
      if (list.DataLength(i) > 0 && !(list.RecordNumber(i) == 2 && list.DatasetNumber(i) == 0)) {
        int32_t j = kept + (wrapper ? 0 : 1);
        Check(j < again.Count());
        Check(again.RecordNumber(j) == list.RecordNumber(i) && again.DatasetNumber(j) == list.DatasetNumber(i));
        Check(again.DataLength(j) == list.DataLength(i));
        Check(std::memcmp(again.Data(j), list.Data(i), static_cast<size_t>(list.DataLength(i))) == 0);
        ++kept;
      }
  }
}

void FuzzAnnot(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> block = Exact(data, size);
  TIKImagingAnnot annot;
  annot.LoadFromBuffer(block.empty() ? nullptr : block.data(), static_cast<int64_t>(block.size()));
  const std::vector<uint8_t> saved = annot.SaveToBuffer();
  TIKImagingAnnot again;
  again.LoadFromBuffer(saved.empty() ? nullptr : saved.data(), static_cast<int64_t>(saved.size()));
  Check(again.Marks.size() == annot.Marks.size());
  for (size_t i = 0; i < annot.Marks.size(); ++i) {
    Check(again.Marks[i]->MarkType() == annot.Marks[i]->MarkType());
    Check(again.Marks[i]->Points == annot.Marks[i]->Points);
    Check(again.Marks[i]->Text == annot.Marks[i]->Text.c_str());
  }
  TIKImagingAnnot copy;
  copy.Assign(&annot);
  Check(copy.SaveToBuffer() == saved);
}

void FuzzMarkers(const uint8_t* data, size_t size) {
  TIKMarkerList list;
  size_t i = 0;
  while (i + 3 <= size) {
    const uint8_t op = data[i] % 4;
    const uint8_t type = data[i + 1];
    size_t length = data[i + 2];
    i += 3;
    length = std::min(length, size - i);
    const std::vector<uint8_t> payload = Exact(data + i, length);
    i += length;
    const void* p = payload.empty() ? nullptr : payload.data();
    const auto n = static_cast<int32_t>(payload.size());
    switch (op) {
      case 0: list.AddMarker(type, p, n); break;
      case 1:
        if (list.Count() > 0) list.SetMarker(type % list.Count(), type, p, n);
        break;
      case 2:
        if (list.Count() > 0) list.Delete(type % list.Count());
        break;
      case 3: {
        const int32_t at = list.IndexOf(type);
        Check(at == -1 || list.MarkerType(at) == type);
        if (at >= 0 && list.MarkerLength(at) > 0) Check(list.MarkerData(at) != nullptr);
        break;
      }
    }
  }
  TIKMarkerList copy;
  copy.Assign(&list);
  Check(copy.Count() == list.Count());
  for (int32_t k = 0; k < list.Count(); ++k) {
    Check(copy.MarkerLength(k) == list.MarkerLength(k));
    if (list.MarkerLength(k) > 0)
      Check(std::memcmp(copy.MarkerData(k), list.MarkerData(k), static_cast<size_t>(list.MarkerLength(k))) == 0);
  }
}

// The script is the first half of the input, the block the second half.
void FuzzBufferedStream(const uint8_t* data, size_t size) {
  const size_t half = size / 2;
  const std::vector<uint8_t> block = Exact(data + half, size - half);
  TIKMemStream source(block.empty() ? nullptr : block.data(), static_cast<int64_t>(block.size()));
  const int32_t bufferSize = half > 0 ? 1 + data[0] % 64 : 16;
  TIKBufferedReadStream reader(&source, bufferSize);
  const auto blockSize = static_cast<int64_t>(block.size());
  int64_t expected = 0;
  std::vector<uint8_t> out;
  for (size_t i = 1; i + 1 < half; i += 2) {
    const uint8_t op = data[i] % 5;
    const int64_t arg = static_cast<int8_t>(data[i + 1]);
    if (op == 0 || op == 1) {
      const int64_t count = op == 0 ? (arg & 0x7F) : (arg & 0x7F) * 37;
      out.assign(static_cast<size_t>(count) + 1, 0xEE);
      const int64_t got = reader.Read(out.data(), count);
      int64_t want = 0;
      if (expected >= 0 && expected < blockSize) want = std::min(count, blockSize - expected);
      Check(got == want);
      if (got > 0) Check(std::memcmp(out.data(), block.data() + expected, static_cast<size_t>(got)) == 0);
      Check(out[static_cast<size_t>(count)] == 0xEE);
      expected += got;
    } else {
      const auto origin = static_cast<rtl::TSeekOrigin>(op - 2);
      int64_t target = expected;
      if (origin == rtl::soBeginning) target = arg;
      if (origin == rtl::soCurrent) target = expected + arg;
      if (origin == rtl::soEnd) target = blockSize - arg;
      Check(reader.Seek(arg, origin) == target);
      expected = target;
    }
  }
  TIKMemStream again(block.empty() ? nullptr : block.data(), blockSize);
  TIKByteArray bytes;
  Check(bytes.AppendFromStream(again, static_cast<int32_t>(half)) == std::min<int64_t>(half, blockSize));
}

void FuzzEncoders(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> in = Exact(data, size);
  const auto n = static_cast<int32_t>(in.size());
  std::vector<char> a85(static_cast<size_t>(Ascii85MaxLength(n)));
  const uint8_t* cursor = in.data();
  char* out = a85.data();
  int32_t counter = 0;
  const int32_t written = Ascii85Encode(cursor, n, out, counter);
  Check(out - a85.data() == written && cursor == in.data() + n);

  std::vector<uint8_t> rl(static_cast<size_t>(RunLengthMaxLength(n)));
  const int32_t length = RunLengthEncode(in.data(), n, rl.data());
  Check(length >= 1 && rl[static_cast<size_t>(length - 1)] == 128);
  std::vector<uint8_t> back;
  for (int32_t i = 0; i < length - 1;) {
    const uint8_t c = rl[static_cast<size_t>(i++)];
    if (c < 128) {
      back.insert(back.end(), rl.begin() + i, rl.begin() + i + c + 1);
      i += c + 1;
    } else {
      Check(c != 128);
      back.insert(back.end(), static_cast<size_t>(257 - c), rl[static_cast<size_t>(i++)]);
    }
  }
  Check(back == in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t target = data[0] % 5;
  ++data;
  --size;
  switch (target) {
    case 0: FuzzIptc(data, size); break;
    case 1: FuzzAnnot(data, size); break;
    case 2: FuzzMarkers(data, size); break;
    case 3: FuzzBufferedStream(data, size); break;
    case 4: FuzzEncoders(data, size); break;
  }
  return 0;
}
