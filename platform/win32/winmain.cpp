// Process entry of launcher.exe. The command line is not read.

#include <windows.h>
// After windows.h, which it builds on.
#include <objbase.h>

#include "core/program.h"
#include "core/state.h"
#include "platform/win32/win32_services.h"
#include "ui/win32/launch_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Shell links need COM; the window starts the common controls itself.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  core::createProgramState();
  static ui::win32::LaunchWindow window;
  core::setContext({platform::win32::services(), &window});
  core::registerExitCleanup();

  // Creation runs the created event, which may end the program.
  if (window.create(instance)) {
    window.show();
    window.runMessageLoop();
  }
  core::runExitCleanup();
  // Ends at once: no static destructors racing threads that still run.
  ExitProcess(0);
}
