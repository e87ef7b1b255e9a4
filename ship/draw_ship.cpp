#include "ship/draw_ship.h"

#include "game/angles.h"
#include "ship/ship_outline.h"

namespace quillfane {

namespace {

// The rear arc spans 80 degrees behind the centre; both ends are kept in [0, 2*pi)
// so the arc runs counter-clockwise from point 2 to point 3.
void ComputeRearArc(GameState& state) {
  const double headingRoom = 360 - UnDegrees(state, state.ShipAngle);
  state.ArcStart = headingRoom > 50 ? state.ShipAngle + Degrees(state, 50)
                                    : state.ShipAngle + Degrees(state, 50) - Degrees(state, 360);
  state.ArcEnd = headingRoom > 130 ? state.ShipAngle + Degrees(state, 130)
                                   : state.ShipAngle + Degrees(state, 130) - Degrees(state, 360);
}

}  // namespace

void DrawShip(GameState& state, Platform& platform) {
  platform.SetPenColour(255, 255, 255);
  ComputeShipOutline(state);
  const float centreX = static_cast<float>(state.ShipX);
  const float centreY = static_cast<float>(state.ShipY);
  if (state.KeyShield) platform.DrawCircle(centreX, centreY, kShieldRadius);
  DrawOutlineLine(state, platform, 1, 14);
  DrawOutlineLine(state, platform, 17, 1);
  ComputeRearArc(state);
  platform.DrawArc(centreX, centreY, kHullRadius, static_cast<float>(state.ArcStart),
                   static_cast<float>(state.ArcEnd));
  DrawOutlineLine(state, platform, 12, 13);
  DrawOutlineLine(state, platform, 13, 14);
  DrawOutlineLine(state, platform, 15, 16);
  DrawOutlineLine(state, platform, 16, 17);
  if (state.KeyThrust) {
    DrawOutlineLine(state, platform, 4, 5);
    DrawOutlineLine(state, platform, 6, 7);
    DrawOutlineLine(state, platform, 8, 9);
    DrawOutlineLine(state, platform, 10, 11);
  }
  state.LastShipX = state.ShipX;
  state.LastShipY = state.ShipY;
}

}  // namespace quillfane
