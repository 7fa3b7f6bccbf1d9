#include "ui/event_bindings.h"

#include <array>

#include "ui/chrome.h"
#include "ui/control_names.h"

namespace ui {
namespace {

constexpr std::array kBindings = {
    EventBinding{name::kMinimise, Event::Clicked, &onMinimiseClicked},
    EventBinding{name::kClose, Event::Clicked, &onCloseClicked},
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
