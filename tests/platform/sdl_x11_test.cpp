// What the SDL backend knows of the X11 and Wayland desktop, with no display.
#include <gtest/gtest.h>
// After gtest, whose names Xlib's macros would take.
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

#include "platform/sdl/sdl_display.h"
#include "platform/window_base.h"

namespace quillfane {

void WatchXWindow(unsigned long window);

namespace {

// Only a Wayland display named, with nothing answering there; then none named at all.
TEST(SdlX11, NoDisplay) {
  unsetenv("DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  setenv("WAYLAND_DISPLAY", "quillfane-test-none", 1);
  setenv("XDG_RUNTIME_DIR", "/tmp", 1);
  std::string error;
  EXPECT_EQ(OpenWindow(error), nullptr);
  EXPECT_EQ(error.find("no Wayland compositor answers at /tmp/quillfane-test-none"), 0) << error;
  unsetenv("WAYLAND_DISPLAY");
  EXPECT_FALSE(ChooseVideoDriver(error));
  EXPECT_EQ(error.find("no X display is set"), 0) << error;
}

// Only the watched window's loss ends the game; other errors, on it or on other resources,
// leave it playing.
TEST(SdlX11, ErrorsThatEndTheGame) {
  WatchXWindow(42);
  const XErrorHandler ours = XSetErrorHandler(nullptr);
  XErrorEvent error{};
  for (const auto& [resource, code] : {std::pair{42UL, BadWindow}, {42UL, BadDrawable}}) {
    error.resourceid = resource;
    error.error_code = code;
    EXPECT_EXIT(ours(nullptr, &error), ::testing::ExitedWithCode(1),
                "^quillfane: the window was destroyed by another program; the game has ended\n$");
  }
  for (const auto& [resource, code] :
       {std::pair{43UL, BadWindow}, {43UL, BadDrawable}, {42UL, BadMatch}, {42UL, BadAccess}}) {
    error.resourceid = resource;
    error.error_code = code;
    EXPECT_EQ(ours(nullptr, &error), 0) << resource << " " << int(code);
  }
}

// GDK_SCALE first, else Xft.dpi over 96; neither off X11 or under a Wayland compositor.
TEST(SdlX11, DesktopScale) {
  // clang-format off
  const struct { const char *gdk, *resources, *wayland; double scale; } cases[] = {
      {"2", "Xft.dpi: 96", nullptr, 2}, {nullptr, "a: 1\nXft.dpi:\t192\n", nullptr, 2},
      {nullptr, "Xft.dpi: 144", nullptr, 1.5}, {nullptr, "", nullptr, 1}, {"2", nullptr, nullptr, 1},
      {"2", "Xft.dpi: 192", "w", 1}};
  // clang-format on
  for (const auto& c : cases) {
    c.gdk ? setenv("GDK_SCALE", c.gdk, 1) : unsetenv("GDK_SCALE");
    c.wayland ? setenv("WAYLAND_DISPLAY", c.wayland, 1) : unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(DesktopScale(c.resources), c.scale) << c.gdk << " " << c.resources;
  }
}

}  // namespace
}  // namespace quillfane
