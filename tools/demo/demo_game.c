/* The demo folder's stand-in game: one small window titled 演示游戏 that ends
 * the process when closed. Each start appends its command line and working
 * directory to "<exe base name>.log" beside the exe (DemoGame.log for
 * DemoGame.exe), so tests can see how the launcher started it; a copy under
 * another name, such as the new launcher of an update package, leaves a log
 * of its own. When "<exe base name>.hold" lies beside it, each line names a
 * file (relative to the exe's folder) that it keeps open without letting
 * others move or delete it, as a running game holds its data, until it ends. */
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "bare_window.h"

static const char kTitle[] = "演示游戏";
static const char kClass[] = "TavoroDemoGame";

/* The path of a file beside the exe: its base name with `extension`
 * instead of its own (not a dot of a folder); 0 when it does not fit. */
static int beside_exe(char* path, const char* extension) {
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return 0;
  char* slash = strrchr(path, '\\');
  if (!slash)
    return 0;
  char* dot = strrchr(slash, '.');
  char* end = dot ? dot : path + n;
  if ((size_t)(end - path) + strlen(extension) + 1 > MAX_PATH)
    return 0;
  strcpy(end, extension);
  return 1;
}

static void hold_files(void) {
  char list[MAX_PATH];
  if (!beside_exe(list, ".hold"))
    return;
  FILE* f = fopen(list, "rb");
  if (!f)
    return;
  char folder[MAX_PATH];
  strcpy(folder, list);
  *strrchr(folder, '\\') = '\0';
  char line[MAX_PATH];
  while (fgets(line, sizeof(line), f)) {
    line[strcspn(line, "\r\n")] = '\0';
    char path[2 * MAX_PATH];
    if (line[0] == '\0' || snprintf(path, sizeof(path), "%s\\%s", folder, line) >= MAX_PATH)
      continue;
    /* Never closed: the process's end lets go. */
    CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                NULL);
  }
  fclose(f);
}

/* `wide` in code page 936, whatever the system's code page: the log reads
 * the same on every system the tests run the game on. */
static void write_936(FILE* f, const wchar_t* wide) {
  char text[4 * MAX_PATH];
  int n = WideCharToMultiByte(936, 0, wide, -1, text, sizeof(text), NULL, NULL);
  if (n > 0)
    fputs(text, f);
}

static void log_start(void) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return;
  wchar_t* slash = wcsrchr(path, L'\\');
  wchar_t* dot = slash ? wcsrchr(slash, L'.') : NULL;
  wchar_t* end = dot ? dot : path + n;
  if ((size_t)(end - path) + 5 > MAX_PATH)
    return;
  wcscpy(end, L".log");
  wchar_t cwd[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, cwd);
  FILE* f = _wfopen(path, L"ab");
  if (!f)
    return;
  fputs("cmdline=", f);
  write_936(f, GetCommandLineW());
  fputs("\r\ncwd=", f);
  write_936(f, cwd);
  fputs("\r\n", f);
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
  hold_files();
  if (!register_bare_class(instance, kClass, window_proc, NULL))
    return 1;
  HWND window = CreateWindowA(kClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              320, 200, NULL, NULL, instance, NULL);
  if (!window)
    return 1;
  return run_bare_window(window, show);
}
