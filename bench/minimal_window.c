/* Baseline for the start-up benchmark: the least a Win32 program does to put
 * a 597x373 borderless window on the screen, so that the launcher's start-up
 * is measured against Wine's own cost of starting a GUI process. */
#include <windows.h>

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdline, int show) {
  (void)prev;
  (void)cmdline;
  WNDCLASSA wc = {0};
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(NULL, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszClassName = "TavoroMinimalWindow";
  if (!RegisterClassA(&wc))
    return 1;
  const int width = 597, height = 373;
  int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND window = CreateWindowExA(0, wc.lpszClassName, "minimal window", WS_POPUP | WS_MINIMIZEBOX,
                                left, top, width, height, NULL, NULL, instance, NULL);
  if (!window)
    return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
