#pragma once

// The Launch window's created event: refuse a second copy, load the logo,
// stop without a configuration file, fill the game labels, shape the window
// and prepare the slideshow; all before the window is first shown.

#include <functional>
#include <string>

#include "core/config.h"
#include "core/program.h"
#include "core/slideshow.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/named_events.h"
#include "platform/process.h"
#include "ui/controls.h"

namespace core {

// What the start-up of the Launch window uses.
struct WindowStartup {
  ui::Controls& controls;
  ui::WindowOps& window;
  ConfigFile config;
  platform::Files& files;
  platform::NamedEvents& namedEvents;
  platform::MessageBoxes& messageBoxes;
  ProgramEnd end;
};

// `afterGuard` runs right after the single-instance guard, before all else.
void onLaunchWindowCreated(const WindowStartup& use, SlideshowState& slideshow,
                           SlideshowThread& thread, const std::function<void()>& afterGuard = {});

// The instance name of a launcher without `bh1`: its own path with every
// "\" replaced by "/" (C:\Games\Ride\Launcher.exe gives C:/Games/Ride/Launcher.exe).
std::string derivedInstanceName(const std::string& runDirectory, const std::string& executable);

// The name this launcher's copies share: `bh1` of the configuration file,
// else the derived one.
std::string instanceName(const ConfigFile& config);

// The sign a launcher gives once its window shows, named after the path of
// the launcher (letter case aside), so that the one that started it can wait
// for it.
std::string shownSignalName(const std::string& runDirectory, const std::string& executable);
void announceWindowShown(platform::NamedEvents& namedEvents, platform::Process& process);

// Returns when no other copy holds `instanceName` (an empty name is derived
// from the launcher's path); otherwise shows the message and ends the program.
void singleInstanceGuard(platform::NamedEvents& namedEvents, platform::MessageBoxes& messageBoxes,
                         const ProgramEnd& end, const std::string& instanceName,
                         const std::string& message, unsigned flags);

}  // namespace core
