#pragma once
// INI files: "[Section]" header lines and "Key=Value" lines, section and key
// names matched ignoring case, the first match winning.
//
// TIniFile works on the file itself, as the platform's profile functions do:
// every read sees the file as it is now (another writer's change included)
// and every write lands in the file before the call returns. One TIniFile
// may be used by several threads at once. TMemIniFile
// reads the file once, works in memory and writes only on UpdateFile.
//
// Both keep the lines they do not change (comments starting with ';', blank
// lines, lines of unknown form) and the file's CR LF or LF line breaks; new
// files get LF. A write replaces the file through a temporary file in the
// same folder that is flushed to disk and then renamed over it, so a reader
// or a crash sees the old file or the new one, never a half-written one. The
// file mode is kept across rewrites; a mode given to the constructor (0600
// for a file holding passwords) is applied on every write. Files are read as
// UTF-8 (Windows-1252 when they are not valid UTF-8) and written as UTF-8.
//
// Reading a value strips the blanks around it and, in TIniFile, one pair of
// matching single or double quotes around it, as the profile functions do;
// TIniFile values are cut at 2047 characters. Writing mends two ways the
// profile functions lose data: a value that would not read back as written
// (blanks at either end, or enclosed in quotes) is written inside double
// quotes, and the line breaks of a multi-line value are each replaced by one
// blank, since a raw line break would end the value and turn the rest into
// stray lines of the file.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/rtl/Types.h"

namespace rtl {

class TStrings;

namespace detail {
class IniDocument;

// Replaces the file's contents as a whole: a temporary file in the same
// folder, then renamed over the file (a link is followed to the file it
// names). With `durable` the file and the folder are flushed to disk before
// the call returns; without, a crash of the program still leaves the old or
// the new file, and only a crash of the system may lose the change. `mode` 0
// keeps an existing file's mode, or gives a new one 0666 less the umask.
// Returns 0 or the errno of the failing step. The registry store writes its
// files this way too.
int ReplaceFileContents(const String& fileName, std::string_view bytes, mode_t mode, bool durable = true);
}

class TCustomIniFile {
public:
  explicit TCustomIniFile(String fileName) : fileName_(std::move(fileName)) {}
  TCustomIniFile(const TCustomIniFile&) = delete;
  TCustomIniFile& operator=(const TCustomIniFile&) = delete;
  virtual ~TCustomIniFile() = default;

  const String& FileName() const { return fileName_; }

  // A key present with an empty value reads as "", a missing key as Default.
  virtual String ReadString(const String& Section, const String& Ident, const String& Default) const = 0;
  // Raises EIniFileException when the file cannot be written.
  virtual void WriteString(const String& Section, const String& Ident, const String& Value) = 0;

  // Decimal, or hexadecimal after "$" or "0x"; anything else gives Default.
  int32_t ReadInteger(const String& Section, const String& Ident, int32_t Default) const;
  void WriteInteger(const String& Section, const String& Ident, int32_t Value);
  // Read as an integer, any non-zero number being true; written as 1 or 0.
  bool ReadBool(const String& Section, const String& Ident, bool Default) const;
  void WriteBool(const String& Section, const String& Ident, bool Value);
  // Written with "." as the decimal separator; a value that does not convert
  // gives Default.
  double ReadFloat(const String& Section, const String& Ident, double Default) const;
  void WriteFloat(const String& Section, const String& Ident, double Value);

  // Each clears Strings first. Keys and sections come in file order, each
  // name once.
  virtual void ReadSection(const String& Section, TStrings& Strings) const = 0;
  virtual void ReadSections(TStrings& Strings) const = 0;
  // "Key=Value" lines, with the values as ReadString gives them.
  virtual void ReadSectionValues(const String& Section, TStrings& Strings) const = 0;
  virtual void EraseSection(const String& Section) = 0;
  virtual void DeleteKey(const String& Section, const String& Ident) = 0;
  virtual void UpdateFile() = 0;

  virtual bool SectionExists(const String& Section) const;
  virtual bool ValueExists(const String& Section, const String& Ident) const;

protected:
  void SetFileName(String fileName) { fileName_ = std::move(fileName); }

private:
  String fileName_;
};

class TIniFile : public TCustomIniFile {
public:
  // `mode` 0 keeps the mode of an existing file and gives a new file the
  // usual 0666 less the umask.
  explicit TIniFile(const String& fileName, mode_t mode = 0);
  ~TIniFile() override;

  String ReadString(const String& Section, const String& Ident, const String& Default) const override;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  void ReadSection(const String& Section, TStrings& Strings) const override;
  void ReadSections(TStrings& Strings) const override;
  void ReadSectionValues(const String& Section, TStrings& Strings) const override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  // Every write is already in the file; nothing is left to do.
  void UpdateFile() override {}
  // As the profile functions answer it: a section exists when it has a key.
  bool SectionExists(const String& Section) const override;

private:
  struct Cache;
  const detail::IniDocument& Current() const;
  template <typename Edit>
  void Change(Edit edit);

  mode_t mode_;
  std::unique_ptr<Cache> cache_;
};

class TMemIniFile : public TCustomIniFile {
public:
  explicit TMemIniFile(const String& fileName, mode_t mode = 0);
  ~TMemIniFile() override;

  String ReadString(const String& Section, const String& Ident, const String& Default) const override;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  void ReadSection(const String& Section, TStrings& Strings) const override;
  void ReadSections(TStrings& Strings) const override;
  void ReadSectionValues(const String& Section, TStrings& Strings) const override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  // Writes the lines held in memory to the file.
  void UpdateFile() override;
  // A section exists when its header line does, keys or not.
  bool SectionExists(const String& Section) const override;

  // The file's lines as held in memory, and their replacement (parsed as a
  // file's text would be).
  void GetStrings(TStrings& Strings) const;
  void SetStrings(const TStrings& Strings);
  void Clear();
  // Points the object at another file, reading it when `reload` is set.
  void Rename(const String& fileName, bool reload);

private:
  mode_t mode_;
  std::unique_ptr<detail::IniDocument> doc_;
};

}  // namespace rtl
