// The root classes of the framework: TObject, TPersistent and TComponent with its
// ownership tree, names and notifications.
#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/rtl/Sets.h"
#include "platform/rtl/Types.h"

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  // The run-time class name. Each class that needs its own name overrides it
  // (LARK_CLASS_NAME does it in one line).
  virtual const char* ClassName() const noexcept { return "TObject"; }
};

// Inside a class body: reports Name as the run-time class name.
#define LARK_CLASS_NAME(Name) \
  const char* ClassName() const noexcept override { return #Name; }

// The framework's plain event: the object that fires it.
using TNotifyEvent = std::function<void(TObject* sender)>;

// An object that can copy its state from another through Assign.
class TPersistent : public TObject {
 public:
  LARK_CLASS_NAME(TPersistent)
  // Copies source's state into this object. The default asks source->AssignTo(this);
  // when neither side knows the other, EConvertError "Cannot assign a <source class>
  // to a <dest class>" ("nil" for a null source).
  virtual void Assign(TPersistent* source);

 protected:
  // Copies this object's state into dest. The default raises the conversion error.
  virtual void AssignTo(TPersistent* dest);
  // Raises "Cannot assign a <source class> to a <this class>".
  [[noreturn]] void AssignError(TPersistent* source);
};

enum class TOperation { opInsert, opRemove };
using enum TOperation;

enum class TComponentStateItem : Byte { csLoading, csReading, csDestroying, csDesigning };
using enum TComponentStateItem;

using TComponentState = TSet<TComponentStateItem>;

// A named member of an ownership tree.
//
// Ownership: a component created with an owner is freed by that owner (the last
// one first). A component may also be freed with delete at any time: it leaves its
// owner's list, and the owner (and through the default Notification, its other
// components) hears opRemove. Components that asked with FreeNotification are told
// too, so they can clear their pointers. During an opRemove the component being
// removed may already be partly destroyed: compare its address, call nothing on it.
class TComponent : public TPersistent {
 public:
  LARK_CLASS_NAME(TComponent)
  // owner may be null. The new component joins the owner's list and the owner hears opInsert.
  explicit TComponent(TComponent* owner);
  // Marks the component and its owned ones csDestroying, tells every component that
  // asked for free notification, frees the owned components (last first) and leaves
  // the owner's list. (The body of a derived destructor runs before this, so it sees
  // csDestroying only when its owner is being freed.)
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* GetOwner() const noexcept { return owner_; }
  // Owned components in insertion order; a bad index raises EListError.
  TComponent* Components(Integer index) const;
  Integer GetComponentCount() const noexcept { return static_cast<Integer>(components_.size()); }
  // Position in the owner's list, -1 without an owner.
  Integer GetComponentIndex() const noexcept;

  const AnsiString& GetName() const noexcept { return name_; }
  // A valid identifier or empty, unique among the owner's components without regard
  // to case; else EComponentError.
  virtual void SetName(const AnsiString& newName);
  NativeInt GetTag() const noexcept { return tag_; }
  void SetTag(NativeInt value) noexcept { tag_ = value; }
  TComponentState GetComponentState() const noexcept { return state_; }

  // Takes component into this component's list (from its previous owner, if any).
  void InsertComponent(TComponent* component);
  // Takes component out of this component's list; it then has no owner.
  void RemoveComponent(TComponent* component);
  // The owned component with that name (case-insensitive); null when none or name is empty.
  TComponent* FindComponent(const AnsiString& name) const;
  // Frees every owned component, the last first.
  void DestroyComponents();

  // Asks to hear (Notification with opRemove) when component is freed. The link is
  // two-way: whichever of the two goes first tells the other, and the link is dropped.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Sets or clears csDesigning here and in every owned component.
  void SetDesigning(bool value);
  // Sets or clears csLoading and csReading here and in every owned component, as a
  // reader does around reading a tree; Loaded then ends the loading of each component.
  void SetLoading(bool value);

  // Told when a component joins (opInsert) or leaves (opRemove) this component's
  // list or the list of a component it owns, and when a component this one asked
  // about is freed. The default drops the free-notification link on opRemove and
  // passes the news on to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);
  // Called after the component was read; the default clears csLoading.
  virtual void Loaded();

 private:
  void ValidateRename(TComponent* component, const AnsiString& curName,
                      const AnsiString& newName) const;
  void SetLinkedState(TComponentStateItem item, bool value);
  void MarkDestroying();
  void RemoveNotification(TComponent* component);
  void DetachChild(TComponent* component);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  AnsiString name_;
  NativeInt tag_ = 0;
  TComponentState state_;
};
