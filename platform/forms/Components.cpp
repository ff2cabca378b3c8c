#include "platform/forms/Components.h"

#include <algorithm>

namespace forms {

namespace {

void Erase(std::vector<TComponent*>& list, TComponent* c) {
  list.erase(std::remove(list.begin(), list.end(), c), list.end());
}

bool SameName(const String& a, const String& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool IsValidIdent(const String& name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  BeginDestruction();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::BeginDestruction() {
  if (destructionBegun_) return;
  destructionBegun_ = true;
  Destroying();
  // Whoever asked to hear of our end hears it now, while we still answer
  // questions about ourselves.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    Erase(other->freeNotifies_, this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TComponent::Insert(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
  Erase(components_, component);
  component->owner_ = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component) return;
  if (!component->name_.empty()) ValidateRename(component, String(), component->name_);
  Insert(component);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->owner_ != this) return;
  Notification(component, opRemove);
  Remove(component);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    Remove(last);
    last->BeforeDestruction();
    delete last;
  }
}

TComponent* TComponent::FindComponent(const String& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameName(c->name_, name)) return c;
  return nullptr;
}

void TComponent::SetName(const String& name) {
  if (name_ == name) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError("'" + name + "' is not a valid component name");
  if (owner_)
    owner_->ValidateRename(this, name_, name);
  else
    ValidateRename(nullptr, name_, name);
  name_ = name;
}

void TComponent::ValidateRename(TComponent* component, const String& currentName, const String& newName) {
  if (!component || newName.empty() || SameName(currentName, newName)) return;
  TComponent* existing = FindComponent(newName);
  if (existing && existing != component)
    throw EComponentError("A component named " + newName + " already exists");
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  // Both sides keep the link so whichever goes first can undo it.
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end())
    component->freeNotifies_.push_back(this);
  state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  Erase(freeNotifies_, component);
  Erase(component->freeNotifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) Erase(freeNotifies_, component);
  // Every component in the ownership tree hears of the change; iterate by
  // index from the end as handlers may free components.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i >= components_.size()) continue;
    components_[i]->Notification(component, operation);
  }
}

void TComponent::BeginLoad() {
  state_.Include(csLoading).Include(csReading);
  for (TComponent* c : components_) c->BeginLoad();
}

void TComponent::EndLoad() {
  state_.Exclude(csReading);
  for (TComponent* c : std::vector<TComponent*>(components_)) c->EndLoad();
  Loaded();
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::BeforeDestruction() { Destroying(); }

void TComponent::Free() {
  BeforeDestruction();
  delete this;
}

}  // namespace forms
