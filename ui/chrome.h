#pragma once

// What the missing window frame would give (minimise, close, dragging) and
// the link labels that open the publisher's pages.

#include <span>

#include "ui/control_table.h"

namespace ui {

struct LinkLabel {
  const char* label;
  const char* key;  // in section `http`
  Colorref afterOpening;
};

inline constexpr Colorref kLinkOpeningColour = 0xC0C0C0;

// The six link labels, banner links first.
std::span<const LinkLabel> linkLabels();

// Whether pressing a control of that kind moves the window instead.
bool dragsWindow(Kind kind);

}  // namespace ui
