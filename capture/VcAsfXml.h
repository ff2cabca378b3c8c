#pragma once
// The profile XML as the ASF writer's configuration edits it: a small
// tokenizer and generator for XML that keeps all its data in attributes,
// and its profile form, which knows the stream configurations, can drop
// one of them and rewrites values by attribute name.
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/VcTypes.h"
#include "platform/rtl/StringList.h"

namespace capture {

class TXML {
public:
  TXML() = default;
  virtual ~TXML() = default;
  TXML(const TXML&) = delete;
  TXML& operator=(const TXML&) = delete;

  int32_t Level = 0;
  rtl::TStringList OpenElements;
  // "<name" opens an element, "name=value" is an attribute, ">name" ends
  // an element.
  rtl::TStringList Tokens;
  int32_t CurrentToken = -1;
  int32_t ParserState = 0;
  rtl::TStringList Lines;

  void Parse(const String& Text);
  // Kinds: 2 opening tag, 4 attribute name, 6 attribute value, 7 end of
  // element; any other kind adds nothing.
  void AddToken(const String& Token, int32_t Kind);
  bool Generate();
  String GetText() const;
  virtual void Clear();

protected:
  String TokenText;
};

class TASFXMLData {
public:
  int32_t StreamKind = 0;  // 0 outside a stream configuration, 1 video, 2 audio
};

class TASFXML : public TXML {
public:
  void Clear() override;
  bool SelectStreams(bool IncludeVideo, bool IncludeAudio);
  void SetValue(const String& Name, const String& Value, int32_t Kind);
  int32_t StreamKindOf(int32_t Index) const;

private:
  std::vector<std::unique_ptr<TASFXMLData>> Data;
};

// The whole file into memory; False when it cannot be read. A file that
// starts with a UTF-16 byte order mark is given as UTF-8 text.
bool LoadFileIntoStream(const String& Path, String& Stream);

}  // namespace capture
