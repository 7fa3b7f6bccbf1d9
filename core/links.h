#pragma once

// The link labels: each opens a page of the publisher's, read afresh from
// the configuration.

#include "core/program.h"
#include "ui/chrome.h"

namespace core {

// Greys the label, opens the address, then gives the label its colour after
// opening.
void openLink(Context& ctx, const ui::LinkLabel& link);

}  // namespace core
