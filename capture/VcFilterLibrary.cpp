// The component's own filters. They are part of the program: a filter is
// made by the factory registered under its name, so no code is ever
// written to or loaded from a folder that another user could change.
#include <map>

#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcLog.h"
#include "platform/mg/Devices.h"
#include "platform/mg/SystemFilters.h"

namespace capture {

namespace {

using TLocalFactory = std::function<std::shared_ptr<mg::BaseFilter>()>;

// The factories by name. The raw writer is the media graph's file writer,
// which writes a stream it does not know unchanged; the grabbers, the
// transform, the push source and the custom clock come with the code that
// drives them.
const std::map<String, TLocalFactory>& LocalFactories() {
  static const std::map<String, TLocalFactory> factories = {
      {"CreateLocalCFrwInstance",
       [] {
         std::shared_ptr<mg::BaseFilter> writer;
         mg::ClassFactory::CreateInstance(mg::CLSID_FileWriter, &writer);
         return writer;
       }},
      {"CreateLocalGrabberInstance", [] { return CreateGrabberFilter(); }},
      {"CreateLocalGrabberInstanceNoModify", [] { return CreateGrabberFilter(); }},
  };
  return factories;
}

}  // namespace

bool TVcEngine::CreateLocalFilterOrReport(const String& Label, std::shared_ptr<mg::BaseFilter>& Obj,
                                          const String& ExportName) {
  Obj.reset();
  const auto& factories = LocalFactories();
  const auto it = factories.find(ExportName);
  if (it != factories.end()) Obj = it->second();
  return !ReportIf(!Obj, SEV_ERROR, "cannot load filter" + Label, e_load_filter);
}

void TVcEngine::SetUpGraphClock() {
  if (!FilterGraph) return;
  FilterGraph->SetDefaultSyncSource();
  std::shared_ptr<mg::ReferenceClock> clock;
  if (State != es_PlayerOpen && FilterGraph->GetSyncSource(&clock) >= 0) GraphClock = clock;
}

}  // namespace capture
