#include "platform/window_base.h"

#include <cstdlib>

namespace quillfane {

void WindowBase::SetWindowEvents(WindowEvents& events) {
  events_ = &events;
  keys_.SetEvents(&events);
}

// The game hears nothing more, whatever closing the window sends.
void WindowBase::EndProgram() {
  events_ = nullptr;
  keys_.SetEvents(nullptr);
  CloseAndExit();
  std::abort();  // g++ does not count on [[noreturn]] through a virtual call
}

void WindowBase::Show() {
  ShowWindow();
  reported_ = Outer();
  presentAll_ = true;
  Started(Present());
}

float WindowBase::WindowWidth() const { return static_cast<float>(Outer().width) * kTwipsPerPixel; }

float WindowBase::WindowHeight() const {
  return static_cast<float>(Outer().height) * kTwipsPerPixel;
}

void WindowBase::RefreshPlayfield() {
  Playfield().Clear();
  presentAll_ = true;
  Present();
}

void WindowBase::PumpEvents() {
  DispatchEvents();
  // At rest without the keys, so that the controller's keys go up with the keyboard's and act
  // again once the window has them back.
  PadState pad;
  if (!ReadController(pad) || !HasFocus()) pad = {};
  gamepad_.Update(pad, keys_);
  if (const OuterSize outer = Outer(); outer != reported_) {
    reported_ = outer;
    presentAll_ = true;
    if (events_ != nullptr) events_->Form_Resize();
  }
  Present();
}

void WindowBase::Sleep(int milliseconds) { Wait(milliseconds > 0 ? unsigned(milliseconds) : 0); }

bool WindowBase::Present() {
  if (!DueToPresent()) return true;
  const bool shown = PresentPlayfield(Playfield(), presentAll_);
  presentAll_ = !shown;
  Playfield().ClearDirty();
  return shown;
}

}  // namespace quillfane
