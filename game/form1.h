#pragma once

#include "game/game_state.h"
#include "platform/platform.h"
#include "platform/window_events.h"

namespace quillfane {

// The game's window: owns the game state and handles the window's events.
// The first resize enters the frame loop, which never returns; later resizes
// arrive from inside its event pump and only refit the playfield.
class Form1 final : public WindowEvents {
 public:
  explicit Form1(Platform& platform);

  void Form_Load() override;
  void Form_Resize() override;
  void Picture1_KeyDown(Integer keyCode, Integer shift) override;
  void Picture1_KeyUp(Integer keyCode, Integer shift) override;

  const GameState& State() const { return state_; }

 private:
  [[noreturn]] void RunFrameLoop();

  Platform& platform_;
  GameState state_;
  bool frameLoopRunning_ = false;
};

}  // namespace quillfane
