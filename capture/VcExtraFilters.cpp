// The user's extra filters, put in line at the six places the branches
// pass: each one that can be made and connected goes in, the others are
// reported and left out.
#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "capture/VcProperties.h"
#include "capture/VcRegistry.h"
#include "capture/VidCap.h"
#include "platform/mg/Devices.h"

namespace capture {

namespace {

String LocationName(int32_t Location) {
  static const char* const kKeys[] = {"IDS_TPF_VIDEO_SOURCE", "IDS_TPF_VIDEO_PREVIEW", "IDS_TPF_VIDEO_CAPTURE",
                                      "IDS_TPF_AUDIO_SOURCE", "IDS_TPF_AUDIO_RENDER",  "IDS_TPF_AUDIO_CAPTURE"};
  static const char* const kNames[] = {"video source", "video preview", "video capture",
                                       "audio source", "audio render",  "audio capture"};
  if (Location < 0 || Location >= kThirdPartyFilterLocations) return {};
  return LookupText(kKeys[Location], kNames[Location]);
}

}  // namespace

void TVcEngine::InsertThirdPartyFilters(int32_t Location, std::shared_ptr<mg::Pin>& Pin) {
  if (Location < 0 || Location >= kThirdPartyFilterLocations || !FilterGraph) return;
  for (int32_t i = 0; i < kThirdPartyFiltersPerLocation; ++i) {
    TThirdPartyFilter& entry = Sel.ThirdPartyFilters[Location][i];
    if (!Pin || !entry.Enabled || entry.Clsid == mg::GUID{}) continue;
    entry.Filter.reset();
    std::shared_ptr<mg::BaseFilter> filter;
    if (mg::ClassFactory::CreateInstance(entry.Clsid, &filter) < 0 || !filter) {
      ReportIf(true, SEV_ERROR, "create third party filter", e_failed);
      continue;
    }
    const String name = entry.Name.empty() ? entry.Clsid.ToString() : entry.Name;
    if (FilterGraph->AddFilter(filter, name) < 0) {
      ReportIf(true, SEV_ERROR, "cannot add " + name, e_add_filter);
      continue;
    }
    const auto input = FirstFreePin(filter, mg::PINDIR_INPUT);
    const auto output = FirstFreePin(filter, mg::PINDIR_OUTPUT);
    bool used = false;
    if (!input) {
      ReportIf(true, SEV_ERROR, "cannot find input pin: " + name, e_pin_not_found);
    } else if (!output) {
      ReportIf(true, SEV_ERROR, "cannot find output pin: " + name, e_pin_not_found);
    } else if (!ConnectPins(Pin, input)) {
      ReportIf(true, SEV_WARNING, "cannot connect third-party filter " + name, w_cannot_connect_thirdparty_filter);
    } else {
      used = true;
    }
    if (!used) {
      FilterGraph->RemoveFilter(filter);
      continue;
    }
    ReportIf(true, SEV_INFO, "filter inserted on " + LocationName(Location) + ":" + name,
             i_third_party_filter_inserted);
    Pin = output;
    entry.Filter = filter;
    TVidCap* c = Owner;
    if (c && CanRaiseEvent(c->OnThirdPartyFilterConnected))
      c->OnThirdPartyFilterConnected(c, static_cast<TThirdPartyFilterList>(Location), i, filter);
    ReadFilterStateFromRegistry(filter, GetRegistryRoot() + "ThirdPartyFilters\\" + entry.Clsid.ToString());
  }
}

}  // namespace capture
