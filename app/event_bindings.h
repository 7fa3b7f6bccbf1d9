#pragma once

// Which event of which control runs which handler: one table, read when the
// window raises an event and by tests.

#include <span>
#include <string_view>

#include "ui/events.h"

namespace app {

class Launcher;

using Handler = void (*)(Launcher& launcher, const ui::EventArgs& args);

struct EventBinding {
  // A control name, or ui::kWindow for the Launch window itself.
  const char* control;
  ui::Event event;
  Handler handler;
};

std::span<const EventBinding> eventBindings();

// The handler bound to that event of that control, or null.
Handler findHandler(std::string_view control, ui::Event event);

}  // namespace app
