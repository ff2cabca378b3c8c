#pragma once
// The object model: shared objects that answer "do you implement I?" by a
// typed lookup instead of COM's QueryInterface. Interfaces are plain
// abstract classes; an object implements one by deriving from it, or
// answers for it with another object (a graph answering for its video
// renderer's window).
#include <memory>
#include <typeinfo>
#include <vector>

#include "platform/mg/Types.h"

namespace mg {

class Object : public std::enable_shared_from_this<Object> {
public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  // The interface I of this object, or nullptr. Only objects owned by a
  // shared_ptr answer.
  template <class I>
  std::shared_ptr<I> QueryInterface() {
    std::shared_ptr<Object> self = weak_from_this().lock();
    if (!self) return nullptr;
    if (auto direct = std::dynamic_pointer_cast<I>(self)) return direct;
    if (auto other = QueryDelegate(typeid(I))) return std::dynamic_pointer_cast<I>(other);
    return nullptr;
  }
  template <class I>
  HRESULT QueryInterface(std::shared_ptr<I>& out) {
    out = QueryInterface<I>();
    return out ? S_OK : E_NOINTERFACE;
  }

protected:
  // Another object that implements the interface `type` on this one's
  // behalf; nullptr when there is none.
  virtual std::shared_ptr<Object> QueryDelegate(const std::type_info& type) {
    (void)type;
    return nullptr;
  }
};

// The lookup on any shared object (nullptr in, nullptr out).
template <class I, class T>
std::shared_ptr<I> QueryInterface(const std::shared_ptr<T>& obj) {
  if (!obj) return nullptr;
  return static_cast<Object&>(*obj).template QueryInterface<I>();
}

// The platform's enumerators (pins, media types, filters, monikers) over a
// snapshot taken when the enumerator was made.
template <class T>
class Enumerator {
public:
  Enumerator() = default;
  explicit Enumerator(std::vector<T> items) : items_(std::move(items)) {}
  // Copies up to `count` items; S_FALSE when fewer were left.
  HRESULT Next(uint32_t count, T* out, uint32_t* fetched) {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    uint32_t n = 0;
    while (n < count && pos_ < items_.size()) out[n++] = items_[pos_++];
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  bool Next(T& out) {
    uint32_t fetched = 0;
    return Next(1, &out, &fetched) == S_OK;
  }
  HRESULT Skip(uint32_t count) {
    const size_t left = items_.size() - pos_;
    pos_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() {
    pos_ = 0;
    return S_OK;
  }
  const std::vector<T>& Items() const { return items_; }

private:
  std::vector<T> items_;
  size_t pos_ = 0;
};

}  // namespace mg
