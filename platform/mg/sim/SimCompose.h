#pragma once
// Frames of a device whose scene holds still (the camera's bars): the
// picture without what moves is drawn, toned and converted once per format
// and settings; each frame then copies those bytes and redoes only the
// rectangles the frame number and the scripted box cover. The bytes are
// the same as converting the whole rendered picture.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/mg/sim/SimPicture.h"

namespace mg::sim {

class FrameComposer {
public:
  // What a frame shows over the still scene, and how it is delivered.
  struct Layers {
    int width = 0, height = 0;
    GUID subtype = GUID_NULL;
    PictureSettings settings;
    std::string caption;  // under the frame number, if any
    bool number = true;   // the frame number in the top-left corner
    MotionScript script;
  };
  using SceneFn = std::function<void(RgbImage&)>;

  // Composes frame `index`: writes it in the layers' subtype into `out`
  // (returns the bytes, 0 when they do not fit or the subtype is not an
  // uncompressed one), or with a null `out` only updates Picture().
  uint32_t Compose(int64_t index, const Layers& layers, const SceneFn& drawScene, uint8_t* out, uint32_t room);
  // The whole picture of the last composed frame.
  const RgbImage& Picture() const { return current_; }

private:
  struct Rect {
    int x0, y0, x1, y1;
  };
  void Rebuild(const Layers& layers, const SceneFn& drawScene);
  static void CopyRect(const RgbImage& from, RgbImage& to, const Rect& r);

  bool valid_ = false;
  int width_ = 0, height_ = 0;
  GUID subtype_ = GUID_NULL;
  PictureSettings settings_;
  std::optional<PictureTone> tone_;
  std::string caption_;
  bool number_ = true;

  RgbImage raw_;       // scene and caption, before the settings
  RgbImage frame_;     // raw_ with this frame's layers
  RgbImage cooked_;    // raw_ flipped and toned
  RgbImage current_;   // frame_ flipped and toned: the delivered picture
  std::vector<uint8_t> bytes_;  // cooked_ converted
  std::vector<Rect> dirtyRaw_, dirtyOut_;  // what the last frame changed in frame_ and current_
};

}  // namespace mg::sim
