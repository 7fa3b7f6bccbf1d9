#include "platform/win32/startup_steps.h"

namespace platform::win32 {
namespace {

StartupStepRecorder g_recorder = nullptr;

}  // namespace

void setStartupStepRecorder(StartupStepRecorder recorder) {
  g_recorder = recorder;
}

void markStartupStep(const char* step) {
  if (g_recorder != nullptr)
    g_recorder(step);
}

}  // namespace platform::win32
