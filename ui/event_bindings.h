#pragma once

// Which event of which control runs which operation: one table, read by the
// win32 window when it dispatches and by tests.

#include <span>
#include <string_view>

namespace ui {

enum class Event {
  Created,         // the window: all controls exist, not yet shown
  Clicked,         // picture or colour button
  LeftButtonDown,  // transparent label: x, y, key state
  TimerTick,       // timer
  Feedback,        // label: the two integers of a posted notice
  UnpackProgress,  // ZIP object: percent
};

struct EventArgs {
  int first = 0;
  int second = 0;
  int third = 0;
};

using Handler = void (*)(const EventArgs& args);

struct EventBinding {
  // A control name, or kWindow for the Launch window itself.
  const char* control;
  Event event;
  Handler handler;
};

inline constexpr char kWindow[] = "";

std::span<const EventBinding> eventBindings();

// The handler bound to that event of that control, or null.
Handler findHandler(std::string_view control, Event event);

}  // namespace ui
