#pragma once
// The common chores of building graphs, over the media graph's own
// interfaces: naming filters, finding pins, comparing identifiers, adding
// a filter with its pins, inserting a filter into a chain, taking a chain
// down and tracing a graph. None of it keeps state; every failure comes
// back as the result (and, where noted, as a trace line), nothing throws.
#include <cstdint>
#include <memory>

#include "capture/VcTypes.h"
#include "platform/mg/Filter.h"
#include "platform/mg/Graph.h"
#include "platform/rtl/StringList.h"

namespace capture {

class TVcEngine;

// ---- media types and identifiers --------------------------------------------
void FreeMediaTypeContents(mg::AM_MEDIA_TYPE* MediaType);
void DeleteMediaType(mg::AM_MEDIA_TYPE* MediaType);
// The trimmed text in the 38-character braced form; the null identifier
// for any other length or a text that does not parse.
void GuidFromText(const String& Text, mg::GUID& Guid);
bool SameGuid(const mg::GUID& A, const mg::GUID& B);
void CopyGuid(mg::GUID& Dest, const mg::GUID& Source);
void ClearGuid(mg::GUID& Dest);
// The display name of a video subtype given as braced text ("RGB24",
// "YUY2", "MPEG2"...); empty for a text that is not a subtype identifier.
String SubtypeName(const String& GuidText);
// The name an entry of the subtype list is shown by: the subtype name of
// an identifier, else the entry itself (a format name), trimmed.
String SubtypeEntryName(const String& Entry);
int32_t FourCCOf(const mg::GUID& Guid);
String FourCCText(int32_t Code);
int32_t ScreenColorDepth();

// ---- pins -----------------------------------------------------------------------
mg::HRESULT FindPinByName(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                          const String& Name, std::shared_ptr<mg::Pin>& Pin, bool UnconnectedOnly, bool Contains);
bool FindPinByExactName(mg::PIN_DIRECTION Direction, const std::shared_ptr<mg::BaseFilter>& Filter,
                        const String& Name, std::shared_ptr<mg::Pin>& Pin, bool Contains);
// The names of the filter's pins of that direction, one a line.
String GetPinNames(mg::PIN_DIRECTION Direction, const std::shared_ptr<mg::BaseFilter>& Filter);
bool FindPinByIndex(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction, int32_t Index,
                    std::shared_ptr<mg::Pin>& Pin);
// SubType null: any subtype of the major type.
bool FindPinByMediaType(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                        const mg::GUID& MajorType, std::shared_ptr<mg::Pin>& Pin, const mg::GUID* SubType = nullptr);
bool FindPinByConnectionType(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                             const mg::GUID& MajorType, std::shared_ptr<mg::Pin>& Pin,
                             const mg::GUID* SubType = nullptr);
bool PinHasMediaType(const std::shared_ptr<mg::Pin>& Pin, const mg::GUID& MajorType,
                     const std::vector<mg::GUID>& SubTypes);
bool FindPinInGraph(const std::shared_ptr<mg::FilterGraph>& Graph, mg::PIN_DIRECTION Direction, bool Unconnected,
                    const String& FilterName, std::shared_ptr<mg::Pin>& Pin, const mg::GUID& MajorType);
// The first unconnected pin of that direction, or null.
std::shared_ptr<mg::Pin> FirstFreePin(const std::shared_ptr<mg::BaseFilter>& Filter, mg::PIN_DIRECTION Direction,
                                      int32_t Skip = 0);
// The name of a pin's owning filter ("" for none).
String FilterNameOf(const std::shared_ptr<mg::BaseFilter>& Filter);

// ---- filters and graphs ---------------------------------------------------------
// Prefix followed by a random number 0..2147483646, so two filters of one
// class get different names in one graph.
String UniqueFilterName(const String& Prefix);
void DisconnectAllPins(const std::shared_ptr<mg::BaseFilter>& Filter);
void RemoveAllFilters(TVcEngine& Engine);
void RemoveDownstream(const std::shared_ptr<mg::FilterGraph>& Graph, const std::shared_ptr<mg::Pin>& Pin,
                      bool FromPeer);
bool SupportsMediaSeeking(const std::shared_ptr<mg::BaseFilter>& Filter);
// Adds the filter's name to Names and traces it indented by Depth, then
// follows every connected output pin one level deeper.
void DumpGraphTree(const std::shared_ptr<mg::BaseFilter>& Filter, int32_t Depth, rtl::TStringList& Names);
bool FindFilterByClass(const mg::GUID& Category, const mg::CLSID& ClassId, String& FriendlyName,
                       std::shared_ptr<mg::BaseFilter>& Filter);
bool FindFilterByName(const mg::GUID& Category, const String& Name, String& FriendlyName,
                      std::shared_ptr<mg::BaseFilter>& Filter);
bool AddFilterGetInput(TVcEngine& Engine, const mg::CLSID& ClassId, const String& Name,
                       std::shared_ptr<mg::BaseFilter>& Filter, std::shared_ptr<mg::Pin>& Input);
bool AddFilterGetInput2Outputs(TVcEngine& Engine, const mg::CLSID& ClassId, const String& Name,
                               std::shared_ptr<mg::BaseFilter>& Filter, std::shared_ptr<mg::Pin>& Input,
                               std::shared_ptr<mg::Pin>& Output1, std::shared_ptr<mg::Pin>& Output2);
// Pin is emptied when it was connected to the new filter.
bool InsertFilter(TVcEngine& Engine, const mg::CLSID& ClassId, std::shared_ptr<mg::Pin>& Pin,
                  std::shared_ptr<mg::BaseFilter>& Filter, const String& Name);
// Pin becomes the filter's output, so the caller goes on from there.
bool InsertExistingFilter(TVcEngine& Engine, const std::shared_ptr<mg::BaseFilter>& Filter,
                          std::shared_ptr<mg::Pin>& Pin);
bool RenderAudioPin(TVcEngine& Engine, std::shared_ptr<mg::Pin>& Pin, const String& Name);

// ---- text lists -----------------------------------------------------------------
int32_t IndexOfLine(const String& Text, const String& Name);
String GetLineAt(const String& Text, int32_t Index);
void MoveToTop(rtl::TStringList& List, const String& Item);

// The value of the first (key, value) pair whose key is Key; -1 when none.
int32_t LookUpPair(const int32_t* Pairs, int32_t Count, int32_t Key);

}  // namespace capture
