// CIELAB conversions against an independent reference computed in decimal
// arithmetic (tests/data/image/cielab_peer.py).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "image/model/ieutils.h"
#include "tests/support/Peers.h"

namespace {

std::string Peer(const std::vector<std::string>& args) {
  const std::string python = larktest::RequireProgram("/usr/bin/python3");
  if (python.empty()) return {};
  std::vector<std::string> argv = {python, std::string(LARK_TEST_DATA) + "/image/cielab_peer.py"};
  argv.insert(argv.end(), args.begin(), args.end());
  int exitCode = -1;
  std::string out = larktest::RunCommand(argv, &exitCode);
  EXPECT_EQ(exitCode, 0) << "cielab_peer.py failed";
  return out;
}

TEST(CIELAB, KnownColours) {
  EXPECT_EQ(IERGB2CIELAB(TRGB{0, 0, 0}).L, 0);
  // No reference white divides the values, so white is not (255, 0, 0).
  EXPECT_EQ(IERGB2CIELAB(TRGB{255, 255, 255}), (TIELAB{242, -24, -6}));
  // -128 acts as the largest positive value.
  const TRGB plus = IECIELAB2RGB(TIELAB{128, -128, 0});
  const TRGB minus = IECIELAB2RGB(TIELAB{128, -127, 0});
  EXPECT_GT(plus.r, minus.r) << "-128 reads as +128, the reddest a";
}

TEST(CIELAB, RgbToLabMatchesTheReference) {
  std::istringstream lines(Peer({"to-lab", "17"}));
  int r, g, b, l, a, bb;
  int checked = 0;
  while (lines >> r >> g >> b >> l >> a >> bb) {
    const TIELAB lab = IERGB2CIELAB(TRGB{static_cast<Byte>(b), static_cast<Byte>(g),
                                         static_cast<Byte>(r)});
    ASSERT_EQ(lab, (TIELAB{static_cast<Byte>(l), static_cast<ShortInt>(a),
                           static_cast<ShortInt>(bb)}))
        << "rgb " << r << " " << g << " " << b << " gave " << int(lab.L) << " " << int(lab.a)
        << " " << int(lab.b);
    ++checked;
  }
  EXPECT_EQ(checked, 16 * 16 * 16);
}

TEST(CIELAB, LabToRgbMatchesTheReference) {
  std::istringstream lines(Peer({"to-rgb", "5", "8"}));
  int l, a, bb, r, g, b;
  int checked = 0;
  while (lines >> l >> a >> bb >> r >> g >> b) {
    const TRGB rgb = IECIELAB2RGB(TIELAB{static_cast<Byte>(l), static_cast<ShortInt>(a),
                                         static_cast<ShortInt>(bb)});
    ASSERT_EQ(rgb, (TRGB{static_cast<Byte>(b), static_cast<Byte>(g), static_cast<Byte>(r)}))
        << "lab " << l << " " << a << " " << bb << " gave " << int(rgb.r) << " " << int(rgb.g)
        << " " << int(rgb.b);
    ++checked;
  }
  EXPECT_EQ(checked, 52 * 33 * 33);
}

}  // namespace
