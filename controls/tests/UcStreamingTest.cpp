// Wide values in property streams: the UTF-7 extra is written only for
// values the 8-bit property cannot carry, design-time extras are dropped at
// run time, wide characters and wide lists keep every unit.
#include <gtest/gtest.h>

#include "controls/tests/UcTestUtil.h"
#include "controls/uc/UcClasses.h"
#include "controls/uc/UcSystem.h"
#include "platform/forms/Components.h"
#include "platform/forms/Filer.h"
#include "platform/rtl/Text.h"

using namespace controls;
using uctest::AnsiCodePage;

namespace {

// A component with a wide caption over its 8-bit one (the class library's
// own property, written first), a wide hint, and a wide accelerator key.
class TWideThing : public forms::TComponent, public IUcWideProperties {
public:
  explicit TWideThing(forms::TComponent* owner = nullptr) : forms::TComponent(owner) {}

  void SetDesigning(bool on) {
    if (on) state_.Include(forms::csDesigning);
    else state_.Exclude(forms::csDesigning);
  }
  void SetCaptionW(const WideString& w) {
    caption_ = w;
    ansiCaption_ = rtl::WideToAnsi(w);
  }
  void SetAnsiCaption(const String& a) {
    ansiCaption_ = a;
    caption_ = rtl::AnsiToWide(a);
  }

  WideString caption_, hint_;
  String ansiCaption_;
  WideChar accel_ = 0;
  int64_t accelDefault_ = 0;
  bool accelWritable_ = true;
  bool hintStored_ = true;

  std::vector<TUcWideProp> WideProperties() override {
    TUcWideProp caption;
    caption.Name = "Caption";
    caption.GetString = [this] { return caption_; };
    caption.SetString = [this](const WideString& w) { SetCaptionW(w); };
    TUcWideProp hint;
    hint.Name = "Hint";
    hint.GetString = [this] { return hint_; };
    hint.SetString = [this](const WideString& w) { hint_ = w; };
    hint.IsStored = [this] { return hintStored_; };
    TUcWideProp accel;
    accel.Name = "Accel";
    accel.Kind = wpkWideChar;
    accel.GetChar = [this] { return accel_; };
    accel.SetChar = [this](WideChar c) { accel_ = c; };
    accel.Default = accelDefault_;
    accel.Writable = accelWritable_;
    return {caption, hint, accel};
  }
  bool DerivesFromClassOf(const forms::TPersistent* ancestor) const override {
    return dynamic_cast<const TWideThing*>(ancestor) != nullptr;
  }

  void DefineProperties(forms::TFiler* filer) override {
    forms::TComponent::DefineProperties(filer);
    filer->DefineProperty(
        "Caption", [this](forms::TReader& r) { SetAnsiCaption(r.ReadString()); },
        [this](forms::TWriter& w) { w.WriteString(ansiCaption_); }, !ansiCaption_.empty());
    DefineWideProperties(filer, this);
  }
};

// A class without the wide caption, used as a foreign ancestor.
class TOther : public forms::TPersistent {};

std::string Write(forms::TPersistent& object, forms::TPersistent* ancestor = nullptr) {
  rtl::TMemoryStream stream;
  forms::TWriter writer(stream);
  writer.SetAncestor(ancestor);
  writer.WriteProperties(&object);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

void Read(const std::string& bytes, forms::TPersistent& object, forms::TComponent* owner) {
  rtl::TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(0);
  forms::TReader reader(stream);
  reader.SetOwner(owner);
  reader.ReadProperties(&object);
}

bool Has(const std::string& bytes, const std::string& name) {
  // A property name is written as its length byte and its bytes.
  return bytes.find(std::string(1, static_cast<char>(name.size())) + name) != std::string::npos;
}

// Builds a stream by hand, the way an older writer or another tool left it.
class StreamBuilder {
public:
  StreamBuilder() : writer_(stream_) {}
  StreamBuilder& Name(const String& n) {
    writer_.WriteStr(n);
    return *this;
  }
  forms::TWriter& W() { return writer_; }
  std::string Bytes() {
    writer_.WriteValue(forms::vaNull);
    return std::string(reinterpret_cast<const char*>(stream_.Memory()), static_cast<size_t>(stream_.Size()));
  }

private:
  rtl::TMemoryStream stream_;
  forms::TWriter writer_;
};

}  // namespace

TEST(UcStreaming, Utf7IsWrittenOnlyForValuesTheEightBitPropertyLoses) {
  AnsiCodePage cp(1252);
  struct Case {
    WideString caption;
    bool utf7;
  };
  const Case cases[] = {
      {u"Plain 7-bit text!", false},
      {u"", false},
      {u"caf\u00e9", true},  // é is in 1252, but its UTF-8 bytes do not read back
      {u"\u0416\u0430\u0440", true},
      {u"\u4e2d \U0001F600", true},
  };
  for (const Case& c : cases) {
    TWideThing thing;
    thing.SetCaptionW(c.caption);
    const std::string bytes = Write(thing);
    EXPECT_EQ(Has(bytes, "Caption_UTF7"), c.utf7) << rtl::WideToUtf8(c.caption);
    EXPECT_FALSE(Has(bytes, "CaptionW"));  // never written
    // Designing: the wide value comes back whole.
    TWideThing designed;
    designed.SetDesigning(true);
    Read(bytes, designed, &designed);
    EXPECT_EQ(designed.caption_, c.caption);
    // Running: the 8-bit property stands.
    TWideThing running;
    Read(bytes, running, &running);
    EXPECT_EQ(running.caption_, rtl::AnsiToWide(rtl::WideToAnsi(c.caption)));
  }
  // With UTF-8 as the code page the 8-bit property carries everything, so
  // nothing is plain only for the UTF-7 extra's sake.
  AnsiCodePage utf8(65001);
  TWideThing thing;
  thing.SetCaptionW(u"\u0416\U0001F600");
  const std::string bytes = Write(thing);
  EXPECT_FALSE(Has(bytes, "Caption_UTF7"));
  TWideThing running;
  Read(bytes, running, &running);
  EXPECT_EQ(running.caption_, u"\u0416\U0001F600");
}

TEST(UcStreaming, StoredRulesAndTheAncestor) {
  AnsiCodePage cp(1252);
  TWideThing thing;
  thing.SetCaptionW(u"\u0416");
  thing.hint_ = u"\u0436";
  // The property's own stored condition comes first.
  thing.hintStored_ = false;
  EXPECT_FALSE(Has(Write(thing), "Hint_UTF7"));
  thing.hintStored_ = true;
  EXPECT_TRUE(Has(Write(thing), "Hint_UTF7"));
  // An ancestor with the same value: nothing to write; a different one: written.
  TWideThing same;
  same.SetCaptionW(u"\u0416");
  same.hint_ = u"\u0436";
  EXPECT_FALSE(Has(Write(thing, &same), "Caption_UTF7"));
  EXPECT_FALSE(Has(Write(thing, &same), "Hint_UTF7"));
  same.hint_ = u"x";
  EXPECT_TRUE(Has(Write(thing, &same), "Hint_UTF7"));
  // An ancestor without the property compares with nothing.
  TOther other;
  EXPECT_TRUE(Has(Write(thing, &other), "Caption_UTF7"));
}

TEST(UcStreaming, DesignTimeExtrasAreDroppedAtRunTime) {
  AnsiCodePage cp(1252);
  StreamBuilder b;
  b.Name("Caption").W().WriteString("?");
  b.Name("CaptionW").W().WriteString(rtl::WideToUtf8(u"\u0416 utf8"));
  b.Name("Hint_UTF7").W().WriteString(WideToUtf7Text(u"\u0436 utf7"));
  const std::string bytes = b.Bytes();
  TWideThing running;
  Read(bytes, running, &running);
  EXPECT_EQ(running.caption_, u"?");
  EXPECT_EQ(running.hint_, u"");
  TWideThing designed;
  designed.SetDesigning(true);
  Read(bytes, designed, &designed);
  EXPECT_EQ(designed.caption_, u"\u0416 utf8");
  EXPECT_EQ(designed.hint_, u"\u0436 utf7");

  // A damaged UTF-7 value is reported even where it would be dropped.
  StreamBuilder bad;
  bad.Name("Caption_UTF7").W().WriteString("+");
  TWideThing target;
  try {
    Read(bad.Bytes(), target, &target);
    FAIL() << "no exception";
  } catch (const EUcGeneralError& e) {
    EXPECT_EQ(e.Message(), "Invalid UTF7");
  }
  StreamBuilder unknown;
  unknown.Name("Nonsense").W().WriteString("x");
  EXPECT_THROW(Read(unknown.Bytes(), target, &target), rtl::EReadError);
}

TEST(UcStreaming, WideCharacters) {
  struct Case {
    WideChar value;
    int64_t declaredDefault;
    bool writable;
    bool written;
  };
  const Case cases[] = {
      {0, 0, true, false},  // the default is not written
      {u'x', 0, true, true},
      {0x0416, 0, true, true},
      {u'x', u'x', true, false},
      {0, TUcWideProp::kNoDefault, true, true},  // no value is the default
      {u'x', 0, false, false},                   // cannot be written back
  };
  for (const Case& c : cases) {
    TWideThing thing;
    thing.accel_ = c.value;
    thing.accelDefault_ = c.declaredDefault;
    thing.accelWritable_ = c.writable;
    const std::string bytes = Write(thing);
    ASSERT_EQ(Has(bytes, "AccelW"), c.written) << int(c.value);
    if (!c.written) continue;
    // Value type 18, a 32-bit length of 1, the unit.
    const size_t at = bytes.find("\x06" "AccelW");
    ASSERT_NE(at, std::string::npos);
    const std::string value = bytes.substr(at + 7, 7);
    EXPECT_EQ(value, std::string("\x12\x01\0\0\0", 5) + static_cast<char>(c.value & 0xFF) +
                         static_cast<char>(c.value >> 8));
    TWideThing running;  // applied at run time too
    Read(bytes, running, &running);
    EXPECT_EQ(running.accel_, c.value);
  }
  // Ancestors: the same value is not written; an instance of a base class
  // provides the default.
  TWideThing thing, ancestor;
  thing.accel_ = u'k';
  ancestor.accel_ = u'k';
  EXPECT_FALSE(Has(Write(thing, &ancestor), "AccelW"));
  ancestor.accel_ = 0;
  EXPECT_TRUE(Has(Write(thing, &ancestor), "AccelW"));
  thing.accel_ = 0;
  ancestor.accel_ = u'k';
  EXPECT_TRUE(Has(Write(thing, &ancestor), "AccelW"));

  // Reading: an 8-bit string converts, an empty one gives 0, more than one
  // character or another value type is an invalid property value.
  AnsiCodePage cp(1251);
  struct ReadCase {
    std::function<void(forms::TWriter&)> write;
    WideChar expected;
    bool error;
  };
  const ReadCase reads[] = {
      {[](forms::TWriter& w) { w.WriteString("\xC6"); }, 0x0416, false},
      {[](forms::TWriter& w) { w.WriteString(""); }, 0, false},
      {[](forms::TWriter& w) { w.WriteWideString(u"\u4e2d"); }, 0x4E2D, false},
      {[](forms::TWriter& w) { w.WriteString("ab"); }, 0, true},
      {[](forms::TWriter& w) { w.WriteWideString(u"ab"); }, 0, true},
      {[](forms::TWriter& w) { w.WriteInteger(65); }, 0, true},
  };
  for (const ReadCase& r : reads) {
    StreamBuilder b;
    b.Name("AccelW");
    r.write(b.W());
    TWideThing target;
    target.accel_ = u'?';
    if (r.error) {
      try {
        Read(b.Bytes(), target, &target);
        ADD_FAILURE() << "no error";
      } catch (const rtl::EReadError& e) {
        EXPECT_EQ(e.Message(), "Invalid property value");
      }
    } else {
      Read(b.Bytes(), target, &target);
      EXPECT_EQ(target.accel_, r.expected);
    }
  }
  // The UTF-7 form of a character applies only while designing.
  StreamBuilder b;
  b.Name("Accel_UTF7").W().WriteString("+BBY-");
  const std::string bytes = b.Bytes();
  TWideThing running, designed;
  designed.SetDesigning(true);
  Read(bytes, running, &running);
  Read(bytes, designed, &designed);
  EXPECT_EQ(running.accel_, 0);
  EXPECT_EQ(designed.accel_, 0x0416);
}

TEST(UcStreaming, WideStringLists) {
  AnsiCodePage cp(1252);
  TWideThing owner;
  TUcStringList empty;
  EXPECT_EQ(Write(empty), std::string(1, '\0'));  // nothing but the end

  TUcStringList plain;
  plain.Add(u"one");
  plain.Add(u"two");
  std::string bytes = Write(plain);
  EXPECT_TRUE(Has(bytes, "WideStrings"));
  EXPECT_FALSE(Has(bytes, "WideStrings_UTF7"));

  TUcStringList wide;
  wide.Add(u"\u0416\u0430\u0440");
  wide.Add(u"");
  wide.Add(u"\U0001F600");
  bytes = Write(wide);
  EXPECT_TRUE(Has(bytes, "WideStrings_UTF7"));
  // The wide values come back at run time; the UTF-7 copy adds nothing.
  TUcStringList back;
  Read(bytes, back, &owner);
  EXPECT_TRUE(back.Equals(wide));
  owner.SetDesigning(true);
  TUcStringList designed;
  Read(bytes, designed, &owner);
  EXPECT_TRUE(designed.Equals(wide));
  owner.SetDesigning(false);

  // Ancestors: an equal list writes nothing, another kind of ancestor always.
  TUcStringList copy;
  copy.Assign(&wide);
  EXPECT_FALSE(Has(Write(wide, &copy), "WideStrings"));
  copy.Add(u"more");
  EXPECT_TRUE(Has(Write(wide, &copy), "WideStrings"));
  TOther other;
  EXPECT_TRUE(Has(Write(empty, &other), "WideStrings"));

  // "Strings": one 8-bit text, one wide text, or a list of either.
  struct StringsCase {
    std::function<void(forms::TWriter&)> write;
    std::vector<WideString> items;
  };
  const StringsCase strings[] = {
      {[](forms::TWriter& w) { w.WriteString("a\r\nb\xE9"); }, {u"a", u"b\u00e9"}},
      {[](forms::TWriter& w) { w.WriteWideString(u"x\n\u0416"); }, {u"x", u"\u0416"}},
      {[](forms::TWriter& w) {
         w.WriteListBegin();
         w.WriteString("\xE9");
         w.WriteWideString(u"\u4e2d");
         w.WriteString(std::string(300, 'L'));
         w.WriteListEnd();
       },
       {u"\u00e9", u"\u4e2d", WideString(300, u'L')}},
  };
  for (const StringsCase& s : strings) {
    StreamBuilder b;
    b.Name("Strings");
    s.write(b.W());
    TUcStringList list;
    list.Add(u"stale");
    Read(b.Bytes(), list, &owner);
    std::vector<WideString> items;
    for (int32_t i = 0; i < list.Count(); ++i) items.push_back(list.Get(i));
    EXPECT_EQ(items, s.items);
  }

  // "WideStringsW" (UTF-8) fills an empty list at run time but leaves a
  // filled one alone; while designing it always applies.
  StreamBuilder b;
  b.Name("WideStringsW");
  b.W().WriteListBegin();
  b.W().WriteString(rtl::WideToUtf8(u"\u0416"));
  b.W().WriteListEnd();
  const std::string utf8List = b.Bytes();
  TUcStringList fresh, filled;
  filled.Add(u"keep");
  Read(utf8List, fresh, &owner);
  Read(utf8List, filled, &owner);
  EXPECT_EQ(fresh.Count(), 1);
  EXPECT_EQ(fresh.Get(0), u"\u0416");
  EXPECT_EQ(filled.Get(0), u"keep");
  owner.SetDesigning(true);
  Read(utf8List, filled, &owner);
  EXPECT_EQ(filled.Get(0), u"\u0416");
}
