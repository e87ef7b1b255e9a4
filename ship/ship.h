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

// Draws the ship in white at its centre and heading, with the shield and the flame
// when their keys are held, and records what it drew for ClearShip.
void DrawShip(GameState& state, Platform& platform);

// Erases the ship exactly as the last DrawShip left it, by drawing the same figures
// in black: flame and shield always, whether or not they were shown.
void ClearShip(const GameState& state, Platform& platform);

}  // namespace quillfane
