#include "controls/controls.h"

namespace quillfane {

void Picture1_KeyDown(GameState& state, Platform& platform, Integer keyCode, Integer /*shift*/) {
  switch (keyCode) {
    case kKeyEscape:
      platform.EndProgram();
      return;
    case kKeySpace:
      state.KeyFire = true;
      break;
    case kKeyLeft:
      state.KeyLeft = true;
      break;
    case kKeyUp:
      state.KeyThrust = true;
      break;
    case kKeyRight:
      state.KeyRight = true;
      break;
    case kKeyDown:
      state.KeyShield = true;
      break;
    default:
      break;
  }
}

void Picture1_KeyUp(GameState& state, Integer keyCode, Integer /*shift*/) {
  switch (keyCode) {
    case kKeySpace:
      state.FireReady = true;
      state.KeyFire = false;
      break;
    case kKeyLeft:
      state.KeyLeft = false;
      break;
    case kKeyUp:
      state.KeyThrust = false;
      break;
    case kKeyRight:
      state.KeyRight = false;
      break;
    case kKeyDown:
      state.KeyShield = false;
      break;
    default:
      break;
  }
}

}  // namespace quillfane
