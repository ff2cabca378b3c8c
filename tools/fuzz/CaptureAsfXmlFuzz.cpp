// libFuzzer driver for the ASF profile XML, which comes from files the
// user can edit: the capture component's tokenizer, stream selection,
// value rewriting and generator, and the media runtime's profile reader.
// The first byte chooses which streams to keep; the rest is the text.
// Whatever the bytes, nothing may crash or over-read, and a profile the
// reader accepts must read back the same after it is written out.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "capture/VcAsfXml.h"
#include "platform/mg/WmProfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool video = data[0] & 1, audio = data[0] & 2;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  capture::TASFXML xml;
  xml.Parse(text);
  if (xml.SelectStreams(video, audio)) {
    xml.SetValue("BitRate", "128000", 2);
    xml.SetValue("biwidth", "320", 1);
    xml.SetValue("right", "320", 1);
  }
  if (xml.Generate()) {
    const std::string out = xml.GetText();
    capture::TXML again;
    again.Parse(out);
    again.Generate();
    mg::wm::ProfileSettings edited;
    mg::wm::ProfileFromXml(out, edited);
  }

  mg::wm::ProfileSettings p;
  if (mg::wm::ProfileFromXml(text, p)) {
    mg::wm::ProfileSettings back;
    if (!mg::wm::ProfileFromXml(mg::wm::ProfileToXml(p), back)) std::abort();
    back.name = p.name;
    back.description = p.description;
    if (!(back == p)) std::abort();
  }
  return 0;
}
