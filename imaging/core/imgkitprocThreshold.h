#pragma once
// Gray histograms of any image and its conversion to 1 bit by a gray
// threshold: fixed, the gray of the mean colour, or the maximum-entropy
// level of the histogram.
#include <array>
#include <cstdint>

#include "imaging/core/imgkitioParams.h"

namespace imaging {

class TIKBitmap;

// Counts per gray level; a 1-bit image counts clear pixels in bin 0 and
// set pixels in bin 1.
void GrayHistogram(TIKBitmap* bitmap, std::array<int64_t, 256>& counts);
// The level t (1..255) of the largest entropy score; -1 when no level
// scores above 0 (an image of one or two gray levels).
int32_t MaxEntropyThreshold(const std::array<int64_t, 256>& counts, int64_t pixels);
// `dest` (ikMono1, the source's size) gets a set bit for every pixel whose
// gray is not below the threshold. -1: the gray of the mean colour; -2: the
// maximum-entropy level, or the mean's gray where the histogram has none.
void ThresholdToBW(TIKBitmap* source, TIKBitmap* dest, int32_t threshold, TProgressRec& progress);

}  // namespace imaging
