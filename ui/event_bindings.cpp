#include "ui/event_bindings.h"

#include <array>

#include "core/launch.h"
#include "core/startup.h"
#include "ui/chrome.h"
#include "ui/control_names.h"
#include "update/download.h"
#include "update/handoff.h"

namespace ui {
namespace {

constexpr std::array kBindings = {
    EventBinding{kWindow, Event::Created, &core::onLaunchWindowCreated},
    EventBinding{name::kStartButton, Event::Clicked, &core::onStartButtonClicked},
    EventBinding{name::kShortcutButton, Event::Clicked, &core::onShortcutButtonClicked},
    EventBinding{name::kMinimise, Event::Clicked, &onMinimiseClicked},
    EventBinding{name::kClose, Event::Clicked, &onCloseClicked},
    EventBinding{name::kLinkHome, Event::LeftButtonDown, &onLinkPressed<0>},
    EventBinding{name::kLinkVideo, Event::LeftButtonDown, &onLinkPressed<1>},
    EventBinding{name::kLinkGames, Event::LeftButtonDown, &onLinkPressed<2>},
    EventBinding{name::kLinkSoftware, Event::LeftButtonDown, &onLinkPressed<3>},
    EventBinding{name::kLinkCommunity, Event::LeftButtonDown, &onLinkPressed<4>},
    EventBinding{name::kLinkHelp, Event::LeftButtonDown, &onLinkPressed<5>},
    EventBinding{name::kStatsTimer, Event::TimerTick, &update::onProgressTick},
    EventBinding{name::kPublishedVersion, Event::Feedback, &update::onDownloadNotice},
    EventBinding{name::kUnzipper, Event::UnpackProgress, &update::onUnpackProgress},
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

}  // namespace ui
