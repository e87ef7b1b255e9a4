#pragma once

#include <cstdint>

namespace quillfane {

using WindowHandle = std::uintptr_t;

// Everything the game asks of the window, its playfield and the operating system.
// Positions, sizes and radii are twips; angles are radians, 0 toward increasing x,
// growing counter-clockwise on screen. Figures that reach past the playfield are clipped.
class Platform {
 public:
  virtual ~Platform() = default;

  // Figures carry no colour of their own: they use the pen colour last set.
  virtual void SetPenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) = 0;
  virtual void DrawLine(float x1, float y1, float x2, float y2) = 0;
  virtual void DrawBox(float x1, float y1, float x2, float y2) = 0;
  virtual void DrawCircle(float centreX, float centreY, float radius) = 0;
  // Counter-clockwise from startAngle to endAngle, through angle 0 when start > end.
  virtual void DrawArc(float centreX, float centreY, float radius, float startAngle,
                       float endAngle) = 0;

  virtual float PlayfieldWidth() const = 0;
  virtual float PlayfieldHeight() const = 0;
  virtual void SetPlayfieldWidth(float twips) = 0;
  virtual void SetPlayfieldHeight(float twips) = 0;

  // Outer size of the window, frame and title bar included.
  virtual float WindowWidth() const = 0;
  virtual float WindowHeight() const = 0;
  virtual WindowHandle Handle() const = 0;
  // The active window's handle, or 0 when none of ours is active.
  virtual WindowHandle GetActiveWindow() const = 0;

  // Repaints the playfield at once, leaving only its black background.
  virtual void RefreshPlayfield() = 0;
  virtual void FocusPlayfield() = 0;
  // Handles every waiting window event (keys, resize, repaint) before it returns.
  virtual void PumpEvents() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Ends the program at once: nothing after the call runs.
  [[noreturn]] virtual void EndProgram() = 0;
};

}  // namespace quillfane
