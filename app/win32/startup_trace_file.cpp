#include "app/win32/startup_trace_file.h"

#include <windows.h>

#include <array>
#include <cstdio>

#include "platform/win32/trace_listeners.h"

namespace app::win32 {
namespace {

struct Mark {
  const char* step;
  FILETIME time;
};

// Fixed storage: recording must not allocate between the steps it times.
std::array<Mark, 64> g_marks;
std::size_t g_count = 0;

void record(const char* step) {
  if (g_count == g_marks.size())
    return;
  g_marks[g_count].step = step;
  GetSystemTimeAsFileTime(&g_marks[g_count].time);
  ++g_count;
}

unsigned long long ticks(const FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

void startStartupTrace() {
  platform::win32::addMarkListener(&record);
  record("WinMain entered");
}

void writeStartupTrace() {
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("TAVORO_STARTUP_TRACE", path, sizeof path);
  if (length == 0 || length >= sizeof path)
    return;
  FILE* file = std::fopen(path, "w");
  if (file == nullptr)
    return;
  FILETIME created{}, exited{}, kernel{}, user{};
  if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
    std::fprintf(file, "process created\t%llu\n", ticks(created));
  for (std::size_t i = 0; i < g_count; ++i)
    std::fprintf(file, "%s\t%llu\n", g_marks[i].step, ticks(g_marks[i].time));
  std::fclose(file);
}

}  // namespace app::win32
