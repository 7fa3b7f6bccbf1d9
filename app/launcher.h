#pragma once

// One running launcher, composed: the program-wide state, the slideshow
// thread, the exit clean-up, and the routing of the window's events to the
// handlers of the event-binding table, wired to the services and the
// window it is given (they outlive it).

#include <string>

#include "app/update_window.h"
#include "core/program.h"
#include "core/slideshow.h"
#include "update/update_flow.h"
#include "update/update_state.h"

namespace app {

// Everything the program-wide state is made of.
struct ProgramState {
  explicit ProgramState(const platform::Services& os) : update(*os.sockets, *os.tls, *os.files) {}
  update::UpdateState update;
  core::SlideshowState slideshow;
};

class Launcher final : public ui::EventSink {
 public:
  Launcher(const platform::Services& os, ui::Controls& controls, ui::WindowOps& window);
  // Runs the exit clean-up unless it has run.
  ~Launcher();
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // Runs the handler bound to that event of that control, if any.
  void raise(std::string_view control, ui::Event event, const ui::EventArgs& args) override;

  core::Context& context() { return context_; }
  ProgramState& state() { return state_; }
  core::SlideshowThread& slideshow() { return slideshow_; }
  core::ExitCleanup& exitCleanup() { return exitCleanup_; }
  update::UpdateFlow& updateFlow() { return updateFlow_; }

 private:
  // The slideshow stops before the pictures it reads go; the texts and the
  // task record go before the download object, which stops a running task.
  void cleanUp();

  ProgramState state_;
  core::SlideshowThread slideshow_;
  core::ExitCleanup exitCleanup_;
  core::Context context_;
  UpdateWindow updateWindow_;
  update::UpdateFlow updateFlow_;
};

// The start button: starts the game, then checks `versionPage` for a newer
// launcher (also when the game did not start).
void startGameAndCheckVersion(Launcher& launcher, const std::string& versionPage);

}  // namespace app
