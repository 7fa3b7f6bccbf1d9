#pragma once

// Named points of the start-up, for the start-up benchmark's traced build
// (launcher-trace.exe), which installs a recorder. Without a recorder a
// mark does nothing: the product never records or writes anything.

namespace platform::win32 {

using StartupStepRecorder = void (*)(const char* step);

void setStartupStepRecorder(StartupStepRecorder recorder);
// `step` names what has just been done; a literal, kept as given.
void markStartupStep(const char* step);

}  // namespace platform::win32
