// The scrolling parameters the views read.
#include <gtest/gtest.h>

#include "image/model/ieutils.h"

namespace {

TEST(ScrollParams, DefaultsOfNewParameterObjects) {
  const TIEMouseWheelParams wheel;
  EXPECT_EQ(wheel.Action, iemwZoom);
  EXPECT_EQ(wheel.Variation, iemwPercentage);
  EXPECT_EQ(wheel.Value, 8);
  EXPECT_EQ(wheel.ZoomPosition, iemwCenter);
  EXPECT_FALSE(wheel.InvertDirection);
  const TIEScrollBarParams bar;
  EXPECT_EQ(bar.LineStep, -1);
  EXPECT_EQ(bar.PageStep, -1);
  EXPECT_TRUE(bar.Tracking);
}

}  // namespace
