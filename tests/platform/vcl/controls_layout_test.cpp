// Alignment and anchors: where a parent puts its children.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "tests/platform/vcl/controls_test_util.h"

namespace {

struct Child {
  TAlign align;
  TRect bounds;  // before alignment
  bool visible = true;
};

struct AlignCase {
  const char* name;
  std::vector<Child> children;  // in the order they join the parent
  std::vector<TRect> expected;  // each child's bounds after alignment
};

// A parent of 200 x 100 without a window: alignment works on the numbers alone.
class LayoutTest : public ::testing::Test {
 protected:
  LayoutTest() : parent_(nullptr) { parent_.SetBounds(0, 0, 200, 100); }

  TControl* Add(TAlign align, const TRect& bounds, bool visible = true, bool windowed = true) {
    std::unique_ptr<TControl> c;
    if (windowed)
      c = std::make_unique<TWinControl>(nullptr);
    else
      c = std::make_unique<TGraphicControl>(nullptr);
    c->SetBoundsRect(bounds);
    c->SetVisible(visible);
    c->SetAlign(align);
    c->SetParent(&parent_);
    children_.push_back(std::move(c));
    return children_.back().get();
  }

  ~LayoutTest() override {
    for (auto& c : children_) c->SetParent(nullptr);
  }

  TWinControl parent_;
  std::vector<std::unique_ptr<TControl>> children_;
};

TEST_F(LayoutTest, AlignedChildrenShareTheClientAreaInTheFrameworksOrder) {
  const AlignCase cases[] = {
      {"two tops stack in the order of their tops",
       {{alTop, Rect(5, 50, 50, 80)}, {alTop, Rect(0, 0, 10, 20)}},
       {Rect(0, 20, 200, 50), Rect(0, 0, 200, 20)}},
      {"bottoms stack upwards, the lowest first",
       {{alBottom, Rect(0, 0, 10, 10)}, {alBottom, Rect(0, 80, 10, 100)}},
       {Rect(0, 70, 200, 80), Rect(0, 80, 200, 100)}},
      {"lefts and rights in the order of their outer edges",
       {{alRight, Rect(150, 0, 160, 10)}, {alLeft, Rect(30, 0, 50, 10)}, {alLeft, Rect(0, 0, 15, 10)},
        {alRight, Rect(180, 0, 200, 10)}},
       {Rect(170, 0, 180, 100), Rect(15, 0, 35, 100), Rect(0, 0, 15, 100), Rect(180, 0, 200, 100)}},
      {"top and bottom take the full width, left and right what remains, client the rest",
       {{alClient, Rect(0, 0, 1, 1)}, {alLeft, Rect(0, 0, 30, 1)}, {alTop, Rect(0, 0, 1, 10)},
        {alRight, Rect(0, 0, 40, 1)}, {alBottom, Rect(0, 0, 1, 20)}},
       {Rect(30, 10, 160, 80), Rect(0, 10, 30, 80), Rect(0, 0, 200, 10), Rect(160, 10, 200, 80),
        Rect(0, 80, 200, 100)}},
      {"an invisible aligned child takes no room",
       {{alTop, Rect(0, 0, 1, 30), false}, {alClient, Rect(0, 0, 1, 1)}},
       {Rect(0, 0, 1, 30), Rect(0, 0, 200, 100)}},
      {"unaligned children stay where they are",
       {{alNone, Rect(7, 8, 27, 38)}, {alTop, Rect(0, 0, 1, 10)}},
       {Rect(7, 8, 27, 38), Rect(0, 0, 200, 10)}},
      {"more than fits: the client area is empty, never negative",
       {{alLeft, Rect(0, 0, 150, 1)}, {alRight, Rect(0, 0, 150, 1)}, {alClient, Rect(0, 0, 5, 5)}},
       {Rect(0, 0, 150, 100), Rect(50, 0, 200, 100), Rect(150, 0, 150, 100)}},
  };
  for (const AlignCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (auto& child : children_) child->SetParent(nullptr);
    children_.clear();
    for (size_t i = 0; i < c.children.size(); ++i) {
      Add(c.children[i].align, c.children[i].bounds, c.children[i].visible, i % 2 == 0);
    }
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(children_[i]->GetBoundsRect(), c.expected[i]) << "child " << i;
    }
  }
}

TEST_F(LayoutTest, ParentResizeAndChildChangesAlignAgain) {
  TControl* top = Add(alTop, Rect(0, 0, 1, 10));
  // A graphic control: OnResize follows its bounds (a windowed one hears WM_SIZE).
  TControl* client = Add(alClient, Rect(0, 0, 1, 1), true, false);
  parent_.SetBounds(0, 0, 300, 150);
  EXPECT_EQ(top->GetBoundsRect(), Rect(0, 0, 300, 10));
  EXPECT_EQ(client->GetBoundsRect(), Rect(0, 10, 300, 150));
  // A taller top panel pushes the client area down.
  top->SetHeight(40);
  EXPECT_EQ(client->GetBoundsRect(), Rect(0, 40, 300, 150));
  // Hiding it gives the room back.
  top->SetVisible(false);
  EXPECT_EQ(client->GetBoundsRect(), Rect(0, 0, 300, 150));
  // Many changes under DisableAlign align once at the end.
  int resized = 0;
  client->OnResize = [&](TObject*) { ++resized; };
  parent_.DisableAlign();
  top->SetVisible(true);
  top->SetHeight(20);
  parent_.SetBounds(0, 0, 400, 200);
  EXPECT_EQ(resized, 0);
  parent_.EnableAlign();
  EXPECT_EQ(resized, 1);
  EXPECT_EQ(client->GetBoundsRect(), Rect(0, 20, 400, 200));
}

TEST_F(LayoutTest, AnchorsKeepTheirDistancesWhenTheParentResizes) {
  struct AnchorCase {
    const char* name;
    TAnchors anchors;
    TRect grown;   // parent 300 x 150
    TRect shrunk;  // parent 100 x 50
  };
  const AnchorCase cases[] = {
      {"left top", {akLeft, akTop}, Rect(10, 10, 60, 30), Rect(10, 10, 60, 30)},
      {"left right stretches", {akLeft, akTop, akRight}, Rect(10, 10, 160, 30), Rect(10, 10, 0 + 10, 30)},
      {"right bottom moves", {akRight, akBottom}, Rect(110, 60, 160, 80), Rect(-90, -40, -40, -20)},
      {"all four stretch", {akLeft, akTop, akRight, akBottom}, Rect(10, 10, 160, 80), Rect(10, 10, 10, 10)},
      {"none keeps the centre's proportion", {}, Rect(28, 20, 78, 40), Rect(-7, 0, 43, 20)},
  };
  for (const AnchorCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (auto& child : children_) child->SetParent(nullptr);
    children_.clear();
    parent_.SetBounds(0, 0, 200, 100);
    TControl* child = Add(alNone, Rect(10, 10, 60, 30));
    child->SetAnchors(c.anchors);
    parent_.SetBounds(0, 0, 300, 150);
    EXPECT_EQ(child->GetBoundsRect(), c.grown);
    parent_.SetBounds(0, 0, 100, 50);
    EXPECT_EQ(child->GetBoundsRect(), c.shrunk);
    // Back to the first size: back to the first place.
    parent_.SetBounds(0, 0, 200, 100);
    EXPECT_EQ(child->GetBoundsRect(), Rect(10, 10, 60, 30));
  }
}

TEST_F(LayoutTest, MovingAnAnchoredChildMakesItsNewPlaceTheRule) {
  TControl* child = Add(alNone, Rect(10, 10, 60, 30));
  child->SetAnchors({akRight, akBottom});
  child->SetBounds(100, 50, 50, 20);  // 50 from the right, 30 from the bottom
  parent_.SetBounds(0, 0, 400, 300);
  EXPECT_EQ(child->GetBoundsRect(), Rect(300, 250, 350, 270));
}

TEST(ControlProperties, ChildrenFollowTheParentsFontAndColourUntilTheyChooseTheirOwn) {
  TWinControl parent(nullptr);
  TWinControl child(nullptr);
  child.SetParentColor(true);
  child.SetParent(&parent);
  parent.SetColor(clRed);
  parent.GetFont()->SetName("Arial");
  EXPECT_EQ(child.GetColor(), clRed);
  EXPECT_TRUE(child.GetParentColor());
  EXPECT_EQ(child.GetFont()->GetName(), "Arial");
  EXPECT_TRUE(child.GetParentFont());

  child.GetFont()->SetSize(14);
  EXPECT_FALSE(child.GetParentFont());
  child.SetColor(clBlue);
  EXPECT_FALSE(child.GetParentColor());
  parent.SetColor(clGreen);
  parent.GetFont()->SetName("Courier New");
  EXPECT_EQ(child.GetColor(), clBlue);
  EXPECT_EQ(child.GetFont()->GetName(), "Arial");
  child.SetParent(nullptr);
}

TEST(ControlProperties, ParentFreesItsChildrenAndAFreedChildLeavesItsParent) {
  TComponent owner(nullptr);
  auto* parent = new TWinControl(&owner);
  auto* kept = new TWinControl(&owner);
  auto* child = new TWinControl(&owner);
  auto* graphic = new TGraphicControl(&owner);
  child->SetParent(parent);
  graphic->SetParent(parent);
  kept->SetParent(parent);
  EXPECT_EQ(parent->GetControlCount(), 3);
  delete kept;
  EXPECT_EQ(parent->GetControlCount(), 2);
  EXPECT_EQ(owner.GetComponentCount(), 3);
  // The parent takes its children with it; they leave their owner's list.
  delete parent;
  EXPECT_EQ(owner.GetComponentCount(), 0);
}

TEST(ControlProperties, APopupMenuFreedFirstIsForgotten) {
  TWinControl control(nullptr);
  auto* menu = new TPopupMenu(nullptr);
  control.SetPopupMenu(menu);
  EXPECT_EQ(control.GetPopupMenu(), menu);
  delete menu;
  EXPECT_EQ(control.GetPopupMenu(), nullptr);
}

TEST(ControlProperties, AControlCannotBeItsOwnAncestor) {
  TWinControl a(nullptr);
  TWinControl b(nullptr);
  b.SetParent(&a);
  EXPECT_THROW(a.SetParent(&b), EInvalidOperation);
  EXPECT_THROW(a.SetParent(&a), EInvalidOperation);
  b.SetParent(nullptr);
}

}  // namespace
