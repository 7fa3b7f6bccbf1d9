#pragma once

// The events the Launch window's controls raise, and where they go: the
// program's root routes each to its handler.

#include <string_view>

#include "base/values.h"

namespace ui {

using base::EventArgs;

enum class Event {
  Created,         // the window: all controls exist, not yet shown
  Shown,           // the window: first shown on the screen
  CloseRequested,  // the window: Esc, or the system asks it to close
  Clicked,         // picture or colour button
  LeftButtonDown,  // transparent label: x, y, key state
  TimerTick,       // timer
  Feedback,        // label: the two integers of a posted notice
  UnpackProgress,  // ZIP object: percent
};

// The name that stands for the Launch window itself.
inline constexpr char kWindow[] = "";

class EventSink {
 public:
  // Runs the handler bound to that event of that control, if any.
  virtual void raise(std::string_view control, Event event, const EventArgs& args) = 0;

 protected:
  ~EventSink() = default;
};

}  // namespace ui
