#pragma once
// Puts the FFmpeg-backed filters into the class table (over the kernel's
// stand-ins for the AVI mux, the file writer and the ASF writer) and adds
// the compressor categories to the device enumerator. Idempotent; the
// program calls it once at start, tests before building graphs.
namespace mg::ff {

void RegisterFfmpegFilters();

}  // namespace mg::ff
