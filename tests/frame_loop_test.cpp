#include <algorithm>
#include <cmath>
#include <limits>

#include "game/angles.h"
#include "game/check_wrap.h"
#include "game/form1.h"
#include "game/frame.h"
#include "tests/game_fixture.h"

namespace quillfane::testing {
namespace {

using FrameLoop = GameTest;

void RunFrames(GameState& state, Platform& platform, int count) {
  for (int i = 0; i < count; ++i) RunFrame(state, platform);
}

TEST_F(FrameLoop, HeadingStaysInRangeThroughWholeTurns) {
  state.KeyLeft = true;
  RunFrames(state, platform, 36);
  EXPECT_EQ(state.ShipAngle, 0);

  Form_Load(state);
  state.KeyLeft = false;
  state.KeyRight = true;
  RunFrames(state, platform, 36);
  EXPECT_EQ(state.ShipAngle, 4.163336342344337e-16);
  RunFrame(state, platform);
  EXPECT_EQ(state.ShipAngle, Degrees(state, 355));

  for (int frame = 0; frame < 720; ++frame) {
    RunFrame(state, platform);
    ASSERT_GE(state.ShipAngle, 0);
    ASSERT_LE(state.ShipAngle, Degrees(state, 355));
  }
}

TEST_F(FrameLoop, LeftAndRightTogetherHoldTheHeading) {
  state.KeyLeft = state.KeyRight = true;
  RunFrames(state, platform, 10);
  EXPECT_NEAR(state.ShipAngle, Degrees(state, 180), 1e-14);
}

TEST_F(FrameLoop, ThrustAddsToVelocityAndTheShipDriftsAfterRelease) {
  const double startY = state.ShipY;
  state.KeyThrust = true;
  RunFrames(state, platform, 2);
  EXPECT_EQ(state.VelY, -2);
  EXPECT_EQ(state.VelX, 2 * 3.2310891488651735e-15);
  EXPECT_EQ(state.ShipY, startY - 1);  // the ship moves before the frame's thrust

  state.KeyThrust = false;
  RunFrames(state, platform, 3);
  EXPECT_EQ(state.VelY, -2);
  EXPECT_EQ(state.ShipY, startY - 7);
}

TEST_F(FrameLoop, WrapLandsExactlyOnTheOppositeEdge) {
  const float height = platform.playfieldHeight;
  const float width = platform.playfieldWidth;
  struct Case {
    double x, y, wrappedX, wrappedY;
  };
  const double floatStep = std::nextafter(height, 1e9f) - height;
  const Case cases[] = {
      {100, height + 10, 100, 0},
      {100, -0.25, 100, height},
      {width + 0.5, 100, 0, 100},
      {-3, 100, width, 100},
      {width, height, width, height},  // exactly on an edge stays
      {0, 0, 0, 0},
      {100, height + floatStep / 4, 100, height + floatStep / 4},  // rounds to the edge
      {-1, height + 1, width, 0},
  };
  for (const Case& c : cases) {
    state.ShipX = c.x;
    state.ShipY = c.y;
    CheckWrap(state, platform);
    EXPECT_EQ(state.ShipX, c.wrappedX) << "from (" << c.x << ", " << c.y << ")";
    EXPECT_EQ(state.ShipY, c.wrappedY) << "from (" << c.x << ", " << c.y << ")";
  }
}

TEST_F(FrameLoop, RegainedFocusRefreshesThePlayfieldOnce) {
  platform.activeWindow = 0;
  RunFrame(state, platform);
  EXPECT_TRUE(state.FocusLost);
  EXPECT_FALSE(platform.FiguresIn(kWhite).empty()) << "the game does not pause while inactive";

  platform.activeWindow = platform.handle;
  platform.calls.clear();
  RunFrame(state, platform);
  EXPECT_FALSE(state.FocusLost);
  EXPECT_EQ(platform.calls,
            (std::vector<std::string>{"pump", "refresh", "focus", "pump", "pump", "sleep 10"}));

  platform.calls.clear();
  RunFrame(state, platform);
  EXPECT_EQ(platform.calls, (std::vector<std::string>{"pump", "sleep 10"}));
}

TEST(Form1Loop, LaterResizesRecentreTheShipInsideTheRunningLoop) {
  RecordingPlatform platform;
  Form1 form(platform);
  form.Form_Load();
  // Frame 1: thrust starts. Frame 3: the window grows; frame 4: Esc.
  platform.pumpScripts.push_back([&] { form.Picture1_KeyDown(38, 0); });
  platform.pumpScripts.push_back([&] { form.Picture1_KeyUp(38, 0); });
  platform.pumpScripts.push_back([&] {
    platform.windowWidth = 9000;
    platform.windowHeight = 7001;
    form.Form_Resize();
    platform.calls.push_back("resized");
  });
  platform.pumpScripts.push_back([&] { form.Picture1_KeyDown(27, 0); });

  EXPECT_THROW(form.Form_Resize(), ProgramEnded);

  const GameState& state = form.State();
  EXPECT_EQ(platform.playfieldWidth, 9000);
  EXPECT_EQ(platform.playfieldHeight, 7001);
  EXPECT_EQ(state.ShipX, 4500);
  EXPECT_EQ(state.ShipY, 3500.5 + state.VelY);  // re-centred, then one more frame of drift
  EXPECT_EQ(state.VelY, -1);
  const auto resized = std::find(platform.calls.begin(), platform.calls.end(), "resized");
  ASSERT_NE(resized, platform.calls.end());
  EXPECT_EQ(*(resized + 1), "sleep 10") << "the resize must return to the running loop";
}

}  // namespace
}  // namespace quillfane::testing
