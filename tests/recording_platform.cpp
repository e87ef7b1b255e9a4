#include "tests/recording_platform.h"

namespace quillfane::testing {

std::vector<Figure> RecordingPlatform::FiguresIn(Colour pen) const {
  std::vector<Figure> result;
  for (const Figure& figure : figures) {
    if (figure.pen == pen) result.push_back(figure);
  }
  return result;
}

void RecordingPlatform::SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  pen_ = {red, green, blue};
}

void RecordingPlatform::DrawLine(float x1, float y1, float x2, float y2) {
  Record(FigureKind::Line, {x1, y1, x2, y2, 0});
}

void RecordingPlatform::DrawBox(float x1, float y1, float x2, float y2) {
  Record(FigureKind::Box, {x1, y1, x2, y2, 0});
}

void RecordingPlatform::DrawCircle(float centreX, float centreY, float radius) {
  Record(FigureKind::Circle, {centreX, centreY, radius, 0, 0});
}

void RecordingPlatform::DrawArc(float centreX, float centreY, float radius, float startAngle,
                                float endAngle) {
  Record(FigureKind::Arc, {centreX, centreY, radius, startAngle, endAngle});
}

void RecordingPlatform::PumpEvents() {
  calls.push_back("pump");
  if (pumpScripts.empty()) return;
  auto script = std::move(pumpScripts.front());
  pumpScripts.pop_front();
  if (script) script();
}

void RecordingPlatform::Sleep(int milliseconds) {
  calls.push_back("sleep " + std::to_string(milliseconds));
}

void RecordingPlatform::EndProgram() { throw ProgramEnded{}; }

void RecordingPlatform::Record(FigureKind kind, std::array<float, 5> args) {
  figures.push_back({kind, args, pen_});
}

}  // namespace quillfane::testing
