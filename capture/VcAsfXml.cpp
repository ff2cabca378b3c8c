#include "capture/VcAsfXml.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"

namespace capture {

namespace {

bool IsAlnum(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool StartsWithNoCase(const String& s, const char* prefix) {
  const String p(prefix);
  return s.size() >= p.size() && rtl::LowerCase(s.substr(0, p.size())) == p;
}

}  // namespace

// ---- TXML ---------------------------------------------------------------------------

void TXML::Clear() {
  Tokens.Clear();
  OpenElements.Clear();
  Lines.Clear();
  Level = 0;
  ParserState = 0;
  CurrentToken = -1;
  TokenText.clear();
}

void TXML::AddToken(const String& Token, int32_t Kind) {
  const String t = rtl::Trim(Token);
  switch (Kind) {
    case 2:
      ++Level;
      OpenElements.Add(t);
      CurrentToken = Tokens.Add("<" + t);
      break;
    case 4:
      CurrentToken = Tokens.Add(t);
      break;
    case 6:
      if (CurrentToken >= 0 && CurrentToken < Tokens.Count())
        Tokens.Put(CurrentToken, Tokens[CurrentToken] + "=" + t);
      break;
    case 7:
      // An end tag with nothing open ends nothing.
      if (OpenElements.Count() > 0) {
        Tokens.Add(">" + OpenElements[OpenElements.Count() - 1]);
        if (Level > 0) {
          --Level;
          OpenElements.Delete(OpenElements.Count() - 1);
        }
      }
      break;
    default:
      break;
  }
  TokenText.clear();
}

void TXML::Parse(const String& Text) {
  Clear();
  char prev = ' ';
  for (const char c : Text) {
    int32_t& s = ParserState;
    if (c == '"') {
      if (s == 5) {
        s = 6;
        TokenText.clear();
      } else if (s == 6) {
        AddToken(TokenText, 6);
        s = 3;
      }
    } else if (s == 6) {
      TokenText += c;
    } else if (IsAlnum(c)) {
      if (s == 1 || s == 3 || s == 5) {
        TokenText = String(1, c);
        s = s == 1 ? 2 : s == 3 ? 4 : 6;
      } else {
        TokenText += c;
      }
    } else if ((c == '>' && prev == '/') || (c == '/' && prev == '<')) {
      // "/>" and "</": the element ends; a closing tag's name is read
      // into the token and dropped at its ">".
      AddToken(TokenText, 7);
      s = 0;
    } else if (c == '<') {
      s = 1;
      TokenText.clear();
    } else if (c == '>') {
      if (!TokenText.empty()) {
        AddToken(TokenText, s);
        s = 0;
      }
    } else if (!TokenText.empty()) {
      if (s == 2) {
        AddToken(TokenText, 2);
        s = 3;
      } else if (s == 4) {
        AddToken(TokenText, 4);
        s = 5;
      }
    }
    prev = c;
  }
}

bool TXML::Generate() {
  Lines.Clear();
  String pending;
  int32_t depth = 0;
  auto pad = [&] { return String(static_cast<size_t>(std::max(0, depth)) * 5, ' '); };
  for (int32_t i = 0; i < Tokens.Count(); ++i) {
    const String& t = Tokens[i];
    if (t.starts_with("<")) {
      if (!pending.empty()) Lines.Add(pending + ">");
      pending = pad() + t + " ";
      ++depth;
    } else if (t.starts_with(">")) {
      if (!pending.empty()) {
        Lines.Add(pending + ">");
        pending.clear();
      }
      --depth;
      Lines.Add(pad() + "</" + t.substr(1) + ">");
    } else if (const size_t eq = t.find('='); eq != String::npos) {
      if (!pending.empty()) Lines.Add(pending);
      pending = pad() + t.substr(0, eq + 1) + "\"" + t.substr(eq + 1) + "\"";
    }
  }
  return Lines.Count() > 0;
}

String TXML::GetText() const { return Lines.Text(); }

// ---- TASFXML ------------------------------------------------------------------------

void TASFXML::Clear() {
  Data.clear();
  TXML::Clear();
}

int32_t TASFXML::StreamKindOf(int32_t Index) const {
  if (Index < 0 || Index >= Tokens.Count()) return 0;
  const auto* d = static_cast<const TASFXMLData*>(Tokens.Objects(Index));
  return d ? d->StreamKind : 0;
}

bool TASFXML::SelectStreams(bool IncludeVideo, bool IncludeAudio) {
  if (Tokens.Count() == 0) return false;
  int32_t count = 0;
  int32_t kind = 0;
  int32_t audioConfig = 0;
  int32_t videoConfig = 0;
  bool inside = false;
  for (int32_t i = 0; i < Tokens.Count(); ++i) {
    const String t = rtl::LowerCase(Tokens[i]);
    if (t.starts_with("<streamconfig")) {
      ++count;
      inside = true;
    } else if (t.starts_with(">streamconfig")) {
      inside = false;
      kind = 0;
    } else if (inside) {
      if (t.find("audio") != String::npos || t.find("<waveformatex") != String::npos) {
        kind = 2;
        if (!audioConfig) audioConfig = count;
      } else if (t.find("video") != String::npos || t.find("<videoinfoheader") != String::npos) {
        kind = 1;
        if (!videoConfig) videoConfig = count;
      }
    }
    auto data = std::make_unique<TASFXMLData>();
    data->StreamKind = kind;
    Tokens.PutObject(i, data.get());
    Data.push_back(std::move(data));
  }
  if (!audioConfig && !videoConfig) return false;
  // Files edited by hand may write the element in any case; both passes
  // compare alike, so a configuration found is also one that can go.
  const String kRemoved = "ZZZ";
  count = 0;
  bool removing = false;
  for (int32_t i = 0; i < Tokens.Count(); ++i) {
    const String& t = Tokens[i];
    if (StartsWithNoCase(t, "<streamconfig")) {
      ++count;
      if ((!IncludeAudio && count == audioConfig) || (!IncludeVideo && count == videoConfig)) removing = true;
      if (removing) Tokens.Put(i, kRemoved);
    } else if (StartsWithNoCase(t, ">streamconfig")) {
      if (removing) Tokens.Put(i, kRemoved);
      removing = false;
    } else if (removing) {
      Tokens.Put(i, kRemoved);
    }
  }
  for (int32_t i = Tokens.Count() - 1; i >= 0; --i)
    if (Tokens[i] == kRemoved) Tokens.Delete(i);
  return true;
}

void TASFXML::SetValue(const String& Name, const String& Value, int32_t Kind) {
  const String name = rtl::LowerCase(Name);
  for (int32_t i = 0; i < Tokens.Count(); ++i) {
    const String& t = Tokens[i];
    if (StreamKindOf(i) != Kind || t.find('=') == String::npos) continue;
    if (rtl::LowerCase(t.substr(0, name.size())) != name) continue;
    Tokens.Put(i, name + "=" + Value);
  }
}

// ---- files --------------------------------------------------------------------------

bool LoadFileIntoStream(const String& Path, String& Stream) {
  // A profile is a few kilobytes; anything far beyond is not one.
  constexpr std::streamoff kMaxSize = 4 << 20;
  std::ifstream in(Path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxSize) return false;
  in.seekg(0);
  String bytes(static_cast<size_t>(size), '\0');
  if (size > 0 && !in.read(bytes.data(), size)) return false;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    rtl::WideString wide;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      wide += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    Stream = rtl::WideToUtf8(wide);
  } else {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    Stream = bytes;
  }
  // The runtime reads text up to its end mark; what follows one is not
  // part of the profile.
  if (const size_t end = Stream.find('\0'); end != String::npos) Stream.resize(end);
  return true;
}

}  // namespace capture
