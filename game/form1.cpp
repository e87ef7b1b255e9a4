#include "game/form1.h"

#include "controls/controls.h"
#include "game/frame.h"
#include "game/game_state.h"

namespace quillfane {

Form1::Form1(Platform& platform) : platform_(platform) {}

void Form1::Form_Load() { quillfane::Form_Load(state_); }

void Form1::Form_Resize() {
  FitPlayfieldToWindow(state_, platform_);
  if (frameLoopRunning_) return;
  frameLoopRunning_ = true;
  RunFrameLoop();
}

void Form1::Picture1_KeyDown(Integer keyCode, Integer shift) {
  quillfane::Picture1_KeyDown(state_, platform_, keyCode, shift);
}

void Form1::Picture1_KeyUp(Integer keyCode, Integer shift) {
  quillfane::Picture1_KeyUp(state_, keyCode, shift);
}

void Form1::RunFrameLoop() {
  for (;;) RunFrame(state_, platform_);
}

}  // namespace quillfane
