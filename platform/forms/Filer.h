#pragma once
// Property streams: the binary form in which an object's properties are
// stored, written by TWriter and read back by TReader.
//
// A property list is a sequence of (name, value) pairs ended by a vaNull
// byte. A name is a length byte and that many bytes. A value starts with its
// TValueType byte:
//   vaString     length byte, bytes           (8-bit text)
//   vaLString    int32 length, bytes          (8-bit text longer than 255)
//   vaWString    int32 length in units, UTF-16 LE units
//   vaUTF8String int32 length, UTF-8 bytes
//   vaInt8/16/32 the integer, little-endian; vaFalse, vaTrue, vaNil, vaNull alone
//   vaList       values up to a vaNull byte
// Integers are little-endian whatever the machine.
//
// The class library has no run-time property information, so an object
// streams all of its properties through DefineProperties: the reader calls
// it for every name it meets and runs the reading procedure defined under
// that name; the writer calls it once and writes every property defined
// with data.
#include <cstdint>
#include <functional>

#include "platform/forms/Classes.h"
#include "platform/rtl/Streams.h"

namespace forms {

class TComponent;
class TReader;
class TWriter;

enum TValueType : uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12,
  vaNil = 13,
  vaCollection = 14,
  vaSingle = 15,
  vaCurrency = 16,
  vaDate = 17,
  vaWString = 18,
  vaInt64 = 19,
  vaUTF8String = 20,
};

using TReaderProc = std::function<void(TReader& reader)>;
using TWriterProc = std::function<void(TWriter& writer)>;

class TFiler : public TObject {
public:
  explicit TFiler(rtl::TStream& stream) : stream_(stream) {}

  // Declares a property: the reader runs `readData` when the property comes
  // next in the stream; the writer runs `writeData` when `hasData` is true.
  virtual void DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc& writeData,
                              bool hasData) = 0;

  // The object whose values count as defaults while writing (an inherited
  // form's ancestor); null when there is none.
  TPersistent* Ancestor() const { return ancestor_; }
  void SetAncestor(TPersistent* ancestor) { ancestor_ = ancestor; }
  TComponent* Root() const { return root_; }
  void SetRoot(TComponent* root) { root_ = root; }

protected:
  rtl::TStream& stream_;

private:
  TPersistent* ancestor_ = nullptr;
  TComponent* root_ = nullptr;
};

class TReader : public TFiler {
public:
  using TFiler::TFiler;

  // The component whose properties are being read (its state decides, for
  // example, whether design-time data applies).
  TComponent* Owner() const { return owner_; }
  void SetOwner(TComponent* owner) { owner_ = owner; }

  void DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc& writeData,
                      bool hasData) override;

  // Reads (name, value) pairs up to the ending vaNull. A name that no
  // DefineProperties of `instance` takes raises EReadError
  // "Property <name> does not exist".
  void ReadProperties(TPersistent* instance);

  // The next value's type without consuming it.
  TValueType NextValue();
  TValueType ReadValue();
  // An 8-bit string of any string kind (wide text is converted to ANSI).
  String ReadString();
  // A string of any kind; 8-bit strings are converted from ANSI.
  rtl::WideString ReadWideString();
  int32_t ReadInteger();
  bool ReadBoolean();
  void ReadListBegin();
  void ReadListEnd();
  bool EndOfList();
  // Reads one value of any type and drops it.
  void SkipValue();
  // A property name (length byte and bytes).
  String ReadStr();

  // EReadError with the class library's text for a value that does not fit.
  [[noreturn]] static void PropValueError();

private:
  void Need(int64_t count);
  uint8_t ReadByte();
  int32_t ReadInt32();
  String ReadBytes(int64_t count);

  TComponent* owner_ = nullptr;
  String currentName_;
  bool handled_ = false;
};

class TWriter : public TFiler {
public:
  using TFiler::TFiler;

  void DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc& writeData,
                      bool hasData) override;

  // Writes every property `instance` defines with data, then vaNull.
  void WriteProperties(TPersistent* instance);

  void WriteValue(TValueType value);
  // vaString up to 255 bytes, vaLString above.
  void WriteString(const String& value);
  void WriteWideString(const rtl::WideString& value);
  void WriteUtf8String(const std::string& value);
  // The smallest of vaInt8, vaInt16, vaInt32 that holds the value.
  void WriteInteger(int32_t value);
  void WriteBoolean(bool value);
  void WriteListBegin();
  void WriteListEnd();
  // A property name: at most 255 bytes.
  void WriteStr(const String& name);

private:
  void WriteBytes(const void* data, int64_t count);
  void WriteInt32(int32_t value);
};

}  // namespace forms
