#include "app/event_bindings.h"

#include <array>

#include "app/launcher.h"
#include "app/update_settings.h"
#include "core/launch.h"
#include "core/links.h"
#include "core/startup.h"
#include "ui/chrome.h"
#include "ui/control_names.h"
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
                                     ctx.os.process->runDirectory(),
                                     ctx.os.process->executableName());
  });
}

void onShown(Launcher& l, const EventArgs&) {
  // First: the launcher that started this one may be waiting for it.
  core::announceWindowShown(*l.context().os.namedEvents, *l.context().os.process);
  l.updateFlow().onWindowShown();
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
  // While the folder changes, its outcome comes first.
  if (l.updateFlow().deferClose())
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
  l.updateFlow().onProgressTick();
}

// The version label's feedback: a notice the download posted.
void onDownloadNotice(Launcher& l, const EventArgs& args) {
  if (args.first == static_cast<int>(update::DownloadNotice::kEnded) ||
      args.first == static_cast<int>(update::DownloadNotice::kProgress))
    l.updateFlow().onNotice(static_cast<update::DownloadNotice>(args.first));
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
