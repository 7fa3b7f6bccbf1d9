/* A program that ends at once, as a new launcher that crashes at start or
 * an installer that has nothing to do: its exit code is the number written
 * in "<exe base name>.exitcode" beside it, else 0xC0000005 (the code of an
 * access violation). GUI subsystem: no console window. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static DWORD exit_code(void) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  char* slash = n > 0 && n < MAX_PATH ? strrchr(path, '\\') : NULL;
  if (!slash)
    return 0xC0000005;
  char* dot = strrchr(slash, '.');
  char* end = dot ? dot : path + n;
  if ((size_t)(end - path) + sizeof(".exitcode") > MAX_PATH)
    return 0xC0000005;
  strcpy(end, ".exitcode");
  FILE* f = fopen(path, "rb");
  if (!f)
    return 0xC0000005;
  char text[32] = "";
  size_t got = fread(text, 1, sizeof(text) - 1, f);
  fclose(f);
  text[got] = '\0';
  return (DWORD)strtoul(text, NULL, 0);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmdline, int show) {
  (void)instance;
  (void)prev;
  (void)cmdline;
  (void)show;
  ExitProcess(exit_code());
}
