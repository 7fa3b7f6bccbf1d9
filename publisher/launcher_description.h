#pragma once

// A launcher's update settings in words, for show and stamp.

#include <string>

#include "publisher/settings_stamp.h"
#include "publisher/tools.h"

namespace publisher {

// "  version page: ...\n  public key: ...\n  version: ...\n", in local text.
std::string describeSettings(const LauncherSettings& settings, Tools& tools);

// One such line for each setting `after` changes, with what it was
// ("  public key: OLD -> NEW\n"); "  nothing changed\n" when none.
std::string describeChanges(const LauncherSettings& before, const LauncherSettings& after,
                            Tools& tools);

}  // namespace publisher
