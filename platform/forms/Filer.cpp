#include "platform/forms/Filer.h"

#include <limits>

#include "platform/rtl/Text.h"

namespace forms {

// --- TReader -----------------------------------------------------------------

void TReader::PropValueError() { throw rtl::EReadError("Invalid property value"); }

void TReader::Need(int64_t count) {
  // A length read from a damaged stream must not make us allocate what the
  // stream cannot hold.
  if (count < 0 || count > stream_.Size() - stream_.Position()) throw rtl::EReadError("Stream read error");
}

uint8_t TReader::ReadByte() {
  uint8_t b;
  stream_.ReadBuffer(&b, 1);
  return b;
}

int32_t TReader::ReadInt32() {
  uint8_t b[4];
  stream_.ReadBuffer(b, 4);
  return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
}

String TReader::ReadBytes(int64_t count) {
  Need(count);
  String s(static_cast<size_t>(count), '\0');
  if (count) stream_.ReadBuffer(s.data(), count);
  return s;
}

TValueType TReader::NextValue() {
  const TValueType v = ReadValue();
  stream_.Seek(-1, rtl::soCurrent);
  return v;
}

TValueType TReader::ReadValue() { return static_cast<TValueType>(ReadByte()); }

String TReader::ReadStr() { return ReadBytes(ReadByte()); }

String TReader::ReadString() {
  switch (ReadValue()) {
    case vaString: return ReadBytes(ReadByte());
    case vaLString: return ReadBytes(ReadInt32());
    case vaUTF8String: return rtl::Utf8ToAnsi(ReadBytes(ReadInt32()));
    case vaWString: {
      stream_.Seek(-1, rtl::soCurrent);
      return rtl::WideToAnsi(ReadWideString());
    }
    default: PropValueError();
  }
}

rtl::WideString TReader::ReadWideString() {
  switch (ReadValue()) {
    case vaString: return rtl::AnsiToWide(ReadBytes(ReadByte()));
    case vaLString: return rtl::AnsiToWide(ReadBytes(ReadInt32()));
    case vaUTF8String: return rtl::Utf8ToWide(ReadBytes(ReadInt32()));
    case vaWString: {
      const int32_t n = ReadInt32();
      if (n < 0 || n > std::numeric_limits<int32_t>::max() / 2) throw rtl::EReadError("Stream read error");
      const String bytes = ReadBytes(int64_t{n} * 2);
      rtl::WideString w(static_cast<size_t>(n), u'\0');
      for (int32_t i = 0; i < n; ++i)
        w[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
      return w;
    }
    default: PropValueError();
  }
}

int32_t TReader::ReadInteger() {
  switch (ReadValue()) {
    case vaInt8: return static_cast<int8_t>(ReadByte());
    case vaInt16: {
      const uint8_t lo = ReadByte(), hi = ReadByte();
      return static_cast<int16_t>(lo | hi << 8);
    }
    case vaInt32: return ReadInt32();
    default: PropValueError();
  }
}

bool TReader::ReadBoolean() {
  const TValueType v = ReadValue();
  if (v != vaTrue && v != vaFalse) PropValueError();
  return v == vaTrue;
}

void TReader::ReadListBegin() {
  if (ReadValue() != vaList) PropValueError();
}

void TReader::ReadListEnd() {
  if (ReadValue() != vaNull) PropValueError();
}

bool TReader::EndOfList() { return NextValue() == vaNull; }

void TReader::SkipValue() {
  switch (ReadValue()) {
    case vaNull: case vaFalse: case vaTrue: case vaNil: return;
    case vaList:
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      return;
    case vaInt8: ReadBytes(1); return;
    case vaInt16: ReadBytes(2); return;
    case vaInt32: case vaSingle: ReadBytes(4); return;
    case vaInt64: case vaCurrency: case vaDate: ReadBytes(8); return;
    case vaExtended: ReadBytes(10); return;
    case vaString: case vaIdent: ReadBytes(ReadByte()); return;
    case vaLString: case vaUTF8String: case vaBinary: ReadBytes(ReadInt32()); return;
    case vaWString: {
      const int32_t n = ReadInt32();
      if (n < 0 || n > std::numeric_limits<int32_t>::max() / 2) throw rtl::EReadError("Stream read error");
      ReadBytes(int64_t{n} * 2);
      return;
    }
    case vaSet:
      while (!ReadStr().empty()) {
      }
      return;
    default: PropValueError();
  }
}

void TReader::DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc&, bool) {
  if (handled_ || !readData || name != currentName_) return;
  handled_ = true;
  readData(*this);
}

void TReader::ReadProperties(TPersistent* instance) {
  while (NextValue() != vaNull) {
    currentName_ = ReadStr();
    handled_ = false;
    instance->DefineProperties(this);
    if (!handled_) throw rtl::EReadError("Property " + currentName_ + " does not exist");
  }
  ReadValue();
  currentName_.clear();
}

// --- TWriter -----------------------------------------------------------------

void TWriter::WriteBytes(const void* data, int64_t count) {
  if (count) stream_.WriteBuffer(data, count);
}

void TWriter::WriteInt32(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  const uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                        static_cast<uint8_t>(u >> 24)};
  WriteBytes(b, 4);
}

void TWriter::WriteValue(TValueType value) {
  const auto b = static_cast<uint8_t>(value);
  WriteBytes(&b, 1);
}

void TWriter::WriteStr(const String& name) {
  if (name.size() > 255) throw rtl::EWriteError("Property name too long: " + name.substr(0, 32));
  const auto n = static_cast<uint8_t>(name.size());
  WriteBytes(&n, 1);
  WriteBytes(name.data(), n);
}

void TWriter::WriteString(const String& value) {
  if (value.size() <= 255) {
    WriteValue(vaString);
    WriteStr(value);
    return;
  }
  WriteValue(vaLString);
  WriteInt32(static_cast<int32_t>(value.size()));
  WriteBytes(value.data(), static_cast<int64_t>(value.size()));
}

void TWriter::WriteWideString(const rtl::WideString& value) {
  WriteValue(vaWString);
  WriteInt32(static_cast<int32_t>(value.size()));
  String bytes;
  bytes.reserve(value.size() * 2);
  for (char16_t c : value) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  WriteBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TWriter::WriteUtf8String(const std::string& value) {
  WriteValue(vaUTF8String);
  WriteInt32(static_cast<int32_t>(value.size()));
  WriteBytes(value.data(), static_cast<int64_t>(value.size()));
}

void TWriter::WriteInteger(int32_t value) {
  if (value >= -128 && value <= 127) {
    WriteValue(vaInt8);
    const auto b = static_cast<uint8_t>(value);
    WriteBytes(&b, 1);
  } else if (value >= -32768 && value <= 32767) {
    WriteValue(vaInt16);
    const auto u = static_cast<uint16_t>(value);
    const uint8_t b[2] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)};
    WriteBytes(b, 2);
  } else {
    WriteValue(vaInt32);
    WriteInt32(value);
  }
}

void TWriter::WriteBoolean(bool value) { WriteValue(value ? vaTrue : vaFalse); }

void TWriter::WriteListBegin() { WriteValue(vaList); }

void TWriter::WriteListEnd() { WriteValue(vaNull); }

void TWriter::DefineProperty(const String& name, const TReaderProc&, const TWriterProc& writeData, bool hasData) {
  if (!hasData || !writeData) return;
  WriteStr(name);
  writeData(*this);
}

void TWriter::WriteProperties(TPersistent* instance) {
  instance->DefineProperties(this);
  WriteValue(vaNull);
}

}  // namespace forms
