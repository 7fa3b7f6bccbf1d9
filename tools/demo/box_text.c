/* Prints what the message boxes on the screen say, so that a test can tell
 * one box from another of the same title: one line per visible dialog
 * window, "title<TAB>text" in code page 936, the text being that of its
 * static controls other than the icon, joined by a space, each line break
 * a space too. Console program; exit code 0, also when no box is shown. */
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

int main(void) {
  EnumWindows(each_window, 0);
  return 0;
}
