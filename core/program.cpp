#include "core/program.h"

#include <atomic>
#include <cstdlib>

#include "core/slideshow.h"
#include "core/state.h"

namespace core {
namespace {

Context g_context;
std::atomic<bool> g_cleanupRegistered{false};
std::atomic<bool> g_cleanupDone{false};

void cleanupAtExit() {
  runExitCleanup();
}

}  // namespace

void setContext(const Context& context) {
  g_context = context;
}

Context& context() {
  return g_context;
}

void registerExitCleanup() {
  g_cleanupDone = false;
  // Also covers a process that ends through exit() without passing End the
  // program; the flag keeps it to one run.
  if (!g_cleanupRegistered.exchange(true))
    std::atexit(cleanupAtExit);
}

bool runExitCleanup() {
  if (!g_cleanupRegistered || g_cleanupDone.exchange(true))
    return false;
  // The slideshow reads the pictures until it has stopped.
  stopSlideshowThread();
  if (hasProgramState())
    releaseProgramState(programState());
  return true;
}

bool exitCleanupHasRun() {
  return g_cleanupDone;
}

void endProgram() {
  runExitCleanup();
  if (g_context.controls != nullptr)
    g_context.controls->closeWindow();
  g_context.os.process->exit(0);
  std::abort();  // exit() does not return; this keeps the promise if it did
}

}  // namespace core
