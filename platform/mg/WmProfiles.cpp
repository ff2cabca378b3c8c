#include "platform/mg/WmProfiles.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

#include "platform/mg/Guids.h"

namespace mg::wm {

namespace {

// ---- a small reader for attribute-only XML --------------------------------------------------
// Enough for profiles: declarations, comments and text between tags are
// skipped; an element is its name, its attributes and its children.

struct Element {
  std::string name;
  std::map<std::string, std::string> attrs;
  std::vector<Element> children;

  const Element* Child(const std::string& n) const {
    for (const Element& c : children)
      if (c.name == n) return &c;
    return nullptr;
  }
  const std::string* Attr(const std::string& n) const {
    const auto it = attrs.find(n);
    return it == attrs.end() ? nullptr : &it->second;
  }
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool NameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ':' || c == '.';
}

class Reader {
public:
  explicit Reader(const std::string& text) : s_(text) {}

  // The document's first element, when the text is well formed.
  bool Read(Element& root) {
    // Profiles nest a handful of levels; a deep pile of tags is not one.
    SkipMisc();
    if (!ReadElement(root, 0)) return false;
    SkipMisc();
    return true;
  }

private:
  static constexpr int kMaxDepth = 16;

  void SkipSpace() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool StartsWith(const char* p) const { return s_.compare(i_, std::char_traits<char>::length(p), p) == 0; }
  bool SkipPast(const char* p) {
    const size_t at = s_.find(p, i_);
    if (at == std::string::npos) return false;
    i_ = at + std::char_traits<char>::length(p);
    return true;
  }
  // Declarations, comments and text.
  void SkipMisc() {
    for (;;) {
      while (i_ < s_.size() && s_[i_] != '<') ++i_;
      if (StartsWith("<?")) {
        if (!SkipPast("?>")) i_ = s_.size();
      } else if (StartsWith("<!--")) {
        if (!SkipPast("-->")) i_ = s_.size();
      } else if (StartsWith("<!")) {
        if (!SkipPast(">")) i_ = s_.size();
      } else {
        return;
      }
    }
  }
  bool ReadName(std::string& name) {
    const size_t start = i_;
    while (i_ < s_.size() && NameChar(s_[i_])) ++i_;
    name = Lower(s_.substr(start, i_ - start));
    return !name.empty();
  }
  bool ReadElement(Element& e, int depth) {
    if (depth > kMaxDepth || i_ >= s_.size() || s_[i_] != '<') return false;
    ++i_;
    if (!ReadName(e.name)) return false;
    for (;;) {
      SkipSpace();
      if (i_ >= s_.size()) return false;
      if (StartsWith("/>")) {
        i_ += 2;
        return true;
      }
      if (s_[i_] == '>') {
        ++i_;
        break;
      }
      std::string attr;
      if (!ReadName(attr)) return false;
      SkipSpace();
      if (i_ >= s_.size() || s_[i_] != '=') return false;
      ++i_;
      SkipSpace();
      if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) return false;
      const char quote = s_[i_++];
      const size_t end = s_.find(quote, i_);
      if (end == std::string::npos) return false;
      e.attrs[attr] = s_.substr(i_, end - i_);
      i_ = end + 1;
    }
    for (;;) {
      SkipMisc();
      if (i_ >= s_.size()) return false;
      if (StartsWith("</")) {
        i_ += 2;
        std::string closing;
        if (!ReadName(closing) || closing != e.name) return false;
        SkipSpace();
        if (i_ >= s_.size() || s_[i_] != '>') return false;
        ++i_;
        return true;
      }
      e.children.emplace_back();
      if (!ReadElement(e.children.back(), depth + 1)) return false;
    }
  }

  const std::string& s_;
  size_t i_ = 0;
};

bool ToInt64(const std::string* text, int64_t& out) {
  if (!text) return false;
  const char* b = text->data();
  const char* e = b + text->size();
  while (b < e && *b == ' ') ++b;
  const auto r = std::from_chars(b, e, out);
  return r.ec == std::errc() && r.ptr == e;
}

template <class T>
bool ToNumber(const std::string* text, T& out, int64_t low, int64_t high) {
  int64_t v = 0;
  if (!ToInt64(text, v) || v < low || v > high) return false;
  out = static_cast<T>(v);
  return true;
}

// Media subtypes are FOURCC GUIDs; the first eight hex digits hold the code.
bool FourCCOfSubtype(const std::string* text, uint32_t& code) {
  if (!text) return false;
  std::string t = *text;
  if (!t.empty() && t.front() == '{') t.erase(0, 1);
  if (t.size() < 8) return false;
  uint32_t v = 0;
  const auto r = std::from_chars(t.data(), t.data() + 8, v, 16);
  if (r.ec != std::errc() || r.ptr != t.data() + 8) return false;
  code = v;
  return true;
}

std::string SubtypeOf(uint32_t code) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "{%08X-0000-0010-8000-00AA00389B71}", code);
  return buf;
}

struct CodecName {
  uint32_t code;
  const char* encoder;
  bool video;
};
// The codecs an ASF file made here can carry: video by FOURCC, audio by
// wave format tag.
constexpr CodecName kCodecs[] = {
    {MAKEFOURCC('W', 'M', 'V', '1'), "wmv1", true},
    {MAKEFOURCC('W', 'M', 'V', '2'), "wmv2", true},
    {0x160, "wmav1", false},
    {0x161, "wmav2", false},
};

const CodecName* CodecByCode(uint32_t code, bool video) {
  for (const CodecName& c : kCodecs)
    if (c.code == code && c.video == video) return &c;
  return nullptr;
}
const CodecName* CodecByName(const std::string& name, bool video) {
  for (const CodecName& c : kCodecs)
    if (name == c.encoder && c.video == video) return &c;
  return nullptr;
}

bool ReadVideo(const Element& cfg, ProfileSettings& p) {
  const Element* props = cfg.Child("videomediaprops");
  const Element* type = cfg.Child("wmmediatype");
  const Element* vih = type ? type->Child("videoinfoheader") : nullptr;
  const Element* bih = vih ? vih->Child("bitmapinfoheader") : nullptr;
  uint32_t code = 0;
  int64_t frameTime = 0;
  if (!bih || !FourCCOfSubtype(type->Attr("subtype"), code)) return false;
  const CodecName* codec = CodecByCode(code, true);
  if (!codec) return false;
  p.videoCodec = codec->encoder;
  if (!ToNumber(cfg.Attr("bitrate"), p.videoBitRate, 1000, 100'000'000)) return false;
  if (!ToNumber(bih->Attr("biwidth"), p.width, 16, 4096) || !ToNumber(bih->Attr("biheight"), p.height, 16, 4096))
    return false;
  if (p.width % 2 || p.height % 2) return false;
  if (!ToNumber(vih->Attr("avgtimeperframe"), frameTime, 100'000, 10'000'000)) return false;
  p.fps = static_cast<int>(std::lround(10'000'000.0 / static_cast<double>(frameTime)));
  if (props) {
    if (props->Attr("quality") && !ToNumber(props->Attr("quality"), p.quality, 0, 100)) return false;
    if (props->Attr("maxkeyframespacing") &&
        !ToNumber(props->Attr("maxkeyframespacing"), p.maxKeyFrameSpacing, 0, 36'000'000'000LL))
      return false;
  }
  p.hasVideo = true;
  return true;
}

bool ReadAudio(const Element& cfg, ProfileSettings& p) {
  const Element* type = cfg.Child("wmmediatype");
  const Element* wfx = type ? type->Child("waveformatex") : nullptr;
  uint32_t tag = 0;
  if (!wfx || !ToNumber(wfx->Attr("wformattag"), tag, 1, 0xFFFF)) return false;
  const CodecName* codec = CodecByCode(tag, false);
  if (!codec) return false;
  p.audioCodec = codec->encoder;
  if (!ToNumber(cfg.Attr("bitrate"), p.audioBitRate, 8000, 640'000)) return false;
  if (!ToNumber(wfx->Attr("nchannels"), p.channels, 1, 2)) return false;
  if (!ToNumber(wfx->Attr("nsamplespersec"), p.sampleRate, 8000, 48'000)) return false;
  p.hasAudio = true;
  return true;
}

std::string Pad(int depth) { return std::string(static_cast<size_t>(depth) * 5, ' '); }

// Writes "<name a="v" ...>" ... "</name>" in the shape the editors expect.
class Writer {
public:
  void Open(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> attrs) {
    out_ += Pad(depth_) + "<" + name;
    for (const auto& [n, v] : attrs) {
      // A value cannot hold the quotation mark that ends it.
      std::string value = v;
      std::replace(value.begin(), value.end(), '"', '\'');
      out_ += std::string(" ") + n + "=\"" + value + "\"";
    }
    out_ += ">\n";
    names_.push_back(name);
    ++depth_;
  }
  void Close() {
    --depth_;
    out_ += Pad(depth_) + "</" + names_.back() + ">\n";
    names_.pop_back();
  }
  std::string Text() const { return out_; }

private:
  std::string out_;
  std::vector<std::string> names_;
  int depth_ = 0;
};

std::string Str(int64_t v) { return std::to_string(v); }

ProfileSettings Make(const char* name, const char* vcodec, int w, int h, int fps, LONG vrate, const char* acodec,
                     int channels, LONG arate) {
  ProfileSettings p;
  p.name = name;
  p.videoCodec = vcodec;
  p.width = w;
  p.height = h;
  p.fps = fps;
  p.videoBitRate = vrate;
  p.audioCodec = acodec;
  p.channels = channels;
  p.audioBitRate = arate;
  return p;
}

}  // namespace

std::string ProfileToXml(const ProfileSettings& p) {
  Writer w;
  w.Open("profile", {{"version", "589824"}, {"storageformat", "1"}, {"name", p.name}, {"description", p.description}});
  int stream = 0;
  if (p.hasVideo) {
    const CodecName* codec = CodecByName(p.videoCodec, true);
    const uint32_t code = codec ? codec->code : 0;
    const std::string rate = Str(p.videoBitRate);
    w.Open("streamconfig", {{"majortype", MEDIATYPE_Video.ToString()},
                            {"streamnumber", Str(++stream)},
                            {"streamname", "Video Stream"},
                            {"inputname", "Video409"},
                            {"bitrate", rate},
                            {"bufferwindow", "5000"}});
    w.Open("videomediaprops", {{"maxkeyframespacing", Str(p.maxKeyFrameSpacing)}, {"quality", Str(p.quality)}});
    w.Close();
    w.Open("wmmediatype",
           {{"subtype", SubtypeOf(code)}, {"bfixedsizesamples", "0"}, {"btemporalcompression", "1"}, {"lsamplesize", "0"}});
    w.Open("videoinfoheader", {{"dwbitrate", rate},
                               {"dwbiterrorrate", "0"},
                               {"avgtimeperframe", Str(p.fps > 0 ? 10'000'000 / p.fps : 0)}});
    for (const char* rect : {"rcsource", "rctarget"}) {
      w.Open(rect, {{"left", "0"}, {"top", "0"}, {"right", Str(p.width)}, {"bottom", Str(p.height)}});
      w.Close();
    }
    std::string fourcc;
    for (int i = 0; i < 4; ++i) fourcc += static_cast<char>((code >> (8 * i)) & 0xFF);
    w.Open("bitmapinfoheader", {{"biwidth", Str(p.width)},
                                {"biheight", Str(p.height)},
                                {"biplanes", "1"},
                                {"bibitcount", "24"},
                                {"bicompression", fourcc},
                                {"bisizeimage", "0"}});
    w.Close();
    w.Close();
    w.Close();
    w.Close();
  }
  if (p.hasAudio) {
    const CodecName* codec = CodecByName(p.audioCodec, false);
    const uint32_t tag = codec ? codec->code : 0;
    w.Open("streamconfig", {{"majortype", MEDIATYPE_Audio.ToString()},
                            {"streamnumber", Str(++stream)},
                            {"streamname", "Audio Stream"},
                            {"inputname", "Audio409"},
                            {"bitrate", Str(p.audioBitRate)},
                            {"bufferwindow", "5000"}});
    w.Open("wmmediatype",
           {{"subtype", SubtypeOf(tag)}, {"bfixedsizesamples", "1"}, {"btemporalcompression", "0"}, {"lsamplesize", "0"}});
    w.Open("waveformatex", {{"wformattag", Str(tag)},
                            {"nchannels", Str(p.channels)},
                            {"nsamplespersec", Str(p.sampleRate)},
                            {"navgbytespersec", Str(p.audioBitRate / 8)},
                            {"nblockalign", "0"},
                            {"wbitspersample", "16"}});
    w.Close();
    w.Close();
    w.Close();
  }
  w.Close();
  return w.Text();
}

bool ProfileFromXml(const std::string& text, ProfileSettings& out) {
  Element root;
  if (!Reader(text).Read(root) || root.name != "profile") return false;
  ProfileSettings p;
  p.hasVideo = p.hasAudio = false;
  if (const std::string* n = root.Attr("name")) p.name = *n;
  if (const std::string* d = root.Attr("description")) p.description = *d;
  for (const Element& cfg : root.children) {
    if (cfg.name != "streamconfig") continue;
    const std::string* major = cfg.Attr("majortype");
    if (!major) return false;
    const GUID type = GUID::FromText(*major);
    if (type == MEDIATYPE_Video) {
      if (p.hasVideo || !ReadVideo(cfg, p)) return false;
    } else if (type == MEDIATYPE_Audio) {
      if (p.hasAudio || !ReadAudio(cfg, p)) return false;
    } else {
      return false;
    }
  }
  if (!p.hasVideo && !p.hasAudio) return false;
  out = p;
  return true;
}

const std::vector<ProfileSettings>& SystemProfiles() {
  static const std::vector<ProfileSettings> list = [] {
    std::vector<ProfileSettings> l{
        Make("Video 160x120, 15 fps (100 kbit/s); audio mono (32 kbit/s)", "wmv2", 160, 120, 15, 100'000, "wmav2", 1,
             32'000),
        Make("Video 320x240, 15 fps (250 kbit/s); audio mono (32 kbit/s)", "wmv2", 320, 240, 15, 250'000, "wmav2", 1,
             32'000),
        Make("Video 320x240, 25 fps (500 kbit/s); audio stereo (64 kbit/s)", "wmv2", 320, 240, 25, 500'000, "wmav2",
             2, 64'000),
        Make("Video 640x480, 25 fps (1000 kbit/s); audio stereo (128 kbit/s)", "wmv2", 640, 480, 25, 1'000'000,
             "wmav2", 2, 128'000),
        Make("Video 640x480, 25 fps (2000 kbit/s); audio stereo (128 kbit/s)", "wmv2", 640, 480, 25, 2'000'000,
             "wmav2", 2, 128'000),
        Make("Video 720x576, 25 fps (3000 kbit/s); audio stereo (128 kbit/s)", "wmv2", 720, 576, 25, 3'000'000,
             "wmav2", 2, 128'000),
        Make("Video 320x240, 25 fps (300 kbit/s), first-generation codecs; audio stereo (64 kbit/s)", "wmv1", 320,
             240, 25, 300'000, "wmav1", 2, 64'000),
    };
    for (ProfileSettings& p : l) p.description = p.name;
    return l;
  }();
  return list;
}

HRESULT Profile::GetName(std::string* name) const {
  if (!name) return E_POINTER;
  *name = settings_.name;
  return S_OK;
}

HRESULT ProfileManager::SetSystemProfileVersion(DWORD version) {
  if (version != 0x00080000) return E_INVALIDARG;
  version_ = version;
  return S_OK;
}

HRESULT ProfileManager::GetSystemProfileVersion(DWORD* version) const {
  if (!version) return E_POINTER;
  *version = version_;
  return S_OK;
}

HRESULT ProfileManager::GetSystemProfileCount(DWORD* count) const {
  if (!count) return E_POINTER;
  *count = static_cast<DWORD>(SystemProfiles().size());
  return S_OK;
}

HRESULT ProfileManager::LoadSystemProfile(DWORD index, std::shared_ptr<Profile>* profile) const {
  if (!profile) return E_POINTER;
  if (index >= SystemProfiles().size()) return E_INVALIDARG;
  *profile = std::make_shared<Profile>(SystemProfiles()[index]);
  return S_OK;
}

HRESULT ProfileManager::LoadProfileByData(const std::string& text, std::shared_ptr<Profile>* profile) const {
  if (!profile) return E_POINTER;
  profile->reset();
  ProfileSettings p;
  if (!ProfileFromXml(text, p)) return E_INVALIDARG;
  *profile = std::make_shared<Profile>(p);
  return S_OK;
}

HRESULT ProfileManager::SaveProfile(const std::shared_ptr<Profile>& profile, std::string* text) const {
  if (!profile || !text) return E_POINTER;
  *text = ProfileToXml(profile->Settings());
  return S_OK;
}

HRESULT WMCreateProfileManager(std::shared_ptr<ProfileManager>* manager) {
  if (!manager) return E_POINTER;
  *manager = std::make_shared<ProfileManager>();
  return S_OK;
}

}  // namespace mg::wm
