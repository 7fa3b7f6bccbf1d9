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

void endProgram(Context& ctx) {
  if (ctx.exitCleanup != nullptr)
    ctx.exitCleanup->run();
  if (ctx.controls != nullptr)
    ctx.controls->closeWindow();
  ctx.os.process->exit(0);
  std::abort();  // exit() does not return; this keeps the promise if it did
}

}  // namespace core
