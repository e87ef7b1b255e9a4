#include "game/frame.h"

#include <cmath>

#include "bullets/bullet_pool.h"
#include "bullets/update_bullets.h"
#include "game/angles.h"
#include "game/check_wrap.h"
#include "ship/clear_ship.h"
#include "ship/draw_ship.h"
#include "ship/ship_outline.h"

namespace quillfane {

namespace {

constexpr int kFrameSleepMilliseconds = 10;

// The key-up of a key released while another window was active never arrives,
// so held flags are kept; the playfield is repainted black and the next drawing
// brings the ship and bullets back.
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
