#include "capture/VcDevices.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VcRegistry.h"
#include "platform/mg/Guids.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

std::unique_ptr<TDevices> g_audioDevices;
std::unique_ptr<TDevices> g_videoDevices;
std::unique_ptr<TDevices> g_videoCompressors;
std::unique_ptr<TDevices> g_audioCompressors;
TVfwDriverNameSource g_vfwDriverNames;

bool Contains(const String& Text, const String& Part) { return Text.find(Part) != String::npos; }

std::vector<String> SplitLines(const String& Text) {
  std::vector<String> lines;
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find_first_of("\r\n", start);
    if (end == String::npos) {
      lines.push_back(Text.substr(start));
      break;
    }
    lines.push_back(Text.substr(start, end - start));
    // CR LF counts as one break, as do a lone CR or LF.
    if (Text[end] == '\r' && end + 1 < Text.size() && Text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return lines;
}

// The display name and friendly name of a moniker; false without a
// readable friendly name.
bool ReadMonikerNames(const mg::Moniker& Moniker, String& DisplayName, String& FriendlyName) {
  if (Moniker.GetDisplayName(&DisplayName) != mg::S_OK) DisplayName.clear();
  std::shared_ptr<mg::PropertyBag> bag;
  if (Moniker.BindToStorage(&bag) != mg::S_OK || !bag) return false;
  return bag->Read("FriendlyName", &FriendlyName) == mg::S_OK;
}

struct TPreferenceRule {
  const char* Text;
  const char* Except;
};
constexpr TPreferenceRule kVideoPreference[] = {{"MPEG-4", nullptr}, {"MPEG", nullptr}, {"DIVX", nullptr},
                                                {"XVID", nullptr},   {"MJPEG", nullptr}};
constexpr TPreferenceRule kAudioPreference[] = {
    {"WINDOWS MEDIA AUDIO V2", nullptr}, {"PCM", "ADPCM"}, {"MPEG", nullptr}};

}  // namespace

// ---------------------------------------------------------------------------
// Small operations

int32_t LineCount(const String& Text) { return static_cast<int32_t>(SplitLines(Text).size()); }

String GetLine(const String& Text, int32_t Index) {
  const std::vector<String> lines = SplitLines(Text);
  if (Index < 0 || Index >= static_cast<int32_t>(lines.size())) return String();
  return lines[Index];
}

int32_t TVCountryTuningSpace(int32_t CountryCode) { return CountryCode + 99990000; }

String DeviceKey(const String& DisplayName, const String& FriendlyName) {
  String key;
  for (char c : DisplayName + FriendlyName)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' ||
        c == '{' || c == '}')
      key += c;
  return key;
}

String NextListToken(size_t& Position, const String& Text) {
  String token;
  while (Position < Text.size() && Text[Position] != '!') token += Text[Position++];
  if (Position < Text.size()) ++Position;  // past the "!"
  return token;
}

bool NameNotExcluded(const String& Name, const String& ExcludedNames) {
  if (ExcludedNames.empty()) return true;
  const String upper = rtl::AnsiUpperCase(Name);
  size_t pos = 0;
  while (pos < ExcludedNames.size()) {
    const String token = NextListToken(pos, ExcludedNames);
    if (!token.empty() && Contains(upper, token)) return false;
  }
  return true;
}

bool ParseAvcName(const String& DisplayName, String& Name1, String& Name2) {
  static const String marker = "\\\\?\\avc#";
  const size_t at = DisplayName.find(marker);
  if (at == String::npos) return false;
  const size_t start = at + marker.size();
  const size_t end = DisplayName.find('#', start);
  if (end == String::npos || end == start) return false;
  String text = DisplayName.substr(start, end - start);
  std::replace(text.begin(), text.end(), '&', ' ');
  const size_t dash = text.find('-');
  if (dash != String::npos && dash >= 1) {
    Name1 = text.substr(0, dash);
    Name2 = text.substr(dash + 1);
  } else {
    Name1 = text;
    Name2 = text;
  }
  return true;
}

void SetVfwDriverNameSource(TVfwDriverNameSource Source) { g_vfwDriverNames = std::move(Source); }

String GetVfwDriverNames() {
  String text;
  for (int32_t i = 0; i < 10; ++i) {
    String name = g_vfwDriverNames ? g_vfwDriverNames(i) : String();
    // The drivers' name buffer holds 100 characters and a terminator.
    if (name.size() > 100) name.resize(100);
    text += (name.empty() ? String(".") : name) + "\n";
  }
  return text;
}

bool FindDeviceMoniker(const mg::GUID& Category, const String& Name, int32_t Mode, String& FriendlyName,
                       std::shared_ptr<mg::Moniker>& Moniker) {
  Moniker.reset();
  mg::SystemDeviceEnum devEnum;
  TraceYesNo(true, CF_GREY, "instance: Sys dev enum");
  mg::IEnumMoniker e;
  if (devEnum.CreateClassEnumerator(Category, &e, 0) != mg::S_OK) return false;
  std::shared_ptr<mg::Moniker> m;
  while (e.Next(1, &m, nullptr) == mg::S_OK) {
    String display, friendly;
    if (!ReadMonikerNames(*m, display, friendly)) continue;
    bool match = false;
    switch (Mode) {
      case 0:
        match = friendly == Name;
        break;
      case 1:
        match = Contains(friendly, Name);
        break;
      case 2: {
        match = true;
        size_t pos = 0;
        while (pos < Name.size() && match) {
          const String token = NextListToken(pos, Name);
          if (!token.empty() && !Contains(friendly, token)) match = false;
        }
        break;
      }
      case 3:
        match = DeviceKey(display, friendly) == Name;
        break;
      default:
        break;
    }
    if (match) {
      FriendlyName = friendly;
      Moniker = m;
      return true;
    }
  }
  return false;
}

int32_t FindDeviceIndexIn(const String& NamesText, const String& Name) {
  const String name = rtl::AnsiUpperCase(rtl::Trim(Name));
  if (name.empty()) return -1;
  const size_t n = name.size();
  const std::vector<String> lines = SplitLines(NamesText);
  for (size_t i = 0; i < lines.size(); ++i) {
    const String line = rtl::AnsiUpperCase(lines[i]);
    bool match;
    if (n > 2 && name.front() == '*' && name.back() == '*') {
      match = Contains(line, name.substr(1, n - 2));
    } else if (n > 1 && name.front() == '*') {
      const String tail = name.substr(1);
      match = line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    } else if (n > 1 && name.back() == '*') {
      match = line.size() >= n - 1 && line.compare(0, n - 1, name, 0, n - 1) == 0;
    } else {
      match = line == name;
    }
    if (match) return static_cast<int32_t>(i);
  }
  return -1;
}

// ---------------------------------------------------------------------------
// TDevices

TDevices::TDevices(int32_t Kind, TDevices* AudioPartner, bool AddDriverSuffix, const String& VfwDriverNamesText,
                   const String& ExcludedNames, const mg::GUID& Category, const String& Label)
    : Kind(Kind),
      Label(Label),
      Category(Category),
      VfwCaptureClass(mg::CLSID_VfwCapture.ToString()),
      AddDriverSuffix(AddDriverSuffix),
      ExcludedNames(ExcludedNames),
      VfwDriverNames(SplitLines(VfwDriverNamesText)),
      AudioPartner(AudioPartner) {
  Rebuild();
}

String TDevices::GetNamesText() const {
  String text;
  for (const TEntry& e : Entries) text += e.DisplayName + "\n";
  return text;
}

String TDevices::GetName(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return String();
  return Entries[Index].DisplayName;
}

TCapDeviceInfo* TDevices::Info(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return Entries[Index].Info.get();
}

bool TDevices::MarkPresent(const String& Key) {
  for (TEntry& e : Entries)
    if (e.Info->Key == Key) {
      e.Info->Present = true;
      return true;
    }
  return false;
}

int32_t TDevices::NextInstance(const String& Name) const {
  int32_t highest = 0;
  for (const TEntry& e : Entries)
    if (e.Info->Name == Name) highest = std::max(highest, e.Info->Instance);
  return highest + 1;
}

String TDevices::GetRegistryKey(int32_t Index) const {
  const TCapDeviceInfo* info = Info(Index);
  return info ? GetRegistryRoot() + "Devices\\" + info->Key : String();
}

void TDevices::ApplyPreferenceOrder() {
  const TPreferenceRule* rules;
  size_t ruleCount;
  if (Kind == dk_VideoCompressor) {
    rules = kVideoPreference;
    ruleCount = std::size(kVideoPreference);
  } else if (Kind == dk_AudioCompressor) {
    rules = kAudioPreference;
    ruleCount = std::size(kAudioPreference);
  } else {
    return;
  }
  size_t front = 0;
  for (size_t r = 0; r < ruleCount; ++r) {
    for (size_t i = front; i < Entries.size(); ++i) {
      const String upper = rtl::AnsiUpperCase(Entries[i].DisplayName);
      if (!Contains(upper, rules[r].Text) || (rules[r].Except && Contains(upper, rules[r].Except))) continue;
      std::swap(Entries[i], Entries[front]);
      ++front;
    }
  }
}

// A device seen for the first time: its entry goes here or, for a video
// device that calls itself audio, to the partner. True when it was moved.
bool TDevices::AppendNew(const String& DisplayName, const String& FriendlyName, const String& Key,
                         const String& Clsid) {
  auto info = std::make_unique<TCapDeviceInfo>();
  info->Key = Key;
  info->Name = FriendlyName;
  if (Clsid.empty()) {
    info->IsWDM = false;
    info->VfwIndex = -1;
  } else if (rtl::SameText(Clsid, VfwCaptureClass)) {
    info->IsWDM = false;
    info->VfwIndex = -1;
    for (size_t i = 0; i < VfwDriverNames.size(); ++i)
      if (rtl::AnsiSameText(VfwDriverNames[i], FriendlyName)) {
        info->VfwIndex = static_cast<int32_t>(i);
        break;
      }
  } else {
    info->IsWDM = true;
  }
  info->Present = true;
  info->WasPresent = false;
  info->InUse = false;
  info->Instance = NextInstance(FriendlyName);
  info->IsDV = Contains(FriendlyName, "Microsoft DV");
  ParseAvcName(DisplayName, info->AvcName1, info->AvcName2);

  String display = FriendlyName;
  if (info->Instance > 1) display += " #" + rtl::IntToStr(info->Instance);
  if (AddDriverSuffix) display += info->IsWDM ? " (WDM)" : " (vfw)";

  const bool moved = Kind == dk_VideoCapture && AudioPartner && Contains(rtl::AnsiUpperCase(display), "AUDIO");
  if (moved) {
    info->Moved = true;
    info->Category = mg::CLSID_VideoInputDeviceCategory;
    AudioPartner->Entries.push_back({display, std::move(info)});
  } else {
    info->Category = Category;
    Entries.push_back({display, std::move(info)});
  }
  TraceLine(CF_DEFAULT, "l= " + rtl::IntToStr(Count()) + ", adding " + display);
  return moved;
}

void TDevices::Rebuild() {
  TraceLine(CF_DEFAULT, "rebuilding " + Label);
  for (TEntry& e : Entries)
    if (!e.Info->Moved) {
      e.Info->WasPresent = e.Info->Present;
      e.Info->Present = false;
    }
  // Moved entries live in the partner, where its own rebuild finds no
  // moniker for them; they follow the video category's enumeration here.
  std::vector<TCapDeviceInfo*> movedHere;
  if (Kind == dk_VideoCapture && AudioPartner)
    for (TEntry& e : AudioPartner->Entries)
      if (e.Info->Moved) {
        e.Info->WasPresent = e.Info->Present;
        e.Info->Present = false;
        movedHere.push_back(e.Info.get());
      }
  bool movedAny = false;
  {
    std::lock_guard<rtl::TCriticalSection> lock(Lock);
    mg::SystemDeviceEnum devEnum;
    TraceYesNo(true, CF_GREY, "instance: create sys dev enum");
    mg::IEnumMoniker e;
    if (devEnum.CreateClassEnumerator(Category, &e, 0) == mg::S_OK) {
      std::shared_ptr<mg::Moniker> m;
      while (e.Next(1, &m, nullptr) == mg::S_OK) {
        String display, friendly;
        if (!ReadMonikerNames(*m, display, friendly)) continue;
        const String key = DeviceKey(display, friendly);
        if (!NameNotExcluded(friendly, ExcludedNames) || MarkPresent(key)) continue;
        auto known = std::find_if(movedHere.begin(), movedHere.end(),
                                  [&](const TCapDeviceInfo* i) { return i->Key == key; });
        if (known != movedHere.end()) {
          (*known)->Present = true;
          continue;
        }
        String clsid;
        std::shared_ptr<mg::PropertyBag> bag;
        if (m->BindToStorage(&bag) != mg::S_OK || !bag || bag->Read("CLSID", &clsid) != mg::S_OK) clsid.clear();
        movedAny |= AppendNew(display, friendly, key, clsid);
      }
    }
    ApplyPreferenceOrder();
  }
  // The partner's own rebuild does not see moved entries: they keep the
  // flags set above.
  if (movedAny) AudioPartner->Rebuild();
  TraceLine(CF_DEFAULT, "rebuilded " + Label);
}

// ---------------------------------------------------------------------------
// The four lists

TDevices* VideoCaptureDevices() { return g_videoDevices.get(); }
TDevices* AudioCaptureDevices() { return g_audioDevices.get(); }
TDevices* VideoCompressors() { return g_videoCompressors.get(); }
TDevices* AudioCompressors() { return g_audioCompressors.get(); }

TDevices* DeviceList(int32_t Kind) {
  switch (Kind) {
    case dk_VideoCapture:
      return g_videoDevices.get();
    case dk_AudioCapture:
      return g_audioDevices.get();
    case dk_VideoCompressor:
      return g_videoCompressors.get();
    case dk_AudioCompressor:
      return g_audioCompressors.get();
    default:
      return nullptr;
  }
}

void CreateDeviceLists() {
  if (g_videoDevices) return;
  CheckRegistryVersion();
  g_audioDevices = std::make_unique<TDevices>(dk_AudioCapture, nullptr, true, String(), String(),
                                              mg::CLSID_AudioInputDeviceCategory, "audio device");
  g_videoDevices = std::make_unique<TDevices>(dk_VideoCapture, g_audioDevices.get(), true, GetVfwDriverNames(),
                                              String(), mg::CLSID_VideoInputDeviceCategory, "video device");
  g_videoCompressors = std::make_unique<TDevices>(dk_VideoCompressor, nullptr, false, String(),
                                                  "ENCODER DMO!XLDECOMPRESS", mg::CLSID_VideoCompressorCategory,
                                                  "video compressor");
  g_audioCompressors = std::make_unique<TDevices>(dk_AudioCompressor, nullptr, false, String(), "ENCODER DMO",
                                                  mg::CLSID_AudioCompressorCategory, "audio compressor");
}

void FreeDeviceLists() {
  g_audioCompressors.reset();
  g_videoCompressors.reset();
  g_videoDevices.reset();
  g_audioDevices.reset();
}

std::vector<TDeviceChange> RebuildCaptureDeviceLists() {
  std::vector<TDeviceChange> changes;
  if (!g_videoDevices) return changes;
  // Compared with the flags as they stand now rather than WasPresent: a
  // video device moved to the audio list rebuilds that list once more, and
  // an audio device that arrived in the same round would look old.
  std::map<const TCapDeviceInfo*, bool> before;
  for (TDevices* list : {g_videoDevices.get(), g_audioDevices.get()})
    for (const TDevices::TEntry& e : list->Entries) before[e.Info.get()] = e.Info->Present;
  g_videoDevices->Rebuild();
  g_audioDevices->Rebuild();
  for (TDevices* list : {g_videoDevices.get(), g_audioDevices.get()})
    for (int32_t i = 0; i < list->Count(); ++i) {
      const TCapDeviceInfo& info = *list->Entries[i].Info;
      const auto was = before.find(&info);
      if (info.Present == (was != before.end() && was->second)) continue;
      // A moved entry is reported as what it is listed among: audio.
      changes.push_back({info.Present, list == g_videoDevices.get(), list->Entries[i].DisplayName, i});
    }
  return changes;
}

TDeviceListHooks MakeDeviceListHooks() {
  TDeviceListHooks hooks;
  hooks.Create = CreateDeviceLists;
  hooks.Rebuild = RebuildCaptureDeviceLists;
  hooks.Free = FreeDeviceLists;
  hooks.BindVideoDevice = [](TVcEngine* Engine) { Engine->BindVideoDevice(); };
  hooks.BindAudioDevice = [](TVcEngine* Engine) { Engine->BindAudioDevice(); };
  hooks.PrepareAtFirstIdle = [](TVcEngine* Engine) { Engine->PrepareAtFirstIdle(); };
  return hooks;
}

void ResetDeviceListHooks() { SetDeviceListHooks(MakeDeviceListHooks()); }

// ---------------------------------------------------------------------------
// Engine: finding and binding devices

int32_t TVcEngine::FindDeviceIndex(const String& NamesText, const String& Name) {
  return FindDeviceIndexIn(NamesText, Name);
}

bool TVcEngine::BindDevice(const std::shared_ptr<mg::IFilterGraph2>& Graph, TDevices* List, const String& InputName,
                           bool LogIt, TCapDeviceInfo*& InUseRef, bool ExclusiveUse,
                           std::shared_ptr<mg::BaseFilter>& Filter, const String& FilterName, int32_t& Index) {
  InUseRef = nullptr;
  if (!List) return false;
  if (Index == -1) {
    ReportIf(true, SEV_WARNING, List->Label + "not selected!", e_index_out_of_range);
    return false;
  }
  if (List->Count() == 0) return false;
  if (Index < 0 || Index >= List->Count()) {
    Index = 0;
    ReportIf(true, SEV_ERROR, List->Label + "index out of range, index 0 used instead", e_index_out_of_range);
  }
  TCapDeviceInfo* info = List->Info(Index);
  const String display = List->GetName(Index);
  if (ExclusiveUse && info->InUse) {
    ReportIf(true, SEV_ERROR, display + " is already in use", e_device_in_use_in_another_graph);
    return false;
  }
  if (LogIt) {
    if (!InputName.empty())
      ReportIf(true, SEV_INFO, "using " + List->Label + ":\n" + display + "\non input " + InputName,
               i_binding_device_or_compressor);
    else
      ReportIf(true, SEV_INFO, "using " + List->Label + ": " + display, i_binding_device_or_compressor);
  }
  String friendly;
  std::shared_ptr<mg::Moniker> moniker;
  if (!Graph || !FindDeviceMoniker(info->Category, info->Key, 3, friendly, moniker)) return false;
  const String name = FilterName.empty() ? rtl::IntToStr(Index) + " " + display : FilterName;
  std::shared_ptr<mg::BaseFilter> filter;
  if (!Report(Graph->AddSourceFilterForMoniker(moniker, name, &filter), SEV_ERROR,
              "bind " + display + " device moniker to filter", e_bind_moniker_to_filter))
    return false;
  Filter = filter;
  if (ExclusiveUse) {
    info->InUse = true;
    InUseRef = info;
  }
  return true;
}

bool TVcEngine::BindListEntry(const std::shared_ptr<mg::IFilterGraph2>& Graph, TDevices* List, bool LogIt,
                              std::shared_ptr<mg::BaseFilter>& Filter, const String& FilterName, int32_t& Index) {
  TCapDeviceInfo* unused = nullptr;
  return BindDevice(Graph, List, String(), LogIt, unused, false, Filter, FilterName, Index);
}

bool TVcEngine::BindByName(const mg::GUID& Category, const String& Name, std::shared_ptr<mg::BaseFilter>& Filter,
                           int32_t Mode) {
  String friendly;
  std::shared_ptr<mg::Moniker> moniker;
  if (!FilterGraph || !FindDeviceMoniker(Category, Name, Mode, friendly, moniker)) return false;
  std::shared_ptr<mg::BaseFilter> filter;
  if (FilterGraph->AddSourceFilterForMoniker(moniker, friendly, &filter) != mg::S_OK) return false;
  Filter = filter;
  return true;
}

}  // namespace capture
