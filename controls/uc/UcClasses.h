#pragma once
// Wide string lists: TUcStrings (abstract) and TUcStringList, their 8-bit
// view for code written against the class library's lists, the wide file
// stream, and the extra stream properties that carry wide values through
// 8-bit property streams.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "controls/uc/UcSysUtils.h"
#include "platform/forms/Classes.h"
#include "platform/forms/Filer.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"

namespace controls {

class TUcStrings;

// --- The 8-bit view ------------------------------------------------------------------

class TAnsiStrings : public rtl::TStrings {
public:
  virtual void LoadFromStreamEx(rtl::TStream& stream, uint32_t codePage) = 0;
  virtual void SaveToStreamEx(rtl::TStream& stream, uint32_t codePage) = 0;
};

class TAnsiStringsForWideStringsAdapter : public TAnsiStrings {
public:
  // `codePage` 0 means the library's code page.
  explicit TAnsiStringsForWideStringsAdapter(TUcStrings& wideStrings, uint32_t codePage = 0)
      : wide_(wideStrings), codePage_(codePage) {}

  int32_t Count() const override;
  String Get(int32_t index) const override;
  void Put(int32_t index, const String& s) override;
  void Insert(int32_t index, const String& s) override;
  void Delete(int32_t index) override;
  void Clear() override;
  void* GetObject(int32_t index) const override;
  void PutObject(int32_t index, void* object) override;

  void LoadFromStreamEx(rtl::TStream& stream, uint32_t codePage) override;
  void SaveToStreamEx(rtl::TStream& stream, uint32_t codePage) override;

protected:
  void SetUpdateState(bool updating) override;

private:
  uint32_t AdapterCodePage() const;

  TUcStrings& wide_;
  uint32_t codePage_;
};

// --- Wide lists ------------------------------------------------------------------------

using TUcStringsNotifyEvent = std::function<void(forms::TObject* Sender)>;

// Kinds of text files: what the last LoadFromFile found.
enum TUcFileCharSet : uint8_t { fcsAnsi = 0, fcsUtf16LE = 1, fcsUtf16BE = 2, fcsUtf8 = 3 };

class TUcStrings : public forms::TPersistent {
public:
  TUcStrings();
  ~TUcStrings() override;

  void Assign(forms::TPersistent* source) override;
  // From a class-library list: through the 8-bit view.
  void Assign(const rtl::TStrings& source);
  // Into a class-library list: the 8-bit view's items.
  void AssignToStrings(rtl::TStrings& dest);
  void DefineProperties(forms::TFiler* filer) override;

  virtual WideString Get(int32_t index) const = 0;
  virtual int32_t GetCapacity() const { return GetCount(); }
  virtual int32_t GetCount() const = 0;
  virtual void* GetObject(int32_t index) const;
  virtual WideString GetTextStr() const;
  virtual void Put(int32_t index, const WideString& s);
  virtual void PutObject(int32_t index, void* object);
  virtual void SetCapacity(int32_t) {}
  virtual void SetTextStr(const WideString& text);
  virtual int CompareStrings(const WideString& a, const WideString& b) const;
  virtual int32_t Add(const WideString& s);
  virtual int32_t AddObject(const WideString& s, void* object);
  virtual void AddStrings(const TUcStrings& strings);
  virtual void Clear() = 0;
  virtual void Delete(int32_t index) = 0;
  virtual void Exchange(int32_t index1, int32_t index2);
  // A block from WideCStrDup; free it with WideCStrFree.
  virtual WideChar* GetText() const;
  virtual int32_t IndexOf(const WideString& s) const;
  virtual int32_t IndexOfName(const WideString& name) const;
  virtual int32_t IndexOfObject(const void* object) const;
  virtual void Insert(int32_t index, const WideString& s) = 0;
  virtual void InsertObject(int32_t index, const WideString& s, void* object);
  virtual void LoadFromFile(const WideString& fileName);
  virtual void LoadFromStream(rtl::TStream& stream, bool detectBom = true);
  virtual void Move(int32_t curIndex, int32_t newIndex);
  virtual void SaveToFile(const WideString& fileName) const;
  virtual void SaveToStream(rtl::TStream& stream, bool writeBom = true) const;
  virtual void SetText(const WideChar* text);

  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return updateCount_; }
  bool Equals(const TUcStrings& other) const;

  int32_t Count() const { return GetCount(); }
  WideString Strings(int32_t index) const { return Get(index); }
  void SetStrings(int32_t index, const WideString& s) { Put(index, s); }
  void* Objects(int32_t index) const { return GetObject(index); }
  void SetObjects(int32_t index, void* object) { PutObject(index, object); }
  WideString Text() const { return GetTextStr(); }
  void SetTextW(const WideString& text) { SetTextStr(text); }

  // Reading the separator defines it, so an assignment copies it.
  WideChar NameValueSeparator();
  void SetNameValueSeparator(WideChar c);
  WideChar Delimiter();
  void SetDelimiter(WideChar c);
  WideChar QuoteChar();
  void SetQuoteChar(WideChar c);

  // Whether each was set or read (streams keep only defined ones).
  bool NameValueSeparatorDefined() const { return separatorDefined_; }
  bool DelimiterDefined() const { return delimiterDefined_; }
  bool QuoteCharDefined() const { return quoteCharDefined_; }

  TAnsiStrings& AnsiStrings() { return *ansiStrings_; }
  void SetAnsiStrings(const rtl::TStrings& value);
  TUcFileCharSet LastFileCharSet() const { return lastFileCharSet_; }

protected:
  void AssignTo(forms::TPersistent* dest) override;
  virtual void SetUpdateState(bool) {}
  // Raises the class library's list error with the message and value.
  [[noreturn]] void Error(const String& message, int32_t value) const;

private:
  void ReadStrings(forms::TReader& reader);
  void WriteStrings(forms::TWriter& writer) const;
  bool HasStringsToWrite(const forms::TFiler& filer) const;
  void ReadStringsW(forms::TReader& reader);
  void ReadStringsUtf7(forms::TReader& reader);
  void ReadList(forms::TReader& reader, bool apply, WideString (*decode)(const String&));
  void WriteStringsUtf7(forms::TWriter& writer) const;

  std::unique_ptr<TAnsiStrings> ansiStrings_;
  TUcFileCharSet lastFileCharSet_ = fcsUtf16LE;
  bool delimiterDefined_ = false, quoteCharDefined_ = false, separatorDefined_ = false;
  WideChar delimiter_ = u',';
  WideChar quoteChar_ = u'"';
  WideChar separator_ = u'=';
  int32_t updateCount_ = 0;
};

using TUcStringListSortCompare = std::function<int(class TUcStringList& list, int32_t index1, int32_t index2)>;

class TUcStringList : public TUcStrings {
public:
  TUcStringList() = default;
  ~TUcStringList() override;

  WideString Get(int32_t index) const override;
  int32_t GetCapacity() const override { return static_cast<int32_t>(capacity_); }
  int32_t GetCount() const override { return static_cast<int32_t>(items_.size()); }
  void* GetObject(int32_t index) const override;
  void Put(int32_t index, const WideString& s) override;
  void PutObject(int32_t index, void* object) override;
  void SetCapacity(int32_t capacity) override;
  int CompareStrings(const WideString& a, const WideString& b) const override;
  int32_t Add(const WideString& s) override;
  int32_t AddObject(const WideString& s, void* object) override;
  void Clear() override;
  void Delete(int32_t index) override;
  void Exchange(int32_t index1, int32_t index2) override;
  int32_t IndexOf(const WideString& s) const override;
  int32_t IndexOfName(const WideString& name) const override;
  void Insert(int32_t index, const WideString& s) override;
  void InsertObject(int32_t index, const WideString& s, void* object) override;

  virtual bool Find(const WideString& s, int32_t& index) const;
  virtual void Sort();
  virtual void CustomSort(const TUcStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool value);
  rtl::TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(rtl::TDuplicates value) { duplicates_ = value; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);

  TUcStringsNotifyEvent OnChange;
  TUcStringsNotifyEvent OnChanging;

protected:
  void SetUpdateState(bool updating) override;
  virtual void Changed();
  virtual void Changing();
  virtual void InsertItem(int32_t index, const WideString& s, void* object);

private:
  struct Item {
    WideString s;
    void* object = nullptr;
  };
  void CheckIndex(int32_t index) const;
  void Grow();
  void QuickSort(int32_t l, int32_t r, const TUcStringListSortCompare& compare);
  void ExchangeItems(int32_t index1, int32_t index2);

  std::vector<Item> items_;
  size_t capacity_ = 0;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  rtl::TDuplicates duplicates_ = rtl::dupIgnore;
};

// --- Files by wide name -----------------------------------------------------------------

class TUcFileStream : public rtl::THandleStream {
public:
  // `mode` 0xFFFF creates the file; anything else opens it with that mode.
  TUcFileStream(const WideString& fileName, uint32_t mode);
  ~TUcFileStream() override;
};
inline constexpr uint32_t kUcCreateMode = 0xFFFF;

// The text encoding a stream starts with; the mark is consumed when found.
TUcFileCharSet DetectByteOrderMark(rtl::TStream& stream);

// --- Wide properties in property streams --------------------------------------------------

enum TUcWidePropKind { wpkWideString, wpkWideChar };

// A published wide property as the stream extras see it. The class library
// has no run-time property information, so wide components describe theirs.
struct TUcWideProp {
  static constexpr int64_t kNoDefault = 0x80000000;

  String Name;
  TUcWidePropKind Kind = wpkWideString;
  std::function<WideString()> GetString;
  std::function<void(const WideString&)> SetString;
  std::function<WideChar()> GetChar;
  std::function<void(WideChar)> SetChar;
  // The property's own stored condition; none means always stored.
  std::function<bool()> IsStored;
  // The declared default of a wide-character property.
  int64_t Default = kNoDefault;
  bool Readable = true;
  bool Writable = true;
};

class IUcWideProperties {
public:
  virtual ~IUcWideProperties() = default;
  // The wide properties in their declared order.
  virtual std::vector<TUcWideProp> WideProperties() = 0;
  // True when this object's class derives from (or is) the class of
  // `ancestor`, whose values are then the defaults while writing.
  virtual bool DerivesFromClassOf(const forms::TPersistent* ancestor) const = 0;
};

// Defines the extra stream properties of every wide property of `component`
// (which must offer IUcWideProperties; anything else defines nothing).
void DefineWideProperties(forms::TFiler* filer, forms::TPersistent* component);

// Whether a wide value survives the 8-bit property: its UTF-8 form read
// back through the ANSI code page is the value itself.
bool IsWideValuePlain(const WideString& value);

}  // namespace controls
