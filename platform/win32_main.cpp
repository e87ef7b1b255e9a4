#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "game/form1.h"
#include "platform/win32_platform.h"

// A program with no console: a failure to start is told in a message box.
int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  std::string error;
  auto platform = quillfane::Win32Platform::Create(error);
  if (platform == nullptr) {
    MessageBoxA(nullptr, error.c_str(), "Quillfane", MB_OK | MB_ICONERROR);
    return 1;
  }
  quillfane::Form1 form(*platform);
  platform->SetWindowEvents(form);
  form.Form_Load();
  platform->Show();
  // Enters the frame loop, which ends the program itself.
  form.Form_Resize();
  return 0;
}
