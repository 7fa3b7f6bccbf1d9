#pragma once

// The Launch window's created event: refuse a second copy, load the logo,
// stop without a configuration file, fill the game labels, shape the window
// and prepare the slideshow; all before the window is first shown.

#include <functional>
#include <string>

#include "core/program.h"
#include "core/slideshow.h"

namespace core {

// `afterGuard` runs right after the single-instance guard, before all else.
void onLaunchWindowCreated(Context& ctx, SlideshowState& slideshow, SlideshowThread& thread,
                           const std::function<void()>& afterGuard = {});

// The instance name of a launcher without `bh1`: its own path with every
// "\" replaced by "/" (C:\Games\Ride\Launcher.exe gives C:/Games/Ride/Launcher.exe).
std::string derivedInstanceName(const std::string& runDirectory, const std::string& executable);

// The name this launcher's copies share: `bh1` of the configuration file,
// else the derived one.
std::string instanceName(Context& ctx);

// The sign a launcher gives once its window shows, named after the path of
// the launcher (letter case aside), so that the one that started it can wait
// for it.
std::string shownSignalName(const std::string& runDirectory, const std::string& executable);
void announceWindowShown(Context& ctx);

// Returns when no other copy holds `instanceName` (an empty name is derived
// from the launcher's path); otherwise shows the message and ends the program.
void singleInstanceGuard(Context& ctx, const std::string& instanceName, const std::string& message,
                         unsigned flags);

}  // namespace core
