#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

#include "app/DataFolders.h"
#include "app/SettingsStore.h"
#include "app/tests/AppTestUtil.h"
#include "platform/forms/Graphics.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/tests/PythonRunner.h"

using namespace app;
using apptest::AppTest;

namespace {

class SettingsTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    SetDefaultSettings(g);
  }

  String IniPath() const { return SettingsFileName(); }
  std::string FileText() const { return apptest::ReadFile(IniPath()); }
  void WriteIni(const std::string& text) { apptest::WriteFile(IniPath(), text); }
  void Load() { LoadSettings(static_cast<TGlobalVarsFields&>(g), cs); }
  void Save() { SaveSettings(static_cast<const TGlobalVarsFields&>(g), cs); }

  // The "Key=" lines of a written file, in order.
  std::vector<std::string> KeyLines() const {
    std::vector<std::string> out;
    std::stringstream ss(FileText());
    for (std::string line; std::getline(ss, line);)
      if (!line.empty() && line[0] != '[') out.push_back(line.substr(0, line.find('=')));
    return out;
  }

  TGlobalVars g;
  TCaptureSettings cs;
};

// ------------------------------------------------------------- defaults

TEST_F(SettingsTest, DefaultsOfTheRecord) {
  const String root = exe_;  // no user folders declared
  struct Case {
    const char* field;
    std::function<std::string()> actual;
    std::string expected;
  } cases[] = {
      {"Mode", [&] { return std::to_string(g.Mode); }, "0"},
      {"device indexes",
       [&] {
         return rtl::Format("%d %d %d %d %d %d", {g.DVVideoDevice, g.TVVideoDevice, g.ODVideoDevice, g.DVAudioDevice,
                                                  g.TVAudioDevice, g.ODAudioDevice});
       },
       "-1 -1 -1 -1 -1 -1"},
      {"device names", [&] { return g.DVVideoDeviceName + g.TVAudioDeviceName + g.ODVideoDeviceNames; }, ""},
      {"ShotImageType", [&] { return std::to_string(g.ShotImageType); }, "1"},
      {"AutoShotFrameInterval", [&] { return std::to_string(g.AutoShotFrameInterval); }, "60"},
      {"OverlayBitmap", [&] { return std::string(g.OverlayBitmap ? "set" : "nil"); }, "nil"},
      {"bitmap overlay",
       [&] {
         return rtl::Format("%s %d %d %d %d", {g.BitmapFileName, g.BitmapOverlayLeft, g.BitmapOverlayTop,
                                               g.BitmapOverlaySize, int(g.BitmapOverlayTransparent)});
       },
       " 0 0 100 1"},
      {"capture switches",
       [&] {
         return rtl::Format("%d%d%d", {int(g.EnableAutoShotFrame), int(g.EnableMonitor), int(g.EnableOverlay)});
       },
       "000"},
      {"filters",
       [&] {
         return rtl::Format("%d%d%d%d", {g.DVFilter, g.TVFilter, g.ODFilter, g.BFFilter});
       },
       "3333"},
      {"StoragePath", [&] { return g.StoragePath; }, root},
      {"DVRootPath", [&] { return g.DVRootPath; }, root + "DV/"},
      {"TVDefaultPath", [&] { return g.TVDefaultPath; }, root + "TV/Default/"},
      {"ODDefaultPath", [&] { return g.ODDefaultPath; }, root + "OtherDevices/Default/"},
      {"BF folders", [&] { return g.BFRootPath + g.BFDefaultPath + g.BF_Path; }, ""},
      {"current albums", [&] { return g.DV_Path + g.TV_Path + g.OD_Path; }, ""},
      {"album indexes",
       [&] {
         return rtl::Format("%d%d%d%d", {g.DV_PathIndex, g.TV_PathIndex, g.OD_PathIndex, g.BF_PathIndex});
       },
       "0000"},
      {"TVFrequency", [&] { return std::to_string(g.TVFrequency); }, "0"},
      {"SkinPath", [&] { return g.SkinPath + "|" + SkinFolder; }, exe_ + "skin/|" + exe_ + "skin/"},
      {"LanguageFile", [&] { return g.LanguageFile; }, exe_ + "Lang/english.ini"},
      {"AlarmLine", [&] { return std::to_string(g.AlarmLine); }, "300"},
      {"AlarmDelay", [&] { return rtl::FloatToStr(g.AlarmDelay); }, "1"},
      {"Sensitivity", [&] { return std::to_string(g.Sensitivity); }, "9"},
      {"MotionRatio", [&] { return rtl::FloatToStr(g.MotionRatio); }, "0"},
      {"motion flags",
       [&] {
         return rtl::Format("%d%d", {int(g.isMotionDetector), int(g.FirstMotion)});
       },
       "01"},
      {"alarm actions",
       [&] {
         return rtl::Format("%d%d%d%d%d%d%d",
                            {int(g.bSavePicture), int(g.bSendEmail), int(g.bRecordVideo), int(g.bPlaySound),
                             int(g.bRunProgram), int(g.bFTPUpload), int(g.bWriteLog)});
       },
       "1000000"},
      {"today's folders", [&] { return g.TodayAlarmPicturePath + g.TodayAlarmVideoPath; }, ""},
      {"AlarmPictureSavePath", [&] { return g.AlarmPictureSavePath; }, root + "AlarmImags/"},
      {"AlarmVideoSavePath", [&] { return g.AlarmVideoSavePath; }, root + "AlarmVideos/"},
      {"picture pacing",
       [&] {
         return rtl::Format("%d%d %s %d", {int(g.SaveEachPicture), int(g.SavePictureDue),
                                           rtl::FloatToStr(g.AlternationSavePicureTime), g.AlarmPictureSaveFormat});
       },
       "00 2 1"},
      {"send ways",
       [&] {
         return rtl::Format("%d%d", {int(g.bDefaultSend), int(g.bCustomSend)});
       },
       "10"},
      {"mail",
       [&] {
         return rtl::Format(
             "%s|%s|%s|%d|%s%s%s%s%s|%d",
             {g.Mail.SendToAddress, g.Mail.subject, g.Mail.body, g.Mail.SMTPPort, g.Mail.SendFromAddress,
              g.Mail.CCAddress, g.Mail.BccAddress, g.Mail.UserName, g.Mail.Pasword, int(g.Mail.bSMTPIdentity)});
       },
       "|Alarm|then alarm is touch off !|25||1"},
      {"SMTPHost", [&] { return std::string(g.Mail.SMTPHost.empty() ? "" : "set"); }, "set"},
      {"mail pacing",
       [&] {
         return rtl::Format("%d %d %d %d", {g.EmaiSendsAlternation, g.EmailSendPictureNum, int(g.SendPictureOrOnlyHint),
                                            int(g.MailIdle)});
       },
       "50 5 1 1"},
      {"queues",
       [&] {
         return rtl::Format("%d%d%d",
                            {g.MailQueue ? g.MailQueue->Count() : -1, g.AlarmTimes ? g.AlarmTimes->Count() : -1,
                             g.UploadQueue ? g.UploadQueue->Count() : -1});
       },
       "000"},
      {"sound", [&] { return g.PlaySoundFullFileName; }, exe_ + "AlarmSound/AlarmSound.wav"},
      {"program",
       [&] {
         return rtl::Format("%s|%d|%s", {g.RunProgramExeFullFileName, int(g.RunOnce), g.ProgramRunParameter});
       },
       "|1|"},
      {"FreeSpaceMB", [&] { return std::to_string(g.FreeSpaceMB); }, "0"},
      {"recording",
       [&] {
         return rtl::Format("%d%d %d %d %d %d",
                            {int(g.MotioningBeginRecord), int(g.AlarmRecording), g.NoMotionDetectionDelayStopTime,
                             int(g.NoMotionStopRecording), g.MinFreeSpace, int(g.NoEnoughSpcaeStopRecord)});
       },
       "10 5 1 500 1"},
      {"ftp",
       [&] {
         return rtl::Format("%s|%d|%s|%s|%s", {g.Ftp.FTPHostAddress, g.Ftp.FTPPort, g.Ftp.FTPUserName,
                                               g.Ftp.FTPPassword, g.Ftp.FTPFolder});
       },
       "127.0.0.1|21|Name||AlarmPicture"},
      {"upload",
       [&] {
         return rtl::Format("%d %s %d %d", {int(g.isContinuedUpload), rtl::FloatToStr(g.FTPIntervalUploadTime),
                                            int(g.OnlyUploadPicture), int(g.UploadBusy)});
       },
       "1 3 1 0"},
      {"texts", [&] { return g.FtpCurrentFolder + g.FtpStatusText + g.FtpSpeedText + g.HintText + g.MailLogText; }, ""},
      {"log",
       [&] {
         return rtl::Format("%s|%s|%d", {g.LogPath, g.LogFileName, int(g.SendLog)});
       },
       exe_ + "Log/|AlarmLogFile.txt|0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual(), c.expected) << c.field;
}

TEST_F(SettingsTest, DefaultsStartOverAndMailBodyStaysEnglish) {
  g.AlarmLine = 5;
  g.MailQueue->Add("x.jpg");
  g.Mail.body = "changed";
  IDS_MOTIONDETECTION_BODY = "Alarm ausgeloest";
  SetDefaultSettings(g);
  EXPECT_EQ(g.AlarmLine, 300);
  EXPECT_EQ(g.MailQueue->Count(), 0);
  EXPECT_EQ(g.Mail.body, "then alarm is touch off !");
}

TEST_F(SettingsTest, TheDefaultAlarmSoundIsTheFileTheProgramShips) {
  // The program's folder as the build lays it out: assets/ copied beside it.
  InitDataPaths(std::string(VORIX_SOURCE_DIR) + "/assets/");
  SetDefaultSettings(g);
  EXPECT_TRUE(std::filesystem::is_regular_file(g.PlaySoundFullFileName)) << g.PlaySoundFullFileName;
}

TEST_F(SettingsTest, DefaultsOfTheCaptureSettings) {
  TCaptureSettings d;
  EXPECT_DOUBLE_EQ(d.FrameRate, 29.97);
  EXPECT_EQ(rtl::Format("%d %d %d %d %d",
                        {d.AudioInputLevel, d.AudioInputBalance, d.TVInputType, d.TVCountryCode, d.TVChannel}),
            "32768 0 0 0 0");
  EXPECT_EQ(rtl::Format("%d %d %d %d %d", {d.RecordingMethod, d.VideoCompressor, d.AudioCompressor, d.CompressionMode,
                                           d.CompressionType}),
            "0 0 0 2 2");
  EXPECT_EQ(rtl::Format("%s %d %d %d %d", {d.AutoFilePrefix, d.BurstCount, d.BurstInterval, d.FrameGrabberRGBFormat,
                                           d.FrameCaptureZoomSize}),
            "File 1 0 0 100");
  EXPECT_EQ(rtl::Format("%d[%s] %d %d %d %d %d",
                        {int(d.TextOverlay_Enabled), d.TextOverlay_String, d.TextOverlay_Left, d.TextOverlay_Top,
                         d.TextOverlay_Right, int(d.TextOverlay_Transparent), d.TextOverlay_Align}),
            "0[] 0 0 100 1 0");
  EXPECT_EQ(
      rtl::Format("%d %d %d%d%d%d %d %d %d %d",
                  {d.VideoProcessing_Rotation, d.VideoProcessing_Deinterlacing, int(d.VideoProcessing_FlipVertical),
                   int(d.VideoProcessing_FlipHorizontal), int(d.VideoProcessing_GrayScale),
                   int(d.VideoProcessing_InvertColors), d.VideoProcessing_Brightness, d.VideoProcessing_Contrast,
                   d.VideoProcessing_Saturation, d.VideoProcessing_Hue}),
      "0 0 0000 0 0 0 0");
  EXPECT_EQ(
      rtl::Format("%d %d %d %d %d %d %d %d %d", {d.ASFVideoWidth, d.ASFVideoHeight, d.ASFVideoBitRate,
                                                 d.ASFVideoQuality, d.ASFVideoMaxKeyFrameSpacing, d.ASFAudioChannels,
                                                 d.ASFProfile, int(d.ASFFixedFrameRate), d.ASFDeinterlaceMode}),
      "-1 -1 -1 -1 -1 -1 -1 0 0");
  EXPECT_EQ(rtl::Format("%d%d%d%d%d", {int(d.AudioRecording), int(d.AudioDeviceRendering), int(d.MuteAudioRendering),
                                       int(d.RecordingInNativeFormat), int(d.TVUseFrequencyOverrides)}),
            "10110");
}

// ------------------------------------------------------- the whole file

TEST_F(SettingsTest, MissingFileIsWrittenCompleteFromTheDefaultsWithOwnerOnlyMode) {
  ASSERT_FALSE(std::filesystem::exists(IniPath()));
  g.AutoShotFrameInterval = 45;  // whatever the record holds is what is written
  Load();
  ASSERT_TRUE(std::filesystem::exists(IniPath()));
  EXPECT_EQ(g.AutoShotFrameInterval, 45) << "a missing file is written, not read";
  struct stat st {};
  ASSERT_EQ(stat(IniPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  rtl::TMemIniFile ini(IniPath());
  rtl::TStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections.Text(), "General\nDevice\nCodec\nShot\nOverlay\nEffect\nASF\nCapture\n");
  auto keys = KeyLines();
  std::set<std::string> unique(keys.begin(), keys.end());
  EXPECT_EQ(unique.size(), keys.size()) << "the key written twice stands once";
  for (const char* key : {"StoragePath", "Language", "ODAudioDeviceName", "FrameRate", "IsFrequencyOverride",
                          "CompressionType", "PictrueSize", "BitmapOverlayTransparent", "Hue", "DeinterlaceMode",
                          "AudioInputBalance", "Pasword", "FTPPassword", "SendLog", "BurstInterval", "BF_Path"})
    EXPECT_TRUE(unique.count(key)) << key;
  EXPECT_EQ(ini.ReadString("General", "DV_Path", "?"), "") << "the album keys stand empty";
  EXPECT_EQ(ini.ReadString("General", "Language", "?"), "english.ini");
  EXPECT_EQ(ini.ReadString("Shot", "AutoShotFrameInterval", "?"), "45");
}

TEST_F(SettingsTest, GoldenFile) {
  // Fixed values where the defaults depend on the machine.
  g.Mail.SMTPHost = "smtp.example.org";
  Save();
  const std::string goldenPath = std::string(VORIX_TEST_DATA) + "/Capture.golden.ini";
  // VORIX_UPDATE_ASSETS=1 writes the golden file from this run.
  if (const char* update = std::getenv("VORIX_UPDATE_ASSETS"); update && std::string(update) == "1")
    apptest::WriteFile(goldenPath, rtl::ReplaceStr(FileText(), exe_, "@EXE@"));
  std::string golden = apptest::ReadFile(goldenPath);
  golden = rtl::ReplaceStr(golden, "@EXE@", exe_);
  EXPECT_EQ(FileText(), golden);
}

TEST_F(SettingsTest, EveryValueReadsBackAsSaved) {
  g.StoragePath = root_ + "/media/";
  g.DV_Path = g.StoragePath + "DV/Trip/";
  g.TV_PathIndex = 4;
  g.ODAudioDevice = 2;
  g.ODVideoDeviceName = "USB Camera (046d:0825)";
  g.TVFrequency = 479250000;
  g.AutoShotFrameInterval = 12;
  g.ShotImageType = false;
  g.BitmapOverlaySize = 250;
  g.AlarmDelay = 0.25;
  g.AlternationSavePicureTime = 1e-3;
  g.FTPIntervalUploadTime = 12345.5;
  g.Mail.Pasword = " p=a;s#s \"";
  g.Ftp.FTPPassword = "'quoted'";
  g.Mail.subject = "  padded  ";
  g.Mail.body = "line 1\r\nline 2\n\ttabbed #3\r";
  g.RunProgramExeFullFileName = "/usr/bin/notify send";
  g.bFTPUpload = true;
  g.MinFreeSpace = 0;
  cs.FrameRate = 25;
  cs.TextOverlay_String = "Camera #1\r\n%date%";
  cs.AutoFilePrefix = "Snap";
  cs.CompressionMode = 1;
  cs.ASFProfile = 7;
  cs.VideoProcessing_Hue = -180;
  Save();

  TGlobalVars h;
  SetDefaultSettings(h);
  TCaptureSettings ds;
  LoadSettings(static_cast<TGlobalVarsFields&>(h), ds);
  EXPECT_EQ(h.StoragePath, g.StoragePath);
  EXPECT_EQ(h.DVRootPath, g.StoragePath + "DV/") << "roots follow the stored root";
  EXPECT_EQ(h.DV_Path, g.DV_Path);
  EXPECT_EQ(h.TV_Path, "") << "an empty album key reads as empty";
  EXPECT_EQ(h.TV_PathIndex, 4);
  EXPECT_EQ(h.ODAudioDevice, 2);
  EXPECT_EQ(h.ODVideoDeviceName, g.ODVideoDeviceName);
  EXPECT_EQ(h.TVFrequency, 479250000);
  EXPECT_EQ(h.AutoShotFrameInterval, 12);
  EXPECT_FALSE(h.ShotImageType);
  EXPECT_EQ(h.BitmapOverlaySize, 250);
  EXPECT_EQ(h.AlarmDelay, 0.25);
  EXPECT_EQ(h.AlternationSavePicureTime, 1e-3);
  EXPECT_EQ(h.FTPIntervalUploadTime, 12345.5);
  EXPECT_EQ(h.Mail.Pasword, g.Mail.Pasword);
  EXPECT_EQ(h.Ftp.FTPPassword, g.Ftp.FTPPassword);
  EXPECT_EQ(h.Mail.subject, g.Mail.subject);
  EXPECT_EQ(h.Mail.body, g.Mail.body);
  EXPECT_EQ(h.RunProgramExeFullFileName, g.RunProgramExeFullFileName);
  EXPECT_TRUE(h.bFTPUpload);
  EXPECT_EQ(h.MinFreeSpace, 0);
  EXPECT_EQ(ds.FrameRate, 25);
  EXPECT_EQ(ds.TextOverlay_String, cs.TextOverlay_String);
  EXPECT_EQ(ds.AutoFilePrefix, "Snap");
  EXPECT_EQ(ds.CompressionMode, 1);
  EXPECT_EQ(ds.ASFProfile, 7);
  EXPECT_EQ(ds.VideoProcessing_Hue, -180);
}

// ------------------------------------------------------- checks on read

TEST_F(SettingsTest, ReadChecksFallBack) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    std::function<int32_t()> actual;
    int32_t expected;
  } cases[] = {
      {"Device", "TVInputType", "5", [&] { return cs.TVInputType; }, 0},
      {"Device", "TVInputType", "1", [&] { return cs.TVInputType; }, 1},
      {"Device", "TVInputType", "-1", [&] { return cs.TVInputType; }, 0},
      {"Device", "TVCountryCode", "-3", [&] { return cs.TVCountryCode; }, 0},
      {"Device", "TVCountryCode", "86", [&] { return cs.TVCountryCode; }, 86},
      {"Device", "TVChannel", "-1", [&] { return cs.TVChannel; }, 0},
      {"Device", "TVFrequency", "-5", [&] { return g.TVFrequency; }, 0},
      {"Device", "TVFrequency", "0x10", [&] { return g.TVFrequency; }, 16},
      {"Codec", "CodecType", "2", [&] { return cs.RecordingMethod; }, 0},
      {"Codec", "CodecType", "1", [&] { return cs.RecordingMethod; }, 1},
      {"Codec", "CompressionMode", "3", [&] { return cs.CompressionMode; }, 2},
      {"Codec", "CompressionMode", "0", [&] { return cs.CompressionMode; }, 0},
      {"Codec", "CompressionType", "-1", [&] { return cs.CompressionType; }, 2},
      {"Shot", "BitmapFormat", "6", [&] { return cs.FrameGrabberRGBFormat; }, 0},
      {"Shot", "BitmapFormat", "5", [&] { return cs.FrameGrabberRGBFormat; }, 5},
      {"Shot", "PictrueSize", "301", [&] { return cs.FrameCaptureZoomSize; }, 100},
      {"Shot", "PictrueSize", "0", [&] { return cs.FrameCaptureZoomSize; }, 0},
      {"Shot", "PictrueSize", "300", [&] { return cs.FrameCaptureZoomSize; }, 300},
      {"Shot", "ShotImageType", "0", [&] { return int32_t(g.ShotImageType); }, 0},
      {"Shot", "ShotImageType", "7", [&] { return int32_t(g.ShotImageType); }, 1},
      {"Shot", "ShotImageType", "yes", [&] { return int32_t(g.ShotImageType); }, 1},
      {"Overlay", "TextAlign", "3", [&] { return cs.TextOverlay_Align; }, 0},
      {"Overlay", "TextAlign", "2", [&] { return cs.TextOverlay_Align; }, 2},
      {"Effect", "Rotation", "8", [&] { return cs.VideoProcessing_Rotation; }, 0},
      {"Effect", "Rotation", "7", [&] { return cs.VideoProcessing_Rotation; }, 7},
      {"Effect", "Deinterlacing", "3", [&] { return cs.VideoProcessing_Deinterlacing; }, 0},
      {"Effect", "Brightness", "129", [&] { return cs.VideoProcessing_Brightness; }, 0},
      {"Effect", "Brightness", "-128", [&] { return cs.VideoProcessing_Brightness; }, -128},
      {"Effect", "Contrast", "-129", [&] { return cs.VideoProcessing_Contrast; }, 0},
      {"Effect", "Saturation", "65", [&] { return cs.VideoProcessing_Saturation; }, 0},
      {"Effect", "Saturation", "-64", [&] { return cs.VideoProcessing_Saturation; }, -64},
      {"Effect", "Hue", "-181", [&] { return cs.VideoProcessing_Hue; }, 0},
      {"Effect", "Hue", "180", [&] { return cs.VideoProcessing_Hue; }, 180},
      // Keys without a check pass any value on.
      {"Shot", "BurstCount", "-9", [&] { return cs.BurstCount; }, -9},
      {"ASF", "AudioChannel", "3", [&] { return cs.ASFAudioChannels; }, 3},
      {"Capture", "AudioInputLevel", "99999", [&] { return cs.AudioInputLevel; }, 99999},
      {"Capture", "AlarmLine", "5000", [&] { return g.AlarmLine; }, 5000},
      // Not a number: the key's default.
      {"Device", "TVChannel", "abc", [&] { return cs.TVChannel; }, 0},
      {"Capture", "Sensitivity", "high", [&] { return g.Sensitivity; }, 9},
      {"Capture", "MinFreeSpace", "$20", [&] { return g.MinFreeSpace; }, 32},
  };
  for (const auto& c : cases) {
    SetDefaultSettings(g);
    cs = TCaptureSettings{};
    WriteIni(std::string("[") + c.section + "]\n" + c.key + "=" + c.value + "\n");
    Load();
    EXPECT_EQ(c.actual(), c.expected) << c.section << "/" << c.key << "=" << c.value;
  }
}

TEST_F(SettingsTest, ReadDefaultsOfMissingKeys) {
  WriteIni("[Shot]\nShotImageType=0\n[Device]\nAudioLevel=1000\n[Capture]\nAudioInputLevel=2000\n");
  g.AlarmLine = 444;  // the alarm keys default to what the record holds
  Load();
  EXPECT_EQ(g.AutoShotFrameInterval, 30) << "the second read of the interval decides";
  EXPECT_EQ(cs.AudioInputLevel, 2000) << "[Capture] decides over [Device]";
  EXPECT_EQ(g.AlarmLine, 444);
  EXPECT_EQ(g.StoragePath, exe_) << "no StoragePath: the program's folder";
  EXPECT_EQ(g.DVRootPath, exe_ + "DV/");
  EXPECT_EQ(g.DV_Path, exe_ + "DV/Default/") << "a missing album key gives the Default album";
  EXPECT_EQ(g.SkinPath, exe_ + "skin/");
  EXPECT_EQ(LanguageFileName, "english.ini");
  EXPECT_EQ(CurrentLanguagePath, exe_ + "Lang/english.ini");

  WriteIni("[Device]\nAudioLevel=1000\n");
  Load();
  EXPECT_EQ(cs.AudioInputLevel, 32768) << "a missing [Capture] level gives its own default";
}

TEST_F(SettingsTest, ValuesReadWithTheirSideEffects) {
  WriteIni(
      "[General]\nLanguage=deutsch.ini\n"
      "[Shot]\nShotFrame=\n"
      "[Capture]\nEnableOverlay=1\nEnableAudioRendering=1\n");
  cs.MuteAudioRendering = false;
  Load();
  EXPECT_EQ(LanguageFileName, "deutsch.ini");
  EXPECT_EQ(g.LanguageFile, exe_ + "Lang/deutsch.ini");
  EXPECT_EQ(CurrentLanguagePath, g.LanguageFile);
  EXPECT_EQ(cs.AutoFilePrefix, "") << "a key present but empty reads as empty";
  EXPECT_TRUE(g.EnableOverlay);
  EXPECT_TRUE(cs.TextOverlay_Enabled) << "the overlay switch also goes to the text overlay";
  EXPECT_TRUE(cs.AudioDeviceRendering);
  EXPECT_TRUE(cs.MuteAudioRendering);
}

// ---------------------------------------------------------------- mends

TEST_F(SettingsTest, MultiLineValuesStayOnOneLineAndReadBackWhole) {
  const String body = "Alarm!\r\nbSendEmail=1\r\n[General]\nStoragePath=/tmp/evil/\n#13 literal\r\n  ";
  g.Mail.body = body;
  g.bSendEmail = false;
  cs.TextOverlay_String = "Cam\nbody=overwritten";
  Save();

  std::stringstream lines(FileText());
  int headers = 0;
  for (std::string line; std::getline(lines, line);) headers += !line.empty() && line[0] == '[';
  EXPECT_EQ(headers, 8) << "no section header came from a value";
  auto keys = KeyLines();
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "bSendEmail"), 1);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "StoragePath"), 1);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "body"), 1);

  TGlobalVars h;
  SetDefaultSettings(h);
  TCaptureSettings ds;
  LoadSettings(static_cast<TGlobalVarsFields&>(h), ds);
  EXPECT_EQ(h.Mail.body, body);
  EXPECT_FALSE(h.bSendEmail);
  EXPECT_EQ(h.StoragePath, g.StoragePath);
  EXPECT_EQ(ds.TextOverlay_String, cs.TextOverlay_String);

  // Other texts cannot break their line either.
  g.Mail.subject = "one\r\nbSendEmail=1";
  Save();
  keys = KeyLines();
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "bSendEmail"), 1);
}

TEST(SettingsLineCoding, EncodeAndDecode) {
  struct Case {
    const char* value;
    const char* file;
  } cases[] = {
      {"plain text", "plain text"},
      {"a\r\nb", "a#13#10b"},
      {"#1 and #13", "#351 and #3513"},
      {" both ends ", "#32both ends#32"},
      {"\"quoted\"", "#34quoted#34"},
      {"tab\there", "tab#09here"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeLines(c.value), c.file) << c.value;
    EXPECT_EQ(DecodeLines(c.file), c.value) << c.file;
  }
  // Text written by hand keeps a "#" that codes nothing.
  EXPECT_EQ(DecodeLines("Room #5, #AB, #"), "Room #5, #AB, #");
}

TEST_F(SettingsTest, ValueThatFailsToLoadIsSkippedAndReadingGoesOn) {
  const String bmp = root_ + "/overlay.bmp";
  apptest::WriteFile(bmp, "BM this is not a bitmap at all");
  WriteIni("[Overlay]\nBitmapFileName=" + bmp +
           "\nBitmapOverlaySize=55\n[Effect]\nHue=10\n[Capture]\nSMTPHost=mail.example.org\nbFTPUpload=1\n");
  Load();
  EXPECT_EQ(g.OverlayBitmap, nullptr);
  EXPECT_EQ(g.BitmapFileName, bmp) << "the name stays for the user to see";
  EXPECT_EQ(g.BitmapOverlaySize, 55);
  EXPECT_EQ(cs.VideoProcessing_Hue, 10);
  EXPECT_EQ(g.Mail.SMTPHost, "mail.example.org");
  EXPECT_TRUE(g.bFTPUpload);
}

TEST_F(SettingsTest, OverlayPictureLoadsWhenItExists) {
  const String bmp = root_ + "/logo.bmp";
  ASSERT_EQ(std::system(("convert -size 6x4 xc:red bmp3:" + bmp).c_str()), 0);
  WriteIni("[Overlay]\nBitmapFileName=" + bmp + "\n");
  Load();
  ASSERT_NE(g.OverlayBitmap, nullptr);
  EXPECT_EQ(g.OverlayBitmap->Width(), 6);
  EXPECT_EQ(g.OverlayBitmap->Height(), 4);

  WriteIni("[Overlay]\nBitmapFileName=" + root_ + "/gone.bmp\n");
  Load();
  EXPECT_EQ(g.OverlayBitmap, nullptr);
}

TEST_F(SettingsTest, RealsUseAPointWhateverTheFormatSettings) {
  rtl::TFormatSettings saved = rtl::FormatSettings();
  rtl::FormatSettings().DecimalSeparator = ',';
  g.AlarmDelay = 2.5;
  cs.FrameRate = 29.97;
  Save();
  rtl::TMemIniFile ini(IniPath());
  EXPECT_EQ(ini.ReadString("Capture", "AlarmDelay", ""), "2.5");
  EXPECT_EQ(ini.ReadString("Device", "FrameRate", ""), "29.97");

  struct Case {
    const char* text;
    double expected;
  } cases[] = {{"1.5", 1.5}, {"1,5", 1.5}, {" 3 ", 3}, {"", 1.0}, {"fast", 1.0}, {"1.5s", 1.0}};
  for (const auto& c : cases) {
    g.AlarmDelay = 1.0;
    WriteIni(std::string("[Capture]\nAlarmDelay=") + c.text + "\n");
    Load();
    EXPECT_EQ(g.AlarmDelay, c.expected) << c.text;
  }
  rtl::FormatSettings() = saved;
}

TEST_F(SettingsTest, SavingReplacesTheWholeFileAndKeepsForeignLines) {
  WriteIni("; kept comment\n[General]\nStoragePath=/old/\nUnknownKey=kept\n[Mine]\nx=1\n");
  chmod(IniPath().c_str(), 0644);
  Save();
  std::string text = FileText();
  EXPECT_NE(text.find("; kept comment"), std::string::npos);
  EXPECT_NE(text.find("UnknownKey=kept"), std::string::npos);
  EXPECT_NE(text.find("[Mine]\nx=1"), std::string::npos);
  EXPECT_NE(text.find("StoragePath=" + g.StoragePath + "\n"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(IniPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "passwords: owner only, whatever the file had";
  for (const auto& entry : std::filesystem::directory_iterator(exe_))
    EXPECT_EQ(entry.path().filename(), "Capture.ini") << "no temporary file is left behind";
}

TEST_F(SettingsTest, LanguageChoiceIsWrittenAtOnce) {
  g.AlarmLine = 123;
  Save();
  WriteLanguageChoice("deutsch.ini");
  rtl::TMemIniFile ini(IniPath());
  EXPECT_EQ(ini.ReadString("General", "Language", ""), "deutsch.ini");
  EXPECT_EQ(ini.ReadString("Capture", "AlarmLine", ""), "123");
  struct stat st {};
  ASSERT_EQ(stat(IniPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// ------------------------------------------------------ a second reader

// Python's configparser reads every key the writer wrote, with the value
// the file means (multi-line texts in their coded form).
TEST_F(SettingsTest, ConfigParserReadsEveryKey) {
  g.Mail.body = "two\r\nlines";
  g.Mail.Pasword = "s3cr=t;#x";
  g.ODVideoDeviceName = "Cam: one";
  g.AlarmDelay = 0.75;
  cs.TextOverlay_String = "%s 100%";
  Save();

  const std::string script = R"PY(
import configparser, sys
p = configparser.ConfigParser(interpolation=None, strict=False)
p.optionxform = str
p.read(sys.argv[1], encoding='utf-8')
for s in p.sections():
    for k, v in p.items(s):
        print(s + '\t' + k + '\t' + v)
)PY";
  int status = -1;
  std::string out = rtltest::RunPython(script, {IniPath()}, &status);
  ASSERT_EQ(status, 0) << out;

  rtl::TIniFile ours(IniPath());
  size_t lines = 0;
  std::stringstream ss(out);
  for (std::string line; std::getline(ss, line); ++lines) {
    auto t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    std::string s = line.substr(0, t1), k = line.substr(t1 + 1, t2 - t1 - 1), v = line.substr(t2 + 1);
    EXPECT_EQ(v, ours.ReadString(s, k, "<missing>")) << s << "/" << k;
  }
  EXPECT_EQ(lines, KeyLines().size()) << "every written key was read";

  std::map<std::string, std::string> spot;
  for (std::stringstream again(out); std::getline(again, out);)
    spot[out.substr(0, out.rfind('\t'))] = out.substr(out.rfind('\t') + 1);
  EXPECT_EQ(spot["Capture\tbody"], "two#13#10lines");
  EXPECT_EQ(spot["Capture\tPasword"], "s3cr=t;#x");
  EXPECT_EQ(spot["Device\tODVideoDeviceName"], "Cam: one");
  EXPECT_EQ(spot["Capture\tAlarmDelay"], "0.75");
  EXPECT_EQ(spot["Overlay\tOverlayText"], "%s 100%");
  EXPECT_EQ(spot["General\tStoragePath"], g.StoragePath);
}

}  // namespace

namespace {

TEST(DeviceChoice, NameDecidesOverTheIndex) {
  const String names = "Cam A\r\nCam B\r\nCam C\r\n";
  struct Case {
    const char* list;
    const char* name;
    int32_t index;
    int32_t expected;
  } cases[] = {
      {"Cam A\r\nCam B\r\nCam C\r\n", "Cam C", 0, 2},  // the list changed order since the index was saved
      {"Cam A\r\nCam B\r\nCam C\r\n", "Cam Z", 2, 0},  // unplugged: not whatever now sits at its index
      {"Cam A\r\nCam B\r\nCam C\r\n", "", 1, 1},       // a file that keeps only the index
      {"Cam A\r\nCam B\r\nCam C\r\n", "", 5, 0},      {"Cam A\r\nCam B\r\nCam C\r\n", "", -1, 0}, {"", "Cam A", 0, -1},
      {"Cam B\r\nCam A\r\n", "cam a", 1, 0},  // names compare exactly
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseDevice(c.list, c.name, c.index), c.expected) << c.name << c.index;
  EXPECT_EQ(ChooseDevice(names, "Cam B", -1), 1);
}

}  // namespace
