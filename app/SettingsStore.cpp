#include "app/SettingsStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cctype>
#include <climits>
#include <vector>

#include "app/DataFolders.h"
#include "platform/forms/Graphics.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/StringUtils.h"

namespace app {

namespace {

constexpr mode_t kFileMode = 0600;

// What a row of the key table reads into and writes from.
struct Ctx {
  TGlobalVarsFields& g;
  TCaptureSettings& cs;
};

enum class Kind { Int, Bool, Real, Text, Lines };

struct Row {
  const char* section;
  const char* key;
  Kind kind;
  void* (*field)(Ctx&);
  // The value when the key is missing: text in the key's form, nullptr for
  // the field's current value, or computed by `dynamicDefault`.
  const char* def;
  String (*dynamicDefault)(Ctx&) = nullptr;
  // An integer outside lo..hi reads as `fallback`.
  int32_t lo = INT32_MIN;
  int32_t hi = INT32_MAX;
  int32_t fallback = 0;
  void (*after)(Ctx&) = nullptr;  // runs once the key is read
  bool read = true;
  bool write = true;
};

#define G(f) [](Ctx& c) -> void* { return &c.g.f; }
#define C(f) [](Ctx& c) -> void* { return &c.cs.f; }

Row Int(const char* s, const char* k, void* (*f)(Ctx&), const char* def) { return {s, k, Kind::Int, f, def}; }
Row Ranged(const char* s, const char* k, void* (*f)(Ctx&), const char* def, int32_t lo, int32_t hi, int32_t fallback) {
  Row r{s, k, Kind::Int, f, def};
  r.lo = lo;
  r.hi = hi;
  r.fallback = fallback;
  return r;
}
Row Bool(const char* s, const char* k, void* (*f)(Ctx&), const char* def) { return {s, k, Kind::Bool, f, def}; }
Row Real(const char* s, const char* k, void* (*f)(Ctx&), const char* def) { return {s, k, Kind::Real, f, def}; }
Row Text(const char* s, const char* k, void* (*f)(Ctx&), const char* def) { return {s, k, Kind::Text, f, def}; }
Row Lines(const char* s, const char* k, void* (*f)(Ctx&), const char* def) { return {s, k, Kind::Lines, f, def}; }
Row TextOr(const char* s, const char* k, void* (*f)(Ctx&), String (*dyn)(Ctx&)) {
  Row r{s, k, Kind::Text, f, nullptr};
  r.dynamicDefault = dyn;
  return r;
}
Row After(Row r, void (*after)(Ctx&)) {
  r.after = after;
  return r;
}
Row WriteOnly(Row r) {
  r.read = false;
  return r;
}

void LoadOverlayBitmap(Ctx& c) {
  if (!rtl::FileExists(c.g.BitmapFileName)) {
    c.g.OverlayBitmap = nullptr;
    return;
  }
  // A picture that does not load leaves no overlay; the file name stays,
  // so the user sees which file failed in the settings dialog.
  c.g.OverlayBitmap = nullptr;
  auto bitmap = std::make_shared<forms::TBitmap>();
  bitmap->LoadFromFile(c.g.BitmapFileName);
  c.g.OverlayBitmap = std::move(bitmap);
}

// Every key in file order. Keys named twice are read twice (the second
// read decides) and written once, in the place of the first.
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      // [General]
      After(TextOr("General", "StoragePath", G(StoragePath), [](Ctx&) { return ExeFolder; }),
            [](Ctx& c) { FormRootFolders(c.g); }),
      TextOr("General", "DV_Path", G(DV_Path), [](Ctx& c) { return c.g.DVDefaultPath; }),
      Int("General", "DV_PathIndex", G(DV_PathIndex), "0"),
      TextOr("General", "TV_Path", G(TV_Path), [](Ctx& c) { return c.g.TVDefaultPath; }),
      Int("General", "TV_PathIndex", G(TV_PathIndex), "0"),
      TextOr("General", "OD_Path", G(OD_Path), [](Ctx& c) { return c.g.ODDefaultPath; }),
      After(Int("General", "OD_PathIndex", G(OD_PathIndex), "0"),
            [](Ctx& c) { c.g.SkinPath = IncludeBackslash(rtl::ExtractFilePath(ExeFolder + "skin/skin.ini")); }),
      WriteOnly(Text("General", "BF_Path", G(BF_Path), "")),
      // "Language" is handled on its own (see ReadLanguageKey).
      // [Device]
      Int("Device", "TVVideoDevice", G(TVVideoDevice), "-1"),
      Int("Device", "DVVideoDevice", G(DVVideoDevice), "-1"),
      Int("Device", "ODVideoDevice", G(ODVideoDevice), "-1"),
      Int("Device", "TVAudioDevice", G(TVAudioDevice), "-1"),
      Int("Device", "DVAudioDevice", G(DVAudioDevice), "-1"),
      Int("Device", "ODAudioDevice", G(ODAudioDevice), "-1"),
      Text("Device", "TVVideoDeviceName", G(TVVideoDeviceName), ""),
      Text("Device", "DVVideoDeviceName", G(DVVideoDeviceName), ""),
      Text("Device", "ODVideoDeviceName", G(ODVideoDeviceName), ""),
      Text("Device", "TVAudioDeviceName", G(TVAudioDeviceName), ""),
      Text("Device", "DVAudioDeviceName", G(DVAudioDeviceName), ""),
      Text("Device", "ODAudioDeviceName", G(ODAudioDeviceName), ""),
      Real("Device", "FrameRate", C(FrameRate), "29.97"),
      Int("Device", "AudioLevel", C(AudioInputLevel), "0"),
      Int("Device", "AudioBalance", C(AudioInputBalance), "0"),
      Ranged("Device", "TVInputType", C(TVInputType), "0", 0, 1, 0),
      Ranged("Device", "TVCountryCode", C(TVCountryCode), "0", 0, INT32_MAX, 0),
      Ranged("Device", "TVChannel", C(TVChannel), "0", 0, INT32_MAX, 0),
      Ranged("Device", "TVFrequency", G(TVFrequency), "0", 0, INT32_MAX, 0),
      Bool("Device", "IsFrequencyOverride", C(TVUseFrequencyOverrides), "0"),
      // [Codec]
      Ranged("Codec", "CodecType", C(RecordingMethod), "0", 1, 1, 0),
      Int("Codec", "VideoCodec", C(VideoCompressor), "0"),
      Int("Codec", "AudioCodec", C(AudioCompressor), "0"),
      Ranged("Codec", "CompressionMode", C(CompressionMode), "2", 0, 2, 2),
      Ranged("Codec", "CompressionType", C(CompressionType), "2", 0, 2, 2),
      // [Shot]
      Text("Shot", "ShotFrame", C(AutoFilePrefix), "File"),
      Int("Shot", "BurstCount", C(BurstCount), "1"),
      WriteOnly(Int("Shot", "BurstInterval", C(BurstInterval), "0")),
      Int("Shot", "AutoShotFrameInterval", G(AutoShotFrameInterval), "60"),
      Bool("Shot", "ShotImageType", G(ShotImageType), "1"),
      Int("Shot", "AutoShotFrameInterval", G(AutoShotFrameInterval), "30"),
      Ranged("Shot", "BitmapFormat", C(FrameGrabberRGBFormat), "0", 0, 5, 0),
      Ranged("Shot", "PictrueSize", C(FrameCaptureZoomSize), "100", 0, 300, 100),
      // [Overlay]
      Lines("Overlay", "OverlayText", C(TextOverlay_String), ""),
      Int("Overlay", "TextLeft", C(TextOverlay_Left), "0"),
      Int("Overlay", "TextTop", C(TextOverlay_Top), "0"),
      Int("Overlay", "TextRight", C(TextOverlay_Right), "100"),
      Bool("Overlay", "TextTransparent", C(TextOverlay_Transparent), "1"),
      Ranged("Overlay", "TextAlign", C(TextOverlay_Align), "0", 0, 2, 0),
      After(Text("Overlay", "BitmapFileName", G(BitmapFileName), ""), LoadOverlayBitmap),
      Int("Overlay", "BitmapOverlayLeft", G(BitmapOverlayLeft), "0"),
      Int("Overlay", "BitmapOverlayTop", G(BitmapOverlayTop), "0"),
      Int("Overlay", "BitmapOverlaySize", G(BitmapOverlaySize), "100"),
      Bool("Overlay", "BitmapOverlayTransparent", G(BitmapOverlayTransparent), "1"),
      // [Effect]
      Ranged("Effect", "Rotation", C(VideoProcessing_Rotation), "0", 0, 7, 0),
      Ranged("Effect", "Deinterlacing", C(VideoProcessing_Deinterlacing), "0", 0, 2, 0),
      Bool("Effect", "FlipVertical", C(VideoProcessing_FlipVertical), "0"),
      Bool("Effect", "FlipHorizontal", C(VideoProcessing_FlipHorizontal), "0"),
      Bool("Effect", "GrayScale", C(VideoProcessing_GrayScale), "0"),
      Bool("Effect", "InvertColors", C(VideoProcessing_InvertColors), "0"),
      Ranged("Effect", "Brightness", C(VideoProcessing_Brightness), "0", -128, 128, 0),
      Ranged("Effect", "Contrast", C(VideoProcessing_Contrast), "0", -128, 128, 0),
      Ranged("Effect", "Saturation", C(VideoProcessing_Saturation), "0", -64, 64, 0),
      Ranged("Effect", "Hue", C(VideoProcessing_Hue), "0", -180, 180, 0),
      // [ASF]
      Int("ASF", "VideoWidth", C(ASFVideoWidth), "-1"),
      Int("ASF", "VideoHeight", C(ASFVideoHeight), "-1"),
      Int("ASF", "VideoBitRate", C(ASFVideoBitRate), "-1"),
      Int("ASF", "VideoQuality", C(ASFVideoQuality), "-1"),
      Int("ASF", "KeyFrame", C(ASFVideoMaxKeyFrameSpacing), "-1"),
      Int("ASF", "AudioChannel", C(ASFAudioChannels), "-1"),
      Int("ASF", "Profile", C(ASFProfile), "-1"),
      Bool("ASF", "FixFrameRate", C(ASFFixedFrameRate), "0"),
      Int("ASF", "DeinterlaceMode", C(ASFDeinterlaceMode), "0"),
      // [Capture]: the capture keys
      Bool("Capture", "EnableAutoShotFrame", G(EnableAutoShotFrame), "0"),
      Bool("Capture", "EnableMonitor", G(EnableMonitor), "0"),
      After(Bool("Capture", "EnableOverlay", G(EnableOverlay), "0"),
            [](Ctx& c) { c.cs.TextOverlay_Enabled = c.g.EnableOverlay; }),
      Bool("Capture", "EnableAudioRecording", C(AudioRecording), "1"),
      After(Bool("Capture", "EnableAudioRendering", C(AudioDeviceRendering), "0"),
            [](Ctx& c) { c.cs.MuteAudioRendering = true; }),
      Bool("Capture", "EnableNativeFormat", C(RecordingInNativeFormat), "1"),
      Int("Capture", "AudioInputLevel", C(AudioInputLevel), "32768"),
      Int("Capture", "AudioInputBalance", C(AudioInputBalance), "0"),
      // [Capture]: the motion alarm, each key defaulting to the field's value
      Int("Capture", "AlarmLine", G(AlarmLine), nullptr),
      Real("Capture", "AlarmDelay", G(AlarmDelay), nullptr),
      Int("Capture", "Sensitivity", G(Sensitivity), nullptr),
      Bool("Capture", "isMotionDetector", G(isMotionDetector), nullptr),
      Bool("Capture", "bSavePicture", G(bSavePicture), nullptr),
      Bool("Capture", "bSendEmail", G(bSendEmail), nullptr),
      Bool("Capture", "bRecordVideo", G(bRecordVideo), nullptr),
      Bool("Capture", "bPlaySound", G(bPlaySound), nullptr),
      Bool("Capture", "bRunProgram", G(bRunProgram), nullptr),
      Bool("Capture", "bFTPUpload", G(bFTPUpload), nullptr),
      Bool("Capture", "bWriteLog", G(bWriteLog), nullptr),
      Text("Capture", "AlarmPictureSavePath", G(AlarmPictureSavePath), nullptr),
      Text("Capture", "AlarmVideoSavePath", G(AlarmVideoSavePath), nullptr),
      Bool("Capture", "SaveEachPicture", G(SaveEachPicture), nullptr),
      Real("Capture", "AlternationSavePicureTime", G(AlternationSavePicureTime), nullptr),
      Int("Capture", "AlarmPictureSaveFormat", G(AlarmPictureSaveFormat), nullptr),
      Text("Capture", "SMTPHost", G(Mail.SMTPHost), nullptr),
      Int("Capture", "SMTPPort", G(Mail.SMTPPort), nullptr),
      Text("Capture", "UserName", G(Mail.UserName), nullptr),
      Text("Capture", "Pasword", G(Mail.Pasword), nullptr),
      Text("Capture", "subject", G(Mail.subject), nullptr),
      Text("Capture", "SendToAddress", G(Mail.SendToAddress), nullptr),
      Lines("Capture", "body", G(Mail.body), nullptr),
      Text("Capture", "SendFromAddress", G(Mail.SendFromAddress), nullptr),
      Text("Capture", "CCAddress", G(Mail.CCAddress), nullptr),
      Text("Capture", "BccAddress", G(Mail.BccAddress), nullptr),
      Bool("Capture", "bSMTPIdentity", G(Mail.bSMTPIdentity), nullptr),
      Bool("Capture", "bDefaultSend", G(bDefaultSend), nullptr),
      Bool("Capture", "bCustomSend", G(bCustomSend), nullptr),
      Int("Capture", "EmaiSendsAlternation", G(EmaiSendsAlternation), nullptr),
      Int("Capture", "EmailSendPictureNum", G(EmailSendPictureNum), nullptr),
      Bool("Capture", "SendPictureOrOnlyHint", G(SendPictureOrOnlyHint), nullptr),
      Text("Capture", "PlaySoundFullFileName", G(PlaySoundFullFileName), nullptr),
      Text("Capture", "RunProgramExeFullFileName", G(RunProgramExeFullFileName), nullptr),
      Bool("Capture", "RunOnce", G(RunOnce), nullptr),
      Text("Capture", "ProgramRunParameter", G(ProgramRunParameter), nullptr),
      Bool("Capture", "MotioningBeginRecord", G(MotioningBeginRecord), nullptr),
      Bool("Capture", "NoMotionStopRecording", G(NoMotionStopRecording), nullptr),
      Int("Capture", "NoMotionDetectionDelayStopTime", G(NoMotionDetectionDelayStopTime), nullptr),
      Int("Capture", "MinFreeSpace", G(MinFreeSpace), nullptr),
      Bool("Capture", "NoEnoughSpcaeStopRecord", G(NoEnoughSpcaeStopRecord), nullptr),
      Text("Capture", "FTPHostAddress", G(Ftp.FTPHostAddress), nullptr),
      Int("Capture", "FTPPort", G(Ftp.FTPPort), nullptr),
      Text("Capture", "FTPUserName", G(Ftp.FTPUserName), nullptr),
      Text("Capture", "FTPPassword", G(Ftp.FTPPassword), nullptr),
      Text("Capture", "FTPFolder", G(Ftp.FTPFolder), nullptr),
      Bool("Capture", "isContinuedUpload", G(isContinuedUpload), nullptr),
      Real("Capture", "FTPIntervalUploadTime", G(FTPIntervalUploadTime), nullptr),
      Bool("Capture", "OnlyUploadPicture", G(OnlyUploadPicture), nullptr),
      Bool("Capture", "SendLog", G(SendLog), nullptr),
  };
  return rows;
}

#undef G
#undef C

// Where "Language" stands: after the album keys of [General].
constexpr size_t kLanguageRowIndex = 8;

const rtl::TFormatSettings& FileNumbers() {
  static const rtl::TFormatSettings fs = [] {
    rtl::TFormatSettings s;
    s.DecimalSeparator = '.';
    return s;
  }();
  return fs;
}

bool ParseReal(const String& text, double& value) {
  String t = rtl::Trim(text);
  if (t.empty()) return false;
  if (rtl::TryStrToFloat(t, value, FileNumbers())) return true;
  // Files written where "," is the decimal separator.
  return rtl::TryStrToFloat(rtl::ReplaceStr(t, ",", "."), value, FileNumbers());
}

String RealText(double value) { return rtl::FloatToStr(value, FileNumbers()); }

// A text that reads back as written: a line break would end the value, and
// blanks at either end or enclosing quotes would be stripped on reading.
String ProfileText(const String& value) {
  String v;
  v.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char ch = value[i];
    if (ch == '\r' || ch == '\n') {
      if (ch == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
      v += ' ';
    } else {
      v += ch;
    }
  }
  if (v.empty()) return v;
  auto quote = [](char q) { return q == '"' || q == '\''; };
  bool blankEnds = static_cast<unsigned char>(v.front()) <= ' ' || static_cast<unsigned char>(v.back()) <= ' ';
  bool quoted = v.size() >= 2 && quote(v.front()) && v.back() == v.front();
  return blankEnds || quoted ? '"' + v + '"' : v;
}

void ReadRow(const Row& r, Ctx& c, const rtl::TCustomIniFile& ini) {
  void* p = r.field(c);
  switch (r.kind) {
    case Kind::Int: {
      auto& v = *static_cast<int32_t*>(p);
      int32_t def = r.def ? rtl::StrToInt(r.def) : v;
      v = ini.ReadInteger(r.section, r.key, def);
      if (v < r.lo || v > r.hi) v = r.fallback;
      break;
    }
    case Kind::Bool: {
      auto& v = *static_cast<bool*>(p);
      bool def = r.def ? rtl::StrToInt(r.def) != 0 : v;
      v = ini.ReadBool(r.section, r.key, def);
      break;
    }
    case Kind::Real: {
      auto& v = *static_cast<double*>(p);
      double def = v;
      if (r.def) ParseReal(r.def, def);
      double read = 0;
      v = ParseReal(ini.ReadString(r.section, r.key, String()), read) ? read : def;
      break;
    }
    case Kind::Text:
    case Kind::Lines: {
      auto& v = *static_cast<String*>(p);
      String def = r.dynamicDefault ? r.dynamicDefault(c) : r.def ? String(r.def) : v;
      if (!ini.ValueExists(r.section, r.key)) {
        v = def;
      } else {
        String text = ini.ReadString(r.section, r.key, String());
        v = r.kind == Kind::Lines ? DecodeLines(text) : text;
      }
      break;
    }
  }
}

void WriteRow(const Row& r, Ctx& c, rtl::TCustomIniFile& ini) {
  void* p = r.field(c);
  switch (r.kind) {
    case Kind::Int:
      ini.WriteString(r.section, r.key, rtl::IntToStr(*static_cast<int32_t*>(p)));
      break;
    case Kind::Bool:
      ini.WriteString(r.section, r.key, *static_cast<bool*>(p) ? "1" : "0");
      break;
    case Kind::Real:
      ini.WriteString(r.section, r.key, RealText(*static_cast<double*>(p)));
      break;
    case Kind::Text:
      ini.WriteString(r.section, r.key, ProfileText(*static_cast<String*>(p)));
      break;
    case Kind::Lines:
      ini.WriteString(r.section, r.key, EncodeLines(*static_cast<String*>(p)));
      break;
  }
}

void ReadLanguageKey(const rtl::TCustomIniFile& ini, TGlobalVarsFields& g) {
  String langFolder = IncludeBackslash(ExeFolder + "Lang/");
  String name = ini.ReadString("General", "Language", LanguageFileName);
  LanguageFileName = name;
  g.LanguageFile = langFolder + name;
  CurrentLanguagePath = g.LanguageFile;
}

}  // namespace

namespace {

// The characters a multi-line value writes as "#" + two digits: always the
// line breaks, tabs and "#" itself; blanks and quotes only at either end,
// where reading would strip them.
bool CodedAnywhere(char ch) { return ch == '\r' || ch == '\n' || ch == '\t' || ch == '#'; }
bool CodedAtEnds(char ch) { return ch == ' ' || ch == '"' || ch == '\''; }

}  // namespace

String EncodeLines(const String& value) {
  String out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char ch = value[i];
    bool atEnd = i == 0 || i + 1 == value.size();
    if (CodedAnywhere(ch) || (atEnd && CodedAtEnds(ch)))
      out += rtl::Format("#%.2d", {int(static_cast<unsigned char>(ch))});
    else
      out += ch;
  }
  return out;
}

String DecodeLines(const String& text) {
  String out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '#' && i + 2 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isdigit(static_cast<unsigned char>(text[i + 2]))) {
      char ch = static_cast<char>((text[i + 1] - '0') * 10 + (text[i + 2] - '0'));
      if (CodedAnywhere(ch) || CodedAtEnds(ch)) {
        out += ch;
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

String SettingsFileName() { return IncludeBackslash(ExeFolder) + "Capture.ini"; }

bool LoadSettings(TGlobalVarsFields& g, TCaptureSettings& cs) {
  const String fileName = SettingsFileName();
  if (!rtl::FileExists(fileName)) {
    SaveSettings(g, cs);
    return true;
  }
  try {
    rtl::TIniFile ini(fileName);
    Ctx c{g, cs};
    const auto& rows = Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      if (i == kLanguageRowIndex) {
        try {
          ReadLanguageKey(ini, g);
        } catch (const std::exception&) {
        }
      }
      const Row& r = rows[i];
      if (!r.read) continue;
      try {
        ReadRow(r, c, ini);
        if (r.after) r.after(c);
      } catch (const std::exception&) {
        // This key keeps its default; the others are still read.
      }
    }
  } catch (const std::exception&) {
  }
  return true;
}

bool SaveSettings(const TGlobalVarsFields& g, const TCaptureSettings& cs, String* reason) {
  try {
    // The rows hand out writable fields; writing only reads them.
    Ctx c{const_cast<TGlobalVarsFields&>(g), const_cast<TCaptureSettings&>(cs)};
    rtl::TMemIniFile ini(SettingsFileName(), kFileMode);
    const auto& rows = Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      if (i == kLanguageRowIndex) ini.WriteString("General", "Language", rtl::ExtractFileName(g.LanguageFile));
      if (rows[i].write) WriteRow(rows[i], c, ini);
    }
    errno = 0;
    ini.UpdateFile();
    return true;
  } catch (const std::exception& e) {
    // The file stays as it was: it is replaced whole or not at all.
    const int err = errno;
    if (reason) *reason = err ? String(std::strerror(err)) : String(e.what());
    return false;
  }
}

bool SettingsWritable(String* reason) {
  const String fileName = SettingsFileName();
  struct stat st {};
  int err = 0;
  if (::stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    err = EISDIR;
  } else {
    // The file is replaced through a new file beside it, so the folder
    // must take one.
    String probe = rtl::ExtractFilePath(fileName) + ".Capture.ini.probe.XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
      err = errno;
    } else {
      ::close(fd);
      ::unlink(probe.c_str());
    }
  }
  if (err == 0) return true;
  if (reason) *reason = std::strerror(err);
  return false;
}

void WriteLanguageChoice(const String& fileName) {
  try {
    rtl::TIniFile ini(SettingsFileName(), kFileMode);
    ini.WriteString("General", "Language", fileName);
  } catch (const std::exception&) {
  }
}

}  // namespace app
