#include <string>

#include "game/form1.h"
#ifdef _WIN32
#include "platform/win32_platform.h"
using Backend = quillfane::Win32Platform;
#elif defined(__EMSCRIPTEN__)
#include "platform/web_platform.h"
using Backend = quillfane::WebPlatform;
#else
#include "platform/command_line.h"
#include "platform/sdl_platform.h"
using Backend = quillfane::SdlPlatform;
#endif

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
// The Windows exe has no console to answer on, and a web page no command line.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
  if (const auto status = quillfane::HandleCommandLine(argc, argv)) return *status;
#endif
  std::string error;
  auto platform = Backend::Create(error);
  if (platform == nullptr) {
    Backend::ReportStartFailure(error);
    return 1;
  }
  quillfane::Form1 form(*platform);
  platform->SetWindowEvents(form);
  form.Form_Load();
  platform->Show();
  // Enters the frame loop, which ends the program itself.
  form.Form_Resize();
}
