#pragma once

// The link labels: each opens a page of the publisher's, read afresh from
// the configuration.

#include "core/config.h"
#include "platform/shell.h"
#include "ui/chrome.h"
#include "ui/controls.h"

namespace core {

// Greys the label, opens the address, then gives the label its colour after
// opening.
void openLink(ui::Controls& controls, platform::Shell& shell, const ConfigFile& config,
              const ui::LinkLabel& link);

}  // namespace core
