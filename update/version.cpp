#include "update/version.h"

#include <array>

#include "core/program.h"
#include "core/state.h"
#include "ui/control_names.h"
#include "update/download.h"
#include "update/http.h"
#include "update/text.h"

namespace update {
namespace {

struct PageField {
  const char* marker;
  core::VersionField field;
  const char* control;  // null: kept, not shown
};

// In the order of the program-wide fields.
constexpr std::array<PageField, core::kVersionFieldCount> kPageFields = {{
    {"最新版本=", core::kLatestVersion, ui::name::kPublishedVersion},
    {"程序标题=", core::kProgramTitle, ui::name::kUpdateTitle},
    {"更新说明=", core::kDescription, ui::name::kUpdateDescription},
    {"更新说明1=", core::kNote1, ui::name::kUpdateNote1},
    {"更新说明2=", core::kNote2, ui::name::kUpdateNote2},
    {"更新说明3=", core::kNote3, ui::name::kUpdateNote3},
    {"更新说明4=", core::kNote4, ui::name::kUpdateNote4},
    {"更新说明5=", core::kNote5, ui::name::kUpdateNote5},
    {"更新地址=", core::kUpdateAddress, nullptr},
}};

// The fields are filled in this order: version, description, notes, title.
constexpr std::array kFillOrder = {core::kLatestVersion, core::kDescription, core::kNote1,
                                   core::kNote2,         core::kNote3,       core::kNote4,
                                   core::kNote5,         core::kProgramTitle};

// Shown when the user accepts, in this order.
constexpr std::array kDownloadPanel = {ui::name::kReceivedLabel, ui::name::kSpeedLabel,
                                       ui::name::kSizeLabel,     ui::name::kPercentLabel,
                                       ui::name::kProgressBar,   ui::name::kUpdateNotes};

constexpr int kBeforeDownloadMs = 500;

std::string composeNotes(const ui::Controls& controls) {
  std::string notes(22, ' ');
  notes += controls.text(ui::name::kUpdateTitle);
  for (const char* field :
       {ui::name::kUpdateDescription, ui::name::kUpdateNote1, ui::name::kUpdateNote2,
        ui::name::kUpdateNote3, ui::name::kUpdateNote4, ui::name::kUpdateNote5}) {
    notes += "\r\n";
    notes += controls.text(field);
  }
  return notes;
}

}  // namespace

bool sortsAfter(std::string_view published, std::string_view local) {
  const std::size_t common = std::min(published.size(), local.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto a = static_cast<unsigned char>(published[i]);
    const auto b = static_cast<unsigned char>(local[i]);
    if (a != b)
      return a > b;
  }
  return published.size() > local.size();
}

void runVersionCheck(const std::string& pageAddress) {
  core::Context& ctx = core::context();
  ui::Controls& controls = *ctx.controls;
  core::ProgramState& state = core::programState();

  const std::string page = pageText(pageAddress);
  for (const PageField& field : kPageFields) {
    state.versionFields[field.field] = textBetween(page, field.marker, "<");
  }
  for (core::VersionField field : kFillOrder) {
    controls.setText(kPageFields[field].control, state.versionFields[field]);
  }
  controls.setText(ui::name::kUpdateNotes, composeNotes(controls));
  controls.setText(ui::name::kLocalVersion, kLocalVersion);

  if (!sortsAfter(controls.text(ui::name::kPublishedVersion),
                  controls.text(ui::name::kLocalVersion))) {
    return;
  }
  if (ctx.os.messageBoxes->show(kUpdateQuestion, kYesNo, kUpdateTitle) != kAnswerYes)
    return;

  for (const char* control : kDownloadPanel)
    controls.setVisible(control, true);
  controls.setEnabled(ui::name::kStartButton, false);
  ctx.os.pump->delay(kBeforeDownloadMs);
  startUpdateDownload();
}

}  // namespace update
