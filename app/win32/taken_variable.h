#pragma once

// The test builds' settings from the environment, taken out of it as they
// are read: the launchers a test launcher starts (the update's new one)
// must run undisturbed.

#include <string>

namespace app::win32 {

// The variable's value, empty when it is not set or longer than a path;
// the variable is gone from this process's environment afterwards.
std::string takeEnvironmentVariable(const char* name);

}  // namespace app::win32
