#pragma once
// The trace: one process-wide RTF document, shared by every capture
// control, rewritten to "vidcaplog.rtf" after each line so that the file on
// disk is always complete. It is a debugging aid, off until a property
// switches it on, and never off again.
#include <cstdint>
#include <memory>

#include "capture/VcTypes.h"
#include "platform/mg/Devices.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Threads.h"

namespace capture {

class TLog {
public:
  TLog();
  rtl::TStringList& Lines() { return lines_; }
  uint32_t LastTick = 0;
  rtl::TCriticalSection Lock;

private:
  rtl::TStringList lines_;
};

// Colours of the trace's colour table.
inline constexpr const char* CF_DEFAULT = "\\cf0 ";
inline constexpr const char* CF_GREY = "\\cf1 ";
inline constexpr const char* CF_BLUE = "\\cf2 ";
inline constexpr const char* CF_GREEN = "\\cf3 ";
inline constexpr const char* CF_RED = "\\cf4 ";
inline constexpr const char* CF_PURPLE = "\\cf5 ";
inline constexpr const char* CF_YELLOW = "\\cf6 ";

inline constexpr const char* kTraceFileName = "vidcaplog.rtf";

bool TraceOn();
void SetTraceOn();
// The document, null until the first line after the trace was switched on.
TLog* TraceLog();

// Appends one entry (a framed block when Separator is not empty).
void TraceLine(const String& Separator, const String& Colour, const String& Text);
inline void TraceLine(const String& Colour, const String& Text) { TraceLine(String(), Colour, Text); }
// Traces Text + ": YES" or ": no" and answers Flag.
bool TraceYesNo(bool Flag, const String& Colour, const String& Text);
// Writes the document with its closing brace; false when it could not.
bool SaveTrace();
// The closing block, written when the device manager ends.
void TraceClosingBlock();
// Frees the document (module end); the trace switch stays as it is.
void FreeTraceLog();

// Creates a filter by class id and traces "instance: " + Name; true only
// when the creation answered S_OK.
template <class I>
bool CreateInstanceTraced(const mg::CLSID& Clsid, std::shared_ptr<I>& Obj, const String& Name) {
  const mg::HRESULT hr = mg::ClassFactory::CreateInstance<I>(Clsid, &Obj);
  return TraceYesNo(hr == mg::S_OK, CF_GREY, "instance: " + Name);
}

// For tests: forgets the document and switches the trace off.
void ResetTraceForTests();

}  // namespace capture
