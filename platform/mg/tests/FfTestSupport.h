#pragma once
// Helpers of the FFmpeg filter tests: a temporary folder, the ffmpeg and
// ffprobe command lines as peers, and sources that make recognisable
// pictures and tones.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/tests/TestSupport.h"

namespace mg::fftest {

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char tmpl[] = "/tmp/mgffXXXXXX";
    path = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    if (std::getenv("MGFF_KEEP")) return;  // for a look at the files after a failure
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// Runs a shell command; its standard output, or "" with ok=false.
inline std::string Run(const std::string& command, bool* ok = nullptr) {
  std::string out;
  FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) {
    if (ok) *ok = false;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = ::pclose(p);
  if (ok) *ok = rc == 0;
  return out;
}

// "key=value" lines of ffprobe about one stream ("v:0", "a:0").
inline std::map<std::string, std::string> Probe(const std::string& file, const std::string& stream) {
  const std::string out =
      Run("ffprobe -v error -count_frames -select_streams " + stream +
          " -show_entries stream=codec_name,width,height,nb_read_frames,duration,sample_rate,channels -of "
          "default=nw=1 '" +
          file + "'");
  std::map<std::string, std::string> m;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(pos, end - pos);
    const auto eq = line.find('=');
    if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
    pos = end + 1;
  }
  return m;
}

// Seconds of audio in the first audio stream, decoded by ffmpeg.
inline double AudioSeconds(const std::string& file, int rate = 44100) {
  const std::string bytes = Run("ffmpeg -v error -i '" + file + "' -map 0:a:0 -f s16le -ac 1 -ar " +
                                std::to_string(rate) + " - | wc -c");
  return bytes.empty() ? 0.0 : std::stod(bytes) / 2.0 / rate;
}

// Makes a clip with ffmpeg's own test source; false when ffmpeg fails.
inline bool MakeClip(const std::string& file, const std::string& args) {
  bool ok = false;
  Run("ffmpeg -y -v error " + args + " '" + file + "'", &ok);
  return ok && std::filesystem::exists(file);
}

inline std::vector<uint8_t> ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Bottom-up RGB24 frames: a gradient with a box that moves with the frame
// index, so frames differ and compress like camera pictures.
inline FillFunction PictureFill(int w, int h) {
  return [w, h](uint8_t* buf, long size, int64_t k) {
    const int stride = (w * 3 + 3) & ~3;
    const long need = static_cast<long>(stride) * h;
    if (size < need) return -1L;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = buf + static_cast<ptrdiff_t>(y) * stride + x * 3;
        const bool box = x >= (k * 3) % (w - 16) && x < (k * 3) % (w - 16) + 16 && y >= h / 3 && y < h / 3 + 16;
        p[0] = box ? 255 : static_cast<uint8_t>(x * 255 / w);
        p[1] = box ? 255 : static_cast<uint8_t>(y * 255 / h);
        p[2] = box ? 0 : 128;
      }
    return need;
  };
}

// 16-bit mono PCM sine at 440 Hz, 40 ms per buffer.
inline std::shared_ptr<CallbackSource> MakeToneSource(uint32_t rate = 44100) {
  const long samples = static_cast<long>(rate / 25);
  AM_MEDIA_TYPE mt = MakePcmAudioType(rate, 1, 16);
  mt.lSampleSize = static_cast<uint32_t>(samples * 2);  // one buffer per period
  return std::make_shared<CallbackSource>(
      mt, test::kPeriod,
      [samples, rate](uint8_t* buf, long size, int64_t k) {
        if (size < samples * 2) return -1L;
        auto* s = reinterpret_cast<int16_t*>(buf);
        for (long i = 0; i < samples; ++i) {
          const double t = static_cast<double>(k * samples + i) / rate;
          s[i] = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * 440 * t)));
        }
        return samples * 2;
      });
}

}  // namespace mg::fftest
