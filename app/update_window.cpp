#include "app/update_window.h"

#include <array>

#include "ui/control_names.h"
#include "update/progress_text.h"

namespace app {
namespace {

struct ShownField {
  update::VersionField field;
  const char* control;
};

// The fields the window shows, filled in this order: version, description,
// notes, title. The others are kept, not shown.
constexpr std::array<ShownField, 8> kShownFields = {{
    {update::kLatestVersion, ui::name::kPublishedVersion},
    {update::kDescription, ui::name::kUpdateDescription},
    {update::kNote1, ui::name::kUpdateNote1},
    {update::kNote2, ui::name::kUpdateNote2},
    {update::kNote3, ui::name::kUpdateNote3},
    {update::kNote4, ui::name::kUpdateNote4},
    {update::kNote5, ui::name::kUpdateNote5},
    {update::kProgramTitle, ui::name::kUpdateTitle},
}};

// The download panel, shown in this order.
constexpr std::array kDownloadPanel = {ui::name::kReceivedLabel, ui::name::kSpeedLabel,
                                       ui::name::kSizeLabel,     ui::name::kPercentLabel,
                                       ui::name::kProgressBar,   ui::name::kUpdateNotes};

}  // namespace

void UpdateWindow::showRelease(const update::VersionFields& fields, const std::string& notes,
                               const std::string& localVersion) {
  for (const ShownField& shown : kShownFields)
    controls_.setText(shown.control, fields[shown.field]);
  controls_.setText(ui::name::kUpdateNotes, notes);
  controls_.setText(ui::name::kLocalVersion, localVersion);
}

void UpdateWindow::showPanel(bool shown) {
  for (const char* control : kDownloadPanel)
    controls_.setVisible(control, shown);
}

void UpdateWindow::enableStart(bool enabled) {
  controls_.setEnabled(ui::name::kStartButton, enabled);
}

void UpdateWindow::showPercent(std::int32_t percent) {
  controls_.setText(ui::name::kPercentLabel, update::percentCaption(percent));
  controls_.setPosition(ui::name::kProgressBar, percent);
}

void UpdateWindow::showTransfer(const std::string& speed, const std::string& received,
                                const std::string& size) {
  controls_.setText(ui::name::kSpeedLabel, speed);
  controls_.setText(ui::name::kReceivedLabel, received);
  controls_.setText(ui::name::kSizeLabel, size);
}

void UpdateWindow::post(update::DownloadNotice notice) {
  controls_.postNotice(ui::name::kPublishedVersion, static_cast<int>(notice), 0);
}

}  // namespace app
