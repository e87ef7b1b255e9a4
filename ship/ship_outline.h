#pragma once

#include "game/game_state.h"
#include "platform/platform.h"

namespace quillfane {

constexpr int kNosePoint = 1;
constexpr int kFirstMuzzlePoint = 13;
constexpr int kSecondMuzzlePoint = 16;

constexpr double kHullRadius = 300;
constexpr double kShieldRadius = 400;

// Fills outline points 1 to 17 from the ship's centre and heading.
void ComputeShipOutline(GameState& state);

// A line from one stored outline point to another, always in that direction,
// so that drawing it again in black covers exactly the same pixels.
void DrawOutlineLine(const GameState& state, Platform& platform, int from, int to);

}  // namespace quillfane
