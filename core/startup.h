#pragma once

// The Launch window's created event: refuse a second copy, load the logo,
// stop without a configuration file, fill the game labels, shape the window
// and prepare the slideshow; all before the window is first shown.

#include <string>

#include "core/program.h"
#include "core/slideshow.h"

namespace core {

void onLaunchWindowCreated(Context& ctx, SlideshowState& slideshow, SlideshowThread& thread);

// The instance name of a launcher without `bh1`: its own path with every
// "\" replaced by "/" (C:\Games\Ride\Launcher.exe gives C:/Games/Ride/Launcher.exe).
std::string derivedInstanceName(const std::string& runDirectory, const std::string& executable);

// Returns when no other copy holds `instanceName` (an empty name is derived
// from the launcher's path); otherwise shows the message and ends the program.
void singleInstanceGuard(Context& ctx, const std::string& instanceName, const std::string& message,
                         unsigned flags);

}  // namespace core
