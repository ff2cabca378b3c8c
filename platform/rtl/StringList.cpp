#include "platform/rtl/StringList.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"

namespace rtl {

namespace {

constexpr const char* kListIndexError = "List index out of bounds (%d)";
constexpr const char* kSortedListError = "Operation not allowed on sorted list";
constexpr const char* kCapacityError = "List capacity out of bounds (%d)";
constexpr const char* kDuplicateString = "String list does not allow duplicates";

// Reads `quote`-enclosed text starting at s[pos] (which is the quote), with
// doubled quotes standing for one; leaves `pos` after the closing quote, or at
// the end when the quote is never closed.
String ExtractQuoted(std::string_view s, size_t& pos, char quote) {
  String out;
  ++pos;
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == quote) {
      if (pos < s.size() && s[pos] == quote) {
        out += quote;
        ++pos;
      } else {
        break;
      }
    } else {
      out += c;
    }
  }
  return out;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Keeps BeginUpdate/EndUpdate paired when an operation raises half way (a
// duplicate in a dupError list, an index out of range).
class UpdateScope {
public:
  explicit UpdateScope(TStrings& list) : list_(list) { list_.BeginUpdate(); }
  ~UpdateScope() noexcept(false) { list_.EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

private:
  TStrings& list_;
};

}  // namespace

// ---------------------------------------------------------------- TStrings

void TStrings::Error(const char* message, int32_t data) {
  String text = message;
  auto at = text.find("%d");
  if (at != String::npos) text.replace(at, 2, std::to_string(data));
  throw EStringListError(text);
}

void TStrings::IndexError(int32_t index) { Error(kListIndexError, index); }

void* TStrings::GetObject(int32_t) const { return nullptr; }

void TStrings::PutObject(int32_t, void*) {}

void TStrings::Put(int32_t index, const String& s) {
  UpdateScope update(*this);
  void* object = GetObject(index);
  Delete(index);
  InsertObject(index, s, object);
}

int32_t TStrings::Add(const String& s) {
  int32_t index = Count();
  Insert(index, s);
  return index;
}

int32_t TStrings::AddObject(const String& s, void* object) {
  int32_t index = Add(s);
  PutObject(index, object);
  return index;
}

int32_t TStrings::AddPair(const String& name, const String& value) {
  return Add(name + nameValueSeparator_ + value);
}

void TStrings::InsertObject(int32_t index, const String& s, void* object) {
  Insert(index, s);
  PutObject(index, object);
}

void TStrings::AddStrings(const TStrings& strings) {
  if (&strings == this) {
    // Adding a list to itself must not chase its own growing end.
    std::vector<std::pair<String, void*>> copy;
    for (int32_t i = 0; i < strings.Count(); ++i) copy.emplace_back(strings.Get(i), strings.GetObject(i));
    UpdateScope update(*this);
    for (auto& [s, o] : copy) AddObject(s, o);
    return;
  }
  UpdateScope update(*this);
  for (int32_t i = 0; i < strings.Count(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
}

void TStrings::Assign(const TStrings& source) {
  if (&source == this) return;
  UpdateScope update(*this);
  delimiter_ = source.delimiter_;
  quoteChar_ = source.quoteChar_;
  nameValueSeparator_ = source.nameValueSeparator_;
  strictDelimiter_ = source.strictDelimiter_;
  lineBreak_ = source.lineBreak_;
  trailingLineBreak_ = source.trailingLineBreak_;
  Clear();
  AddStrings(source);
}

void TStrings::Exchange(int32_t index1, int32_t index2) {
  UpdateScope update(*this);
  String s1 = Get(index1);
  void* o1 = GetObject(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, s1);
  PutObject(index2, o1);
}

void TStrings::Move(int32_t curIndex, int32_t newIndex) {
  if (curIndex == newIndex) return;
  if (newIndex < 0 || newIndex >= Count()) IndexError(newIndex);
  UpdateScope update(*this);
  String s = Get(curIndex);
  void* o = GetObject(curIndex);
  Delete(curIndex);
  InsertObject(newIndex, s, o);
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int32_t i = 0; i < Count(); ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

int32_t TStrings::IndexOf(const String& s) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int32_t TStrings::IndexOfName(const String& name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    String s = Get(i);
    auto p = s.find(nameValueSeparator_);
    if (p != String::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

int32_t TStrings::IndexOfObject(const void* object) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

String TStrings::Names(int32_t index) const {
  String s = Get(index);
  auto p = s.find(nameValueSeparator_);
  return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::ValueFromIndex(int32_t index) const {
  String s = Get(index);
  auto p = s.find(nameValueSeparator_);
  return p == String::npos ? String() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int32_t index, const String& value) {
  if (value.empty()) {
    Delete(index);
  } else {
    ReplaceLine(index, Names(index) + nameValueSeparator_ + value);
  }
}

String TStrings::Values(const String& name) const {
  int32_t i = IndexOfName(name);
  return i < 0 ? String() : ValueFromIndex(i);
}

void TStrings::SetValues(const String& name, const String& value) {
  int32_t i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i < 0) {
    Add(name + nameValueSeparator_ + value);
  } else {
    ReplaceLine(i, name + nameValueSeparator_ + value);
  }
}

String TStrings::Text() const {
  String out;
  int32_t n = Count();
  for (int32_t i = 0; i < n; ++i) {
    out += Get(i);
    if (trailingLineBreak_ || i + 1 < n) out += lineBreak_;
  }
  return out;
}

void TStrings::SetText(const String& text) {
  UpdateScope update(*this);
  Clear();
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      Add(text.substr(start, i - start));
      ++i;
      if (c == '\r' && i < text.size() && text[i] == '\n') ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) Add(text.substr(start));
}

String TStrings::DelimitedText() const { return JoinDelimited(delimiter_, quoteChar_, strictDelimiter_); }

void TStrings::SetDelimitedText(const String& text) {
  SplitDelimited(text, delimiter_, quoteChar_, strictDelimiter_);
}

String TStrings::CommaText() const { return JoinDelimited(',', '"', false); }

void TStrings::SetCommaText(const String& text) { SplitDelimited(text, ',', '"', false); }

String TStrings::JoinDelimited(char delimiter, char quoteChar, bool strict) const {
  int32_t n = Count();
  if (n == 1 && Get(0).empty()) return String(2, quoteChar);
  String out;
  for (int32_t i = 0; i < n; ++i) {
    String s = Get(i);
    bool quote = std::any_of(s.begin(), s.end(), [&](char c) {
      return c == quoteChar || c == delimiter || c == '\0' || (!strict && IsBlank(c));
    });
    if (quote) s = AnsiQuotedStr(s, quoteChar);
    if (i > 0) out += delimiter;
    out += s;
  }
  return out;
}

void TStrings::SplitDelimited(const String& text, char delimiter, char quoteChar, bool strict) {
  std::string_view v = text;
  UpdateScope update(*this);
  Clear();
  size_t p = 0;
  auto skipBlanks = [&] {
    while (!strict && p < v.size() && IsBlank(v[p])) ++p;
  };
  skipBlanks();
  while (p < v.size()) {
    String item;
    if (v[p] == quoteChar) {
      item = ExtractQuoted(v, p, quoteChar);
    } else {
      size_t start = p;
      while (p < v.size() && v[p] != delimiter && (strict || !IsBlank(v[p]))) ++p;
      item.assign(v.substr(start, p - start));
    }
    Add(item);
    skipBlanks();
    if (p < v.size() && v[p] == delimiter) {
      ++p;
      // A delimiter at the very end still separates an empty last item.
      if (p == v.size()) Add(String());
      skipBlanks();
    }
  }
}

void TStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

int TStrings::CompareStrings(const String& a, const String& b) const { return AnsiCompareText(a, b); }

void TStrings::LoadFromBytes(std::string_view bytes) { SetText(TextFileBytesToString(bytes)); }

std::string TStrings::SaveToBytes() const { return StringToTextFileBytes(Text()); }

void TStrings::LoadFromFile(const String& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TStrings::SaveToFile(const String& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

void TStrings::LoadFromStream(TStream& stream) {
  std::string bytes;
  char buf[65536];
  for (;;) {
    int64_t n = stream.Read(buf, sizeof buf);
    if (n <= 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  LoadFromBytes(bytes);
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string bytes = SaveToBytes();
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// ------------------------------------------------------------- TStringList

void TStringList::CheckIndex(int32_t index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

String TStringList::Get(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].s;
}

void TStringList::Put(int32_t index, const String& s) {
  if (sorted_) Error(kSortedListError, 0);
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].s = s;
  Changed();
}

void* TStringList::GetObject(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int32_t index, void* object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

void TStringList::SetCapacity(int32_t capacity) {
  if (capacity < Count()) Error(kCapacityError, capacity);
  if (static_cast<size_t>(capacity) > items_.capacity()) {
    items_.reserve(static_cast<size_t>(capacity));
  } else {
    std::vector<Item> fitted;
    fitted.reserve(static_cast<size_t>(capacity));
    for (Item& item : items_) fitted.push_back(std::move(item));
    items_.swap(fitted);
  }
}

int32_t TStringList::Add(const String& s) { return AddObject(s, nullptr); }

int32_t TStringList::AddObject(const String& s, void* object) {
  int32_t index = Count();
  if (sorted_ && Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) Error(kDuplicateString, 0);
  }
  InsertItem(index, s, object);
  return index;
}

void TStringList::Insert(int32_t index, const String& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int32_t index, const String& s, void* object) {
  if (sorted_) Error(kSortedListError, 0);
  if (index < 0 || index > Count()) IndexError(index);
  InsertItem(index, s, object);
}

void TStringList::InsertItem(int32_t index, const String& s, void* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Delete(int32_t index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Exchange(int32_t index1, int32_t index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  Changed();
}

void TStringList::Move(int32_t curIndex, int32_t newIndex) {
  if (curIndex == newIndex) return;
  // Checked before anything moves, so a refused move loses no item.
  if (sorted_) Error(kSortedListError, 0);
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  Changing();
  Item item = std::move(items_[static_cast<size_t>(curIndex)]);
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, std::move(item));
  Changed();
}

int32_t TStringList::IndexOf(const String& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int32_t index;
  return Find(s, index) ? index : -1;
}

bool TStringList::Find(const String& s, int32_t& index) const {
  int32_t lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int32_t mid = lo + (hi - lo) / 2;
    int c = CompareStrings(items_[static_cast<size_t>(mid)].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) found = true;
    }
  }
  index = lo;
  return found;
}

void TStringList::Sort() {
  if (sorted_ || items_.size() < 2) return;
  Changing();
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return CompareStrings(a.s, b.s) < 0; });
  Changed();
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (sorted_ || items_.size() < 2) return;
  Changing();
  QuickSort(0, Count() - 1, compare);
  Changed();
}

// The comparison reads the list by index, so the items are exchanged in place
// and the pivot's index follows it. The bounds on the scans keep a comparison
// that is not a consistent order from running off the list.
void TStringList::QuickSort(int32_t l, int32_t r, const TStringListSortCompare& compare) {
  while (l < r) {
    int32_t i = l, j = r, p = l + (r - l) / 2;
    while (i <= j) {
      while (i < r && compare(*this, i, p) < 0) ++i;
      while (j > l && compare(*this, j, p) > 0) --j;
      if (i <= j) {
        if (i != j) std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(j)]);
        if (p == i) {
          p = j;
        } else if (p == j) {
          p = i;
        }
        ++i;
        --j;
      }
    }
    if (l < j) QuickSort(l, j, compare);
    l = i;
  }
}

void TStringList::SetSorted(bool v) {
  if (v == sorted_) return;
  if (v) Sort();
  sorted_ = v;
}

void TStringList::SetCaseSensitive(bool v) {
  if (v == caseSensitive_) return;
  caseSensitive_ = v;
  if (sorted_) {
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

int TStringList::CompareStrings(const String& a, const String& b) const {
  return caseSensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

void TStringList::ReplaceLine(int32_t index, const String& s) {
  if (!sorted_) {
    Put(index, s);
    return;
  }
  UpdateScope update(*this);
  void* object = GetObject(index);
  Delete(index);
  AddObject(s, object);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    Changing();
  } else {
    Changed();
  }
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

}  // namespace rtl
