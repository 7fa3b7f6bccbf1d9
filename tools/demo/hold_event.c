/* Holds a named event that some other program may look for, as any program
 * on the machine could, so that tests can show such a name proves nothing.
 *
 *   hold_event.exe NAME [MS]
 *
 * Creates (or opens) the event NAME and keeps it for MS milliseconds (default
 * 60000) or until killed. Prints "held" once it has the event. Exit codes: 0
 * the event was new, 3 it existed already, 1 it could not be made, 64 bad
 * usage. Name it by ASCII: Chinese arguments do not reach argv intact under
 * Wine with an ungenerated zh_CN locale. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: hold_event NAME [MS]\n");
    return 64;
  }
  DWORD ms = argc == 3 ? (DWORD)strtoul(argv[2], NULL, 10) : 60000;
  HANDLE event = CreateEventA(NULL, TRUE, FALSE, argv[1]);
  if (!event) {
    fprintf(stderr, "hold_event: CreateEvent failed (%lu)\n", GetLastError());
    return 1;
  }
  int existed = GetLastError() == ERROR_ALREADY_EXISTS;
  printf("held\n");
  fflush(stdout);
  Sleep(ms);
  CloseHandle(event);
  return existed ? 3 : 0;
}
