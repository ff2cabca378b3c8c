#pragma once
// The JPEG filter: reads and writes JPEG data between a stream and an image
// buffer through libjpeg (libjpeg-turbo), and carries options, markers and
// the ICC profile between the file and the parameter set. Library errors
// become the progress record's abort flag (and, for the writer, an
// EIKJpegException); no library type appears here.
#include <cstdint>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitioParams.h"
#include "platform/rtl/Streams.h"

namespace imaging {

class TIKBitmap;

class EIKJpegException : public EIKError {
  using EIKError::EIKError;
};

// Reads one JPEG image from the stream's position. `tables` (null or the
// same stream: none) holds an abbreviated table-specification stream read
// first. Failures set the progress record's abort flag, keeping the rows
// decoded so far; nothing is raised for bad data.
void ReadJpegStream(rtl::TStream* stream, rtl::TStream* tables, TIKBitmap* bitmap, bool releaseIcc,
                    bool invertCmyk, bool readMetadata, bool rawYCbCr, bool paramsOnly, TProgressRec& progress,
                    TIOParamsVals& params);

// Writes the buffer as one JPEG image at the stream's position. A library
// error sets the abort flag and raises EIKJpegException.
void WriteJpegStream(rtl::TStream& stream, TIKBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress);

// The position of the first FF D8 FF starting within 100 bytes of the
// position, or -1; the position is kept.
int64_t FindJpegStart(rtl::TStream& stream);
// Bytes from the position to just past the first EOI marker (or to the
// end); the position is kept.
int64_t JpegStreamLength(rtl::TStream& stream);
// Collects the APP2 "ICC_PROFILE" chunks into the input profile of
// `params`; the position is kept. A profile with a missing, repeated or
// out-of-range chunk is ignored.
void ReadJpegIccProfile(rtl::TStream& stream, TIOParamsVals& params);

// The text for one of the library's message codes, with every placeholder
// written as "?".
String JpegMessageText(int32_t code);

// Puts the JPEG reader, writer and content probe in place for the
// input/output component and the format detection. Safe to call again.
void InstallJpegFilter();

}  // namespace imaging
