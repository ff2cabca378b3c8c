#pragma once
// Components: objects that own other components and free them with
// themselves, carry a name unique among their siblings, and tell each other
// when one of them goes away.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/forms/Classes.h"

namespace forms {

// A set of enumerated values, the way the class library's set types are
// used: membership tests, include, exclude, union and difference.
template <class E>
class SetOf {
public:
  constexpr SetOf() = default;
  constexpr SetOf(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr SetOf& Include(E v) {
    bits_ |= Bit(v);
    return *this;
  }
  constexpr SetOf& Exclude(E v) {
    bits_ &= ~Bit(v);
    return *this;
  }
  constexpr SetOf operator+(SetOf o) const { return FromBits(bits_ | o.bits_); }
  constexpr SetOf operator-(SetOf o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr SetOf operator*(SetOf o) const { return FromBits(bits_ & o.bits_); }
  friend constexpr bool operator==(SetOf, SetOf) = default;

private:
  static constexpr uint64_t Bit(E v) { return uint64_t{1} << static_cast<unsigned>(v); }
  static constexpr SetOf FromBits(uint64_t b) {
    SetOf s;
    s.bits_ = b;
    return s;
  }
  uint64_t bits_ = 0;
};

class EComponentError : public rtl::Exception {
  using rtl::Exception::Exception;
};
class EInvalidOperation : public rtl::Exception {
  using rtl::Exception::Exception;
};

enum TOperation { opInsert, opRemove };

enum TComponentStateItem {
  csLoading,
  csReading,
  csWriting,
  csDestroying,
  csDesigning,
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,
  csInline,
  csDesignInstance
};
using TComponentState = SetOf<TComponentStateItem>;

class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  // The position in the owner's list, -1 without an owner.
  int ComponentIndex() const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees the owned components, the last created first.
  void DestroyComponents();
  // The owned component of that name, ignoring case; null when none.
  TComponent* FindComponent(const String& name) const;

  const String& Name() const { return name_; }
  // An identifier (or empty), unique among the owner's components ignoring
  // case; anything else raises EComponentError.
  virtual void SetName(const String& name);
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }

  TComponentState ComponentState() const { return state_; }

  // `component` is told (Notification with opRemove) when this one is freed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // The reading of a component's properties: setters run in csLoading
  // (and csReading) between the two calls; EndLoad calls Loaded.
  void BeginLoad();
  void EndLoad();

  // Marks the component and everything it owns as being destroyed.
  void Destroying();
  // Frees the component (components without an owner and forms).
  void Free();
  // Runs before the destructors, while the whole object is alive, when the
  // component is freed through Free or by its owner.
  virtual void BeforeDestruction();

protected:
  virtual void Notification(TComponent* component, TOperation operation);
  virtual void Loaded();
  virtual void ValidateRename(TComponent* component, const String& currentName, const String& newName);
  // Runs the first steps of destruction while the derived parts of the
  // object are still alive: called from the destructors of classes whose
  // owned components may refer back to them. Safe to call twice.
  void BeginDestruction();

  TComponentState state_;

private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  String name_;
  intptr_t tag_ = 0;
  bool destructionBegun_ = false;
};

// True for names the class library accepts as identifiers.
bool IsValidIdent(const String& name);

}  // namespace forms
