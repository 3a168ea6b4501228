#include <gtest/gtest.h>

#include "platform/rtl/Sets.h"

namespace {

enum class TColourItem : unsigned char { Red, Green, Blue };
using TColourSet = TSet<TColourItem>;

TEST(TSet, MembersComeAndGoOneBitEach) {
  TColourSet set{TColourItem::Red, TColourItem::Blue};
  EXPECT_TRUE(set.Contains(TColourItem::Red));
  EXPECT_FALSE(set.Contains(TColourItem::Green));
  EXPECT_EQ(set.Bits(), 0b101u);

  set.Include(TColourItem::Green);
  set.Exclude(TColourItem::Red);
  set.Exclude(TColourItem::Red);  // not a member: nothing changes
  EXPECT_EQ(set, (TColourSet{TColourItem::Green, TColourItem::Blue}));

  EXPECT_EQ(set - TColourItem::Blue + TColourItem::Red,
            (TColourSet{TColourItem::Red, TColourItem::Green}));
  EXPECT_EQ(set.Bits(), 0b110u);  // the operators leave their operand alone
  EXPECT_TRUE(TColourSet().Empty());
  EXPECT_FALSE(set.Empty());
}

}  // namespace
