#pragma once

// The start button, which starts the game and then checks for an update,
// and the button that puts a shortcut to the launcher on the desktop.

#include <string>
#include <string_view>

#include "ui/event_bindings.h"

namespace core {

// The version page, fixed when the launcher is built (core/version_page.cpp
// is compiled into each program with its own address).
extern const char* const kVersionPageUrl;

// Starts the game named by the configuration, then checks `versionPage` for
// a newer launcher; stops the program when the game is missing.
void startGameAndCheckVersion(const std::string& versionPage);

// The start button: the above with the built-in version page.
void onStartButtonClicked(const ui::EventArgs& args);
void onShortcutButtonClicked(const ui::EventArgs& args);

// True when `name` can stand as one file name in a folder: no path
// separators, no characters Windows refuses, not "." or "..".
bool isPlainFileName(std::string_view name);

}  // namespace core
