#pragma once

// The recorder of launcher-trace.exe: listens to the trace's marks, keeps
// when each start-up step ends and writes them to the file that
// TAVORO_STARTUP_TRACE names, one "step<TAB>time" line each, the time in
// 100 ns units since 1601 (UTC), as Windows keeps it. The first line is
// the process's creation.

namespace app::win32 {

// Starts recording the trace's marks (platform/win32/trace_listeners.h).
void startStartupTrace();
// Writes what was recorded; nothing without the variable.
void writeStartupTrace();

}  // namespace app::win32
