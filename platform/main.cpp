#include <string>

#include "game/form1.h"
#include "platform/window_base.h"

int main(int argc, char** argv) {
  if (const auto status = quillfane::AnswerCommandLine(argc, argv)) return *status;
  std::string error;
  auto window = quillfane::OpenWindow(error);
  if (window == nullptr) {
    quillfane::ReportStartFailure(error);
    return 1;
  }
  quillfane::Form1 form(*window);
  window->SetWindowEvents(form);
  form.Form_Load();
  window->Show();
  // Enters the frame loop, which ends the program itself.
  form.Form_Resize();
}
