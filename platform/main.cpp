#include <cstdio>
#include <string>

#include "game/form1.h"
#include "platform/sdl_platform.h"

int main() {
  std::string error;
  auto platform = quillfane::SdlPlatform::Create(error);
  if (platform == nullptr) {
    std::fprintf(stderr, "quillfane: cannot open a window: %s\n", error.c_str());
    return 1;
  }
  quillfane::Form1 form(*platform);
  platform->SetWindowEvents(form);
  form.Form_Load();
  platform->Show();
  // Enters the frame loop, which ends the program itself.
  form.Form_Resize();
}
