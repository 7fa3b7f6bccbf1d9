#pragma once

// The start button, which starts the game (the version check follows it),
// and the button that puts a shortcut to the launcher on the desktop.

#include "core/config.h"
#include "core/program.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/process.h"
#include "platform/processes.h"
#include "platform/pump.h"
#include "platform/shell.h"
#include "ui/controls.h"

namespace core {

// What starting the game uses.
struct GameStart {
  ui::Controls& controls;
  ConfigFile config;
  platform::Pump& pump;
  platform::Files& files;
  platform::MessageBoxes& messageBoxes;
  platform::Processes& processes;
  ProgramEnd end;
};

// Starts the game named by the configuration; stops the program when the
// game is missing.
void startGame(const GameStart& use);

void createDesktopShortcut(const ui::Controls& controls, platform::Shell& shell,
                           platform::Process& process);

// Where the shortcut button puts the game's shortcut on the desktop; empty
// when there is no desktop or the game's name would lead elsewhere.
std::string desktopShortcutPath(platform::Shell& shell, const std::string& gameName);

}  // namespace core
