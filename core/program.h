#pragma once

// How the logic reaches the operating system and the window, and the one
// way the program ends.

#include "platform/services.h"
#include "ui/controls.h"

namespace core {

struct Context {
  platform::Services os;
  ui::Controls* controls = nullptr;
};

// Set once at start-up, before the window exists; handlers read it.
void setContext(const Context& context);
Context& context();

// Registers the exit clean-up; it runs exactly once, whichever way the
// program ends (End the program, the window closing, the process exiting).
void registerExitCleanup();
// Runs the exit clean-up unless it has run already. True when it ran now.
bool runExitCleanup();
bool exitCleanupHasRun();

// Runs the exit clean-up, closes the Launch window and ends the process with
// exit code 0. Does not return.
[[noreturn]] void endProgram();

}  // namespace core
