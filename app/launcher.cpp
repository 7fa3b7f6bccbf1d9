#include "app/launcher.h"

#include "app/event_bindings.h"
#include "app/update_settings.h"
#include "core/launch.h"

namespace app {

Launcher::Launcher(const platform::Services& os, ui::Controls& controls, ui::WindowOps& window)
    : state_(os),
      slideshow_({*os.files, *os.process, controls, state_.slideshow}),
      exitCleanup_([this] { cleanUp(); }),
      context_{os, &controls, &window, this, &exitCleanup_},
      updateWindow_(controls),
      updateFlow_(os, updateWindow_, context_.ending(), state_.update) {
  state_.update.publicKey = updatePublicKey();
  state_.update.backupKey = updateBackupKey();
  state_.update.pageAddress = versionPageUrl();
  state_.update.localVersion = localVersion();
}

Launcher::~Launcher() {
  exitCleanup_.run();
}

void Launcher::raise(std::string_view control, ui::Event event, const ui::EventArgs& args) {
  if (Handler handler = findHandler(control, event))
    handler(*this, args);
}

void Launcher::cleanUp() {
  slideshow_.stop();
  update::releaseUpdateState(state_.update);
  std::vector<base::Bytes>().swap(state_.slideshow.pictures);
}

void startGameAndCheckVersion(Launcher& launcher, const std::string& versionPage) {
  const core::Context& ctx = launcher.context();
  const platform::Services& os = ctx.os;
  launcher.updateFlow().onStartClicked(versionPage, [&ctx, &os] {
    core::startGame(
        {*ctx.controls, os, *os.pump, *os.files, *os.messageBoxes, *os.processes, ctx.ending()});
  });
}

}  // namespace app
