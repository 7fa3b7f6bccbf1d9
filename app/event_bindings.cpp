#include "app/event_bindings.h"

#include <array>

#include "app/launcher.h"
#include "app/update_settings.h"
#include "core/launch.h"
#include "core/links.h"
#include "core/startup.h"
#include "ui/chrome.h"
#include "ui/control_names.h"
#include "update/download.h"
#include "update/handoff.h"
#include "update/package/staged_apply.h"

namespace app {
namespace {

using ui::Event;
using ui::EventArgs;
namespace name = ui::name;

void onCreated(Launcher& l, const EventArgs&) {
  core::Context& ctx = l.context();
  const core::WindowStartup startup{*ctx.controls, *ctx.window,         ctx.os,
                                    *ctx.os.files, *ctx.os.namedEvents, *ctx.os.messageBoxes,
                                    ctx.ending()};
  core::onLaunchWindowCreated(startup, l.state().slideshow, l.slideshow(), [&ctx] {
    // An update a kill interrupted ends first, before anything reads the
    // folder.
    update::recoverInterruptedUpdate(*ctx.os.files, *ctx.os.namedEvents,
                                     ctx.os.process->runDirectory());
  });
}

void onShown(Launcher& l, const EventArgs&) {
  // First: the launcher that started this one may be waiting for it.
  core::announceWindowShown(*l.context().os.namedEvents, *l.context().os.process);
  update::applyKeptPackage(l.context(), l.state().update);
}

void onStartButton(Launcher& l, const EventArgs&) {
  startGameAndCheckVersion(l, versionPageUrl());
}

void onShortcutButton(Launcher& l, const EventArgs&) {
  const core::Context& ctx = l.context();
  core::createDesktopShortcut(*ctx.controls, *ctx.os.shell, *ctx.os.process);
}

void onMinimise(Launcher& l, const EventArgs&) {
  l.context().window->minimiseWindow();
}

void onClose(Launcher& l, const EventArgs&) {
  // Once the new launcher runs, the hand-over or its undo ends first.
  if (update::deferCloseDuringHandOver(l.state().update))
    return;
  core::endProgram(l.context().ending());
}

// The link label of that row of ui::linkLabels().
template <int Row>
void onLinkPressed(Launcher& l, const EventArgs&) {
  const core::Context& ctx = l.context();
  core::openLink(*ctx.controls, *ctx.os.shell, ctx.os, ui::linkLabels()[Row]);
}

void onStatsTimer(Launcher& l, const EventArgs&) {
  update::onProgressTick(*l.context().controls, l.state().update);
}

void onDownloadNotice(Launcher& l, const EventArgs& args) {
  update::onDownloadNotice(l.context(), l.state().update, args);
}

void onUnpackProgress(Launcher& l, const EventArgs& args) {
  update::handOff(l.context(), l.state().update, args.first);
}

constexpr std::array kBindings = {
    EventBinding{ui::kWindow, Event::Created, &onCreated},
    EventBinding{ui::kWindow, Event::Shown, &onShown},
    EventBinding{ui::kWindow, Event::CloseRequested, &onClose},
    EventBinding{name::kStartButton, Event::Clicked, &onStartButton},
    EventBinding{name::kShortcutButton, Event::Clicked, &onShortcutButton},
    EventBinding{name::kMinimise, Event::Clicked, &onMinimise},
    EventBinding{name::kClose, Event::Clicked, &onClose},
    EventBinding{name::kLinkHome, Event::LeftButtonDown, &onLinkPressed<0>},
    EventBinding{name::kLinkVideo, Event::LeftButtonDown, &onLinkPressed<1>},
    EventBinding{name::kLinkGames, Event::LeftButtonDown, &onLinkPressed<2>},
    EventBinding{name::kLinkSoftware, Event::LeftButtonDown, &onLinkPressed<3>},
    EventBinding{name::kLinkCommunity, Event::LeftButtonDown, &onLinkPressed<4>},
    EventBinding{name::kLinkHelp, Event::LeftButtonDown, &onLinkPressed<5>},
    EventBinding{name::kStatsTimer, Event::TimerTick, &onStatsTimer},
    EventBinding{name::kPublishedVersion, Event::Feedback, &onDownloadNotice},
    EventBinding{name::kUnzipper, Event::UnpackProgress, &onUnpackProgress},
};

}  // namespace

std::span<const EventBinding> eventBindings() {
  return kBindings;
}

Handler findHandler(std::string_view control, Event event) {
  for (const EventBinding& binding : kBindings) {
    if (binding.event == event && control == binding.control)
      return binding.handler;
  }
  return nullptr;
}

}  // namespace app
