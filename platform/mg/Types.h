#pragma once
// Result codes, identifiers and times of the media graph. Results stay
// HRESULT-shaped because callers tell S_OK from S_FALSE, hand failures to
// their reports and compare against the published VFW_* values.
#include <array>
#include <compare>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace mg {

using HRESULT = int32_t;
using REFERENCE_TIME = int64_t;  // 100-ns units
using RefTime = REFERENCE_TIME;

constexpr HRESULT MakeHr(uint32_t v) { return static_cast<HRESULT>(v); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHr(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHr(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHr(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHr(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHr(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057);
inline constexpr HRESULT HRESULT_FILE_NOT_FOUND = MakeHr(0x80070002);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHr(0x80040154);

inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHr(0x80040200);
inline constexpr HRESULT VFW_E_INVALIDSUBTYPE = MakeHr(0x80040201);
inline constexpr HRESULT VFW_E_NEED_OWNER = MakeHr(0x80040202);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = MakeHr(0x80040203);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHr(0x80040204);
inline constexpr HRESULT VFW_E_FILTER_ACTIVE = MakeHr(0x80040205);
inline constexpr HRESULT VFW_E_NO_TYPES = MakeHr(0x80040206);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHr(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHr(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHr(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHr(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeHr(0x8004020B);
inline constexpr HRESULT VFW_E_BUFFER_NOTSET = MakeHr(0x8004020C);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHr(0x8004020D);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHr(0x80040211);
inline constexpr HRESULT VFW_E_SIZENOTSET = MakeHr(0x80040212);
inline constexpr HRESULT VFW_E_NO_CLOCK = MakeHr(0x80040213);
inline constexpr HRESULT VFW_E_NO_INTERFACE = MakeHr(0x80040215);
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeHr(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHr(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHr(0x80040218);
inline constexpr HRESULT VFW_E_NO_COLOR_KEY_SET = MakeHr(0x8004021A);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeHr(0x80040224);
inline constexpr HRESULT VFW_E_NOT_PAUSED = MakeHr(0x80040225);
inline constexpr HRESULT VFW_E_NOT_RUNNING = MakeHr(0x80040226);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeHr(0x80040227);
inline constexpr HRESULT VFW_E_START_TIME_AFTER_END = MakeHr(0x80040228);
inline constexpr HRESULT VFW_E_INVALID_RECT = MakeHr(0x80040229);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHr(0x8004022A);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED = MakeHr(0x8004022B);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = MakeHr(0x8004022C);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeHr(0x8004022D);
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = MakeHr(0x0004022D);
inline constexpr HRESULT VFW_E_TIMEOUT = MakeHr(0x8004022E);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MakeHr(0x8004022F);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_RANGE = MakeHr(0x80040230);
inline constexpr HRESULT VFW_E_CIRCULAR_GRAPH = MakeHr(0x80040231);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHr(0x00040237);
inline constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeHr(0x80040240);
inline constexpr HRESULT VFW_E_CANNOT_LOAD_SOURCE_FILTER = MakeHr(0x80040241);
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = MakeHr(0x00040242);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHr(0x80040249);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHr(0x00040270);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHr(0x8004025F);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = MakeHr(0x80040265);
inline constexpr HRESULT VFW_S_NOPREVIEWPIN = MakeHr(0x0004027E);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Stream-control times meaning "never" and the largest position.
inline constexpr REFERENCE_TIME MAX_TIME = std::numeric_limits<int64_t>::max();
inline constexpr REFERENCE_TIME UNITS = 10'000'000;  // 100-ns units per second
inline constexpr REFERENCE_TIME MILLISECONDS = 10'000;

// A 16-byte identifier in the platform's memory layout (so it can sit
// inside format blocks) with the registry text form "{XXXXXXXX-...}".
struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  std::array<uint8_t, 8> Data4{};

  // Parses "{8-4-4-4-12}" with or without the braces; false on anything else.
  static bool TryParse(std::string_view text, GUID& out);
  // Parses or returns the null identifier.
  static GUID FromText(std::string_view text);
  // The identifier of a four-character-code subtype ("YUY2" -> {32595559-0000-0010-8000-00AA00389B71}).
  static GUID FromFourCC(uint32_t fourcc);
  static GUID FromFourCC(std::string_view fourcc);
  // Upper case with braces, as the registry and the device lists print it.
  std::string ToString() const;
  bool IsNull() const { return *this == GUID{}; }
  // True when Data2..Data4 are the four-character-code pattern.
  bool IsFourCC() const;

  friend bool operator==(const GUID&, const GUID&) = default;
  friend auto operator<=>(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16);

using CLSID = GUID;
using IID = GUID;

constexpr uint32_t MAKEFOURCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// A short readable name of an HRESULT for traces ("VFW_E_NOT_CONNECTED"),
// or the hexadecimal value when it is not one of ours.
std::string HResultText(HRESULT hr);

}  // namespace mg
