// The ASF writer's configuration: the media runtime, the profile chosen by
// index, file or the writer's own, edited as XML with the user's values,
// the writer's input settings, and the network or push sink.
#include <atomic>

#include "capture/VcAsfXml.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VidCap.h"
#include "platform/mg/Interfaces.h"
#include "platform/mg/WmProfiles.h"
#include "platform/mg/WmSinks.h"

namespace capture {

namespace {
std::atomic<bool> runtimePresent{true};
std::atomic<bool> runtimeLoaded{false};
}  // namespace

void SetWMFormatRuntimePresent(bool Present) {
  runtimePresent = Present;
  if (!Present) runtimeLoaded = false;
}

bool TVcEngine::BindWMFormatRuntime() {
  if (runtimeLoaded) return true;
  // The runtime is linked in; what can be missing is taken away on purpose.
  if (runtimePresent) {
    runtimeLoaded = true;
    return true;
  }
  ReportIf(true, SEV_ERROR, "wmvcore.dll not found. Install the Media Player 9.", e_library_not_found);
  return false;
}

void TVcEngine::ReleaseAsfSinks() {
  if (auto net = std::dynamic_pointer_cast<mg::wm::NetworkSink>(AsfNetworkSink)) net->Close();
  if (auto push = std::dynamic_pointer_cast<mg::wm::PushSink>(AsfPushSink)) push->Disconnect();
  AsfNetworkSink.reset();
  AsfPushSink.reset();
}

bool TVcEngine::ConfigureASFWriter() {
  HostPort = 0;
  HostName.clear();
  bool result = true;
  // Posted on every way out that succeeds with a port.
  struct PostUrl {
    TVcEngine& e;
    bool& result;
    ~PostUrl() {
      if (result && e.HostPort > 0) e.PostEvent(qe_DirectNetworkStreamingHostUrl);
    }
  } postUrl{*this, result};

  if (!AsfWriter || !BindWMFormatRuntime()) return true;
  std::shared_ptr<mg::wm::ProfileManager> manager;
  if (mg::wm::WMCreateProfileManager(&manager) != mg::S_OK || !manager) return true;
  manager->SetSystemProfileVersion(mg::WMT_VER_8_0);
  auto config = mg::QueryInterface<mg::IConfigAsfWriter>(AsfWriter);
  if (!config) return true;

  std::shared_ptr<mg::wm::Profile> profile;
  if (!ASFProfileFromCustomFile.empty()) {
    // A file that cannot be read is a profile that did not load.
    String text;
    if (LoadFileIntoStream(ASFProfileFromCustomFile, text)) manager->LoadProfileByData(text, &profile);
  } else if (ASFProfile == -1) {
    mg::WMProfile current;
    if (config->GetCurrentProfile(&current) == mg::S_OK) manager->LoadProfileByData(current.text, &profile);
  } else {
    mg::DWORD count = 0;
    manager->GetSystemProfileCount(&count);
    if (ASFProfile < 0 || static_cast<mg::DWORD>(ASFProfile) >= count) {
      ReportIf(true, SEV_ERROR, "ASF profile index out of range", e_index_out_of_range);
      return true;
    }
    if (manager->LoadSystemProfile(static_cast<mg::DWORD>(ASFProfile), &profile) == mg::S_OK && profile) {
      std::string name;
      profile->GetName(&name);
      ReportIf(true, SEV_INFO, "using ASF profile: \"" + name + "\"", i_using_ASF_Profile);
    }
  }
  if (!profile) {
    ReportIf(true, SEV_ERROR, "failed to load ASF profile", e_failed_to_load_ASF_profile);
    return true;
  }
  std::string text;
  manager->SaveProfile(profile, &text);
  std::string name;
  profile->GetName(&name);
  profile.reset();

  TASFXML xml;
  xml.Parse(text);
  if (xml.SelectStreams(true, Latched.AudioRecording)) {
    auto decimal = [](int64_t v) { return std::to_string(v); };
    if (ASFAudioBitRate != -1) xml.SetValue("BitRate", decimal(ASFAudioBitRate), 2);
    if (ASFAudioChannels == 1 || ASFAudioChannels == 2) xml.SetValue("nChannels", decimal(ASFAudioChannels), 2);
    if (ASFVideoBitRate != -1) {
      xml.SetValue("BitRate", decimal(ASFVideoBitRate), 1);
      xml.SetValue("dwBitRate", decimal(ASFVideoBitRate), 1);
    }
    if (ASFVideoWidth >= 0 && ASFVideoHeight >= 0) {
      xml.SetValue("biwidth", decimal(ASFVideoWidth), 1);
      xml.SetValue("right", decimal(ASFVideoWidth), 1);
      xml.SetValue("biheight", decimal(ASFVideoHeight), 1);
      xml.SetValue("bottom", decimal(ASFVideoHeight), 1);
    }
    if (ASFVideoQuality != -1) xml.SetValue("Quality", decimal(ASFVideoQuality), 1);
    if (ASFVideoMaxKeyFrameSpacing != -1)
      xml.SetValue("MaxKeyFrameSpacing", decimal(ASFVideoMaxKeyFrameSpacing), 1);
    if (xml.Generate()) {
      std::shared_ptr<mg::wm::Profile> edited;
      // An edit the writer cannot take (a size it cannot encode) leaves it
      // with the profile it had.
      if (manager->LoadProfileByData(xml.GetText(), &edited) != mg::S_OK || !edited ||
          config->ConfigureFilterUsingProfile({name, xml.GetText()}) != mg::S_OK)
        ReportIf(true, SEV_ERROR, "failed to load ASF profile", e_failed_to_load_ASF_profile);
    }
  }

  std::shared_ptr<mg::Object> service;
  auto provider = mg::QueryInterface<mg::IServiceProvider>(AsfWriter);
  if (!provider || provider->QueryService(mg::GUID{}, &service) != mg::S_OK || !service) return true;
  auto advanced = mg::QueryInterface<mg::IWMWriterAdvanced2>(service);
  if (!advanced) return true;
  if (Latched.RecordingMethod != rm_ASF) {
    mg::DWORD sinks = 0;
    while (advanced->GetSinkCount(&sinks) == mg::S_OK && sinks > 0) {
      std::shared_ptr<mg::Object> sink;
      if (advanced->GetSink(0, &sink) != mg::S_OK || advanced->RemoveSink(sink) != mg::S_OK) break;
    }
  }
  advanced->SetLiveSource(1);
  if (ASFDeinterlaceMode != adm_NotInterlaced) {
    const uint32_t mode = static_cast<uint32_t>(ASFDeinterlaceMode);
    advanced->SetInputSetting(0, "DeinterlaceMode", mg::WMT_TYPE_DWORD, reinterpret_cast<const uint8_t*>(&mode), 4);
  }
  const uint32_t fixed = ASFFixedFrameRate != 0 ? 1 : 0;
  advanced->SetInputSetting(0, "FixedFrameRate", mg::WMT_TYPE_BOOL, reinterpret_cast<const uint8_t*>(&fixed), 4);

  if (Latched.NetworkStreaming == ns_ASFStreamingToPublishingPoint) {
    std::shared_ptr<mg::wm::PushSink> push;
    if (mg::wm::WMCreateWriterPushSink(&push) != mg::S_OK || !push) return true;
    const bool ok = push->Connect(ASFMediaServerPublishingPoint, "", 1) == mg::S_OK && advanced->AddSink(push) == mg::S_OK;
    if (ok) {
      AsfPushSink = push;
      ReportIf(true, SEV_INFO, "streaming to \"" + ASFMediaServerPublishingPoint + "\"",
               i_streaming_to_publishing_point);
    } else {
      push->Disconnect();
      ReportIf(true, SEV_ERROR, "failed to connect to publishing point \"" + ASFMediaServerPublishingPoint + "\"",
               e_failed_to_connect_to_server);
      result = false;
    }
  } else if (Latched.NetworkStreaming == ns_ASFDirectNetworkStreaming) {
    std::shared_ptr<mg::wm::NetworkSink> net;
    mg::DWORD port = ASFNetworkPort < 0 ? 0 : static_cast<mg::DWORD>(ASFNetworkPort);
    std::string url;
    bool ok = mg::wm::WMCreateWriterNetworkSink(&net) == mg::S_OK && net &&
              net->SetNetworkProtocol(mg::wm::WMT_PROTOCOL_HTTP) == mg::S_OK &&
              net->SetMaximumClients(static_cast<mg::DWORD>(std::max(0, ASFNetworkMaxUsers))) == mg::S_OK &&
              net->Open(&port) == mg::S_OK;
    if (ok) ASFNetworkPort = static_cast<int32_t>(port);
    ok = ok && advanced->AddSink(net) == mg::S_OK && net->GetHostURL(&url) == mg::S_OK;
    if (!ok) {
      if (net) net->Close();
      ReportIf(true, SEV_ERROR, "failed to setup network streaming", e_failed_to_setup_network_streaming);
      result = false;
      return false;
    }
    AsfNetworkSink = net;
    HostUrl = url;
    if (url.starts_with("http")) {
      const String rest = url.size() > 7 ? url.substr(7) : String();
      HostUrl = "mms://" + rest;
      if (const size_t colon = rest.find(':'); colon != String::npos) {
        HostName = rest.substr(0, colon);
        // The number after the colon; anything else is no port.
        const String digits = rest.substr(colon + 1);
        HostPort = 0;
        if (!digits.empty() && digits.size() <= 5 && digits.find_first_not_of("0123456789") == String::npos)
          HostPort = std::stoi(digits);
      }
    }
  }
  return result;
}

}  // namespace capture
