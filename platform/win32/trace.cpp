#include "platform/win32/startup_steps.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

class Win32Trace final : public Trace {
 public:
  void mark(const char* step) override { markStartupStep(step); }
  void note(const char*, const std::string&) override {}
};

}  // namespace

Trace& trace() {
  static Win32Trace instance;
  return instance;
}

}  // namespace platform::win32
