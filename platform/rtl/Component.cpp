#include "platform/rtl/Component.h"

#include <algorithm>
#include <string>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace {

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsValidIdent(const AnsiString& ident) {
  if (ident.empty() || !IsIdentStart(ident[0])) return false;
  return std::all_of(ident.begin() + 1, ident.end(),
                     [](char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); });
}

void EraseOne(std::vector<TComponent*>& list, TComponent* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

}  // namespace

// --- TPersistent ---------------------------------------------------------------

void TPersistent::Assign(TPersistent* source) {
  if (source == nullptr) AssignError(nullptr);
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) { dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* source) {
  AnsiString sourceName = source != nullptr ? source->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + sourceName + " to a " + ClassName());
}

// --- TComponent ----------------------------------------------------------------

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  MarkDestroying();
  // Each peer is unlinked before it hears, so an override of Notification that does
  // not call the default still leaves no pointer to this component behind.
  while (!freeNotifies_.empty()) {
    TComponent* peer = freeNotifies_.back();
    freeNotifies_.pop_back();
    peer->RemoveNotification(this);
    peer->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(Integer index) const {
  if (index < 0 || index >= GetComponentCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return components_[static_cast<size_t>(index)];
}

Integer TComponent::GetComponentIndex() const noexcept {
  if (owner_ == nullptr) return -1;
  const auto& siblings = owner_->components_;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  return it == siblings.end() ? -1 : static_cast<Integer>(it - siblings.begin());
}

void TComponent::SetName(const AnsiString& newName) {
  if (newName == name_) return;
  if (!newName.empty() && !IsValidIdent(newName))
    throw EComponentError("'" + newName + "' is not a valid component name");
  if (owner_ != nullptr) owner_->ValidateRename(this, name_, newName);
  name_ = newName;
}

void TComponent::ValidateRename(TComponent* component, const AnsiString& curName,
                                const AnsiString& newName) const {
  // A change of case only is always allowed.
  if (newName.empty() || SameText(curName, newName)) return;
  TComponent* found = FindComponent(newName);
  if (found != nullptr && found != component)
    throw EComponentError("A component named " + newName + " already exists");
}

void TComponent::InsertComponent(TComponent* component) {
  if (component == nullptr) throw EComponentError("Cannot insert a nil component");
  if (component->owner_ == this) return;
  // A component being destroyed may already have freed its list: nothing joins it.
  if (state_.Contains(csDestroying))
    throw EComponentError("Cannot insert a component into one that is being destroyed");
  for (const TComponent* c = this; c != nullptr; c = c->owner_) {
    if (c == component)
      throw EComponentError("A component cannot be owned by itself or by a component it owns");
  }
  ValidateRename(component, AnsiString(), component->name_);
  if (component->owner_ != nullptr) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  if (state_.Contains(csDesigning)) component->SetDesigning(true);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component == nullptr || component->owner_ != this) return;
  Notification(component, opRemove);
  // Notification may have moved it already.
  if (component->owner_ == this) DetachChild(component);
}

void TComponent::DetachChild(TComponent* component) {
  EraseOne(components_, component);
  component->owner_ = nullptr;
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_) {
    if (SameText(c->name_, name)) return c;
  }
  return nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    if (state_.Contains(csDestroying)) {
      // The owner is going: the child leaves quietly (its own peers still hear).
      components_.pop_back();
      last->owner_ = nullptr;
    }
    // Otherwise the child's destructor takes it out of the list and tells the others.
    delete last;
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this) return;
  // A component on its way out may have told its peers already: no new links.
  if (state_.Contains(csDestroying) || component->state_.Contains(csDestroying)) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) != freeNotifies_.end())
    return;
  freeNotifies_.push_back(component);
  component->FreeNotification(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr) return;
  RemoveNotification(component);
  component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) { EraseOne(freeNotifies_, component); }

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component != nullptr) RemoveFreeNotification(component);
  // Walk backwards and re-clamp: a notified component may free others of the list.
  Integer i = GetComponentCount() - 1;
  while (i >= 0) {
    components_[static_cast<size_t>(i)]->Notification(component, operation);
    --i;
    if (i >= GetComponentCount()) i = GetComponentCount() - 1;
  }
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::SetDesigning(bool value) { SetLinkedState(csDesigning, value); }

void TComponent::SetLoading(bool value) {
  SetLinkedState(csLoading, value);
  SetLinkedState(csReading, value);
}

void TComponent::SetLinkedState(TComponentStateItem item, bool value) {
  if (value)
    state_.Include(item);
  else
    state_.Exclude(item);
  for (TComponent* c : components_) c->SetLinkedState(item, value);
}

void TComponent::MarkDestroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->MarkDestroying();
}
