#include "ship/clear_ship.h"

#include <array>
#include <utility>

#include "ship/ship_outline.h"

namespace quillfane {

namespace {

constexpr std::array<std::pair<int, int>, 10> kAllLines{{
    {1, 14},
    {17, 1},
    {4, 5},
    {6, 7},
    {8, 9},
    {10, 11},
    {12, 13},
    {13, 14},
    {15, 16},
    {16, 17},
}};

}  // namespace

void ClearShip(const GameState& state, Platform& platform) {
  platform.SetPenColour(0, 0, 0);
  for (const auto& [from, to] : kAllLines) DrawOutlineLine(state, platform, from, to);
  const float centreX = static_cast<float>(state.LastShipX);
  const float centreY = static_cast<float>(state.LastShipY);
  platform.DrawArc(centreX, centreY, kHullRadius, static_cast<float>(state.ArcStart),
                   static_cast<float>(state.ArcEnd));
  platform.DrawCircle(centreX, centreY, kShieldRadius);
}

}  // namespace quillfane
