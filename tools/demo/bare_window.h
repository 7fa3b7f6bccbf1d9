/* The window class and message loop of a program that shows one window and
 * ends when it is closed: the demo game and the start-up benchmark's
 * baseline window. Static functions in a header, so that the baseline stays
 * one small translation unit. */
#pragma once

#include <windows.h>

/* Ends the message loop when the window is destroyed; the rest is Windows'
 * default handling. */
static LRESULT CALLBACK bare_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

/* A class with the arrow cursor; `background` is NULL where the window
 * procedure paints everything. Zero when the class cannot be registered. */
static ATOM register_bare_class(HINSTANCE instance, const char* name, WNDPROC proc,
                                HBRUSH background) {
  WNDCLASSA wc = {0};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(NULL, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassA(&wc);
}

/* Shows the window and handles messages until it is gone; returns the
 * process's exit code. */
static int run_bare_window(HWND window, int show) {
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
