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
  now += stepMs >= 0 ? stepMs : (milliseconds > 0 ? milliseconds : 0);
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

// Asks its maker each time, so that a test may change its answers while
// the launcher waits.
class FakeChildProcess final : public ChildProcess {
 public:
  explicit FakeChildProcess(FakeProcesses& maker) : maker_(maker) {}
  std::int64_t exitCode() override { return maker_.childExitCode(); }
  bool showsWindowOfClass(const std::string& windowClass) override {
    return maker_.childShowsWindow(windowClass);
  }

 private:
  FakeProcesses& maker_;
};

}  // namespace

std::unique_ptr<ChildProcess> FakeProcesses::start(const std::string& program, int windowMode) {
  calls.push_back({program, false, windowMode});
  started.push_back(program);
  if (!result)
    return nullptr;
  return std::make_unique<FakeChildProcess>(*this);
}

void FakeShell::open(const std::string& target) {
  opened.push_back(target);
  if (duringOpen)
    duringOpen(target);
}

bool FakeShell::createShortcut(const std::string& linkPath, const std::string& targetPath) {
  shortcuts.emplace_back(linkPath, targetPath);
  if (shortcutResult)
    links[linkPath] = targetPath;
  return shortcutResult;
}

std::string FakeShell::shortcutTarget(const std::string& linkPath) {
  const auto link = links.find(linkPath);
  return link == links.end() ? std::string() : link->second;
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
