#include "ship/ship.h"

#include <array>
#include <cmath>
#include <utility>

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

// Lines run from the first point to the second both when drawn and when erased, so the
// black line covers exactly the pixels of the white one.
void DrawOutlineLine(const GameState& state, Platform& platform, int from, int to) {
  platform.DrawLine(static_cast<float>(state.ShipPtX[from]),
                    static_cast<float>(state.ShipPtY[from]), static_cast<float>(state.ShipPtX[to]),
                    static_cast<float>(state.ShipPtY[to]));
}

// The rear arc spans 80 degrees behind the centre; both ends are kept in [0, 2*pi)
// so the arc runs counter-clockwise from point 2 to point 3.
void ComputeRearArc(GameState& state) {
  const double headingRoom = 360 - UnDegrees(state, state.ShipAngle);
  state.ArcStart = headingRoom > 50 ? state.ShipAngle + Degrees(state, 50)
                                    : state.ShipAngle + Degrees(state, 50) - Degrees(state, 360);
  state.ArcEnd = headingRoom > 130 ? state.ShipAngle + Degrees(state, 130)
                                   : state.ShipAngle + Degrees(state, 130) - Degrees(state, 360);
}

// Each line once, for drawing and erasing alike.
constexpr std::array<std::pair<int, int>, 2> kNoseLines{{{1, 14}, {17, 1}}};
constexpr std::array<std::pair<int, int>, 4> kSideLines{{{12, 13}, {13, 14}, {15, 16}, {16, 17}}};
constexpr std::array<std::pair<int, int>, 4> kFlameLines{{{4, 5}, {6, 7}, {8, 9}, {10, 11}}};

template <std::size_t N>
void DrawOutlineLines(const GameState& state, Platform& platform,
                      const std::array<std::pair<int, int>, N>& lines) {
  for (const auto& [from, to] : lines) DrawOutlineLine(state, platform, from, to);
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

void DrawShip(GameState& state, Platform& platform) {
  platform.SetPenColour(255, 255, 255);
  ComputeShipOutline(state);
  const float centreX = static_cast<float>(state.ShipX);
  const float centreY = static_cast<float>(state.ShipY);
  if (state.KeyShield) platform.DrawCircle(centreX, centreY, kShieldRadius);
  DrawOutlineLines(state, platform, kNoseLines);
  ComputeRearArc(state);
  platform.DrawArc(centreX, centreY, kHullRadius, static_cast<float>(state.ArcStart),
                   static_cast<float>(state.ArcEnd));
  DrawOutlineLines(state, platform, kSideLines);
  if (state.KeyThrust) DrawOutlineLines(state, platform, kFlameLines);
  state.LastShipX = state.ShipX;
  state.LastShipY = state.ShipY;
}

void ClearShip(const GameState& state, Platform& platform) {
  platform.SetPenColour(0, 0, 0);
  DrawOutlineLines(state, platform, kNoseLines);
  DrawOutlineLines(state, platform, kFlameLines);
  DrawOutlineLines(state, platform, kSideLines);
  const float centreX = static_cast<float>(state.LastShipX);
  const float centreY = static_cast<float>(state.LastShipY);
  platform.DrawArc(centreX, centreY, kHullRadius, static_cast<float>(state.ArcStart),
                   static_cast<float>(state.ArcEnd));
  platform.DrawCircle(centreX, centreY, kShieldRadius);
}

}  // namespace quillfane
