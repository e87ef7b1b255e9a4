#pragma once

#include <gtest/gtest.h>

#include "game/form_load.h"
#include "game/game_state.h"
#include "tests/recording_platform.h"

namespace quillfane::testing {

// A loaded game on the recording platform, ship centred as after the first resize.
class GameTest : public ::testing::Test {
 protected:
  GameTest() {
    Form_Load(state);
    state.ShipX = platform.playfieldWidth / 2;
    state.ShipY = platform.playfieldHeight / 2;
  }

  GameState state;
  RecordingPlatform platform;
};

}  // namespace quillfane::testing
