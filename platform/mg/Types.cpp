#include "platform/mg/Types.h"

#include <cstdio>

#include "platform/mg/Guids.h"

namespace mg {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadHex(std::string_view s, size_t& pos, int digits, uint64_t& out) {
  out = 0;
  for (int i = 0; i < digits; ++i, ++pos) {
    if (pos >= s.size()) return false;
    const int d = HexDigit(s[pos]);
    if (d < 0) return false;
    out = (out << 4) | static_cast<uint64_t>(d);
  }
  return true;
}

bool Expect(std::string_view s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

bool GUID::TryParse(std::string_view text, GUID& out) {
  bool braced = !text.empty() && text.front() == '{';
  if (braced) {
    if (text.size() != 38 || text.back() != '}') return false;
    text = text.substr(1, 36);
  } else if (text.size() != 36) {
    return false;
  }
  size_t pos = 0;
  uint64_t v = 0;
  GUID g;
  if (!ReadHex(text, pos, 8, v)) return false;
  g.Data1 = static_cast<uint32_t>(v);
  if (!Expect(text, pos, '-') || !ReadHex(text, pos, 4, v)) return false;
  g.Data2 = static_cast<uint16_t>(v);
  if (!Expect(text, pos, '-') || !ReadHex(text, pos, 4, v)) return false;
  g.Data3 = static_cast<uint16_t>(v);
  if (!Expect(text, pos, '-')) return false;
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(text, pos, '-')) return false;
    if (!ReadHex(text, pos, 2, v)) return false;
    g.Data4[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
  }
  out = g;
  return true;
}

GUID GUID::FromText(std::string_view text) {
  GUID g;
  return TryParse(text, g) ? g : GUID{};
}

GUID GUID::FromFourCC(uint32_t fourcc) { return FourCCGuid(fourcc); }

GUID GUID::FromFourCC(std::string_view fourcc) {
  char c[4] = {' ', ' ', ' ', ' '};
  for (size_t i = 0; i < 4 && i < fourcc.size(); ++i) c[i] = fourcc[i];
  return FourCCGuid(MAKEFOURCC(c[0], c[1], c[2], c[3]));
}

bool GUID::IsFourCC() const {
  const GUID tail = FourCCGuid(0);
  return Data2 == tail.Data2 && Data3 == tail.Data3 && Data4 == tail.Data4;
}

std::string GUID::ToString() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", Data1, Data2, Data3,
                Data4[0], Data4[1], Data4[2], Data4[3], Data4[4], Data4[5], Data4[6], Data4[7]);
  return buf;
}

std::string HResultText(HRESULT hr) {
  struct Name {
    HRESULT hr;
    const char* text;
  };
  static constexpr Name kNames[] = {
      {S_OK, "S_OK"},
      {S_FALSE, "S_FALSE"},
      {E_NOTIMPL, "E_NOTIMPL"},
      {E_NOINTERFACE, "E_NOINTERFACE"},
      {E_POINTER, "E_POINTER"},
      {E_ABORT, "E_ABORT"},
      {E_FAIL, "E_FAIL"},
      {E_UNEXPECTED, "E_UNEXPECTED"},
      {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
      {E_INVALIDARG, "E_INVALIDARG"},
      {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
      {VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED"},
      {VFW_E_ALREADY_CONNECTED, "VFW_E_ALREADY_CONNECTED"},
      {VFW_E_CANNOT_CONNECT, "VFW_E_CANNOT_CONNECT"},
      {VFW_E_CANNOT_RENDER, "VFW_E_CANNOT_RENDER"},
      {VFW_E_NOT_IN_GRAPH, "VFW_E_NOT_IN_GRAPH"},
      {VFW_E_NOT_FOUND, "VFW_E_NOT_FOUND"},
      {VFW_E_WRONG_STATE, "VFW_E_WRONG_STATE"},
      {VFW_E_NOT_STOPPED, "VFW_E_NOT_STOPPED"},
      {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED"},
      {VFW_E_NO_ACCEPTABLE_TYPES, "VFW_E_NO_ACCEPTABLE_TYPES"},
      {VFW_S_DUPLICATE_NAME, "VFW_S_DUPLICATE_NAME"},
      {VFW_S_NOPREVIEWPIN, "VFW_S_NOPREVIEWPIN"},
  };
  for (const Name& n : kNames)
    if (n.hr == hr) return n.text;
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(hr));
  return buf;
}

}  // namespace mg
