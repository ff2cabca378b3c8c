#include "capture/VcGraphHelpers.h"

#include <random>

#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "platform/mg/Devices.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Dc.h"

namespace capture {

// ---- media types and identifiers --------------------------------------------

void FreeMediaTypeContents(mg::AM_MEDIA_TYPE* MediaType) {
  if (!MediaType) return;
  mg::FreeMediaType(*MediaType);
}

void DeleteMediaType(mg::AM_MEDIA_TYPE* MediaType) {
  if (!MediaType) return;
  FreeMediaTypeContents(MediaType);
  *MediaType = mg::AM_MEDIA_TYPE{};
}

void GuidFromText(const String& Text, mg::GUID& Guid) {
  const String t = rtl::Trim(Text);
  Guid = mg::GUID{};
  if (t.size() != 38) return;
  mg::GUID parsed;
  if (mg::GUID::TryParse(t, parsed)) Guid = parsed;
}

bool SameGuid(const mg::GUID& A, const mg::GUID& B) { return A == B; }
void CopyGuid(mg::GUID& Dest, const mg::GUID& Source) { Dest = Source; }
void ClearGuid(mg::GUID& Dest) { Dest = mg::GUID{}; }

int32_t FourCCOf(const mg::GUID& Guid) { return static_cast<int32_t>(Guid.Data1); }

String FourCCText(int32_t Code) {
  String s;
  const uint32_t c = static_cast<uint32_t>(Code);
  for (int i = 0; i < 4; ++i) s += static_cast<char>((c >> (8 * i)) & 0xFF);
  return s;
}

String SubtypeName(const String& GuidText) {
  if (GuidText.size() <= 14 || GuidText[0] != '{' || GuidText[9] != '-') return String();
  if (rtl::UpperCase(GuidText.substr(10, 4)) == "524F") {
    static const std::pair<const char*, const char*> kRgb[] = {
        {"E436EB78", "RGB1"},   {"E436EB79", "RGB4"},  {"E436EB7A", "RGB8"},  {"E436EB7B", "RGB565"},
        {"E436EB7C", "RGB555"}, {"E436EB7D", "RGB24"}, {"E436EB7E", "RGB32"},
    };
    const String head = rtl::UpperCase(GuidText.substr(1, 8));
    for (const auto& [digits, name] : kRgb)
      if (head == digits) return name;
    return "RGB";
  }
  mg::GUID g;
  GuidFromText(GuidText, g);
  if (g == mg::MEDIASUBTYPE_MPEG2_VIDEO) return "MPEG2";
  if (g == mg::MEDIASUBTYPE_ARGB32) return "ARGB32";
  return FourCCText(FourCCOf(g));
}

String SubtypeEntryName(const String& Entry) {
  const String text = rtl::Trim(Entry);
  const String name = text.size() == 38 ? SubtypeName(text) : String();
  return name.empty() ? text : name;
}

int32_t ScreenColorDepth() {
  win::HDC dc = win::GetDC(nullptr);
  const int32_t depth = win::GetDeviceCaps(dc, win::BITSPIXEL) * win::GetDeviceCaps(dc, win::PLANES);
  win::ReleaseDC(nullptr, dc);
  return depth;
}

// ---- pins -------------------------------------------------------------------------

namespace {

std::vector<std::shared_ptr<mg::Pin>> PinsOf(const std::shared_ptr<mg::BaseFilter>& Filter,
                                             mg::PIN_DIRECTION Direction) {
  std::vector<std::shared_ptr<mg::Pin>> out;
  if (!Filter) return out;
  for (const auto& p : Filter->Pins())
    if (p && p->Direction() == Direction) out.push_back(p);
  return out;
}

bool OffersType(const mg::Pin& Pin, const mg::GUID& MajorType, const mg::GUID* SubType) {
  for (mg::AM_MEDIA_TYPE mt : Pin.MediaTypes()) {
    const bool match = mt.majortype == MajorType && (!SubType || mt.subtype == *SubType);
    capture::DeleteMediaType(&mt);
    if (match) return true;
  }
  return false;
}

}  // namespace

String FilterNameOf(const std::shared_ptr<mg::BaseFilter>& Filter) { return Filter ? Filter->Name() : String(); }

std::shared_ptr<mg::Pin> FirstFreePin(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                                      int32_t Skip) {
  for (const auto& p : PinsOf(Filter, Direction))
    if (!p->IsConnected() && Skip-- == 0) return p;
  return nullptr;
}

mg::HRESULT FindPinByName(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                          const String& Name, std::shared_ptr<mg::Pin>& Pin, bool UnconnectedOnly, bool Contains) {
  Pin.reset();
  const String wanted = rtl::UpperCase(Name);
  for (const auto& p : PinsOf(Filter, Direction)) {
    if (UnconnectedOnly && p->IsConnected()) continue;
    const String name = rtl::UpperCase(p->Name());
    if (Contains ? name.find(wanted) != String::npos : name == wanted) {
      Pin = p;
      return mg::S_OK;
    }
  }
  return mg::E_FAIL;
}

bool FindPinByExactName(mg::PIN_DIRECTION Direction, const std::shared_ptr<mg::BaseFilter>& Filter,
                        const String& Name, std::shared_ptr<mg::Pin>& Pin, bool Contains) {
  Pin.reset();
  for (const auto& p : PinsOf(Filter, Direction))
    if (Contains ? p->Name().find(Name) != String::npos : p->Name() == Name) {
      Pin = p;
      return true;
    }
  return false;
}

String GetPinNames(mg::PIN_DIRECTION Direction, const std::shared_ptr<mg::BaseFilter>& Filter) {
  String out;
  for (const auto& p : PinsOf(Filter, Direction)) out += p->Name() + "\r\n";
  return out;
}

bool FindPinByIndex(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction, int32_t Index,
                    std::shared_ptr<mg::Pin>& Pin) {
  Pin.reset();
  const auto pins = PinsOf(Filter, Direction);
  if (Index < 0 || Index >= static_cast<int32_t>(pins.size())) return false;
  Pin = pins[Index];
  return true;
}

bool FindPinByMediaType(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                        const mg::GUID& MajorType, std::shared_ptr<mg::Pin>& Pin, const mg::GUID* SubType) {
  Pin.reset();
  for (const auto& p : PinsOf(Filter, Direction))
    if (OffersType(*p, MajorType, SubType)) {
      Pin = p;
      return true;
    }
  return false;
}

bool FindPinByConnectionType(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                             const mg::GUID& MajorType, std::shared_ptr<mg::Pin>& Pin, const mg::GUID* SubType) {
  Pin.reset();
  for (const auto& p : PinsOf(Filter, Direction)) {
    mg::AM_MEDIA_TYPE mt;
    if (p->ConnectionMediaType(&mt) != mg::S_OK) continue;
    const bool match = mt.majortype == MajorType && (!SubType || mt.subtype == *SubType);
    FreeMediaTypeContents(&mt);
    if (match) {
      Pin = p;
      return true;
    }
  }
  return false;
}

bool PinHasMediaType(const std::shared_ptr<mg::Pin>& Pin, const mg::GUID& MajorType,
                     const std::vector<mg::GUID>& SubTypes) {
  if (!Pin) return false;
  for (const mg::GUID& sub : SubTypes)
    if (OffersType(*Pin, MajorType, &sub)) return true;
  return false;
}

bool FindPinInGraph(const std::shared_ptr<mg::FilterGraph>& Graph, mg::PIN_DIRECTION Direction, bool Unconnected,
                    const String& FilterName, std::shared_ptr<mg::Pin>& Pin, const mg::GUID& MajorType) {
  Pin.reset();
  if (!Graph) return false;
  for (const auto& f : Graph->Filters()) {
    if (!FilterName.empty() && f->Name() != FilterName) continue;
    for (const auto& p : PinsOf(f, Direction))
      if (p->IsConnected() != Unconnected && OffersType(*p, MajorType, nullptr)) {
        Pin = p;
        return true;
      }
  }
  return false;
}

// ---- filters and graphs --------------------------------------------------------

String UniqueFilterName(const String& Prefix) {
  static std::mt19937 generator{std::random_device{}()};
  static rtl::TCriticalSection lock;
  std::uniform_int_distribution<int32_t> draw(0, 2147483646);
  lock.Enter();
  const int32_t n = draw(generator);
  lock.Leave();
  return Prefix + rtl::IntToStr(n);
}

void DisconnectAllPins(const std::shared_ptr<mg::BaseFilter>& Filter) {
  if (!Filter) return;
  for (const auto& p : Filter->Pins()) {
    if (auto peer = p->ConnectedTo()) peer->Disconnect();
    p->Disconnect();
  }
}

void RemoveAllFilters(TVcEngine& Engine) {
  const auto graph = Engine.FilterGraph;
  if (!graph) return;
  for (const auto& f : graph->Filters()) DisconnectAllPins(f);
  for (;;) {
    const auto filters = graph->Filters();
    if (filters.empty()) break;
    if (graph->RemoveFilter(filters.front()) < 0) break;
  }
}

void RemoveDownstream(const std::shared_ptr<mg::FilterGraph>& Graph, const std::shared_ptr<mg::Pin>& Pin,
                      bool FromPeer) {
  if (!Graph || !Pin) return;
  std::shared_ptr<mg::BaseFilter> start;
  if (FromPeer) {
    const auto peer = Pin->ConnectedTo();
    if (!peer) {
      Pin->Disconnect();
      return;
    }
    start = peer->Owner();
  } else {
    start = Pin->Owner();
  }
  if (start) {
    for (const auto& p : start->Pins()) {
      if (p->Direction() == mg::PINDIR_OUTPUT) {
        if (p->IsConnected()) RemoveDownstream(Graph, p, true);
        Graph->Disconnect(p);
      } else {
        Graph->Disconnect(p);
      }
    }
    Graph->RemoveFilter(start);
  }
  Pin->Disconnect();
}

bool SupportsMediaSeeking(const std::shared_ptr<mg::BaseFilter>& Filter) {
  return mg::QueryInterface<mg::IMediaSeeking>(Filter) != nullptr;
}

void DumpGraphTree(const std::shared_ptr<mg::BaseFilter>& Filter, int32_t Depth, rtl::TStringList& Names) {
  if (!Filter) return;
  Names.Add(Filter->Name());
  TraceLine(CF_DEFAULT, String(2 * Depth, ' ') + "." + Filter->Name());
  for (const auto& p : PinsOf(Filter, mg::PINDIR_OUTPUT))
    if (auto peer = p->ConnectedTo()) DumpGraphTree(peer->Owner(), Depth + 1, Names);
}

namespace {

// Walks the category and binds the first moniker Match accepts.
template <class M>
bool FindSystemFilter(const mg::GUID& Category, M Match, String& FriendlyName,
                      std::shared_ptr<mg::BaseFilter>& Filter) {
  Filter.reset();
  mg::SystemDeviceEnum devEnum;
  TraceYesNo(true, CF_GREY, "instance: create sys dev enum");
  mg::IEnumMoniker e;
  if (devEnum.CreateClassEnumerator(Category, &e, 0) != mg::S_OK) return false;
  std::shared_ptr<mg::Moniker> m;
  while (e.Next(m)) {
    if (!Match(*m)) continue;
    m->Properties().Read("FriendlyName", &FriendlyName);
    std::shared_ptr<mg::BaseFilter> f;
    if (m->BindToObject(&f) != mg::S_OK || !f) return false;
    Filter = f;
    return true;
  }
  return false;
}

}  // namespace

bool FindFilterByClass(const mg::GUID& Category, const mg::CLSID& ClassId, String& FriendlyName,
                       std::shared_ptr<mg::BaseFilter>& Filter) {
  const String wanted = ClassId.ToString();
  return FindSystemFilter(
      Category,
      [&](mg::Moniker& m) {
        String clsid;
        return m.Properties().Read("CLSID", &clsid) == mg::S_OK && clsid == wanted;
      },
      FriendlyName, Filter);
}

bool FindFilterByName(const mg::GUID& Category, const String& Name, String& FriendlyName,
                      std::shared_ptr<mg::BaseFilter>& Filter) {
  return FindSystemFilter(
      Category,
      [&](mg::Moniker& m) {
        String friendly;
        return m.Properties().Read("FriendlyName", &friendly) == mg::S_OK && friendly.find(Name) != String::npos;
      },
      FriendlyName, Filter);
}

namespace {

// Creates the filter and adds it to the engine's graph: 0 done, 1 not
// created (traced with the caller's name), 2 not added.
int CreateAndAdd(TVcEngine& Engine, const mg::CLSID& ClassId, const String& Name, const String& Caller,
                 std::shared_ptr<mg::BaseFilter>& Filter) {
  Filter.reset();
  std::shared_ptr<mg::BaseFilter> f;
  if (!CreateInstanceTraced(ClassId, f, Name)) {
    TraceLine(CF_RED, "ERROR: " + Caller + " cocreate instance failed on filter " + Name);
    return 1;
  }
  if (!Engine.AddFilterToGraph(f, Name)) return 2;
  Filter = f;
  return 0;
}

}  // namespace

bool AddFilterGetInput(TVcEngine& Engine, const mg::CLSID& ClassId, const String& Name,
                       std::shared_ptr<mg::BaseFilter>& Filter, std::shared_ptr<mg::Pin>& Input) {
  Input.reset();
  switch (CreateAndAdd(Engine, ClassId, Name, "AddFilterGetInput", Filter)) {
    case 0: break;
    case 2: TraceLine(CF_RED, "ERROR: AddFilterGetInput cannot add filter " + Name); return false;
    default: return false;
  }
  std::shared_ptr<mg::Pin> in;
  if (!Engine.CaptureGraphBuilder ||
      Engine.CaptureGraphBuilder->FindPin(Filter, mg::PINDIR_INPUT, nullptr, nullptr, 1, 0, &in) != mg::S_OK) {
    TraceLine(CF_RED, "ERROR: AddFilterGetInput cannot find input pin in filter " + Name);
    return false;
  }
  Input = in;
  TraceLine(CF_DEFAULT, "AddFilterGetInput ok: " + Name);
  return true;
}

bool AddFilterGetInput2Outputs(TVcEngine& Engine, const mg::CLSID& ClassId, const String& Name,
                               std::shared_ptr<mg::BaseFilter>& Filter, std::shared_ptr<mg::Pin>& Input,
                               std::shared_ptr<mg::Pin>& Output1, std::shared_ptr<mg::Pin>& Output2) {
  Input.reset();
  Output1.reset();
  Output2.reset();
  if (CreateAndAdd(Engine, ClassId, Name, "AddFilterGetInput2Outputs", Filter) != 0) return false;
  Input = FirstFreePin(Filter, mg::PINDIR_INPUT);
  if (!Input) {
    TraceLine(CF_RED, "ERROR: AddFilterGetInput2Outputs cannot find input pin in filter " + Name);
    return false;
  }
  Output1 = FirstFreePin(Filter, mg::PINDIR_OUTPUT);
  if (!Output1) {
    TraceLine(CF_RED, "ERROR: AddFilterGetInput2Outputs cannot find output pin #1 in filter " + Name);
    return false;
  }
  Output2 = FirstFreePin(Filter, mg::PINDIR_OUTPUT, 1);
  if (!Output2) {
    TraceLine(CF_RED, "ERROR: AddFilterGetInput2Outputs cannot find output pin #2 in filter " + Name);
    return false;
  }
  return true;
}

bool InsertFilter(TVcEngine& Engine, const mg::CLSID& ClassId, std::shared_ptr<mg::Pin>& Pin,
                  std::shared_ptr<mg::BaseFilter>& Filter, const String& Name) {
  if (!Pin) return false;
  std::shared_ptr<mg::Pin> input;
  if (!AddFilterGetInput(Engine, ClassId, Name, Filter, input)) {
    // A filter added without an input is of no use in the chain.
    if (Filter && Engine.FilterGraph) Engine.FilterGraph->RemoveFilter(Filter);
    Filter.reset();
    return false;
  }
  if (Engine.ConnectPins(Pin, input)) {
    Pin.reset();
    return true;
  }
  Engine.FilterGraph->RemoveFilter(Filter);
  Filter.reset();
  TraceLine(CF_RED, "ERROR: InsertFilter cannot connect " + Name);
  return false;
}

bool InsertExistingFilter(TVcEngine& Engine, const std::shared_ptr<mg::BaseFilter>& Filter,
                          std::shared_ptr<mg::Pin>& Pin) {
  if (!Pin || !Filter) return false;
  const String name = Filter->Name();
  const auto input = FirstFreePin(Filter, mg::PINDIR_INPUT);
  if (!input) {
    TraceLine(CF_RED, "ERROR: InsertExistingFilter cannot find input pin  on " + name);
    return false;
  }
  const auto output = FirstFreePin(Filter, mg::PINDIR_OUTPUT);
  if (!output) {
    TraceLine(CF_RED, "ERROR: InsertExistingFilter cannot find output pin on " + name);
    return false;
  }
  if (!Engine.ConnectPins(Pin, input)) return false;
  TraceLine(CF_DEFAULT, "InsertExistingFilter inserted  " + name);
  Pin = output;
  return Pin != nullptr;
}

bool RenderAudioPin(TVcEngine& Engine, std::shared_ptr<mg::Pin>& Pin, const String& Name) {
  if (!Pin) return false;
  std::shared_ptr<mg::BaseFilter> renderer;
  std::shared_ptr<mg::Pin> input;
  if (AddFilterGetInput(Engine, mg::CLSID_AudioRender, Name, renderer, input) && Engine.ConnectPins(Pin, input)) {
    Pin.reset();
    return true;
  }
  if (renderer && Engine.FilterGraph) Engine.FilterGraph->RemoveFilter(renderer);
  return false;
}

// ---- text lists -----------------------------------------------------------------

int32_t IndexOfLine(const String& Text, const String& Name) {
  const int32_t n = LineCount(Text);
  for (int32_t i = 0; i < n; ++i)
    if (rtl::SameText(GetLine(Text, i), Name)) return i;
  return -1;
}

String GetLineAt(const String& Text, int32_t Index) { return GetLine(Text, Index); }

void MoveToTop(rtl::TStringList& List, const String& Item) {
  const int32_t i = List.IndexOf(Item);
  if (i <= 0) return;
  List.Insert(0, Item);
  List.Delete(i + 1);
}

int32_t LookUpPair(const int32_t* Pairs, int32_t Count, int32_t Key) {
  for (int32_t i = 0; Pairs && i < Count; ++i)
    if (Pairs[2 * i] == Key) return Pairs[2 * i + 1];
  return -1;
}

}  // namespace capture
