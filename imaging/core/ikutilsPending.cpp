// Placeholders for routines whose units are not in the tree yet; each says
// so instead of handing back a picture that only looks converted.
#include "imaging/core/ikutilsPending.h"

namespace imaging {

namespace {
[[noreturn]] void NotBuilt(const char* routine) {
  throw EIKError(String(routine) + " is not available yet: the unit that provides it is not built");
}
}  // namespace

void ThresholdToBWMean(TIKBitmap*, TIKBitmap*) { NotBuilt("ThresholdToBW"); }
void QuantizeToPalette(TIKBitmap*, TIKBitmap*, int32_t) { NotBuilt("The colour quantizer"); }
void Resample24(TIKBitmap*, TIKBitmap*, TResampleFilter) { NotBuilt("Resample24"); }
void Resample1Bit(TIKBitmap*, TIKBitmap*, TResampleFilter) { NotBuilt("Resample1Bit"); }
void ResampleGray8(TIKBitmap*, TIKBitmap*, TResampleFilter) { NotBuilt("ResampleGray8"); }
void Stretch1BitRect(TIKBitmap*, int32_t, int32_t, TIKBitmap*, int32_t, int32_t) { NotBuilt("Stretch1BitRect"); }

}  // namespace imaging
