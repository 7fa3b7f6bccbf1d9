// Process entry of launcher.exe. The command line is not read.

#include <windows.h>

#include <cstdlib>

#include "app/launcher.h"
#include "platform/win32/win32_services.h"
#include "ui/win32/launch_window.h"
#ifdef TAVORO_STARTUP_TRACE
#include "app/win32/startup_trace_file.h"
#endif
#ifdef TAVORO_KILL_POINTS
#include "app/win32/kill_points.h"
#include "app/win32/trace_file.h"
#endif

namespace {

app::Launcher* g_launcher = nullptr;

// Also covers a process that ends through exit() without passing End the
// program; the clean-up itself runs only once.
void cleanUpAtExit() {
  if (g_launcher != nullptr)
    g_launcher->exitCleanup().run();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef TAVORO_STARTUP_TRACE
  app::win32::startStartupTrace();
#endif
#ifdef TAVORO_KILL_POINTS
  // The trace file first: the change a kill point ends at is in it too.
  app::win32::startTraceFile();
  app::win32::armKillPoints();
#endif
  // Never destroyed: the process ends through ExitProcess, with no static
  // destructors racing threads that may still run.
  static ui::win32::LaunchWindow window;
  static app::Launcher launcher(platform::win32::services(), window, window);
  g_launcher = &launcher;
  std::atexit(cleanUpAtExit);

  // Creation raises the created event, which may end the program.
  if (window.create(instance, launcher, nullptr, ui::win32::Creation::FirstFrameFirst)) {
    window.show();
    launcher.raise(ui::kWindow, ui::Event::Shown, {});
#ifdef TAVORO_STARTUP_TRACE
    app::win32::writeStartupTrace();
#endif
    window.runMessageLoop();
  }
  launcher.exitCleanup().run();
  ExitProcess(0);
}
