#include "platform/rtl/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"

namespace rtl {

namespace {

// The profile functions hand back at most this many characters of a value.
constexpr size_t kMaxProfileValue = 2047;

mode_t CurrentUmask() {
  // umask() can only be read by setting it, which would race with other
  // threads creating files; the kernel reports it here instead.
  if (FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
      if (std::strncmp(line, "Umask:", 6) == 0) {
        std::fclose(f);
        return static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
      }
    }
    std::fclose(f);
  }
  return 022;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Reads the whole file; false with errno set when it cannot be opened or read.
bool ReadWholeFile(int fd, std::string& out) {
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out.append(buf, static_cast<size_t>(n));
  }
}

// A value line cannot hold a line break: each one becomes a blank.
String JoinLines(const String& value) {
  String out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool EnclosedInQuotes(const String& v) { return v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front(); }

// What the profile functions make of the text after "=".
String ProfileValue(const String& raw) {
  String v = Trim(raw);
  if (EnclosedInQuotes(v)) v = v.substr(1, v.size() - 2);
  if (v.size() > kMaxProfileValue) v.resize(kMaxProfileValue);
  return v;
}

// The text to put after "=" so that ProfileValue gives `value` back.
String ProfileText(const String& value) {
  String v = JoinLines(value);
  if (v.empty()) return v;
  bool blankEnds = static_cast<unsigned char>(v.front()) <= ' ' || static_cast<unsigned char>(v.back()) <= ' ';
  if (blankEnds || EnclosedInQuotes(v)) return '"' + v + '"';
  return v;
}

}  // namespace

namespace detail {

int ReplaceFileContents(const String& fileName, std::string_view bytes, mode_t mode, bool durable) {
  String target = fileName;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  bool exists = ::stat(target.c_str(), &st) == 0;
  mode_t fileMode = mode != 0 ? mode : exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());

  auto slash = target.rfind('/');
  String dir = slash == String::npos ? String(".") : target.substr(0, slash == 0 ? 1 : slash);
  String base = slash == String::npos ? target : target.substr(slash + 1);
  String temp = (dir == "/" ? String() : dir) + "/." + base + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  int err = 0;
  if (!WriteAll(fd, bytes) || ::fchmod(fd, fileMode) != 0 || (durable && ::fsync(fd) != 0)) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    return err;
  }
  if (!durable) return 0;
  // The rename itself is durable only once the folder is.
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return 0;
}

// The lines of an INI file with what each one is.
class IniDocument {
public:
  // With profile rules values lose one pair of quotes and are cut at 2047
  // characters, and writes quote a value that would not read back.
  explicit IniDocument(bool profileRules) : profileRules_(profileRules) {}

  void Parse(const String& text) {
    lines_.clear();
    lineBreak_ = "\n";
    auto firstBreak = text.find_first_of("\r\n");
    if (firstBreak != String::npos && text[firstBreak] == '\r' && firstBreak + 1 < text.size() &&
        text[firstBreak + 1] == '\n')
      lineBreak_ = "\r\n";
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c != '\r' && c != '\n') continue;
      lines_.push_back(MakeLine(text.substr(start, i - start)));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    if (start < text.size()) lines_.push_back(MakeLine(text.substr(start)));
  }

  String Compose() const {
    String out;
    for (const Line& l : lines_) out += l.raw + lineBreak_;
    return out;
  }

  void SetLines(const TStrings& strings) {
    lines_.clear();
    for (int32_t i = 0; i < strings.Count(); ++i) lines_.push_back(MakeLine(strings.Get(i)));
  }

  void GetLines(TStrings& strings) const {
    strings.BeginUpdate();
    try {
      strings.Clear();
      for (const Line& l : lines_) strings.Add(l.raw);
    } catch (...) {
      strings.EndUpdate();
      throw;
    }
    strings.EndUpdate();
  }

  void Clear() { lines_.clear(); }

  bool Lookup(const String& section, const String& key, String& value) const {
    auto [begin, end] = SectionRange(section);
    for (size_t i = begin; i < end; ++i) {
      if (lines_[i].kind == Kind::Key && AnsiSameText(lines_[i].name, key)) {
        value = profileRules_ ? ProfileValue(lines_[i].value) : Trim(lines_[i].value);
        return true;
      }
    }
    return false;
  }

  bool HasSection(const String& section) const { return FindSection(section) != npos; }

  std::vector<String> Keys(const String& section) const {
    std::vector<String> keys;
    auto [begin, end] = SectionRange(section);
    for (size_t i = begin; i < end; ++i) {
      if (lines_[i].kind != Kind::Key) continue;
      bool seen = false;
      for (const String& k : keys) seen = seen || AnsiSameText(k, lines_[i].name);
      if (!seen) keys.push_back(lines_[i].name);
    }
    return keys;
  }

  std::vector<String> Sections() const {
    std::vector<String> names;
    for (const Line& l : lines_) {
      if (l.kind != Kind::Section) continue;
      bool seen = false;
      for (const String& n : names) seen = seen || AnsiSameText(n, l.name);
      if (!seen) names.push_back(l.name);
    }
    return names;
  }

  void Write(const String& section, const String& key, const String& value) {
    String text = profileRules_ ? ProfileText(value) : JoinLines(value);
    String sectionName = JoinLines(section);
    String keyName = JoinLines(key);
    size_t header = FindSection(sectionName);
    if (header == npos) {
      if (!lines_.empty() && !Trim(lines_.back().raw).empty()) lines_.push_back(MakeLine(String()));
      lines_.push_back(MakeLine('[' + sectionName + ']'));
      lines_.push_back(MakeLine(keyName + '=' + text));
      return;
    }
    size_t end = SectionEnd(header);
    size_t insertAt = header + 1;
    for (size_t i = header + 1; i < end; ++i) {
      if (lines_[i].kind != Kind::Key) continue;
      if (AnsiSameText(lines_[i].name, keyName)) {
        lines_[i] = MakeLine(lines_[i].name + '=' + text);
        return;
      }
      insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), MakeLine(keyName + '=' + text));
  }

  bool EraseSection(const String& section) {
    size_t header = FindSection(section);
    if (header == npos) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    return true;
  }

  bool DeleteKey(const String& section, const String& key) {
    auto [begin, end] = SectionRange(section);
    for (size_t i = begin; i < end; ++i) {
      if (lines_[i].kind == Kind::Key && AnsiSameText(lines_[i].name, key)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
      }
    }
    return false;
  }

private:
  static constexpr size_t npos = static_cast<size_t>(-1);
  enum class Kind { Other, Section, Key };
  struct Line {
    String raw;
    Kind kind = Kind::Other;
    String name;
    String value;  // the text after "=", untrimmed
  };

  static Line MakeLine(String raw) {
    Line l;
    l.raw = std::move(raw);
    String t = TrimLeft(l.raw);
    if (t.empty() || t[0] == ';') return l;
    if (t[0] == '[') {
      auto close = t.find(']');
      l.kind = Kind::Section;
      l.name = Trim(close == String::npos ? t.substr(1) : t.substr(1, close - 1));
      return l;
    }
    auto eq = t.find('=');
    l.name = Trim(eq == String::npos ? t : t.substr(0, eq));
    if (l.name.empty()) return l;  // "=value" names nothing
    l.kind = Kind::Key;
    if (eq != String::npos) l.value = t.substr(eq + 1);
    return l;
  }

  size_t FindSection(const String& section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].kind == Kind::Section && AnsiSameText(lines_[i].name, section)) return i;
    return npos;
  }

  size_t SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
    return i;
  }

  // The lines below the section's header, empty when there is no section.
  std::pair<size_t, size_t> SectionRange(const String& section) const {
    size_t header = FindSection(section);
    if (header == npos) return {0, 0};
    return {header + 1, SectionEnd(header)};
  }

  bool profileRules_;
  std::vector<Line> lines_;
  String lineBreak_ = "\n";
};

}  // namespace detail

namespace {

[[noreturn]] void WriteError(const String& fileName) {
  throw EIniFileException("Unable to write to " + fileName);
}

void FillStrings(TStrings& strings, const std::vector<String>& items) {
  strings.BeginUpdate();
  try {
    strings.Clear();
    for (const String& s : items) strings.Add(s);
  } catch (...) {
    strings.EndUpdate();
    throw;
  }
  strings.EndUpdate();
}

// Loads a TMemIniFile's file: a missing or unreadable file is an empty one.
void LoadDocument(const String& fileName, detail::IniDocument& doc) {
  doc.Clear();
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::string bytes;
  bool ok = ReadWholeFile(fd, bytes);
  ::close(fd);
  if (ok) doc.Parse(TextFileBytesToString(bytes));
}

}  // namespace

// ------------------------------------------------------------ TCustomIniFile

int32_t TCustomIniFile::ReadInteger(const String& Section, const String& Ident, int32_t Default) const {
  String text = ReadString(Section, Ident, String());
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text = '$' + text.substr(2);
  return StrToIntDef(text, Default);
}

void TCustomIniFile::WriteInteger(const String& Section, const String& Ident, int32_t Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

bool TCustomIniFile::ReadBool(const String& Section, const String& Ident, bool Default) const {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const String& Section, const String& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

double TCustomIniFile::ReadFloat(const String& Section, const String& Ident, double Default) const {
  String text = ReadString(Section, Ident, String());
  double value = Default;
  if (text.empty() || !TryStrToFloat(text, value)) return Default;
  return value;
}

void TCustomIniFile::WriteFloat(const String& Section, const String& Ident, double Value) {
  WriteString(Section, Ident, FloatToStr(Value));
}

bool TCustomIniFile::SectionExists(const String& Section) const {
  TStringList keys;
  ReadSection(Section, keys);
  return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const String& Section, const String& Ident) const {
  TStringList keys;
  ReadSection(Section, keys);
  return keys.IndexOf(Ident) >= 0;
}

// ------------------------------------------------------------------ TIniFile

struct TIniFile::Cache {
  std::mutex mutex;  // one object may serve several threads
  std::string bytes;  // what `doc` was parsed from
  uint32_t codePage = 0;  // and under which ANSI code page
  bool valid = false;
  int readError = 0;  // errno of a file that exists but cannot be read
  detail::IniDocument doc{true};
};

TIniFile::TIniFile(const String& fileName, mode_t mode)
    : TCustomIniFile(fileName), mode_(mode), cache_(std::make_unique<Cache>()) {}

TIniFile::~TIniFile() = default;

// The document as the file holds it now. The file is read on every call and
// parsed again only when its bytes differ from the copy last parsed, so any
// change by any writer is seen, however quickly it followed the last one.
const detail::IniDocument& TIniFile::Current() const {
  std::string bytes;
  int fd = ::open(FileName().c_str(), O_RDONLY | O_CLOEXEC);
  cache_->readError = fd < 0 && errno != ENOENT ? errno : 0;
  if (fd >= 0) {
    if (!ReadWholeFile(fd, bytes)) {
      cache_->readError = errno;
      bytes.clear();
    }
    ::close(fd);
  }
  if (cache_->valid && cache_->bytes == bytes && cache_->codePage == GetAnsiCodePage()) return cache_->doc;
  cache_->doc.Parse(TextFileBytesToString(bytes));
  cache_->bytes = std::move(bytes);
  cache_->codePage = GetAnsiCodePage();
  cache_->valid = true;
  return cache_->doc;
}

template <typename Edit>
void TIniFile::Change(Edit edit) {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  detail::IniDocument doc = Current();
  // Rewriting a file we could not read would throw its contents away.
  if (cache_->readError != 0) WriteError(FileName());
  if (!edit(doc)) return;
  std::string bytes = StringToTextFileBytes(doc.Compose());
  if (detail::ReplaceFileContents(FileName(), bytes, mode_) != 0) WriteError(FileName());
}

String TIniFile::ReadString(const String& Section, const String& Ident, const String& Default) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  String value;
  return Current().Lookup(Section, Ident, value) ? value : Default;
}

void TIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  Change([&](detail::IniDocument& doc) {
    doc.Write(Section, Ident, Value);
    return true;
  });
}

void TIniFile::ReadSection(const String& Section, TStrings& Strings) const {
  std::vector<String> keys;
  {
    std::lock_guard<std::mutex> guard(cache_->mutex);
    keys = Current().Keys(Section);
  }
  FillStrings(Strings, keys);
}

void TIniFile::ReadSections(TStrings& Strings) const {
  std::vector<String> sections;
  {
    std::lock_guard<std::mutex> guard(cache_->mutex);
    sections = Current().Sections();
  }
  FillStrings(Strings, sections);
}

void TIniFile::ReadSectionValues(const String& Section, TStrings& Strings) const {
  std::vector<String> lines;
  {
    std::lock_guard<std::mutex> guard(cache_->mutex);
    const detail::IniDocument& doc = Current();
    for (const String& key : doc.Keys(Section)) {
      String value;
      doc.Lookup(Section, key, value);
      lines.push_back(key + '=' + value);
    }
  }
  FillStrings(Strings, lines);
}

void TIniFile::EraseSection(const String& Section) {
  Change([&](detail::IniDocument& doc) { return doc.EraseSection(Section); });
}

void TIniFile::DeleteKey(const String& Section, const String& Ident) {
  Change([&](detail::IniDocument& doc) { return doc.DeleteKey(Section, Ident); });
}

bool TIniFile::SectionExists(const String& Section) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  return !Current().Keys(Section).empty();
}

// --------------------------------------------------------------- TMemIniFile

TMemIniFile::TMemIniFile(const String& fileName, mode_t mode)
    : TCustomIniFile(fileName), mode_(mode), doc_(std::make_unique<detail::IniDocument>(false)) {
  LoadDocument(fileName, *doc_);
}

TMemIniFile::~TMemIniFile() = default;

String TMemIniFile::ReadString(const String& Section, const String& Ident, const String& Default) const {
  String value;
  return doc_->Lookup(Section, Ident, value) ? value : Default;
}

void TMemIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  doc_->Write(Section, Ident, Value);
}

void TMemIniFile::ReadSection(const String& Section, TStrings& Strings) const {
  FillStrings(Strings, doc_->Keys(Section));
}

void TMemIniFile::ReadSections(TStrings& Strings) const { FillStrings(Strings, doc_->Sections()); }

void TMemIniFile::ReadSectionValues(const String& Section, TStrings& Strings) const {
  std::vector<String> lines;
  for (const String& key : doc_->Keys(Section)) {
    String value;
    doc_->Lookup(Section, key, value);
    lines.push_back(key + '=' + value);
  }
  FillStrings(Strings, lines);
}

void TMemIniFile::EraseSection(const String& Section) { doc_->EraseSection(Section); }

void TMemIniFile::DeleteKey(const String& Section, const String& Ident) { doc_->DeleteKey(Section, Ident); }

void TMemIniFile::UpdateFile() {
  std::string bytes = StringToTextFileBytes(doc_->Compose());
  if (detail::ReplaceFileContents(FileName(), bytes, mode_) != 0) WriteError(FileName());
}

bool TMemIniFile::SectionExists(const String& Section) const { return doc_->HasSection(Section); }

void TMemIniFile::GetStrings(TStrings& Strings) const { doc_->GetLines(Strings); }

void TMemIniFile::SetStrings(const TStrings& Strings) { doc_->SetLines(Strings); }

void TMemIniFile::Clear() { doc_->Clear(); }

void TMemIniFile::Rename(const String& fileName, bool reload) {
  SetFileName(fileName);
  if (reload) LoadDocument(fileName, *doc_);
}

}  // namespace rtl
