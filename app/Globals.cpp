#include "app/Globals.h"

#include "app/DataFolders.h"
#include "app/ResStr.h"
#include "app/SettingsStore.h"
#include "platform/rtl/FilePaths.h"

namespace app {

String ExeFolder;
String SkinFolder;
String LangFolder;
String LanguageFileName = "english.ini";
String CurrentLanguagePath;

TGlobalVars& GlobalVars() {
  static TGlobalVars vars;
  return vars;
}

int32_t ChooseDevice(const String& deviceNames, const String& storedName, int32_t storedIndex) {
  rtl::TStringList names;
  names.SetText(deviceNames);
  if (names.Count() == 0) return -1;
  if (!storedName.empty()) {
    for (int32_t i = 0; i < names.Count(); ++i)
      if (names[i] == storedName) return i;
    return 0;  // that device is gone; its old index may name another one now
  }
  return storedIndex >= 0 && storedIndex < names.Count() ? storedIndex : 0;
}

void InitDataPaths(const String& exeFolder) {
  ExeFolder = IncludeBackslash(exeFolder);
  SkinFolder = ExeFolder + "skin/skin.ini";
  GlobalVars().SkinPath = SkinFolder;
  LangFolder = ExeFolder + "Lang/";
}

void SetDefaultSettings(TGlobalVars& g, capture::TVidCap* vidCap) {
  {
    std::lock_guard<std::mutex> guard(g.SharedLock);
    static_cast<TGlobalVarsFields&>(g) = TGlobalVarsFields{};
  }

  g.StoragePath = FindDataRoot(ExeFolder);
  FormRootFolders(g);

  SkinFolder = IncludeBackslash(rtl::ExtractFilePath(ExeFolder + "skin/skin.ini"));
  g.SkinPath = SkinFolder;
  g.LanguageFile = ExeFolder + "Lang/" + LanguageFileName;

  // The capture settings live in the component; these are its defaults.
  if (vidCap) {
    TCaptureSettings defaults;
    defaults.AutoFilePrefix = IDS_SETTING_SHOTFRAME_FILEPREFIX;
    ApplyCaptureSettings(*vidCap, defaults, g);
  }

  g.AlarmPictureSavePath = g.StoragePath + "AlarmImags/";
  g.AlarmVideoSavePath = g.StoragePath + "AlarmVideos/";
  // English whatever language is loaded: no language file is read yet.
  g.Mail.body = FindLanguageText(IDS_MOTIONDETECTION_BODY)->English;
  g.MailQueue = std::make_unique<rtl::TStringList>();
  g.AlarmTimes = std::make_unique<rtl::TStringList>();
  g.UploadQueue = std::make_unique<rtl::TStringList>();
  g.PlaySoundFullFileName = ExeFolder + "AlarmSound/AlarmSound.wav";
  g.LogPath = ExeFolder + "Log/";
}

}  // namespace app
