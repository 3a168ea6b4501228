#include "platform/rtl/Component.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/rtl/Exceptions.h"

namespace {

using Log = std::vector<std::string>;

// Records what it hears in a shared log, and keeps a pointer to a watched peer
// that it clears when told the peer is gone.
class TProbe : public TComponent {
 public:
  LARK_CLASS_NAME(TProbe)
  TProbe(TComponent* owner, const std::string& label, Log* log)
      : TComponent(owner), label_(label), log_(log) {}
  ~TProbe() override {
    log_->push_back(label_ + " freed" +
                    (GetComponentState().Contains(csDestroying) ? " (destroying)" : ""));
    if (watched != nullptr) log_->push_back(label_ + " still watches " + watched->label_);
  }

  void Watch(TProbe* peer) {
    watched = peer;
    FreeNotification(peer);
  }

  void Notification(TComponent* component, TOperation operation) override {
    if (callDefault) TComponent::Notification(component, operation);
    if (operation == opInsert) inserted.push_back(component);
    log_->push_back(label_ + (operation == opInsert ? " +" : " -") + Label(component));
    if (operation == opRemove && component == watched) watched = nullptr;
    if (operation == opRemove && component == freeOnRemoveOf) {
      TComponent* victim = toFree;
      toFree = nullptr;
      freeOnRemoveOf = nullptr;
      delete victim;
    }
  }

  void Loaded() override {
    TComponent::Loaded();
    log_->push_back(label_ + " loaded");
  }

  // The label was copied into the log before the component went, so it can be
  // named without calling into it.
  std::string Label(TComponent* c) const {
    auto it = labels().find(c);
    return it == labels().end() ? "?" : it->second;
  }
  static std::map<TComponent*, std::string>& labels() {
    static std::map<TComponent*, std::string> map;
    return map;
  }

  TProbe* watched = nullptr;
  bool callDefault = true;
  std::vector<TComponent*> inserted;  // every opInsert heard, in order
  TComponent* freeOnRemoveOf = nullptr;
  TComponent* toFree = nullptr;

 private:
  std::string label_;
  Log* log_;
};

class Component : public ::testing::Test {
 protected:
  TProbe* Make(TComponent* owner, const std::string& label) {
    auto* probe = new TProbe(owner, label, &log);
    TProbe::labels()[probe] = label;
    return probe;
  }
  void TearDown() override { TProbe::labels().clear(); }
  Log log;
};

bool Contains(const Log& log, const std::string& entry) {
  return std::find(log.begin(), log.end(), entry) != log.end();
}

TEST_F(Component, OwnerFreesOwnedComponentsLastFirst) {
  TProbe* owner = Make(nullptr, "owner");
  TProbe* a = Make(owner, "a");
  Make(owner, "b");
  Make(a, "a1");  // a grandchild goes with its owner
  ASSERT_EQ(owner->GetComponentCount(), 2);
  log.clear();
  delete owner;
  // The owner's own destructor body runs first; then its components go, the last
  // first, each seeing that it is being destroyed.
  Log freed;
  for (const auto& entry : log)
    if (entry.find("freed") != std::string::npos) freed.push_back(entry);
  EXPECT_EQ(freed, (Log{"owner freed", "b freed (destroying)", "a freed (destroying)",
                        "a1 freed (destroying)"}));
}

TEST_F(Component, ComponentFreedFirstLeavesOwnersListAndOthersHear) {
  TProbe* owner = Make(nullptr, "owner");
  TProbe* a = Make(owner, "a");
  TProbe* b = Make(owner, "b");
  TProbe* c = Make(owner, "c");
  EXPECT_EQ(owner->inserted, (std::vector<TComponent*>{a, b, c}));
  // Siblings hear through the owner (a's own insert came while a was still being built).
  EXPECT_EQ(a->inserted, (std::vector<TComponent*>{b, c}));
  log.clear();

  delete b;
  EXPECT_EQ(owner->GetComponentCount(), 2);
  EXPECT_EQ(owner->Components(0), a);
  EXPECT_EQ(owner->Components(1), c);
  EXPECT_EQ(c->GetComponentIndex(), 1);
  EXPECT_TRUE(Contains(log, "owner -b"));
  EXPECT_TRUE(Contains(log, "a -b"));
  EXPECT_TRUE(Contains(log, "c -b"));

  delete owner;  // frees a and c once each: ASan reports any double free
}

TEST_F(Component, FreeNotificationClearsPeerPointerWhicheverGoesFirst) {
  // Peers in different trees: only the link tells them.
  TProbe* left = Make(nullptr, "left");
  TProbe* right = Make(nullptr, "right");
  TProbe* holder = Make(left, "holder");
  TProbe* target = Make(right, "target");
  holder->Watch(target);
  holder->callDefault = false;  // the link must go even so
  delete right;  // frees target
  EXPECT_EQ(holder->watched, nullptr);
  EXPECT_TRUE(Contains(log, "holder -target"));
  holder->callDefault = true;

  // The other way round: the watcher goes first, and the target must not keep a
  // pointer back to it (ASan sees a use after free otherwise).
  TProbe* target2 = Make(nullptr, "target2");
  holder->Watch(target2);
  delete left;  // frees holder
  log.clear();
  delete target2;
  EXPECT_FALSE(Contains(log, "holder -target2"));
}

TEST_F(Component, FreeNotificationBetweenSiblingsHoldsWhileOwnerIsFreed) {
  TProbe* owner = Make(nullptr, "owner");
  TProbe* first = Make(owner, "first");
  TProbe* second = Make(owner, "second");  // freed before first
  first->Watch(second);
  delete owner;
  EXPECT_TRUE(Contains(log, "first -second"));
  EXPECT_FALSE(Contains(log, "first still watches second"));
}

TEST_F(Component, RemoveFreeNotificationDropsBothSides) {
  TProbe* holder = Make(nullptr, "holder");
  TProbe* target = Make(nullptr, "target");
  holder->Watch(target);
  holder->RemoveFreeNotification(target);
  log.clear();
  delete target;
  EXPECT_FALSE(Contains(log, "holder -target"));
  holder->watched = nullptr;
  delete holder;
}

TEST_F(Component, HandlerThatFreesAnotherComponentDuringNotificationIsSafe) {
  TProbe* owner = Make(nullptr, "owner");
  TProbe* a = Make(owner, "a");
  TProbe* b = Make(owner, "b");
  TProbe* c = Make(owner, "c");
  TProbe* d = Make(owner, "d");
  // When b goes, d (walked first, from the end) frees a, which is still ahead in the walk.
  d->freeOnRemoveOf = b;
  d->toFree = a;
  delete b;
  EXPECT_EQ(owner->GetComponentCount(), 2);
  EXPECT_EQ(owner->Components(0), c);
  EXPECT_EQ(owner->Components(1), d);
  delete owner;
}

TEST_F(Component, NamesAreUniqueAmongSiblingsWithoutRegardToCase) {
  TProbe* owner = Make(nullptr, "owner");
  TProbe* a = Make(owner, "a");
  TProbe* b = Make(owner, "b");
  a->SetName("Button1");
  try {
    b->SetName("BUTTON1");
    FAIL() << "duplicate name accepted";
  } catch (const EComponentError& e) {
    EXPECT_STREQ(e.what(), "A component named BUTTON1 already exists");
  }
  EXPECT_EQ(b->GetName(), "");
  a->SetName("button1");  // a change of case of its own name is allowed
  EXPECT_EQ(a->GetName(), "button1");
  EXPECT_EQ(owner->FindComponent("BUTTON1"), a);
  EXPECT_EQ(owner->FindComponent(""), nullptr);
  b->SetName("Button2");
  a->SetName("");
  b->SetName("Button1");  // free again
  EXPECT_EQ(owner->FindComponent("button1"), b);

  // The same name under another owner, or without one, is fine.
  TProbe* other = Make(nullptr, "other");
  Make(other, "x")->SetName("Button1");
  other->SetName("Button1");

  // A component that joins an owner with its name taken is refused and stays where it was.
  TProbe* c = Make(nullptr, "c");
  c->SetName("BUTTON1");
  EXPECT_THROW(owner->InsertComponent(c), EComponentError);
  EXPECT_EQ(c->GetOwner(), nullptr);
  EXPECT_EQ(owner->GetComponentCount(), 2);
  delete c;
  delete owner;
  delete other;
}

TEST_F(Component, InvalidNamesAreRefused) {
  TComponent c(nullptr);
  for (const char* bad : {"1abc", "a b", "a-b", " a", "a.b", "\xE9t\xE9"}) {
    try {
      c.SetName(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const EComponentError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid component name");
    }
  }
  for (const char* good : {"_", "_a1", "Form1", "x"}) {
    EXPECT_NO_THROW(c.SetName(good)) << good;
    EXPECT_EQ(c.GetName(), good);
  }
}

TEST_F(Component, InsertComponentMovesBetweenOwnersAndRefusesCycles) {
  TProbe* first = Make(nullptr, "first");
  TProbe* second = Make(nullptr, "second");
  TProbe* child = Make(first, "child");
  log.clear();
  second->InsertComponent(child);
  EXPECT_EQ(child->GetOwner(), second);
  EXPECT_EQ(first->GetComponentCount(), 0);
  EXPECT_TRUE(Contains(log, "first -child"));
  EXPECT_TRUE(Contains(log, "second +child"));

  EXPECT_THROW(child->InsertComponent(second), EComponentError);
  EXPECT_THROW(child->InsertComponent(child), EComponentError);
  EXPECT_EQ(second->GetOwner(), nullptr);

  second->RemoveComponent(child);
  EXPECT_EQ(child->GetOwner(), nullptr);
  EXPECT_EQ(child->GetComponentIndex(), -1);
  delete child;  // no owner any more: ours to free
  delete first;
  delete second;
}

TEST_F(Component, DestroyComponentsFreesEveryOwnedOneAndOwnerHears) {
  TProbe* owner = Make(nullptr, "owner");
  Make(owner, "a");
  Make(owner, "b");
  log.clear();
  owner->DestroyComponents();
  EXPECT_EQ(owner->GetComponentCount(), 0);
  EXPECT_TRUE(Contains(log, "owner -a"));
  EXPECT_TRUE(Contains(log, "owner -b"));
  EXPECT_TRUE(Contains(log, "a freed"));  // not "(destroying)": the owner lives on
  delete owner;
}

TEST_F(Component, ComponentsIndexOutOfBoundsRaisesListError) {
  TComponent owner(nullptr);
  new TComponent(&owner);
  EXPECT_EQ(owner.Components(0)->GetOwner(), &owner);
  for (Integer bad : {-1, 1}) {
    try {
      owner.Components(bad);
      ADD_FAILURE() << bad;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
    }
  }
}

TEST_F(Component, DesigningAndLoadingStatesReachOwnedComponents) {
  TProbe* owner = Make(nullptr, "owner");
  TProbe* a = Make(owner, "a");
  owner->SetDesigning(true);
  EXPECT_TRUE(a->GetComponentState().Contains(csDesigning));
  TProbe* late = Make(owner, "late");  // joins a designing owner
  EXPECT_TRUE(late->GetComponentState().Contains(csDesigning));

  owner->SetLoading(true);
  EXPECT_TRUE(a->GetComponentState().Contains(csLoading));
  EXPECT_TRUE(a->GetComponentState().Contains(csReading));
  a->Loaded();
  EXPECT_FALSE(a->GetComponentState().Contains(csLoading));
  EXPECT_TRUE(owner->GetComponentState().Contains(csLoading));
  EXPECT_TRUE(Contains(log, "a loaded"));
  delete owner;
}

TEST_F(Component, TagHoldsAPointer) {
  static_assert(sizeof(NativeInt) == sizeof(void*));
  TComponent c(nullptr);
  int target = 0;
  c.SetTag(reinterpret_cast<NativeInt>(&target));
  EXPECT_EQ(reinterpret_cast<int*>(c.GetTag()), &target);
}

class TPoint3 : public TPersistent {
 public:
  LARK_CLASS_NAME(TPoint3)
  int x = 0;
  void Assign(TPersistent* source) override {
    if (auto* p = dynamic_cast<TPoint3*>(source)) {
      x = p->x;
      return;
    }
    TPersistent::Assign(source);
  }
};

// Knows how to put itself into a TPoint3, which does not know it.
class TScalar : public TPersistent {
 public:
  LARK_CLASS_NAME(TScalar)
  int value = 0;

 protected:
  void AssignTo(TPersistent* dest) override {
    if (auto* p = dynamic_cast<TPoint3*>(dest)) {
      p->x = value;
      return;
    }
    TPersistent::AssignTo(dest);
  }
};

TEST_F(Component, AssignAsksTheSourceThenRaisesConvertError) {
  TPoint3 point;
  TScalar scalar;
  scalar.value = 7;
  point.Assign(&scalar);
  EXPECT_EQ(point.x, 7);

  TComponent component(nullptr);
  struct Case {
    TPersistent* dest;
    TPersistent* source;
    const char* message;
  } cases[] = {
      {&point, &component, "Cannot assign a TComponent to a TPoint3"},
      {&point, nullptr, "Cannot assign a nil to a TPoint3"},
      {&scalar, &point, "Cannot assign a TPoint3 to a TScalar"},
  };
  for (const Case& c : cases) {
    try {
      c.dest->Assign(c.source);
      ADD_FAILURE() << c.message;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

}  // namespace
