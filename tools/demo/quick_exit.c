/* A program that shows no window and ends, as a new launcher that crashes
 * at start, one that hangs in its start-up and then gives up, or an
 * installer that has nothing to do. It waits the milliseconds written in
 * "<exe base name>.sleep" beside it (else not at all) and ends with the code
 * written in "<exe base name>.exitcode" (else 0xC0000005, the code of an
 * access violation). GUI subsystem: no console window. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

/* The number in the file beside the exe with `extension` instead of the
 * exe's own; `fallback` when there is no such file. */
static DWORD number_beside_exe(const char* extension, DWORD fallback) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  char* slash = n > 0 && n < MAX_PATH ? strrchr(path, '\\') : NULL;
  if (!slash)
    return fallback;
  char* dot = strrchr(slash, '.');
  char* end = dot ? dot : path + n;
  if ((size_t)(end - path) + strlen(extension) + 1 > MAX_PATH)
    return fallback;
  strcpy(end, extension);
  FILE* f = fopen(path, "rb");
  if (!f)
    return fallback;
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
  Sleep(number_beside_exe(".sleep", 0));
  ExitProcess(number_beside_exe(".exitcode", 0xC0000005));
}
