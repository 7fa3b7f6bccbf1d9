#pragma once

// The update package download as the window sees it: starting it, the
// engine's reports turned into notices, and the panel that shows progress.

#include <cstdint>
#include <string>

#include "ui/event_bindings.h"

namespace update {

// The package's place in the run directory, from the address of the last download.
std::string packagePath(const std::string& address);
std::string temporaryPackagePath(const std::string& address);

// Downloads the version page's update address into the temporary package
// path, in the background.
void startUpdateDownload();

// The engine's notification routine; runs on the engine's thread, stores
// two integers and posts notices, nothing more.
std::int32_t downloadEventRoutine(std::int32_t code, void* engineContext, std::int32_t value,
                                  std::int32_t secondValue, void* task);

// The feedback event of the notice label: 2 progress, 1 download ended.
void onDownloadNotice(const ui::EventArgs& args);

// Every 800 ms: speed, received and total size.
void onProgressTick(const ui::EventArgs& args);

}  // namespace update
