#include "app/win32/kill_points.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/win32/taken_variable.h"
#include "platform/win32/trace_listeners.h"

namespace app::win32 {
namespace {

long g_killAt = 0;
long g_changes = 0;
std::string g_log;

// `text` is "<operation> <path>", as files() notes each change before it.
void onNote(const char* topic, const std::string& text) {
  if (std::strcmp(topic, "change") != 0)
    return;
  ++g_changes;
  if (!g_log.empty()) {
    // Opened and closed each time: what was logged survives the kill.
    if (std::FILE* log = std::fopen(g_log.c_str(), "ab")) {
      std::fprintf(log, "%ld %s\r\n", g_changes, text.c_str());
      std::fclose(log);
    }
  }
  if (g_changes == g_killAt)
    TerminateProcess(GetCurrentProcess(), 137);
}

}  // namespace

void armKillPoints() {
  g_killAt = std::strtol(takeEnvironmentVariable("TAVORO_KILL_AT_CHANGE").c_str(), nullptr, 10);
  g_log = takeEnvironmentVariable("TAVORO_CHANGE_LOG");
  if (g_killAt > 0 || !g_log.empty())
    platform::win32::addNoteListener(&onNote);
}

}  // namespace app::win32
