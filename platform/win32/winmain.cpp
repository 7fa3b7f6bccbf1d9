// Process entry of launcher.exe. The command line is not read.

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <objbase.h>

#include "core/program.h"
#include "core/state.h"
#include "platform/win32/win32_services.h"
#include "ui/win32/launch_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The progress bar needs the common controls; shell links need COM.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
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
