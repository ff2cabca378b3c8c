#include "app/SettingsStore.h"

// The link between the settings file and the capture component's
// properties. It waits for the component's published properties; until
// they exist the file's capture settings pass through unchanged and the
// component keeps its own.

namespace app {

void ApplyCaptureSettings(capture::TVidCap&, const TCaptureSettings&, const TGlobalVarsFields&) {}

TCaptureSettings ReadCaptureSettings(capture::TVidCap&) { return TCaptureSettings{}; }

bool LoadSettings(TGlobalVars& g, capture::TVidCap* vidCap) {
  TCaptureSettings cs = vidCap ? ReadCaptureSettings(*vidCap) : TCaptureSettings{};
  return LoadSettings(static_cast<TGlobalVarsFields&>(g), cs);
}

void SaveSettings(const TGlobalVars& g, capture::TVidCap* vidCap) {
  TCaptureSettings cs = vidCap ? ReadCaptureSettings(*vidCap) : TCaptureSettings{};
  SaveSettings(static_cast<const TGlobalVarsFields&>(g), cs);
}

}  // namespace app
