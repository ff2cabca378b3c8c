#pragma once
// Lists of strings in the class library's shape: TStrings is the abstract
// list every control's item list derives from, TStringList the concrete one
// with sorting, duplicates handling and change events.
//
// Decisions that callers rely on:
// - Objects are untyped (`void*`): the list never owns or frees them; the
//   layers above store whatever pointer they like and cast it back.
// - Text joins the lines with LineBreak(), "\n" by default, since the files
//   we write are Linux text files; SetLineBreak("\r\n") gives the CR LF form
//   where a caller hands text to something that expects it. Reading text
//   (SetText, LoadFromFile) accepts CR LF, LF and a lone CR alike, whatever
//   LineBreak() is.
// - Names of name=value lines are matched ignoring case unless the list is
//   CaseSensitive.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/rtl/Types.h"

namespace rtl {

class TStrings;
class TStringList;
class TStream;

enum TDuplicates { dupIgnore, dupAccept, dupError };

using TStringsNotifyEvent = std::function<void(TStrings* Sender)>;
// Compares the items at two indexes of the list: < 0, 0 or > 0.
using TStringListSortCompare = std::function<int(TStringList& List, int32_t Index1, int32_t Index2)>;

class TStrings {
public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;
  virtual ~TStrings() = default;

  // The primitives a concrete list provides.
  virtual int32_t Count() const = 0;
  virtual String Get(int32_t index) const = 0;
  virtual void Insert(int32_t index, const String& s) = 0;
  virtual void Delete(int32_t index) = 0;
  virtual void Clear() = 0;
  // A list without objects keeps none: GetObject answers nullptr and
  // PutObject does nothing.
  virtual void* GetObject(int32_t index) const;
  virtual void PutObject(int32_t index, void* object);
  // Replaces the string at `index`, keeping its object.
  virtual void Put(int32_t index, const String& s);
  // Room for items without growing; a list without storage of its own
  // answers Count() and ignores the request.
  virtual int32_t Capacity() const { return Count(); }
  virtual void SetCapacity(int32_t) {}

  virtual int32_t Add(const String& s);
  virtual int32_t AddObject(const String& s, void* object);
  void Append(const String& s) { Add(s); }
  int32_t AddPair(const String& name, const String& value);
  virtual void InsertObject(int32_t index, const String& s, void* object);
  virtual void AddStrings(const TStrings& strings);
  // Copies the strings, their objects and the delimiter settings.
  virtual void Assign(const TStrings& source);
  virtual void Exchange(int32_t index1, int32_t index2);
  virtual void Move(int32_t curIndex, int32_t newIndex);
  bool Equals(const TStrings& other) const;

  virtual int32_t IndexOf(const String& s) const;
  virtual int32_t IndexOfName(const String& name) const;
  virtual int32_t IndexOfObject(const void* object) const;

  String Strings(int32_t index) const { return Get(index); }
  void SetStrings(int32_t index, const String& s) { Put(index, s); }
  String operator[](int32_t index) const { return Get(index); }
  void* Objects(int32_t index) const { return GetObject(index); }
  void SetObjects(int32_t index, void* object) { PutObject(index, object); }

  // name=value lines. A line without the separator has the name "" and the
  // value "". Setting a value to "" deletes the line.
  String Names(int32_t index) const;
  String ValueFromIndex(int32_t index) const;
  void SetValueFromIndex(int32_t index, const String& value);
  String Values(const String& name) const;
  void SetValues(const String& name, const String& value);

  String Text() const;
  virtual void SetText(const String& text);
  // Delimited with ',' and '"' (whatever Delimiter and QuoteChar are), and
  // blanks split items too.
  String CommaText() const;
  void SetCommaText(const String& text);
  String DelimitedText() const;
  void SetDelimitedText(const String& text);

  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char c) { quoteChar_ = c; }
  char NameValueSeparator() const { return nameValueSeparator_; }
  void SetNameValueSeparator(char c) { nameValueSeparator_ = c; }
  // When true only Delimiter splits DelimitedText; blanks stay in items.
  bool StrictDelimiter() const { return strictDelimiter_; }
  void SetStrictDelimiter(bool v) { strictDelimiter_ = v; }
  const String& LineBreak() const { return lineBreak_; }
  void SetLineBreak(const String& lb) { lineBreak_ = lb; }
  // Whether Text ends its last line with LineBreak() (true by default).
  bool TrailingLineBreak() const { return trailingLineBreak_; }
  void SetTrailingLineBreak(bool v) { trailingLineBreak_ = v; }

  // Nested updates: the list reports one change when the outermost ends.
  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return updateCount_; }

  // Files and streams are read as text files (UTF-8, or Windows-1252 when
  // the bytes are not UTF-8; a byte-order mark is honoured) and written as
  // UTF-8. A file that cannot be opened raises EFOpenError, one that cannot
  // be created EFCreateError. A stream is read from its position to its end.
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName) const;
  void LoadFromBytes(std::string_view bytes);
  std::string SaveToBytes() const;
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

  // < 0, 0 or > 0; ignoring case here, TStringList honours CaseSensitive.
  virtual int CompareStrings(const String& a, const String& b) const;

protected:
  virtual void SetUpdateState(bool updating);
  // Replaces the line at `index` by `s` (SetValues on an existing name). A
  // sorted list overrides it to keep its order.
  virtual void ReplaceLine(int32_t index, const String& s) { Put(index, s); }
  [[noreturn]] static void Error(const char* message, int32_t data);
  String JoinDelimited(char delimiter, char quoteChar, bool strict) const;
  void SplitDelimited(const String& text, char delimiter, char quoteChar, bool strict);
  [[noreturn]] static void IndexError(int32_t index);

private:
  char delimiter_ = ',';
  char quoteChar_ = '"';
  char nameValueSeparator_ = '=';
  bool strictDelimiter_ = false;
  bool trailingLineBreak_ = true;
  String lineBreak_ = "\n";
  int32_t updateCount_ = 0;
};

class TStringList : public TStrings {
public:
  TStringList() = default;
  ~TStringList() override = default;

  int32_t Count() const override { return static_cast<int32_t>(items_.size()); }
  String Get(int32_t index) const override;
  void Put(int32_t index, const String& s) override;
  void* GetObject(int32_t index) const override;
  void PutObject(int32_t index, void* object) override;
  int32_t Capacity() const override { return static_cast<int32_t>(items_.capacity()); }
  // Raises EStringListError for a capacity below Count().
  void SetCapacity(int32_t capacity) override;
  // Sorted lists place the string where it belongs; Duplicates decides what
  // happens to one already there (dupError raises EStringListError).
  int32_t Add(const String& s) override;
  int32_t AddObject(const String& s, void* object) override;
  // Raises EStringListError on a sorted list.
  void Insert(int32_t index, const String& s) override;
  void InsertObject(int32_t index, const String& s, void* object) override;
  void Delete(int32_t index) override;
  void Clear() override;
  void Exchange(int32_t index1, int32_t index2) override;
  void Move(int32_t curIndex, int32_t newIndex) override;
  int32_t IndexOf(const String& s) const override;

  // Binary search of a sorted list: true when found, `index` being the first
  // match or where `s` would be inserted.
  bool Find(const String& s, int32_t& index) const;
  void Sort();
  // Sorts with `compare`, which reads the list by index while it is sorted.
  virtual void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool v);

  int CompareStrings(const String& a, const String& b) const override;

  TStringsNotifyEvent OnChange;
  TStringsNotifyEvent OnChanging;

protected:
  void SetUpdateState(bool updating) override;
  void ReplaceLine(int32_t index, const String& s) override;
  virtual void Changed();
  virtual void Changing();

private:
  struct Item {
    String s;
    void* object = nullptr;
  };
  void CheckIndex(int32_t index) const;
  void InsertItem(int32_t index, const String& s, void* object);
  void QuickSort(int32_t l, int32_t r, const TStringListSortCompare& compare);

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

}  // namespace rtl
