#include "capture/VcLog.h"

#include <atomic>
#include <mutex>

#include "capture/VcEngine.h"
#include "capture/VidCap.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Format.h"

namespace capture {

namespace {

std::atomic<bool> traceOn{false};
std::unique_ptr<TLog> traceLog;
// Guards the creation of the document, so that two first lines from two
// threads cannot make two documents.
std::mutex creationMutex;

const char* const kHeader[] = {
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}}",
    "{\\colortbl ;\\red128\\green128\\blue128;\\red0\\green0\\blue255;\\red0\\green128\\blue0;\\red255\\green0"
    "\\blue0;\\red128\\green0\\blue128;\\red255\\green255\\blue0;}",
    "\\viewkind4\\uc1\\pard\\b\\f0\\fs20",
};

const String kOpening = String("BEGIN TVidCap v") + kVidCapVersion + " process log";
const String kClosing = String("END TVidCap v") + kVidCapVersion + " process log";

void AppendLocked(TLog& log, const String& Separator, const String& Colour, String Text) {
  const uint32_t previous = log.LastTick;
  const uint32_t now = rtl::GetTickCount();
  log.LastTick = now;
  if (previous != 0) Text = rtl::FormatFloat("0.000", (now - previous) / 1000.0) + " " + Text;
  rtl::TStringList& lines = log.Lines();
  if (!Separator.empty()) {
    const String rule = String(CF_YELLOW) + String(70, Separator[0]) + "\\par";
    lines.Add("\\par");
    lines.Add(rule);
    lines.Add(Colour + Text + "\\par");
    lines.Add(rule);
    lines.Add("\\par");
  } else {
    lines.Add(Colour + Text + "\\par");
  }
  SaveTrace();
}

// The document, made with its header and opening block when missing.
TLog& Document() {
  std::lock_guard<std::mutex> guard(creationMutex);
  if (!traceLog) {
    traceLog = std::make_unique<TLog>();
    for (const char* line : kHeader) traceLog->Lines().Add(line);
    std::lock_guard<rtl::TCriticalSection> lock(traceLog->Lock);
    AppendLocked(*traceLog, "=", CF_DEFAULT, kOpening);
  }
  return *traceLog;
}

}  // namespace

TLog::TLog() = default;

bool TraceOn() { return traceOn.load(); }
void SetTraceOn() { traceOn.store(true); }
TLog* TraceLog() { return traceLog.get(); }

void TraceLine(const String& Separator, const String& Colour, const String& Text) {
  if (!TraceOn()) return;
  TLog& log = Document();
  std::lock_guard<rtl::TCriticalSection> lock(log.Lock);
  AppendLocked(log, Separator, Colour, Text);
}

bool TraceYesNo(bool Flag, const String& Colour, const String& Text) {
  TraceLine(Colour, Text + (Flag ? ": YES" : ": no"));
  return Flag;
}

bool SaveTrace() {
  TLog* log = traceLog.get();
  if (!log) return false;
  std::lock_guard<rtl::TCriticalSection> lock(log->Lock);
  rtl::TStringList& lines = log->Lines();
  lines.Add("}");
  bool ok = true;
  try {
    lines.SaveToFile(kTraceFileName);
  } catch (...) {
    ok = false;
  }
  lines.Delete(lines.Count() - 1);
  return ok;
}

void TraceClosingBlock() { TraceLine("=", CF_DEFAULT, kClosing); }

void FreeTraceLog() {
  std::lock_guard<std::mutex> guard(creationMutex);
  traceLog.reset();
}

void ResetTraceForTests() {
  FreeTraceLog();
  traceOn.store(false);
}

bool TVcEngine::Report(mg::HRESULT Hr, int32_t Severity, const String& Msg, TLogType LogType) {
  if (!Owner || !Initialized) return false;
  const bool success = Hr >= 0;
  String severityText;
  if (!success) severityText = Severity == SEV_INFO ? "INFO" : Severity == SEV_WARNING ? "WARNING" : "ERROR";
  if (TraceOn()) {
    const char* colour = success || Severity == SEV_INFO ? CF_DEFAULT : CF_RED;
    TraceLine(colour, rtl::IntToStr(static_cast<int32_t>(LogType)) + " " + severityText + ": " + Msg);
  }
  if (!success && Severity >= SEV_INFO && Severity <= SEV_ERROR && CanRaiseEvent(Owner->OnLog)) {
    Owner->OnLog(Owner, LogType, severityText, Msg);
  }
  return success;
}

bool TVcEngine::ReportIf(bool Failed, int32_t Severity, const String& Msg, TLogType LogType) {
  return !Report(Failed ? mg::E_FAIL : mg::S_OK, Severity, Msg, LogType);
}

}  // namespace capture
