#include "ship/ship_outline.h"

#include <array>
#include <cmath>

#include "game/angles.h"

namespace quillfane {

namespace {

struct PolarPoint {
  int index;
  double offsetDegrees;  // from the nose, counter-clockwise on screen
  double radius;
};

constexpr std::array<PolarPoint, 11> kHullAndFlamePoints{{
    {1, 0, 300},
    {2, 140, 300},
    {3, 220, 300},
    {4, 210, 320},
    {5, 150, 320},
    {6, 200, 330},
    {7, 160, 330},
    {8, 190, 340},
    {9, 170, 340},
    {10, 179, 350},
    {11, 181, 350},
}};

constexpr std::array<PolarPoint, 2> kFirstSidePoints{{{13, 40, 230}, {14, 120, 160}}};
constexpr std::array<PolarPoint, 2> kSecondSidePoints{{{16, 320, 230}, {17, 240, 160}}};

template <std::size_t N>
void ComputePoints(GameState& state, const std::array<PolarPoint, N>& points) {
  for (const PolarPoint& point : points) {
    const double angle = state.ShipAngle + Degrees(state, point.offsetDegrees);
    state.ShipPtX[point.index] = state.ShipX + std::sin(angle) * point.radius;
    state.ShipPtY[point.index] = state.ShipY + std::cos(angle) * point.radius;
  }
}

void CopyPoint(GameState& state, int from, int to) {
  state.ShipPtX[to] = state.ShipPtX[from];
  state.ShipPtY[to] = state.ShipPtY[from];
}

}  // namespace

// Points 12 and 15 repeat the rear corners 2 and 3 as the starts of their hull lines.
void ComputeShipOutline(GameState& state) {
  ComputePoints(state, kHullAndFlamePoints);
  CopyPoint(state, 2, 12);
  ComputePoints(state, kFirstSidePoints);
  CopyPoint(state, 3, 15);
  ComputePoints(state, kSecondSidePoints);
}

void DrawOutlineLine(const GameState& state, Platform& platform, int from, int to) {
  platform.DrawLine(static_cast<float>(state.ShipPtX[from]),
                    static_cast<float>(state.ShipPtY[from]), static_cast<float>(state.ShipPtX[to]),
                    static_cast<float>(state.ShipPtY[to]));
}

}  // namespace quillfane
