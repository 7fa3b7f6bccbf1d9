#pragma once

// What the missing window frame would give (minimise, close, dragging) and
// the link labels that open the publisher's pages.

#include <span>

#include "ui/control_table.h"
#include "ui/event_bindings.h"

namespace ui {

struct LinkLabel {
  const char* label;
  const char* key;  // in section `http`
  Colorref afterOpening;
};

inline constexpr Colorref kLinkOpeningColour = 0xC0C0C0;

// The six link labels, banner links first.
std::span<const LinkLabel> linkLabels();

// Greys the label, opens the address read afresh from the configuration,
// then gives the label its colour after opening.
void openLink(const LinkLabel& link);

// The handler bound to the link label of that row of linkLabels().
template <int Row>
void onLinkPressed(const EventArgs&) {
  openLink(linkLabels()[Row]);
}

void onMinimiseClicked(const EventArgs& args);
// Ends the program; does not return.
[[noreturn]] void onCloseClicked(const EventArgs& args);

// Whether pressing a control of that kind moves the window instead.
bool dragsWindow(Kind kind);

}  // namespace ui
