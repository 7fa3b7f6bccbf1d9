#pragma once

// What the update shows in the Launch window. The update says what to show;
// app/ fills the window's controls with it and reads nothing back.

#include <cstdint>
#include <string>

#include "update/version_page.h"

namespace update {

// A report of the download, carried from the engine's thread to the
// window's: the values are what the window's notice carries.
enum class DownloadNotice : int {
  kEnded = 1,
  kProgress = 2,
};

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  // The page's fields, the notes composed of them and this launcher's own
  // version, as the window keeps them.
  virtual void showRelease(const VersionFields& fields, const std::string& notes,
                           const std::string& localVersion) = 0;
  // The download panel: speed, sizes, percent, bar and the notes.
  virtual void showPanel(bool shown) = 0;
  virtual void enableStart(bool enabled) = 0;
  // The percent caption and the bar.
  virtual void showPercent(std::int32_t percent) = 0;
  // The captions the progress tick refreshes.
  virtual void showTransfer(const std::string& speed, const std::string& received,
                            const std::string& size) = 0;
  // From any thread, without waiting: the notice reaches the update on the
  // window's thread, in posting order.
  virtual void post(DownloadNotice notice) = 0;
};

}  // namespace update
