/* Baseline for the start-up benchmark: the least a Win32 program does to put
 * a 597x373 borderless window on the screen, so that the launcher's start-up
 * is measured against Wine's own cost of starting a GUI process. */
#include <windows.h>

#include "tools/demo/bare_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdline, int show) {
  (void)prev;
  (void)cmdline;
  const char* class_name = "TavoroMinimalWindow";
  if (!register_bare_class(instance, class_name, bare_window_proc,
                           (HBRUSH)GetStockObject(WHITE_BRUSH)))
    return 1;
  const int width = 597, height = 373;
  int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND window = CreateWindowExA(0, class_name, "minimal window", WS_POPUP | WS_MINIMIZEBOX, left,
                                top, width, height, NULL, NULL, instance, NULL);
  if (!window)
    return 1;
  return run_bare_window(window, show);
}
