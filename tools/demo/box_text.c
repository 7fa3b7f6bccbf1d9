/* Prints what the message boxes on the screen say, so that a test can tell
 * one box from another of the same title: one line per visible dialog
 * window, "title<TAB>text" in code page 936, the text being that of its
 * static controls other than the icon, joined by a space, each line break
 * a space too. Console program; exit code 0, also when no box is shown.
 *
 *   box_text.exe /launcher
 *
 * prints instead the text of every child window of the Launch window (its
 * labels' captions), "class<TAB>text" a line, for figures a picture cannot
 * tell exactly; exit code 1 when there is no Launch window. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

typedef struct {
  char text[2048];
  size_t used;
} Texts;

static BOOL CALLBACK each_child(HWND child, LPARAM data) {
  Texts* texts = (Texts*)data;
  char class_name[32];
  if (!GetClassNameA(child, class_name, sizeof(class_name)) || lstrcmpiA(class_name, "Static") != 0)
    return TRUE;
  if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
    return TRUE;
  char text[1024];
  int got = GetWindowTextA(child, text, sizeof(text));
  if (got <= 0 || texts->used + (size_t)got + 2 > sizeof(texts->text))
    return TRUE;
  if (texts->used > 0)
    texts->text[texts->used++] = ' ';
  for (int i = 0; i < got; ++i) {
    if (text[i] != '\r')
      texts->text[texts->used++] = text[i] == '\n' ? ' ' : text[i];
  }
  texts->text[texts->used] = '\0';
  return TRUE;
}

static BOOL CALLBACK each_window(HWND window, LPARAM data) {
  (void)data;
  char class_name[32];
  /* "#32770": the class of dialog boxes, message boxes among them. */
  if (!IsWindowVisible(window) || !GetClassNameA(window, class_name, sizeof(class_name)) ||
      strcmp(class_name, "#32770") != 0)
    return TRUE;
  char title[512] = "";
  GetWindowTextA(window, title, sizeof(title));
  Texts texts = {"", 0};
  EnumChildWindows(window, each_child, (LPARAM)&texts);
  printf("%s\t%s\n", title, texts.text);
  return TRUE;
}

/* GBK bytes after -fexec-charset, as FindWindowA compares in code page 936. */
static const char kLaunchWindowClass[] = "塔沃VR游戏启动窗口";

static BOOL CALLBACK each_launcher_child(HWND child, LPARAM data) {
  (void)data;
  char class_name[64] = "";
  char text[1024] = "";
  GetClassNameA(child, class_name, sizeof(class_name));
  if (GetWindowTextA(child, text, sizeof(text)) > 0)
    printf("%s\t%s\n", class_name, text);
  return TRUE;
}

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "/launcher") == 0) {
    HWND window = FindWindowA(kLaunchWindowClass, NULL);
    if (window == NULL)
      return 1;
    EnumChildWindows(window, each_launcher_child, 0);
    return 0;
  }
  EnumWindows(each_window, 0);
  return 0;
}
