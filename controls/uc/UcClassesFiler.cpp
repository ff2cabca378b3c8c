// The stream extras: wide values kept in 8-bit property streams as UTF-7
// (or UTF-8 from older streams) beside the class library's own 8-bit
// property, and wide string lists as wide-string values.
#include "controls/uc/UcClasses.h"
#include "controls/uc/UcSystem.h"
#include "platform/forms/Components.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"

namespace controls {
namespace {

using forms::TReader;
using forms::TWriter;

bool OwnerDesigning(const TReader& reader) {
  return reader.Owner() && reader.Owner()->ComponentState().Contains(forms::csDesigning);
}

bool IsAnsiStringValue(forms::TValueType v) { return v == forms::vaString || v == forms::vaLString; }

const TUcWideProp* FindWideProp(const std::vector<TUcWideProp>& props, const String& name, TUcWidePropKind kind) {
  for (const TUcWideProp& p : props)
    if (p.Kind == kind && rtl::SameText(p.Name, name)) return &p;
  return nullptr;
}

// The ancestor's properties while a stored test runs (empty without one).
std::vector<TUcWideProp> AncestorProps(forms::TFiler* filer) {
  auto* ancestor = dynamic_cast<IUcWideProperties*>(filer->Ancestor());
  return ancestor ? ancestor->WideProperties() : std::vector<TUcWideProp>{};
}

bool StringUtf7Stored(forms::TFiler* filer, const TUcWideProp& prop) {
  if (prop.IsStored && !prop.IsStored()) return false;
  if (!prop.GetString) return false;
  const WideString value = prop.GetString();
  const std::vector<TUcWideProp> ancestorProps = AncestorProps(filer);
  if (const TUcWideProp* a = FindWideProp(ancestorProps, prop.Name, wpkWideString))
    if (a->GetString && a->GetString() == value) return false;
  return !value.empty() && !IsWideValuePlain(value);
}

bool CharStored(forms::TFiler* filer, IUcWideProperties& component, const TUcWideProp& prop) {
  if (prop.IsStored && !prop.IsStored()) return false;
  // A property that cannot be both read and written is never stored.
  if (!prop.Readable || !prop.Writable || !prop.GetChar) return false;
  const WideChar value = prop.GetChar();
  const std::vector<TUcWideProp> ancestorProps = AncestorProps(filer);
  const TUcWideProp* a = FindWideProp(ancestorProps, prop.Name, wpkWideChar);
  if (a && a->GetChar && a->GetChar() == value) return false;
  if (a && a->GetChar && component.DerivesFromClassOf(filer->Ancestor())) return value != a->GetChar();
  if (prop.Default == TUcWideProp::kNoDefault) return true;
  return value != prop.Default;
}

void DefineWideString(forms::TFiler* filer, const TUcWideProp& prop) {
  filer->DefineProperty(
      prop.Name + "W",
      [prop](TReader& reader) {
        const WideString value = Utf8TextToWide(reader.ReadString());
        if (OwnerDesigning(reader) && prop.SetString) prop.SetString(value);
      },
      nullptr, false);
  const bool stored = dynamic_cast<TWriter*>(filer) && StringUtf7Stored(filer, prop);
  filer->DefineProperty(
      prop.Name + "_UTF7",
      [prop](TReader& reader) {
        // Decoded even when it is then dropped: a damaged value is reported.
        const WideString value = Utf7TextToWide(reader.ReadString());
        if (OwnerDesigning(reader) && prop.SetString) prop.SetString(value);
      },
      [prop](TWriter& writer) { writer.WriteString(WideToUtf7Text(prop.GetString())); }, stored);
}

void DefineWideChar(forms::TFiler* filer, IUcWideProperties& component, const TUcWideProp& prop) {
  const bool stored = dynamic_cast<TWriter*>(filer) && CharStored(filer, component, prop);
  filer->DefineProperty(
      prop.Name + "W",
      [prop](TReader& reader) {
        WideString value;
        const forms::TValueType next = reader.NextValue();
        if (IsAnsiStringValue(next)) value = rtl::AnsiToWide(reader.ReadString());
        else if (next == forms::vaWString) value = reader.ReadWideString();
        else TReader::PropValueError();
        if (value.size() > 1) TReader::PropValueError();
        if (prop.SetChar) prop.SetChar(value.empty() ? 0 : value[0]);
      },
      [prop](TWriter& writer) { writer.WriteWideString(WideString(1, prop.GetChar())); }, stored);
  filer->DefineProperty(
      prop.Name + "_UTF7",
      [prop](TReader& reader) {
        const WideString value = Utf7TextToWide(reader.ReadString());
        if (OwnerDesigning(reader) && prop.SetChar) prop.SetChar(value.empty() ? 0 : value[0]);
      },
      nullptr, false);
}

}  // namespace

bool IsWideValuePlain(const WideString& value) {
  return !value.empty() && rtl::AnsiToWide(WideToUtf8Text(value)) == value;
}

void DefineWideProperties(forms::TFiler* filer, forms::TPersistent* component) {
  auto* wide = dynamic_cast<IUcWideProperties*>(component);
  if (!filer || !wide) return;
  for (const TUcWideProp& prop : wide->WideProperties()) {
    if (prop.Kind == wpkWideString) DefineWideString(filer, prop);
    else DefineWideChar(filer, *wide, prop);
  }
}

// --- TUcStrings in streams ------------------------------------------------------------

bool TUcStrings::HasStringsToWrite(const forms::TFiler& filer) const {
  if (auto* ancestor = dynamic_cast<const TUcStrings*>(filer.Ancestor())) return !Equals(*ancestor);
  if (filer.Ancestor()) return true;
  return GetCount() > 0;
}

void TUcStrings::DefineProperties(forms::TFiler* filer) {
  forms::TPersistent::DefineProperties(filer);
  const bool writing = dynamic_cast<TWriter*>(filer) != nullptr;
  const bool storeStrings = writing && HasStringsToWrite(*filer);
  bool anyNotPlain = false;
  if (storeStrings)
    for (int32_t i = 0; i < GetCount() && !anyNotPlain; ++i) {
      const WideString s = Get(i);
      anyNotPlain = !s.empty() && !IsWideValuePlain(s);
    }
  filer->DefineProperty("Strings", [this](TReader& r) { ReadStrings(r); }, nullptr, false);
  filer->DefineProperty(
      "WideStrings", [this](TReader& r) { ReadStrings(r); }, [this](TWriter& w) { WriteStrings(w); }, storeStrings);
  filer->DefineProperty("WideStringsW", [this](TReader& r) { ReadStringsW(r); }, nullptr, false);
  filer->DefineProperty(
      "WideStrings_UTF7", [this](TReader& r) { ReadStringsUtf7(r); }, [this](TWriter& w) { WriteStringsUtf7(w); },
      storeStrings && anyNotPlain);
}

void TUcStrings::ReadStrings(TReader& reader) {
  const forms::TValueType next = reader.NextValue();
  if (IsAnsiStringValue(next)) {
    SetTextStr(rtl::AnsiToWide(reader.ReadString()));
    return;
  }
  if (next == forms::vaWString) {
    SetTextStr(reader.ReadWideString());
    return;
  }
  reader.ReadListBegin();
  BeginUpdate();
  try {
    Clear();
    while (!reader.EndOfList()) {
      if (IsAnsiStringValue(reader.NextValue())) Add(rtl::AnsiToWide(reader.ReadString()));
      else Add(reader.ReadWideString());
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  reader.ReadListEnd();
}

void TUcStrings::WriteStrings(TWriter& writer) const {
  writer.WriteListBegin();
  for (int32_t i = 0; i < GetCount(); ++i) writer.WriteWideString(Get(i));
  writer.WriteListEnd();
}

void TUcStrings::ReadStringsW(TReader& reader) {
  // Older streams carried the list as UTF-8 only; at run time it fills a
  // list the 8-bit property left empty and leaves a filled one alone.
  ReadList(reader, OwnerDesigning(reader) || GetCount() == 0, Utf8TextToWide);
}

void TUcStrings::ReadStringsUtf7(TReader& reader) {
  ReadList(reader, OwnerDesigning(reader), Utf7TextToWide);
}

// The list is always read through, so the stream stays in step, and only
// replaces the items when asked to.
void TUcStrings::ReadList(TReader& reader, bool apply, WideString (*decode)(const String&)) {
  reader.ReadListBegin();
  std::vector<WideString> items;
  while (!reader.EndOfList()) items.push_back(decode(reader.ReadString()));
  reader.ReadListEnd();
  if (!apply) return;
  BeginUpdate();
  Clear();
  for (const WideString& s : items) Add(s);
  EndUpdate();
}

void TUcStrings::WriteStringsUtf7(TWriter& writer) const {
  writer.WriteListBegin();
  for (int32_t i = 0; i < GetCount(); ++i) writer.WriteString(WideToUtf7Text(Get(i)));
  writer.WriteListEnd();
}

}  // namespace controls
