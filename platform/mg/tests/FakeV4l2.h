#pragma once
// A V4L2 kernel stand-in for tests: answers the ioctls from a fixture of
// recorded driver answers (tests/data/v4l2/*.txt), streams frames a test
// queues, and can be unplugged. Only what the backend asks is answered;
// anything else fails with ENOTTY as drivers do.
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/mg/v4l2/V4l2Io.h"

namespace fakev4l2 {

// key=value fields and quoted or bare words of one fixture line.
struct Line {
  std::string verb;
  std::vector<std::string> words;
  std::map<std::string, std::string> fields;
  long long Num(const std::string& k, long long def = 0) const {
    auto it = fields.find(k);
    return it == fields.end() ? def : std::stoll(it->second, nullptr, 0);
  }
  std::string Str(const std::string& k) const {
    auto it = fields.find(k);
    return it == fields.end() ? std::string() : it->second;
  }
};

inline Line ParseLine(const std::string& text) {
  Line l;
  size_t i = 0;
  auto word = [&]() {
    std::string w;
    while (i < text.size() && text[i] == ' ') ++i;
    bool quoted = false;
    while (i < text.size() && (quoted || text[i] != ' ')) {
      if (text[i] == '"') quoted = !quoted;
      else w += text[i];
      ++i;
    }
    return w;
  };
  l.verb = word();
  while (i < text.size()) {
    const size_t start = i;
    std::string w = word();
    if (w.empty()) break;
    const size_t eq = w.find('=');
    if (eq != std::string::npos && text[start + (text[start] == ' ' ? 1 : 0)] != '"')
      l.fields[w.substr(0, eq)] = w.substr(eq + 1);
    else
      l.words.push_back(w);
  }
  return l;
}

inline uint32_t Fourcc(const std::string& s) {
  if (s.size() != 4) throw std::runtime_error("bad fourcc " + s);
  return v4l2_fourcc(s[0], s[1], s[2], s[3]);
}

struct Frame {
  std::vector<uint8_t> bytes;
  uint32_t sequenceSkip = 0;  // frames the "driver" lost before this one
  int64_t claimedBytes = -1;  // bytesused to report instead of the real size
  bool error = false;         // V4L2_BUF_FLAG_ERROR
};

struct Node {
  std::string path;
  v4l2_capability cap{};
  struct Fmt {
    v4l2_fmtdesc desc{};
    struct Size {
      uint32_t w, h;
      std::vector<std::pair<uint32_t, uint32_t>> intervals;
    };
    std::vector<Size> sizes;
    bool stepwise = false;
    v4l2_frmsize_stepwise steps{};
    bool intervalRange = false;
    v4l2_fract minInterval{}, maxInterval{};
  };
  std::vector<Fmt> formats;
  bool tryLimits = false;
  uint32_t minW = 0, maxW = 0, minH = 0, maxH = 0;
  v4l2_pix_format current{};
  std::pair<uint32_t, uint32_t> interval{1, 30};
  bool hasParm = true;
  struct Ctrl {
    v4l2_queryctrl q{};
    int32_t value = 0;
  };
  std::vector<Ctrl> controls;
  std::vector<v4l2_querymenu> menus;
  std::vector<v4l2_input> inputs;
  std::vector<v4l2_standard> standards;
  std::vector<v4l2_audio> audios;
  std::vector<v4l2_tuner> tuners;
  std::set<uint32_t> carriers;
  v4l2_std_id std = 0;
  int input = 0;
  uint32_t audio = 0;
  uint32_t frequency = 0;
  // streaming
  std::vector<std::vector<uint8_t>> buffers;
  std::deque<uint32_t> queued;
  bool streaming = false;
  uint32_t sequence = 0;
  std::deque<Frame> frames;
  bool unplugged = false;
  int streamOns = 0;
};

class FakeV4l2 : public mg::v4l2::V4l2Io {
public:
  explicit FakeV4l2(const std::string& fixture) { Load(fixture); }

  // ---- what tests do -------------------------------------------------------------------------------
  void QueueFrame(const std::string& path, Frame f) {
    std::lock_guard lock(mutex_);
    NodeAt(path).frames.push_back(std::move(f));
  }
  void Unplug(const std::string& path) {
    std::lock_guard lock(mutex_);
    NodeAt(path).unplugged = true;
  }
  void Replug(const std::string& path) {
    std::lock_guard lock(mutex_);
    Node& n = NodeAt(path);
    n.unplugged = false;
    n.streaming = false;
    n.buffers.clear();
    n.queued.clear();
  }
  int32_t ControlValue(const std::string& path, uint32_t id) {
    std::lock_guard lock(mutex_);
    for (auto& c : NodeAt(path).controls)
      if (c.q.id == id) return c.value;
    throw std::runtime_error("no control");
  }
  v4l2_pix_format CurrentFormat(const std::string& path) {
    std::lock_guard lock(mutex_);
    return NodeAt(path).current;
  }
  std::pair<uint32_t, uint32_t> CurrentInterval(const std::string& path) {
    std::lock_guard lock(mutex_);
    return NodeAt(path).interval;
  }
  int Input(const std::string& path) {
    std::lock_guard lock(mutex_);
    return NodeAt(path).input;
  }
  uint32_t Frequency(const std::string& path) {
    std::lock_guard lock(mutex_);
    return NodeAt(path).frequency;
  }
  uint32_t AudioMode(const std::string& path) {
    std::lock_guard lock(mutex_);
    return NodeAt(path).tuners.at(0).audmode;
  }
  v4l2_std_id Standard(const std::string& path) {
    std::lock_guard lock(mutex_);
    return NodeAt(path).std;
  }
  bool Streaming(const std::string& path) {
    std::lock_guard lock(mutex_);
    return NodeAt(path).streaming;
  }
  int OpenDescriptors() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(fds_.size());
  }
  // Buffers mapped and not yet unmapped.
  int MappedBuffers() {
    std::lock_guard lock(mutex_);
    return mapped_;
  }

  // ---- the kernel side -----------------------------------------------------------------------------
  std::vector<std::string> ListNodes() override {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (auto& n : nodes_)
      if (!n.unplugged) out.push_back(n.path);
    return out;
  }
  int Open(const std::string& path) override {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < nodes_.size(); ++i)
      if (nodes_[i].path == path) {
        if (nodes_[i].unplugged) return -ENOENT;
        const int fd = nextFd_++;
        fds_[fd] = i;
        return fd;
      }
    return -ENOENT;
  }
  void Close(int fd) override {
    std::lock_guard lock(mutex_);
    auto it = fds_.find(fd);
    if (it == fds_.end()) return;
    Node& n = nodes_[it->second];
    // Closing the streaming descriptor ends the stream, as in the kernel.
    if (streamingFd_ == fd) {
      n.streaming = false;
      n.queued.clear();
      streamingFd_ = -1;
    }
    fds_.erase(it);
  }
  void* Map(int fd, size_t length, long offset) override {
    std::lock_guard lock(mutex_);
    Node* n = NodeOf(fd);
    if (!n || n->unplugged) return nullptr;
    const size_t i = static_cast<size_t>(offset) / kOffsetStep;
    if (i >= n->buffers.size() || n->buffers[i].size() != length) return nullptr;
    ++mapped_;
    return n->buffers[i].data();
  }
  void Unmap(void* address, size_t) override {
    std::lock_guard lock(mutex_);
    if (address) --mapped_;
  }
  int WaitFrame(int fd, int) override {
    std::lock_guard lock(mutex_);
    Node* n = NodeOf(fd);
    if (!n) return -EBADF;
    if (n->unplugged) return -ENODEV;
    return n->streaming && !n->frames.empty() && !n->queued.empty() ? 1 : 0;
  }
  int Ioctl(int fd, unsigned long request, void* arg) override {
    std::lock_guard lock(mutex_);
    Node* n = NodeOf(fd);
    if (!n) return -EBADF;
    if (n->unplugged) return -ENODEV;
    return Answer(fd, *n, request, arg);
  }

private:
  static constexpr size_t kOffsetStep = 0x10000000;

  Node& NodeAt(const std::string& path) {
    for (auto& n : nodes_)
      if (n.path == path) return n;
    throw std::runtime_error("no node " + path);
  }
  Node* NodeOf(int fd) {
    auto it = fds_.find(fd);
    return it == fds_.end() ? nullptr : &nodes_[it->second];
  }

  static void CopyText(uint8_t* dst, size_t n, const std::string& s) {
    std::memset(dst, 0, n);
    std::memcpy(dst, s.data(), std::min(n - 1, s.size()));
  }

  void Load(const std::string& file) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file);
    Node* n = nullptr;
    for (std::string text; std::getline(in, text);) {
      if (text.empty() || text[0] == '#') continue;
      const Line l = ParseLine(text);
      if (l.verb == "node") {
        nodes_.emplace_back();
        n = &nodes_.back();
        n->path = l.words.at(0);
      } else if (!n) {
        throw std::runtime_error("line before node: " + text);
      } else if (l.verb == "querycap") {
        CopyText(n->cap.driver, sizeof n->cap.driver, l.Str("driver"));
        CopyText(n->cap.card, sizeof n->cap.card, l.Str("card"));
        CopyText(n->cap.bus_info, sizeof n->cap.bus_info, l.Str("bus"));
        n->cap.version = static_cast<uint32_t>(l.Num("version"));
        n->cap.capabilities = static_cast<uint32_t>(l.Num("caps"));
        n->cap.device_caps = static_cast<uint32_t>(l.Num("device_caps"));
      } else if (l.verb == "format") {
        Node::Fmt f;
        f.desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        f.desc.pixelformat = Fourcc(l.words.at(0));
        f.desc.flags = static_cast<uint32_t>(l.Num("flags"));
        CopyText(f.desc.description, sizeof f.desc.description, l.words.size() > 1 ? l.words[1] : "");
        n->formats.push_back(f);
      } else if (l.verb == "size") {
        n->formats.back().sizes.push_back(
            {static_cast<uint32_t>(std::stoul(l.words.at(0))), static_cast<uint32_t>(std::stoul(l.words.at(1))), {}});
      } else if (l.verb == "interval") {
        n->formats.back().sizes.back().intervals.emplace_back(static_cast<uint32_t>(std::stoul(l.words.at(0))),
                                                              static_cast<uint32_t>(std::stoul(l.words.at(1))));
      } else if (l.verb == "stepwise") {
        auto& f = n->formats.back();
        f.stepwise = true;
        uint32_t v[6];
        for (int i = 0; i < 6; ++i) v[i] = static_cast<uint32_t>(std::stoul(l.words.at(size_t(i))));
        f.steps = {v[0], v[1], v[2], v[3], v[4], v[5]};
      } else if (l.verb == "ivalrange") {
        auto& f = n->formats.back();
        f.intervalRange = true;
        f.minInterval = {static_cast<uint32_t>(std::stoul(l.words.at(0))), static_cast<uint32_t>(std::stoul(l.words.at(1)))};
        f.maxInterval = {static_cast<uint32_t>(std::stoul(l.words.at(2))), static_cast<uint32_t>(std::stoul(l.words.at(3)))};
      } else if (l.verb == "trylimits") {
        n->tryLimits = true;
        n->minW = static_cast<uint32_t>(std::stoul(l.words.at(0)));
        n->maxW = static_cast<uint32_t>(std::stoul(l.words.at(1)));
        n->minH = static_cast<uint32_t>(std::stoul(l.words.at(2)));
        n->maxH = static_cast<uint32_t>(std::stoul(l.words.at(3)));
      } else if (l.verb == "current") {
        n->current.pixelformat = Fourcc(l.words.at(0));
        n->current.width = static_cast<uint32_t>(std::stoul(l.words.at(1)));
        n->current.height = static_cast<uint32_t>(std::stoul(l.words.at(2)));
        n->current.bytesperline = static_cast<uint32_t>(l.Num("bpl"));
        n->current.sizeimage = SizeImage(n->current);
        const std::string iv = l.Str("interval");
        if (!iv.empty())
          n->interval = {static_cast<uint32_t>(std::stoul(iv.substr(0, iv.find('/')))),
                         static_cast<uint32_t>(std::stoul(iv.substr(iv.find('/') + 1)))};
      } else if (l.verb == "parm") {
        n->interval = {static_cast<uint32_t>(std::stoul(l.words.at(0))), static_cast<uint32_t>(std::stoul(l.words.at(1)))};
      } else if (l.verb == "control") {
        Node::Ctrl c;
        c.q.id = static_cast<uint32_t>(l.Num("id"));
        c.q.type = static_cast<uint32_t>(l.Num("type"));
        CopyText(c.q.name, sizeof c.q.name, l.Str("name"));
        c.q.minimum = static_cast<int32_t>(l.Num("min"));
        c.q.maximum = static_cast<int32_t>(l.Num("max"));
        c.q.step = static_cast<int32_t>(l.Num("step"));
        c.q.default_value = static_cast<int32_t>(l.Num("default"));
        c.q.flags = static_cast<uint32_t>(l.Num("flags"));
        c.value = static_cast<int32_t>(l.Num("value"));
        n->controls.push_back(c);
      } else if (l.verb == "menu") {
        v4l2_querymenu m{};
        m.id = static_cast<uint32_t>(l.Num("id"));
        m.index = static_cast<uint32_t>(l.Num("index"));
        CopyText(m.name, sizeof m.name, l.words.at(0));
        n->menus.push_back(m);
      } else if (l.verb == "input") {
        v4l2_input i{};
        i.index = static_cast<uint32_t>(l.Num("index"));
        CopyText(i.name, sizeof i.name, l.Str("name"));
        i.type = static_cast<uint32_t>(l.Num("type"));
        i.audioset = static_cast<uint32_t>(l.Num("audioset"));
        i.tuner = static_cast<uint32_t>(l.Num("tuner"));
        i.std = static_cast<v4l2_std_id>(l.Num("std"));
        i.status = static_cast<uint32_t>(l.Num("status"));
        n->inputs.push_back(i);
      } else if (l.verb == "standard") {
        v4l2_standard s{};
        s.index = static_cast<uint32_t>(n->standards.size());
        s.id = static_cast<v4l2_std_id>(l.Num("id"));
        CopyText(s.name, sizeof s.name, l.Str("name"));
        s.framelines = static_cast<uint32_t>(l.Num("framelines"));
        n->standards.push_back(s);
      } else if (l.verb == "std") {
        n->std = static_cast<v4l2_std_id>(std::stoull(l.words.at(0), nullptr, 0));
      } else if (l.verb == "audio") {
        v4l2_audio a{};
        a.index = static_cast<uint32_t>(l.Num("index"));
        CopyText(a.name, sizeof a.name, l.Str("name"));
        a.capability = V4L2_AUDCAP_STEREO;
        n->audios.push_back(a);
      } else if (l.verb == "tuner") {
        v4l2_tuner t{};
        t.index = static_cast<uint32_t>(l.Num("index"));
        CopyText(t.name, sizeof t.name, l.Str("name"));
        t.type = static_cast<uint32_t>(l.Num("type"));
        t.capability = static_cast<uint32_t>(l.Num("capability"));
        t.rangelow = static_cast<uint32_t>(l.Num("rangelow"));
        t.rangehigh = static_cast<uint32_t>(std::stoull(l.Str("rangehigh"), nullptr, 0));
        t.audmode = static_cast<uint32_t>(l.Num("audmode"));
        n->tuners.push_back(t);
      } else if (l.verb == "carrier") {
        n->carriers.insert(static_cast<uint32_t>(std::stoul(l.words.at(0))));
      } else {
        throw std::runtime_error("unknown fixture line: " + text);
      }
    }
  }

  static uint32_t SizeImage(const v4l2_pix_format& p) {
    switch (p.pixelformat) {
      case V4L2_PIX_FMT_MJPEG: return p.width * p.height * 2;
      case V4L2_PIX_FMT_YUV420:
      case V4L2_PIX_FMT_YVU420: return p.width * p.height * 3 / 2;
      default: return p.bytesperline * p.height;
    }
  }
  static uint32_t BytesPerPixel(uint32_t f) {
    switch (f) {
      case V4L2_PIX_FMT_BGR24: return 3;
      case V4L2_PIX_FMT_BGR32:
      case V4L2_PIX_FMT_XBGR32:
      case V4L2_PIX_FMT_ABGR32: return 4;
      case V4L2_PIX_FMT_YUV420:
      case V4L2_PIX_FMT_YVU420:
      case V4L2_PIX_FMT_GREY: return 1;
      case V4L2_PIX_FMT_MJPEG: return 0;
      default: return 2;
    }
  }
  const Node::Fmt* FindFmt(const Node& n, uint32_t fourcc) const {
    for (auto& f : n.formats)
      if (f.desc.pixelformat == fourcc) return &f;
    return nullptr;
  }
  // TRY_FMT's adjustment: a listed size, else the driver's limits.
  bool Adjust(const Node& n, v4l2_pix_format& p) const {
    const Node::Fmt* f = FindFmt(n, p.pixelformat);
    if (!f) f = &n.formats.front();
    p.pixelformat = f->desc.pixelformat;
    if (f->stepwise) {
      const auto& st = f->steps;
      p.width = std::clamp(p.width, st.min_width, st.max_width);
      p.height = std::clamp(p.height, st.min_height, st.max_height);
      p.width -= (p.width - st.min_width) % st.step_width;
      p.height -= (p.height - st.min_height) % st.step_height;
    } else if (n.tryLimits) {
      p.width = std::clamp(p.width, n.minW, n.maxW);
      p.height = std::clamp(p.height, n.minH, n.maxH);
    } else {
      bool listed = false;
      for (auto& s : f->sizes)
        if (s.w == p.width && s.h == p.height && s.w && s.h) listed = true;
      if (!listed) {
        p.width = f->sizes.front().w;
        p.height = f->sizes.front().h;
      }
    }
    p.field = V4L2_FIELD_NONE;
    p.bytesperline = p.width * BytesPerPixel(p.pixelformat);
    p.sizeimage = SizeImage(p);
    return true;
  }

  int Answer(int fd, Node& n, unsigned long request, void* arg) {
    switch (request) {
      case VIDIOC_QUERYCAP:
        *static_cast<v4l2_capability*>(arg) = n.cap;
        return 0;
      case VIDIOC_ENUM_FMT: {
        auto* d = static_cast<v4l2_fmtdesc*>(arg);
        if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= n.formats.size()) return -EINVAL;
        const uint32_t index = d->index;
        *d = n.formats[index].desc;
        d->index = index;
        return 0;
      }
      case VIDIOC_ENUM_FRAMESIZES: {
        auto* e = static_cast<v4l2_frmsizeenum*>(arg);
        const Node::Fmt* f = FindFmt(n, e->pixel_format);
        if (f && f->stepwise) {
          if (e->index != 0) return -EINVAL;
          e->type = V4L2_FRMSIZE_TYPE_STEPWISE;
          e->stepwise = f->steps;
          return 0;
        }
        if (!f || e->index >= f->sizes.size()) return -EINVAL;
        e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        e->discrete.width = f->sizes[e->index].w;
        e->discrete.height = f->sizes[e->index].h;
        return 0;
      }
      case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* e = static_cast<v4l2_frmivalenum*>(arg);
        const Node::Fmt* f = FindFmt(n, e->pixel_format);
        if (!f) return -EINVAL;
        if (f->intervalRange) {
          if (e->index != 0) return -EINVAL;
          e->type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
          e->stepwise.min = f->minInterval;
          e->stepwise.max = f->maxInterval;
          e->stepwise.step = {1, 1};
          return 0;
        }
        for (auto& s : f->sizes)
          if (s.w == e->width && s.h == e->height) {
            if (e->index >= s.intervals.size()) return -EINVAL;
            e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
            e->discrete.numerator = s.intervals[e->index].first;
            e->discrete.denominator = s.intervals[e->index].second;
            return 0;
          }
        return -EINVAL;
      }
      case VIDIOC_TRY_FMT:
      case VIDIOC_S_FMT: {
        auto* f = static_cast<v4l2_format*>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
        if (request == VIDIOC_S_FMT && !n.buffers.empty()) return -EBUSY;
        Adjust(n, f->fmt.pix);
        if (request == VIDIOC_S_FMT) {
          n.current = f->fmt.pix;
          // A new size starts at the size's first (fastest) interval.
          if (const Node::Fmt* fm = FindFmt(n, n.current.pixelformat))
            for (auto& s : fm->sizes)
              if (s.w == n.current.width && s.h == n.current.height && !s.intervals.empty())
                n.interval = s.intervals.front();
        }
        return 0;
      }
      case VIDIOC_G_FMT: {
        auto* f = static_cast<v4l2_format*>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
        f->fmt.pix = n.current;
        return 0;
      }
      case VIDIOC_G_PARM:
      case VIDIOC_S_PARM: {
        auto* p = static_cast<v4l2_streamparm*>(arg);
        if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
        if (request == VIDIOC_S_PARM) SetInterval(n, p->parm.capture.timeperframe);
        p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        p->parm.capture.timeperframe.numerator = n.interval.first;
        p->parm.capture.timeperframe.denominator = n.interval.second;
        return 0;
      }
      case VIDIOC_QUERYCTRL: {
        auto* q = static_cast<v4l2_queryctrl*>(arg);
        for (auto& c : n.controls)
          if (c.q.id == q->id) {
            *q = c.q;
            return 0;
          }
        return -EINVAL;
      }
      case VIDIOC_QUERYMENU: {
        auto* m = static_cast<v4l2_querymenu*>(arg);
        for (auto& e : n.menus)
          if (e.id == m->id && e.index == m->index) {
            *m = e;
            return 0;
          }
        return -EINVAL;
      }
      case VIDIOC_G_CTRL:
      case VIDIOC_S_CTRL: {
        auto* c = static_cast<v4l2_control*>(arg);
        for (auto& e : n.controls)
          if (e.q.id == c->id) {
            if (request == VIDIOC_G_CTRL) {
              c->value = e.value;
              return 0;
            }
            // uvcvideo refuses a manual value while its automatic switch is on.
            if (Inactive(n, e.q.id)) return -EACCES;
            if (c->value < e.q.minimum || c->value > e.q.maximum) return -ERANGE;
            e.value = c->value;
            return 0;
          }
        return -EINVAL;
      }
      case VIDIOC_ENUMINPUT: {
        auto* i = static_cast<v4l2_input*>(arg);
        if (i->index >= n.inputs.size()) return -EINVAL;
        *i = n.inputs[i->index];
        if (static_cast<int>(i->index) == n.input && i->type == V4L2_INPUT_TYPE_TUNER)
          i->status = n.carriers.count(n.frequency) ? 0 : (V4L2_IN_ST_NO_SIGNAL | V4L2_IN_ST_NO_H_LOCK);
        return 0;
      }
      case VIDIOC_G_INPUT:
        *static_cast<int*>(arg) = n.input;
        return 0;
      case VIDIOC_S_INPUT: {
        const int i = *static_cast<int*>(arg);
        if (i < 0 || i >= static_cast<int>(n.inputs.size())) return -EINVAL;
        n.input = i;
        return 0;
      }
      case VIDIOC_ENUMSTD: {
        auto* s = static_cast<v4l2_standard*>(arg);
        if (s->index >= n.standards.size()) return -EINVAL;
        *s = n.standards[s->index];
        return 0;
      }
      case VIDIOC_G_STD:
        if (n.standards.empty()) return -ENODATA;
        *static_cast<v4l2_std_id*>(arg) = n.std;
        return 0;
      case VIDIOC_S_STD: {
        const v4l2_std_id id = *static_cast<v4l2_std_id*>(arg);
        for (auto& s : n.standards)
          if (s.id & id) {
            n.std = id;
            return 0;
          }
        return -EINVAL;
      }
      case VIDIOC_ENUMAUDIO: {
        auto* a = static_cast<v4l2_audio*>(arg);
        if (a->index >= n.audios.size()) return -EINVAL;
        *a = n.audios[a->index];
        return 0;
      }
      case VIDIOC_G_AUDIO:
        if (n.audios.empty()) return -EINVAL;
        *static_cast<v4l2_audio*>(arg) = n.audios[n.audio];
        return 0;
      case VIDIOC_S_AUDIO: {
        const auto* a = static_cast<v4l2_audio*>(arg);
        if (a->index >= n.audios.size()) return -EINVAL;
        n.audio = a->index;
        return 0;
      }
      case VIDIOC_G_TUNER: {
        auto* t = static_cast<v4l2_tuner*>(arg);
        if (t->index >= n.tuners.size()) return -EINVAL;
        *t = n.tuners[t->index];
        // A tuned station sends stereo; noise is mono.
        const bool station = n.carriers.count(n.frequency) != 0;
        t->signal = station ? 0xffff : 0;
        t->rxsubchans = station ? (V4L2_TUNER_SUB_MONO | V4L2_TUNER_SUB_STEREO) : V4L2_TUNER_SUB_MONO;
        return 0;
      }
      case VIDIOC_S_TUNER: {
        const auto* t = static_cast<v4l2_tuner*>(arg);
        if (t->index >= n.tuners.size() || t->audmode > V4L2_TUNER_MODE_LANG1_LANG2) return -EINVAL;
        n.tuners[t->index].audmode = t->audmode;
        return 0;
      }
      case VIDIOC_G_FREQUENCY: {
        auto* f = static_cast<v4l2_frequency*>(arg);
        if (f->tuner >= n.tuners.size()) return -EINVAL;
        f->type = V4L2_TUNER_ANALOG_TV;
        f->frequency = n.frequency;
        return 0;
      }
      case VIDIOC_S_FREQUENCY: {
        const auto* f = static_cast<v4l2_frequency*>(arg);
        if (f->tuner >= n.tuners.size()) return -EINVAL;
        n.frequency = f->frequency;
        return 0;
      }
      case VIDIOC_REQBUFS: {
        auto* r = static_cast<v4l2_requestbuffers*>(arg);
        if (r->memory != V4L2_MEMORY_MMAP) return -EINVAL;
        if (n.streaming) return -EBUSY;
        n.buffers.assign(std::min<uint32_t>(r->count, 8), std::vector<uint8_t>(std::max<uint32_t>(n.current.sizeimage, 1)));
        n.queued.clear();
        r->count = static_cast<uint32_t>(n.buffers.size());
        streamingFd_ = r->count ? fd : -1;
        return 0;
      }
      case VIDIOC_QUERYBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->index >= n.buffers.size()) return -EINVAL;
        b->length = static_cast<uint32_t>(n.buffers[b->index].size());
        b->m.offset = static_cast<uint32_t>(b->index * kOffsetStep);
        return 0;
      }
      case VIDIOC_QBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->index >= n.buffers.size()) return -EINVAL;
        if (std::find(n.queued.begin(), n.queued.end(), b->index) != n.queued.end()) return -EINVAL;
        n.queued.push_back(b->index);
        return 0;
      }
      case VIDIOC_DQBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (!n.streaming) return -EINVAL;
        if (n.frames.empty() || n.queued.empty()) return -EAGAIN;
        Frame f = std::move(n.frames.front());
        n.frames.pop_front();
        const uint32_t index = n.queued.front();
        n.queued.pop_front();
        auto& buf = n.buffers[index];
        const size_t copy = std::min(buf.size(), f.bytes.size());
        std::memcpy(buf.data(), f.bytes.data(), copy);
        n.sequence += f.sequenceSkip;
        b->index = index;
        b->bytesused = f.claimedBytes >= 0 ? static_cast<uint32_t>(f.claimedBytes) : static_cast<uint32_t>(copy);
        b->length = static_cast<uint32_t>(buf.size());
        b->sequence = n.sequence++;
        b->flags = V4L2_BUF_FLAG_MAPPED | (f.error ? V4L2_BUF_FLAG_ERROR : 0);
        return 0;
      }
      case VIDIOC_STREAMON:
        if (n.buffers.empty()) return -EINVAL;
        n.streaming = true;
        n.sequence = 0;
        ++n.streamOns;
        return 0;
      case VIDIOC_STREAMOFF:
        n.streaming = false;
        n.queued.clear();
        return 0;
      default:
        return -ENOTTY;
    }
  }

  // The automatic switch that makes a control read-only while on.
  static bool Inactive(Node& n, uint32_t id) {
    auto value = [&](uint32_t cid) {
      for (auto& c : n.controls)
        if (c.q.id == cid) return c.value;
      return 0;
    };
    if (id == V4L2_CID_WHITE_BALANCE_TEMPERATURE) return value(V4L2_CID_AUTO_WHITE_BALANCE) != 0;
    if (id == V4L2_CID_FOCUS_ABSOLUTE) return value(V4L2_CID_FOCUS_AUTO) != 0;
    if (id == V4L2_CID_EXPOSURE_ABSOLUTE) return value(V4L2_CID_EXPOSURE_AUTO) != V4L2_EXPOSURE_MANUAL;
    return false;
  }

  // The nearest interval the current size offers, as uvcvideo picks it.
  void SetInterval(Node& n, const v4l2_fract& want) {
    if (!want.numerator || !want.denominator) return;
    const Node::Fmt* f = FindFmt(n, n.current.pixelformat);
    if (!f) return;
    const double w = double(want.numerator) / want.denominator;
    if (f->intervalRange) {
      const double lo = double(f->minInterval.numerator) / f->minInterval.denominator;
      const double hi = double(f->maxInterval.numerator) / f->maxInterval.denominator;
      n.interval = w < lo ? std::make_pair(f->minInterval.numerator, f->minInterval.denominator)
                   : w > hi ? std::make_pair(f->maxInterval.numerator, f->maxInterval.denominator)
                            : std::make_pair(want.numerator, want.denominator);
      return;
    }
    for (auto& s : f->sizes)
      if (s.w == n.current.width && s.h == n.current.height) {
        double best = 1e9;
        for (auto& iv : s.intervals) {
          if (!iv.first || !iv.second) continue;
          const double d = std::abs(double(iv.first) / iv.second - w);
          if (d < best) best = d, n.interval = iv;
        }
      }
  }

  std::mutex mutex_;
  std::vector<Node> nodes_;
  std::map<int, size_t> fds_;
  int nextFd_ = 100;
  int streamingFd_ = -1;
  int mapped_ = 0;
};

}  // namespace fakev4l2
