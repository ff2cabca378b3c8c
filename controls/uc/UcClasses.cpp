#include "controls/uc/UcClasses.h"

#include <algorithm>

#include "controls/uc/UcSystem.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"

namespace controls {
namespace {

constexpr WideChar kLineSeparator = 0x2028;

// Keeps a list inside BeginUpdate/EndUpdate for a scope, whatever leaves it.
class UpdateScope {
public:
  explicit UpdateScope(TUcStrings& list) : list_(list) { list_.BeginUpdate(); }
  ~UpdateScope() { list_.EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

private:
  TUcStrings& list_;
};

String ReadRest(rtl::TStream& stream) {
  const int64_t n = stream.Size() - stream.Position();
  String bytes(static_cast<size_t>(std::max<int64_t>(n, 0)), '\0');
  if (n > 0) stream.ReadBuffer(bytes.data(), n);
  return bytes;
}

}  // namespace

// --- The 8-bit view ------------------------------------------------------------------

uint32_t TAnsiStringsForWideStringsAdapter::AdapterCodePage() const {
  return codePage_ == 0 ? LibraryCodePage() : codePage_;
}

int32_t TAnsiStringsForWideStringsAdapter::Count() const { return wide_.GetCount(); }

String TAnsiStringsForWideStringsAdapter::Get(int32_t index) const {
  return WideToCodePageText(wide_.Get(index), AdapterCodePage());
}

void TAnsiStringsForWideStringsAdapter::Put(int32_t index, const String& s) {
  wide_.Put(index, CodePageTextToWide(s, AdapterCodePage()));
}

void TAnsiStringsForWideStringsAdapter::Insert(int32_t index, const String& s) {
  wide_.Insert(index, CodePageTextToWide(s, AdapterCodePage()));
}

void TAnsiStringsForWideStringsAdapter::Delete(int32_t index) { wide_.Delete(index); }
void TAnsiStringsForWideStringsAdapter::Clear() { wide_.Clear(); }
void* TAnsiStringsForWideStringsAdapter::GetObject(int32_t index) const { return wide_.GetObject(index); }
void TAnsiStringsForWideStringsAdapter::PutObject(int32_t index, void* object) { wide_.PutObject(index, object); }

void TAnsiStringsForWideStringsAdapter::SetUpdateState(bool updating) {
  if (updating) wide_.BeginUpdate();
  else wide_.EndUpdate();
}

void TAnsiStringsForWideStringsAdapter::LoadFromStreamEx(rtl::TStream& stream, uint32_t codePage) {
  UpdateScope update(wide_);
  wide_.SetTextStr(CodePageTextToWide(ReadRest(stream), codePage));
}

void TAnsiStringsForWideStringsAdapter::SaveToStreamEx(rtl::TStream& stream, uint32_t codePage) {
  const String bytes = WideToCodePageText(wide_.GetTextStr(), codePage);
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// --- TUcStrings ---------------------------------------------------------------------

TUcStrings::TUcStrings() : ansiStrings_(std::make_unique<TAnsiStringsForWideStringsAdapter>(*this, 0)) {}

TUcStrings::~TUcStrings() = default;

void TUcStrings::Error(const String& message, int32_t value) const {
  String text = message;
  if (const size_t at = text.find("%d"); at != String::npos) text.replace(at, 2, std::to_string(value));
  throw rtl::EStringListError(text);
}

void* TUcStrings::GetObject(int32_t) const { return nullptr; }
void TUcStrings::PutObject(int32_t, void*) {}

WideString TUcStrings::GetTextStr() const {
  WideString text;
  for (int32_t i = 0; i < GetCount(); ++i) {
    text += Get(i);
    text += u"\r\n";
  }
  return text;
}

void TUcStrings::SetTextStr(const WideString& text) {
  UpdateScope update(*this);
  Clear();
  // Lines end at a line feed, a carriage return or a line separator; the
  // text ends at its first NUL, as a C string would.
  const WideChar* p = text.c_str();
  while (*p != 0) {
    const WideChar* start = p;
    while (*p != 0 && *p != u'\n' && *p != u'\r' && *p != kLineSeparator) ++p;
    Add(WideString(start, static_cast<size_t>(p - start)));
    if (*p == u'\r') ++p;
    if (*p == u'\n') ++p;
    if (*p == kLineSeparator) ++p;
  }
}

void TUcStrings::Put(int32_t index, const WideString& s) {
  void* object = GetObject(index);
  Delete(index);
  InsertObject(index, s, object);
}

int TUcStrings::CompareStrings(const WideString& a, const WideString& b) const { return rtl::WideCompareText(a, b); }

int32_t TUcStrings::Add(const WideString& s) {
  const int32_t index = GetCount();
  Insert(index, s);
  return index;
}

int32_t TUcStrings::AddObject(const WideString& s, void* object) {
  const int32_t index = Add(s);
  PutObject(index, object);
  return index;
}

void TUcStrings::AddStrings(const TUcStrings& strings) {
  UpdateScope update(*this);
  // Adding a list to itself takes the items it had at the start.
  const int32_t n = strings.GetCount();
  for (int32_t i = 0; i < n; ++i) AddObject(strings.Get(i), strings.GetObject(i));
}

void TUcStrings::Exchange(int32_t index1, int32_t index2) {
  UpdateScope update(*this);
  const WideString s = Get(index1);
  void* object = GetObject(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, s);
  PutObject(index2, object);
}

WideChar* TUcStrings::GetText() const { return WideCStrDup(GetTextStr().c_str()); }

int32_t TUcStrings::IndexOf(const WideString& s) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int32_t TUcStrings::IndexOfName(const WideString& name) const {
  const WideChar sep = separator_;
  for (int32_t i = 0; i < GetCount(); ++i) {
    const WideString s = Get(i);
    const size_t at = s.find(sep);
    if (at != WideString::npos && CompareStrings(s.substr(0, at), name) == 0) return i;
  }
  return -1;
}

int32_t TUcStrings::IndexOfObject(const void* object) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

void TUcStrings::InsertObject(int32_t index, const WideString& s, void* object) {
  Insert(index, s);
  PutObject(index, object);
}

void TUcStrings::Move(int32_t curIndex, int32_t newIndex) {
  if (curIndex == newIndex) return;
  UpdateScope update(*this);
  const WideString s = Get(curIndex);
  void* object = GetObject(curIndex);
  Delete(curIndex);
  InsertObject(newIndex, s, object);
}

void TUcStrings::SetText(const WideChar* text) { SetTextStr(text ? WideString(text) : WideString()); }

void TUcStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TUcStrings::EndUpdate() {
  --updateCount_;
  if (updateCount_ == 0) SetUpdateState(false);
}

bool TUcStrings::Equals(const TUcStrings& other) const {
  const int32_t n = GetCount();
  if (n != other.GetCount()) return false;
  for (int32_t i = 0; i < n; ++i)
    if (Get(i) != other.Get(i)) return false;
  return true;
}

WideChar TUcStrings::NameValueSeparator() {
  separatorDefined_ = true;
  return separator_;
}
void TUcStrings::SetNameValueSeparator(WideChar c) {
  separatorDefined_ = true;
  separator_ = c;
}
WideChar TUcStrings::Delimiter() {
  delimiterDefined_ = true;
  return delimiter_;
}
void TUcStrings::SetDelimiter(WideChar c) {
  delimiterDefined_ = true;
  delimiter_ = c;
}
WideChar TUcStrings::QuoteChar() {
  quoteCharDefined_ = true;
  return quoteChar_;
}
void TUcStrings::SetQuoteChar(WideChar c) {
  quoteCharDefined_ = true;
  quoteChar_ = c;
}

void TUcStrings::SetAnsiStrings(const rtl::TStrings& value) { ansiStrings_->Assign(value); }

void TUcStrings::Assign(forms::TPersistent* source) {
  if (auto* other = dynamic_cast<TUcStrings*>(source)) {
    if (other == this) return;
    UpdateScope update(*this);
    Clear();
    delimiterDefined_ = other->delimiterDefined_;
    quoteCharDefined_ = other->quoteCharDefined_;
    separatorDefined_ = other->separatorDefined_;
    separator_ = other->separator_;
    quoteChar_ = other->quoteChar_;
    delimiter_ = other->delimiter_;
    AddStrings(*other);
    return;
  }
  forms::TPersistent::Assign(source);
}

void TUcStrings::Assign(const rtl::TStrings& source) { ansiStrings_->Assign(source); }

void TUcStrings::AssignTo(forms::TPersistent* dest) { forms::TPersistent::AssignTo(dest); }

void TUcStrings::AssignToStrings(rtl::TStrings& dest) { dest.Assign(*ansiStrings_); }

// --- Files and streams ---------------------------------------------------------------------

TUcFileCharSet DetectByteOrderMark(rtl::TStream& stream) {
  const int64_t remaining = stream.Size() - stream.Position();
  if (remaining >= 2) {
    uint8_t b[2];
    stream.ReadBuffer(b, 2);
    const uint16_t mark = static_cast<uint16_t>(b[0] | b[1] << 8);
    if (mark == 0xFEFF) return fcsUtf16LE;
    if (mark == 0xFFFE) return fcsUtf16BE;
    stream.Seek(-2, rtl::soCurrent);
  }
  if (remaining >= 3) {
    uint8_t b[3];
    stream.ReadBuffer(b, 3);
    if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return fcsUtf8;
    stream.Seek(-3, rtl::soCurrent);
  }
  return fcsAnsi;
}

void TUcStrings::LoadFromFile(const WideString& fileName) {
  TUcFileStream stream(fileName, 0x20);  // read, deny write
  lastFileCharSet_ = DetectByteOrderMark(stream);
  stream.SetPosition(0);
  LoadFromStream(stream, true);
}

void TUcStrings::LoadFromStream(rtl::TStream& stream, bool detectBom) {
  UpdateScope update(*this);
  const TUcFileCharSet kind = detectBom ? DetectByteOrderMark(stream) : fcsUtf16LE;
  const String bytes = ReadRest(stream);
  switch (kind) {
    case fcsUtf16LE:
    case fcsUtf16BE: {
      // A trailing odd byte is not part of the text.
      WideString text(bytes.size() / 2, u'\0');
      for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<WideChar>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
      if (kind == fcsUtf16BE) SwapWideBytes(text.data());
      SetTextStr(text);
      break;
    }
    case fcsUtf8:
      // One bad byte costs one character, not the whole file.
      SetTextStr(Utf8TextToWideLenient(bytes));
      break;
    case fcsAnsi:
      // Text files here are UTF-8; bytes that are not are read as
      // Windows-1252, the way the program reads every other text file.
      if (rtl::GetAnsiCodePage() == rtl::CP_UTF8 && !rtl::IsValidUtf8(bytes))
        SetTextStr(rtl::CodePageToWide(rtl::CP_WINDOWS_1252, bytes));
      else
        SetTextStr(rtl::AnsiToWide(bytes));
      break;
  }
}

void TUcStrings::SaveToFile(const WideString& fileName) const {
  TUcFileStream stream(fileName, kUcCreateMode);
  SaveToStream(stream, true);
}

void TUcStrings::SaveToStream(rtl::TStream& stream, bool writeBom) const {
  if (writeBom) {
    const uint8_t bom[2] = {0xFF, 0xFE};
    stream.WriteBuffer(bom, 2);
  }
  const WideString text = GetTextStr();
  String bytes(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

TUcFileStream::TUcFileStream(const WideString& fileName, uint32_t mode) : rtl::THandleStream(-1) {
  win::HANDLE h = mode == kUcCreateMode ? CreateWideFile(fileName) : OpenWideFile(fileName, mode);
  handle_ = win::FileHandleDescriptor(h);
  if (handle_ < 0) {
    const String name = rtl::WideToAnsi(fileName);
    if (mode == kUcCreateMode) throw rtl::EFCreateError("Cannot create file " + name);
    throw rtl::EFOpenError("Cannot open file " + name);
  }
}

TUcFileStream::~TUcFileStream() {
  if (handle_ >= 0) win::CloseHandle(reinterpret_cast<win::HANDLE>(static_cast<intptr_t>(handle_)));
}

// --- TUcStringList -----------------------------------------------------------------------

TUcStringList::~TUcStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
}

void TUcStringList::CheckIndex(int32_t index) const {
  if (index < 0 || index >= GetCount()) Error("List index out of bounds (%d)", index);
}

void TUcStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TUcStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TUcStringList::SetUpdateState(bool updating) {
  if (updating) Changing();
  else Changed();
}

WideString TUcStringList::Get(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].s;
}

void* TUcStringList::GetObject(int32_t index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TUcStringList::Put(int32_t index, const WideString& s) {
  if (sorted_) throw rtl::EStringListError("Operation not allowed on sorted list");
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].s = s;
  Changed();
}

void TUcStringList::PutObject(int32_t index, void* object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

void TUcStringList::SetCapacity(int32_t capacity) {
  // Never below the items held.
  capacity_ = static_cast<size_t>(std::max(capacity, GetCount()));
  items_.reserve(capacity_);
}

int TUcStringList::CompareStrings(const WideString& a, const WideString& b) const {
  return caseSensitive_ ? rtl::WideCompareStr(a, b) : rtl::WideCompareText(a, b);
}

int32_t TUcStringList::Add(const WideString& s) { return AddObject(s, nullptr); }

int32_t TUcStringList::AddObject(const WideString& s, void* object) {
  int32_t index;
  if (!sorted_) {
    index = GetCount();
  } else if (Find(s, index)) {
    if (duplicates_ == rtl::dupIgnore) return index;
    if (duplicates_ == rtl::dupError) throw rtl::EStringListError("String list does not allow duplicates");
  }
  InsertItem(index, s, object);
  return index;
}

void TUcStringList::Grow() {
  size_t delta = 4;
  if (capacity_ > 64) delta = capacity_ / 4;
  else if (capacity_ > 8) delta = 16;
  SetCapacity(static_cast<int32_t>(capacity_ + delta));
}

void TUcStringList::InsertItem(int32_t index, const WideString& s, void* object) {
  Changing();
  if (items_.size() == capacity_) Grow();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TUcStringList::Insert(int32_t index, const WideString& s) { InsertObject(index, s, nullptr); }

void TUcStringList::InsertObject(int32_t index, const WideString& s, void* object) {
  if (sorted_) throw rtl::EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > GetCount()) Error("List index out of bounds (%d)", index);
  InsertItem(index, s, object);
}

void TUcStringList::Delete(int32_t index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TUcStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  items_.shrink_to_fit();
  capacity_ = 0;
  Changed();
}

void TUcStringList::ExchangeItems(int32_t index1, int32_t index2) {
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
}

void TUcStringList::Exchange(int32_t index1, int32_t index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  ExchangeItems(index1, index2);
  Changed();
}

bool TUcStringList::Find(const WideString& s, int32_t& index) const {
  bool found = false;
  int32_t l = 0, h = GetCount() - 1;
  while (l <= h) {
    const int32_t i = (l + h) >> 1;
    const int c = CompareStrings(items_[static_cast<size_t>(i)].s, s);
    if (c < 0) {
      l = i + 1;
    } else {
      h = i - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != rtl::dupAccept) l = i;
      }
    }
  }
  index = l;
  return found;
}

int32_t TUcStringList::IndexOf(const WideString& s) const {
  if (!sorted_) return TUcStrings::IndexOf(s);
  int32_t index;
  return Find(s, index) ? index : -1;
}

int32_t TUcStringList::IndexOfName(const WideString& name) const {
  if (!sorted_) return TUcStrings::IndexOfName(name);
  const WideString prefix = name + const_cast<TUcStringList*>(this)->NameValueSeparator();
  int32_t index;
  Find(prefix, index);
  if (index >= GetCount()) return -1;
  const WideString& item = items_[static_cast<size_t>(index)].s;
  if (CompareStrings(item.substr(0, prefix.size()), prefix) != 0) return -1;
  return index;
}

void TUcStringList::QuickSort(int32_t l, int32_t r, const TUcStringListSortCompare& compare) {
  int32_t i;
  do {
    i = l;
    int32_t j = r, p = (l + r) >> 1;
    do {
      while (compare(*this, i, p) < 0) ++i;
      while (compare(*this, j, p) > 0) --j;
      if (i <= j) {
        if (i != j) ExchangeItems(i, j);
        // Keep following the pivot's item when it moves.
        if (p == i) p = j;
        else if (p == j) p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSort(l, j, compare);
    l = i;
  } while (i < r);
}

void TUcStringList::CustomSort(const TUcStringListSortCompare& compare) {
  if (sorted_ || GetCount() < 2) return;
  Changing();
  QuickSort(0, GetCount() - 1, compare);
  Changed();
}

void TUcStringList::Sort() {
  CustomSort([](TUcStringList& list, int32_t a, int32_t b) {
    return list.CompareStrings(list.items_[static_cast<size_t>(a)].s, list.items_[static_cast<size_t>(b)].s);
  });
}

void TUcStringList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

void TUcStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  // A sorted list must follow the new order, or Find stops finding items.
  if (sorted_) {
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

}  // namespace controls
