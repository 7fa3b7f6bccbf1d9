#include "app/win32/trace_file.h"

#include <cstdio>
#include <string>

#include "app/win32/taken_variable.h"
#include "platform/win32/trace_listeners.h"

namespace app::win32 {
namespace {

std::string g_path;

void onNote(const char* topic, const std::string& text) {
  // Opened and closed for each line: what was written survives a kill.
  if (std::FILE* file = std::fopen(g_path.c_str(), "ab")) {
    const std::string line = std::string(topic) + ": " + text + "\r\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
}

}  // namespace

void startTraceFile() {
  g_path = takeEnvironmentVariable("TAVORO_TRACE");
  if (!g_path.empty())
    platform::win32::addNoteListener(&onNote);
}

}  // namespace app::win32
