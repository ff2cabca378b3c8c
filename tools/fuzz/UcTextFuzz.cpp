// libFuzzer driver for the wide-string library's readers of outside text:
// UTF-7, UTF-8 and code-page decoding, wide text files with or without a
// byte-order mark, property streams with wide extras, and command-line
// parsing. The first byte picks the reader; the rest is its input. Besides
// not crashing, a decoded text must survive its own encoder unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "controls/uc/UcClasses.h"
#include "controls/uc/UcSystem.h"
#include "platform/forms/Components.h"
#include "platform/forms/Filer.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Text.h"

using namespace controls;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// A component with a wide caption, a wide character and a wide list, as
// the streamed controls carry them.
class TFuzzThing : public forms::TComponent, public IUcWideProperties {
public:
  TFuzzThing() : forms::TComponent(nullptr) {}
  WideString caption_;
  WideChar accel_ = 0;
  TUcStringList lines_;

  std::vector<TUcWideProp> WideProperties() override {
    TUcWideProp caption;
    caption.Name = "Caption";
    caption.GetString = [this] { return caption_; };
    caption.SetString = [this](const WideString& w) { caption_ = w; };
    TUcWideProp accel;
    accel.Name = "Accel";
    accel.Kind = wpkWideChar;
    accel.GetChar = [this] { return accel_; };
    accel.SetChar = [this](WideChar c) { accel_ = c; };
    return {caption, accel};
  }
  bool DerivesFromClassOf(const forms::TPersistent* ancestor) const override {
    return dynamic_cast<const TFuzzThing*>(ancestor) != nullptr;
  }
  void DefineProperties(forms::TFiler* filer) override {
    forms::TComponent::DefineProperties(filer);
    filer->DefineProperty(
        "Caption", [this](forms::TReader& r) { caption_ = rtl::AnsiToWide(r.ReadString()); },
        [this](forms::TWriter& w) { w.WriteString(rtl::WideToAnsi(caption_)); }, false);
    filer->DefineProperty(
        "Lines", [this](forms::TReader& r) { lines_.SetTextW(rtl::AnsiToWide(r.ReadString())); },
        [](forms::TWriter&) {}, false);
    DefineWideProperties(filer, this);
  }
};

void FuzzUtf7(const std::string& text) {
  WideString wide;
  try {
    wide = Utf7TextToWide(text);
  } catch (const rtl::Exception&) {
    return;
  }
  Check(Utf7TextToWide(WideToUtf7Text(wide)) == wide);
  // The block routine with a target that fills up part-way.
  WideChar small[7];
  const char* src = text.data();
  const char* end = src + text.size();
  for (int rounds = 0; src < end && rounds < 10000; ++rounds) {
    WideChar* dst = small;
    const int result = Utf7Decode(src, end, dst, small + 7);
    Check(dst >= small && dst <= small + 7 && src <= end);
    if (result == kUtf7Malformed) break;
  }
}

void FuzzUtf8(const std::string& text) {
  const WideString strict = Utf8TextToWide(text);
  const WideString lenient = Utf8TextToWideLenient(text);
  if (!strict.empty()) Check(strict == lenient);
  Check(Utf8TextToWide(WideToUtf8Text(lenient)) == lenient);
}

void FuzzCodePages(const std::string& text, uint8_t pick) {
  static const uint32_t kPages[] = {1252, 1251, 936, 932, CP_UTF8, CP_UTF7};
  const uint32_t cp = kPages[pick % (sizeof kPages / sizeof kPages[0])];
  try {
    const WideString wide = CodePageTextToWide(text, cp);
    (void)WideToCodePageText(wide, cp);
  } catch (const rtl::Exception&) {
  }
}

void FuzzTextFile(const std::string& bytes, bool detectBom) {
  rtl::TMemoryStream in;
  in.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  in.SetPosition(0);
  TUcStringList list;
  try {
    list.LoadFromStream(in, detectBom);
  } catch (const rtl::Exception&) {
    return;
  }
  rtl::TMemoryStream out;
  list.SaveToStream(out, true);
  out.SetPosition(0);
  TUcStringList again;
  again.LoadFromStream(out, true);
  Check(again.Count() == list.Count());
}

void FuzzPropertyStream(const std::string& bytes) {
  rtl::TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  TFuzzThing thing;
  try {
    forms::TReader reader(stream);
    reader.ReadProperties(&thing);
  } catch (const rtl::Exception&) {
  }
}

void FuzzCommandLine(const uint8_t* data, size_t size) {
  WideString units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<WideChar>(data[2 * i] | (data[2 * i + 1] << 8));
  units.push_back(u'\0');
  const WideChar* pos = units.c_str();
  const WideChar* end = pos + units.size() - 1;
  for (int i = 0; i < 1000 && pos < end && *pos; ++i) {
    const WideChar* before = pos;
    const WideString param = NextWideParam(pos);
    Check(param.size() <= kMaxWideParam && pos >= before && pos <= end);
    if (pos == before) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (mode % 7) {
    case 0: FuzzUtf7(text); break;
    case 1: FuzzUtf8(text); break;
    case 2: FuzzCodePages(text, mode / 7); break;
    case 3: FuzzTextFile(text, true); break;
    case 4: FuzzTextFile(text, false); break;
    case 5: FuzzPropertyStream(text); break;
    case 6: FuzzCommandLine(data + 1, size - 1); break;
  }
  return 0;
}
