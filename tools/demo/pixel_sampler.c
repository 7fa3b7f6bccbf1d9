/* Samples one screen pixel again and again and prints what it saw, so that
 * tests can follow an animation on the screen more finely than screenshots
 * allow.
 *
 *   pixel_sampler.exe X Y INTERVAL_MS DURATION_MS
 *
 * Prints one line per sample: milliseconds since the start and the colour as
 * RRGGBB hex. Exit codes: 0 done, 64 bad usage, 2 no screen. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: pixel_sampler.exe X Y INTERVAL_MS DURATION_MS\n");
    return 64;
  }
  const int x = atoi(argv[1]), y = atoi(argv[2]);
  const DWORD interval = (DWORD)atoi(argv[3]), duration = (DWORD)atoi(argv[4]);
  HDC screen = GetDC(NULL);
  if (!screen)
    return 2;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD now = GetTickCount() - start;
    if (now > duration)
      break;
    const COLORREF c = GetPixel(screen, x, y);
    printf("%lu %02X%02X%02X\n", (unsigned long)now, GetRValue(c), GetGValue(c), GetBValue(c));
    fflush(stdout);
    Sleep(interval);
  }
  ReleaseDC(NULL, screen);
  return 0;
}
