#pragma once

// The start button, which starts the game (the version check follows it),
// and the button that puts a shortcut to the launcher on the desktop.

#include "core/program.h"

namespace core {

// Starts the game named by the configuration; stops the program when the
// game is missing.
void startGame(Context& ctx);

void createDesktopShortcut(Context& ctx);

}  // namespace core
