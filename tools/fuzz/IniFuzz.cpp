// libFuzzer driver for the INI readers and the language file: the bytes are
// a file that the settings-file classes read whole and line by line or, when
// the first byte is odd, a language file whose texts are used as format
// patterns with the arguments the program passes. (The language loader reads
// the file once per text, so it gets its own half of the runs to keep the
// settings-file half fast.) Whatever the bytes, nothing may crash or
// over-read.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "app/ResStr.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/StringList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool language = data[0] & 1;
  ++data;
  --size;
  const int fd = ::memfd_create("ini", 0);
  if (fd < 0) return 0;
  if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (language) {
    app::LoadLanguage(path);
    for (const app::TLanguageText& row : app::LanguageTexts())
      (void)app::FormatLanguageText(*row.Text, {1, "name", 2.5});
    app::RestoreEnglishTexts();
    ::close(fd);
    return 0;
  }
  try {
    rtl::TMemIniFile mem(path);
    rtl::TStringList sections, values;
    mem.ReadSections(sections);
    for (int32_t i = 0; i < sections.Count() && i < 16; ++i) {
      mem.ReadSectionValues(sections.Strings(i), values);
      mem.ReadSection(sections.Strings(i), values);
      (void)mem.ReadInteger(sections.Strings(i), "Width", 0);
      (void)mem.ReadFloat(sections.Strings(i), "Rate", 0.0);
    }
    rtl::TIniFile file(path);
    file.ReadSections(sections);
    if (sections.Count() > 0) {
      file.ReadSectionValues(sections.Strings(0), values);
      (void)file.ReadBool(sections.Strings(0), "Enabled", false);
    }
  } catch (const std::exception&) {
  }
  ::close(fd);
  return 0;
}
