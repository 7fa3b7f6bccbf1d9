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

struct ShownField {
  VersionField field;
  const char* control;
};

// The fields the window shows, filled in this order: version, description,
// notes, title. The others are kept, not shown.
constexpr std::array<ShownField, 8> kShownFields = {{
    {kLatestVersion, ui::name::kPublishedVersion},
    {kDescription, ui::name::kUpdateDescription},
    {kNote1, ui::name::kUpdateNote1},
    {kNote2, ui::name::kUpdateNote2},
    {kNote3, ui::name::kUpdateNote3},
    {kNote4, ui::name::kUpdateNote4},
    {kNote5, ui::name::kUpdateNote5},
    {kProgramTitle, ui::name::kUpdateTitle},
}};

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

void showUpdatePanel(ui::Controls& controls) {
  for (const char* control : kDownloadPanel)
    controls.setVisible(control, true);
  controls.setEnabled(ui::name::kStartButton, false);
}

void runVersionCheck(const VersionCheck& use, UpdateState& state, const std::string& pageAddress) {
  ui::Controls& controls = use.download.controls;

  state.versionFields =
      versionFieldsOf(pageTextWhileWaiting(use.http, use.codec, use.pump, pageAddress));
  for (const ShownField& shown : kShownFields)
    controls.setText(shown.control, state.versionFields[shown.field]);
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
