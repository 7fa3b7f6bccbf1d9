#include "platform/host/host_services.h"

#include <chrono>
#include <thread>

namespace platform::host {

int FakeMessageBoxes::show(const std::string& text, unsigned flags, const std::string& title) {
  calls.push_back({text, flags, title});
  if (answers.empty())
    return 1;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakePump::delay(int milliseconds) {
  delays.push_back(milliseconds);
  if (duringDelay)
    duringDelay();
}

bool FakePump::waitUntil(const std::function<bool()>& done) {
  ++waits;
  while (!done()) {
    if (duringWait)
      duringWait();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool FakeProcesses::runCommandLine(const std::string& commandLine, bool wait, int windowMode) {
  calls.push_back({commandLine, wait, windowMode});
  return result;
}

namespace {

class FakeChildProcess final : public ChildProcess {
 public:
  explicit FakeChildProcess(std::function<std::int64_t()> code) : code_(std::move(code)) {}
  std::int64_t exitCode() override { return code_(); }

 private:
  std::function<std::int64_t()> code_;
};

}  // namespace

std::unique_ptr<ChildProcess> FakeProcesses::start(const std::string& commandLine, int windowMode) {
  calls.push_back({commandLine, false, windowMode});
  if (!result)
    return nullptr;
  return std::make_unique<FakeChildProcess>(childExitCode);
}

void FakeShell::open(const std::string& target) {
  opened.push_back(target);
  if (duringOpen)
    duringOpen(target);
}

bool FakeShell::createShortcut(const std::string& linkPath, const std::string& targetPath) {
  shortcuts.emplace_back(linkPath, targetPath);
  return shortcutResult;
}

NamedEvents::Marker FakeNamedEvents::createMarker(const std::string& name) {
  opened.push_back(name);
  if (!canCreate)
    return Marker::kFailed;
  return names.insert(name).second ? Marker::kCreated : Marker::kAlreadyExisted;
}

void FakeNamedEvents::releaseMarker(const std::string& name) {
  names.erase(name);
}

void FakeProcess::exit(int code) {
  exitCodes.push_back(code);
  throw ProgramEnded{code};
}

}  // namespace platform::host
