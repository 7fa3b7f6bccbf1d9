#pragma once

// What handlers and components are given by the program's root (the
// operating system's services, the window, the exit clean-up), and the one
// way the program ends.

#include <atomic>
#include <functional>

#include "platform/services.h"
#include "ui/controls.h"
#include "ui/events.h"
#include "ui/window_ops.h"

namespace core {

// The exit clean-up: runs exactly once, whichever way the program ends (End
// the program, the window closing, the process exiting).
class ExitCleanup {
 public:
  explicit ExitCleanup(std::function<void()> steps) : steps_(std::move(steps)) {}
  ExitCleanup(const ExitCleanup&) = delete;
  ExitCleanup& operator=(const ExitCleanup&) = delete;

  // Runs the steps unless they have run already. True when they ran now.
  bool run();
  bool hasRun() const { return done_; }

 private:
  std::function<void()> steps_;
  std::atomic<bool> done_{false};
};

// What ending the program touches.
struct ProgramEnd {
  platform::Process& process;
  ui::WindowOps* window = nullptr;
  ExitCleanup* exitCleanup = nullptr;
};

// Runs the exit clean-up, closes the Launch window and ends the process with
// exit code 0. Does not return.
[[noreturn]] void endProgram(const ProgramEnd& end);

// Everything the program's root hands out; handlers take from it only what
// they use.
struct Context {
  platform::Services os;
  ui::Controls* controls = nullptr;
  ui::WindowOps* window = nullptr;
  // Raises a control's event through the window's bindings (the ZIP object's
  // progress event has no window to come from).
  ui::EventSink* events = nullptr;
  ExitCleanup* exitCleanup = nullptr;

  ProgramEnd ending() const { return {*os.process, window, exitCleanup}; }
};

}  // namespace core
