#pragma once

// The update as the Launch window shows it: what the update says to show
// goes into the window's named controls (the version labels, the hidden
// update fields, the notes, the download panel), and the download's notices
// travel as the version label's feedback event.

#include "ui/controls.h"
#include "update/update_view.h"

namespace app {

class UpdateWindow final : public update::UpdateView {
 public:
  explicit UpdateWindow(ui::Controls& controls) : controls_(controls) {}

  void showRelease(const update::VersionFields& fields, const std::string& notes,
                   const std::string& localVersion) override;
  void showPanel(bool shown) override;
  void enableStart(bool enabled) override;
  void showPercent(std::int32_t percent) override;
  void showTransfer(const std::string& speed, const std::string& received,
                    const std::string& size) override;
  void post(update::DownloadNotice notice) override;

 private:
  ui::Controls& controls_;
};

}  // namespace app
