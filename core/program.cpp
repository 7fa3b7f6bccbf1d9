#include "core/program.h"

#include <cstdlib>

namespace core {

bool ExitCleanup::run() {
  if (done_.exchange(true))
    return false;
  if (steps_)
    steps_();
  return true;
}

void endProgram(const ProgramEnd& end) {
  if (end.exitCleanup != nullptr)
    end.exitCleanup->run();
  if (end.window != nullptr)
    end.window->closeWindow();
  end.process.exit(0);
  std::abort();  // exit() does not return; this keeps the promise if it did
}

}  // namespace core
