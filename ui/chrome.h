#pragma once

// What the missing window frame would give: minimise and close.

#include "ui/event_bindings.h"

namespace ui {

void onMinimiseClicked(const EventArgs& args);
// Ends the program; does not return.
[[noreturn]] void onCloseClicked(const EventArgs& args);

}  // namespace ui
