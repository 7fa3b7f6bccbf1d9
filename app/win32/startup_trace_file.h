#pragma once

// The recorder of launcher-trace.exe: notes when each start-up step ends and
// writes the notes to the file that TAVORO_STARTUP_TRACE names, one
// "step<TAB>time" line each, the time in 100 ns units since 1601 (UTC), as
// Windows keeps it. The first line is the process's creation.

namespace app::win32 {

// Starts recording the marks of platform/win32/startup_steps.h.
void startStartupTrace();
// Writes what was recorded; nothing without the variable.
void writeStartupTrace();

}  // namespace app::win32
