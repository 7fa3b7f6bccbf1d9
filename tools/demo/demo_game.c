/* The demo folder's stand-in game: one small window titled 演示游戏 that ends
 * the process when closed. Each start appends its command line and working
 * directory to "<exe base name>.log" beside the exe (DemoGame.log for
 * DemoGame.exe), so tests can see how the launcher started it; a copy under
 * another name, such as the new launcher of an update package, leaves a log
 * of its own. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "bare_window.h"

static const char kTitle[] = "演示游戏";
static const char kClass[] = "TavoroDemoGame";

static void log_start(void) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return;
  char* slash = strrchr(path, '\\');
  if (!slash)
    return;
  /* The extension of the file name (not a dot of a folder) becomes ".log". */
  char* dot = strrchr(slash, '.');
  char* end = dot ? dot : path + n;
  if ((size_t)(end - path) + sizeof(".log") > MAX_PATH)
    return;
  strcpy(end, ".log");
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, cwd);
  FILE* f = fopen(path, "ab");
  if (!f)
    return;
  fprintf(f, "cmdline=%s\r\ncwd=%s\r\n", GetCommandLineA(), cwd);
  fclose(f);
}

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT rc;
    GetClientRect(window, &rc);
    HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x60, 0xA0));
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
    DrawTextA(dc, kTitle, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, &ps);
    return 0;
  }
  return bare_window_proc(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdline, int show) {
  (void)prev;
  (void)cmdline;
  log_start();
  if (!register_bare_class(instance, kClass, window_proc, NULL))
    return 1;
  HWND window = CreateWindowA(kClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              320, 200, NULL, NULL, instance, NULL);
  if (!window)
    return 1;
  return run_bare_window(window, show);
}
