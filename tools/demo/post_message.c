/* Posts a message to a top-level window found by class (default: the Launch
 * window) or by title, so that tests close windows the way Windows does
 * instead of killing processes.
 *
 *   post_message.exe [/class:NAME] [/title:TEXT] [/wait:MS] [MSG [WPARAM [LPARAM]]]
 *
 * Name windows by ASCII names: Chinese arguments do not reach argv intact
 * under Wine with an ungenerated zh_CN locale, hence the built-in default.
 * MSG is a number (0x10) or "close" (the default) or "quit". Exit codes: 0 posted,
 * 1 no such window, 2 posting failed, 64 bad usage.
 *
 * MSG "iconic" posts nothing and asks whether the window is minimised: exit
 * code 0 when it is, 3 when it is not. Without a window manager the X window
 * of a minimised Wine window stays mapped, so X tools cannot tell. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

/* GBK bytes after -fexec-charset, as FindWindowA compares in code page 936. */
static const char kLaunchWindowClass[] = "塔沃VR游戏启动窗口";

static int parse_number(const char* text, UINT_PTR* out) {
  char* end = NULL;
  unsigned long value = strtoul(text, &end, 0);
  if (end == text || *end != '\0')
    return 0;
  *out = (UINT_PTR)value;
  return 1;
}

/* Not a message: the "iconic" query. */
#define QUERY_ICONIC 0xFFFFFFFFu

static int parse_message(const char* text, UINT* out) {
  UINT_PTR value;
  if (lstrcmpiA(text, "close") == 0) {
    *out = WM_CLOSE;
    return 1;
  }
  if (lstrcmpiA(text, "quit") == 0) {
    *out = WM_QUIT;
    return 1;
  }
  if (lstrcmpiA(text, "iconic") == 0) {
    *out = QUERY_ICONIC;
    return 1;
  }
  if (!parse_number(text, &value))
    return 0;
  *out = (UINT)value;
  return 1;
}

int main(int argc, char** argv) {
  const char* class_name = kLaunchWindowClass;
  const char* title = NULL;
  DWORD wait_ms = 0;
  UINT message = WM_CLOSE;
  UINT_PTR wparam = 0, lparam = 0;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (strncmp(arg, "/class:", 7) == 0) {
      class_name = arg + 7;
    } else if (strncmp(arg, "/title:", 7) == 0) {
      title = arg + 7;
      class_name = NULL;
    } else if (strncmp(arg, "/wait:", 6) == 0) {
      wait_ms = (DWORD)strtoul(arg + 6, NULL, 10);
    } else if (positional == 0 && parse_message(arg, &message)) {
      ++positional;
    } else if (positional == 1 && parse_number(arg, &wparam)) {
      ++positional;
    } else if (positional == 2 && parse_number(arg, &lparam)) {
      ++positional;
    } else {
      fprintf(stderr, "post_message: bad argument: %s\n", arg);
      return 64;
    }
  }

  DWORD start = GetTickCount();
  HWND window;
  for (;;) {
    window = FindWindowA(class_name, title);
    if (window || GetTickCount() - start >= wait_ms)
      break;
    Sleep(20);
  }
  if (!window) {
    fprintf(stderr, "post_message: window not found\n");
    return 1;
  }
  if (message == QUERY_ICONIC)
    return IsIconic(window) ? 0 : 3;
  /* WM_QUIT is a thread message, not a window message. */
  BOOL ok = message == WM_QUIT ? PostThreadMessageA(GetWindowThreadProcessId(window, NULL), WM_QUIT,
                                                    wparam, lparam)
                               : PostMessageA(window, message, (WPARAM)wparam, (LPARAM)lparam);
  if (!ok) {
    fprintf(stderr, "post_message: posting failed (%lu)\n", GetLastError());
    return 2;
  }
  return 0;
}
