#include "update/version.h"

#include <array>

#include "base/text.h"
#include "ui/control_names.h"
#include "update/download.h"
#include "update/http/http.h"
#include "update/http/web_text.h"
#include "update/package/release_signature.h"

namespace update {
namespace {

struct PageField {
  const char* marker;
  VersionField field;
  const char* control;  // null: kept, not shown
};

// In the order of the program-wide fields.
constexpr std::array<PageField, kVersionFieldCount> kPageFields = {{
    {"最新版本=", kLatestVersion, ui::name::kPublishedVersion},
    {"程序标题=", kProgramTitle, ui::name::kUpdateTitle},
    {"更新说明=", kDescription, ui::name::kUpdateDescription},
    {"更新说明1=", kNote1, ui::name::kUpdateNote1},
    {"更新说明2=", kNote2, ui::name::kUpdateNote2},
    {"更新说明3=", kNote3, ui::name::kUpdateNote3},
    {"更新说明4=", kNote4, ui::name::kUpdateNote4},
    {"更新说明5=", kNote5, ui::name::kUpdateNote5},
    {"更新地址=", kUpdateAddress, nullptr},
    {"更新包大小=", kPackageSize, nullptr},
    {"更新包摘要=", kPackageDigest, nullptr},
    {"更新签名=", kPackageSignature, nullptr},
}};

// The fields are filled in this order: version, description, notes, title.
constexpr std::array kFillOrder = {kLatestVersion, kDescription, kNote1, kNote2,
                                   kNote3,         kNote4,       kNote5, kProgramTitle};

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

std::array<std::string, kVersionFieldCount> versionFieldsOf(std::string_view page) {
  std::array<std::string, kVersionFieldCount> fields;
  for (const PageField& field : kPageFields)
    fields[field.field] = base::textBetween(page, field.marker, "<");
  return fields;
}

std::string_view versionFieldMarker(VersionField field) {
  return kPageFields[field].marker;
}

void showUpdatePanel(ui::Controls& controls) {
  for (const char* control : kDownloadPanel)
    controls.setVisible(control, true);
  controls.setEnabled(ui::name::kStartButton, false);
}

void runVersionCheck(const VersionCheck& use, UpdateState& state, const std::string& pageAddress) {
  ui::Controls& controls = use.download.controls;

  state.versionFields =
      versionFieldsOf(pageTextWhileWaiting(use.http, use.codec, use.pump, pageAddress));
  for (VersionField field : kFillOrder) {
    controls.setText(kPageFields[field].control, state.versionFields[field]);
  }
  controls.setText(ui::name::kUpdateNotes, composeNotes(controls));
  controls.setText(ui::name::kLocalVersion, state.localVersion);

  if (!sortsAfter(controls.text(ui::name::kPublishedVersion),
                  controls.text(ui::name::kLocalVersion))) {
    return;
  }
  // A launcher that has its publisher's key takes only what they signed: a
  // page whose version, launcher or package is not what was signed (an old
  // release served as a newer one, a page relabelled on the way) announces
  // nothing to it, and nothing is downloaded.
  if (!state.publicKey.empty() &&
      checkAnnouncedRelease(state.publicKey, state.versionFields) != PackageVerdict::kSigned)
    return;
  if (use.download.messageBoxes.show(kUpdateQuestion, platform::kYesNoButtons, kUpdateTitle) !=
      platform::kAnswerYes)
    return;

  showUpdatePanel(controls);
  use.pump.delay(kBeforeDownloadMs);
  startUpdateDownload(use.download, state);
}

}  // namespace update
