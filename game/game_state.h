#pragma once

#include <array>
#include <cstdint>

#include "bullets/bullet.h"

namespace quillfane {

// The game's 16-bit whole numbers: key codes, the bullet count, the thrust.
using Integer = std::int16_t;

constexpr int kOutlinePoints = 21;  // indices 0 to 20; the ship uses 1 to 17

// All state of the game, owned by the window and alive for the whole run.
struct GameState {
  double ShipX = 0;
  double ShipY = 0;
  double LastShipX = 0;
  double LastShipY = 0;
  std::array<double, kOutlinePoints> ShipPtX{};
  std::array<double, kOutlinePoints> ShipPtY{};
  Integer BulletCount = 0;
  double VelX = 0;
  double VelY = 0;
  double ShipAngle = 0;
  Integer ThrustPower = 0;
  bool KeyThrust = false;
  bool KeyLeft = false;
  bool KeyRight = false;
  bool KeyFire = false;
  bool FireReady = false;
  bool FocusLost = false;
  double DegToRad = 0;
  bool KeyShield = false;
  std::array<Bullet, kLastBulletSlot + 1> Bullets{};
  double ArcStart = 0;
  double ArcEnd = 0;
};

// Start values, set once before the window is first shown.
void Form_Load(GameState& state);

// Degrees to radians and back through the game's own DegToRad, never a library's pi:
// the heading's range checks depend on its exact value.
double Degrees(const GameState& state, double number);
double UnDegrees(const GameState& state, double number);

}  // namespace quillfane
