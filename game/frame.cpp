#include "game/frame.h"

#include <cmath>

#include "bullets/bullets.h"
#include "ship/ship.h"

namespace quillfane {

namespace {

constexpr int kFrameSleepMilliseconds = 10;

// The key flags are left alone here: they follow the key events the platform passes on,
// the releases it reports when the focus goes included. On return the playfield is black
// and the next drawing brings the ship and bullets back.
void RecoverFocus(GameState& state, Platform& platform) {
  if (platform.GetActiveWindow() != platform.Handle()) state.FocusLost = true;
  if (!state.FocusLost) return;
  if (platform.GetActiveWindow() != platform.Handle()) return;
  state.FocusLost = false;
  platform.PumpEvents();
  platform.RefreshPlayfield();
  platform.FocusPlayfield();
  platform.PumpEvents();
}

void MoveShip(GameState& state) {
  state.ShipX = state.ShipX + state.VelX;
  state.ShipY = state.ShipY + state.VelY;
}

void Steer(GameState& state) {
  if (state.KeyLeft) state.ShipAngle = Degrees(state, 5) + state.ShipAngle;
  if (state.KeyRight) state.ShipAngle = state.ShipAngle - Degrees(state, 5);
}

// An exact comparison with 360 degrees: the heading moves in steps of 5 degrees from
// 180, so it lands on Degrees(360) exactly when turning left, and a step right from a
// tiny positive remainder takes it below 0.
void KeepHeadingInRange(GameState& state) {
  if (state.ShipAngle == Degrees(state, 360)) state.ShipAngle = Degrees(state, 0);
  if (state.ShipAngle < Degrees(state, 0)) state.ShipAngle = Degrees(state, 355);
}

void Thrust(GameState& state) {
  if (!state.KeyThrust) return;
  const double power = state.ThrustPower;
  state.VelX = power * std::sin(state.ShipAngle) + state.VelX;
  state.VelY = power * std::cos(state.ShipAngle) + state.VelY;
}

// The latch is cleared even when the pool had no room, so holding Space never
// fires a second volley.
void FireWhenAsked(GameState& state) {
  if (!state.KeyFire || !state.FireReady || state.KeyShield) return;
  SpawnBullet(state, kFirstMuzzlePoint);
  SpawnBullet(state, kSecondMuzzlePoint);
  state.FireReady = false;
}

}  // namespace

// The far edges are compared in single precision, the sizes' own precision,
// so a centre less than half a float step past an edge still counts as on it.
void CheckWrap(GameState& state, const Platform& platform) {
  const float height = platform.PlayfieldHeight();
  if (static_cast<float>(state.ShipY) > height) state.ShipY = 0;
  if (state.ShipY < 0) state.ShipY = platform.PlayfieldHeight();

  const float width = platform.PlayfieldWidth();
  if (static_cast<float>(state.ShipX) > width) state.ShipX = 0;
  if (state.ShipX < 0) state.ShipX = platform.PlayfieldWidth();
}

void FitPlayfieldToWindow(GameState& state, Platform& platform) {
  platform.SetPlayfieldWidth(platform.WindowWidth());
  platform.SetPlayfieldHeight(platform.WindowHeight());
  state.ShipX = platform.PlayfieldWidth() / 2;
  state.ShipY = platform.PlayfieldHeight() / 2;
}

void RunFrame(GameState& state, Platform& platform) {
  RecoverFocus(state, platform);
  MoveShip(state);
  CheckWrap(state, platform);
  ClearShip(state, platform);
  DrawShip(state, platform);
  Steer(state);
  KeepHeadingInRange(state);
  Thrust(state);
  FireWhenAsked(state);
  if (state.BulletCount > 0) UpdateBullets(state, platform);
  platform.PumpEvents();
  platform.Sleep(kFrameSleepMilliseconds);
}

}  // namespace quillfane
