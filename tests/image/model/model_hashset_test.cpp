// THash1: the set of 32-bit keys behind the colour counters.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"

namespace {

TEST(IEHashSet, KeysSharingLowBitsChainAndDuplicatesAreRefused) {
  THash1 hash(4);
  EXPECT_EQ(hash.GetBucketCount(), 16u);
  EXPECT_EQ(hash.HashFunc(17), 1u);
  EXPECT_TRUE(hash.Insert(1));
  EXPECT_TRUE(hash.Insert(17));  // same bucket: a chain of two
  EXPECT_FALSE(hash.Insert(17));
  EXPECT_FALSE(hash.Insert(1));
  EXPECT_TRUE(hash.Insert(33));  // a third link
  EXPECT_FALSE(hash.Insert(33));
  EXPECT_EQ(hash.GetCount(), 3);
  for (DWORD key : {1u, 17u, 33u}) EXPECT_TRUE(hash.KeyPresent(key)) << key;
  for (DWORD key : {0u, 2u, 49u, 0xFFFFFFF1u}) EXPECT_FALSE(hash.KeyPresent(key)) << key;
}

// Counting the distinct colours of an image: the count must match a reference set
// whatever the spread of the keys, including one bucket holding everything.
TEST(IEHashSet, CountsDistinctKeysLikeAReferenceSet) {
  for (Integer bits : {0, 4, 13}) {
    THash1 hash(bits);
    std::set<DWORD> reference;
    std::mt19937 random(1234);
    for (int i = 0; i < 20000; ++i) {
      const DWORD key = random() % 5000 * 0x01010101u;  // repeats, and shared low bits
      EXPECT_EQ(hash.Insert(key), reference.insert(key).second);
    }
    EXPECT_EQ(hash.GetCount(), static_cast<Integer>(reference.size())) << bits;
    for (DWORD key : reference) ASSERT_TRUE(hash.KeyPresent(key));
  }
}

TEST(IEHashSet, BucketBitsOutOfRangeAreRefused) {
  EXPECT_THROW(THash1(-1), ERangeError);
  EXPECT_THROW(THash1(25), ERangeError);
  EXPECT_THROW(THash1(32), ERangeError);
}

}  // namespace
